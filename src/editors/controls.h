#pragma once

#include <QAction>
#include <QContextMenuEvent>
#include <QListWidget>
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

// Where a list's context menu opens: at the pointer, or, when the keyboard asked for it, over
// the entry its commands act on (-1: none, at the pointer's place as the event gives it).
inline QPoint ContextMenuPoint(const QContextMenuEvent& event, const QAbstractItemView& list, int entry) {
  if (event.reason() != QContextMenuEvent::Keyboard || entry < 0) return event.globalPos();
  return list.viewport()->mapToGlobal(list.visualRect(list.model()->index(entry, 0)).center());
}
