#pragma once

#include "core/records.h"

// The recurrence pattern of an event.
enum class RepeatType : qint32 {
  Once = 0,              // one time, or SpanRange days from the start
  Daily = 1,             // every RepeatFrequency days
  EveryWeekday = 2,      // Monday to Friday
  Weekly = 3,            // every RepeatFrequency weeks on the flagged weekdays
  MonthlyByDay = 4,      // day RepeatDay of every RepeatFrequency months
  MonthlyByWeekday = 5,  // the RepeatCardinal-th weekday RepeatDay of every RepeatFrequency months
  YearlyByDay = 6,       // every year on day RepeatDay of month RepeatMonth + 1
  YearlyByWeekday = 7,   // every year on the RepeatCardinal-th weekday RepeatDay of month RepeatMonth + 1
};

// The record keeps the stored number (files and peers carry it as a 32-bit integer), so a
// number outside 0..7 survives every round trip: as a pattern it lists no day, and the
// editor selects no pattern for it.
inline RepeatType RepeatOf(const TNote& note) { return static_cast<RepeatType>(note.RepeatType); }
inline void SetRepeat(TNote& note, RepeatType type) { note.RepeatType = static_cast<qint32>(type); }
