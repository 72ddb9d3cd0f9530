// Backup, restore and sync files: good, empty, missing and damaged files. (That they are their
// owner's only is checked where they are written, and through the program's commands.)
#include "settings/calendarfiles.h"

#include "core/backupfiles.h"
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

// One computer with an event and two tasks, one of them completed.
struct Computer {
  explicit Computer(TDateTime now = DT(2024, 5, 1, 12, 0)) : clock(now), calendar(clock) {
    store.OpenKey("\\Software\\Orvane", true);
    for (const char* name : {"WeatherZip", "SyncEMail", "SyncPass"}) store.WriteString(name, "x");
    settings = std::make_unique<TSettings>(store, dialogs, screens);
    TNote& n = calendar.NoteArray[calendar.AppendNote()];
    n.Title = "keep";
    n.StartDate = D(2024, 5, 2);
    for (const char* title : {"open", "done"}) calendar.ToDoArray[calendar.AppendToDo()].Title = title;
    calendar.ToggleToDoCompleted(1);
    calendar.DataChanged = false;
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
  QString Path(const char* name) const { return dir_.filePath(name); }
  TempHome home_;
  QTemporaryDir dir_;
};

TEST_F(FilesTest, BackupIsTheCalendarThenTheSettingsAndRestoreBringsBothBack) {
  Computer from;
  from.calendar.DeleteNote(from.calendar.AppendNote());
  from.settings->SetSetting("Width", "321");
  const QString path = Path("b.ovb");
  ASSERT_TRUE(BackupToFile(from.calendar, *from.settings, path, from.dialogs).ok);
  QByteArray settings;
  from.settings->WriteSettingsToStream(settings);
  EXPECT_EQ(ReadAll(path), CalendarBlock(from.calendar) + settings + RecordExtrasSection(from.calendar));
  EXPECT_EQ(QFile::permissions(path) & 0x7077, OwnerOnly);
  EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList("b.ovb"));

  Computer to(DT(2025, 1, 1, 0, 0));
  to.settings->SetSetting("FontName", "Arial");
  ASSERT_TRUE(RestoreFromFile(to.calendar, *to.settings, path, to.dialogs).ok);
  EXPECT_EQ(to.calendar.NoteArray, from.calendar.NoteArray);
  EXPECT_EQ(to.calendar.ToDoArray, from.calendar.ToDoArray);
  EXPECT_EQ(to.calendar.OpenToDoCount, 1);
  EXPECT_TRUE(to.calendar.DataChanged);
  EXPECT_EQ(to.settings->Lines(), from.settings->Lines());
  EXPECT_TRUE(to.dialogs.asked().empty());

  from.dialogs.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(BackupToFile(from.calendar, *from.settings, Path("no/such/folder/b.ovb"), from.dialogs).ok);
  EXPECT_EQ(from.dialogs.asked().at(0).caption, "Alert");
  EXPECT_TRUE(from.dialogs.LastText().contains("b.ovb"));
}

TEST_F(FilesTest, RestoreAsksOnceBeforeChangingAddressesAndOnlyYesChangesThem) {
  // A backup from someone else that also points the program at other servers.
  const QString path = Path("hostile.ovb");
  WriteAll(path, QByteArray(8, '\0') +
                     "Width=250\r\nupdatehost=evil.example\r\nWeatherHost=127.0.0.1:9\r\nNwsHost=nws.example\r\n"
                     "SyncBindAddress=0.0.0.0\r\n");
  for (const auto answer : {Dialogs::Answer::No, Dialogs::Answer::Yes, Dialogs::Answer::Cancel}) {
    Computer pc;
    pc.settings->SetSetting("UpdateHost", "updates.orvane.org");
    // Cancel stands for the command line, where nothing is asked.
    ConsoleDialogs console;
    Dialogs& dialogs = answer == Dialogs::Answer::Cancel ? static_cast<Dialogs&>(console) : pc.dialogs;
    if (answer != Dialogs::Answer::Cancel) pc.dialogs.AnswerMessage(answer);
    ASSERT_TRUE(RestoreFromFile(pc.calendar, *pc.settings, path, dialogs).ok);
    if (answer != Dialogs::Answer::Cancel) {
      ASSERT_EQ(pc.dialogs.asked().size(), 1u);
      EXPECT_EQ(pc.dialogs.asked()[0].caption, "Confirmation");
      EXPECT_EQ(pc.dialogs.LastText(),
                "This backup would also change where Orvane connects:\r\n"
                "UpdateHost: evil.example\r\nWeatherHost: 127.0.0.1:9\r\n"
                "NwsHost: nws.example\r\nSyncBindAddress: 0.0.0.0\r\nUse these addresses?");
    }
    const bool yes = answer == Dialogs::Answer::Yes;
    EXPECT_EQ(pc.settings->GetSetting("UpdateHost"), yes ? "evil.example" : "updates.orvane.org");
    EXPECT_EQ(pc.settings->GetSetting("SyncBindAddress"), yes ? "0.0.0.0" : "");
    EXPECT_EQ(pc.settings->GetSetting("Width"), "250");
  }
}

