// The note text dialog: its result, and what it shows.
#include "platform/editmemo.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QPlainTextEdit>

namespace {

TEST(EditMemo, ShowsTheTrimmedTextAndGivesItWithCrLfOrTheUntouchedInitialTextOnCancel) {
  const std::tuple<bool, QString, QString, QString> rows[] = {// saved, memo, initial, result
                                                              {false, "edited", "  note \r\n", "  note \r\n"},
                                                              {true, " \n \n\t ", "note", ""},
                                                              {true, "one\ntwo\n", "", "one\r\ntwo"},
                                                              {true, "  hello  ", "", "hello"}};
  for (const auto& [saved, memo, initial, result] : rows) EXPECT_EQ(T_EditMemo::Result(saved, memo, initial), result);
  EnsureApplication();
  T_EditMemo dialog;
  dialog.Prepare("Day Note", "Note for 3/5/2024:", "  first\r\nsecond \r\n");
  EXPECT_EQ(dialog.Memo1->toPlainText().remove('\r'), "first\nsecond");
  dialog.Prepare("Day Note", "Again", QString());
  EXPECT_TRUE(dialog.Memo1->toPlainText().isEmpty());
}

}  // namespace
