// The panel under a compositing manager (xcompmgr) on the private X server: the desktop is
// seen through the panel whatever draws the wallpaper, here a plain window of one colour
// such as desktop environments use, which publishes no wallpaper pixmap.

#include "core/memorykeystore.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "session/appcontext.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"
#include "x11session.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace x11test;

int Distance(QColor a, QColor b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

struct CompositorCase {
  const char* name;
  const char* program;
  bool startedAfterThePanel;  // the session started its compositor late: the next tick sees it
};

void PrintTo(const CompositorCase& c, std::ostream* os) { *os << c.name; }

class X11Compositor : public ::testing::TestWithParam<CompositorCase> {};

TEST_P(X11Compositor, ScreenshotShowsTheWallpaperThroughThePanel) {
  if (!ServerRunning()) GTEST_SKIP() << qPrintable(ServerProblem());
  const CompositorCase& c = GetParam();
  const std::unique_ptr<DesktopProgram> wm = StartOpenbox();
  ASSERT_TRUE(wm->problem().isEmpty() || wm->missing()) << qPrintable(wm->problem());
  DeleteProperty(Screen()->root, "_XROOTPMAP_ID");  // this wallpaper is a window
  const QColor wallColour(0x30, 0x70, 0xC0);
  WallpaperWindow wallpaper(wallColour.rgb());
  std::unique_ptr<DesktopProgram> compositor;
  const auto startCompositor = [&] {
    compositor = StartCompositor(QString::fromLatin1(c.program));
    return compositor->problem();
  };

  TempHome home;
  AppContext context(std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0)), std::make_unique<ScriptedDialogs>(),
                     std::make_unique<MemoryKeyStore>());
  PainterStartup(context);
  FixedScreens screens;
  SilentSound sound;
  // What the panel looks like over that wallpaper, painted by the program itself.
  QImage expected;
  {
    T_DesktopWindow offscreen(context, screens, sound);
    offscreen.KeepsQuickNotesFile = false;
    QImage wall(8, 8, QImage::Format_RGB32);
    wall.fill(wallColour);
    expected = offscreen.RenderOver(wall);
  }
  if (!c.startedAfterThePanel && !startCompositor().isEmpty()) {
    if (compositor->missing()) GTEST_SKIP() << qPrintable(compositor->problem());
    FAIL() << qPrintable(compositor->problem());
  }
  T_DesktopWindow panel(context, screens, sound);
  panel.KeepsQuickNotesFile = false;
  panel.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
  panel.FormPaint();
  if (c.startedAfterThePanel && !startCompositor().isEmpty()) {
    if (compositor->missing()) GTEST_SKIP() << qPrintable(compositor->problem());
    FAIL() << qPrintable(compositor->problem());
  }
  ASSERT_TRUE(X11CompositorRunning());
  ASSERT_TRUE(WaitFor([&] { return ScreenPixels(QRect(5, 5, 1, 1)).pixelColor(0, 0) == wallColour; }))
      << "the compositor shows the wallpaper window";
  panel.Timer1Timer();
  const QRect place = panel.geometry();
  ASSERT_EQ(place.size(), expected.size());
  // A pixel where nothing is drawn over the background: the panel's background blended over
  // the wallpaper, neither the panel's own colour nor the wallpaper alone.
  const QPoint at(place.width() / 2, place.height() - 3);
  const QColor want = expected.pixelColor(at);
  ASSERT_GT(Distance(want, wallColour), 40);
  ASSERT_GT(Distance(want, Qt::black), 40);
  QColor seen;
  WaitFor([&] {
    seen = ScreenPixels(QRect(place.topLeft() + at, QSize(1, 1))).pixelColor(0, 0);
    return Distance(seen, want) <= 6;
  });
  EXPECT_LE(Distance(seen, want), 6) << "on the screen " << qPrintable(seen.name()) << ", over the wallpaper "
                                      << qPrintable(want.name());

  // The panel and some of the wallpaper around it, as the user sees them.
  const QRect around = place.adjusted(-40, -40, 40, 40).intersected(QRect(0, 0, 1920, 1080));
  SaveScreenshot(ScreenPixels(around), QStringLiteral("panel-compositor-") + QLatin1String(c.name));
  PainterShutdown(context);
}

INSTANTIATE_TEST_SUITE_P(Managers, X11Compositor,
                         ::testing::Values(CompositorCase{"xcompmgr", "xcompmgr", false},
                                           CompositorCase{"picom", "picom", false},
                                           CompositorCase{"picom_started_late", "picom", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
