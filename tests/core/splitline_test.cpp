// Breaking texts into lines that fit a width.
#include "core/splitline.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitLine, BreaksAtBlanksAndLineBreaksAndCutsLongWords) {
  const std::tuple<QString, int, QStringList> rows[] = {
      // text, width (10 per character), lines
      {"x", 100, {"x"}},
      {"", 100, {}},
      {"one two three", 80, {"one two ", "three"}},  // "one two " is exactly 80 wide
      {"one two three", 85, {"one two ", "three"}},  // the line ends at the last blank and keeps it
      {"ab\r\n\r\ncd", 100, {"ab", "", "cd"}},
      {"ab\r\n", 100, {"ab"}},
      {"abcdefghij", 40, {"abcd", "efgh", "ij"}},
      {"abcdefghij", 35, {"abc", "def", "ghi", "j"}},
      {"abc", 5, {"a", "b", "c"}},
      {"ab", 0, {"a", "b"}},
      {"aaa bbb\r\nc", 45, {"aaa ", "bbb", "c"}}};
  T_SplitLine splitter;
  EXPECT_EQ(splitter.lineCount(), 0);
  EXPECT_EQ(splitter.line(0), QString());
  for (const auto& [text, width, lines] : rows) {
    splitter.split(text, width, [](const QString& s) { return static_cast<int>(s.size()) * 10; });
    QStringList got;
    for (int i = 0; i < splitter.lineCount(); ++i) got << splitter.line(i);
    EXPECT_EQ(got, lines) << text.toStdString() << " in " << width;
  }
  // Out of range: empty.
  EXPECT_EQ(splitter.line(3), QString());
  EXPECT_EQ(splitter.line(-1), QString());
}

}  // namespace
