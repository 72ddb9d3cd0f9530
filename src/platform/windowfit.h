#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// First sizes and places of the program's windows: every window opens inside the available
// area of its screen (the screen less panels and docks), frame included, however large the
// size it asks for or was stored with.

// The client geometry for a window that wants `wanted` in `area`, given the frame the window
// manager puts around it: no larger than the area less the frame, and moved so that the frame
// lies inside the area. A window whose minimum is larger than the area keeps its minimum and
// starts at the area's top left corner, so its title bar stays reachable.
QRect FitIntoArea(const QRect& wanted, const QRect& area, const QMargins& frame, const QSize& minimum = QSize());

// The frame the window manager draws around the window: the real one once it is known, an
// allowance for a title bar and borders before.
QMargins WindowFrame(const QWidget* window);

// Gives a top-level window the place and size `wanted` (its frame's corner, as QWidget::pos
// gives it, and its client size), fitted into the available geometry of the screen under
// wanted's centre (the primary screen when none is).
void FitOnScreen(QWidget* window, const QRect& wanted);

// Centres a top-level window at its size on its screen (the primary one when it has none),
// shrunk to fit the available geometry.
void CentreOnScreen(QWidget* window);
