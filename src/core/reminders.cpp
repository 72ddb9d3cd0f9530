#include "core/reminders.h"

#include "core/keystore.h"
#include "core/recurrence.h"
#include "core/tick.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace {

const QString AlarmsKey = QStringLiteral("\\Software\\Orvane\\Alarms");
const QString SnoozesKey = AlarmsKey + QStringLiteral("\\Snoozes");
const QString LastCheckName = QStringLiteral("LastCheck");
const QString UidName = QStringLiteral("Uid");
const QString DayName = QStringLiteral("Day");
const QString UntilName = QStringLiteral("Until");

constexpr double Second = 1 / SecsPerDay;

// A moment the calendar can hold: finite and within its days.
bool IsMoment(TDateTime value) { return std::isfinite(value) && value >= 1 && value <= MaxDayNumber; }

// Moments compare in whole milliseconds, as the alarm check compares them: a clock that
// advanced by sums of seconds meets a snooze's end exactly.
qint64 Ms(TDateTime value) { return std::llround(value * MSecsPerDay); }

bool Earlier(const DueAlarm& a, const DueAlarm& b) { return a.at != b.at ? a.at < b.at : a.index < b.index; }

}  // namespace

void Reminders::Load(KeyStore& store) {
  snoozes_.clear();
  lastCheck_ = written_ = 0;
  changed_ = false;
  if (store.OpenKeyReadOnly(AlarmsKey)) {
    const TDateTime last = store.ReadDate(LastCheckName).value_or(0);
    if (IsMoment(last)) lastCheck_ = written_ = last;
  }
  if (store.OpenKeyReadOnly(SnoozesKey)) {
    const QStringList names = store.GetKeyNames();
    for (const QString& name : names) {
      if (!store.OpenKeyReadOnly(SnoozesKey + QLatin1Char('\\') + name)) continue;
      TSnooze snooze;
      snooze.Uid = store.ReadString(UidName).value_or(QString());
      snooze.Day = store.ReadDate(DayName).value_or(0);
      snooze.Until = store.ReadDate(UntilName).value_or(0);
      const bool valid = !snooze.Uid.isEmpty() && IsMoment(snooze.Day) && snooze.Day == std::floor(snooze.Day) &&
                         IsMoment(snooze.Until);
      if (valid) {
        snoozes_.push_back(snooze);
      } else {
        changed_ = true;  // written out at the next save
      }
    }
  }
  store.CloseKey();
}

SaveResult Reminders::Write(KeyStore& store) const {
  SaveResult result;
  auto failed = [&store, &result](const QString& what) {
    result.ok = false;
    result.error = QStringLiteral("Could not write %1: %2").arg(what, store.LastError());
    return result;
  };
  if (!store.OpenKey(AlarmsKey, true)) return failed(AlarmsKey);
  if (lastCheck_ != 0 && !store.WriteDate(LastCheckName, lastCheck_)) return failed(LastCheckName);
  if (store.KeyExists(SnoozesKey) && !store.DeleteKey(SnoozesKey)) return failed(SnoozesKey);
  for (size_t i = 0; i < snoozes_.size(); ++i) {
    const QString key = SnoozesKey + QLatin1Char('\\') + QString::number(i);
    const TSnooze& s = snoozes_[i];
    if (!store.OpenKey(key, true) || !store.WriteString(UidName, s.Uid) || !store.WriteDate(DayName, s.Day) ||
        !store.WriteDate(UntilName, s.Until)) {
      return failed(key);
    }
  }
  store.CloseKey();
  return result;
}

void Reminders::Saved() {
  written_ = lastCheck_;
  changed_ = false;
}

void Reminders::Start(TDateTime now) {
  // A check time after now (the clock was set back) or more than a day back catches up on
  // nothing older than a day; CheckAlarms applies the same limits.
  previous_ = lastCheck_ != 0 && lastCheck_ <= now ? std::max(lastCheck_, now - 1) : FirstAlarmTick(now);
}

