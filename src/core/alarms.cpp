#include "core/dataformat.h"
#include "core/floordiv.h"
#include "core/recurrence.h"
#include "core/tick.h"
#include "core/trimcontrol.h"

#include <QCoreApplication>
#include <cmath>

namespace {

constexpr qint64 MsPerDay = 86400000;

// A moment in whole milliseconds, so window edges compare exactly.
qint64 ToMs(TDateTime value) { return std::llround(value * MSecsPerDay); }

}  // namespace

bool DataFormat::CheckAlarms(TDateTime previousTick) { return CheckAlarms(previousTick, clock_.Now()); }

bool DataFormat::CheckAlarms(TDateTime previousTick, TDateTime now) {
  AlarmEvents.clear();
  AlarmMoments.clear();
  // Moments before the calendar's first day, or not moments at all, have no alarms.
  if (!std::isfinite(now) || now < 1 || now > MaxDayNumber) return false;
  const qint64 nowMs = ToMs(now);
  const qint64 windowMs = qint64(AlarmWindowSeconds) * 1000;
  qint64 fromMs = std::isfinite(previousTick) && previousTick <= MaxDayNumber && previousTick >= 0 ? ToMs(previousTick)
                                                                                                   : nowMs - windowMs;
  // A clock set back looks one window back, as at the first tick; a long sleep catches up
  // on one day at most.
  if (fromMs > nowMs) fromMs = nowMs - windowMs;
  if (fromMs < nowMs - MsPerDay) fromMs = nowMs - MsPerDay;

  // An alarm moment is a day on which the event occurs plus its alarm time, and the window
  // (fromMs, nowMs] touches at most two days.
  const qint64 firstDay = FloorDiv(fromMs, MsPerDay);
  const qint64 lastDay = FloorDiv(nowMs, MsPerDay);
  for (int i = 0; i < NoteCount(); ++i) {
    const TNote& note = NoteArray[static_cast<size_t>(i)];
    if (note.DeleteDate != 0 || !note.Alarm) continue;
    // Only a time of day is an alarm time.
    if (!(note.AlarmTime >= 0 && note.AlarmTime < 1)) continue;
    for (qint64 day = firstDay; day <= lastDay; ++day) {
      const qint64 at = day * MsPerDay + ToMs(TimePart(AlarmTimeOn(i, static_cast<TDateTime>(day))));
      if (at > fromMs && at <= nowMs && NoteOccursOn(i, static_cast<TDateTime>(day))) {
        AlarmEvents.push_back(i);
        AlarmMoments.push_back(static_cast<TDateTime>(at) / MSecsPerDay);
        break;
      }
    }
  }
  return !AlarmEvents.empty();
}

QString DataFormat::GetEventListText(TDateTime date, const FormatSettings& settings, bool markAlarms) {
  const QString crlf = QStringLiteral("\r\n");
  QString text = QCoreApplication::translate("DataFormat", "Events for ") +
                 FormatDateTime(QStringLiteral("mm/dd/yyyy"), date, settings) + QStringLiteral(":") + crlf;
  const std::vector<int> events = FindSortedDayEvents(date);
  if (events.empty()) {
    text += QCoreApplication::translate("DataFormat", "No events listed.");
  } else {
    for (const int e : events) {
      const TNote& note = NoteArray[static_cast<size_t>(e)];
      if (note.Start)
        text += FormatDateTime(settings.LongTimeFormat, StartTimeOn(e, date), settings) + QLatin1Char(' ');
      text += note.Title;
      if (markAlarms && note.Alarm && note.AlarmTime >= 0 && note.AlarmTime < 1) {
        text += QCoreApplication::translate("DataFormat", " (alarm %1)")
                    .arg(FormatDateTime(settings.LongTimeFormat, AlarmTimeOn(e, date), settings));
      }
      text += crlf;
    }
  }
  return TrimControl(text);
}
