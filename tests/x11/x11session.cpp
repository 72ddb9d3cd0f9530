#include "x11session.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTest>
#include <QtGui/qguiapplication_platform.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace x11test {
namespace {

QString problem = QStringLiteral("the private X server did not start");

class XServer : public ::testing::Environment {
 public:
  void SetUp() override {
    // A test that runs this program again (at another scale) hands it its server.
    const QByteArray given = qgetenv("ORVANE_TEST_X_SERVER");
    if (!given.isEmpty()) {
      qputenv("DISPLAY", given);
      StartApplication();
      return;
    }
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
      problem = QStringLiteral("Xvfb is not installed");
      return;
    }
    // The server takes a display nobody uses and names it once it accepts connections.
    server_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("1920x1080x24"), QStringLiteral("+extension"),
                         QStringLiteral("Composite"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QByteArray display;
    while (!display.endsWith('\n') && server_.waitForReadyRead(10000)) display += server_.readAllStandardOutput();
    running_ = display.endsWith('\n');
    if (!running_) {
      server_.kill();
      server_.waitForFinished();
      return;
    }
    qputenv("DISPLAY", ":" + display.trimmed());
    StartApplication();
  }
  static void StartApplication() {
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

 private:
  QProcess server_;
  bool running_ = false;
};

const auto* const serverEnvironment = ::testing::AddGlobalTestEnvironment(new XServer);

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

}  // namespace

bool ServerRunning() { return QCoreApplication::instance() && QGuiApplication::platformName() == "xcb"; }
QString ServerProblem() { return problem; }

xcb_connection_t* Connection() {
  return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_screen_t* Screen() { return xcb_setup_roots_iterator(xcb_get_setup(Connection())).data; }

xcb_atom_t Atom(const char* name) {
  xcb_connection_t* c = Connection();
  Reply<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
  const QDeadlineTimer deadline(ms);
  while (!condition()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(20);
  }
  return true;
}

std::vector<quint32> Property(xcb_window_t window, const char* name) {
  xcb_connection_t* c = Connection();
  Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, Atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
  if (!reply || reply->format != 32) return {};
  const auto* data = static_cast<const quint32*>(xcb_get_property_value(reply.get()));
  return std::vector<quint32>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

bool HasAtom(xcb_window_t window, const char* property, const char* atom) {
  const std::vector<quint32> values = Property(window, property);
  return std::find(values.begin(), values.end(), Atom(atom)) != values.end();
}

void DeleteProperty(xcb_window_t window, const char* name) {
  xcb_delete_property(Connection(), window, Atom(name));
  xcb_flush(Connection());
}

QImage ScreenPixels(const QRect& rect) {
  xcb_connection_t* c = Connection();
  Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, Screen()->root, static_cast<int16_t>(rect.x()),
                    static_cast<int16_t>(rect.y()), static_cast<uint16_t>(rect.width()),
                    static_cast<uint16_t>(rect.height()), ~0u),
      nullptr));
  // 32 bits a pixel at depth 24, the unused byte in place of alpha: converted, it becomes opaque.
  if (!reply || xcb_get_image_data_length(reply.get()) < rect.width() * rect.height() * 4) return QImage();
  return QImage(xcb_get_image_data(reply.get()), rect.width(), rect.height(), QImage::Format_RGB32)
      .convertToFormat(QImage::Format_ARGB32);
}

WallpaperWindow::WallpaperWindow(QRgb colour) {
  xcb_connection_t* c = Connection();
  xcb_screen_t* screen = Screen();
  window_ = xcb_generate_id(c);
  const uint32_t values[] = {colour & 0xFFFFFFu};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, screen->root, 0, 0, screen->width_in_pixels,
                    screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL, values);
  const xcb_atom_t type = Atom("_NET_WM_WINDOW_TYPE_DESKTOP");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, Atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &type);
  xcb_map_window(c, window_);
  xcb_flush(c);
}

WallpaperWindow::~WallpaperWindow() {
  xcb_destroy_window(Connection(), window_);
  xcb_flush(Connection());
}

DesktopProgram::DesktopProgram(const QString& program, const QStringList& arguments,
                               const std::function<bool()>& ready) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) {
    missing = true;
    problem = program + QStringLiteral(" is not installed");
    return;
  }
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.setStandardOutputFile(QProcess::nullDevice());
  process_.start(path, arguments);
  if (!process_.waitForStarted(5000)) {
    problem = program + QStringLiteral(" did not start");
    return;
  }
  if (!WaitFor([&] { return process_.state() != QProcess::Running || ready(); }, 10000) ||
      process_.state() != QProcess::Running) {
    problem = program + QStringLiteral(" did not take up its role on the X server");
  }
}

DesktopProgram::~DesktopProgram() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(5000)) {
    process_.kill();
    process_.waitForFinished(2000);
  }
  QTest::qWait(50);
}

std::unique_ptr<DesktopProgram> StartOpenbox() {
  // openbox announces itself on the root window before it takes windows on: it is ready
  // once it manages a probe window (which tells its frame), mapped anew until it does.
  xcb_connection_t* c = Connection();
  xcb_screen_t* screen = Screen();
  const xcb_window_t probe = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    screen->root_visual, 0, nullptr);
  int polls = 0;
  auto program = std::make_unique<DesktopProgram>(QStringLiteral("openbox"), QStringList{QStringLiteral("--sm-disable")},
                                                  [&] {
                                                    if (!Property(probe, "_NET_FRAME_EXTENTS").empty()) return true;
                                                    if (polls++ % 10 == 0) {
                                                      xcb_unmap_window(c, probe);
                                                      xcb_map_window(c, probe);
                                                      xcb_flush(c);
                                                    }
                                                    return false;
                                                  });
  xcb_destroy_window(c, probe);
  xcb_flush(c);
  QTest::qWait(50);
  return program;
}

std::unique_ptr<DesktopProgram> StartCompositor(const QString& program) {
  QStringList arguments;
  if (program == QLatin1String("picom")) {
    // No configuration file of the user's, no shadows or fading: the plain composition.
    arguments = {QStringLiteral("--backend"), QStringLiteral("xrender"), QStringLiteral("--config"),
                 QStringLiteral("/dev/null")};
  }
  return std::make_unique<DesktopProgram>(program, arguments, [] {
    xcb_connection_t* c = Connection();
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, Atom("_NET_WM_CM_S0")), nullptr));
    return reply && reply->owner != XCB_NONE;
  });
}

}  // namespace x11test
