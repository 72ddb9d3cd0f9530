// Trimming blanks and control characters off the ends of a text; the panel's form also
// trims Unicode spaces and controls above the blank.
#include "core/trimcontrol.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

struct TrimRow {
  const char* name;
  QString text;
  QString control;          // TrimControl
  QString controlAndSpace;  // TrimControlAndSpace
};

void PrintTo(const TrimRow& row, std::ostream* os) { *os << row.name; }

class Trim : public ::testing::TestWithParam<TrimRow> {};

TEST_P(Trim, Ends) {
  EXPECT_EQ(TrimControl(GetParam().text), GetParam().control);
  EXPECT_EQ(TrimControlAndSpace(GetParam().text), GetParam().controlAndSpace);
}

const QString Nbsp(QChar(0x00A0));
const QString Del(QChar(0x007F));

INSTANTIATE_TEST_SUITE_P(
    Texts, Trim,
    ::testing::Values(TrimRow{"Empty", QString(), QString(), QString()},
                      TrimRow{"OnlyBlanks", QStringLiteral(" \r\n\t "), QString(), QString()},
                      TrimRow{"InnerBlanksKept", QStringLiteral("\r\n a \r\n b\x01"), QStringLiteral("a \r\n b"),
                              QStringLiteral("a \r\n b")},
                      TrimRow{"NoBreakSpace", Nbsp + QStringLiteral("x") + Nbsp, Nbsp + QStringLiteral("x") + Nbsp,
                              QStringLiteral("x")},
                      TrimRow{"Delete", QStringLiteral("x ") + Del, QStringLiteral("x ") + Del, QStringLiteral("x")},
                      TrimRow{"LineSeparatorBehindBlank", QStringLiteral("x\u2028 "), QStringLiteral("x\u2028"),
                              QStringLiteral("x")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
