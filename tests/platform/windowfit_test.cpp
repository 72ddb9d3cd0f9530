// Fitting a window's first size and place into a screen's available area.
#include "platform/windowfit.h"

#include <gtest/gtest.h>

namespace {

struct FitCase {
  const char* name;
  QRect wanted;
  QSize minimum;
  QRect expected;
};

// A 1280 x 800 screen less a 40-pixel panel at the bottom; the frame adds a 30-pixel title bar
// and 4-pixel borders.
const QRect Area(0, 0, 1280, 760);
const QMargins Frame(4, 30, 4, 4);

const FitCase FitCases[] = {
    {"FitsAlready", QRect(100, 100, 400, 300), {}, QRect(100, 100, 400, 300)},
    {"BottomUnderThePanel", QRect(320, 190, 960, 570), {}, QRect(316, 186, 960, 570)},
    {"LargerThanTheArea", QRect(480, 262, 1440, 786), {}, QRect(4, 30, 1272, 726)},
    {"LeftOfAndAboveTheArea", QRect(-50, 10, 300, 200), {}, QRect(4, 30, 300, 200)},
    {"MinimumLargerThanTheArea", QRect(100, 100, 400, 900), QSize(400, 800), QRect(100, 30, 400, 800)},
};

class FitIntoAreaTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitIntoAreaTest, Places) {
  const FitCase& c = GetParam();
  EXPECT_EQ(FitIntoArea(c.wanted, Area, Frame, c.minimum), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FitIntoAreaTest, ::testing::ValuesIn(FitCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FitIntoArea, SecondMonitorKeepsItsOwnOrigin) {
  const QRect second(1280, 0, 1024, 768);
  EXPECT_EQ(FitIntoArea(QRect(1200, 500, 600, 400), second, Frame), QRect(1284, 364, 600, 400));
}

}  // namespace
