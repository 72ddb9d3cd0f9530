// The key store contract, the same for the store in memory and the one in SQLite, and the
// SQLite store's file.
#include "../core/samples.h"
#include "core/backupfiles.h"
#include "core/clock.h"
#include "core/dataformat.h"
#include "core/memorykeystore.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

namespace {

// The SQLite store is reopened from disk before every check, so what is checked is what
// reached the file.
class KeyStoreContract : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) sqlite_ = SqliteKeyStore::Open(dir_.path() + "/orvane.db").store;
  }
  KeyStore& store() { return sqlite_ ? static_cast<KeyStore&>(*sqlite_) : memory_; }
  KeyStore& reopened() {
    if (sqlite_) {
      sqlite_.reset();
      sqlite_ = SqliteKeyStore::Open(dir_.path() + "/orvane.db").store;
    }
    return store();
  }
  QTemporaryDir dir_;
  MemoryKeyStore memory_;
  std::unique_ptr<SqliteKeyStore> sqlite_;
};

TEST_P(KeyStoreContract, KeysAndValues) {
  // Subkeys enumerate sorted without regard to case; relative paths start at the current key.
  ASSERT_TRUE(store().OpenKey("\\Software\\Orvane", true));
  for (const char* name : {"b", "10", "A", "2", "c", "1"}) {
    ASSERT_TRUE(store().OpenKey(QString("\\Software\\Orvane\\") + name, true));
  }
  ASSERT_TRUE(store().OpenKey("Notes", true));
  EXPECT_TRUE(store().KeyExists("\\Software\\Orvane\\1\\Notes"));
  for (const char* name : {"b", "10", "A", "2", "c", "1"})
    ASSERT_TRUE(store().OpenKey(QString("\\Software\\Orvane\\1\\") + name + "\\Sub", true));
  EXPECT_FALSE(store().OpenKeyReadOnly("\\Nowhere"));
  // Values keep their creation order and type.
  ASSERT_TRUE(store().OpenKey("\\K", true));
  EXPECT_TRUE(store().WriteString("zeta", "text é"));
  EXPECT_TRUE(store().WriteInteger("alpha", -7));
  EXPECT_TRUE(store().WriteDate("mid", 45292.5));
  EXPECT_TRUE(store().WriteString("ZETA", "replaced"));  // the same value
  // Deleting a key takes its subkeys.
  ASSERT_TRUE(store().OpenKey("\\A\\B\\C", true));
  store().WriteInteger("v", 1);
  ASSERT_TRUE(store().OpenKey("\\A\\Keep", true));
  ASSERT_TRUE(store().DeleteKey("\\A\\B"));
  EXPECT_FALSE(store().DeleteKey("\\A\\B"));

  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly("\\software\\ORVANE"));
  EXPECT_EQ(s.GetKeyNames(), QStringList({"1", "10", "2", "A", "b", "c"}));
  // Deeper down too, and the keys below are there after.
  ASSERT_TRUE(s.OpenKeyReadOnly("\\software\\orvane\\1"));
  EXPECT_EQ(s.GetKeyNames(), QStringList({"1", "10", "2", "A", "b", "c", "Notes"}));
  EXPECT_TRUE(s.KeyExists("\\Software\\Orvane\\1\\b\\Sub"));
  ASSERT_TRUE(s.OpenKeyReadOnly("\\K"));
  EXPECT_EQ(s.GetValueNames(), QStringList({"zeta", "alpha", "mid"}));
  EXPECT_EQ(s.ReadString("zeta"), "replaced");
  EXPECT_EQ(s.ReadInteger("alpha"), -7);
  EXPECT_EQ(s.ReadDate("mid"), 45292.5);
  EXPECT_EQ(s.ReadBool("alpha"), true);
  EXPECT_EQ(s.ReadInteger("zeta"), std::nullopt);  // another type or a missing value reads as nothing
  EXPECT_EQ(s.ReadString("missing"), std::nullopt);
  EXPECT_FALSE(s.WriteString("x", "read-only key"));
  EXPECT_FALSE(s.KeyExists("\\A\\B\\C"));
  EXPECT_FALSE(s.KeyExists("\\A\\B"));
  EXPECT_TRUE(s.KeyExists("\\A\\Keep"));
}

