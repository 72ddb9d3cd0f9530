// Trimming blanks and control characters off the ends of a text; the panel's form also
// trims Unicode spaces and controls above the blank.
#include "core/trimcontrol.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(Trim, Ends) {
  const QString nbsp(QChar(0x00A0)), del(QChar(0x007F));
  // clang-format off
  const std::tuple<QString, QString, QString> rows[] = {  // text, TrimControl, TrimControlAndSpace
      {"", "", ""}, {" \r\n\t ", "", ""}, {"\r\n a \r\n b\x01", "a \r\n b", "a \r\n b"},
      {nbsp + "x" + nbsp, nbsp + "x" + nbsp, "x"}, {"x " + del, "x " + del, "x"}, {"x\u2028 ", "x\u2028", "x"}};
  // clang-format on
  for (const auto& [text, control, controlAndSpace] : rows) {
    EXPECT_EQ(TrimControl(text), control);
    EXPECT_EQ(TrimControlAndSpace(text), controlAndSpace);
  }
}

}  // namespace
