#pragma once

// What the iCalendar export and import share: the properties that carry what RFC 5545 has no
// place for, the owner of a libical component, and the day text of those properties.

#include "core/tdatetime.h"

#include <QByteArray>
#include <QString>
#include <cmath>
#include <memory>
#include <optional>

extern "C" {
#include <libical/ical.h>
}

namespace ics {

inline const char* const DayNoteProperty = "X-ORVANE-DAYNOTE";
inline const char* const ModifiedProperty = "X-ORVANE-MODIFIED";
inline const char* const StartProperty = "X-ORVANE-START";
// The pattern of a series written as a list of days because its pattern lists none of them.
inline const char* const PatternProperty = "X-ORVANE-PATTERN";

struct ComponentDeleter {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentDeleter>;

inline bool IsCalendarDay(double day) { return std::isfinite(day) && day >= -693593 && day <= 2958465; }

// A day as YYYYMMDD, and back; nothing for a text that is no valid date.
QByteArray DayText(int day);
std::optional<int> ParseDayText(const QByteArray& text);

// "1 event", "2 events".
QString Plural(int n, const char* one, const char* many);

}  // namespace ics