TEST_P(KeyStoreContract, RollbackReturnsToTheStateAtBeginAndCommitKeepsEverything) {
  ASSERT_TRUE(store().OpenKey("\\T", true));
  store().WriteString("v", "before");
  ASSERT_TRUE(store().BeginTransaction());
  store().OpenKey("\\T", true);
  store().WriteString("v", "during");
  store().OpenKey("\\T\\New", true);
  store().DeleteKey("\\T");
  store().Rollback();
  ASSERT_TRUE(store().BeginTransaction());
  store().OpenKey("\\U\\X", true);
  store().WriteDate("d", 1.25);
  store().DeleteKey("\\U\\X");
  store().OpenKey("\\U\\X", true);
  store().WriteDate("d", 2.5);
  ASSERT_TRUE(store().Commit()) << store().LastError().toStdString();
  KeyStore& s = reopened();
  ASSERT_TRUE(s.OpenKeyReadOnly("\\T"));
  EXPECT_EQ(s.ReadString("v"), "before");
  EXPECT_FALSE(s.KeyExists("\\T\\New"));
  ASSERT_TRUE(s.OpenKeyReadOnly("\\U\\X"));
  EXPECT_EQ(s.ReadDate("d"), 2.5);
}

TEST_P(KeyStoreContract, EveryPathFindsTheTreeAsItIsNowWhateverWasOpenedBefore) {
  // Each step opens a path after the one before; a key deleted, rolled back or reached by
  // another spelling is found (or not) as the tree now stands. "+" creates, "?" finds, "!"
  // misses, "-" deletes, "[" begins a transaction and "]" rolls it back.
  for (const char* step :
       {"+\\A\\B\\C", "!\\A\\B\\C\\D", "-\\A\\B", "!\\A\\B\\C", "+\\A\\B\\C", "?\\a\\b\\c", "!\\A\\BC",
        "?\\A\\B\\\\C\\", "[", "+\\A\\B\\C\\New", "]", "!\\A\\B\\C\\New", "?\\A\\B\\C", "-\\A", "!\\A\\B\\C"}) {
    const QString path = QString::fromLatin1(step + 1);
    const bool done = *step == '+'   ? store().OpenKey(path, true)
                      : *step == '?' ? store().OpenKeyReadOnly(path)
                      : *step == '!' ? !store().KeyExists(path)
                      : *step == '-' ? store().DeleteKey(path)
                      : *step == '[' ? store().BeginTransaction()
                                     : (store().Rollback(), true);
    EXPECT_TRUE(done) << step;
  }
}

