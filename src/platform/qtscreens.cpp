#include "platform/qtscreens.h"

#include <QGuiApplication>
#include <QScreen>

int QtScreens::count() const { return static_cast<int>(QGuiApplication::screens().size()); }

Monitor QtScreens::info(int index) const {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (index < 0 || index >= screens.size()) return Monitor();
  const QScreen* screen = screens.at(index);
  return Monitor{screen->geometry(), screen->availableGeometry(), screen == QGuiApplication::primaryScreen()};
}

int QtScreens::primary() const {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const qsizetype at = screens.indexOf(QGuiApplication::primaryScreen());
  if (at >= 0) return static_cast<int>(at);
  return screens.isEmpty() ? -1 : 0;
}
