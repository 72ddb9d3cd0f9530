#include "core/recurrence.h"

#include "core/dataformat.h"
#include "core/repeattype.h"
#include "core/zonedtime.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <limits>

namespace {

bool IsDayValue(double value) { return std::isfinite(value) && std::fabs(value) <= MaxDayNumber; }

// Delphi's div and mod truncate toward zero, as C++'s / and % do; the rules count with them.
qint64 AtLeastOne(qint32 frequency) { return frequency < 1 ? 1 : frequency; }

// 1 Monday .. 7 Sunday of a day number.
int IsoWeekdayOfDay(qint64 day) { return static_cast<int>(((day + 5) % 7 + 7) % 7) + 1; }

// The weekend days before the first Monday of an every-weekday series started on isoStart.
int WeekendAdjust(int isoStart) { return isoStart <= 5 ? 0 : (isoStart == 6 ? 2 : 1); }

// Months as one running number, 12 × year + month. The day-of-month pattern counts its
// periods from month RepeatMonth of the start's year, the weekday-of-month pattern from the
// start's own month.
qint64 MonthlyOrigin(const TNote& e, int startYear, int startMonth) {
  return 12 * qint64(startYear) + (RepeatOf(e) == RepeatType::MonthlyByDay ? qint64(e.RepeatMonth) : startMonth);
}

// 31 December 9999, the last day of the calendar.
constexpr qint64 LastCalendarDay = 2958465;

// The last day of month number 12 × year + month, held to the calendar.
qint64 LastDayOfMonthNumber(qint64 monthNumber) {
  const qint64 year = (monthNumber - 1) / 12;
  const int month = static_cast<int>((monthNumber - 1) % 12) + 1;
  if (year > 9999 || year < 1) return LastCalendarDay;  // before year 1: no tighter limit
  return static_cast<qint64>(EncodeDate(static_cast<int>(year), month, DaysInMonth(static_cast<int>(year), month)));
}

// A day from which on the count limit of a counted series lets no day through: the count
// tests of NoteListedOn solved for the date. Below the start when the count lets none through.
// The pattern need not fall on this day itself.
qint64 CountLimitDay(const TNote& e, qint64 startDay) {
  const qint64 count = e.RangeCount;
  const qint64 none = startDay - 1;
  switch (RepeatOf(e)) {
    case RepeatType::Daily:  // occurrence days div F + 1 is at most the count
      return count < 1 ? none : startDay + AtLeastOne(e.RepeatFrequency) * (count - 1);
    case RepeatType::EveryWeekday: {  // c + 1 at most the count, and c is at least 5 × weeks − a
      const qint64 fiveWeeks = count - 1 + WeekendAdjust(IsoWeekdayOfDay(startDay));
      return fiveWeeks < 0 ? none : startDay + 7 * (fiveWeeks / 5) + 6;
    }
    case RepeatType::Weekly: {  // n × (weeks div F) + m at most the count, m at least 1 on a listed day
      int flagged = 0;
      for (int w = 1; w <= 7; ++w) flagged += e.RepeatOn(w) ? 1 : 0;
      if (flagged == 0 || count < 1) return none;
      const qint64 blockDays = 7 * AtLeastOne(e.RepeatFrequency);
      const qint64 blocks = (count - 1) / flagged;
      if (blocks > LastCalendarDay / blockDays) return LastCalendarDay;
      return startDay + blockDays * blocks + 6;
    }
    case RepeatType::MonthlyByDay:
    case RepeatType::MonthlyByWeekday: {  // the series runs through period RangeCount
      int y, m, d;
      DecodeDate(static_cast<TDateTime>(startDay), y, m, d);
      const qint64 lastMonth = MonthlyOrigin(e, y, m) + AtLeastOne(e.RepeatFrequency) * count;
      return lastMonth < 12 * qint64(y) + m ? none : LastDayOfMonthNumber(lastMonth);
    }
    case RepeatType::YearlyByDay:
    case RepeatType::YearlyByWeekday: {  // years after the start's year at most the count
      int y, m, d;
      DecodeDate(static_cast<TDateTime>(startDay), y, m, d);
      return count < 0 ? none : LastDayOfMonthNumber(12 * (y + count) + 12);
    }
    default:
      return none;
  }
}

bool WantedWeek(int dayOfMonth, int daysInMonth, qint64 cardinal) {
  const int week = (dayOfMonth - 1) / 7 + 1;
  return week == cardinal + 1 || (week == cardinal && dayOfMonth + 7 > daysInMonth);
}

}  // namespace

