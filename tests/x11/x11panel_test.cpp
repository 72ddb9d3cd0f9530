// The panel on a private X server (Xvfb) with the desktop programs users run: without a
// compositing manager it composes itself over the wallpaper published on the root window;
// under openbox it stays below other windows, out of task bars and pagers, on every virtual
// desktop, also when brought back; under xcompmgr or picom (also one started after the
// panel) the desktop shows through it, whatever draws the wallpaper; on a screen scaled to
// 200% it is placed inside the screen and painted at twice the pixels.

#include "session/appcontext.h"
#include "core/memorykeystore.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/qtscreens.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "settings/settings.h"
#include "support/scripteddialogs.h"
#include "support/screenshot.h"
#include "support/testutil.h"
#include "x11session.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string_view>

namespace {

using namespace x11test;

// A program the test needs: one that is not installed skips the test, one that fails fails it.
#define RUN(start)                                                                     \
  do {                                                                                 \
    const DesktopProgram& program = *programs.emplace_back(start);                     \
    if (program.missing) GTEST_SKIP() << qPrintable(program.problem);                  \
    ASSERT_TRUE(program.problem.isEmpty()) << qPrintable(program.problem);             \
  } while (false)

int Distance(QColor a, QColor b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

class X11Panel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ServerRunning()) GTEST_SKIP() << qPrintable(ServerProblem());
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0)),
                                           std::make_unique<ScriptedDialogs>(), std::make_unique<MemoryKeyStore>());
    PainterStartup(*context);
  }
  void TearDown() override {
    if (!context) return;
    PainterShutdown(*context);
    panel.reset();
    while (!programs.empty()) programs.pop_back();
    DeleteProperty(Screen()->root, "_XROOTPMAP_ID");
  }
  // The panel, shown and exposed on the server.
  T_DesktopWindow& Show(Screens& on) {
    panel = std::make_unique<T_DesktopWindow>(*context, on, sound);
    panel->KeepsQuickNotesFile = false;
    panel->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    panel->FormPaint();
    return *panel;
  }
  xcb_window_t Window() const { return static_cast<xcb_window_t>(panel->winId()); }
  bool InState(const char* atom) const { return HasAtom(Window(), "_NET_WM_STATE", atom); }

  std::vector<std::unique_ptr<DesktopProgram>> programs;
  TempHome home;
  std::unique_ptr<AppContext> context;
  FixedScreens screens;  // one monitor of the server's size
  SilentSound sound;
  std::unique_ptr<T_DesktopWindow> panel;
};

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

TEST_F(X11Panel, WithoutACompositorItComposesItselfOverThePublishedWallpaper) {
  ASSERT_FALSE(X11CompositorRunning());
  DeleteProperty(Screen()->root, "_XROOTPMAP_ID");
  EXPECT_TRUE(X11RootWallpaper(QRect(10, 10, 20, 20)).isNull()) << "no wallpaper published yet";
  SetWallpaper(qRgb(0x33, 0x66, 0x99));
  const QImage part = X11RootWallpaper(QRect(100, 50, 40, 30));
  ASSERT_EQ(part.size(), QSize(40, 30));
  EXPECT_EQ(part.pixel(0, 0) & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(part.pixel(39, 29) & 0xFFFFFF, 0x336699u);
  // A pixel of the panel where nothing is drawn over the see-through background.
  const auto sample = [](T_DesktopWindow& shown) {
    const QImage shot = shown.grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() - 3);
  };
  const QColor overBlue = sample(Show(screens));
  SetWallpaper(qRgb(0xEE, 0xCC, 0x22));
  panel->FormPaint();
  const QColor overYellow = sample(*panel);
  // A blue desktop leaves the panel bluer than a yellow one: the new wallpaper was read.
  EXPECT_GT(overBlue.blue() - overBlue.red(), overYellow.blue() - overYellow.red());
  EXPECT_GT(overYellow.red(), overBlue.red());
}

TEST_F(X11Panel, UnderOpenboxItStaysBelowOutOfTaskBarsAndPagersOnEveryDesktopAlsoWhenBroughtBack) {
  RUN(StartOpenbox());
  Show(screens);
  const auto kept = [this] {
    const std::vector<quint32> desktop = Property(Window(), "_NET_WM_DESKTOP");
    return InState("_NET_WM_STATE_BELOW") && InState("_NET_WM_STATE_SKIP_TASKBAR") &&
           InState("_NET_WM_STATE_SKIP_PAGER") &&
           (InState("_NET_WM_STATE_STICKY") || desktop == std::vector<quint32>{0xFFFFFFFFu});
  };
  // The tray icon's press and a second start of the program both bring the panel back.
  for (const char* when : {"first show", "brought back", "brought back twice"}) {
    if (when != std::string_view("first show")) panel->BringBack();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get())) << when;
    // Managed: openbox tells the frame's size. It answers in its own time; waiting is not tested.
    ASSERT_TRUE(WaitFor([this] { return !Property(Window(), "_NET_FRAME_EXTENTS").empty(); })) << when;
    QTest::qWait(200);
    EXPECT_TRUE(WaitFor(kept, 3000)) << when << ": below " << InState("_NET_WM_STATE_BELOW") << ", skip taskbar "
                                     << InState("_NET_WM_STATE_SKIP_TASKBAR") << ", skip pager "
                                     << InState("_NET_WM_STATE_SKIP_PAGER");
  }
}

