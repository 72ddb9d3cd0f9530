// Which events fall on which day: the occurrence rule of each pattern, exceptions, the day
// queries over the whole calendar and their display order.
#include "core/dataformat.h"
#include "core/recurrence.h"
#include "support/testutil.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

// One event's rule, with the editor's neutral defaults for what a row leaves out.
struct Rule {
  int type = 0;
  TDateTime start = 0;
  int freq = 1;
  int rangeType = 0;
  int count = 0;
  TDateTime end = 0;
  int day = 0;
  int month = 0;
  int cardinal = 0;
  const char* weekdays = "";  // ISO weekday digits: "15" is Monday and Friday
  bool span = false;
  int spanRange = 1;
  // Up to two exception dates; 0 is none.
  TDateTime exception = 0;
  TDateTime exception2 = 0;
};

struct Row {
  const char* name;
  Rule rule;
  std::vector<TDateTime> listed;
  std::vector<TDateTime> notListed;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

void Apply(const Rule& r, TNote& n) {
  n.Title = QStringLiteral("event");
  n.RepeatType = r.type;
  n.StartDate = r.start;
  n.RepeatFrequency = r.freq;
  n.RangeType = r.rangeType;
  n.RangeCount = r.count;
  n.EndDate = r.end;
  n.RepeatDay = r.day;
  n.RepeatMonth = r.month;
  n.RepeatCardinal = r.cardinal;
  for (const char* w = r.weekdays; *w; ++w) n.SetRepeatOn(*w - '0', true);
  n.Span = r.span;
  n.SpanRange = r.spanRange;
  for (TDateTime x : {r.exception, r.exception2}) {
    if (x != 0) n.Exceptions.append(x);
  }
}

QString Show(TDateTime d) { return FormatDateTime(QStringLiteral("yyyy-mm-dd hh:nn:ss"), d); }

// Checks the rule itself and the day query of a calendar that holds only this event (behind
// a few others, so the index does not start at 0).
void CheckRow(const Row& row) {
  SCOPED_TRACE(row.name);
  FixedClock clock(DT(2024, 1, 1, 12, 0));
  DataFormat calendar(clock);
  for (int k = 0; k < 3; ++k) {
    TNote& other = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
    other.StartDate = D(1990, 1, 1);  // one time, long ago
  }
  const int i = calendar.AppendNote();
  Apply(row.rule, calendar.NoteArray[static_cast<size_t>(i)]);
  calendar.DataChanged = true;
  auto check = [&](TDateTime d, bool expected) {
    EXPECT_EQ(calendar.NoteOccursOn(i, d), expected) << Show(d).toStdString();
    EXPECT_EQ(calendar.FindDayEvents(d), expected ? std::vector<int>{i} : std::vector<int>{}) << Show(d).toStdString();
  };
  for (TDateTime d : row.listed) check(d, true);
  for (TDateTime d : row.notListed) check(d, false);
}

class OneTime : public ::testing::TestWithParam<Row> {};
TEST_P(OneTime, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, OneTime,
    ::testing::Values(
        Row{"OnItsDayAtAnyTime", {.type = 0, .start = D(2024, 3, 5)},
            {D(2024, 3, 5), DT(2024, 3, 5, 23, 59, 59)}, {D(2024, 3, 4), DT(2024, 3, 4, 23, 59, 59), D(2024, 3, 6)}},
        Row{"SpanOfThreeDays", {.type = 0, .start = D(2024, 3, 5), .span = true, .spanRange = 3},
            {D(2024, 3, 5), D(2024, 3, 6), DT(2024, 3, 7, 18, 0)}, {D(2024, 3, 4), D(2024, 3, 8)}},
        Row{"SpanAcrossMonthEnd", {.type = 0, .start = D(2024, 2, 28), .span = true, .spanRange = 3},
            {D(2024, 2, 29), D(2024, 3, 1)}, {D(2024, 3, 2)}},
        Row{"SpanLongerThanAYear", {.type = 0, .start = D(2024, 1, 1), .span = true, .spanRange = 500},
            {D(2024, 12, 31), D(2025, 5, 14)}, {D(2025, 5, 15), D(2023, 12, 31)}},
        Row{"SpanRangeZeroCoversNothing", {.type = 0, .start = D(2024, 3, 5), .span = true, .spanRange = 0},
            {}, {D(2024, 3, 5)}},
        Row{"StartWithTimeOfDayCountsItsDate", {.type = 0, .start = DT(2024, 3, 5, 15, 0)},
            {D(2024, 3, 5)}, {D(2024, 3, 6)}},
        Row{"CountPlaysNoPart", {.type = 0, .start = D(2024, 3, 5), .rangeType = 1, .count = 0},
            {D(2024, 3, 5)}, {}},
        Row{"EndDateBeforeStartHidesIt", {.type = 0, .start = D(2024, 3, 5), .rangeType = 2, .end = D(2024, 3, 1)},
            {}, {D(2024, 3, 5)}}),
    [](const auto& info) { return std::string(info.param.name); });

class EveryNDays : public ::testing::TestWithParam<Row> {};
TEST_P(EveryNDays, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, EveryNDays,
    ::testing::Values(
        Row{"EveryTwoDaysThreeTimes", {.type = 1, .start = D(2024, 1, 1), .freq = 2, .rangeType = 1, .count = 3},
            {D(2024, 1, 1), D(2024, 1, 3), D(2024, 1, 5)}, {D(2024, 1, 2), D(2024, 1, 7), D(2023, 12, 30)}},
        Row{"EveryThreeDaysNoEnd", {.type = 1, .start = D(2024, 1, 1), .freq = 3},
            {D(2024, 1, 4), D(2024, 1, 31), D(2026, 12, 31)}, {D(2024, 1, 5), D(2023, 12, 29)}},
        Row{"FrequencyZeroIsDaily", {.type = 1, .start = D(2024, 1, 1), .freq = 0}, {D(2024, 1, 2), D(2024, 1, 3)}, {}},
        Row{"NegativeFrequencyIsDaily", {.type = 1, .start = D(2024, 1, 1), .freq = -5}, {D(2024, 1, 2)}, {}},
        Row{"LargeFrequency", {.type = 1, .start = D(2024, 1, 1), .freq = 100},
            {D(2024, 4, 10)}, {D(2024, 4, 9), D(2024, 4, 11)}},
        Row{"CountOneIsTheStartOnly", {.type = 1, .start = D(2024, 1, 1), .rangeType = 1, .count = 1},
            {D(2024, 1, 1)}, {D(2024, 1, 2)}},
        Row{"CountZeroNeverListed", {.type = 1, .start = D(2024, 1, 1), .rangeType = 1, .count = 0},
            {}, {D(2024, 1, 1)}},
        Row{"EndDateAtMidnightAdmitsOnlyMidnight", {.type = 1, .start = D(2024, 3, 1), .rangeType = 2, .end = D(2024, 3, 10)},
            {D(2024, 3, 10), DT(2024, 3, 9, 23, 0)}, {DT(2024, 3, 10, 12, 0), D(2024, 3, 11)}},
        Row{"EndDateWithTimeComparedAsStored",
            {.type = 1, .start = D(2024, 3, 1), .rangeType = 2, .end = DT(2024, 3, 10, 12, 0)},
            {DT(2024, 3, 10, 11, 59), DT(2024, 3, 10, 12, 0)}, {DT(2024, 3, 10, 12, 1), D(2024, 3, 11)}},
        Row{"EndDateIgnoredWithoutItsRangeType", {.type = 1, .start = D(2024, 3, 1), .rangeType = 0, .end = D(2024, 3, 10)},
            {D(2024, 6, 1)}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class EveryWeekday : public ::testing::TestWithParam<Row> {};
TEST_P(EveryWeekday, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, EveryWeekday,
    ::testing::Values(
        Row{"FromMondayFiveTimes", {.type = 2, .start = D(2024, 1, 1), .rangeType = 1, .count = 5},
            {D(2024, 1, 1), D(2024, 1, 2), D(2024, 1, 3), D(2024, 1, 4), D(2024, 1, 5)},
            {D(2024, 1, 6), D(2024, 1, 7), D(2024, 1, 8)}},
        // The first partial week's weekend counts: Monday the 8th is number 6.
        Row{"FromWednesdayFiveTimes", {.type = 2, .start = D(2024, 1, 3), .rangeType = 1, .count = 5},
            {D(2024, 1, 3), D(2024, 1, 4), D(2024, 1, 5)}, {D(2024, 1, 8), D(2024, 1, 9), D(2024, 1, 10)}},
        // Tuesday the 9th counts 7 but Wednesday the 10th starts a new block at 6.
        Row{"FromWednesdaySixTimesCountsByBlocks", {.type = 2, .start = D(2024, 1, 3), .rangeType = 1, .count = 6},
            {D(2024, 1, 8), D(2024, 1, 10)}, {D(2024, 1, 9), D(2024, 1, 11)}},
        Row{"FromSaturday", {.type = 2, .start = D(2024, 1, 6), .rangeType = 1, .count = 5},
            {D(2024, 1, 8), D(2024, 1, 12)}, {D(2024, 1, 6), D(2024, 1, 7), D(2024, 1, 15)}},
        Row{"FromSunday", {.type = 2, .start = D(2024, 1, 7), .rangeType = 1, .count = 2},
            {D(2024, 1, 8), D(2024, 1, 9)}, {D(2024, 1, 7), D(2024, 1, 10)}},
        Row{"NoEndSkipsWeekends", {.type = 2, .start = D(2024, 1, 1)},
            {D(2024, 12, 27), D(2026, 3, 2)}, {D(2024, 12, 28), D(2024, 12, 29), D(2023, 12, 29)}},
        Row{"UntilEndDate", {.type = 2, .start = D(2024, 1, 1), .rangeType = 2, .end = D(2024, 1, 31)},
            {D(2024, 1, 31)}, {D(2024, 2, 1)}}),
    [](const auto& info) { return std::string(info.param.name); });

class Weekly : public ::testing::TestWithParam<Row> {};
TEST_P(Weekly, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, Weekly,
    ::testing::Values(
        Row{"MondayAndFridayThreeTimes", {.type = 3, .start = D(2024, 1, 5), .rangeType = 1, .count = 3, .weekdays = "15"},
            {D(2024, 1, 5), D(2024, 1, 8), D(2024, 1, 12)}, {D(2024, 1, 1), D(2024, 1, 15), D(2024, 1, 19)}},
        Row{"EveryTwoWeeksOnMonday", {.type = 3, .start = D(2024, 1, 1), .freq = 2, .weekdays = "1"},
            {D(2024, 1, 1), D(2024, 1, 15), D(2024, 1, 29)}, {D(2024, 1, 8), D(2024, 1, 2), D(2024, 1, 22)}},
        // Blocks start on the start's weekday (Wednesday): Monday the 8th is in block 0.
        Row{"FirstPartialWeekEveryTwoWeeks",
            {.type = 3, .start = D(2024, 1, 3), .freq = 2, .rangeType = 1, .count = 3, .weekdays = "13"},
            {D(2024, 1, 3), D(2024, 1, 8), D(2024, 1, 17)},
            {D(2024, 1, 1), D(2024, 1, 10), D(2024, 1, 15), D(2024, 1, 22), D(2024, 1, 31)}},
        Row{"SundayFlagOnce", {.type = 3, .start = D(2024, 1, 1), .rangeType = 1, .count = 1, .weekdays = "7"},
            {D(2024, 1, 7)}, {D(2024, 1, 14), D(2024, 1, 1)}},
        Row{"CountAtItsLastOccurrence", {.type = 3, .start = D(2024, 1, 1), .rangeType = 1, .count = 6, .weekdays = "135"},
            {D(2024, 1, 12)}, {D(2024, 1, 15)}},
        Row{"NoWeekdayFlagged", {.type = 3, .start = D(2024, 1, 1)}, {}, {D(2024, 1, 1), D(2024, 1, 8)}},
        Row{"FrequencyZeroIsWeekly", {.type = 3, .start = D(2024, 1, 1), .freq = 0, .weekdays = "1"},
            {D(2024, 1, 8)}, {D(2024, 1, 9)}}),
    [](const auto& info) { return std::string(info.param.name); });

class MonthlyByDay : public ::testing::TestWithParam<Row> {};
TEST_P(MonthlyByDay, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, MonthlyByDay,
    ::testing::Values(
        Row{"Day31SkipsShortMonths", {.type = 4, .start = D(2024, 1, 31), .day = 31, .month = 1},
            {D(2024, 1, 31), D(2024, 3, 31), D(2024, 5, 31)}, {D(2024, 2, 29), D(2024, 4, 30), D(2024, 4, 1)}},
        Row{"EveryTwoMonthsFrom31January", {.type = 4, .start = D(2024, 1, 31), .freq = 2, .day = 31, .month = 1},
            {D(2024, 3, 31), D(2024, 5, 31)}, {D(2024, 2, 29), D(2024, 4, 30), D(2024, 8, 31)}},
        // Periods 0, 1 and 2: RangeCount + 1 occurrences when the start is on the pattern's day.
        Row{"CountsPeriodsAfterTheFirst", {.type = 4, .start = D(2024, 1, 15), .rangeType = 1, .count = 2, .day = 15, .month = 1},
            {D(2024, 1, 15), D(2024, 2, 15), D(2024, 3, 15)}, {D(2024, 4, 15)}},
        Row{"PatternDayBeforeStartGivesCountOccurrences",
            {.type = 4, .start = D(2024, 1, 20), .rangeType = 1, .count = 2, .day = 15, .month = 1},
            {D(2024, 2, 15), D(2024, 3, 15)}, {D(2024, 1, 15), D(2024, 4, 15)}},
        Row{"AcrossTheYearEnd", {.type = 4, .start = D(2023, 11, 10), .freq = 3, .day = 10, .month = 11},
            {D(2024, 2, 10), D(2024, 5, 10)}, {D(2024, 1, 10), D(2023, 12, 10)}},
        Row{"Day29InLeapFebruary", {.type = 4, .start = D(2023, 1, 29), .day = 29, .month = 1},
            {D(2024, 2, 29)}, {D(2023, 2, 28), D(2023, 3, 1)}},
        Row{"FrequencyZeroIsMonthly", {.type = 4, .start = D(2024, 1, 15), .freq = 0, .day = 15, .month = 1},
            {D(2024, 2, 15)}, {}},
        // Months are counted from RepeatMonth, which the editor takes from the start date.
        Row{"RepeatMonthAfterTheStartMonth",
            {.type = 4, .start = D(2024, 1, 10), .freq = 2, .rangeType = 1, .count = 0, .day = 10, .month = 3},
            {D(2024, 1, 10), D(2024, 3, 10)}, {D(2024, 2, 10), D(2024, 5, 10)}}),
    [](const auto& info) { return std::string(info.param.name); });

class MonthlyByWeekday : public ::testing::TestWithParam<Row> {};
TEST_P(MonthlyByWeekday, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, MonthlyByWeekday,
    ::testing::Values(
        // March 2024 has five Fridays (1 .. 29), February four (2 .. 23).
        Row{"LastFriday", {.type = 5, .start = D(2024, 1, 1), .day = 5, .cardinal = 4},
            {D(2024, 3, 29), D(2024, 2, 23)}, {D(2024, 3, 22), D(2024, 2, 16), D(2024, 3, 1)}},
        Row{"FourthFridayOfAFiveFridayMonth", {.type = 5, .start = D(2024, 1, 1), .day = 5, .cardinal = 3},
            {D(2024, 3, 22), D(2024, 2, 23)}, {D(2024, 3, 29), D(2024, 3, 15)}},
        Row{"SecondTuesday", {.type = 5, .start = D(2024, 1, 1), .day = 2, .cardinal = 1},
            {D(2024, 1, 9), D(2024, 2, 13)}, {D(2024, 1, 2), D(2024, 1, 16)}},
        Row{"FirstMondayEveryThreeMonthsCounted",
            {.type = 5, .start = D(2024, 1, 1), .freq = 3, .rangeType = 1, .count = 1, .day = 1, .cardinal = 0},
            {D(2024, 1, 1), D(2024, 4, 1)}, {D(2024, 2, 5), D(2024, 7, 1)}},
        Row{"StartAfterThisMonthsOccurrence", {.type = 5, .start = D(2024, 1, 20), .day = 1, .cardinal = 0},
            {D(2024, 2, 5)}, {D(2024, 1, 1)}},
        Row{"FrequencyZeroIsMonthly", {.type = 5, .start = D(2024, 1, 1), .freq = 0, .day = 1, .cardinal = 0},
            {D(2024, 2, 5)}, {}},
        Row{"WeekdayOutOfRangeNeverListed", {.type = 5, .start = D(2024, 1, 1), .day = 9, .cardinal = 0},
            {}, {D(2024, 1, 1), D(2024, 1, 2)}}),
    [](const auto& info) { return std::string(info.param.name); });

class YearlyByDay : public ::testing::TestWithParam<Row> {};
TEST_P(YearlyByDay, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, YearlyByDay,
    ::testing::Values(
        Row{"LeapDayOnlyInLeapYears", {.type = 6, .start = D(2024, 2, 29), .day = 29, .month = 1},
            {D(2024, 2, 29), D(2028, 2, 29)}, {D(2027, 2, 28), D(2027, 3, 1), D(2025, 3, 1)}},
        Row{"CountsYearsAfterTheFirst", {.type = 6, .start = D(2024, 7, 4), .rangeType = 1, .count = 2, .day = 4, .month = 6},
            {D(2024, 7, 4), D(2025, 7, 4), D(2026, 7, 4)}, {D(2027, 7, 4), D(2024, 6, 4)}},
        Row{"FirstYearsDayBeforeStart", {.type = 6, .start = D(2024, 8, 1), .rangeType = 1, .count = 1, .day = 4, .month = 6},
            {D(2025, 7, 4)}, {D(2024, 7, 4), D(2026, 7, 4)}},
        Row{"FrequencyPlaysNoPart", {.type = 6, .start = D(2024, 7, 4), .freq = 5, .day = 4, .month = 6},
            {D(2025, 7, 4)}, {}},
        Row{"December31", {.type = 6, .start = D(2024, 1, 1), .day = 31, .month = 11},
            {D(2024, 12, 31)}, {D(2024, 1, 31)}}),
    [](const auto& info) { return std::string(info.param.name); });

class YearlyByWeekday : public ::testing::TestWithParam<Row> {};
TEST_P(YearlyByWeekday, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, YearlyByWeekday,
    ::testing::Values(
        Row{"FourthThursdayOfNovember", {.type = 7, .start = D(2024, 11, 28), .day = 4, .month = 10, .cardinal = 3},
            {D(2024, 11, 28), D(2025, 11, 27)}, {D(2025, 11, 20), D(2025, 10, 23)}},
        // May 2024 has four Mondays (last the 27th), May 2027 five (last the 31st).
        Row{"LastMondayOfMay", {.type = 7, .start = D(2024, 1, 1), .day = 1, .month = 4, .cardinal = 4},
            {D(2024, 5, 27), D(2027, 5, 31)}, {D(2027, 5, 24), D(2024, 5, 20)}},
        Row{"CountZeroIsTheFirstYearOnly", {.type = 7, .start = D(2024, 11, 1), .rangeType = 1, .count = 0, .day = 4, .month = 10, .cardinal = 3},
            {D(2024, 11, 28)}, {D(2025, 11, 27)}}),
    [](const auto& info) { return std::string(info.param.name); });

class Exceptions : public ::testing::TestWithParam<Row> {};
TEST_P(Exceptions, Occurs) { CheckRow(GetParam()); }
INSTANTIATE_TEST_SUITE_P(
    Recurrence, Exceptions,
    ::testing::Values(
        Row{"HideAnOccurrence", {.type = 1, .start = D(2024, 1, 1), .exception = D(2024, 1, 3)},
            {D(2024, 1, 2), D(2024, 1, 4)}, {D(2024, 1, 3), DT(2024, 1, 3, 10, 0)}},
        Row{"AddADayToAOneTimeEvent", {.type = 0, .start = D(2024, 1, 1), .exception = D(2024, 1, 2)},
            {D(2024, 1, 1), D(2024, 1, 2)}, {D(2024, 1, 3)}},
        Row{"AddADayBeforeTheStart", {.type = 0, .start = D(2024, 1, 10), .exception = D(2024, 1, 2)},
            {D(2024, 1, 2)}, {}},
        Row{"StoredWithATimeCountsItsDay", {.type = 1, .start = D(2024, 1, 1), .exception = DT(2024, 1, 3, 15, 0)},
            {}, {D(2024, 1, 3), DT(2024, 1, 3, 23, 0)}},
        Row{"TheSameDateTwiceStillHides", {.type = 1, .start = D(2024, 1, 1), .exception = D(2024, 1, 3), .exception2 = D(2024, 1, 3)},
            {}, {D(2024, 1, 3)}},
        Row{"ShowsAnUnknownPattern", {.type = 9, .start = D(2024, 1, 1), .exception = D(2024, 1, 3)},
            {D(2024, 1, 3)}, {D(2024, 1, 1)}},
        Row{"AddADayToAnEndedSeries",
            {.type = 3, .start = D(2024, 1, 1), .rangeType = 1, .count = 1, .weekdays = "1", .exception = D(2024, 2, 1)},
            {D(2024, 2, 1)}, {D(2024, 1, 8)}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- The day queries over the calendar.

class DayQueries : public ::testing::Test {
 protected:
  int AddOneTime(TDateTime day, bool timed = false, TDateTime start = 0) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[static_cast<size_t>(i)];
    n.Title = QStringLiteral("event %1").arg(i);
    n.StartDate = day;
    n.Start = timed;
    n.StartTime = start;
    return i;
  }
  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
};

TEST_F(DayQueries, DeletedEventsAreLeftOutButStillOccur) {
  const int a = AddOneTime(D(2024, 3, 5));
  const int b = AddOneTime(D(2024, 3, 5));
  calendar.DeleteNote(a);
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 5)), std::vector<int>{b});
  EXPECT_TRUE(calendar.NoteOccursOn(a, D(2024, 3, 5)));
}

TEST_F(DayQueries, AscendingIndexOrder) {
  for (int k = 0; k < 5; ++k) AddOneTime(D(2024, 3, k % 2 == 0 ? 5 : 6));
  EXPECT_EQ(calendar.FindDayEvents(DT(2024, 3, 5, 17, 0)), (std::vector<int>{0, 2, 4}));
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 6)), (std::vector<int>{1, 3}));
}