bool NoteExceptedOn(const TNote& note, TDateTime date) {
  for (const TDateTime exception : note.Exceptions) {
    const double day = DatePart(exception);
    if (day <= date && date < day + 1) return true;
  }
  return false;
}

bool NoteListedOn(const TNote& e, TDateTime date) {
  if (!IsDayValue(e.StartDate) || !IsDayValue(date)) return false;
  const qint64 startDay = static_cast<qint64>(DatePart(e.StartDate));
  const qint64 dateDay = static_cast<qint64>(DatePart(date));
  if (startDay > dateDay) return false;
  // The series' end is compared as stored, times included.
  if (e.RangeType == 2 && date > e.EndDate) return false;

  const qint64 days = dateDay - startDay;
  const qint64 weeks = days / 7;
  const qint64 r = days % 7;
  const bool counted = e.RangeType == 1;
  const qint64 count = e.RangeCount;

  switch (RepeatOf(e)) {
    case RepeatType::Once: {  // one time, or SpanRange days from the start
      const double first = static_cast<double>(startDay);
      if (!e.Span) return first <= date && date < first + 1;
      const double k = std::floor(date - first);  // the one day S + k that can hold D
      return k >= 0 && k < e.SpanRange;
    }
    case RepeatType::Daily: {  // every F days
      const qint64 f = AtLeastOne(e.RepeatFrequency);
      return days % f == 0 && (!counted || days / f + 1 <= count);
    }
    case RepeatType::EveryWeekday: {  // every weekday
      if (IsoWeekdayOfDay(dateDay) >= 6) return false;
      if (!counted) return true;
      const qint64 c = 5 * weeks + r - WeekendAdjust(IsoWeekdayOfDay(startDay));
      return c + 1 <= count;
    }
    case RepeatType::Weekly: {  // every F weeks on the flagged weekdays
      const qint64 f = AtLeastOne(e.RepeatFrequency);
      if (weeks % f != 0 || !e.RepeatOn(IsoWeekdayOfDay(dateDay))) return false;
      if (!counted) return true;
      int flagged = 0;
      for (int w = 1; w <= 7; ++w) flagged += e.RepeatOn(w) ? 1 : 0;
      // The flagged weekdays from the block's first day (S's weekday) through D.
      const int s = IsoWeekdayOfDay(startDay);
      int m = 0;
      for (int j = 0; j <= r; ++j) m += e.RepeatOn((s - 1 + j) % 7 + 1) ? 1 : 0;
      return flagged * (weeks / f) + m <= count;
    }
    default:
      break;
  }

  int year, month, dayOfMonth, startYear, startMonth, startDayOfMonth;
  DecodeDate(date, year, month, dayOfMonth);
  DecodeDate(e.StartDate, startYear, startMonth, startDayOfMonth);
  const qint64 years = year - startYear;
  switch (RepeatOf(e)) {
    case RepeatType::MonthlyByDay: {  // day RepeatDay of every F months, counted from month RepeatMonth of S's year
      const qint64 f = AtLeastOne(e.RepeatFrequency);
      const qint64 m = 12 * qint64(year) + month - MonthlyOrigin(e, startYear, startMonth);
      return dayOfMonth == e.RepeatDay && m % f == 0 && (!counted || m / f <= count);
    }
    case RepeatType::MonthlyByWeekday: {  // the RepeatCardinal-th weekday RepeatDay of every F months
      const qint64 f = AtLeastOne(e.RepeatFrequency);
      const qint64 months = 12 * qint64(year) + month - MonthlyOrigin(e, startYear, startMonth);
      return WeekdayIndex(date) == e.RepeatDay && WantedWeek(dayOfMonth, DaysInMonth(year, month), e.RepeatCardinal) &&
             months % f == 0 && (!counted || months / f <= count);
    }
    case RepeatType::YearlyByDay:  // every year on day RepeatDay of month RepeatMonth + 1
      return dayOfMonth == e.RepeatDay && month == static_cast<qint64>(e.RepeatMonth) + 1 &&
             (!counted || years <= count);
    case RepeatType::YearlyByWeekday:  // every year on the RepeatCardinal-th weekday RepeatDay of month RepeatMonth + 1
      return WeekdayIndex(date) == e.RepeatDay && WantedWeek(dayOfMonth, DaysInMonth(year, month), e.RepeatCardinal) &&
             month == static_cast<qint64>(e.RepeatMonth) + 1 && (!counted || years <= count);
    default:
      return false;
  }
}

