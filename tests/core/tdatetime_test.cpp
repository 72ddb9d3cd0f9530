// Dates and times as day numbers: encoding, weekdays, month arithmetic and formatting.
#include "core/tdatetime.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(DateEncoding, EncodesDecodesAndNamesTheWeekday) {
  // clang-format off
  const std::tuple<int, int, int, double, int> rows[] = {  // y, m, d, day number, ISO weekday
      {1899, 12, 30, 0, 6}, {1900, 1, 1, 2, 1}, {2000, 2, 29, 36585, 2},
      {2024, 1, 1, 45292, 1}, {2024, 2, 29, 45351, 4}, {2026, 12, 31, 46387, 4}};
  // clang-format on
  for (const auto& [year, month, day, serial, iso] : rows) {
    SCOPED_TRACE(serial);
    EXPECT_EQ(EncodeDate(year, month, day), serial);
    int y, m, d;
    DecodeDate(serial + 0.75, y, m, d);
    EXPECT_EQ(std::tuple(y, m, d), std::tuple(year, month, day));
    EXPECT_EQ(IsoWeekday(serial + 0.5), iso);
    EXPECT_EQ(WeekdayIndex(serial), iso % 7);
  }
}

TEST(TimeDecoding, RoundsToTheNearestMillisecondAndTheTimePartIsAFractionOfTheDay) {
  // 0:13 as the editor stores it, with the error a double carries.
  const TDateTime t = 13.0 / 1440.0 - 1e-12;
  int h, n, s, ms;
  DecodeTime(t, h, n, s, ms);
  EXPECT_EQ(std::tuple(h, n, s), std::tuple(0, 13, 0));
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", t), "12:13 AM");
  EXPECT_DOUBLE_EQ(TimePart(45292.25), 0.25);
  EXPECT_DOUBLE_EQ(TimePart(-1.25), 0.25);
  EXPECT_EQ(DatePart(-1.25), -1);
  EXPECT_EQ(DatePart(45292.999), 45292);
}

TEST(MonthArithmetic, KeepsTheDayOrTakesTheMonthsLast) {
  const std::tuple<TDateTime, int, TDateTime> rows[] = {{D(2024, 1, 31), 1, D(2024, 2, 29)},
                                                        {D(2023, 1, 31), 1, D(2023, 2, 28)},
                                                        {D(2024, 3, 31), -1, D(2024, 2, 29)},
                                                        {D(2024, 12, 15), 1, D(2025, 1, 15)}};
  for (const auto& [from, months, to] : rows) EXPECT_EQ(IncMonth(from, months), to);
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
}

// Tuesday 5 March 2024 at 9:05:07.042 unless a row says another time.
TEST(Formatting, WritesEachToken) {
  // clang-format off
  const std::tuple<const char*, const char*, TDateTime> rows[] = {
      {"m/d/yy", "3/5/24", 0}, {"mm/dd/yyyy", "03/05/2024", 0}, {"dddd, mmmm d", "Tuesday, March 5", 0},
      {"ddd mmm", "Tue Mar", 0}, {"h:nn AM/PM", "9:05 AM", 0}, {"h:nn AM/PM", "9:30 PM", DT(2024, 3, 5, 21, 30)},
      {"h:nn AM/PM", "12:00 AM", D(2024, 3, 5)}, {"h:nn AM/PM", "12:00 PM", DT(2024, 3, 5, 12, 0)},
      {"hh:nn:ss", "09:05:07", 0}, {"h:mm", "9:05", 0}, {"zzz", "042", 0}, {"h am/pm", "9 am", 0}, {"hA/P", "9A", 0},
      {"'Due 'm/d", "Due 3/5", 0}, {"\"day\" d", "day 5", 0}, {"ddddd", "3/5/2024", 0}};
  // clang-format on
  for (const auto& [format, expected, moment] : rows) {
    EXPECT_EQ(FormatDateTime(format, moment ? moment : DT(2024, 3, 5, 9, 5, 7) + 42 / MSecsPerDay), expected) << format;
  }
  FormatSettings german;
  german.DateSeparator = QLatin1Char('.');
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy", D(2024, 3, 5), german), "05.03.2024");
}

}  // namespace
