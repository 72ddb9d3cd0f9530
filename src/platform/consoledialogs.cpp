#include "platform/consoledialogs.h"

#include <cstdio>

Dialogs::Answer ConsoleDialogs::MessageBox(const QString& text, const QString& caption, Buttons buttons, Icon) {
  QTextStream err(stderr);
  err << "orvane: " << caption << ": " << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))
      << Qt::endl;
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}