// Renames and deletes under keys deep enough that the SQLite store leaves them unread until
// used (a calendar's records, renamed and deleted in the database alone) and under keys it
// reads at once, outside a transaction and inside one after other writes, with a cycle of
// renames through a name set aside.
TEST_P(KeyStoreContract, ARenamedKeyKeepsItsValuesSubkeysAndCopy) {
  const QString deep = "\\Software\\Orvane\\Notes", shallow = "\\A";
  for (const QString& top : {deep, shallow}) {
    for (const char* name : {"0", "1", "2", "3"}) {
      ASSERT_TRUE(store().OpenKey(top + "\\" + name + "\\Notes", true));
      store().WriteString("0", QString("note ") + name);
      ASSERT_TRUE(store().OpenKey(top + "\\" + name, false));
      store().WriteString("Title", name);
    }
    ASSERT_TRUE(store().OpenKey(top, false));
    store().WriteCopy("1", "copy of 1");
    store().WriteCopy(top, "collection");
  }
  const auto titles = [this](const QString& top) {
    KeyStore& s = reopened();
    EXPECT_TRUE(s.OpenKeyReadOnly(top));
    QStringList seen;
    for (const QString& name : s.GetKeyNames()) {
      EXPECT_TRUE(s.OpenKeyReadOnly(top + "\\" + name + "\\Notes"));
      const QString note = s.ReadString("0").value_or("none");
      EXPECT_TRUE(s.OpenKeyReadOnly(top + "\\" + name));
      seen << name + "=" + s.ReadString("Title").value_or("none") + "/" + note.mid(5);
    }
    return seen.join(' ');
  };
  for (const QString& top : {deep, shallow}) {
    for (const bool transaction : {false, true}) {
      KeyStore& s = reopened();
      if (transaction) {
        ASSERT_TRUE(s.BeginTransaction());
        ASSERT_TRUE(s.OpenKey("\\Elsewhere", true));  // a change the database has not taken yet
        s.WriteString("v", "x");
      }
      ASSERT_TRUE(s.OpenKey(top, false));
      EXPECT_FALSE(s.RenameKey("7", "8"));  // no such key
      EXPECT_FALSE(s.RenameKey("0", "2"));  // the name is taken
      // 0 -> 1 -> 2 -> 0 around a cycle; 3 deleted the first time.
      for (const auto& [from, to] : {std::pair("2", "-1"), {"1", "2"}, {"0", "1"}, {"-1", "0"}}) {
        ASSERT_TRUE(s.RenameKey(from, to)) << from << s.LastError().toStdString();
      }
      EXPECT_EQ(s.DeleteKey("3"), !transaction);
      if (transaction) {
        ASSERT_TRUE(s.Commit()) << s.LastError().toStdString();
      }
      EXPECT_EQ(titles(top), transaction ? "0=1/1 1=2/2 2=0/0" : "0=2/2 1=0/0 2=1/1") << top.toStdString();
      if (!transaction) {
        // Rolled back, nothing happened.
        KeyStore& again = reopened();
        ASSERT_TRUE(again.BeginTransaction());
        ASSERT_TRUE(again.OpenKey(top, false));
        ASSERT_TRUE(again.RenameKey("2", "5"));
        ASSERT_TRUE(again.DeleteKey("1"));
        again.Rollback();
        EXPECT_EQ(titles(top), "0=2/2 1=0/0 2=1/1");
      }
    }
    if (!GetParam()) continue;
    // The copy went along with its key, "1" then "2" then "0"; the collection's own copy
    // was dropped.
    std::optional<QByteArray> own;
    QStringList copies;
    ASSERT_TRUE(reopened().ReadCopies(top, own, [&](QStringView name, QByteArrayView copy) {
      copies << name.toString() + "=" + QString::fromUtf8(copy);
    }));
    EXPECT_FALSE(own.has_value());
    EXPECT_EQ(copies, QStringList({"0=copy of 1"})) << top.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Stores, KeyStoreContract, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "Sqlite" : "Memory"); });

