#pragma once

#include <QAction>
#include <QString>

// The widget with its objectName set, so a control is made, named and placed in one line and
// tests find it by its given name.
template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// An action of a menu or menu bar, named like the controls.
inline QAction* NamedAction(QObject* parent, const QString& text, const char* name) {
  return Named(new QAction(text, parent), name);
}
