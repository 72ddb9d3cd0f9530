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

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

// One computer: its clock, calendar, store, settings and dialogs.
struct Computer {
  explicit Computer(TDateTime now = DT(2024, 5, 1, 12, 0)) : clock(now), calendar(clock) {
    store.OpenKey(QStringLiteral("\\Software\\Orvane"), true);
    store.WriteString(QStringLiteral("WeatherZip"), QStringLiteral("10001"));
    store.WriteString(QStringLiteral("SyncEMail"), QStringLiteral("pat"));
    store.WriteString(QStringLiteral("SyncPass"), QStringLiteral("pw"));
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
  int AddTask(const QString& title, bool completed) {
    const int i = calendar.AppendToDo();
    calendar.ToDoArray[i].Title = title;
    if (completed) calendar.ToggleToDoCompleted(i);
    return i;
  }
  FixedClock clock;
  DataFormat calendar;
  MemoryKeyStore store;
  ScriptedDialogs dialogs;
  FixedScreens screens;
  std::unique_ptr<TSettings> settings;
};

class FilesTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
  TempHome home_;
  QTemporaryDir dir_;
};

// --- Backup -----------------------------------------------------------------------------

TEST_F(FilesTest, BackupOfAnEmptyCalendarIsEightZerosThenTheSettings) {
  Computer pc;
  const QString path = Path("empty.ovb");
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
  QByteArray settings;
  pc.settings->WriteSettingsToStream(settings);
  EXPECT_EQ(ReadAll(path), QByteArray(8, '\0') + settings);
  EXPECT_TRUE(settings.contains("SyncPass=pw\r\n"));
  EXPECT_TRUE(pc.dialogs.asked().empty());
}

TEST_F(FilesTest, BackupIsReadableByItsOwnerOnlyAndReplacesTheOldFile) {
  Computer pc;
  pc.AddEvent(QStringLiteral("A"), D(2024, 5, 2), 0.5);
  const QString path = Path("b.ovb");
  WriteAll(path, QByteArray(10000, 'x'));
  QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
  // Owner, group and others: read and write for the owner alone.
  EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
  EXPECT_TRUE(ReadAll(path).startsWith(CalendarBlock(pc.calendar)));
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("b.ovb")});
}

TEST_F(FilesTest, BackupIntoAMissingFolderIsReported) {
  Computer pc;
  const QString path = Path("no/such/folder/b.ovb");
  pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
  const FileResult result = BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs);
  EXPECT_FALSE(result.ok);
  ASSERT_EQ(pc.dialogs.asked().size(), 1u);
  EXPECT_EQ(pc.dialogs.asked()[0].caption, QStringLiteral("Alert"));
  EXPECT_TRUE(pc.dialogs.LastText().contains(QStringLiteral("b.ovb")));
}

// --- Restore ----------------------------------------------------------------------------

TEST_F(FilesTest, RestoreBringsBackTheCalendarAndTheSettings) {
  Computer from;
  from.AddEvent(QStringLiteral("A"), D(2024, 5, 2), 0.25);
  const int gone = from.AddEvent(QStringLiteral("B"), D(2024, 5, 3), 0.5);
  from.calendar.DeleteNote(gone);
  for (int i = 0; i < 3; ++i) from.AddTask(QStringLiteral("open %1").arg(i), false);
  for (int i = 0; i < 2; ++i) from.AddTask(QStringLiteral("done %1").arg(i), true);
  from.settings->SetSetting(QStringLiteral("Width"), QStringLiteral("321"));
  const QString path = Path("full.ovb");
  ASSERT_TRUE(BackupToFile(from.calendar, *from.settings, path, from.dialogs).ok);

  Computer to(DT(2025, 1, 1, 0, 0));
  to.AddEvent(QStringLiteral("will be erased"), D(2025, 1, 2), 0.1);
  to.settings->SetSetting(QStringLiteral("FontName"), QStringLiteral("Arial"));
  to.calendar.DataChanged = false;
  ASSERT_TRUE(RestoreFromFile(to.calendar, *to.settings, path, to.dialogs).ok);

  EXPECT_EQ(to.calendar.NoteArray, from.calendar.NoteArray);
  EXPECT_EQ(to.calendar.ToDoArray, from.calendar.ToDoArray);
  EXPECT_EQ(to.calendar.OpenToDoCount, 3);
  EXPECT_TRUE(to.calendar.DataChanged);
  EXPECT_EQ(to.settings->Lines(), from.settings->Lines());
  EXPECT_TRUE(to.dialogs.asked().empty());
}

