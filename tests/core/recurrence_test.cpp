// Which events fall on which day: the occurrence rule of each pattern, exceptions, the day
// queries over the whole calendar and their display order.
#include "core/recurrence.h"
#include "core/dataformat.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

// Dates are written yyyymmdd, moments yyyymmddhhmm or yyyymmddhhmmss.
using When = long long;
TDateTime At(When w) {
  if (w < 100000000) return D(int(w / 10000), w / 100 % 100, w % 100);
  if (w < 10000000000000) return At(w / 10000) + EncodeTime(w / 100 % 100, w % 100);
  return At(w / 100) + EncodeTime(0, 0, w % 100);
}

// One event's rule, with the editor's neutral defaults for what a row leaves out.
struct Rule {
  int type = 0;
  When start = 0;
  int freq = 1, range = 0, count = 0;
  When end = 0;
  int day = 0, month = 0, cardinal = 0;
  const char* weekdays = "";  // ISO weekday digits: "15" is Monday and Friday
  bool span = false;
  int days = 1;
  When except1 = 0, except2 = 0;  // 0 is none
};

struct Row {
  const char* name;
  Rule rule;
  std::vector<When> listed, notListed;
};

// clang-format off
const Row Rows[] = {
    // One time.
    {"OnItsDayAtAnyTime", {.start = 20240305}, {20240305, 20240305235959}, {20240304, 20240304235959, 20240306}},
    {"SpanOfThreeDays", {.start = 20240305, .span = true, .days = 3},
     {20240305, 20240306, 202403071800}, {20240304, 20240308}},
    {"SpanLongerThanAYear", {.start = 20240101, .span = true, .days = 500}, {20241231, 20250514}, {20250515, 20231231}},
    {"SpanRangeZeroCoversNothing", {.start = 20240305, .span = true, .days = 0}, {}, {20240305}},
    {"StartWithTimeOfDayCountsItsDate", {.start = 202403051500}, {20240305}, {20240306}},
    {"CountPlaysNoPart", {.start = 20240305, .range = 1}, {20240305}, {}},
    {"EndDateBeforeStartHidesIt", {.start = 20240305, .range = 2, .end = 20240301}, {}, {20240305}},
    // Every N days.
    {"EveryTwoDaysThreeTimes", {.type = 1, .start = 20240101, .freq = 2, .range = 1, .count = 3},
     {20240101, 20240103, 20240105}, {20240102, 20240107, 20231230}},
    {"EveryThreeDaysNoEnd", {.type = 1, .start = 20240101, .freq = 3}, {20240104, 20240131, 20261231}, {20240105, 20231229}},
    {"FrequencyZeroIsDaily", {.type = 1, .start = 20240101, .freq = 0}, {20240102, 20240103}, {}},
    {"NegativeFrequencyIsDaily", {.type = 1, .start = 20240101, .freq = -5}, {20240102}, {}},
    {"CountOneIsTheStartOnly", {.type = 1, .start = 20240101, .range = 1, .count = 1}, {20240101}, {20240102}},
    {"CountZeroNeverListed", {.type = 1, .start = 20240101, .range = 1}, {}, {20240101}},
    {"EndDateAtMidnightAdmitsOnlyMidnight", {.type = 1, .start = 20240301, .range = 2, .end = 20240310},
     {20240310, 202403092300}, {202403101200, 20240311}},
    {"EndDateWithTimeComparedAsStored", {.type = 1, .start = 20240301, .range = 2, .end = 202403101200},
     {202403101159, 202403101200}, {202403101201, 20240311}},
    {"EndDateIgnoredWithoutItsRangeType", {.type = 1, .start = 20240301, .end = 20240310}, {20240601}, {}},
    // Every weekday. The first partial week's weekend counts: from Wednesday, Monday the
    // 8th is number 6, Tuesday the 9th 7, but Wednesday the 10th starts a new block at 6.
    {"WeekdaysFromMondayFiveTimes", {.type = 2, .start = 20240101, .range = 1, .count = 5},
     {20240101, 20240102, 20240103, 20240104, 20240105}, {20240106, 20240107, 20240108}},
    {"WeekdaysFromWednesdayFiveTimes", {.type = 2, .start = 20240103, .range = 1, .count = 5},
     {20240103, 20240104, 20240105}, {20240108, 20240109, 20240110}},
    {"WeekdaysFromWednesdaySixTimesCountsByBlocks", {.type = 2, .start = 20240103, .range = 1, .count = 6},
     {20240108, 20240110}, {20240109, 20240111}},
    {"WeekdaysFromSaturday", {.type = 2, .start = 20240106, .range = 1, .count = 5},
     {20240108, 20240112}, {20240106, 20240107, 20240115}},
    {"WeekdaysFromSunday", {.type = 2, .start = 20240107, .range = 1, .count = 2},
     {20240108, 20240109}, {20240107, 20240110}},
    {"WeekdaysNoEndSkipsWeekends", {.type = 2, .start = 20240101}, {20241227, 20260302}, {20241228, 20241229, 20231229}},
    // Weekly on flagged days; blocks start on the start's weekday, so from a Wednesday,
    // Monday the 8th is in block 0.
    {"MondayAndFridayThreeTimes", {.type = 3, .start = 20240105, .range = 1, .count = 3, .weekdays = "15"},
     {20240105, 20240108, 20240112}, {20240101, 20240115, 20240119}},
    {"EveryTwoWeeksOnMonday", {.type = 3, .start = 20240101, .freq = 2, .weekdays = "1"},
     {20240101, 20240115, 20240129}, {20240108, 20240102, 20240122}},
    {"FirstPartialWeekEveryTwoWeeks", {.type = 3, .start = 20240103, .freq = 2, .range = 1, .count = 3, .weekdays = "13"},
     {20240103, 20240108, 20240117}, {20240101, 20240110, 20240115, 20240122, 20240131}},
    {"SundayFlagOnce", {.type = 3, .start = 20240101, .range = 1, .count = 1, .weekdays = "7"},
     {20240107}, {20240114, 20240101}},
    {"CountAtItsLastOccurrence", {.type = 3, .start = 20240101, .range = 1, .count = 6, .weekdays = "135"},
     {20240112}, {20240115}},
    {"NoWeekdayFlagged", {.type = 3, .start = 20240101}, {}, {20240101, 20240108}},
    {"FrequencyZeroIsWeekly", {.type = 3, .start = 20240101, .freq = 0, .weekdays = "1"}, {20240108}, {20240109}},
    // Monthly by day: RangeCount counts the periods after the first; months are counted from
    // RepeatMonth, which the editor takes from the start date.
    {"Day31SkipsShortMonths", {.type = 4, .start = 20240131, .day = 31, .month = 1},
     {20240131, 20240331, 20240531}, {20240229, 20240430, 20240401}},
    {"EveryTwoMonthsFrom31January", {.type = 4, .start = 20240131, .freq = 2, .day = 31, .month = 1},
     {20240331, 20240531}, {20240229, 20240430, 20240831}},
    {"MonthlyCountsPeriodsAfterTheFirst", {.type = 4, .start = 20240115, .range = 1, .count = 2, .day = 15, .month = 1},
     {20240115, 20240215, 20240315}, {20240415}},
    {"PatternDayBeforeStartGivesCountOccurrences", {.type = 4, .start = 20240120, .range = 1, .count = 2, .day = 15, .month = 1},
     {20240215, 20240315}, {20240115, 20240415}},
    {"MonthlyAcrossTheYearEnd", {.type = 4, .start = 20231110, .freq = 3, .day = 10, .month = 11},
     {20240210, 20240510}, {20240110, 20231210}},
    {"Day29InLeapFebruary", {.type = 4, .start = 20230129, .day = 29, .month = 1}, {20240229}, {20230228, 20230301}},
    {"FrequencyZeroIsMonthly", {.type = 4, .start = 20240115, .freq = 0, .day = 15, .month = 1}, {20240215}, {}},
    {"RepeatMonthAfterTheStartMonth", {.type = 4, .start = 20240110, .freq = 2, .range = 1, .day = 10, .month = 3},
     {20240110, 20240310}, {20240210, 20240510}},
    // Monthly by weekday: March 2024 has five Fridays (1 .. 29), February four (2 .. 23).
    {"LastFriday", {.type = 5, .start = 20240101, .day = 5, .cardinal = 4},
     {20240329, 20240223}, {20240322, 20240216, 20240301}},
    {"FourthFridayOfAFiveFridayMonth", {.type = 5, .start = 20240101, .day = 5, .cardinal = 3},
     {20240322, 20240223}, {20240329, 20240315}},
    {"SecondTuesday", {.type = 5, .start = 20240101, .day = 2, .cardinal = 1}, {20240109, 20240213}, {20240102, 20240116}},
    {"FirstMondayEveryThreeMonthsCounted", {.type = 5, .start = 20240101, .freq = 3, .range = 1, .count = 1, .day = 1},
     {20240101, 20240401}, {20240205, 20240701}},
    {"StartAfterThisMonthsOccurrence", {.type = 5, .start = 20240120, .day = 1}, {20240205}, {20240101}},
    {"FrequencyZeroIsMonthlyByWeekday", {.type = 5, .start = 20240101, .freq = 0, .day = 1}, {20240205}, {}},
    {"WeekdayOutOfRangeNeverListed", {.type = 5, .start = 20240101, .day = 9}, {}, {20240101, 20240102}},
    // Yearly by day; the frequency plays no part.
    {"LeapDayOnlyInLeapYears", {.type = 6, .start = 20240229, .day = 29, .month = 1},
     {20240229, 20280229}, {20270228, 20270301, 20250301}},
    {"CountsYearsAfterTheFirst", {.type = 6, .start = 20240704, .range = 1, .count = 2, .day = 4, .month = 6},
     {20240704, 20250704, 20260704}, {20270704, 20240604}},
    {"FirstYearsDayBeforeStart", {.type = 6, .start = 20240801, .range = 1, .count = 1, .day = 4, .month = 6},
     {20250704}, {20240704, 20260704}},
    {"FrequencyPlaysNoPart", {.type = 6, .start = 20240704, .freq = 5, .day = 4, .month = 6}, {20250704}, {}},
    // Yearly by weekday: May 2024 has four Mondays (last the 27th), May 2027 five.
    {"FourthThursdayOfNovember", {.type = 7, .start = 20241128, .day = 4, .month = 10, .cardinal = 3},
     {20241128, 20251127}, {20251120, 20251023}},
    {"LastMondayOfMay", {.type = 7, .start = 20240101, .day = 1, .month = 4, .cardinal = 4},
     {20240527, 20270531}, {20270524, 20240520}},
    {"CountZeroIsTheFirstYearOnly", {.type = 7, .start = 20241101, .range = 1, .day = 4, .month = 10, .cardinal = 3},
     {20241128}, {20251127}},
    // Exceptions hide an occurrence or add a day where there is none.
    {"ExceptionHidesAnOccurrence", {.type = 1, .start = 20240101, .except1 = 20240103},
     {20240102, 20240104}, {20240103, 202401031000}},
    {"ExceptionAddsADayToAOneTimeEvent", {.start = 20240101, .except1 = 20240102}, {20240101, 20240102}, {20240103}},
    {"ExceptionAddsADayBeforeTheStart", {.start = 20240110, .except1 = 20240102}, {20240102}, {}},
    {"ExceptionStoredWithATimeCountsItsDay", {.type = 1, .start = 20240101, .except1 = 202401031500},
     {}, {20240103, 202401032300}},
    {"TheSameExceptionTwiceStillHides", {.type = 1, .start = 20240101, .except1 = 20240103, .except2 = 20240103},
     {}, {20240103}},
    {"ExceptionShowsAnUnknownPattern", {.type = 9, .start = 20240101, .except1 = 20240103}, {20240103}, {20240101}},
    {"ExceptionAddsADayToAnEndedSeries", {.type = 3, .start = 20240101, .range = 1, .count = 1, .weekdays = "1", .except1 = 20240201},
     {20240201}, {20240108}},
};
// clang-format on

