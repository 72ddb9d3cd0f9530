#pragma once

#include "core/tdatetime.h"

#include <QString>
#include <ostream>

// 2024-01-05 as a date value.
inline TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
// 2024-01-05 09:30 as a moment.
inline TDateTime DT(int y, int m, int d, int h, int n, int s = 0) { return EncodeDate(y, m, d) + EncodeTime(h, n, s); }

// Lets GoogleTest print QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// The one QApplication of the test program, made on first use (widgets need it).
void EnsureApplication();

// A folder of the test's own, removed afterwards; XDG_DATA_HOME and XDG_CONFIG_HOME point
// into it while it lives, and the data folder in it is ready.
class TempHome {
 public:
  TempHome();
  ~TempHome();
  QString path() const { return path_; }

 private:
  QString path_;
  QByteArray oldDataHome_;
  QByteArray oldConfigHome_;
};
