// backup, restore, sync, export-ics and import-ics run as a program over stores of their own.
#include "core/bytestream.h"
#include "platform/singleinstance.h"
#include "support/programrun.h"
#include "support/testutil.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>

namespace {

class FileCommands : public ProgramTest {
 protected:
  static void Sample(DataFormat& c) {
    TNote& n = AddEvent(c, QStringLiteral("Caf\u00e9 with Ann"), D(2024, 3, 4), EncodeTime(9, 30));
    n.RepeatType = 2, n.RepeatFrequency = 1, n.Exceptions = {D(2024, 3, 11)};
    n.RecurNotes = {TRecurNote{QStringLiteral("bring the book"), D(2024, 3, 18)}};
    AddEvent(c, QStringLiteral("Cancelled"), D(2024, 3, 5));
    c.DeleteNote(1);
    // Deleted yesterday by the real clock, so the commands' own saves keep it.
    c.NoteArray[1].DeleteDate = FromQDateTime(QDateTime::currentDateTime()) - 1;
    AddTask(c, QStringLiteral("Taxes"));
    AddTask(c, QStringLiteral("Laundry")).Notes = {QStringLiteral("whites"), QStringLiteral("colours")};
    c.ToggleToDoCompleted(1);
  }
  // Every event and task of the store as bytes, sorted: equal when both hold the same records.
  QList<QByteArray> Records(const QString& who) {
    QList<QByteArray> records;
    const auto add = [&records](auto write, const auto& record) {
      ByteWriter out(records.emplace_back());
      write(record, out);
    };
    Load(
        [&](DataFormat& calendar) {
          for (const TNote& n : calendar.NoteArray) add(WriteNote, n);
          for (const TToDo& t : calendar.ToDoArray) add(WriteToDo, t);
        },
        who);
    std::sort(records.begin(), records.end());
    return records;
  }
};

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

TEST_F(FileCommands, BackupRestoresIntoAnEmptyStoreAndADamagedFileChangesNothing) {
  Store(Sample, {{"Width", "300"}, {"SyncPass", "pw"}, {"FontName", "DejaVu Sans"}}, "a");
  const QString file = File("a.ovb");
  ASSERT_EQ(Run({"backup", file}, "a").code, 0);
  EXPECT_EQ(QFile::permissions(file) & 0x7077, OwnerOnly);
  ProgramResult r = Run({"restore", file}, "b");
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(Dump("b"), Dump("a"));
  EXPECT_TRUE(Dump("b").contains(QStringLiteral("Caf\u00e9 with Ann")));
  EXPECT_TRUE(Dump("b").contains(QStringLiteral("DejaVu Sans")));
  // A minus is the terminal; a sync file is read and written back, so the terminal cannot be one.
  r = Run({"backup", "-"}, "a");
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.contains(QStringLiteral("Width=300")));
  r = Run({"export-ics", "-"}, "a");
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(r.out.startsWith(QStringLiteral("BEGIN:VCALENDAR"))) << r.out.left(80).toStdString();
  EXPECT_TRUE(r.err.contains(QStringLiteral("standard output")));
  EXPECT_EQ(Run({"sync", "-"}, "a").code, 2);
  const QString before = Dump("a");
  QFile damaged(File("damaged.ovb"));
  ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray("\x02\0\0\0\x05\0\0\0Tit", 11)) == 11);
  damaged.close();
  for (const char* command : {"restore", "sync"}) {
    r = Run({command, damaged.fileName()}, "a");
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.err.trimmed(), QStringLiteral("orvane: Alert: The file is damaged or is not an Orvane file."))
        << command;
  }
  EXPECT_EQ(QFileInfo(damaged.fileName()).size(), 11);
  EXPECT_EQ(Run({"restore", File("none.ovb")}, "a").code, 1);
  EXPECT_EQ(Dump("a"), before);
}

TEST_F(FileCommands, TwoStoresSyncingThroughOneFileConverge) {
  Store(Sample, {}, "a");
  Store([](DataFormat& c) { AddTask(c, QStringLiteral("B's task")); }, {}, "b");
  for (const char* who : {"a", "b", "a"}) ASSERT_EQ(Run({"sync", File("shared.ovs")}, who).code, 0) << who;
  EXPECT_EQ(Records("a"), Records("b"));
  EXPECT_EQ(Records("a").size(), 5);
  EXPECT_TRUE(Dump("a").contains(QStringLiteral("B's task")));
  // The shared file and the data folder hold the calendar: their owner's only.
  EXPECT_EQ(QFile::permissions(File("shared.ovs")) & 0x7077, OwnerOnly);
  EXPECT_EQ(QFile::permissions(QFileInfo(DatabaseFile("a")).path()) & 0x7077, OwnerOnly | QFile::ExeOwner);
}

