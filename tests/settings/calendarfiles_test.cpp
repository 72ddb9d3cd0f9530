// Backup, restore and sync files: good, empty, missing and damaged files.
#include "settings/calendarfiles.h"

#include "core/bytestream.h"
#include "core/dataformat.h"
#include "core/memorykeystore.h"
#include "platform/consoledialogs.h"
#include "platform/screens.h"
#include "settings/settings.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

const QString Damaged = "The file is damaged or is not an Orvane file.";
constexpr auto OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// One computer: its clock, calendar, store, settings and dialogs.
struct Computer {
  explicit Computer(TDateTime now = DT(2024, 5, 1, 12, 0)) : clock(now), calendar(clock) {
    store.OpenKey("\\Software\\Orvane", true);
    store.WriteString("WeatherZip", "10001");
    store.WriteString("SyncEMail", "pat");
    store.WriteString("SyncPass", "pw");
    store.CloseKey();
    settings = std::make_unique<TSettings>(store, dialogs, screens);
  }
  int AddEvent(const QString& title, TDateTime start, TDateTime modified) {
    const int i = calendar.AppendNote();
    TNote& n = calendar.NoteArray[i];
    n.Title = title;
    n.StartDate = start;
    n.StartTime = EncodeTime(9, 0);
    n.Start = true;
    n.ModifyDate = modified;
    return i;
  }
  void AddTask(const QString& title, bool completed) {
    const int i = calendar.AppendToDo();
    calendar.ToDoArray[i].Title = title;
    if (completed) calendar.ToggleToDoCompleted(i);
  }
  QString Setting(const char* name) const { return settings->GetSetting(name); }
  FixedClock clock;
  DataFormat calendar;
  MemoryKeyStore store;
  ScriptedDialogs dialogs;
  FixedScreens screens;
  std::unique_ptr<TSettings> settings;
};

class FilesTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir_.filePath(name); }
  TempHome home_;
  QTemporaryDir dir_;
};

// A whole backup cut short.
QByteArray TruncatedBackup() {
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  calendar.NoteArray[calendar.AppendNote()].Title = "new";
  calendar.ToDoArray[calendar.AppendToDo()].Title = "new task";
  const QByteArray block = CalendarBlock(calendar);
  return block.left(block.size() - 3);
}

// A backup from someone else that also points the program at other servers.
const QByteArray HostileBackup =
    QByteArray(8, '\0') +
    "Width=250\r\nupdatehost=evil.example\r\nWeatherHost=127.0.0.1:9\r\nNwsHost=nws.example\r\n"
    "SyncBindAddress=0.0.0.0\r\n";

TEST_F(FilesTest, BackupIsTheCalendarThenTheSettingsReadableByItsOwnerOnly) {
  Computer pc;
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, Path("empty.ovb"), pc.dialogs).ok);
  QByteArray settings;
  pc.settings->WriteSettingsToStream(settings);
  EXPECT_EQ(ReadAll(Path("empty.ovb")), QByteArray(8, '\0') + settings);
  EXPECT_TRUE(settings.contains("SyncPass=pw\r\n"));

  pc.AddEvent("A", D(2024, 5, 2), 0.5);
  const QString path = Path("b.ovb");
  WriteAll(path, QByteArray(10000, 'x'));
  QFile::setPermissions(path, OwnerOnly | QFile::ReadGroup | QFile::ReadOther);
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
  EXPECT_EQ(QFile::permissions(path) & 0x7077, OwnerOnly);  // owner, group and others
  EXPECT_EQ(ReadAll(path), CalendarBlock(pc.calendar) + settings);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList({"b.ovb", "empty.ovb"}));  // no temporary left
  EXPECT_TRUE(pc.dialogs.asked().empty());

  pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(BackupToFile(pc.calendar, *pc.settings, Path("no/such/folder/b.ovb"), pc.dialogs).ok);
  ASSERT_EQ(pc.dialogs.asked().size(), 1u);
  EXPECT_EQ(pc.dialogs.asked()[0].caption, "Alert");
  EXPECT_TRUE(pc.dialogs.LastText().contains("b.ovb"));
}

TEST_F(FilesTest, RestoreBringsBackTheCalendarAndTheSettings) {
  Computer from;
  from.AddEvent("A", D(2024, 5, 2), 0.25);
  from.calendar.DeleteNote(from.AddEvent("B", D(2024, 5, 3), 0.5));
  for (int i = 0; i < 5; ++i) from.AddTask(QString("task %1").arg(i), i >= 3);
  from.settings->SetSetting("Width", "321");
  const QString path = Path("full.ovb");
  ASSERT_TRUE(BackupToFile(from.calendar, *from.settings, path, from.dialogs).ok);

  Computer to(DT(2025, 1, 1, 0, 0));
  to.AddEvent("will be erased", D(2025, 1, 2), 0.1);
  to.settings->SetSetting("FontName", "Arial");
  to.calendar.DataChanged = false;
  ASSERT_TRUE(RestoreFromFile(to.calendar, *to.settings, path, to.dialogs).ok);
  EXPECT_EQ(to.calendar.NoteArray, from.calendar.NoteArray);
  EXPECT_EQ(to.calendar.ToDoArray, from.calendar.ToDoArray);
  EXPECT_EQ(to.calendar.OpenToDoCount, 3);
  EXPECT_TRUE(to.calendar.DataChanged);
  EXPECT_EQ(to.settings->Lines(), from.settings->Lines());
  EXPECT_TRUE(to.dialogs.asked().empty());
}

