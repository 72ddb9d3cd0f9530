// The panel on a private X server (Xvfb, with the Composite extension, started once for the
// program) with the desktop programs users run: without a compositing manager it composes
// itself over the wallpaper published on the root window; under openbox it stays below other
// windows, out of task bars and pagers, on every virtual desktop, also when brought back;
// under xcompmgr or picom (also one started after the panel) the desktop shows through it,
// whatever draws the wallpaper; on a screen scaled to 200% it is placed inside the screen and
// painted at twice the pixels.

#include "core/memorykeystore.h"
#include "desktop/alarmbox.h"
#include "desktop/desktopwindow.h"
#include "desktop/displayfunctions.h"
#include "platform/qtscreens.h"
#include "platform/screens.h"
#include "platform/sound.h"
#include "platform/x11desktop.h"
#include "session/appcontext.h"
#include "settings/settings.h"
#include "support/screenshot.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

QString serverProblem = QStringLiteral("the private X server did not start");

class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    // A test that runs this program again (at another scale) hands it its server.
    QByteArray display = qgetenv("ORVANE_TEST_X_SERVER");
    if (display.isEmpty()) {
      const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
      if (xvfb.isEmpty()) {
        serverProblem = QStringLiteral("Xvfb is not installed");
        return;
      }
      // The server takes a display nobody uses and names it once it accepts connections.
      server_.start(xvfb, QStringLiteral("-displayfd 1 -screen 0 1920x1080x24 +extension Composite -nolisten tcp")
                              .split(QLatin1Char(' ')));
      while (!display.endsWith('\n') && server_.waitForReadyRead(10000)) display += server_.readAllStandardOutput();
      if (!display.endsWith('\n')) {
        server_.kill();
        server_.waitForFinished();
        return;
      }
      display = ":" + display.trimmed();
    }
    qputenv("DISPLAY", display);
    // The test environment pins the offscreen platform; the command line outranks it.
    static int argc = 3;
    static char name[] = "test_x11", option[] = "-platform", platform[] = "xcb";
    static char* argv[] = {name, option, platform, nullptr};
    new QApplication(argc, argv);
  }
  void TearDown() override {
    delete QCoreApplication::instance();
    server_.terminate();
    server_.waitForFinished(3000);
  }

 private:
  QProcess server_;
};

const auto* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new XServer);

bool ServerRunning() { return QCoreApplication::instance() && QGuiApplication::platformName() == "xcb"; }
xcb_connection_t* Connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }
xcb_screen_t* Screen() { return xcb_setup_roots_iterator(xcb_get_setup(Connection())).data; }

// An xcb reply, freed with the object.
template <typename T>
std::unique_ptr<T, decltype(&std::free)> Own(T* reply) {
  return {reply, &std::free};
}

xcb_atom_t Atom(const char* name) {
  xcb_connection_t* c = Connection();
  const auto reply =
      Own(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// Processes events until the condition holds; false when it still does not after ms.
bool WaitFor(const std::function<bool()>& condition, int ms = 5000) {
  const QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(20);
  }
  return true;
}

// A window's 32-bit property (cardinals, atoms, windows); empty when it is absent.
std::vector<quint32> Property(xcb_window_t window, const char* name) {
  xcb_connection_t* c = Connection();
  const auto reply = Own(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
  if (!reply || reply->format != 32) return {};
  const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
  return std::vector<quint32>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

void DropWallpaper() {
  xcb_delete_property(Connection(), Screen()->root, Atom("_XROOTPMAP_ID"));
  xcb_flush(Connection());
}

// What the screen shows (the root window's pixels, which under a compositing manager are the
// composed picture) in a rectangle.
QImage ScreenPixels(const QRect& r) {
  xcb_connection_t* c = Connection();
  const auto reply =
      Own(xcb_get_image_reply(c,
                              xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, Screen()->root, static_cast<int16_t>(r.x()),
                                            static_cast<int16_t>(r.y()), static_cast<uint16_t>(r.width()),
                                            static_cast<uint16_t>(r.height()), ~0u),
                              nullptr));
  // 32 bits a pixel at depth 24, the unused byte in place of alpha: converted, it becomes opaque.
  if (!reply || xcb_get_image_data_length(reply.get()) < r.width() * r.height() * 4) return QImage();
  return QImage(xcb_get_image_data(reply.get()), r.width(), r.height(), QImage::Format_RGB32)
      .convertToFormat(QImage::Format_ARGB32);
}

// A program run on the private server while the object lives: empty problem when it runs
// and has taken up its role (ready: it owns its selection, ...); missing when not installed.
struct DesktopProgram {
  DesktopProgram(const QString& program, const QStringList& arguments, const std::function<bool()>& ready) {
    const QString path = QStandardPaths::findExecutable(program);
    missing = path.isEmpty();
    if (missing) {
      problem = program + QStringLiteral(" is not installed");
      return;
    }
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path, arguments);
    const auto running = [this] { return process.state() == QProcess::Running; };
    if (!process.waitForStarted(5000) || !WaitFor([&] { return !running() || ready(); }, 10000) || !running()) {
      problem = program + QStringLiteral(" did not start and take up its role on the X server");
    }
  }
  ~DesktopProgram() {
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(2000);
    QTest::qWait(50);
  }
  QProcess process;
  QString problem;
  bool missing = false;
};

// openbox announces itself on the root window before it takes windows on: it is ready once it
// manages a probe window (which tells its frame), mapped anew until it does.
std::unique_ptr<DesktopProgram> StartOpenbox() {
  xcb_connection_t* c = Connection();
  const xcb_window_t probe = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, Screen()->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    Screen()->root_visual, 0, nullptr);
  int polls = 0;
  auto program = std::make_unique<DesktopProgram>(QStringLiteral("openbox"), QStringList{"--sm-disable"}, [&] {
    if (!Property(probe, "_NET_FRAME_EXTENTS").empty()) return true;
    if (polls++ % 10 == 0) xcb_unmap_window(c, probe), xcb_map_window(c, probe), xcb_flush(c);
    return false;
  });
  xcb_destroy_window(c, probe);
  xcb_flush(c);
  QTest::qWait(50);
  return program;
}

