#pragma once

#include "core/clock.h"
#include "core/records.h"

#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class KeyStore;
struct SaveState;
class DayIndex;
struct MergeIndex;
struct DisplayOrder;
class ZonedTime;

// "The calendar changed since it was last written." Setting it also counts a revision, so
// caches built from the records (the day-query index) know when to rebuild: every writer of
// a record sets DataChanged afterwards, as it must for the change to be saved.
class ChangeFlag {
 public:
  ChangeFlag& operator=(bool value) {
    value_ = value;
    if (value) ++revision_;
    return *this;
  }
  operator bool() const { return value_; }
  quint64 Revision() const { return revision_; }
  // Counts a revision without changing the flag (the records were replaced wholesale).
  void Bump() { ++revision_; }

 private:
  bool value_ = false;
  quint64 revision_ = 0;
};

// The outcome of a save: ok, or what failed (naming the value or key).
struct SaveResult {
  bool ok = true;
  QString error;
};

// The calendar: every event and task, live and deleted, with the lists built from them.
// Events and tasks are named by their index, which stays valid until ClearCalendar:
// records are only ever appended (deletion is a mark).
class DataFormat {
 public:
  explicit DataFormat(const Clock& clock);
  ~DataFormat();
  DataFormat(const DataFormat&) = delete;
  DataFormat& operator=(const DataFormat&) = delete;

  const Clock& clock() const { return clock_; }

  // --- Collections (a deque keeps references to records valid while others are appended).
  std::deque<TNote> NoteArray;
  std::deque<TToDo> ToDoArray;
  int NoteCount() const { return static_cast<int>(NoteArray.size()); }
  int ToDoCount() const { return static_cast<int>(ToDoArray.size()); }
  int OpenToDoCount = 0;
  std::vector<int> SortedToDos;
  int SortedToDoCount() const { return static_cast<int>(SortedToDos.size()); }
  std::vector<int> AlarmEvents;
  // The moment each of AlarmEvents fell due (its local day plus its alarm time).
  std::vector<TDateTime> AlarmMoments;
  ChangeFlag DataChanged;

  // --- Operations on records.
  int AppendNote();
  int AppendToDo();
  void DeleteNote(int index);
  void DeleteToDo(int index);
  void ToggleToDoCompleted(int index);
  void ToggleException(int index, TDateTime date);
  bool HasDayNote(int index, TDateTime date) const;
  QString GetDayNote(int index, TDateTime date) const;
  void AddDayNote(int index, const QString& text, TDateTime date);
  void RemoveDayNote(int index, TDateTime date);
  void SortToDos();
  void ClearCalendar();
  // Counts ClearCalendar: indices kept from before a different count name other records.
  quint64 Generation() const { return generation_; }

  // --- Day queries (recurrence.cpp). NoteOccursOn is the rule itself; FindDayEvents gives
  // the same answer for every live event through an index rebuilt whenever DataChanged
  // counts a revision or NoteCount changes, so a writer of a record must set DataChanged.
  bool NoteOccursOn(int index, TDateTime date) const;
  // The live events of the day, in index order.
  std::vector<int> FindDayEvents(TDateTime date);
  // The events of a day in display order: the all-day ones first in reverse index order,
  // then the timed ones by their start on that day, ties in reverse index order.
  std::vector<int> SortDayEvents(std::vector<int> events, TDateTime day) const;
  // The live events of the day in display order: SortDayEvents of FindDayEvents, a busy day
  // read off an order of every event kept beside the day index.
  std::vector<int> FindSortedDayEvents(TDateTime date);
  int CountDayEvents(TDateTime date);

  // --- Events kept in a time zone of their own (zonedtime.h); for every other event these
  // give the stored values. Days and times here are local.
  // The event's own day whose occurrence falls on the local day (the day whose start falls
  // on it, when the event does not occur there).
  TDateTime OwnDay(int index, TDateTime localDay) const;
  // The times of day at which the event starts, ends and alarms on the local day.
  TDateTime StartTimeOn(int index, TDateTime localDay) const;
  TDateTime EndTimeOn(int index, TDateTime localDay) const;
  TDateTime AlarmTimeOn(int index, TDateTime localDay) const;

  // --- Alarms and the day's text (alarms.cpp).
  // Fills AlarmEvents with the live events whose alarm moment lies after previousTick and
  // not after now (at most one day back), so a late tick still reports every alarm once.
  // The first tick passes now minus the tick interval (FirstAlarmTick).
  bool CheckAlarms(TDateTime previousTick, TDateTime now);
  bool CheckAlarms(TDateTime previousTick);
  // "Events for mm/dd/yyyy:" and one line per event of the day, in display order. With
  // markAlarms an event with an alarm ends in " (alarm " and its alarm time ")".
  QString GetEventListText(TDateTime date, const FormatSettings& settings = FormatSettings(), bool markAlarms = false);