TEST(SqliteStore, TheDatabaseIsTheOwnersOnlyAndADamagedFileIsMovedAsideNeverOverwritten) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/sub/orvane.db";
  ASSERT_TRUE(SqliteKeyStore::Open(path).store);
  struct stat info {};
  ASSERT_EQ(stat(QFile::encodeName(path).constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const QByteArray junk(8192, 'x');
  QFile junkFile(dir.path() + "/junk.db");
  ASSERT_TRUE(junkFile.open(QIODevice::WriteOnly));
  junkFile.write(junk);
  junkFile.close();
  auto opened = SqliteKeyStore::Open(junkFile.fileName());
  ASSERT_TRUE(opened.store);
  ASSERT_FALSE(opened.movedAside.isEmpty());
  QFile aside(opened.movedAside);
  EXPECT_TRUE(aside.open(QIODevice::ReadOnly) && aside.readAll() == junk);
  EXPECT_TRUE(opened.store->OpenKey("\\Software\\Orvane", true));
  EXPECT_TRUE(opened.store->WriteString("x", "y"));
}

TEST(SqliteStore, MalformedValueBlobsAreRejected) {
  const std::vector<MemoryKeyStore::Value> values = {{"n", KeyStore::ValueType::Integer, {}, 5}, {"t", {}, "hello"}};
  const QByteArray blob = SqliteKeyStore::PackValues(values);
  std::vector<MemoryKeyStore::Value> back;
  ASSERT_TRUE(SqliteKeyStore::UnpackValues(blob, back));
  EXPECT_EQ(back, values);
  const qsizetype firstValue = SqliteKeyStore::PackValues({values[0]}).size();
  for (qsizetype cut = 1; cut < blob.size(); ++cut) {
    // One whole value is a valid blob.
    EXPECT_EQ(SqliteKeyStore::UnpackValues(blob.left(cut), back), cut == firstValue) << "cut at " << cut;
  }
  QByteArray badType = blob;
  badType[0] = 9;
  EXPECT_FALSE(SqliteKeyStore::UnpackValues(badType, back));
}

// Records in odd shapes: keys in text order with gaps and names that are no numbers,
// missing, mistyped and unknown values, names in another case, subkeys of every kind and
// one level deeper.
void FillOddRecords(KeyStore& s) {
  const QString notes = "\\Software\\Orvane\\Notes\\", todos = "\\Software\\Orvane\\Todos\\";
  for (const char* k : {"2", "10", "0", "abc", "7"}) {
    ASSERT_TRUE(s.OpenKey(notes + k, true));
    s.WriteString("Colour", "red");
    s.WriteString("tItLe", k);
    s.WriteDate("StartDate", 45000 + QString(k).toInt());
    s.WriteString("RepeatType", "three");
  }
  ASSERT_TRUE(s.OpenKey(notes + "10\\NOTES", true));
  s.WriteString("0", "first ");
  s.WriteInteger("1", 4);
  s.WriteString("2", "second");
  ASSERT_TRUE(s.OpenKey(notes + "10\\Exceptions", true));
  s.WriteDate("0", 45010);
  s.WriteString("1", "not a date");
  ASSERT_TRUE(s.OpenKey(notes + "0\\recurnotes", true));
  s.WriteDate("Date_0", 45020);
  s.WriteString("Data_0", "zero");
  s.WriteString("Date_1", "odd one out");
  ASSERT_TRUE(s.OpenKey(notes + "0\\Other\\Deeper", true));
  s.WriteString("x", "y");
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(s.OpenKey(todos + QString::number(i * 5), true));
    s.WriteString("Title", QString("task %1").arg(i));
    s.WriteInteger("Completed", i == 1);
  }
  ASSERT_TRUE(s.OpenKey(todos + "5\\Notes", true));
  s.WriteString("0", "line");
}

TEST(SqliteStore, RecordsReadStraightFromTheDatabaseEqualThoseOfTheSameTreeInMemory) {
  QTemporaryDir dir;
  const QString path = dir.path() + "/orvane.db";
  FixedClock clock(EncodeDate(2024, 3, 5) + EncodeTime(12, 0));
  MemoryKeyStore memory;
  FillOddRecords(memory);
  FillOddRecords(*SqliteKeyStore::Open(path).store);
  // Reopened: the record keys are not in its tree until something needs them.
  auto sqlite = SqliteKeyStore::Open(path).store;
  DataFormat fromDatabase(clock), fromMemory(clock);
  fromDatabase.LoadCalendar(*sqlite);
  fromMemory.LoadCalendar(memory);
  ASSERT_EQ(fromDatabase.NoteCount(), 5);
  EXPECT_EQ(fromDatabase.NoteArray, fromMemory.NoteArray);
  EXPECT_EQ(fromDatabase.ToDoArray, fromMemory.ToDoArray);
  EXPECT_EQ(fromDatabase.OpenToDoCount, fromMemory.OpenToDoCount);
  // A save reads them into the tree and rewrites them as it would any tree.
  for (DataFormat* c : {&fromDatabase, &fromMemory}) {
    c->NoteArray[1].Title = "edited";
    c->DataChanged = true;
  }
  ASSERT_TRUE(fromDatabase.SaveIfChanged(*sqlite).ok);
  ASSERT_TRUE(fromMemory.SaveIfChanged(memory).ok);
  EXPECT_EQ(sqlite->Dump(), memory.Dump());
  sqlite.reset();
  EXPECT_EQ(SqliteKeyStore::Open(path).store->Dump(), memory.Dump());
}