TEST_F(FilesTest, RestoringOrSyncingWithABadFileChangesNothing) {
  QByteArray truncated = CalendarBlock(Computer().calendar);
  truncated.chop(3);
  const std::pair<const char*, std::optional<QByteArray>> cases[] = {
      {"Missing", std::nullopt},
      {"Empty", QByteArray()},
      {"Truncated", truncated},
      {"Text", QByteArray("Width=300\r\nHeight=200\r\n")},
      {"ImpossibleCount", QByteArray("\xff\xff\xff\x7f\0\0\0\0", 8)}};
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Computer pc;
    const auto notes = pc.calendar.NoteArray;
    const auto todos = pc.calendar.ToDoArray;
    const QStringList settings = pc.settings->Lines();
    const QString path = Path(name);
    if (bytes) WriteAll(path, *bytes);
    pc.dialogs.AnswerMessage(Dialogs::Answer::Ok);
    EXPECT_FALSE(RestoreFromFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
    EXPECT_TRUE(bytes ? pc.dialogs.LastText() == Damaged : pc.dialogs.LastText().contains(name));
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
  WriteAll(Path("empty.ovs"), QByteArray());
  for (const char* name : {"new.ovs", "empty.ovs"}) {
    ASSERT_TRUE(SyncWithFile(pc.calendar, Path(name), pc.dialogs).ok) << name;
    EXPECT_EQ(ReadAll(Path(name)), SyncBytes(pc.calendar)) << name;
  }
  EXPECT_EQ(pc.calendar.NoteCount(), 1);
  EXPECT_FALSE(pc.calendar.DataChanged);
  // A backup's settings are dropped.
  const QString path = Path("backup.ovb");
  ASSERT_TRUE(BackupToFile(pc.calendar, *pc.settings, path, pc.dialogs).ok);
  Computer b;
  b.calendar.ClearCalendar();
  ASSERT_TRUE(SyncWithFile(b.calendar, path, b.dialogs).ok);
  EXPECT_EQ(b.calendar.NoteCount(), 1);
  EXPECT_EQ(ReadAll(path), SyncBytes(b.calendar));
}

TEST_F(FilesTest, IdentitiesTravelInASectionOlderCopiesPassOver) {
  Computer from;
  from.calendar.NoteArray[0].Uid = "meeting=1@example.com";  // "=" inside the section's bytes
  TNote& instance = from.calendar.NoteArray[from.calendar.AppendNote()];
  instance.Title = "moved";
  instance.Uid = "meeting=1@example.com";
  instance.RecurrenceId = DT(2024, 5, 9, 9, 0);
  for (int i = 0; i < 40; ++i) from.calendar.NoteArray[from.calendar.AppendNote()].Title = QString::number(i);
  QByteArray lines;
  from.settings->WriteSettingsToStream(lines);
  const QByteArray backup = BackupBytes(from.calendar, lines);
  const QByteArray section = RecordExtrasSection(from.calendar);
  ASSERT_TRUE(backup.endsWith(section));
  for (const QByteArray& line : section.split('\n')) EXPECT_FALSE(line.contains('=')) << line.toStdString();

  // Read by the rules of a copy that knows no identities: the same records and settings as
  // the file without the section gives.
  ByteReader in(backup);
  CalendarRecords records;
  ASSERT_TRUE(ReadCalendarBlock(in, records));
  Computer old;
  old.settings->ReadSettingsFromStream(in.rest());
  EXPECT_EQ(old.settings->Lines(), from.settings->Lines());
  EXPECT_EQ(records.notes.size(), from.calendar.NoteArray.size());
  EXPECT_TRUE(records.notes[1].Uid.isEmpty());

  // Read here: every identity comes back; without the section (an older copy's file), or
  // with a section that does not read, each record gets its derived one and nothing else
  // changes.
  const QByteArray plain = CalendarBlock(from.calendar) + lines;
  const struct {
    const char* name;
    QByteArray bytes;
    bool identities;
  } files[] = {{"new", backup, true},
               {"older", plain, false},
               {"cut short", backup.left(backup.size() - 40), false},
               {"not base64", plain + "OrvaneRecordExtras 1\r\n!!!!\r\n", false},
               {"index past the records", plain + "OrvaneRecordExtras 1\r\nAQAAAADIAAAAAAAAAA\r\n", false}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    Computer to;
    ASSERT_TRUE(RestoreFromBytes(to.calendar, *to.settings, file.bytes));
    EXPECT_EQ(to.settings->Lines(), from.settings->Lines());
    ASSERT_EQ(to.calendar.NoteCount(), from.calendar.NoteCount());
    for (int i = 0; i < to.calendar.NoteCount(); ++i) {
      TNote expected = from.calendar.NoteArray[i];
      if (!file.identities) {
        expected.Uid = DerivedUid(expected);
        expected.RecurrenceId = 0;
      }
      EXPECT_EQ(to.calendar.NoteArray[i], expected) << i;
    }
    EXPECT_EQ(to.calendar.ToDoArray[1].Uid,
              file.identities ? from.calendar.ToDoArray[1].Uid : DerivedUid(from.calendar.ToDoArray[1]));
  }
}

}  // namespace
