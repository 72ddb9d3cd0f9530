#include "core/tdatetime.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

struct DateRow {
  const char* name;
  int y, m, d;
  double serial;
  int iso;
};

class DateEncoding : public ::testing::TestWithParam<DateRow> {};

TEST_P(DateEncoding, EncodesDecodesAndNamesTheWeekday) {
  const DateRow& r = GetParam();
  EXPECT_EQ(EncodeDate(r.y, r.m, r.d), r.serial);
  int y, m, d;
  DecodeDate(r.serial + 0.75, y, m, d);
  EXPECT_EQ(y, r.y);
  EXPECT_EQ(m, r.m);
  EXPECT_EQ(d, r.d);
  EXPECT_EQ(IsoWeekday(r.serial + 0.5), r.iso);
  EXPECT_EQ(WeekdayIndex(r.serial), r.iso % 7);
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateEncoding,
    ::testing::Values(DateRow{"DayZero", 1899, 12, 30, 0, 6}, DateRow{"FirstOf1900", 1900, 1, 1, 2, 1},
                      DateRow{"LeapDay2000", 2000, 2, 29, 36585, 2}, DateRow{"NewYear2024", 2024, 1, 1, 45292, 1},
                      DateRow{"LeapDay2024", 2024, 2, 29, 45351, 4}, DateRow{"EndOf2026", 2026, 12, 31, 46387, 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimeDecoding, RoundsToTheNearestMillisecond) {
  // 0:13 as the editor stores it, with the error a double carries.
  const TDateTime t = 13.0 / 1440.0;
  int h, n, s, ms;
  DecodeTime(t - 1e-12, h, n, s, ms);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(n, 13);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(FormatDateTime(QStringLiteral("h:nn AM/PM"), t - 1e-12), QStringLiteral("12:13 AM"));
}

TEST(TimeDecoding, TimePartIsAlwaysAFractionOfTheDay) {
  EXPECT_DOUBLE_EQ(TimePart(45292.25), 0.25);
  EXPECT_DOUBLE_EQ(TimePart(-1.25), 0.25);
  EXPECT_EQ(DatePart(-1.25), -1);
  EXPECT_EQ(DatePart(45292.999), 45292);
}

TEST(MonthArithmetic, KeepsTheDayOrTakesTheMonthsLast) {
  EXPECT_EQ(IncMonth(D(2024, 1, 31), 1), D(2024, 2, 29));
  EXPECT_EQ(IncMonth(D(2023, 1, 31), 1), D(2023, 2, 28));
  EXPECT_EQ(IncMonth(D(2024, 3, 31), -1), D(2024, 2, 29));
  EXPECT_EQ(IncMonth(D(2024, 2, 29), 12), D(2025, 2, 28));
  EXPECT_EQ(IncMonth(D(2024, 12, 15), 1), D(2025, 1, 15));
  EXPECT_EQ(DaysInMonth(1900, 2), 28);
  EXPECT_EQ(DaysInMonth(2000, 2), 29);
}

struct FormatRow {
  const char* name;
  const char* format;
  const char* expected;
  int hour = 9;
  int minute = 5;
};

class Formatting : public ::testing::TestWithParam<FormatRow> {};

// Tuesday 5 March 2024 at hour:minute:07.042.
TEST_P(Formatting, WritesEachToken) {
  const FormatRow& r = GetParam();
  const TDateTime moment = DT(2024, 3, 5, r.hour, r.minute, 7) + 42 / MSecsPerDay;
  EXPECT_EQ(FormatDateTime(QString::fromUtf8(r.format), moment), QString::fromUtf8(r.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, Formatting,
    ::testing::Values(FormatRow{"ShortNumbers", "m/d/yy", "3/5/24"}, FormatRow{"PaddedNumbers", "mm/dd/yyyy", "03/05/2024"},
                      FormatRow{"Names", "dddd, mmmm d", "Tuesday, March 5"},
                      FormatRow{"ShortNames", "ddd mmm", "Tue Mar"}, FormatRow{"TwelveHour", "h:nn AM/PM", "9:05 AM"},
                      FormatRow{"EveningTwelveHour", "h:nn AM/PM", "9:30 PM", 21, 30},
                      FormatRow{"TwentyFourHour", "hh:nn:ss", "09:05:07"}, FormatRow{"MinutesAfterHour", "h:mm", "9:05"},
                      FormatRow{"Milliseconds", "zzz", "042"}, FormatRow{"LowerAmPm", "h am/pm", "9 am"},
                      FormatRow{"SingleLetter", "hA/P", "9A"}, FormatRow{"QuotedLiteral", "'Due 'm/d", "Due 3/5"},
                      FormatRow{"DoubleQuotedLiteral", "\"day\" d", "day 5"},
                      FormatRow{"ShortDateToken", "ddddd", "3/5/2024"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Formatting, MidnightAndNoonInTwelveHourForm) {
  EXPECT_EQ(FormatDateTime(QStringLiteral("h:nn AM/PM"), D(2024, 3, 5)), QStringLiteral("12:00 AM"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("h:nn AM/PM"), DT(2024, 3, 5, 12, 0)), QStringLiteral("12:00 PM"));
}

TEST(Formatting, DateSeparatorComesFromTheSettings) {
  FormatSettings german;
  german.DateSeparator = QLatin1Char('.');
  EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yyyy"), D(2024, 3, 5), german), QStringLiteral("05.03.2024"));
}

}  // namespace
