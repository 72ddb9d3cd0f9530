// Division rounded down, as day numbers of moments before midnight and temperatures below
// freezing need it.
#include "core/floordiv.h"

#include <gtest/gtest.h>

namespace {

struct DivRow {
  const char* name;
  qint64 a;
  qint64 b;
  qint64 quotient;
};

void PrintTo(const DivRow& row, std::ostream* os) { *os << row.name; }

class FloorDivision : public ::testing::TestWithParam<DivRow> {};

TEST_P(FloorDivision, RoundsDown) { EXPECT_EQ(FloorDiv(GetParam().a, GetParam().b), GetParam().quotient); }

constexpr qint64 MsPerDay = 86400000;

INSTANTIATE_TEST_SUITE_P(
    Signs, FloorDivision,
    ::testing::Values(DivRow{"Zero", 0, 9, 0}, DivRow{"PositiveExact", 18, 9, 2}, DivRow{"PositiveRemainder", 17, 9, 1},
                      DivRow{"NegativeJustBelowZero", -1, 9, -1}, DivRow{"NegativeExact", -18, 9, -2},
                      DivRow{"NegativeRemainder", -19, 9, -3}, DivRow{"LastMsBeforeDayZero", -1, MsPerDay, -1},
                      DivRow{"FirstMsOfDayOne", MsPerDay + 1, MsPerDay, 1},
                      // 31 F: (31 - 32) * 5 / 9 is -0.56, which is -1 C, not 0.
                      DivRow{"JustBelowFreezing", (31 - 32) * 5, 9, -1}, DivRow{"NegativeDivisor", 7, -2, -4},
                      DivRow{"BothNegative", -7, -2, 3}, DivRow{"BothNegativeExact", -8, -2, 4}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
