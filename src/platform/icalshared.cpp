#include "platform/icalshared.h"

namespace ics {

QByteArray DayText(int day) {
  int y, m, d;
  DecodeDate(day, y, m, d);
  return QByteArray::number(y).rightJustified(4, '0') + QByteArray::number(m).rightJustified(2, '0') +
         QByteArray::number(d).rightJustified(2, '0');
}

std::optional<int> ParseDayText(const QByteArray& text) {
  if (text.size() != 8) return std::nullopt;
  bool ok1, ok2, ok3;
  const int y = text.left(4).toInt(&ok1), m = text.mid(4, 2).toInt(&ok2), d = text.mid(6, 2).toInt(&ok3);
  if (!ok1 || !ok2 || !ok3 || y < 1 || !IsValidDate(y, m, d)) return std::nullopt;
  return static_cast<int>(EncodeDate(y, m, d));
}

QString Plural(int n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

}  // namespace ics