TEST_F(DayQueries, FollowChangesToTheRecords) {
  const int a = AddOneTime(D(2024, 3, 5));
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 5)), 1);

  calendar.NoteArray[static_cast<size_t>(a)].StartDate = D(2024, 3, 6);
  calendar.DataChanged = true;
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 5)), 0);
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 6)), 1);

  calendar.ToggleException(a, D(2024, 3, 6));
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 6)), 0);
  calendar.ToggleException(a, D(2024, 3, 6));
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 6)), 1);

  // Even with DataChanged cleared by a save, an appended event is seen.
  calendar.DataChanged = false;
  const int b = AddOneTime(D(2024, 3, 6));
  calendar.DataChanged = false;
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 6)), (std::vector<int>{a, b}));

  calendar.DeleteNote(a);
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 6)), std::vector<int>{b});

  calendar.ClearCalendar();
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 6)), 0);
  AddOneTime(D(2024, 3, 7));
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 7)), 1);
}

TEST_F(DayQueries, MomentsOutsideTheCalendar) {
  const int a = AddOneTime(D(2024, 3, 5));
  calendar.NoteArray[static_cast<size_t>(a)].RepeatType = 1;  // every day
  calendar.NoteArray[static_cast<size_t>(a)].RepeatFrequency = 1;
  calendar.DataChanged = true;
  for (double d : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1.5, 1e300}) {
    EXPECT_EQ(calendar.CountDayEvents(d), 0) << d;
  }
  // A start date that is not a date lists nothing.
  calendar.NoteArray[static_cast<size_t>(a)].StartDate = std::numeric_limits<double>::quiet_NaN();
  calendar.DataChanged = true;
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 5)), 0);
  EXPECT_FALSE(calendar.NoteOccursOn(a, D(2024, 3, 5)));
}

