#pragma once

#include "core/tdatetime.h"

#include <QByteArray>
#include <QString>

class DataFormat;

// The calendar as an iCalendar (RFC 5545) file, and iCalendar files from other programs
// into the calendar, through libical.
//
// Events go out as VEVENTs with floating local times (all-day ones as DATE values), a span
// as one multi-day event, each recurrence pattern as an RRULE whose DTSTART is the first
// day the pattern lists, hidden days as EXDATE and added days as RDATE, and the alarm as a
// VALARM. Per-day notes and the change stamp travel in X-ORVANE- properties. Tasks go out as
// VTODOs (priority 1, 3, 5, 7, 9; a DATE due date; STATUS:COMPLETED).

struct IcsExportResult {
  bool ok = false;
  QString error;    // why nothing was written
  int events = 0;   // VEVENTs written
  int tasks = 0;    // VTODOs written
  int skipped = 0;  // live events that fall on no day at all
};

struct IcsImportResult {
  bool ok = false;
  QString error;           // why nothing was read (the calendar is untouched then)
  int events = 0;          // events read, merged as events of the calendar
  int tasks = 0;           // tasks read
  int expandedRules = 0;   // rules no pattern expresses, brought in as single events
  int expandedEvents = 0;  // the single events those rules gave
  int skipped = 0;         // entries left out: broken, without a start, nothing to show
};

// Writes every live event and task to the file at path (replacing it whole, or not at all).
// now stamps DTSTAMP.
IcsExportResult ExportICalendar(const DataFormat& calendar, const QString& path, TDateTime now);
// The same text into bytes (what ExportICalendar writes).
IcsExportResult ExportICalendarText(const DataFormat& calendar, TDateTime now, QByteArray& bytes);

// Merges the events and tasks of an iCalendar file into the calendar with the usual merge
// rule, so importing the same file twice adds nothing. A rule that no pattern expresses comes
// in as its occurrences from now over the next two years. Broken entries are skipped one by
// one. The caller saves the calendar.
IcsImportResult ImportICalendar(DataFormat& calendar, const QString& path, TDateTime now);
// The same for the text of a file (what ImportICalendar reads).
IcsImportResult ImportICalendarText(DataFormat& calendar, const QByteArray& text, TDateTime now);

// "Wrote 12 events and 3 tasks to FILE" / "Imported ..." lines for the command line and menus.
QString ExportSummary(const IcsExportResult& result, const QString& path);
QString ImportSummary(const IcsImportResult& result, const QString& path);
