#include "core/trimcontrol.h"

namespace {

template <typename Blank>
QString TrimWhere(const QString& text, Blank blank) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

QString TrimControl(const QString& text) {
  return TrimWhere(text, [](QChar c) { return c.unicode() <= 0x20; });
}

QString TrimControlAndSpace(const QString& text) {
  return TrimWhere(text,
                   [](QChar c) { return c.unicode() <= 0x20 || c.category() == QChar::Other_Control || c.isSpace(); });
}
