// The note text dialog's result, without showing it.
#include "platform/editmemo.h"
#include "support/testutil.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

namespace {

struct ResultRow {
  const char* name;
  bool saved;
  QString memo;
  QString initial;
  QString expected;
};

void PrintTo(const ResultRow& row, std::ostream* os) { *os << row.name; }

class EditMemoResult : public ::testing::TestWithParam<ResultRow> {};

TEST_P(EditMemoResult, Text) {
  const ResultRow& r = GetParam();
  EXPECT_EQ(T_EditMemo::Result(r.saved, r.memo, r.initial), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    EditMemo, EditMemoResult,
    ::testing::Values(
        ResultRow{"CancelReturnsTheInitialUntrimmed", false, QStringLiteral("edited"), QStringLiteral("  note \r\n"),
                  QStringLiteral("  note \r\n")},
        ResultRow{"SavedBlanksAndBreaksGiveEmpty", true, QStringLiteral(" \n \n\t "), QStringLiteral("note"), QString()},
        ResultRow{"SavedLinesJoinedByCrLf", true, QStringLiteral("one\ntwo\n"), QString(),
                  QStringLiteral("one\r\ntwo")},
        ResultRow{"SavedTextTrimmed", true, QStringLiteral("  hello  "), QString(), QStringLiteral("hello")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EditMemoPrepare, ShowsPromptAndTrimmedInitialText) {
  EnsureApplication();
  T_EditMemo dialog;
  dialog.Prepare(QStringLiteral("Day Note"), QStringLiteral("Note for 3/5/2024:"), QStringLiteral("  first\r\nsecond \r\n"));
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Day Note"));
  EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Note for 3/5/2024:"));
  EXPECT_EQ(dialog.Memo1->toPlainText().remove(QLatin1Char('\r')), QStringLiteral("first\nsecond"));

  dialog.Prepare(QStringLiteral("Day Note"), QStringLiteral("Again"), QString());
  EXPECT_TRUE(dialog.Memo1->toPlainText().isEmpty());
}

}  // namespace
