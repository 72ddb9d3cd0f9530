// The calendar in the key store: every field, the stored layout, expiry of deleted records,
// odd stored values and failed writes.
#include "core/memorykeystore.h"
#include "samples.h"

#include <gtest/gtest.h>

namespace {

const QString Notes = "\\Software\\Orvane\\Notes";
const QString Todos = "\\Software\\Orvane\\Todos";

class Persistence : public ::testing::Test {
 protected:
  FixedClock clock{DT(2024, 3, 5, 12, 0)};
  MemoryKeyStore store;
  DataFormat cal{clock};

  void AddEvents(DataFormat& c, std::initializer_list<TNote> notes) {
    for (const TNote& n : notes) c.NoteArray[c.AppendNote()] = n;
  }
  static TNote Titled(const QString& title) {
    TNote n;
    n.Title = title;
    return n;
  }
  QStringList StoredKeys(const QString& collection) {
    store.OpenKeyReadOnly(collection);
    const QStringList keys = store.GetKeyNames();
    store.CloseKey();
    return keys;
  }
  QStringList LoadedTitles() {
    DataFormat loaded(clock);
    loaded.LoadCalendar(store);
    QStringList titles;
    for (const TNote& n : loaded.NoteArray) titles << n.Title;
    return titles;
  }
};

TEST_F(Persistence, EveryFieldSurvivesARoundTripInTheDescribedLayout) {
  TNote flipped = SampleEvent();
  flipped.Start = false;
  flipped.Alarm = true;
  flipped.Uid = "040000008200E00074C5B7101A82E008@example.com";
  flipped.RecurrenceId = DT(2024, 3, 4, 9, 30);
  AddEvents(cal, {SampleEvent(), flipped, TNote{}});
  cal.ToDoArray[cal.AppendToDo()] = SampleTask();
  cal.OpenToDoCount = 0;
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);

  // Records stored without an identity (as older copies store them) load with the one
  // derived from their title, start and pattern, the same at every load.
  DataFormat loaded(clock), again(clock);
  loaded.LoadCalendar(store);
  again.LoadCalendar(store);
  EXPECT_FALSE(loaded.DataChanged);
  for (TNote& n : cal.NoteArray)
    if (n.Uid.isEmpty()) n.Uid = DerivedUid(n);
  for (TToDo& t : cal.ToDoArray)
    if (t.Uid.isEmpty()) t.Uid = DerivedUid(t);
  EXPECT_EQ(loaded.NoteArray, cal.NoteArray);
  EXPECT_EQ(loaded.ToDoArray, cal.ToDoArray);
  EXPECT_EQ(again.NoteArray, loaded.NoteArray);
  EXPECT_EQ(loaded.OpenToDoCount, 0);  // stored as completed

  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + "\\0"));
  EXPECT_EQ(store.GetValueNames(),
            QStringList({"Title",          "Category",       "Location",        "StartTime",       "EndTime",
                         "AlarmTime",      "StartDate",      "EndDate",         "ModifyDate",      "DeleteDate",
                         "Span",           "Start",          "Alarm",           "SpanRange",       "RangeType",
                         "RangeCount",     "RepeatType",     "RepeatFrequency", "RepeatDay",       "RepeatMonth",
                         "RepeatCardinal", "RepeatMonday",   "RepeatTuesday",   "RepeatWednesday", "RepeatThursday",
                         "RepeatFriday",   "RepeatSaturday", "RepeatSunday"}));
  EXPECT_EQ(store.GetKeyNames(), QStringList({"Exceptions", "Notes", "RecurNotes"}));
  EXPECT_EQ(store.GetValueType("Span"), KeyStore::ValueType::Integer);
  EXPECT_EQ(store.GetValueType("StartDate"), KeyStore::ValueType::Date);
  // The identity follows the values older copies read; an instance's original start too.
  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + "\\1"));
  EXPECT_EQ(store.GetValueNames().mid(28), QStringList({"UID", "RecurrenceId"}));
  EXPECT_EQ(store.GetValueType("RecurrenceId"), KeyStore::ValueType::Date);
  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + "\\0\\RecurNotes"));
  EXPECT_EQ(store.GetValueNames(), QStringList({"Date_0", "Data_0", "Date_1", "Data_1"}));
  // An event without notes, exceptions or day notes has no subkeys.
  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + "\\2"));
  EXPECT_TRUE(store.GetKeyNames().isEmpty());
}