void SetRule(TNote& n, const Rule& r) {
  n.RepeatType = r.type;
  n.StartDate = At(r.start);
  n.RepeatFrequency = r.freq;
  n.RangeType = r.range;
  n.RangeCount = r.count;
  n.EndDate = r.end ? At(r.end) : 0;
  n.RepeatDay = r.day;
  n.RepeatMonth = r.month;
  n.RepeatCardinal = r.cardinal;
  for (const char* w = r.weekdays; *w; ++w) n.SetRepeatOn(*w - '0', true);
  n.Span = r.span;
  n.SpanRange = r.days;
  for (When x : {r.except1, r.except2}) {
    if (x != 0) n.Exceptions.append(At(x));
  }
}

// Checks the rule itself and the day query of a calendar that holds only this event (behind
// a few others, so the index does not start at 0).
TEST(Recurrence, EachPatternOccursOnItsDays) {
  for (const Row& row : Rows) {
    SCOPED_TRACE(row.name);
    FixedClock clock(DT(2024, 1, 1, 12, 0));
    DataFormat calendar(clock);
    for (int k = 0; k < 3; ++k) calendar.NoteArray[calendar.AppendNote()].StartDate = D(1990, 1, 1);
    const int i = calendar.AppendNote();
    SetRule(calendar.NoteArray[i], row.rule);
    calendar.DataChanged = true;
    for (const bool expected : {true, false}) {
      for (When w : expected ? row.listed : row.notListed) {
        EXPECT_EQ(calendar.NoteOccursOn(i, At(w)), expected) << w;
        EXPECT_EQ(calendar.FindDayEvents(At(w)), expected ? std::vector<int>{i} : std::vector<int>{}) << w;
      }
    }
  }
}

