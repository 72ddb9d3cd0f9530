#include "core/splitline.h"

#include <algorithm>

namespace {

bool EndsWithCrLf(QStringView piece) { return piece.size() >= 2 && piece.endsWith(QLatin1String("\r\n")); }

}  // namespace

void T_SplitLine::split(const QString& text, int maxWidth, const Measure& measure) {
  lines_.clear();
  const qsizetype length = text.size();
  qsizetype p = 0;
  // The next CR LF at or after p (-1: none), looked for again only once p has passed it.
  qsizetype crLf = text.indexOf(QLatin1String("\r\n"));
  while (p < length) {
    // The piece reaches at most to the end of the text or through the next CR LF; within
    // that, it is the shortest prefix that reaches the width. Widths grow with the prefix,
    // so doubling steps and then halving ones find it in a few measures of pieces about a
    // line long, instead of one measure per character of the line.
    if (crLf >= 0 && crLf < p) crLf = text.indexOf(QLatin1String("\r\n"), p);
    const qsizetype longest = crLf < 0 ? length - p : crLf + 2 - p;
    qsizetype low = 0;  // a prefix known to stay below the width (0: none measured yet)
    qsizetype n = 1;
    int width = measure(text.mid(p, n));
    while (width < maxWidth && n < longest) {
      low = n;
      n = std::min(longest, n * 2);
      width = measure(text.mid(p, n));
    }
    if (width >= maxWidth) {
      // The first prefix that reaches the width lies in (low, n].
      while (n - low > 1) {
        const qsizetype mid = low + (n - low) / 2;
        const int midWidth = measure(text.mid(p, mid));
        if (midWidth >= maxWidth) {
          n = mid;
          width = midWidth;
        } else {
          low = mid;
        }
      }
    }
    if (width > maxWidth) {
      // Too wide: break after the piece's last blank or line break character, or else just
      // before the character that did not fit (but never take nothing).
      qsizetype breakAt = 0;
      for (qsizetype k = n; k >= 1; --k) {
        const QChar c = text.at(p + k - 1);
        if (c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
          breakAt = k;
          break;
        }
      }
      n = breakAt > 0 ? breakAt : std::max<qsizetype>(1, n - 1);
    }
    const QStringView piece = QStringView(text).mid(p, n);
    lines_.append(EndsWithCrLf(piece) ? piece.chopped(2).toString() : piece.toString());
    p += n;
  }
}

QString T_SplitLine::line(int index) const {
  return index >= 0 && index < lines_.size() ? lines_.at(index) : QString();
}
