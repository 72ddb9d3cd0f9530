// The panel on an X11 desktop without a compositing manager, on a private X server (Xvfb):
// it must find no compositor, read the wallpaper that wallpaper setters publish on the root
// window, compose itself over it, and see a new wallpaper at the next repaint.

#include "core/memorykeystore.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "session/appcontext.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"
#include "x11session.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace x11test;

// Publishes a wallpaper of one colour the way wallpaper setters do: a pixmap of the screen's
// size named in the root window's _XROOTPMAP_ID property.
void SetWallpaper(QRgb colour) {
  xcb_connection_t* c = Connection();
  xcb_screen_t* screen = Screen();
  const xcb_pixmap_t pixmap = xcb_generate_id(c);
  xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, screen->width_in_pixels, screen->height_in_pixels);
  const xcb_gcontext_t gc = xcb_generate_id(c);
  const uint32_t foreground = colour & 0xFFFFFF;
  xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &foreground);
  const xcb_rectangle_t all = {0, 0, screen->width_in_pixels, screen->height_in_pixels};
  xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
  xcb_free_gc(c, gc);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, Atom("_XROOTPMAP_ID"), XCB_ATOM_PIXMAP, 32, 1, &pixmap);
  xcb_flush(c);
}

TEST(X11Desktop, PanelComposesItselfOverTheWallpaperWithoutACompositor) {
  if (!ServerRunning()) GTEST_SKIP() << qPrintable(ServerProblem());
  TempHome home;
  ASSERT_FALSE(X11CompositorRunning());
  DeleteProperty(Screen()->root, "_XROOTPMAP_ID");
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
  DeleteProperty(Screen()->root, "_XROOTPMAP_ID");
}

}  // namespace
