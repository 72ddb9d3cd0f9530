#include "core/splitline.h"

namespace {

bool EndsWithCrLf(QStringView piece) { return piece.size() >= 2 && piece.endsWith(QLatin1String("\r\n")); }

}  // namespace

void T_SplitLine::split(const QString& text, int maxWidth, const Measure& measure) {
  lines_.clear();
  const qsizetype length = text.size();
  qsizetype p = 0;
  while (p < length) {
    // Grow the piece until it reaches the width, the end of the text or a CR LF.
    qsizetype n = 0;
    int width = 0;
    for (;;) {
      ++n;
      width = measure(text.mid(p, n));
      if (width >= maxWidth || p + n >= length || EndsWithCrLf(QStringView(text).mid(p, n))) break;
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