std::optional<qint64> NoteLastListedDay(const TNote& e) {
  if (!IsDayValue(e.StartDate)) return std::nullopt;
  const qint64 startDay = static_cast<qint64>(DatePart(e.StartDate));
  qint64 last = LastCalendarDay;
  bool ends = true;
  if (RepeatOf(e) == RepeatType::Once)
    last = startDay + (e.Span ? std::max<qint64>(e.SpanRange, 1) - 1 : 0);
  else if (e.RangeType == 1)
    last = CountLimitDay(e, startDay);
  else
    ends = false;
  // A day is listed while its start, midnight, is not later than the end date; an end date
  // beyond the calendar (or not a number) ends nothing.
  if (e.RangeType == 2 && e.EndDate < double(LastCalendarDay + 1)) {
    last = std::min(last, static_cast<qint64>(std::floor(std::max(e.EndDate, double(startDay - 1)))));
    ends = true;
  }
  if (!ends) return std::nullopt;
  // The limits above are where the series must end; the pattern's last day on or before it
  // is the series' last.
  for (qint64 day = std::min(last, LastCalendarDay); day >= startDay; --day)
    if (NoteListedOn(e, static_cast<TDateTime>(day))) return day;
  return std::nullopt;
}

void DayIndex::SortIntoBuckets(Group group, int buckets, int (*bucketOf)(const Entry&)) {
  std::vector<Entry>& entries = groups_[group];
  std::vector<quint32>& start = bucketStart_[group];
  start.assign(static_cast<size_t>(buckets) + 1, 0);
  for (const Entry& e : entries) ++start[static_cast<size_t>(bucketOf(e)) + 1];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::vector<quint32> next(start.begin(), start.end() - 1);
  std::vector<Entry> sorted(entries.size());
  for (const Entry& e : entries) sorted[next[static_cast<size_t>(bucketOf(e))]++] = e;
  entries = std::move(sorted);
}

std::span<const DayIndex::Entry> DayIndex::Bucket(Group group, int bucket) const {
  const std::vector<quint32>& start = bucketStart_[group];
  if (bucket < 0 || static_cast<size_t>(bucket) + 1 >= start.size()) return {};
  const Entry* entries = groups_[group].data();
  return {entries + start[static_cast<size_t>(bucket)], entries + start[static_cast<size_t>(bucket) + 1]};
}

DayFacts DayFacts::Of(TDateTime date) {
  DayFacts f;
  f.moment = date;
  f.day = static_cast<int>(DatePart(date));
  DecodeDate(date, f.year, f.month, f.dayOfMonth);
  f.isoWeekday = IsoWeekday(date);
  f.weekdayIndex = f.isoWeekday % 7;
  f.weekOfMonth = (f.dayOfMonth - 1) / 7 + 1;
  f.lastWeek = f.dayOfMonth + 7 > DaysInMonth(f.year, f.month);
  return f;
}

bool IsWantedWeek(const DayFacts& day, qint64 cardinal) {
  return day.weekOfMonth == cardinal + 1 || (day.weekOfMonth == cardinal && day.lastWeek);
}

// --- The index.

bool DayIndex::Covers(TDateTime date) { return std::isfinite(date) && date >= 0 && date <= MaxDayNumber; }

int DayIndex::EntryCount() const {
  int n = static_cast<int>(general_.size());
  for (const auto& group : groups_) n += static_cast<int>(group.size());
  return n;
}