// The last day of a series that ends; 0 for none.
struct LastRow {
  const char* name;
  Rule rule;
  When last;
};

// clang-format off
const LastRow LastRows[] = {
    {"EveryTwoDaysThreeTimes", {.type = 1, .start = 20240101, .freq = 2, .range = 1, .count = 3}, 20240105},
    {"WeekdaysFromWednesdayPassOverTuesday", {.type = 2, .start = 20240103, .range = 1, .count = 6}, 20240110},
    {"MondayAndFridayThreeTimes", {.type = 3, .start = 20240105, .range = 1, .count = 3, .weekdays = "15"}, 20240112},
    {"MonthlyCountsFromRepeatMonth", {.type = 4, .start = 20240229, .freq = 2, .range = 1, .count = 6, .day = 29, .month = 8}, 20250829},
    {"MonthlyCountZeroWithRepeatMonthLater", {.type = 4, .start = 20240110, .range = 1, .day = 10, .month = 3}, 20240310},
    {"MonthlyNegativeCount", {.type = 4, .start = 20240110, .range = 1, .count = -1, .day = 10, .month = 3}, 20240210},
    {"LastFridayTwoPeriodsOn", {.type = 5, .start = 20240101, .range = 1, .count = 2, .day = 5, .cardinal = 4}, 20240329},
    {"LeapDayCountedIntoCommonYears", {.type = 6, .start = 20240101, .range = 1, .count = 3, .day = 29, .month = 1}, 20240229},
    {"LastMondayOfMayThreeYearsOn", {.type = 7, .start = 20240101, .range = 1, .count = 3, .day = 1, .month = 4, .cardinal = 4}, 20270531},
    {"EndDateWithTime", {.type = 1, .start = 20240301, .range = 2, .end = 202403101200}, 20240310},
    {"EndDateOnNoOccurrence", {.type = 4, .start = 20240131, .range = 2, .end = 20240430, .day = 31, .month = 1}, 20240331},
    {"SpanOfThreeDays", {.start = 20240305, .span = true, .days = 3}, 20240307},
    {"OneTime", {.start = 20240305}, 20240305},
    {"HugeWeeklyCountEndsWithTheCalendar", {.type = 3, .start = 20240101, .range = 1, .count = 2000000000, .weekdays = "1"}, 99991227},
    {"HugeMonthlyCountEndsWithTheCalendar", {.type = 4, .start = 20240115, .range = 1, .count = 2000000000, .day = 15, .month = 1}, 99991215},
    {"NoEnd", {.type = 1, .start = 20240101}, 0},
    {"CountZeroListsNothing", {.type = 1, .start = 20240101, .range = 1}, 0},
    {"EndBeforeStart", {.type = 1, .start = 20240305, .range = 2, .end = 20240301}, 0},
};
// clang-format on