TEST_F(DayQueries, SortPutsAllDayFirstThenByStartTime) {
  const int nine = AddOneTime(D(2024, 3, 5), true, EncodeTime(9, 0));
  const int eight = AddOneTime(D(2024, 3, 5), true, EncodeTime(8, 0));
  const int allDay = AddOneTime(D(2024, 3, 5));
  EXPECT_EQ(calendar.FindSortedDayEvents(D(2024, 3, 5)), (std::vector<int>{allDay, eight, nine}));
}

TEST_F(DayQueries, SortPutsTiesInReverseIndexOrder) {
  for (int k = 0; k < 10; ++k) AddOneTime(D(2024, 3, 5), k >= 8, EncodeTime(10, 0));
  EXPECT_EQ(calendar.SortDayEvents({3, 7}), (std::vector<int>{7, 3}));
  EXPECT_EQ(calendar.SortDayEvents({8, 9, 3}), (std::vector<int>{3, 9, 8}));
  EXPECT_EQ(calendar.SortDayEvents({0, 8, 1, 9, 2, 3}), (std::vector<int>{3, 2, 1, 0, 9, 8}));
  EXPECT_TRUE(calendar.SortDayEvents({}).empty());
}

// --- The fast query against the rule itself, on a random calendar of every kind of rule,
// sensible and odd, day by day over three years.