TEST_F(FilesTest, RestoreAsksOnceBeforeChangingAddressesAndOnlyYesChangesThem) {
  const QString path = Path("hostile.ovb");
  WriteAll(path, HostileBackup);
  for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    Computer pc;
    pc.settings->SetSetting("UpdateHost", "updates.orvane.org");
    pc.dialogs.AnswerMessage(answer);
    ASSERT_TRUE(RestoreFromFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
    ASSERT_EQ(pc.dialogs.asked().size(), 1u);
    EXPECT_EQ(pc.dialogs.asked()[0].caption, "Confirmation");
    EXPECT_EQ(pc.dialogs.LastText(),
              "This backup would also change where Orvane connects:\r\n"
              "UpdateHost: evil.example\r\nWeatherHost: 127.0.0.1:9\r\n"
              "NwsHost: nws.example\r\nSyncBindAddress: 0.0.0.0\r\nUse these addresses?");
    const bool yes = answer == Dialogs::Answer::Yes;
    EXPECT_EQ(pc.Setting("UpdateHost"), yes ? "evil.example" : "updates.orvane.org");
    EXPECT_EQ(pc.Setting("WeatherHost"), yes ? "127.0.0.1:9" : "");
    EXPECT_EQ(pc.Setting("Width"), "250");
  }
  // From the command line nothing is asked and the current addresses stay.
  Computer pc;
  pc.settings->SetSetting("UpdateHost", "updates.orvane.org");
  ConsoleDialogs console;
  ASSERT_TRUE(RestoreFromFile(pc.calendar, *pc.settings, path, console).ok);
  EXPECT_EQ(pc.Setting("UpdateHost"), "updates.orvane.org");
  EXPECT_EQ(pc.Setting("SyncBindAddress"), QString());
  EXPECT_EQ(pc.Setting("Width"), "250");
}

TEST_F(FilesTest, RestoringOrSyncingWithABadFileChangesNothing) {
  const std::tuple<const char*, std::optional<QByteArray>, bool> cases[] = {
      // none: no file; damaged
      {"Missing", std::nullopt, false},
      {"Empty", QByteArray(), true},
      {"Truncated", TruncatedBackup(), true},
      {"Text", QByteArray("Width=300\r\nHeight=200\r\n"), true},
      {"ImpossibleCount", QByteArray("\xff\xff\xff\x7f\0\0\0\0", 8), true}};
  for (const auto& [name, bytes, damaged] : cases) {
    SCOPED_TRACE(name);
    Computer pc;
    pc.AddEvent("keep", D(2024, 5, 2), 0.1);
    pc.AddTask("keep task", false);
    pc.calendar.DataChanged = false;
    const auto notes = pc.calendar.NoteArray;
    const auto todos = pc.calendar.ToDoArray;
    const QStringList settings = pc.settings->Lines();
    const QString path = Path(name);
    if (bytes) WriteAll(path, *bytes);
    pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
    EXPECT_FALSE(RestoreFromFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
    EXPECT_TRUE(damaged ? pc.dialogs.LastText() == Damaged : pc.dialogs.LastText().contains(name));
    // A missing or empty sync file is a new one; any other bad one is left as it is.
    const bool syncs = bytes && !bytes->isEmpty();
    if (syncs) {
      pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
      EXPECT_FALSE(SyncWithFile(pc.calendar, path, pc.dialogs).ok);
      EXPECT_EQ(pc.dialogs.LastText(), Damaged);
      EXPECT_EQ(ReadAll(path), *bytes);
    }
    EXPECT_EQ(pc.calendar.NoteArray, notes);
    EXPECT_EQ(pc.calendar.ToDoArray, todos);
    EXPECT_EQ(pc.calendar.OpenToDoCount, 1);
    EXPECT_FALSE(pc.calendar.DataChanged);
    EXPECT_EQ(pc.settings->Lines(), settings);
    ASSERT_EQ(pc.dialogs.asked().size(), syncs ? 2u : 1u);
    for (const auto& asked : pc.dialogs.asked()) EXPECT_EQ(asked.caption, "Alert");
  }
}

TEST_F(FilesTest, SyncWithANewEmptyOrBackupFileWritesTheCalendarAndKeepsItPrivate) {
  Computer pc;
  pc.AddEvent("A", D(2024, 5, 2), 0.1);
  pc.AddTask("t", false);
  pc.calendar.DataChanged = false;
  WriteAll(Path("empty.ovs"), QByteArray());
  for (const char* name : {"new.ovs", "empty.ovs"}) {
    ASSERT_TRUE(SyncWithFile(pc.calendar, Path(name), pc.dialogs).ok) << name;
    EXPECT_EQ(ReadAll(Path(name)), CalendarBlock(pc.calendar)) << name;
  }
  EXPECT_EQ(pc.calendar.NoteCount(), 1);
  EXPECT_FALSE(pc.calendar.DataChanged);
  // A backup's settings are dropped.
  const QString path = Path("backup.ovb");
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
  Computer b;
  ASSERT_TRUE(SyncWithFile(b.calendar, path, b.dialogs).ok);
  EXPECT_EQ(b.calendar.NoteCount(), 1);
  EXPECT_EQ(ReadAll(path), CalendarBlock(b.calendar));
  EXPECT_EQ(QFile::permissions(path) & 0x7077, OwnerOnly);
}

}  // namespace