TEST(Recurrence, LastListedDayOfASeriesThatEnds) {
  for (const LastRow& row : LastRows) {
    TNote n;
    SetRule(n, row.rule);
    const auto last = NoteLastListedDay(n);
    EXPECT_EQ(last.value_or(0), row.last ? qint64(At(row.last)) : 0) << row.name;
  }
}

// The last listed day against the rule walked day by day, on random series that end.
TEST(Recurrence, LastListedDayIsTheRulesLastOnRandomSeries) {
  std::mt19937 rng(7);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int from = static_cast<int>(D(2024, 1, 1));
  for (int e = 0; e < 400; ++e) {
    TNote n;
    n.StartDate = from + pick(0, 400);
    n.RepeatType = pick(0, 7);
    n.RepeatFrequency = pick(-1, 4);
    n.Span = pick(0, 1);
    n.SpanRange = pick(0, 5);
    n.RepeatDay = pick(0, 31);
    n.RepeatMonth = pick(-1, 13);
    n.RepeatCardinal = pick(0, 5);
    for (int w = 1; w <= 7; ++w) n.SetRepeatOn(w, pick(0, 3) == 0);
    n.RangeType = pick(1, 2);
    n.RangeCount = pick(-2, 12);
    n.EndDate = n.StartDate + pick(-5, 900) + (pick(0, 1) ? EncodeTime(12, 0) : 0);
    std::optional<qint64> walked;
    for (int day = from; day < from + 30 * 366; ++day)
      if (NoteListedOn(n, day)) walked = day;
    ASSERT_EQ(NoteLastListedDay(n), walked) << "series " << e << " of type " << n.RepeatType;
  }
}

