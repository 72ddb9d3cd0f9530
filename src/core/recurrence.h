#pragma once

#include "core/records.h"
#include "core/tdatetime.h"

#include <QtGlobal>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <utility>
#include <vector>

// The occurrence rules of one event, and the index that answers day queries over many.
//
// An event is tested on a moment D in two halves: "listed" (the recurrence rule alone) and
// "excepted" (D lies on the day of one of its exception dates). It occurs when exactly one of
// them holds, so an exception date hides an occurrence, or adds the event to a day it would
// not fall on.

// Dates whose day number lies beyond this are not dates at all (the calendar ends in 9999).
constexpr double MaxDayNumber = 3.0e6;

// Whether the rule of the event lists D. Allocation-free; never fails whatever the fields
// hold (a start date that is not a date lists nothing).
bool NoteListedOn(const TNote& note, TDateTime date);
// Whether D lies on the day of one of the event's exception dates.
bool NoteExceptedOn(const TNote& note, TDateTime date);
// The day number of the last day the rule of the event lists (exceptions aside), for a series
// that ends: one with a count or an end date, or a one-time event. Nothing for a series without
// an end, or one that lists no day. A series running past 31 December 9999 ends there.
std::optional<qint64> NoteLastListedDay(const TNote& note);

// Everything about a day that the rules look at, decoded once per query.
struct DayFacts {
  TDateTime moment = 0;  // D as given, time of day included
  int day = 0;           // its day number (date part)
  int year = 0;
  int month = 0;          // 1..12
  int dayOfMonth = 0;     // 1..31
  int isoWeekday = 0;     // 1 Monday .. 7 Sunday
  int weekdayIndex = 0;   // 0 Sunday .. 6 Saturday
  int weekOfMonth = 0;    // 1 for days 1-7, .. 5 for days 29-31
  bool lastWeek = false;  // the same weekday a week later lies in the next month

  // D must be finite and within the calendar.
  static DayFacts Of(TDateTime date);
};

// Whether a day is the wanted weekday of its month: cardinal 0..3 the first to fourth, 4 the
// last (the fifth, or the fourth in a month without a fifth).
bool IsWantedWeek(const DayFacts& day, qint64 cardinal);

// A compact copy of the live events' rules, grouped by pattern, that answers "which events
// fall on this day" with one tight loop per group instead of decoding every event's dates
// at every query. Built from the records and exact: it gives the same answer as testing
// every live event with NoteListedOn and NoteExceptedOn.
class DayIndex {
 public:
  // Whether the index was built from this state of the calendar.
  bool IsCurrent(quint64 revision, int noteCount) const {
    return built_ && revision == revision_ && noteCount == noteCount_;
  }
  // Events for which leftOut is true are not in the index (their own rules answer for them).
  void Build(const std::deque<TNote>& notes, quint64 revision, const std::function<bool(const TNote&)>& leftOut = {});
  // The live events left out, ascending.
  const std::vector<int>& LeftOut() const { return leftOut_; }

  // Whether Find can answer for D (a finite moment on or after day 0 within the calendar).
  static bool Covers(TDateTime date);
  // Replaces out by the indices, ascending, of the live events that occur on D. notes are
  // the records the index was built from.
  void Find(const std::deque<TNote>& notes, TDateTime date, std::vector<int>& out);
  // Find in two steps, for a caller that orders the events its own way. List gives the live
  // events the rules list on D, in no set order, in the query's room (valid until the next
  // query); Flips the events whose exception dates fall on D, ascending, each once (the same
  // date twice still flips once). Each event of Flips occurs on D when List lacks it, and not
  // when List holds it.
  std::span<int> List(const std::deque<TNote>& notes, TDateTime date);
  std::span<const std::pair<qint32, qint32>> Flips(TDateTime date) const;
  // Find's answer from List's: listed sorted in place, the flips of D applied.
  void Merge(std::span<int> listed, TDateTime date, std::vector<int>& out) const;

  // How many entries the index holds (the size of a query's scratch room).
  int EntryCount() const;

 private:
  // One event's rule in the form its group's loop reads; what key, base and freq hold
  // depends on the group (see Build).
  struct Entry {
    qint32 index;
    qint32 first;  // the start date's day number
    quint32 span;  // days after first through the last day that can be listed
    qint32 key;
    qint32 base;
    qint32 freq;
    qint32 count;    // the series' count limit; INT32_MAX when the series is not counted
    quint8 flags;    // weekly: the weekday flags (bit 1 Monday .. bit 7 Sunday), key the one filed under
    quint8 rotated;  // weekly: the flags from the start's weekday on (bit 0 = start's weekday)
    quint8 flagCount;
    quint8 adjust;  // every weekday: the weekend days before the first Monday
    double end;     // listed only while D is not later than this (+inf when no end date)
  };
  // OneTime holds the one-time events of at most MaxSortedSpan days, sorted by their first
  // day, so a query looks only at those that start within that many days before it.
  enum Group { OneTime, EveryNDays, Weekdays, Weekly, MonthlyDay, MonthlyNth, YearlyDay, YearlyNth, GroupCount };
  static constexpr int MaxSortedSpan = 366;
  // Every-N-days intervals up to this are tested with a per-query table of remainders.
  static constexpr int MaxTableFrequency = 64;

  std::vector<Entry> groups_[GroupCount];
  // Where each bucket of a group begins (and, last, where the group ends), for the groups
  // kept in buckets: Weekly by weekday (an event under each of its days), MonthlyDay and
  // YearlyDay by key, MonthlyNth by weekday, YearlyNth by month.
  std::vector<quint32> bucketStart_[GroupCount];
  void SortIntoBuckets(Group group, int buckets, int (*bucketOf)(const Entry&));
  // The entries of a bucket; none for a bucket the group lacks.
  std::span<const Entry> Bucket(Group group, int bucket) const;
  // The longest span (days after the first) in the OneTime group.
  qint32 oneTimeSpan_ = 0;
  // Events whose fields fall outside what the groups handle; tested with NoteListedOn.
  std::vector<int> general_;
  std::vector<int> leftOut_;
  // (day number, event index) of every live event's exception dates, sorted.
  std::vector<std::pair<qint32, qint32>> exceptions_;
  // Room for one query's hits, so a query allocates nothing.
  std::vector<int> scratch_;
  quint64 revision_ = 0;
  int noteCount_ = 0;
  bool built_ = false;
};