void FillRandomCalendar(DataFormat& calendar, int events, TDateTime around, unsigned seed) {
  std::mt19937 rng(seed);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int e = 0; e < events; ++e) {
    TNote& n = calendar.NoteArray[static_cast<size_t>(calendar.AppendNote())];
    n.StartDate = DatePart(around) - pick(0, 3 * 365) + (pick(0, 9) == 0 ? EncodeTime(pick(0, 23), 30) : 0);
    n.RepeatType = pick(0, 20) == 0 ? pick(-1, 9) : pick(0, 7);
    n.RepeatFrequency = pick(0, 9) == 0 ? pick(-2, 70) : pick(1, 3);
    n.Span = pick(0, 3) == 0;
    n.SpanRange = pick(0, 30) == 0 ? pick(300, 800) : pick(0, 6);
    int y, m, d;
    DecodeDate(n.StartDate, y, m, d);
    const bool odd = pick(0, 9) == 0;
    n.RepeatDay = odd ? pick(-1, 32) : (n.RepeatType == 5 || n.RepeatType == 7 ? WeekdayIndex(n.StartDate) : d);
    n.RepeatMonth = odd ? pick(-1, 13) : (n.RepeatType == 4 ? m : m - 1);
    n.RepeatCardinal = odd ? pick(-1, 6) : pick(0, 4);
    for (int w = 1; w <= 7; ++w) n.SetRepeatOn(w, pick(0, 3) == 0);
    n.RangeType = pick(0, 3);
    n.RangeCount = pick(-1, 40);
    n.EndDate = n.StartDate + pick(-5, 600) + (pick(0, 1) ? EncodeTime(12, 0) : 0);
    if (pick(0, 30) == 0) n.EndDate = std::numeric_limits<double>::quiet_NaN();
    for (int k = pick(0, 6) - 3; k > 0; --k) {
      n.Exceptions.append(n.StartDate + pick(-3, 300) + (pick(0, 3) == 0 ? EncodeTime(9, 0) : 0));
    }
    if (pick(0, 3) == 0 && !n.Exceptions.isEmpty()) n.Exceptions.append(n.Exceptions.first());
    if (pick(0, 20) == 0) n.DeleteDate = around;
  }
  calendar.DataChanged = true;
}

TEST(DayQueryIndex, MatchesTheRuleEveryDayOfThreeYears) {
  FixedClock clock(DT(2025, 6, 1, 12, 0));
  for (unsigned seed : {1u, 2u}) {
    DataFormat calendar(clock);
    FillRandomCalendar(calendar, 600, D(2025, 6, 1), seed);
    int mismatches = 0;
    for (TDateTime day = D(2023, 1, 1); day < D(2026, 1, 1) && mismatches < 5; day += 1) {
      for (TDateTime moment : {day, day + EncodeTime(12, 0)}) {
        std::vector<int> expected;
        for (int i = 0; i < calendar.NoteCount(); ++i) {
          if (calendar.NoteArray[static_cast<size_t>(i)].DeleteDate == 0 && calendar.NoteOccursOn(i, moment)) {
            expected.push_back(i);
          }
        }
        if (calendar.FindDayEvents(moment) != expected) {
          ++mismatches;
          ADD_FAILURE() << "seed " << seed << " on " << Show(moment).toStdString();
        }
      }
    }
  }
}

}  // namespace
