// Breaking texts into lines that fit a width.
#include "core/splitline.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

// Every character is 10 pixels wide.
int TenPerChar(const QString& s) { return static_cast<int>(s.size()) * 10; }

struct SplitRow {
  const char* name;
  QString text;
  int width;
  QStringList lines;
};

void PrintTo(const SplitRow& row, std::ostream* os) { *os << row.name; }

class SplitLine : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitLine, Lines) {
  T_SplitLine splitter;
  splitter.split(GetParam().text, GetParam().width, TenPerChar);
  QStringList got;
  for (int i = 0; i < splitter.lineCount(); ++i) got << splitter.line(i);
  EXPECT_EQ(got, GetParam().lines);
}

const QString CrLf = QStringLiteral("\r\n");

INSTANTIATE_TEST_SUITE_P(
    Splitter, SplitLine,
    ::testing::Values(
        SplitRow{"OneCharacter", QStringLiteral("x"), 100, {QStringLiteral("x")}},
        SplitRow{"EmptyText", QString(), 100, {}},
        SplitRow{"FitsWhole", QStringLiteral("short"), 100, {QStringLiteral("short")}},
        // "one two " is exactly 80 wide and is accepted as it is.
        SplitRow{"BreakAtABlankExactWidth", QStringLiteral("one two three"), 80,
                 {QStringLiteral("one two "), QStringLiteral("three")}},
        // "one two t" (90) is too wide: the line ends at the last blank and keeps it.
        SplitRow{"BreakAtTheLastBlank", QStringLiteral("one two three"), 85,
                 {QStringLiteral("one two "), QStringLiteral("three")}},
        SplitRow{"EmptyLineBetweenLineBreaks", QStringLiteral("ab") + CrLf + CrLf + QStringLiteral("cd"), 100,
                 {QStringLiteral("ab"), QString(), QStringLiteral("cd")}},
        SplitRow{"TrailingLineBreakDropped", QStringLiteral("ab") + CrLf, 100, {QStringLiteral("ab")}},
        SplitRow{"LongWordCutAtTheWidth", QStringLiteral("abcdefghij"), 40,
                 {QStringLiteral("abcd"), QStringLiteral("efgh"), QStringLiteral("ij")}},
        SplitRow{"LongWordCutBeforeTheOverflow", QStringLiteral("abcdefghij"), 35,
                 {QStringLiteral("abc"), QStringLiteral("def"), QStringLiteral("ghi"), QStringLiteral("j")}},
        SplitRow{"TooNarrowForOneCharacter", QStringLiteral("abc"), 5,
                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        SplitRow{"ZeroWidth", QStringLiteral("ab"), 0, {QStringLiteral("a"), QStringLiteral("b")}},
        SplitRow{"WrapsThenHonoursLineBreaks", QStringLiteral("aaa bbb") + CrLf + QStringLiteral("c"), 45,
                 {QStringLiteral("aaa "), QStringLiteral("bbb"), QStringLiteral("c")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitLineLines, OutOfRangeIndexGivesEmptyAndANewTextReplacesTheLines) {
  T_SplitLine splitter;
  EXPECT_EQ(splitter.lineCount(), 0);
  EXPECT_EQ(splitter.line(0), QString());
  splitter.split(QStringLiteral("a b c d"), 20, TenPerChar);
  EXPECT_EQ(splitter.lineCount(), 4);
  splitter.split(QStringLiteral("one"), 100, TenPerChar);
  EXPECT_EQ(splitter.lineCount(), 1);
  EXPECT_EQ(splitter.line(0), QStringLiteral("one"));
  EXPECT_EQ(splitter.line(1), QString());
  EXPECT_EQ(splitter.line(-1), QString());
}

}  // namespace