// SQL run on the database as another program would run it, one that knows nothing of copies.
void Sql(const QString& path, const QString& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
      << error << " in " << sql.toStdString();
  sqlite3_free(error);
  sqlite3_close(db);
}

// Which of the copies of \A and of \A\R are there, as "AR", "A", "R" or "".
QString CopiesThere(const QString& path) {
  auto store = SqliteKeyStore::Open(path).store;
  std::optional<QByteArray> a, r;
  QString there;
  EXPECT_TRUE(store->ReadCopies("\\A", a, [&](QStringView name, QByteArrayView copy) {
    EXPECT_EQ(name, u"R");
    EXPECT_EQ(copy, "r");
    there += "R";
  }));
  return (a ? QString("A") : QString()) + there;
}

TEST(SqliteStore, AKeysCopyIsDroppedByAnyWriteOfItsOwnOrItsSubkeysRowsWhoeverWrites) {
  using Change = std::function<void(const QString& path, SqliteKeyStore& store)>;
  const auto sql = [](const char* statement) -> Change {
    return [statement](const QString& path, SqliteKeyStore&) { Sql(path, statement); };
  };
  const auto inTransaction = [](const Change& change, bool commit) -> Change {
    return [change, commit](const QString& path, SqliteKeyStore& store) {
      ASSERT_TRUE(store.BeginTransaction());
      ASSERT_TRUE(store.WriteCopy("\\A", "a") && store.WriteCopy("\\A\\R", "r"));
      change(path, store);
      commit ? (void)store.Commit() : store.Rollback();
    };
  };
  const struct {
    const char* what;
    Change change;
    const char* left;
  } cases[] = {
      {"nothing", sql(""), "AR"},
      {"a key elsewhere written", sql("UPDATE keys SET vals = vals WHERE name = 'Elsewhere'"), "AR"},
      {"a subkey's subkey written", sql("UPDATE keys SET vals = vals WHERE name = 'T'"), "AR"},
      {"the key rewritten", sql("UPDATE keys SET vals = vals WHERE name = 'R'"), ""},
      {"a subkey rewritten", sql("UPDATE keys SET vals = vals WHERE name = 'S'"), "A"},
      {"a subkey deleted", sql("DELETE FROM keys WHERE name = 'S'"), "A"},
      {"a subkey added",
       sql("INSERT INTO keys(id, parent, name, vals) SELECT 99, id, 'New', x'' FROM keys WHERE name = 'R'"), "A"},
      {"a sibling added",
       sql("INSERT INTO keys(id, parent, name, vals) SELECT 99, id, 'New', x'' FROM keys WHERE name = 'A'"), "R"},
      {"the key renamed", sql("UPDATE keys SET name = 'Q' WHERE name = 'R'"), ""},
      {"written after the copy by this store",
       inTransaction([](const QString&,
                        SqliteKeyStore& s) { ASSERT_TRUE(s.OpenKey("\\A\\R\\S", false) && s.WriteInteger("v", 2)); },
                     true),
       "A"},
      {"a subkey made after the copy by this store",
       inTransaction([](const QString&, SqliteKeyStore& s) { ASSERT_TRUE(s.OpenKey("\\A\\New", true)); }, true), "R"},
      {"a copy of keys another program wrote after they were read",
       [](const QString& path, SqliteKeyStore& s) {
         Sql(path, "UPDATE keys SET vals = vals WHERE name = 'S'");
         ASSERT_TRUE(s.WriteCopy("\\A\\R", "r"));
       },
       "A"},
      // This store's own writes, its copies' triggers off, drop what the triggers would.
      {"a key deleted by this store", [](const QString&, SqliteKeyStore& s) { ASSERT_TRUE(s.DeleteKey("\\A\\R")); },
       ""},
      {"a subkey written by this store",
       [](const QString&, SqliteKeyStore& s) { ASSERT_TRUE(s.OpenKey("\\A\\R\\S", false) && s.WriteInteger("v", 3)); },
       "A"},
      {"a transaction rolled back",
       inTransaction([](const QString&, SqliteKeyStore& s) { ASSERT_TRUE(s.DeleteKey("\\A\\R")); }, false), "AR"},
  };
  for (const auto& c : cases) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/orvane.db";
    {
      auto store = SqliteKeyStore::Open(path).store;
      for (const char* key : {"\\A\\R\\S\\T", "\\Elsewhere"}) ASSERT_TRUE(store->OpenKey(key, true));
      ASSERT_TRUE(store->WriteCopy("\\A", "a") && store->WriteCopy("\\A\\R", "r"));
      EXPECT_FALSE(store->WriteCopy("\\Missing", "m"));
    }
    {
      auto store = SqliteKeyStore::Open(path).store;
      c.change(path, *store);
    }
    EXPECT_EQ(CopiesThere(path), c.left) << c.what;
  }
}

