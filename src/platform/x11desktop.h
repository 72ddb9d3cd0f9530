#pragma once

#include <QImage>
#include <QRect>

class QWidget;

// What the panel needs to know of an X11 desktop. On other platforms (offscreen, Wayland
// without XWayland) every answer is "nothing": no compositor, no wallpaper.

// Whether a compositing manager runs (it owns the _NET_WM_CM_S<screen> selection), so a
// translucent window shows the desktop through.
bool X11CompositorRunning();

// The part of the wallpaper under a rectangle of the desktop, read from the pixmap that
// wallpaper setters publish on the root window (_XROOTPMAP_ID, or ESETROOT_PMAP_ID). A null
// image when there is none. Read afresh at every call, so a new wallpaper shows at the next
// repaint.
QImage X11RootWallpaper(const QRect& rect);

// Asks the window manager to show the window on every virtual desktop.
void X11ShowOnAllDesktops(QWidget* window);
