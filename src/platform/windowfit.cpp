#include "platform/windowfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

// A title bar and thin borders, as common window managers draw them.
constexpr QMargins FrameAllowance(4, 30, 4, 4);

QScreen* ScreenFor(const QWidget* window, const QPoint& centre) {
  if (QScreen* s = QGuiApplication::screenAt(centre)) return s;
  if (window && window->screen()) return window->screen();
  return QGuiApplication::primaryScreen();
}

QRect AvailableOf(QScreen* screen) { return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800); }

// The position along one axis: inside [low, high - length], at low when it does not fit.
int Inside(int wanted, int length, int low, int high) { return std::max(low, std::min(wanted, high - length)); }

}  // namespace

QRect FitIntoArea(const QRect& wanted, const QRect& area, const QMargins& frame, const QSize& minimum) {
  const QRect inner = area.marginsRemoved(frame);
  const QSize size = wanted.size().boundedTo(inner.size()).expandedTo(minimum);
  const int x = Inside(wanted.x(), size.width(), inner.left(), inner.left() + inner.width());
  const int y = Inside(wanted.y(), size.height(), inner.top(), inner.top() + inner.height());
  return QRect(QPoint(x, y), size);
}

QMargins WindowFrame(const QWidget* window) {
  // Known once the window exists on the platform (for some window managers only once it is
  // shown); until then an allowance.
  if (window && window->windowHandle()) {
    const QMargins known = window->windowHandle()->frameMargins();
    if (!known.isNull()) return known;
  }
  return FrameAllowance;
}

void FitOnScreen(QWidget* window, const QRect& wanted) {
  const QRect area = AvailableOf(ScreenFor(window, wanted.center()));
  const QMargins frame = WindowFrame(window);
  const QRect client(wanted.topLeft() + QPoint(frame.left(), frame.top()), wanted.size());
  window->setGeometry(FitIntoArea(client, area, frame, window->minimumSize()));
}

void CentreOnScreen(QWidget* window) {
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  const QRect area = AvailableOf(screen);
  const QMargins frame = WindowFrame(window);
  QRect wanted(QPoint(), window->size().boundedTo(area.marginsRemoved(frame).size()));
  wanted.moveCenter(area.center());
  window->setGeometry(FitIntoArea(wanted, area, frame, window->minimumSize()));
}