TEST_F(FilesTest, RestoringAnEmptyCalendarEmptiesItAndMarksItForSaving) {
  Computer to;
  to.AddEvent(QStringLiteral("old"), D(2024, 5, 2), 0.1);
  to.AddTask(QStringLiteral("old task"), false);
  to.calendar.DataChanged = false;
  const QString path = Path("empty.ovb");
  WriteAll(path, QByteArray(8, '\0') + "Width=250\r\n");
  ASSERT_TRUE(RestoreFromFile(to.calendar, *to.settings, path, to.dialogs).ok);
  EXPECT_EQ(to.calendar.NoteCount(), 0);
  EXPECT_EQ(to.calendar.ToDoCount(), 0);
  EXPECT_EQ(to.calendar.OpenToDoCount, 0);
  EXPECT_TRUE(to.calendar.DataChanged);
  EXPECT_EQ(to.settings->GetSetting(QStringLiteral("Width")), QStringLiteral("250"));
  // Settings the file lacks take their defaults.
  EXPECT_EQ(to.settings->GetSetting(QStringLiteral("GradientHeight")), QStringLiteral("21"));
}

// A backup from someone else that also points the program at other servers.
QByteArray HostileBackup() {
  return QByteArray(8, '\0') +
         "Width=250\r\nupdatehost=evil.example\r\nWeatherHost=127.0.0.1:9\r\nNwsHost=nws.example\r\n"
         "SyncBindAddress=0.0.0.0\r\n";
}

TEST_F(FilesTest, RestoreFromBytesKeepsTheCurrentAddressesAndListsTheFilesOnes) {
  Computer pc;
  pc.settings->SetSetting(QStringLiteral("UpdateHost"), QStringLiteral("updates.orvane.org"));
  pc.settings->SetSetting(QStringLiteral("WebSite"), QStringLiteral("https://orvane.org"));
  pc.settings->SetSetting(QStringLiteral("NwsHost"), QStringLiteral("nws.example"));
  QList<HeldSetting> held;
  ASSERT_TRUE(RestoreFromBytes(pc.calendar, *pc.settings, HostileBackup(), &held));
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("Width")), QStringLiteral("250"));
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("UpdateHost")), QStringLiteral("updates.orvane.org"));
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("WebSite")), QStringLiteral("https://orvane.org"));
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("WeatherHost")), QString());
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("SyncBindAddress")), QString());
  // An address the file agrees with is no change; one it lacks would fall back to the default.
  EXPECT_EQ(held, (QList<HeldSetting>{{QStringLiteral("UpdateHost"), QStringLiteral("evil.example")},
                                      {QStringLiteral("WeatherHost"), QStringLiteral("127.0.0.1:9")},
                                      {QStringLiteral("WebSite"), QString()},
                                      {QStringLiteral("SyncBindAddress"), QStringLiteral("0.0.0.0")}}));
  EXPECT_TRUE(pc.dialogs.asked().empty());
}

TEST_F(FilesTest, RestoreAsksOnceBeforeChangingAddressesAndOnlyYesChangesThem) {
  for (const Dialogs::Answer answer : {Dialogs::Answer::No, Dialogs::Answer::Yes}) {
    Computer pc;
    pc.settings->SetSetting(QStringLiteral("UpdateHost"), QStringLiteral("updates.orvane.org"));
    const QString path = Path("hostile.ovb");
    WriteAll(path, HostileBackup());
    pc.dialogs.AnswerMessage(answer);
    ASSERT_TRUE(RestoreFromFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
    ASSERT_EQ(pc.dialogs.asked().size(), 1u);
    EXPECT_EQ(pc.dialogs.asked()[0].caption, QStringLiteral("Confirmation"));
    EXPECT_EQ(pc.dialogs.LastText(), QStringLiteral("This backup would also change where Orvane connects:\r\n"
                                                    "UpdateHost: evil.example\r\nWeatherHost: 127.0.0.1:9\r\n"
                                                    "NwsHost: nws.example\r\nSyncBindAddress: 0.0.0.0\r\nUse these addresses?"));
    const bool yes = answer == Dialogs::Answer::Yes;
    EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("UpdateHost")),
              yes ? QStringLiteral("evil.example") : QStringLiteral("updates.orvane.org"));
    EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("WeatherHost")), yes ? QStringLiteral("127.0.0.1:9") : QString());
    EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("Width")), QStringLiteral("250"));
  }
}