// xcompmgr, or picom with its X Render backend, no configuration of the user's, no shadows or
// fading: ready once it owns the compositing manager selection.
std::unique_ptr<DesktopProgram> StartCompositor(const QString& program) {
  const QStringList picom = {"--backend", "xrender", "--config", "/dev/null"};
  return std::make_unique<DesktopProgram>(program, program == "picom" ? picom : QStringList(), [] {
    xcb_connection_t* c = Connection();
    const auto owner =
        Own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Atom("_NET_WM_CM_S0")), nullptr));
    return owner && owner->owner != XCB_NONE;
  });
}

// A program the test needs: one that is not installed skips the test, one that fails fails it.
#define RUN(start)                                                         \
  do {                                                                     \
    const DesktopProgram& program = *programs.emplace_back(start);         \
    if (program.missing) GTEST_SKIP() << qPrintable(program.problem);      \
    ASSERT_TRUE(program.problem.isEmpty()) << qPrintable(program.problem); \
  } while (false)

int Distance(QColor a, QColor b) {
  return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())});
}

class X11Panel : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ServerRunning()) GTEST_SKIP() << qPrintable(serverProblem);
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0)),
                                           std::make_unique<ScriptedDialogs>(), std::make_unique<MemoryKeyStore>());
    PainterStartup(*context);
  }
  void TearDown() override {
    if (!context) return;
    PainterShutdown(*context);
    panel.reset();
    while (!programs.empty()) programs.pop_back();
    for (const xcb_window_t w : windows) xcb_destroy_window(Connection(), w);
    DropWallpaper();
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
  // A window of one colour over the whole screen, of the desktop type that desktop
  // environments draw their wallpaper in (kept below every other); it publishes no pixmap.
  void WallpaperWindow(QRgb colour) {
    xcb_connection_t* c = Connection();
    const xcb_window_t w = windows.emplace_back(xcb_generate_id(c));
    const uint32_t values[] = {colour & 0xFFFFFFu};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, Screen()->root, 0, 0, 1920, 1080, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      Screen()->root_visual, XCB_CW_BACK_PIXEL, values);
    const xcb_atom_t type = Atom("_NET_WM_WINDOW_TYPE_DESKTOP");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, Atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
    xcb_map_window(c, w);
    xcb_flush(c);
  }
  xcb_window_t Window() const { return static_cast<xcb_window_t>(panel->winId()); }
  bool InState(const char* atom) const {
    const std::vector<quint32> states = Property(Window(), "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), Atom(atom)) != states.end();
  }

  std::vector<std::unique_ptr<DesktopProgram>> programs;
  std::vector<xcb_window_t> windows;
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
  DropWallpaper();
  EXPECT_TRUE(X11RootWallpaper(QRect(10, 10, 20, 20)).isNull()) << "no wallpaper published yet";
  SetWallpaper(qRgb(0x33, 0x66, 0x99));
  const QImage part = X11RootWallpaper(QRect(100, 50, 40, 30));
  ASSERT_EQ(part.size(), QSize(40, 30));
  EXPECT_EQ(part.pixel(0, 0) & 0xFFFFFF, 0x336699u);
  EXPECT_EQ(part.pixel(39, 29) & 0xFFFFFF, 0x336699u);
  // A pixel of the panel where nothing is drawn over the see-through background.
  const auto sample = [this] {
    const QImage shot = panel->grab().toImage();
    return shot.pixelColor(shot.width() / 2, shot.height() - 3);
  };
  Show(screens);
  const QColor overBlue = sample();
  SetWallpaper(qRgb(0xEE, 0xCC, 0x22));
  panel->FormPaint();
  const QColor overYellow = sample();
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

// An alarm comes while the user types in another window: the box shows on top with its
// whole caption and the keyboard stays where it was.
TEST_F(X11Panel, ScreenshotOfTheAlarmBoxUnderOpenboxThatLeavesTheKeyboardWhereItWas) {
  RUN(StartOpenbox());
  QLineEdit typing;
  typing.setWindowTitle(QStringLiteral("Typing"));
  typing.setGeometry(200, 200, 400, 40);
  typing.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&typing));
  T_AlarmBox box;
  box.AddAlarms({{DueAlarm{0, QStringLiteral("a"), 1, 1, true}, QStringLiteral("Missed: 9:30 AM Dentist"),
                  QStringLiteral("Room 4")},
                 {DueAlarm{1, QStringLiteral("b"), 1, 1}, QStringLiteral("2:00 PM Team standup"), QString()}},
                10);
  const auto frameOf = [&box] { return Property(static_cast<xcb_window_t>(box.winId()), "_NET_FRAME_EXTENTS"); };
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box) && WaitFor([&] { return frameOf().size() == 4; }));
  QTest::qWait(300);
  EXPECT_TRUE(typing.isActiveWindow()) << "the box took the keyboard";
  const std::vector<quint32> frame = frameOf();
  const QRect outer = box.geometry().adjusted(-int(frame[0]), -int(frame[2]), int(frame[1]), int(frame[3]));
  SaveScreenshot(ScreenPixels(outer), QStringLiteral("alarmbox-openbox"));
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
  DropWallpaper();  // this wallpaper is a window
  const QColor wallColour(0x30, 0x70, 0xC0);
  WallpaperWindow(wallColour.rgb());
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
    again.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=X11Panel.*TwiceTheScale*")});
    ASSERT_TRUE(again.waitForFinished(120000));
    const QString output = QString::fromLocal8Bit(again.readAll());
    EXPECT_EQ(again.exitCode(), 0) << qPrintable(output);
    if (output.contains(QLatin1String("[  SKIPPED ]"))) GTEST_SKIP() << "skipped at 200%";
    return;
  }
  RUN(StartOpenbox());
  RUN(StartCompositor(QStringLiteral("xcompmgr")));
  WallpaperWindow(qRgb(0x30, 0x70, 0xC0));
  for (int i = 0; i < 30; ++i) {  // all-day events
    TNote& note = context->calendar().NoteArray[static_cast<size_t>(context->calendar().AppendNote())];
    note.Title = QStringLiteral("Event %1").arg(i + 1), note.StartDate = note.EndDate = D(2026, 12, 7);
  }
  // Last placed at 100%: docked to the bottom right of the 1080-pixel screen, 40 rows high.
  const std::pair<const char*, int> place[] = {{"DesktopLeft", 1700}, {"DesktopTop", 1080 - 40 * 21},
                                               {"LastWidth", 220},    {"LastHeight", 40 * 21},
                                               {"MaxHeight", 49},     {"dockBottom", -1},
                                               {"dockRight", -1}};
  for (const auto& [key, value] : place) context->settings().SetInt(QLatin1String(key), value);
  LoadDisplaySettings(context->settings(), context->display());
  QtScreens screensOfTheServer;
  Show(screensOfTheServer).Timer1Timer();
  EXPECT_EQ(panel->devicePixelRatioF(), 2);
  // The window's place in the server's own pixels.
  const QRect onScreen(0, 0, Screen()->width_in_pixels, Screen()->height_in_pixels);
  QRect native;
  WaitFor([&] {
    xcb_connection_t* c = Connection();
    const auto size = Own(xcb_get_geometry_reply(c, xcb_get_geometry(c, Window()), nullptr));
    const auto origin =
        Own(xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, Window(), Screen()->root, 0, 0), nullptr));
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
