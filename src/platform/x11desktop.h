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

// Marks the panel for the window manager: kept below other windows, without a task-bar or
// pager entry, on every virtual desktop. Call it before the window is mapped (the window
// manager reads the hints when it takes the window on) and again once it is mapped: a window
// manager drops the hints when a window is withdrawn, and the map that follows a quick hide
// can reach it before it has forgotten the old ones, so the hints are asked for again.
void X11MarkDesktopPanel(QWidget* window);