TEST_F(FilesTest, ACommandLineRestoreKeepsTheCurrentAddresses) {
  Computer pc;
  pc.settings->SetSetting(QStringLiteral("UpdateHost"), QStringLiteral("updates.orvane.org"));
  const QString path = Path("hostile.ovb");
  WriteAll(path, HostileBackup());
  ConsoleDialogs console;
  ASSERT_TRUE(RestoreFromFile(pc.calendar, *pc.settings, path, console).ok);
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("UpdateHost")), QStringLiteral("updates.orvane.org"));
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("SyncBindAddress")), QString());
  EXPECT_EQ(pc.settings->GetSetting(QStringLiteral("Width")), QStringLiteral("250"));
}

struct BadFileCase {
  const char* name;
  std::optional<QByteArray> bytes;  // none: the file does not exist
  bool damaged;
};

class RestoreBadFile : public FilesTest, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(RestoreBadFile, ChangesNothing) {
  Computer pc;
  pc.AddEvent(QStringLiteral("keep"), D(2024, 5, 2), 0.1);
  pc.AddTask(QStringLiteral("keep task"), false);
  pc.calendar.DataChanged = false;
  const auto notes = pc.calendar.NoteArray;
  const auto todos = pc.calendar.ToDoArray;
  const QStringList settings = pc.settings->Lines();
  const QString path = Path("bad.ovb");
  if (GetParam().bytes) WriteAll(path, *GetParam().bytes);
  pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);

  const FileResult result = RestoreFromFile(pc.calendar, *pc.settings, path, pc.dialogs);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(pc.calendar.NoteArray, notes);
  EXPECT_EQ(pc.calendar.ToDoArray, todos);
  EXPECT_EQ(pc.calendar.OpenToDoCount, 1);
  EXPECT_FALSE(pc.calendar.DataChanged);
  EXPECT_EQ(pc.settings->Lines(), settings);
  ASSERT_EQ(pc.dialogs.asked().size(), 1u);
  EXPECT_EQ(pc.dialogs.asked()[0].caption, QStringLiteral("Alert"));
  if (GetParam().damaged) {
    EXPECT_EQ(pc.dialogs.LastText(), QStringLiteral("The file is damaged or is not an Orvane file."));
  } else {
    EXPECT_TRUE(pc.dialogs.LastText().contains(QStringLiteral("bad.ovb")));
  }
}