void DayIndex::Build(const std::deque<TNote>& notes, quint64 revision,
                     const std::function<bool(const TNote&)>& leftOut) {
  for (auto& group : groups_) group.clear();
  general_.clear();
  exceptions_.clear();
  leftOut_.clear();

  constexpr qint32 Unlimited = std::numeric_limits<qint32>::max();
  auto clampSpan = [](qint64 span) -> quint32 {
    return static_cast<quint32>(std::clamp<qint64>(span, 0, std::numeric_limits<qint32>::max()));
  };

  const int noteCount = static_cast<int>(notes.size());
  for (int i = 0; i < noteCount; ++i) {
    const TNote& e = notes[static_cast<size_t>(i)];
    if (e.DeleteDate != 0) continue;
    if (leftOut && leftOut(e)) {
      leftOut_.push_back(i);
      continue;
    }

    // Exception dates flip the answer on their day whatever the rule says. A value outside
    // the calendar lies on no day the index is asked about.
    for (const TDateTime x : e.Exceptions) {
      if (std::isfinite(x) && std::fabs(x) <= MaxDayNumber + 2) {
        exceptions_.emplace_back(static_cast<qint32>(DatePart(x)), i);
      }
    }

    // A start that is not a date lists nothing; neither does an unknown pattern.
    if (!IsDayValue(e.StartDate) || RepeatOf(e) < RepeatType::Once || RepeatOf(e) > RepeatType::YearlyByWeekday)
      continue;

    Entry entry{};
    entry.index = i;
    entry.first = static_cast<qint32>(DatePart(e.StartDate));
    entry.span = static_cast<quint32>(Unlimited);
    entry.freq = 1;
    const bool counted = e.RangeType == 1;
    entry.count = counted ? e.RangeCount : Unlimited;
    // A NaN end compares false, so it ends nothing.
    entry.end = e.RangeType == 2 && !std::isnan(e.EndDate) ? e.EndDate : std::numeric_limits<double>::infinity();

    int startYear, startMonth, startDayOfMonth;
    DecodeDate(e.StartDate, startYear, startMonth, startDayOfMonth);
    const bool cardinalValid = e.RepeatDay >= 0 && e.RepeatDay <= 6 && e.RepeatCardinal >= 0 && e.RepeatCardinal <= 5;

    switch (RepeatOf(e)) {
      case RepeatType::Once:
        if (e.Span && e.SpanRange <= 0) continue;
        entry.span = e.Span ? clampSpan(qint64(e.SpanRange) - 1) : 0;
        entry.base = 0;
        groups_[entry.span < MaxSortedSpan ? OneTime : EveryNDays].push_back(entry);
        break;
      case RepeatType::Daily: {
        const qint64 f = AtLeastOne(e.RepeatFrequency);
        if (f > MaxTableFrequency) {
          general_.push_back(i);
          continue;
        }
        if (counted) {
          if (e.RangeCount < 1) continue;
          // Occurrence number RangeCount is the last.
          entry.span = clampSpan(f * (qint64(e.RangeCount) - 1));
        }
        entry.freq = static_cast<qint32>(f);
        entry.base = static_cast<qint32>(((entry.first % f) + f) % f);
        groups_[EveryNDays].push_back(entry);
        break;
      }
      case RepeatType::EveryWeekday:
        entry.adjust = static_cast<quint8>(WeekendAdjust(IsoWeekday(e.StartDate)));
        groups_[Weekdays].push_back(entry);
        break;
      case RepeatType::Weekly: {
        int flags = 0;
        for (int w = 1; w <= 7; ++w) flags |= e.RepeatOn(w) ? 1 << w : 0;
        if (flags == 0) continue;
        const int s = IsoWeekday(e.StartDate);
        int rotated = 0;
        for (int j = 0; j < 7; ++j) rotated |= e.RepeatOn((s - 1 + j) % 7 + 1) ? 1 << j : 0;
        entry.flags = static_cast<quint8>(flags);
        entry.rotated = static_cast<quint8>(rotated);
        entry.flagCount = static_cast<quint8>(std::popcount(static_cast<unsigned>(flags)));
        entry.freq = static_cast<qint32>(std::min<qint64>(AtLeastOne(e.RepeatFrequency), Unlimited));
        // Once under each of its weekdays (key).
        for (int w = 1; w <= 7; ++w) {
          if ((flags & (1 << w)) == 0) continue;
          entry.key = w;
          groups_[Weekly].push_back(entry);
        }
        break;
      }
      case RepeatType::MonthlyByDay:
        if (e.RepeatDay < 1 || e.RepeatDay > 31) continue;
        if (e.RepeatMonth < -1000000 || e.RepeatMonth > 1000000) {
          general_.push_back(i);
          continue;
        }
        entry.key = e.RepeatDay;
        entry.base = static_cast<qint32>(MonthlyOrigin(e, startYear, startMonth));
        entry.freq = static_cast<qint32>(AtLeastOne(e.RepeatFrequency));
        groups_[MonthlyDay].push_back(entry);
        break;
      case RepeatType::MonthlyByWeekday:
        if (!cardinalValid) continue;
        entry.key = e.RepeatDay * 8 + e.RepeatCardinal;
        entry.base = static_cast<qint32>(MonthlyOrigin(e, startYear, startMonth));
        entry.freq = static_cast<qint32>(AtLeastOne(e.RepeatFrequency));
        groups_[MonthlyNth].push_back(entry);
        break;
      case RepeatType::YearlyByDay:
        if (e.RepeatDay < 1 || e.RepeatDay > 31 || e.RepeatMonth < 0 || e.RepeatMonth > 11) continue;
        entry.key = (e.RepeatMonth + 1) * 32 + e.RepeatDay;
        entry.base = startYear;
        groups_[YearlyDay].push_back(entry);
        break;
      case RepeatType::YearlyByWeekday:
        if (!cardinalValid || e.RepeatMonth < 0 || e.RepeatMonth > 11) continue;
        entry.key = e.RepeatDay * 8 + e.RepeatCardinal;
        entry.freq = e.RepeatMonth + 1;
        entry.base = startYear;
        groups_[YearlyNth].push_back(entry);
        break;
    }
  }
  // The same date twice still flips once.
  std::sort(exceptions_.begin(), exceptions_.end());
  exceptions_.erase(std::unique(exceptions_.begin(), exceptions_.end()), exceptions_.end());
  // A query reads only the entries that can fall on its weekday, day of the month or month.
  SortIntoBuckets(Weekly, 8, [](const Entry& e) { return e.key; });
  SortIntoBuckets(MonthlyDay, 32, [](const Entry& e) { return e.key; });
  SortIntoBuckets(MonthlyNth, 7, [](const Entry& e) { return e.key / 8; });
  SortIntoBuckets(YearlyDay, 13 * 32, [](const Entry& e) { return e.key; });
  SortIntoBuckets(YearlyNth, 13, [](const Entry& e) { return e.freq; });
  auto& oneTime = groups_[OneTime];
  std::stable_sort(oneTime.begin(), oneTime.end(), [](const Entry& a, const Entry& b) { return a.first < b.first; });
  oneTimeSpan_ = 0;
  for (const Entry& e : oneTime) oneTimeSpan_ = std::max(oneTimeSpan_, static_cast<qint32>(e.span));
  scratch_.assign(static_cast<size_t>(EntryCount()) + 1, 0);

  revision_ = revision;
  noteCount_ = noteCount;
  built_ = true;
}