// The calendar as the keys alone read, the copies thrown away.
void LoadFromKeys(const QString& path, DataFormat& calendar) {
  Sql(path, "DELETE FROM copies");
  calendar.LoadCalendar(*SqliteKeyStore::Open(path).store);
}

void ExpectSameCalendar(const DataFormat& a, const DataFormat& b, const char* what) {
  EXPECT_EQ(a.NoteArray, b.NoteArray) << what;
  EXPECT_EQ(a.ToDoArray, b.ToDoArray) << what;
  EXPECT_EQ(a.OpenToDoCount, b.OpenToDoCount) << what;
}

TEST(SqliteStore, ACalendarReadFromTheCopiesIsTheOneTheKeysReadAndAStaleCopyIsNeverRead) {
  FixedClock clock(DT(2024, 3, 5, 12, 0));
  DataFormat calendar(clock);
  // Twelve events, so that key "10" comes before "2"; every field set, in several shapes.
  for (int i = 0; i < 12; ++i) {
    TNote n = SampleEvent();
    n.Title += QString::number(i);
    if (i % 2) n.Exceptions.clear(), n.RecurNotes.clear(), n.Notes.clear(), n.Category.clear();
    if (i % 3 == 0) n.Uid = QString("uid-%1").arg(i), n.RecurrenceId = D(2024, 3, 7), n.TimeZone = "Europe/Paris";
    if (i % 4 == 1) n.Server = {"/cal/" + QString::number(i), "etag", "synced", i == 5};
    // What a key does not keep: an exception's time of day, a server's copy without a resource.
    if (i == 2) n.Exceptions.append(D(2024, 3, 28) + 0.25), n.Server = {"", "etag", "synced", true};
    calendar.NoteArray.push_back(n);
  }
  for (int i = 0; i < 3; ++i) {
    TToDo t = SampleTask();
    t.Completed = i == 0;
    t.DeleteDate = i == 1 ? D(2024, 3, 2) : 0;
    if (i == 2) t.Notes.clear(), t.Server = {"/tasks/2", "e", "s", true};
    if (i == 1) t.Server = {"", "e", "s", true};
    calendar.ToDoArray.push_back(t);
  }
  calendar.DataChanged = true;
  QTemporaryDir dir;
  const QString path = dir.path() + "/orvane.db";
  const auto save = [&](DataFormat& c) {
    auto store = SqliteKeyStore::Open(path).store;
    ASSERT_TRUE(c.SaveWith(*store, nullptr).ok);
  };
  const auto load = [&](DataFormat& c) { c.LoadCalendar(*SqliteKeyStore::Open(path).store); };

  // Each step changes the store, then the calendar read with the copies must be the one the
  // keys read.
  const struct {
    const char* what;
    std::function<void()> step;
  } steps[] = {
      {"a whole save", [&] { save(calendar); }},
      {"a save of one edit and one new event",
       [&] {
         calendar.NoteArray[4].Title = "edited";
         calendar.NoteArray.push_back(SampleEvent());
         calendar.DataChanged = true;
         save(calendar);
       }},
      {"a save that fails half way",
       [&] {
         DataFormat c(clock);
         load(c);
         c.NoteArray[2].Exceptions.clear();
         c.NoteArray[7].Title = "failing";
         c.DataChanged = true;
         auto store = SqliteKeyStore::Open(path).store;
         store->FailWritesOf("Title");
         ASSERT_FALSE(c.SaveWith(*store, nullptr).ok);
       }},
      {"a record's values written by another program",
       [&] { Sql(path, "UPDATE keys SET vals = (SELECT vals FROM keys WHERE name = '3') WHERE name = '2'"); }},
      {"a record's subkey deleted by another program",
       [&] {
         save(calendar), Sql(path,
                             "DELETE FROM keys WHERE name = 'Exceptions' AND id = (SELECT min(id) FROM keys WHERE name "
                             "= 'Exceptions')");
       }},
      {"a record added by another program",
       [&] {
         save(calendar);
         Sql(path,
             "INSERT INTO keys(id, parent, name, vals) SELECT (SELECT max(id) + 1 FROM keys), parent, 'x', vals FROM "
             "keys WHERE name = '3' AND parent = (SELECT id FROM keys WHERE name = 'Notes' AND parent = (SELECT id "
             "FROM keys WHERE name = 'Orvane'))");
       }},
      {"a restore with records changed, moved, dropped and added over the store it read",
       [&] {
         DataFormat stored(clock);
         stored.NoteArray = calendar.NoteArray;
         stored.ToDoArray = calendar.ToDoArray;
         stored.DeriveMissingUids();  // as a restore gives them
         stored.DataChanged = true;
         save(stored);  // key i holds event i
         CalendarRecords records;
         for (int i : {0, 1, 2, 6, 4, 5, 3, 8, 9, 10, 11}) records.notes.push_back(stored.NoteArray[i]);
         records.notes[1].DeleteDate = -0.0;  // equal, but stored otherwise
         records.notes[2].Title = "changed";
         records.notes.push_back(SampleEvent());
         records.todos = {stored.ToDoArray[2], stored.ToDoArray[0]};
         auto store = SqliteKeyStore::Open(path).store;
         DataFormat restored(clock);
         restored.LoadCalendarToReplace(*store);  // as the restore command reads it
         EXPECT_EQ(restored.NoteCount(), 0);
         restored.DataChanged = true;
         EXPECT_FALSE(restored.SaveWith(*store, nullptr).ok);  // nothing read, nothing to write over it
         ReplaceCalendar(restored, records);
         ASSERT_TRUE(restored.SaveWith(*store, nullptr).ok);
         // The store and the calendar it loads are those of the restored records written whole.
         MemoryKeyStore whole;
         DataFormat rewritten(clock), back(clock), expected(clock);
         rewritten.NoteArray = restored.NoteArray;
         rewritten.ToDoArray = restored.ToDoArray;
         rewritten.DataChanged = true;
         ASSERT_TRUE(rewritten.SaveWith(whole, nullptr).ok);
         EXPECT_EQ(store->Dump(), whole.Dump());
         back.LoadCalendar(*store);
         expected.LoadCalendar(whole);
         ExpectSameCalendar(back, expected, "restored");
         EXPECT_TRUE(std::signbit(back.NoteArray[1].DeleteDate));  // key "1", which == cannot tell
       }},
  };
  for (const auto& s : steps) {
    s.step();
    DataFormat fromCopies(clock), fromKeys(clock);
    load(fromCopies);
    LoadFromKeys(path, fromKeys);
    ASSERT_GE(fromKeys.NoteCount(), 12) << s.what;
    ExpectSameCalendar(fromCopies, fromKeys, s.what);
    save(fromKeys);  // the copies back, for the next step
  }

  // The copies are what a load reads when they are all there: one made to read as another
  // record's shows.
  save(calendar);
  Sql(path, "UPDATE copies SET data = (SELECT data FROM copies WHERE name = '1') WHERE name = '0'");
  DataFormat tampered(clock);
  load(tampered);
  EXPECT_EQ(tampered.NoteArray[0], tampered.NoteArray[1]);
}

