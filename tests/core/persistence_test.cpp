// The calendar in the key store: every field, the stored layout, expiry of deleted records,
// odd stored values and failed writes.
#include "core/memorykeystore.h"
#include "samples.h"

#include <gtest/gtest.h>
#include <functional>

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
  flipped.TimeZone = "Europe/Berlin";
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
  EXPECT_EQ(store.GetValueNames().mid(28), QStringList({"UID", "RecurrenceId", "TimeZone"}));
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

// Every call handed to a store held in memory, as a store of any other kind takes them: the
// loader reads it key by key, and a save renames no keys.
class KeyByKey : public KeyStore {
 public:
  explicit KeyByKey(MemoryKeyStore& s) : s_(s) {}
  bool OpenKey(const QString& path, bool create) override { return s_.OpenKey(path, create); }
  bool OpenKeyReadOnly(const QString& path) override { return s_.OpenKeyReadOnly(path); }
  void CloseKey() override { s_.CloseKey(); }
  bool KeyExists(const QString& path) override { return s_.KeyExists(path); }
  bool DeleteKey(const QString& path) override { return s_.DeleteKey(path); }
  QStringList GetKeyNames() override { return s_.GetKeyNames(); }
  QStringList GetValueNames() override { return s_.GetValueNames(); }
  bool ValueExists(const QString& name) override { return s_.ValueExists(name); }
  std::optional<ValueType> GetValueType(const QString& name) override { return s_.GetValueType(name); }
  bool DeleteValue(const QString& name) override { return s_.DeleteValue(name); }
  std::optional<QString> ReadString(const QString& name) override { return s_.ReadString(name); }
  std::optional<qint32> ReadInteger(const QString& name) override { return s_.ReadInteger(name); }
  std::optional<TDateTime> ReadDate(const QString& name) override { return s_.ReadDate(name); }
  bool WriteString(const QString& name, const QString& v) override { return s_.WriteString(name, v); }
  bool WriteInteger(const QString& name, qint32 v) override { return s_.WriteInteger(name, v); }
  bool WriteDate(const QString& name, TDateTime v) override { return s_.WriteDate(name, v); }
  bool BeginTransaction() override { return s_.BeginTransaction(); }
  bool Commit() override { return s_.Commit(); }
  void Rollback() override { s_.Rollback(); }
  QString LastError() const override { return s_.LastError(); }

 private:
  MemoryKeyStore& s_;
};

// Whether the store renames keys or not, records moved to other places (around a cycle and
// in a swap) beside edits, an expired deletion and a new record.
TEST_F(Persistence, SavingOnlyWhatChangedGivesTheSameStoreAsAFullRewrite) {
  for (const bool renames : {true, false}) {
    MemoryKeyStore memory;
    KeyByKey keyByKey(memory);
    KeyStore& target = renames ? static_cast<KeyStore&>(memory) : keyByKey;
    DataFormat c(clock);
    for (int i = 0; i < 30; ++i) {
      AddEvents(c, {SampleEvent()});
      c.NoteArray[i].Title = QString("event %1").arg(i);
      c.NoteArray[i].Uid = QString("uid-%1").arg(i % 20);  // shared by two records at times
    }
    ASSERT_TRUE(c.SaveIfChanged(target).ok);
    c.NoteArray[3].Notes.clear();
    c.NoteArray[7].Exceptions.append(D(2024, 5, 1));
    c.NoteArray[12].DeleteDate = clock.Now() - 40;
    AddEvents(c, {SampleEvent()});
    std::rotate(c.NoteArray.begin() + 1, c.NoteArray.begin() + 4, c.NoteArray.begin() + 20);
    std::swap(c.NoteArray[22], c.NoteArray[25]);
    c.DataChanged = true;
    const SaveResult saved = c.SaveIfChanged(target);
    ASSERT_TRUE(saved.ok) << renames << saved.error.toStdString();
    MemoryKeyStore fresh;
    DataFormat copy(clock);
    for (const TNote& n : c.NoteArray) AddEvents(copy, {n});
    ASSERT_TRUE(copy.SaveIfChanged(fresh).ok);
    EXPECT_EQ(memory.Dump(), fresh.Dump()) << renames;
  }
}

struct OddStore {
  const char* name;
  std::function<void(MemoryKeyStore&)> fill;
};

void Key(MemoryKeyStore& s, const QString& path) { ASSERT_TRUE(s.OpenKey(path, true)); }