QByteArray TruncatedBackup() {
  FixedClock clock(DT(2024, 5, 1, 12, 0));
  DataFormat calendar(clock);
  calendar.NoteArray[calendar.AppendNote()].Title = QStringLiteral("new");
  calendar.ToDoArray[calendar.AppendToDo()].Title = QStringLiteral("new task");
  const QByteArray block = CalendarBlock(calendar);
  return block.left(block.size() - 3);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RestoreBadFile,
    ::testing::Values(BadFileCase{"Missing", std::nullopt, false}, BadFileCase{"Empty", QByteArray(), true},
                      BadFileCase{"Truncated", TruncatedBackup(), true},
                      BadFileCase{"Text", QByteArray("Width=300\r\nHeight=200\r\n"), true},
                      BadFileCase{"ImpossibleCount", QByteArray("\xff\xff\xff\x7f\0\0\0\0", 8), true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Sync -------------------------------------------------------------------------------

TEST_F(FilesTest, SyncWithANewOrEmptyFileWritesTheCalendarAndMergesNothing) {
  Computer pc;
  pc.AddEvent(QStringLiteral("A"), D(2024, 5, 2), 0.1);
  pc.AddTask(QStringLiteral("t"), false);
  pc.calendar.DataChanged = false;
  WriteAll(Path("empty.ovs"), QByteArray());
  for (const char* name : {"new.ovs", "empty.ovs"}) {
    ASSERT_TRUE(SyncWithFile(pc.calendar, Path(name), pc.dialogs).ok) << name;
    EXPECT_EQ(ReadAll(Path(name)), CalendarBlock(pc.calendar)) << name;
  }
  EXPECT_EQ(pc.calendar.NoteCount(), 1);
  EXPECT_FALSE(pc.calendar.DataChanged);
}

TEST_F(FilesTest, TwoComputersSyncingThroughOneFileConverge) {
  Computer a(DT(2024, 5, 1, 9, 0));
  Computer b(DT(2024, 5, 1, 9, 0));
  // The same event on both, edited later on B; one event and one task of each side's own.
  a.AddEvent(QStringLiteral("Shared"), D(2024, 5, 6), 0.30);
  b.AddEvent(QStringLiteral("Shared"), D(2024, 5, 6), 0.70);
  b.calendar.NoteArray[0].Location = QStringLiteral("B's room");
  a.AddEvent(QStringLiteral("Only A"), D(2024, 5, 7), 0.2);
  b.AddEvent(QStringLiteral("Only B"), D(2024, 5, 8), 0.2);
  a.AddTask(QStringLiteral("A task"), false);
  b.AddTask(QStringLiteral("B task"), true);

  const QString path = Path("shared.ovs");
  ASSERT_TRUE(SyncWithFile(a.calendar, path, a.dialogs).ok);
  ASSERT_TRUE(SyncWithFile(b.calendar, path, b.dialogs).ok);
  ASSERT_TRUE(SyncWithFile(a.calendar, path, a.dialogs).ok);

  auto titles = [](const DataFormat& c) {
    QStringList t;
    for (const TNote& n : c.NoteArray) t << n.Title + QLatin1Char('@') + n.Location;
    for (const TToDo& d : c.ToDoArray) t << d.Title;
    t.sort();
    return t;
  };
  EXPECT_EQ(titles(a.calendar), titles(b.calendar));
  EXPECT_TRUE(titles(a.calendar).contains(QStringLiteral("Shared@B's room")));
  EXPECT_EQ(a.calendar.NoteCount(), 3);
  EXPECT_EQ(a.calendar.OpenToDoCount, 1);
  EXPECT_EQ(b.calendar.OpenToDoCount, 1);
  // Syncing again changes nothing on either side.
  a.calendar.DataChanged = false;
  ASSERT_TRUE(SyncWithFile(a.calendar, path, a.dialogs).ok);
  EXPECT_FALSE(a.calendar.DataChanged);
}

TEST_F(FilesTest, ADeletionKeptOnOneSideIsNotUndoneByTheOther) {
  Computer a;
  Computer b;
  const int ia = a.AddEvent(QStringLiteral("Gone"), D(2024, 4, 1), 0.5);
  a.calendar.NoteArray[ia].DeleteDate = D(2024, 4, 11);  // 20 days ago
  b.AddEvent(QStringLiteral("Gone"), D(2024, 4, 1), 0.5);
  const QString path = Path("b.ovs");
  ASSERT_TRUE(SyncWithFile(b.calendar, path, b.dialogs).ok);
  ASSERT_TRUE(SyncWithFile(a.calendar, path, a.dialogs).ok);
  ASSERT_EQ(a.calendar.NoteCount(), 1);
  EXPECT_EQ(a.calendar.NoteArray[0].DeleteDate, D(2024, 4, 11));
  EXPECT_EQ(b.calendar.NoteArray[0].DeleteDate, 0);
}

TEST_F(FilesTest, SyncWithABackupFileDropsItsSettingsAndKeepsItsPermissions) {
  Computer a;
  a.AddEvent(QStringLiteral("A"), D(2024, 5, 2), 0.1);
  const QString path = Path("backup.ovb");
  ASSERT_TRUE(BackupToFile(a.calendar, *a.settings, path, a.dialogs).ok);
  Computer b;
  ASSERT_TRUE(SyncWithFile(b.calendar, path, b.dialogs).ok);
  EXPECT_EQ(b.calendar.NoteCount(), 1);
  EXPECT_EQ(ReadAll(path), CalendarBlock(b.calendar));
  EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(FilesTest, SyncWithADamagedFileMergesNothingAndLeavesTheFile) {
  Computer pc;
  pc.AddEvent(QStringLiteral("mine"), D(2024, 5, 2), 0.1);
  pc.calendar.DataChanged = false;
  const QString path = Path("bad.ovs");
  const QByteArray damaged = TruncatedBackup();
  WriteAll(path, damaged);
  pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(SyncWithFile(pc.calendar, path, pc.dialogs).ok);
  EXPECT_EQ(pc.dialogs.LastText(), QStringLiteral("The file is damaged or is not an Orvane file."));
  EXPECT_EQ(pc.calendar.NoteCount(), 1);
  EXPECT_FALSE(pc.calendar.DataChanged);
  EXPECT_EQ(ReadAll(path), damaged);
}

}  // namespace