std::vector<DueAlarm> Reminders::Check(TDateTime now) {
  std::vector<DueAlarm> due;
  if (!IsMoment(now)) return due;
  const TDateTime previous = previous_;
  previous_ = now;
  const TDateTime missedBefore = now - MissedAfterSeconds * Second;

  calendar_.CheckAlarms(previous, now);
  for (size_t k = 0; k < calendar_.AlarmEvents.size(); ++k) {
    const int index = calendar_.AlarmEvents[k];
    const TDateTime at = calendar_.AlarmMoments[k];
    due.push_back(
        {index, calendar_.NoteArray[static_cast<size_t>(index)].Uid, DatePart(at), at, at < missedBefore, false});
  }

  for (auto it = snoozes_.begin(); it != snoozes_.end();) {
    if (Ms(it->Until) > Ms(now)) {
      ++it;
      continue;
    }
    // A snooze that ended more than a day ago is as stale as an alarm that old.
    const int index = it->Until > now - 1 ? FindOccurrence(it->Uid, it->Day) : -1;
    const bool shownAlready =
        std::any_of(due.begin(), due.end(), [&](const DueAlarm& a) { return a.index == index && a.day == it->Day; });
    if (index >= 0 && !shownAlready)
      due.push_back({index, it->Uid, it->Day, it->Until, it->Until < missedBefore, true});
    it = snoozes_.erase(it);
    changed_ = true;
  }
  std::sort(due.begin(), due.end(), Earlier);

  lastCheck_ = now;
  if (!due.empty() || now < written_ || now - written_ >= CheckWriteSeconds * Second) changed_ = true;
  return due;
}

void Reminders::Snooze(const DueAlarm& alarm, TDateTime until) {
  if (alarm.uid.isEmpty() || !IsMoment(until)) return;
  std::erase_if(snoozes_, [&alarm](const TSnooze& s) { return s.Uid == alarm.uid && s.Day == alarm.day; });
  snoozes_.push_back({alarm.uid, alarm.day, until});
  changed_ = true;
}

int Reminders::FindOccurrence(const QString& uid, TDateTime day) const {
  // Several events share a Uid where one stands for a changed instance of a series.
  for (int i = 0; i < calendar_.NoteCount(); ++i) {
    const TNote& note = calendar_.NoteArray[static_cast<size_t>(i)];
    if (note.Uid == uid && note.DeleteDate == 0 && note.Alarm && calendar_.NoteOccursOn(i, day)) return i;
  }
  return -1;
}

std::vector<DueAlarm> Reminders::Upcoming(TDateTime from, TDateTime to) {
  std::vector<DueAlarm> due;
  if (!IsMoment(from) || !IsMoment(to) || to <= from) return due;
  for (TDateTime day = DatePart(from); day <= to; ++day) {
    for (const int i : calendar_.FindDayEvents(day)) {
      const TNote& note = calendar_.NoteArray[static_cast<size_t>(i)];
      if (!note.Alarm || !(note.AlarmTime >= 0 && note.AlarmTime < 1)) continue;
      const TDateTime at = day + TimePart(calendar_.AlarmTimeOn(i, day));
      if (at > from && at <= to) due.push_back({i, note.Uid, day, at, false, false});
    }
  }
  for (const TSnooze& s : snoozes_) {
    if (s.Until <= from || s.Until > to) continue;
    if (const int index = FindOccurrence(s.Uid, s.Day); index >= 0)
      due.push_back({index, s.Uid, s.Day, s.Until, false, true});
  }
  std::sort(due.begin(), due.end(), Earlier);
  return due;
}

QString AlarmSummary(const DataFormat& calendar, const DueAlarm& alarm, TDateTime today) {
  const TNote& note = calendar.NoteArray[static_cast<size_t>(alarm.index)];
  QString text;
  if (alarm.missed) text += QCoreApplication::translate("Reminders", "Missed: ");
  if (alarm.day != today) text += FormatDateTime(QStringLiteral("mm/dd/yyyy"), alarm.day) + QLatin1Char(' ');
  if (note.Start) {
    text += FormatDateTime(FormatSettings().LongTimeFormat, calendar.StartTimeOn(alarm.index, alarm.day)) +
            QLatin1Char(' ');
  }
  return text + note.Title;
}

QString AlarmDetail(const DataFormat& calendar, const DueAlarm& alarm) {
  const TNote& note = calendar.NoteArray[static_cast<size_t>(alarm.index)];
  if (!note.Location.trimmed().isEmpty()) return note.Location.trimmed();
  const QString notes = note.Notes.trimmed();
  return notes.left(notes.indexOf(QLatin1Char('\n'))).trimmed();
}
