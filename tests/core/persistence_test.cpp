#include "core/dataformat.h"
#include "core/memorykeystore.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

const QString Notes = QStringLiteral("\\Software\\Orvane\\Notes");
const QString Todos = QStringLiteral("\\Software\\Orvane\\Todos");

TNote FullEvent() {
  TNote n;
  n.Title = QStringLiteral("Dentist – Dr. Ösel");
  n.Category = QStringLiteral("Health");
  n.Location = QStringLiteral("Main St 5");
  n.Notes = QStringLiteral("Bring the card\r\nand the forms");
  n.StartTime = EncodeTime(9, 30);
  n.EndTime = EncodeTime(10, 15);
  n.AlarmTime = EncodeTime(9, 0);
  n.StartDate = D(2024, 3, 5);
  n.EndDate = D(2024, 9, 1);
  n.ModifyDate = DT(2024, 3, 1, 8, 0);
  n.Span = true;
  n.Start = true;
  n.Alarm = true;
  n.SpanRange = 2;
  n.RangeType = 2;
  n.RangeCount = 7;
  n.RepeatType = 3;
  n.RepeatFrequency = 2;
  n.RepeatDay = 5;
  n.RepeatMonth = 3;
  n.RepeatCardinal = 4;
  n.RepeatMonday = true;
  n.RepeatThursday = true;
  n.RepeatSunday = true;
  n.Exceptions = {D(2024, 3, 7), D(2024, 3, 21)};
  n.RecurNotes = {{QStringLiteral("bring X-rays"), D(2024, 3, 18)}, {QStringLiteral("second\r\nline"), D(2024, 4, 1)}};
  return n;
}

TToDo FullTask() {
  TToDo t;
  t.Title = QStringLiteral("File taxes");
  t.Category = QStringLiteral("Home");
  t.Notes = {QStringLiteral("receipts"), QString(), QStringLiteral("forms")};
  t.Priority = 1;
  t.Completed = true;
  t.DueDate = D(2024, 4, 15);
  t.ModifyDate = DT(2024, 3, 1, 9, 0);
  return t;
}

class Persistence : public ::testing::Test {
 protected:
  FixedClock clock{DT(2024, 3, 5, 12, 0)};
  MemoryKeyStore store;

  int AddEvent(DataFormat& cal, const TNote& n) {
    const int i = cal.AppendNote();
    cal.NoteArray[i] = n;
    return i;
  }
  QStringList StoredKeys(const QString& collection) {
    store.OpenKeyReadOnly(collection);
    QStringList keys = store.GetKeyNames();
    store.CloseKey();
    return keys;
  }
};

TEST_F(Persistence, EveryFieldSurvivesARoundTrip) {
  DataFormat cal(clock);
  AddEvent(cal, FullEvent());
  AddEvent(cal, TNote{});  // an event with nothing set
  const int t = cal.AppendToDo();
  cal.ToDoArray[t] = FullTask();
  cal.OpenToDoCount = 0;
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  EXPECT_FALSE(cal.DataChanged);

  DataFormat loaded(clock);
  loaded.LoadCalendar(store);
  ASSERT_EQ(loaded.NoteCount(), 2);
  EXPECT_EQ(loaded.NoteArray[0], FullEvent());
  EXPECT_EQ(loaded.NoteArray[1], TNote{});
  ASSERT_EQ(loaded.ToDoCount(), 1);
  EXPECT_EQ(loaded.ToDoArray[0], FullTask());
  EXPECT_EQ(loaded.OpenToDoCount, 0);  // stored as completed
  EXPECT_FALSE(loaded.DataChanged);
}

TEST_F(Persistence, WritesTheDescribedLayout) {
  DataFormat cal(clock);
  AddEvent(cal, FullEvent());
  AddEvent(cal, TNote{});
  cal.SaveIfChanged(store);
  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + QStringLiteral("\\0")));
  EXPECT_EQ(store.GetValueNames(),
            QStringList({"Title", "Category", "Location", "StartTime", "EndTime", "AlarmTime", "StartDate", "EndDate",
                         "ModifyDate", "DeleteDate", "Span", "Start", "Alarm", "SpanRange", "RangeType", "RangeCount",
                         "RepeatType", "RepeatFrequency", "RepeatDay", "RepeatMonth", "RepeatCardinal", "RepeatMonday",
                         "RepeatTuesday", "RepeatWednesday", "RepeatThursday", "RepeatFriday", "RepeatSaturday",
                         "RepeatSunday"}));
  EXPECT_EQ(store.GetKeyNames(), QStringList({"Exceptions", "Notes", "RecurNotes"}));
  EXPECT_EQ(store.GetValueType(QStringLiteral("Span")), KeyStore::ValueType::Integer);
  EXPECT_EQ(store.GetValueType(QStringLiteral("StartDate")), KeyStore::ValueType::Date);
  ASSERT_TRUE(store.OpenKeyReadOnly(QStringLiteral("RecurNotes")));
  EXPECT_EQ(store.GetValueNames(), QStringList({"Date_0", "Data_0", "Date_1", "Data_1"}));
  // An event without notes, exceptions or day notes has no subkeys.
  ASSERT_TRUE(store.OpenKeyReadOnly(Notes + QStringLiteral("\\1")));
  EXPECT_TRUE(store.GetKeyNames().isEmpty());
}

