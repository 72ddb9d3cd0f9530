// The panel on an X11 desktop without a compositing manager, on a private X server (Xvfb):
// it must find no compositor, read the wallpaper that wallpaper setters publish on the root
// window, compose itself over it, and see a new wallpaper at the next repaint. Skipped when
// Xvfb is not installed.

#include "app/appcontext.h"
#include "core/memorykeystore.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstring>
#include <memory>

namespace {

class SilentSound : public Sound {
 public:
  void Play(const QString&) override {}
  void Stop() override {}
};

// A private X server for the whole test program, and the application on it.
class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) return;
    // A display number nobody uses: the server refuses one whose lock file exists.
    for (int display = 71; display < 99 && !running_; ++display) {
      if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(display))) continue;
      server_.start(xvfb, {QStringLiteral(":%1").arg(display), QStringLiteral("-screen"), QStringLiteral("0"),
                           QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
      if (!server_.waitForStarted(5000)) return;
      const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(display);
      for (int i = 0; i < 100 && server_.state() == QProcess::Running && !QFileInfo::exists(socket); ++i) {
        QThread::msleep(50);
      }
      if (server_.state() == QProcess::Running && QFileInfo::exists(socket)) {
        running_ = true;
        qputenv("DISPLAY", QByteArray(":") + QByteArray::number(display));
      } else {
        server_.kill();
        server_.waitForFinished();
      }
    }
    if (!running_) return;
    // The test environment pins the offscreen platform; the command line outranks it.
    static int argc = 3;
    static char name[] = "test_x11", option[] = "-platform", platform[] = "xcb";
    static char* argv[] = {name, option, platform, nullptr};
    new QApplication(argc, argv);
  }
  void TearDown() override {
    delete QCoreApplication::instance();
    if (running_) {
      server_.terminate();
      server_.waitForFinished(3000);
    }
  }
  static bool Running() { return QCoreApplication::instance() && QGuiApplication::platformName() == "xcb"; }

 private:
  QProcess server_;
  bool running_ = false;
};

const auto* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new XServer);

xcb_connection_t* Connection() {
  return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Publishes a wallpaper of one colour the way wallpaper setters do: a pixmap of the screen's
// size named in the root window's _XROOTPMAP_ID property.
void SetWallpaper(QRgb colour) {
  xcb_connection_t* c = Connection();
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, screen->width_in_pixels, screen->height_in_pixels);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t foreground = colour & 0xFFFFFF;
  xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &foreground);
  const xcb_rectangle_t all = {0, 0, screen->width_in_pixels, screen->height_in_pixels};
  xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
  xcb_free_gc(c, gc);
  const char name[] = "_XROOTPMAP_ID";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, atom->atom, XCB_ATOM_PIXMAP, 32, 1, &pixmap);
  std::free(atom);
  xcb_flush(c);
}

TEST(X11Desktop, PanelComposesItselfOverTheWallpaperWithoutACompositor) {
  if (!XServer::Running()) GTEST_SKIP() << "no private X server (Xvfb) " << (QCoreApplication::instance() ? qPrintable(QGuiApplication::platformName()) : "");
  TempHome home;
  ASSERT_FALSE(X11CompositorRunning());
  EXPECT_TRUE(X11RootWallpaper(QRect(10, 10, 20, 20)).isNull()) << "no wallpaper published yet";

  SetWallpaper(qRgb(0x33, 0x66, 0x99));
  const QImage part = X11RootWallpaper(QRect(100, 50, 40, 30));
  ASSERT_EQ(part.size(), QSize(40, 30));
  EXPECT_EQ(part.pixel(0, 0) & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(part.pixel(39, 29) & 0xFFFFFF, 0x336699u);

  AppContext context(std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0)), std::make_unique<ScriptedDialogs>(),
                     std::make_unique<MemoryKeyStore>());
  PainterStartup(context);
  FixedScreens screens;  // one monitor of the server's size
  SilentSound sound;
  T_DesktopWindow panel(context, screens, sound);
  panel.KeepsQuickNotesFile = false;
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  panel.FormPaint();
  // A pixel of the panel where nothing is drawn over the see-through background.
  const auto sample = [&panel] {
    const QImage shot = panel.grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() - 3);
  };
  const QColor overBlue = sample();


  SetWallpaper(qRgb(0xEE, 0xCC, 0x22));
  panel.FormPaint();
  const QColor overYellow = sample();
  // The wallpaper shows through: a blue desktop leaves the panel bluer than a yellow one, and
  // the second picture was made over the new wallpaper.
  EXPECT_GT(overBlue.blue() - overBlue.red(), overYellow.blue() - overYellow.red());
  EXPECT_GT(overYellow.red(), overBlue.red());
  PainterShutdown(context);
}

}  // namespace