void DayIndex::Find(const std::deque<TNote>& notes, TDateTime date, std::vector<int>& out) {
  Merge(List(notes, date), date, out);
}

std::span<int> DayIndex::List(const std::deque<TNote>& notes, TDateTime date) {
  const DayFacts f = DayFacts::Of(date);
  const double moment = f.moment;
  const qint32 day = f.day;
  const qint32 monthIndex = 12 * f.year + f.month;

  // day mod F for every tabled interval: "days mod F = 0" is "day mod F = start mod F".
  qint32 remainder[MaxTableFrequency + 1];
  remainder[0] = 0;
  for (int k = 1; k <= MaxTableFrequency; ++k) remainder[k] = day % k;

  // Bit (weekday index × 8 + cardinal) is set for the cardinals whose week D is in.
  quint64 wanted = 0;
  for (int cardinal = 0; cardinal <= 5; ++cardinal) {
    if (IsWantedWeek(f, cardinal)) wanted |= quint64(1) << (f.weekdayIndex * 8 + cardinal);
  }

  // Each loop writes every entry's index and advances only past the hits, so the common
  // "no" costs no mispredicted branch.
  int* hits = scratch_.data();
  int n = 0;

  {
    // Only the one-time events that start from oneTimeSpan_ days before D through D.
    const auto& oneTime = groups_[OneTime];
    auto it = std::lower_bound(oneTime.begin(), oneTime.end(), day - oneTimeSpan_,
                               [](const Entry& e, qint32 first) { return e.first < first; });
    for (; it != oneTime.end() && it->first <= day; ++it) {
      const bool ok = (static_cast<quint32>(day - it->first) <= it->span) & (moment <= it->end);
      hits[n] = it->index;
      n += ok;
    }
  }

  for (const Entry& e : groups_[EveryNDays]) {
    const bool ok = (static_cast<quint32>(day - e.first) <= e.span) & (remainder[e.freq] == e.base) & (moment <= e.end);
    hits[n] = e.index;
    n += ok;
  }

  if (f.isoWeekday <= 5) {
    for (const Entry& e : groups_[Weekdays]) {
      const qint32 days = day - e.first;
      const qint32 weeks = days / 7;
      const qint32 c = 5 * weeks + (days - 7 * weeks) - e.adjust;
      const bool ok = (days >= 0) & (moment <= e.end) & (c < e.count);
      hits[n] = e.index;
      n += ok;
    }
  }

  const unsigned isoBit = 1u << f.isoWeekday;
  for (const Entry& e : Bucket(Weekly, f.isoWeekday)) {
    const qint32 days = day - e.first;
    if (!((days >= 0) & ((e.flags & isoBit) != 0) & (moment <= e.end))) continue;
    const qint32 weeks = days / 7;
    if (weeks % e.freq != 0) continue;
    const qint32 r = days - 7 * weeks;
    const qint64 c =
        qint64(e.flagCount) * (weeks / e.freq) + std::popcount(static_cast<unsigned>(e.rotated) & ((2u << r) - 1));
    if (c <= e.count) hits[n++] = e.index;
  }

  for (const Entry& e : Bucket(MonthlyDay, f.dayOfMonth)) {
    if (!((e.key == f.dayOfMonth) & (day >= e.first) & (moment <= e.end))) continue;
    const qint32 m = monthIndex - e.base;
    if (m % e.freq == 0 && m / e.freq <= e.count) hits[n++] = e.index;
  }

  for (const Entry& e : Bucket(MonthlyNth, f.weekdayIndex)) {
    if (!(((wanted >> e.key) & 1) & (day >= e.first) & (moment <= e.end))) continue;
    const qint32 months = monthIndex - e.base;
    if (months % e.freq == 0 && months / e.freq <= e.count) hits[n++] = e.index;
  }

  const qint32 yearlyKey = f.month * 32 + f.dayOfMonth;
  for (const Entry& e : Bucket(YearlyDay, yearlyKey)) {
    const bool ok = (e.key == yearlyKey) & (day >= e.first) & (moment <= e.end) & (f.year - e.base <= e.count);
    hits[n] = e.index;
    n += ok;
  }

  for (const Entry& e : Bucket(YearlyNth, f.month)) {
    const bool ok = (e.freq == f.month) & (((wanted >> e.key) & 1) != 0) & (day >= e.first) & (moment <= e.end) &
                    (f.year - e.base <= e.count);
    hits[n] = e.index;
    n += ok;
  }

  for (const int i : general_) {
    if (NoteListedOn(notes[static_cast<size_t>(i)], date)) hits[n++] = i;
  }

  return {hits, static_cast<size_t>(n)};
}

