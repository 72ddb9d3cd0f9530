#pragma once

// A private X server (Xvfb, with the Composite extension) for the whole test program, the
// application on it, and the desktop programs a test starts there: window managers and
// compositing managers from the system's packages.

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>
#include <xcb/xcb.h>

namespace x11test {

// True when the private server runs and the application is on it; otherwise why not.
bool ServerRunning();
QString ServerProblem();

xcb_connection_t* Connection();
xcb_screen_t* Screen();
xcb_atom_t Atom(const char* name);

// Processes events until the condition holds; false when it still does not after ms.
bool WaitFor(const std::function<bool()>& condition, int ms = 5000);

// A window's 32-bit property (cardinals, atoms, windows); empty when it is absent.
std::vector<quint32> Property(xcb_window_t window, const char* name);
bool HasAtom(xcb_window_t window, const char* property, const char* atom);
void DeleteProperty(xcb_window_t window, const char* name);

// What the screen shows (the root window's pixels, which under a compositing manager are
// the composed picture) in a rectangle.
QImage ScreenPixels(const QRect& rect);

// A window of one colour over the whole screen, of the desktop type that desktop
// environments draw their wallpaper in: the window manager keeps it below every other. It
// publishes no wallpaper pixmap.
class WallpaperWindow {
 public:
  explicit WallpaperWindow(QRgb colour);
  ~WallpaperWindow();
  WallpaperWindow(const WallpaperWindow&) = delete;
  WallpaperWindow& operator=(const WallpaperWindow&) = delete;

 private:
  xcb_window_t window_ = 0;
};

// A program run on the private server for the life of the object.
class DesktopProgram {
 public:
  // ready tells when the program has taken up its role (it owns its selection, ...).
  DesktopProgram(const QString& program, const QStringList& arguments, const std::function<bool()>& ready);
  ~DesktopProgram();
  // Empty when the program runs and is ready; otherwise why not (missing: not installed).
  QString problem;
  bool missing = false;

 private:
  QProcess process_;
};

// openbox, ready once it manages windows.
std::unique_ptr<DesktopProgram> StartOpenbox();
// A compositing manager (xcompmgr, or picom with its X Render backend), ready once it owns
// the compositing manager selection.
std::unique_ptr<DesktopProgram> StartCompositor(const QString& program);

}  // namespace x11test
