#include "platform/x11desktop.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#if defined(ORVANE_HAVE_XCB)
#include <xcb/xcb.h>

namespace {

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_connection_t* Connection() {
  if (!qGuiApp) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

// The screen the program was started on (the number after the dot in DISPLAY, 0 without one).
int ScreenNumber() {
  int display = 0;
  int screen = 0;
  char* host = nullptr;
  if (!xcb_parse_display(nullptr, &host, &display, &screen)) screen = 0;
  std::free(host);
  return screen;
}

xcb_screen_t* DefaultScreen(xcb_connection_t* c) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  xcb_screen_t* first = it.rem > 0 ? it.data : nullptr;
  for (int i = ScreenNumber(); it.rem > 0; xcb_screen_next(&it), --i) {
    if (i == 0) return it.data;
  }
  return first;
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name, bool onlyIfExists = true) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

xcb_pixmap_t RootPixmap(xcb_connection_t* c, xcb_window_t root) {
  for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
    const xcb_atom_t atom = Atom(c, name);
    if (atom == XCB_ATOM_NONE) continue;
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom, XCB_ATOM_PIXMAP, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4) continue;
    xcb_pixmap_t pixmap;
    std::memcpy(&pixmap, xcb_get_property_value(reply.get()), sizeof pixmap);
    if (pixmap != XCB_NONE) return pixmap;
  }
  return XCB_NONE;
}

}  // namespace

bool X11CompositorRunning() {
  xcb_connection_t* c = Connection();
  if (!c) return false;
  // The compositing manager of a screen owns the selection named after the screen's number.
  const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(ScreenNumber());
  const xcb_atom_t atom = Atom(c, name.constData(), false);
  if (atom == XCB_ATOM_NONE) return false;
  Reply<xcb_get_selection_owner_reply_t> reply(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom), nullptr));
  return reply && reply->owner != XCB_NONE;
}

QImage X11RootWallpaper(const QRect& rect) {
  xcb_connection_t* c = Connection();
  if (!c || rect.isEmpty()) return QImage();
  xcb_screen_t* screen = DefaultScreen(c);
  if (!screen) return QImage();
  const xcb_pixmap_t pixmap = RootPixmap(c, screen->root);
  if (pixmap == XCB_NONE) return QImage();
  Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
  if (!geometry || (geometry->depth != 24 && geometry->depth != 32)) return QImage();
  const QRect part = rect.intersected(QRect(0, 0, geometry->width, geometry->height));
  QImage image(rect.size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  if (part.isEmpty()) return image;
  Reply<xcb_get_image_reply_t> reply(
      xcb_get_image_reply(c,
                          xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, static_cast<int16_t>(part.x()),
                                        static_cast<int16_t>(part.y()), static_cast<uint16_t>(part.width()),
                                        static_cast<uint16_t>(part.height()), ~0u),
                          nullptr));
  if (!reply) return QImage();
  // 24- and 32-bit pixmaps come as 32 bits a pixel, blue first: the layout of RGB32.
  const int length = xcb_get_image_data_length(reply.get());
  const qsizetype rowBytes = qsizetype(part.width()) * 4;
  if (length < rowBytes * part.height()) return QImage();
  const uint8_t* data = xcb_get_image_data(reply.get());
  for (int y = 0; y < part.height(); ++y) {
    auto* line = reinterpret_cast<quint32*>(image.scanLine(part.y() - rect.y() + y)) + (part.x() - rect.x());
    std::memcpy(line, data + y * rowBytes, static_cast<size_t>(rowBytes));
    for (int x = 0; x < part.width(); ++x) line[x] |= 0xFF000000u;
  }
  return image;
}

void X11MarkDesktopPanel(QWidget* window) {
  xcb_connection_t* c = Connection();
  if (!c || !window) return;
  xcb_screen_t* screen = DefaultScreen(c);
  const xcb_atom_t state = Atom(c, "_NET_WM_STATE", false);
  const xcb_atom_t desktop = Atom(c, "_NET_WM_DESKTOP", false);
  const xcb_atom_t below = Atom(c, "_NET_WM_STATE_BELOW", false);
  const xcb_atom_t skipTaskbar = Atom(c, "_NET_WM_STATE_SKIP_TASKBAR", false);
  const xcb_atom_t skipPager = Atom(c, "_NET_WM_STATE_SKIP_PAGER", false);
  const xcb_atom_t sticky = Atom(c, "_NET_WM_STATE_STICKY", false);
  if (!screen || state == XCB_ATOM_NONE || desktop == XCB_ATOM_NONE) return;
  const auto id = static_cast<xcb_window_t>(window->winId());
  const uint32_t all = 0xFFFFFFFFu;

  // The properties the window manager reads when it takes the window on. The state list is
  // merged, so what Qt put there stays.
  std::vector<xcb_atom_t> atoms;
  Reply<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr));
  if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
    const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    atoms.assign(data, data + std::max(0, count));
  }
  for (xcb_atom_t wanted : {below, skipTaskbar, skipPager, sticky}) {
    if (wanted != XCB_ATOM_NONE && std::find(atoms.begin(), atoms.end(), wanted) == atoms.end()) {
      atoms.push_back(wanted);
    }
  }
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, static_cast<uint32_t>(atoms.size()),
                      atoms.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &all);

  // The same as requests, which a window manager obeys for a window it manages (and ignores
  // for one it does not manage yet).
  const auto send = [&](xcb_atom_t type, uint32_t a, uint32_t b, uint32_t d) {
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = type;
    message.data.data32[0] = a;
    message.data.data32[1] = b;
    message.data.data32[2] = d;
    message.data.data32[3] = 2;  // from a pager-like client: obey
    xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
  };
  constexpr uint32_t add = 1;
  send(state, add, skipTaskbar, skipPager);
  send(state, add, sticky, below);
  send(desktop, all, 2, 0);
  xcb_flush(c);
}

#else

bool X11CompositorRunning() { return false; }
QImage X11RootWallpaper(const QRect&) { return QImage(); }
void X11MarkDesktopPanel(QWidget*) {}

#endif