std::span<const std::pair<qint32, qint32>> DayIndex::Flips(TDateTime date) const {
  const qint32 day = static_cast<qint32>(DatePart(date));
  const auto range = std::equal_range(exceptions_.begin(), exceptions_.end(), std::pair<qint32, qint32>(day, INT_MIN),
                                      [](const auto& a, const auto& b) { return a.first < b.first; });
  return {range.first, range.second};
}

void DayIndex::Merge(std::span<int> listed, TDateTime date, std::vector<int>& out) const {
  out.clear();
  std::sort(listed.begin(), listed.end());
  const int* hits = listed.data();
  const int n = static_cast<int>(listed.size());

  // Apply the exception dates of this day: each event with one flips its answer once.
  const auto flips = Flips(date);
  if (flips.empty()) {
    out.assign(hits, hits + n);
    return;
  }
  out.reserve(static_cast<size_t>(n) + flips.size());
  int k = 0;
  for (const auto& flip : flips) {
    const int flipped = flip.second;
    while (k < n && hits[k] < flipped) out.push_back(hits[k++]);
    if (k < n && hits[k] == flipped) {
      ++k;  // listed and excepted: hidden
    } else {
      out.push_back(flipped);  // excepted only: shown
    }
  }
  while (k < n) out.push_back(hits[k++]);
}

// --- The calendar's day queries.

bool DataFormat::NoteOccursOn(int index, TDateTime date) const {
  const TNote& note = NoteArray[static_cast<size_t>(index)];
  if (zones_->Foreign(note))
    return IsDayValue(date) && ForeignDay(note, static_cast<int>(std::floor(date)), true).has_value();
  return NoteListedOn(note, date) != NoteExceptedOn(note, date);
}

