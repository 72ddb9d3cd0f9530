// iCalendar files in and out. The patterns of an event and RFC 5545 rules describe the same
// days in different words, so both directions are exact by construction where they can be
// and checked where they cannot: an imported rule is turned into a pattern, and the pattern's
// days are compared with the days libical expands from the rule; the days on which they
// differ become the event's exceptions, and a rule whose days differ wholesale comes in as
// single events instead.
#pragma once

#include "core/records.h"
#include "core/repeattype.h"

#include <QByteArray>
#include <optional>

extern "C" {
#include <libical/ical.h>
}

namespace ics {

// How far a counted series is followed to find its last day; longer ones have no end here.
constexpr int LastDaySearch = 200 * 366;

// The rule part of an event alone: what its pattern lists, without exceptions.
TNote RuleOnly(const TNote& note);
// Whether the pattern of rule lists the day.
bool Listed(const TNote& rule, int day);
// The RRULE text of a pattern (without its end), or nothing for a pattern no rule states.
std::optional<QByteArray> RuleText(const TNote& note, int startDay);
// The pattern that states a rule, before its end is known; nothing when none does. The
// other fields come from base; ownStart is the start date our own file recorded.
std::optional<TNote> PatternOf(const TNote& base, const icalrecurrencetype& recur, int firstDay,
                               std::optional<int> ownStart);

}  // namespace ics