struct CompositorCase {
  const char* name;
  const char* program;
  bool startedAfterThePanel;  // the session started its compositor late: the next tick sees it
};

void PrintTo(const CompositorCase& c, std::ostream* os) { *os << c.name; }

class X11Compositor : public X11Panel, public ::testing::WithParamInterface<CompositorCase> {};

TEST_P(X11Compositor, ScreenshotShowsTheWallpaperThroughThePanel) {
  const CompositorCase& c = GetParam();
  RUN(StartOpenbox());
  DeleteProperty(Screen()->root, "_XROOTPMAP_ID");  // this wallpaper is a window
  const QColor wallColour(0x30, 0x70, 0xC0);
  WallpaperWindow wallpaper(wallColour.rgb());
  // What the panel looks like over that wallpaper, painted by the program itself.
  QImage wall(8, 8, QImage::Format_RGB32);
  wall.fill(wallColour);
  const QImage expected = T_DesktopWindow(*context, screens, sound).RenderOver(wall);
  if (!c.startedAfterThePanel) RUN(StartCompositor(QString::fromLatin1(c.program)));
  Show(screens);
  if (c.startedAfterThePanel) RUN(StartCompositor(QString::fromLatin1(c.program)));
  ASSERT_TRUE(X11CompositorRunning());
  ASSERT_TRUE(WaitFor([&] { return ScreenPixels(QRect(5, 5, 1, 1)).pixelColor(0, 0) == wallColour; }))
      << "the compositor shows the wallpaper window";
  panel->Timer1Timer();
  const QRect place = panel->geometry();
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
}

INSTANTIATE_TEST_SUITE_P(Managers, X11Compositor,
                         ::testing::Values(CompositorCase{"xcompmgr", "xcompmgr", false},
                                           CompositorCase{"picom", "picom", false},
                                           CompositorCase{"picom_started_late", "picom", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The scale is fixed when the application starts, so the test runs this program again at
// QT_SCALE_FACTOR=2 on the same server, where the placing is checked.
TEST_F(X11Panel, ScreenshotOfThePanelAtTwiceTheScaleInsideTheScreen) {
  if (qgetenv("QT_SCALE_FACTOR") != "2") {
    QProcess again;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    env.insert(QStringLiteral("ORVANE_TEST_X_SERVER"), qEnvironmentVariable("DISPLAY"));
    again.setProcessEnvironment(env);
    again.setProcessChannelMode(QProcess::MergedChannels);
    again.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=X11Panel.ScreenshotOfThePanelAtTwiceTheScaleInsideTheScreen")});
    ASSERT_TRUE(again.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(again.readAll());
    EXPECT_EQ(again.exitCode(), 0) << qPrintable(output);
    if (output.contains(QLatin1String("[  SKIPPED ]"))) GTEST_SKIP() << "skipped at 200%";
    return;
  }
  RUN(StartOpenbox());
  RUN(StartCompositor(QStringLiteral("xcompmgr")));
  WallpaperWindow wallpaper(qRgb(0x30, 0x70, 0xC0));
  for (int i = 0; i < 30; ++i) {
    const int n = context->calendar().AppendNote();
    TNote& note = context->calendar().NoteArray[static_cast<size_t>(n)];
    note.Title = QStringLiteral("Event %1").arg(i + 1);
    note.StartDate = note.EndDate = D(2026, 12, 7);  // all day
  }
  // Last placed at 100%: docked to the bottom right of the 1080-pixel screen, 40 rows high.
  TSettings& settings = context->settings();
  settings.SetInt(QStringLiteral("DesktopLeft"), 1700);
  settings.SetInt(QStringLiteral("DesktopTop"), 1080 - 40 * 21);
  settings.SetInt(QStringLiteral("LastWidth"), 220);
  settings.SetInt(QStringLiteral("LastHeight"), 40 * 21);
  settings.SetInt(QStringLiteral("MaxHeight"), 49);
  settings.SetBool(QStringLiteral("dockBottom"), true);
  settings.SetBool(QStringLiteral("dockRight"), true);
  LoadDisplaySettings(settings, context->display());
  QtScreens screensOfTheServer;
  Show(screensOfTheServer).Timer1Timer();
  EXPECT_EQ(panel->devicePixelRatioF(), 2);
  // The window's place in the server's own pixels.
  const QRect onScreen(0, 0, Screen()->width_in_pixels, Screen()->height_in_pixels);
  QRect native;
  WaitFor([&] {
    xcb_connection_t* c = Connection();
    std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> size(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, Window()), nullptr), &std::free);
    std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, Window(), Screen()->root, 0, 0), nullptr),
        &std::free);
    native = size && origin ? QRect(origin->dst_x, origin->dst_y, size->width, size->height) : QRect();
    return onScreen.contains(native) && native.right() == onScreen.right();
  });
  EXPECT_TRUE(onScreen.contains(native)) << native.x() << "," << native.y() << " " << native.width() << "x"
                                         << native.height();
  EXPECT_EQ(native.right(), onScreen.right()) << "docked to the right";
  EXPECT_EQ(native.size(), panel->size() * 2);
  EXPECT_TRUE(panel->painter().ScrollMode) << "more rows than the screen has room for";
  QTest::qWait(100);
  SaveScreenshot(ScreenPixels(native.adjusted(-80, 0, 0, 0).intersected(onScreen)),
                 QStringLiteral("panel-compositor-scale2"));
}

}  // namespace