TEST_F(Persistence, RecordsDeletedMoreThan21DaysAgoAreDropped) {
  DataFormat cal(clock);
  for (const char* title : {"a", "b", "c"}) {
    TNote n;
    n.Title = QString::fromUtf8(title);
    AddEvent(cal, n);
  }
  cal.NoteArray[1].DeleteDate = clock.Now() - 30;
  for (int days : {20, 22}) {
    const int t = cal.AppendToDo();
    cal.ToDoArray[t].Title = QString::number(days);
    cal.ToDoArray[t].DeleteDate = clock.Now() - days;
  }
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  EXPECT_EQ(StoredKeys(Notes), QStringList({"0", "2"}));
  EXPECT_EQ(StoredKeys(Todos), QStringList({"0"}));
  // The dropped event stays in memory for the rest of the run.
  EXPECT_EQ(cal.NoteCount(), 3);

  DataFormat loaded(clock);
  loaded.LoadCalendar(store);
  ASSERT_EQ(loaded.NoteCount(), 2);
  loaded.DataChanged = true;
  ASSERT_TRUE(loaded.SaveIfChanged(store).ok);
  EXPECT_EQ(StoredKeys(Notes), QStringList({"0", "1"}));
  DataFormat again(clock);
  again.LoadCalendar(store);
  EXPECT_EQ(again.NoteArray[0].Title, QStringLiteral("a"));
  EXPECT_EQ(again.NoteArray[1].Title, QStringLiteral("c"));
}

TEST_F(Persistence, LoadsInTheStoresKeyOrder) {
  DataFormat cal(clock);
  for (int i = 0; i < 12; ++i) {
    TNote n;
    n.Title = QString::number(i);
    AddEvent(cal, n);
  }
  cal.SaveIfChanged(store);
  DataFormat loaded(clock);
  loaded.LoadCalendar(store);
  QStringList titles;
  for (const TNote& n : loaded.NoteArray) titles << n.Title;
  EXPECT_EQ(titles, QStringList({"0", "1", "10", "11", "2", "3", "4", "5", "6", "7", "8", "9"}));
}

TEST_F(Persistence, MissingAndMistypedValuesTakeNeutralDefaults) {
  store.OpenKey(Notes + QStringLiteral("\\0"), true);
  store.WriteString(QStringLiteral("Title"), QStringLiteral("odd"));
  store.WriteString(QStringLiteral("StartDate"), QStringLiteral("not a date"));
  store.WriteDate(QStringLiteral("RepeatType"), 3.5);
  store.WriteInteger(QStringLiteral("Alarm"), 7);
  store.OpenKey(Todos + QStringLiteral("\\0"), true);
  store.WriteInteger(QStringLiteral("Title"), 5);
  store.CloseKey();

  DataFormat cal(clock);
  cal.LoadCalendar(store);
  ASSERT_EQ(cal.NoteCount(), 1);
  const TNote& n = cal.NoteArray[0];
  EXPECT_EQ(n.Title, QStringLiteral("odd"));
  EXPECT_EQ(n.StartDate, 0);
  EXPECT_EQ(n.RepeatType, 0);
  EXPECT_TRUE(n.Alarm);  // any value other than 0 reads as true
  EXPECT_EQ(n.ModifyDate, clock.Time());  // absent: the time of day of loading
  EXPECT_EQ(n.DeleteDate, 0);
  ASSERT_EQ(cal.ToDoCount(), 1);
  EXPECT_EQ(cal.ToDoArray[0].Title, QString());
  EXPECT_EQ(cal.OpenToDoCount, 1);
}

TEST_F(Persistence, AFailedWriteKeepsTheOldCalendarAndTheChangeFlag) {
  DataFormat cal(clock);
  TNote n;
  n.Title = QStringLiteral("old");
  AddEvent(cal, n);
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  const QString before = store.Dump();

  cal.NoteArray[0].Title = QStringLiteral("new");
  AddEvent(cal, n);
  cal.DataChanged = true;
  store.FailWritesOf(QStringLiteral("Location"));
  const SaveResult failed = cal.SaveIfChanged(store);
  EXPECT_FALSE(failed.ok);
  EXPECT_TRUE(failed.error.contains(QStringLiteral("Location"))) << failed.error.toStdString();
  EXPECT_TRUE(cal.DataChanged);
  EXPECT_EQ(store.Dump(), before);

  store.FailWritesOf(QString());
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  DataFormat loaded(clock);
  loaded.LoadCalendar(store);
  ASSERT_EQ(loaded.NoteCount(), 2);
  EXPECT_EQ(loaded.NoteArray[0].Title, QStringLiteral("new"));
}

TEST_F(Persistence, SavingOnlyWhatChangedGivesTheSameStoreAsAFullRewrite) {
  DataFormat cal(clock);
  for (int i = 0; i < 30; ++i) {
    TNote n = FullEvent();
    n.Title = QStringLiteral("event %1").arg(i);
    AddEvent(cal, n);
  }
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);
  // A few edits, a deletion that expires, a new record.
  cal.NoteArray[3].Notes.clear();
  cal.NoteArray[7].Exceptions.append(D(2024, 5, 1));
  cal.NoteArray[12].DeleteDate = clock.Now() - 40;
  AddEvent(cal, FullEvent());
  cal.DataChanged = true;
  ASSERT_TRUE(cal.SaveIfChanged(store).ok);

  MemoryKeyStore fresh;
  DataFormat copy(clock);
  for (const TNote& n : cal.NoteArray) AddEvent(copy, n);
  ASSERT_TRUE(copy.SaveIfChanged(fresh).ok);
  EXPECT_EQ(store.Dump(), fresh.Dump());
}

TEST_F(Persistence, SaveWithoutChangesWritesNothing) {
  DataFormat cal(clock);
  AddEvent(cal, FullEvent());
  cal.DataChanged = false;
  EXPECT_TRUE(cal.SaveIfChanged(store).ok);
  EXPECT_FALSE(store.KeyExists(Notes));
}

}  // namespace
