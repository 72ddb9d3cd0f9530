// Division rounded down, as day numbers of moments before midnight and temperatures below
// freezing need it.
#include "core/floordiv.h"

#include <gtest/gtest.h>

namespace {

TEST(FloorDivision, RoundsDown) {
  constexpr qint64 MsPerDay = 86400000;
  // clang-format off
  const qint64 rows[][3] = {  // a, b, a / b rounded down; 31 F is -0.56 C: -1, not 0
      {0, 9, 0}, {18, 9, 2}, {17, 9, 1}, {-1, 9, -1}, {-18, 9, -2}, {-19, 9, -3}, {-1, MsPerDay, -1},
      {MsPerDay + 1, MsPerDay, 1}, {(31 - 32) * 5, 9, -1}, {7, -2, -4}, {-7, -2, 3}, {-8, -2, 4}};
  // clang-format on
  for (const auto& r : rows) EXPECT_EQ(FloorDiv(r[0], r[1]), r[2]) << r[0] << " / " << r[1];
}

}  // namespace