// The day index follows deletions, edits, exceptions and appends even when a save has cleared
// the change flag; moments outside the calendar list nothing; the display order puts all-day
// events first, then by start time, ties in reverse index order.
TEST(DayQueries, FollowChangesAndSort) {
  FixedClock clock{DT(2024, 3, 5, 8, 0)};
  DataFormat calendar{clock};
  const auto add = [&](TDateTime day, bool timed = false, TDateTime start = 0) {
    const int i = calendar.AppendNote();
    calendar.NoteArray[i].StartDate = day;
    calendar.NoteArray[i].Start = timed;
    calendar.NoteArray[i].StartTime = start;
    return i;
  };
  for (int k = 0; k < 5; ++k) add(D(2024, 3, k % 2 == 0 ? 5 : 6));
  EXPECT_EQ(calendar.FindDayEvents(DT(2024, 3, 5, 17, 0)), (std::vector<int>{0, 2, 4}));
  calendar.DeleteNote(0);
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 5)), (std::vector<int>{2, 4}));
  calendar.NoteArray[2].StartDate = D(2024, 3, 6);
  calendar.DataChanged = true;
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 5)), 1);
  calendar.ToggleException(2, D(2024, 3, 6));
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 6)), (std::vector<int>{1, 3}));
  calendar.ToggleException(2, D(2024, 3, 6));
  calendar.DataChanged = false;
  const int b = add(D(2024, 3, 6));
  calendar.DataChanged = false;
  EXPECT_EQ(calendar.FindDayEvents(D(2024, 3, 6)), (std::vector<int>{1, 2, 3, b}));
  calendar.ClearCalendar();
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 6)), 0);
  add(D(2024, 3, 7));
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 7)), 1);

  const int daily = add(D(2024, 3, 5));
  calendar.NoteArray[daily].RepeatType = 1;
  calendar.DataChanged = true;
  for (double d : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1.5, 1e300})
    EXPECT_EQ(calendar.CountDayEvents(d), 0) << d;
  calendar.NoteArray[daily].StartDate = std::numeric_limits<double>::quiet_NaN();
  calendar.DataChanged = true;
  EXPECT_EQ(calendar.CountDayEvents(D(2024, 3, 5)), 0);

  calendar.ClearCalendar();
  const int nine = add(D(2024, 3, 5), true, EncodeTime(9, 0));
  const int eight = add(D(2024, 3, 5), true, EncodeTime(8, 0));
  const int allDay = add(D(2024, 3, 5));
  EXPECT_EQ(calendar.FindSortedDayEvents(D(2024, 3, 5)), (std::vector<int>{allDay, eight, nine}));
  for (int k = 3; k < 10; ++k) add(D(2024, 3, 5), k >= 8, EncodeTime(10, 0));
  EXPECT_EQ(calendar.SortDayEvents({3, 7}), (std::vector<int>{7, 3}));
  EXPECT_EQ(calendar.SortDayEvents({8, 9, 3}), (std::vector<int>{3, 9, 8}));
}

