#pragma once

#include "core/dataformat.h"

#include <QString>
#include <vector>

class KeyStore;

// What Snooze offers, in minutes: 5, 10 or 15 minutes, or an hour.
inline constexpr int SnoozeChoices[] = {5, 10, 15, 60};

// One alarm to show: an occurrence of an event whose alarm (or snooze) fell due.
struct DueAlarm {
  int index = -1;       // into NoteArray
  QString uid;          // the event's Uid when it fell due (indices change with a restore)
  TDateTime day = 0;    // the local day of the occurrence
  TDateTime at = 0;     // the moment it fell due: the alarm time, or the end of its snooze
  bool missed = false;  // it fell due while the program was not running or the machine slept
  bool snoozed = false;
  bool operator==(const DueAlarm&) const = default;
};

// An alarm put off: the occurrence (its event's Uid and local day) rings again at Until.
struct TSnooze {
  QString Uid;
  TDateTime Day = 0;
  TDateTime Until = 0;
  bool operator==(const TSnooze&) const = default;
};

// What the alarms need beyond the calendar: the snoozes, and the moment of the last check,
// from which the first check of the next run catches up on the alarms that came due while
// the program was not running. Both are kept in the store under a key of their own (never in
// the events, so nothing of it travels through synchronisation or backups) and written in
// the calendar's save.
class Reminders {
 public:
  // An alarm that fell due this long before the check that found it was missed (the program
  // was not running, or the machine slept); a late tick is not.
  static constexpr int MissedAfterSeconds = 60;
  // The check time is written at least this often while nothing else changes.
  static constexpr int CheckWriteSeconds = 60;
  // A snooze can put an alarm off by at most this long.
  static constexpr int MaxSnoozeMinutes = 24 * 60;

  explicit Reminders(DataFormat& calendar) : calendar_(calendar) {}

  // Reads the snoozes and the last check time; entries that are not what they should be are
  // left out (and go at the next write).
  void Load(KeyStore& store);
  // Writes both (in the caller's transaction). Saved() marks them written once it commits.
  SaveResult Write(KeyStore& store) const;
  bool NeedsSave() const { return changed_; }
  void Saved();
  // On the way out: the last check time is written with the final save.
  void KeepCheckTime() { changed_ = changed_ || lastCheck_ != written_; }

  // The first check of a run starts at the last check time kept in the store (at most a day
  // back; the alarms after it are missed ones), or one tick interval back without one.
  void Start(TDateTime now);
  // The alarms that fell due after the previous check and not after now, and the snoozes
  // that ended by now, each occurrence once, in the order they fell due. A snooze that comes
  // due is used up; one whose event is gone, silent or no longer on that day is dropped.
  std::vector<DueAlarm> Check(TDateTime now);
  // Puts the alarm off until the given moment (replacing an earlier snooze of it).
  void Snooze(const DueAlarm& alarm, TDateTime until);
  const std::vector<TSnooze>& Snoozes() const { return snoozes_; }
  TDateTime LastCheck() const { return lastCheck_; }

  // The alarms that fall due after `from` and not after `to`, snoozed ones included, in
  // order (for listing; nothing is used up).
  std::vector<DueAlarm> Upcoming(TDateTime from, TDateTime to);

  // The index of the live event with this Uid that has its alarm on and occurs on the day;
  // -1 when there is none.
  int FindOccurrence(const QString& uid, TDateTime day) const;

 private:
  DataFormat& calendar_;
  std::vector<TSnooze> snoozes_;
  TDateTime previous_ = 0;
  TDateTime lastCheck_ = 0;  // 0: none kept
  TDateTime written_ = 0;    // the check time last written
  bool changed_ = false;
};

// The text that shows an alarm: the event's time and title ("Missed: " before it when it was
// missed, and the date when it is not today) ...
QString AlarmSummary(const DataFormat& calendar, const DueAlarm& alarm, TDateTime today);
// ... and the line below it: the event's location, or else the first line of its notes.
QString AlarmDetail(const DataFormat& calendar, const DueAlarm& alarm);