std::optional<int> DataFormat::ForeignDay(const TNote& note, int localDay, bool occurring) const {
  if (!zones_->Foreign(note) || std::abs(localDay) > MaxDayNumber) return std::nullopt;
  const TDateTime start = TimePart(note.StartTime);
  for (const int day : {localDay, localDay - 1, localDay + 1}) {
    if (occurring && NoteListedOn(note, day) == NoteExceptedOn(note, day)) continue;
    if (std::floor(zones_->ToLocal(note.TimeZone, day + start)) == localDay) return day;
  }
  return std::nullopt;
}

TDateTime DataFormat::OwnDay(int index, TDateTime localDay) const {
  const TNote& note = NoteArray[static_cast<size_t>(index)];
  if (!IsDayValue(localDay) || !zones_->Foreign(note)) return localDay;
  const int day = static_cast<int>(std::floor(localDay));
  if (const auto own = ForeignDay(note, day, true)) return *own;
  return ForeignDay(note, day, false).value_or(day);
}

TDateTime DataFormat::StartTimeOn(int index, TDateTime localDay) const {
  const TNote& note = NoteArray[static_cast<size_t>(index)];
  if (!IsDayValue(localDay) || !zones_->Foreign(note)) return note.StartTime;
  return TimePart(zones_->ToLocal(note.TimeZone, OwnDay(index, localDay) + TimePart(note.StartTime)));
}

TDateTime DataFormat::EndTimeOn(int index, TDateTime localDay) const {
  const TNote& note = NoteArray[static_cast<size_t>(index)];
  if (!IsDayValue(localDay) || !zones_->Foreign(note)) return note.EndTime;
  return TimePart(zones_->ToLocal(note.TimeZone, OwnDay(index, localDay) + TimePart(note.EndTime)));
}

TDateTime DataFormat::AlarmTimeOn(int index, TDateTime localDay) const {
  const TNote& note = NoteArray[static_cast<size_t>(index)];
  if (!IsDayValue(localDay) || !zones_->Foreign(note)) return note.AlarmTime;
  return TimePart(zones_->ToLocal(note.TimeZone, OwnDay(index, localDay) + TimePart(note.AlarmTime)));
}

DayIndex& DataFormat::CurrentDayIndex() {
  if (!dayIndex_) dayIndex_ = std::make_shared<DayIndex>();
  if (!dayIndex_->IsCurrent(DataChanged.Revision(), NoteCount())) {
    dayIndex_->Build(NoteArray, DataChanged.Revision(), [this](const TNote& note) { return zones_->Foreign(note); });
  }
  return *dayIndex_;
}

std::vector<int> DataFormat::FindDayEvents(TDateTime date) {
  if (!DayIndex::Covers(date)) {
    // Moments the index does not cover (before 1899, not a date) get the plain test.
    std::vector<int> found;
    for (int i = 0; i < NoteCount(); ++i) {
      if (NoteArray[static_cast<size_t>(i)].DeleteDate == 0 && NoteOccursOn(i, date)) found.push_back(i);
    }
    return found;
  }
  return DayEventsFrom(CurrentDayIndex().List(NoteArray, date), date);
}

std::vector<int> DataFormat::DayEventsFrom(std::span<int> listed, TDateTime date) {
  std::vector<int> found;
  dayIndex_->Merge(listed, date, found);
  // Events in a foreign zone answer by their own rule, a day either side.
  const std::vector<int>& foreign = dayIndex_->LeftOut();
  if (!foreign.empty()) {
    const size_t indexed = found.size();
    for (const int i : foreign)
      if (NoteOccursOn(i, date)) found.push_back(i);
    std::inplace_merge(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(indexed), found.end());
  }
  return found;
}

std::vector<int> DataFormat::SortDayEvents(std::vector<int> events, TDateTime day) const {
  // Reversed, a stable partition and a stable sort give what inserting the events one by
  // one (each all-day event first, each timed one after the last that starts earlier) gives,
  // in n log n: a busy day of a large calendar holds hundreds of events.
  std::reverse(events.begin(), events.end());
  const auto& notes = NoteArray;
  const auto timed = std::stable_partition(events.begin(), events.end(),
                                           [&notes](int i) { return !notes[static_cast<size_t>(i)].Start; });
  std::vector<std::pair<TDateTime, int>> starts;
  starts.reserve(static_cast<size_t>(events.end() - timed));
  for (auto it = timed; it != events.end(); ++it) starts.emplace_back(StartTimeOn(*it, day), *it);
  std::stable_sort(starts.begin(), starts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t k = 0; k < starts.size(); ++k) *(timed + static_cast<std::ptrdiff_t>(k)) = starts[k].second;
  return events;
}