TEST_F(Persistence, RecordsDeletedMoreThan21DaysAgoAreDroppedAndLoadFollowsTheKeyOrder) {
  for (int i = 0; i < 12; ++i) AddEvents(cal, {Titled(QString::number(i))});
  cal.NoteArray[1].DeleteDate = clock.Now() - 30;
  for (int days : {20, 22}) {
    const int t = cal.AppendToDo();
    cal.ToDoArray[t].Title = QString::number(days);
    cal.ToDoArray[t].DeleteDate = clock.Now() - days;
  }
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  EXPECT_EQ(StoredKeys(Notes), QStringList({"0", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(StoredKeys(Todos), QStringList({"0"}));
  EXPECT_EQ(LoadedTitles(), QStringList({"0", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));

  DataFormat loaded(clock);
  loaded.LoadCalendar(store);
  loaded.DataChanged = true;
  ASSERT_TRUE(loaded.SaveIfChanged(store).ok);
  // Saved again under keys 0 .. 10: the key of the last is gone.
  EXPECT_EQ(StoredKeys(Notes), QStringList({"0", "1", "10", "2", "3", "4", "5", "6", "7", "8", "9"}));
  EXPECT_EQ(LoadedTitles(), QStringList({"0", "10", "9", "11", "2", "3", "4", "5", "6", "7", "8"}));
}

TEST_F(Persistence, MissingAndMistypedValuesTakeNeutralDefaults) {
  store.OpenKey(Notes + "\\0", true);
  store.WriteString("Title", "odd");
  store.WriteString("StartDate", "not a date");
  store.WriteDate("RepeatType", 3.5);
  store.WriteInteger("Alarm", 7);
  store.OpenKey(Todos + "\\0", true);
  store.WriteInteger("Title", 5);
  cal.LoadCalendar(store);
  ASSERT_EQ(cal.NoteCount(), 1);
  const TNote& n = cal.NoteArray[0];
  // Any value other than 0 reads as true; an absent stamp is the time of day of loading.
  EXPECT_EQ(std::tuple(n.Title, n.StartDate, n.RepeatType, n.Alarm, n.ModifyDate, n.DeleteDate),
            std::tuple(QString("odd"), 0.0, 0, true, clock.Time(), 0.0));
  ASSERT_EQ(cal.ToDoCount(), 1);
  EXPECT_EQ(cal.ToDoArray[0].Title, QString());
}

TEST_F(Persistence, AFailedWriteKeepsTheOldCalendarAndTheChangeFlag) {
  AddEvents(cal, {Titled("old")});
  cal.DataChanged = false;
  EXPECT_TRUE(cal.SaveIfChanged(store).ok);  // nothing changed: nothing written
  EXPECT_FALSE(store.KeyExists(Notes));
  cal.DataChanged = true;
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  const QString before = store.Dump();
  cal.NoteArray[0].Title = "new";
  AddEvents(cal, {Titled("old")});
  store.FailWritesOf("Location");
  const SaveResult failed = cal.SaveIfChanged(store);
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.error.contains("Location")) << failed.error.toStdString();
  EXPECT_TRUE(cal.DataChanged);
  EXPECT_EQ(store.Dump(), before);
  store.FailWritesOf(QString());
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  EXPECT_EQ(LoadedTitles(), QStringList({"new", "old"}));
}

TEST_F(Persistence, SavingOnlyWhatChangedGivesTheSameStoreAsAFullRewrite) {
  for (int i = 0; i < 30; ++i) {
    AddEvents(cal, {SampleEvent()});
    cal.NoteArray[i].Title = QString("event %1").arg(i);
  }
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  // A few edits, a deletion that expires, a new record.
  cal.NoteArray[3].Notes.clear();
  cal.NoteArray[7].Exceptions.append(D(2024, 5, 1));
  cal.NoteArray[12].DeleteDate = clock.Now() - 40;
  AddEvents(cal, {SampleEvent()});
  cal.DataChanged = true;
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  MemoryKeyStore fresh;
  DataFormat copy(clock);
  for (const TNote& n : cal.NoteArray) AddEvents(copy, {n});
  ASSERT_TRUE(copy.SaveIfChanged(fresh).ok);
  EXPECT_EQ(store.Dump(), fresh.Dump());
}

}  // namespace
