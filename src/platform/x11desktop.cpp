#include "platform/x11desktop.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <memory>

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

xcb_screen_t* FirstScreen(xcb_connection_t* c) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  return it.rem > 0 ? it.data : nullptr;
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
  const xcb_atom_t atom = Atom(c, "_NET_WM_CM_S0", false);
  if (atom == XCB_ATOM_NONE) return false;
  Reply<xcb_get_selection_owner_reply_t> reply(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom), nullptr));
  return reply && reply->owner != XCB_NONE;
}

QImage X11RootWallpaper(const QRect& rect) {
  xcb_connection_t* c = Connection();
  if (!c || rect.isEmpty()) return QImage();
  xcb_screen_t* screen = FirstScreen(c);
  if (!screen) return QImage();
  const xcb_pixmap_t pixmap = RootPixmap(c, screen->root);
  if (pixmap == XCB_NONE) return QImage();
  Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, pixmap), nullptr));
  if (!geometry || (geometry->depth != 24 && geometry->depth != 32)) return QImage();
  const QRect part = rect.intersected(QRect(0, 0, geometry->width, geometry->height));
  QImage image(rect.size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  if (part.isEmpty()) return image;
  Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
      c,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, static_cast<int16_t>(part.x()), static_cast<int16_t>(part.y()),
                    static_cast<uint16_t>(part.width()), static_cast<uint16_t>(part.height()), ~0u),
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

void X11ShowOnAllDesktops(QWidget* window) {
  xcb_connection_t* c = Connection();
  if (!c || !window) return;
  xcb_screen_t* screen = FirstScreen(c);
  const xcb_atom_t desktop = Atom(c, "_NET_WM_DESKTOP", false);
  if (!screen || desktop == XCB_ATOM_NONE) return;
  const auto id = static_cast<xcb_window_t>(window->winId());
  const uint32_t all = 0xFFFFFFFFu;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &all);
  // A mapped window asks the window manager.
  xcb_client_message_event_t message = {};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = id;
  message.type = desktop;
  message.data.data32[0] = all;
  message.data.data32[1] = 2;  // from a pager-like client: obey
  xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(c);
}

#else

bool X11CompositorRunning() { return false; }
QImage X11RootWallpaper(const QRect&) { return QImage(); }
void X11ShowOnAllDesktops(QWidget*) {}

#endif
