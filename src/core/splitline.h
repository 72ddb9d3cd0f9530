#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Breaks a text into lines that fit a width, as measured by the caller (printing measures
// with its page's font). Keeps the lines of the last text split.
class T_SplitLine {
 public:
  // The width of a piece of text, in the unit of maxWidth (pixels).
  using Measure = std::function<int(const QString&)>;

  // Replaces the lines by those of text. A line ends at the last blank, CR or LF that keeps
  // it within maxWidth (keeping that character), at CR LF (dropping the pair), or, for a
  // word wider than maxWidth, before its first character that does not fit. Every line
  // takes at least one character, so a width too small for any yields one per line.
  void split(const QString& text, int maxWidth, const Measure& measure);

  // The line at index, or the empty string when there is none.
  QString line(int index) const;
  int lineCount() const { return static_cast<int>(lines_.size()); }

 private:
  QStringList lines_;
};
