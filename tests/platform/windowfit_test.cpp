// Fitting a window's first size and place into a screen's available area.
#include "platform/windowfit.h"

#include <gtest/gtest.h>

namespace {

TEST(FitIntoArea, Places) {
  // A 1280 x 800 screen less a 40-pixel panel at the bottom; the frame adds a 30-pixel title
  // bar and 4-pixel borders.
  const QRect area(0, 0, 1280, 760);
  const QMargins frame(4, 30, 4, 4);
  const std::tuple<QRect, QSize, QRect> cases[] = {
      // wanted, minimum, placed
      {QRect(100, 100, 400, 300), {}, QRect(100, 100, 400, 300)},
      {QRect(320, 190, 960, 570), {}, QRect(316, 186, 960, 570)},               // bottom under the panel
      {QRect(480, 262, 1440, 786), {}, QRect(4, 30, 1272, 726)},                // larger than the area
      {QRect(-50, 10, 300, 200), {}, QRect(4, 30, 300, 200)},                   // left of and above it
      {QRect(100, 100, 400, 900), QSize(400, 800), QRect(100, 30, 400, 800)}};  // minimum larger than it
  for (const auto& [wanted, minimum, placed] : cases) EXPECT_EQ(FitIntoArea(wanted, area, frame, minimum), placed);
  // A second monitor keeps its own origin.
  EXPECT_EQ(FitIntoArea(QRect(1200, 500, 600, 400), QRect(1280, 0, 1024, 768), frame), QRect(1284, 364, 600, 400));
}

}  // namespace