// Every event in the order SortDayEvents gives the events of any day listed in index order:
// the all-day ones by falling index, then the timed ones by start and falling index. Left out
// (rank -1) are the events whose start depends on the day (a foreign zone's) or compares with
// none (not a number): a day holding one is sorted as it comes.
struct DisplayOrder {
  quint64 revision = 0;
  int noteCount = -1;
  std::vector<int> rank;       // of each event; -1: left out
  std::vector<int> byRank;     // the event of each rank
  std::vector<quint64> marks;  // one bit per rank, clear between uses
};

DisplayOrder& DataFormat::CurrentDisplayOrder() {
  if (!displayOrder_) displayOrder_ = std::make_shared<DisplayOrder>();
  DisplayOrder& order = *displayOrder_;
  if (order.revision == DataChanged.Revision() && order.noteCount == NoteCount()) return order;
  struct Key {
    bool timed;
    TDateTime start;
    int index;
  };
  std::vector<Key> keys;
  keys.reserve(NoteArray.size());
  for (int i = 0; i < NoteCount(); ++i) {
    const TNote& note = NoteArray[static_cast<size_t>(i)];
    if (note.Start && (std::isnan(note.StartTime) || zones_->Foreign(note))) continue;
    keys.push_back({note.Start, note.Start ? note.StartTime : 0, i});
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.timed != b.timed) return b.timed;
    if (a.start != b.start) return a.start < b.start;
    return a.index > b.index;
  });
  order.rank.assign(NoteArray.size(), -1);
  order.byRank.resize(keys.size());
  for (size_t r = 0; r < keys.size(); ++r) {
    order.rank[static_cast<size_t>(keys[r].index)] = static_cast<int>(r);
    order.byRank[r] = keys[r].index;
  }
  order.marks.assign((keys.size() + 63) / 64, 0);
  order.revision = DataChanged.Revision();
  order.noteCount = NoteCount();
  return order;
}

std::vector<int> DataFormat::FindSortedDayEvents(TDateTime date) {
  if (!DayIndex::Covers(date)) return SortDayEvents(FindDayEvents(date), date);
  DayIndex& index = CurrentDayIndex();
  const std::span<int> listed = index.List(NoteArray, date);
  // A few events sort quicker than a pass over the marks of every event.
  if (listed.size() < 64) return SortDayEvents(DayEventsFrom(listed, date), date);
  // A busy day is read off the order of every event: the events listed, less the excepted
  // ones and with the ones shown by an exception date, marked by their rank. An event
  // without a rank (a foreign zone's among them) sorts the day as it comes.
  DisplayOrder& order = CurrentDisplayOrder();
  bool ranked = true;
  for (const int i : index.LeftOut()) {
    if (NoteOccursOn(i, date)) {
      ranked = false;
      break;
    }
  }
  for (size_t k = 0; ranked && k < listed.size(); ++k) {
    const int r = order.rank[static_cast<size_t>(listed[k])];
    if (r < 0) {
      ranked = false;
      break;
    }
    quint64& word = order.marks[static_cast<size_t>(r) / 64];
    const quint64 bit = quint64(1) << (r & 63);
    if ((word & bit) != 0) {  // listed twice: not a list of events
      ranked = false;
      break;
    }
    word |= bit;
  }
  for (const auto& flip : index.Flips(date)) {
    if (!ranked) break;
    const int r = order.rank[static_cast<size_t>(flip.second)];
    if (r < 0) {
      ranked = false;
      break;
    }
    order.marks[static_cast<size_t>(r) / 64] ^= quint64(1) << (r & 63);
  }
  if (!ranked) {
    std::fill(order.marks.begin(), order.marks.end(), 0);
    return SortDayEvents(DayEventsFrom(listed, date), date);
  }
  std::vector<int> sorted;
  sorted.reserve(listed.size());
  for (size_t w = 0; w < order.marks.size(); ++w) {
    for (quint64 bits = order.marks[w]; bits != 0; bits &= bits - 1)
      sorted.push_back(order.byRank[w * 64 + static_cast<size_t>(std::countr_zero(bits))]);
    order.marks[w] = 0;
  }
  return sorted;
}

int DataFormat::CountDayEvents(TDateTime date) { return static_cast<int>(FindDayEvents(date).size()); }
