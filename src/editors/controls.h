#pragma once

#include <QString>

// The widget with its objectName set, so a control is made, named and placed in one line and
// tests find it by its given name.
template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}