  // --- Merging records from a file or another computer (merge.cpp). The incoming copy wins
  // only with a strictly greater ModifyDate; deleted records take part in the match.
  void MergeNote(const TNote& incoming);
  void MergeToDo(const TToDo& incoming);
  // Gives every record that has no Uid the one derived from what identified it before
  // (DerivedUid), made unique: records stored or sent by older copies, and those restored
  // from their files. Changes no revision: the identity is the same at every load.
  void DeriveMissingUids();

  // --- Key store (persistence.cpp).
  // Reads every stored event and task; DataChanged is false afterwards. Never fails: a
  // record with a missing or mistyped value takes a neutral default. With forSaving it also
  // keeps what each record key holds, where the store's copies tell, so that the first save
  // writes only the keys whose record changed or moved; a reader that will not save is
  // spared the memory.
  void LoadCalendar(KeyStore& store, bool forSaving = false);
  // Reads every task but only the events that may be listed on a day from firstDay to
  // lastDay, for a look at those days (an agenda): quicker on a large calendar. A calendar
  // read so is not whole, and saving it fails; LoadCalendar makes it whole again.
  void LoadCalendarForDays(KeyStore& store, TDateTime firstDay, TDateTime lastDay);
  // Reads no record, only what each record key holds (as LoadCalendar with forSaving learns
  // it), for a caller that replaces every record (a restore): its save then leaves alone or
  // renames the keys that hold records it keeps. The calendar stays empty and saving it fails
  // until ClearCalendar makes it whole.
  void LoadCalendarToReplace(KeyStore& store);
  // Writes the whole calendar when DataChanged is set, in one transaction. On failure the
  // store keeps what it held before and DataChanged stays set.
  SaveResult SaveIfChanged(KeyStore& store);
  // Writes the whole calendar (whether or not it changed) and whatever alongside writes, in
  // one transaction: both reach the store or neither does.
  SaveResult SaveWith(KeyStore& store, const std::function<SaveResult()>& alongside);
  // Writes what changed in one transaction: the calendar when DataChanged is set, and
  // whatever alongside writes (state kept beside the calendar) when `alongsideChanged`.
  SaveResult SaveChanged(KeyStore& store, bool alongsideChanged, const std::function<SaveResult()>& alongside);
  // Another program wrote the store behind this calendar's back: the store is read afresh and
  // its events and tasks are merged in as a sync file's would be (the later change wins,
  // nothing either side added is lost). The next save writes every record.
  void MergeStoreChanges(KeyStore& store);

 private:
  void Load(KeyStore& store, bool forSaving, std::optional<std::pair<qint64, qint64>> days);
  void LoadNotes(KeyStore& store, bool forSaving, std::optional<std::pair<qint64, qint64>> days);
  void LoadToDos(KeyStore& store, bool forSaving);
  bool SaveNotes(KeyStore& store, SaveResult& result);
  bool SaveToDos(KeyStore& store, SaveResult& result);
  SaveResult Save(KeyStore& store, bool calendarToo, const std::function<SaveResult()>& alongside);

  const Clock& clock_;
  quint64 generation_ = 0;
  // What the store holds under each record key since the last save, so that a save can
  // leave keys alone whose record did not change.
  std::unique_ptr<SaveState> saved_;
  // Read by LoadCalendarForDays: not every event is here, so saving is refused.
  bool partial_ = false;
  // The day-query index (recurrence.h), made at the first query and rebuilt when stale.
  std::shared_ptr<DayIndex> dayIndex_;
  DayIndex& CurrentDayIndex();
  // FindDayEvents from the events the index lists on the day (sorted in place).
  std::vector<int> DayEventsFrom(std::span<int> listed, TDateTime date);
  // Time zones of events that keep their own, and conversions already made.
  std::shared_ptr<ZonedTime> zones_;
  // The own day (in {day - 1, day, day + 1}) of an event kept in a foreign zone whose start
  // falls on the local day, occurring there when occurring is set; nothing for no such day
  // or an event in local time.
  std::optional<int> ForeignDay(const TNote& note, int localDay, bool occurring) const;
  // The display order of every event whose place does not depend on the day (recurrence.cpp).
  std::shared_ptr<DisplayOrder> displayOrder_;
  DisplayOrder& CurrentDisplayOrder();
  // Where merges find the record an incoming one replaces (merge.cpp).
  std::shared_ptr<MergeIndex> mergeIndex_;
  MergeIndex& CurrentMergeIndex();
  void StampMergeIndex();
};