const OddStore OddStores[] = {
    {"KeysInTextOrderWithGaps",
     [](MemoryKeyStore& s) {
       for (const char* k : {"2", "10", "0", "1", "7"}) {
         Key(s, Notes + "\\" + k);
         s.WriteString("Title", k);
         s.WriteDate("StartDate", 45000 + QString(k).toInt());
       }
     }},
    {"MissingAndMistypedValues",
     [](MemoryKeyStore& s) {
       Key(s, Notes + "\\0");
       s.WriteInteger("Title", 5);
       s.WriteString("StartDate", "not a date");
       s.WriteDate("Alarm", 1.5);
       s.WriteString("ModifyDate", "x");
       s.WriteInteger("DeleteDate", 3);
       s.WriteInteger("RepeatTuesday", 9);
       Key(s, Notes + "\\1");  // no values at all
       Key(s, Todos + "\\0");
       s.WriteString("Priority", "high");
       s.WriteDate("Completed", 2);
     }},
    {"NamesInAnotherCaseOutOfOrderAndUnknown",
     [](MemoryKeyStore& s) {
       Key(s, Notes + "\\0");
       s.WriteString("Colour", "red");
       s.WriteInteger("REPEATTYPE", 3);
       s.WriteString("uid", "u-1@elsewhere");
       s.WriteString("tItLe", "mixed");
       s.WriteDate("StartTime", 0.25);
       s.WriteDate("recurrenceID", 45001.25);
       s.WriteInteger(QString::fromUtf8("\xc5\xbfpan"), 1);  // a long s: "Span" without regard to case
       Key(s, Notes + "\\0\\NOTES");
       s.WriteString("0", "text");
       Key(s, Notes + "\\0\\exceptions");
       s.WriteDate("0", 45002);
     }},
    {"SubkeysWithOddValues",
     [](MemoryKeyStore& s) {
       Key(s, Notes + "\\0");
       s.WriteString("Title", "odd subkeys");
       Key(s, Notes + "\\0\\Notes");
       s.WriteString("b", "first ");
       s.WriteInteger("a", 4);
       s.WriteString("0", "second");
       Key(s, Notes + "\\0\\Exceptions");
       s.WriteDate("1", 45010);
       s.WriteString("0", "not a date");
       s.WriteDate("7", 45011);
       Key(s, Notes + "\\0\\RecurNotes");
       s.WriteString("Date_0", "wrong type");
       s.WriteString("Data_0", "zero");
       s.WriteDate("Date_1", 45020);
       s.WriteDate("date_2", 45021);
       s.WriteString("DATA_1", "one");
       Key(s, Notes + "\\0\\Other\\Deeper");
       s.WriteString("x", "y");
     }},
    {"KeyNamesThatAreNoNumbers",
     [](MemoryKeyStore& s) {
       for (const char* k : {"abc", "Zed", "\xc3\x84rger", "007", "-1"}) {
         Key(s, Notes + "\\" + QString::fromUtf8(k));
         s.WriteString("Title", QString::fromUtf8(k));
       }
     }},
    {"TasksWithNotesAndStates",
     [](MemoryKeyStore& s) {
       for (int i = 0; i < 4; ++i) {
         Key(s, Todos + "\\" + QString::number(i * 3));
         s.WriteString("Title", QString("task %1").arg(i));
         s.WriteInteger("Completed", i == 1);
         if (i == 2) s.WriteDate("DeleteDate", 45000);
         s.WriteDate("DueDate", 45100 + i);
       }
       Key(s, Todos + "\\3\\Notes");
       s.WriteString("0", "line one");
       s.WriteInteger("1", 2);
       s.WriteString("2", "line three");
       Key(s, Todos + "\\6\\Notes");  // no lines
     }},
    {"EmptyCollectionKey", [](MemoryKeyStore& s) { Key(s, Notes); }},
};

class RecordsReadInPlace : public Persistence, public ::testing::WithParamInterface<OddStore> {};

TEST_P(RecordsReadInPlace, GiveWhatReadingKeyByKeyGives) {
  GetParam().fill(store);
  DataFormat inPlace(clock);
  inPlace.LoadCalendar(store);
  KeyByKey general(store);
  DataFormat keyByKey(clock);
  keyByKey.LoadCalendar(general);
  EXPECT_EQ(inPlace.NoteArray, keyByKey.NoteArray);
  EXPECT_EQ(inPlace.ToDoArray, keyByKey.ToDoArray);
  EXPECT_EQ(inPlace.OpenToDoCount, keyByKey.OpenToDoCount);
}

INSTANTIATE_TEST_SUITE_P(OddStores, RecordsReadInPlace, ::testing::ValuesIn(OddStores),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