// The fast query against the rule itself, on a random calendar of every kind of rule,
// sensible and odd, day by day over three years.
TEST(DayQueryIndex, MatchesTheRuleEveryDayOfThreeYears) {
  FixedClock clock(DT(2025, 6, 1, 12, 0));
  const TDateTime around = D(2025, 6, 1);
  for (unsigned seed : {1u, 2u}) {
    DataFormat calendar(clock);
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int e = 0; e < 600; ++e) {
      TNote& n = calendar.NoteArray[calendar.AppendNote()];
      n.StartDate = around - pick(0, 3 * 365) + (pick(0, 9) == 0 ? EncodeTime(pick(0, 23), 30) : 0);
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
      for (int k = pick(0, 6) - 3; k > 0; --k)
        n.Exceptions.append(n.StartDate + pick(-3, 300) + (pick(0, 3) == 0 ? EncodeTime(9, 0) : 0));
      if (pick(0, 3) == 0 && !n.Exceptions.isEmpty()) n.Exceptions.append(n.Exceptions.first());
      if (pick(0, 20) == 0) n.DeleteDate = around;
    }
    calendar.DataChanged = true;
    int mismatches = 0;
    for (TDateTime day = D(2023, 1, 1); day < D(2026, 1, 1) && mismatches < 5; day += 1) {
      for (TDateTime moment : {day, day + EncodeTime(12, 0)}) {
        std::vector<int> expected;
        for (int i = 0; i < calendar.NoteCount(); ++i) {
          if (calendar.NoteArray[i].DeleteDate == 0 && calendar.NoteOccursOn(i, moment)) expected.push_back(i);
        }
        if (calendar.FindDayEvents(moment) != expected) {
          ++mismatches;
          ADD_FAILURE() << "seed " << seed << " on " << FormatDateTime("yyyy-mm-dd hh:nn", moment).toStdString();
        }
      }
    }
  }
}

}  // namespace