TEST_F(FileCommands, AWriteThatFailsKeepsTheOldFileAndSaysSoAndOnlyRegularFilesAreReadOrReplaced) {
  Store([](DataFormat& c) {
    for (int i = 0; i < 2000; ++i) {
      AddEvent(c, QStringLiteral("Event number %1, with a title long enough to fill the file").arg(i),
               D(2024, 3, 1) + i);
    }
  });
  // A disk that fills up half way through a write: no file grows past 64 KiB (room for the
  // store's shared-memory index, not for the files the commands write).
  constexpr qint64 FileLimit = 64 * 1024;
  const RunOptions full{.inChild = [] {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit;
    ::getrlimit(RLIMIT_FSIZE, &limit), limit.rlim_cur = FileLimit, ::setrlimit(RLIMIT_FSIZE, &limit);
  }};
  for (const char* command : {"backup", "sync", "export-ics"}) {
    const QString file = File(QStringLiteral("good.%1").arg(QString::fromLatin1(command)));
    ASSERT_EQ(Run({command, file}).code, 0) << command;
    const QByteArray good = Contents(file);
    ASSERT_GT(good.size(), FileLimit) << command;
    const ProgramResult r = Run({command, file}, {}, full);
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_TRUE(r.err.contains(file)) << r.err.toStdString();
    EXPECT_EQ(Contents(file), good) << command;
    EXPECT_EQ(QDir(dir_.path()).entryList({QFileInfo(file).fileName() + QLatin1Char('*')}, QDir::Files | QDir::Hidden),
              QStringList(QFileInfo(file).fileName()))
        << "a temporary file was left behind";
  }
  const QString fifo = File("pipe");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const char* command : {"backup", "restore", "sync", "export-ics", "import-ics"}) {
    const ProgramResult r = Run({command, fifo}, {}, {.guardMs = 30000});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_TRUE(r.err.contains(QStringLiteral("is not a regular file"))) << command << ": " << r.err.toStdString();
    EXPECT_FALSE(QFileInfo(fifo).isFile()) << command;
  }
  // The folder the user meant is no file either.
  EXPECT_EQ(Run({"export-ics", dir_.path()}).code, 1);
}

TEST_F(FileCommands, TheyRefuseWhileThePanelRunsWhateverExecutableRunsThem) {
  Store(Sample);
  SingleInstance panel(DatabaseFile());
  ASSERT_TRUE(panel.LockForCommand());
  // Another installed version, or a copy of the program elsewhere (with the module that reads
  // iCalendar files), uses the same calendar.
  QDir().mkpath(File("elsewhere"));
  ASSERT_TRUE(QFile::copy(binary_, File("elsewhere/orvane")));
  ASSERT_TRUE(QFile::copy(QFileInfo(binary_).dir().filePath(QStringLiteral("orvane-icalendar.so")),
                          File("elsewhere/orvane-icalendar.so")));
  for (const QString& program : {binary_, File("elsewhere/orvane")}) {
    binary_ = program;
    for (const char* command : {"backup", "restore", "sync", "import-ics"}) {
      const ProgramResult r = Run({command, File("x.ovs")});
      EXPECT_EQ(r.code, 1) << command;
      EXPECT_TRUE(r.err.startsWith(QStringLiteral("orvane %1: ").arg(QString::fromUtf8(command))))
          << r.err.toStdString();
    }
  }
  EXPECT_FALSE(QFileInfo::exists(File("x.ovs")));
}

TEST_F(FileCommands, ExportThenImportIntoAnotherStoreGivesTheSameDays) {
  Store(
      [](DataFormat& c) {
        TNote& weekly = AddEvent(c, QStringLiteral("Choir"), D(2024, 3, 5), EncodeTime(19, 0));
        weekly.EndTime = EncodeTime(21, 0), weekly.RepeatType = 3, weekly.RepeatFrequency = 1;
        weekly.RepeatTuesday = true, weekly.Exceptions = {D(2024, 3, 12)};
        AddEvent(c, QStringLiteral("Dentist"), D(2024, 3, 7));
        TToDo& task = AddTask(c, QStringLiteral("Taxes"));
        task.Priority = 1, task.DueDate = D(2024, 4, 15);
      },
      {}, "a");
  const QString file = File("out.ics");
  ProgramResult r = Run({"export-ics", file}, "a");
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out.trimmed(), QStringLiteral("Wrote 2 events and 1 task to %1").arg(file));
  // The titles of the events on a day, sorted, and the number of tasks.
  const auto on = [this](TDateTime day, const QString& who) {
    std::pair<QStringList, int> seen;
    Load(
        [&](DataFormat& calendar) {
          for (int i : calendar.FindDayEvents(day)) seen.first << calendar.NoteArray[i].Title;
          seen.first.sort();
          seen.second = calendar.ToDoCount();
        },
        who);
    return seen;
  };
  r = Run({"import-ics", file}, "b");
  ASSERT_EQ(r.code, 0) << r.err.toStdString();
  EXPECT_EQ(r.out.trimmed(), QStringLiteral("Imported 2 events and 1 task from %1").arg(file));
  for (TDateTime day = D(2024, 3, 1); day <= D(2024, 6, 30); day += 1) ASSERT_EQ(on(day, "b"), on(day, "a"));
  // A second import adds nothing.
  ASSERT_EQ(Run({"import-ics", file}, "b").code, 0);
  EXPECT_EQ(on(D(2024, 3, 19), "b"), std::make_pair(QStringList{QStringLiteral("Choir")}, 1));
}

}  // namespace