// A calendar read for some days lists each of them as the whole calendar does, whether it
// is read from the copies or from the keys, and is never saved over the whole one.
TEST(SqliteStore, ACalendarReadForSomeDaysListsThemAsTheWholeOneAndIsNeverSaved) {
  FixedClock clock(DT(2024, 3, 5, 12, 0));
  const TDateTime first = D(2024, 6, 10), last = first + 6;
  DataFormat calendar(clock);
  const auto once = [&](const QString& title, TDateTime day, int spanDays = 0) {
    TNote n;
    n.Title = title;
    n.StartDate = n.EndDate = day;
    n.StartTime = EncodeTime(9, 0);
    n.EndTime = EncodeTime(10, 0);
    n.Start = true;
    n.Span = spanDays > 0;
    n.SpanRange = spanDays;
    calendar.NoteArray.push_back(n);
    return &calendar.NoteArray.back();
  };
  for (int d = -12; d <= 12; ++d) once(QString("day %1").arg(d), first + d);
  once("span into the days", first - 10, 12);
  once("span over before", first - 10, 8);
  once("deleted", first + 1)->DeleteDate = D(2024, 5, 1);
  // The day before in Honolulu, a night's flight from here: the morning of the first day.
  TNote* zoned = once("Honolulu", first - 1);
  zoned->TimeZone = "Pacific/Honolulu", zoned->StartTime = EncodeTime(22, 0), zoned->EndTime = EncodeTime(23, 0);
  once("excepted in", first - 40)->Exceptions = {first + 2};
  // Series every day: one from long ago, one ending on the first day, one starting on the last.
  const auto daily = [&](const QString& title, TDateTime from, TDateTime until) {
    TNote* n = once(title, from);
    n->RepeatType = 1, n->RepeatFrequency = 1;
    if (until != 0) n->RangeType = 2, n->EndDate = until;
  };
  daily("daily", D(2023, 1, 2), 0);
  daily("ending", first - 30, first);
  daily("starting", last, 0);
  daily("ended", first - 30, first - 3);
  daily("later", last + 3, 0);
  calendar.ToDoArray.push_back(SampleTask());
  calendar.DataChanged = true;
  QTemporaryDir dir;
  const QString path = dir.path() + "/orvane.db";
  ASSERT_TRUE(calendar.SaveWith(*SqliteKeyStore::Open(path).store, nullptr).ok);

  for (const bool fromCopies : {true, false}) {
    if (!fromCopies) Sql(path, "DELETE FROM copies");
    DataFormat whole(clock), some(clock);
    whole.LoadCalendar(*SqliteKeyStore::Open(path).store);
    auto store = SqliteKeyStore::Open(path).store;
    some.LoadCalendarForDays(*store, first, last);
    ASSERT_EQ(whole.NoteCount(), calendar.NoteCount());
    EXPECT_LT(some.NoteCount(), whole.NoteCount() - 10) << fromCopies;
    EXPECT_EQ(some.ToDoArray, whole.ToDoArray) << fromCopies;
    for (TDateTime day = first; day <= last; ++day) {
      EXPECT_EQ(some.GetEventListText(day), whole.GetEventListText(day)) << fromCopies << " day " << day - first;
    }
    EXPECT_TRUE(whole.GetEventListText(first).contains("Honolulu"));
    EXPECT_TRUE(whole.GetEventListText(first + 2).contains("excepted in"));
    EXPECT_TRUE(whole.GetEventListText(first).contains("ending"));
    EXPECT_TRUE(whole.GetEventListText(last).contains("starting"));

    // An edit of the part is refused, and the store keeps every event.
    some.NoteArray[0].Title = "edited";
    some.DataChanged = true;
    EXPECT_FALSE(some.SaveIfChanged(*store).ok);
    DataFormat after(clock);
    after.LoadCalendar(*SqliteKeyStore::Open(path).store);
    EXPECT_EQ(after.NoteArray, whole.NoteArray) << fromCopies;
  }
}

}  // namespace
