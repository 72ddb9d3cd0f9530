// orvane backup, restore and sync, run as a program over stores in temp folders.
#include "core/bytestream.h"
#include "core/dataformat.h"
#include "core/memorykeystore.h"
#include "platform/singleinstance.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FileCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
    ASSERT_TRUE(dir_.isValid());
    oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", dir_.path().toLocal8Bit());
  }
  void TearDown() override { qputenv("XDG_RUNTIME_DIR", oldRuntime_); }

  QString Home(const QString& who) const { return dir_.path() + QLatin1Char('/') + who; }
  QString Database(const QString& who) const { return Home(who) + QStringLiteral("/data/orvane/orvane.db"); }

  // Fills a store with a calendar and some settings.
  void Fill(const QString& who, const std::function<void(DataFormat&)>& fill,
            const QList<std::pair<QString, QString>>& settings) {
    ASSERT_TRUE(QDir().mkpath(Home(who) + QStringLiteral("/data/orvane")));
    auto opened = SqliteKeyStore::Open(Database(who));
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    fill(calendar);
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*opened.store).ok);
    ASSERT_TRUE(opened.store->OpenKey(QStringLiteral("\\Software\\Orvane"), true));
    for (const auto& [name, value] : settings) ASSERT_TRUE(opened.store->WriteString(name, value));
    opened.store->CloseKey();
  }

  // The whole store as text: calendar and settings.
  QString Dump(const QString& who) {
    auto opened = SqliteKeyStore::Open(Database(who));
    EXPECT_TRUE(opened.store);
    if (!opened.store) return QString();
    return opened.store->Dump();
  }

  // Every event and task of the store as bytes, sorted: equal when both hold the same
  // records in whatever order.
  QList<QByteArray> Records(const QString& who) {
    auto opened = SqliteKeyStore::Open(Database(who));
    EXPECT_TRUE(opened.store);
    QList<QByteArray> records;
    if (!opened.store) return records;
    FixedClock clock(0);
    DataFormat calendar(clock);
    calendar.LoadCalendar(*opened.store);
    for (const TNote& n : calendar.NoteArray) {
      QByteArray bytes;
      ByteWriter out(bytes);
      WriteNote(n, out);
      records << bytes;
    }
    for (const TToDo& t : calendar.ToDoArray) {
      QByteArray bytes;
      ByteWriter out(bytes);
      WriteToDo(t, out);
      records << bytes;
    }
    std::sort(records.begin(), records.end());
    return records;
  }

  int Run(const QString& who, const QStringList& args, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), Home(who) + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home(who) + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    p.setProcessEnvironment(env);
    p.start(binary_, args);
    EXPECT_TRUE(p.waitForFinished(20000));
    if (err) *err = QString::fromLocal8Bit(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  static void Sample(DataFormat& c) {
    TNote& n = c.NoteArray[c.AppendNote()];
    n.Title = QStringLiteral("Caf\u00e9 with Ann");
    n.StartDate = D(2024, 3, 4);
    n.StartTime = EncodeTime(9, 30);
    n.Start = true;
    n.RepeatType = 2;
    n.RepeatFrequency = 1;
    n.Exceptions = {D(2024, 3, 11)};
    n.RecurNotes = {TRecurNote{QStringLiteral("bring the book"), D(2024, 3, 18)}};
    const int gone = c.AppendNote();
    c.NoteArray[gone].Title = QStringLiteral("Cancelled");
    c.DeleteNote(gone);
    // Deleted yesterday by the real clock, so the commands' own saves keep it.
    c.NoteArray[gone].DeleteDate = FromQDateTime(QDateTime::currentDateTime()) - 1;
    c.ToDoArray[c.AppendToDo()].Title = QStringLiteral("Taxes");
    const int done = c.AppendToDo();
    c.ToDoArray[done].Title = QStringLiteral("Laundry");
    c.ToDoArray[done].Notes = {QStringLiteral("whites"), QStringLiteral("colours")};
    c.ToggleToDoCompleted(done);
  }

  QString binary_;
  QTemporaryDir dir_;
  QByteArray oldRuntime_;
};

TEST_F(FileCommands, BackupRestoresIntoAnEmptyStoreAsTheSameCalendarAndSettings) {
  Fill(QStringLiteral("a"), Sample,
       {{QStringLiteral("Width"), QStringLiteral("300")}, {QStringLiteral("SyncPass"), QStringLiteral("pw")},
        {QStringLiteral("FontName"), QStringLiteral("DejaVu Sans")}});
  const QString file = dir_.path() + QStringLiteral("/a.ovb");
  QString err;
  ASSERT_EQ(Run(QStringLiteral("a"), {QStringLiteral("backup"), file}, &err), 0) << err.toStdString();
  EXPECT_EQ(QFile::permissions(file) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);

  ASSERT_EQ(Run(QStringLiteral("b"), {QStringLiteral("restore"), file}, &err), 0) << err.toStdString();
  EXPECT_EQ(Dump(QStringLiteral("b")), Dump(QStringLiteral("a")));
  EXPECT_TRUE(Dump(QStringLiteral("b")).contains(QStringLiteral("Caf\u00e9 with Ann")));
  EXPECT_TRUE(Dump(QStringLiteral("b")).contains(QStringLiteral("DejaVu Sans")));
}

TEST_F(FileCommands, TwoStoresSyncingThroughOneFileConverge) {
  Fill(QStringLiteral("a"), Sample, {});
  Fill(QStringLiteral("b"), [](DataFormat& c) { c.ToDoArray[c.AppendToDo()].Title = QStringLiteral("B's task"); }, {});
  const QString file = dir_.path() + QStringLiteral("/shared.ovs");
  for (const char* who : {"a", "b", "a"}) {
    QString err;
    ASSERT_EQ(Run(QString::fromUtf8(who), {QStringLiteral("sync"), file}, &err), 0) << err.toStdString();
  }
  EXPECT_EQ(Records(QStringLiteral("a")), Records(QStringLiteral("b")));
  EXPECT_EQ(Records(QStringLiteral("a")).size(), 5);
  const QString a = Dump(QStringLiteral("a"));
  EXPECT_TRUE(a.contains(QStringLiteral("B's task")));
  EXPECT_TRUE(a.contains(QStringLiteral("Laundry")));
}

TEST_F(FileCommands, ADamagedFileChangesNothingAndSaysSo) {
  Fill(QStringLiteral("a"), Sample, {{QStringLiteral("Width"), QStringLiteral("300")}});
  const QString before = Dump(QStringLiteral("a"));
  const QString file = dir_.path() + QStringLiteral("/damaged.ovb");
  {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\x02\0\0\0\x05\0\0\0Tit", 11));
  }
  for (const char* command : {"restore", "sync"}) {
    QString err;
    EXPECT_EQ(Run(QStringLiteral("a"), {QString::fromUtf8(command), file}, &err), 1) << command;
    EXPECT_EQ(err.trimmed(), QStringLiteral("orvane: Alert: The file is damaged or is not an Orvane file.")) << command;
    EXPECT_EQ(Dump(QStringLiteral("a")), before) << command;
  }
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.size(), 11);
}

TEST_F(FileCommands, AMissingFileIsAOneLineError) {
  Fill(QStringLiteral("a"), Sample, {});
  const QString before = Dump(QStringLiteral("a"));
  QString err;
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("restore"), dir_.path() + QStringLiteral("/none.ovb")}, &err), 1);
  EXPECT_EQ(err.trimmed().count(QLatin1Char('\n')), 0) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("none.ovb")));
  EXPECT_EQ(Dump(QStringLiteral("a")), before);
}

TEST_F(FileCommands, TheyRefuseWhileThePanelRuns) {
  Fill(QStringLiteral("a"), Sample, {});
  SingleInstance panel(binary_);
  ASSERT_TRUE(panel.LockForCommand());
  const QString file = dir_.path() + QStringLiteral("/x.ovs");
  for (const char* command : {"backup", "restore", "sync"}) {
    QString err;
    EXPECT_EQ(Run(QStringLiteral("a"), {QString::fromUtf8(command), file}, &err), 1) << command;
    EXPECT_TRUE(err.startsWith(QStringLiteral("orvane %1: ").arg(QString::fromUtf8(command)))) << err.toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(FileCommands, WrongArgumentsShowTheUsage) {
  QString err;
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("backup")}, &err), 2);
  EXPECT_TRUE(err.contains(QStringLiteral("usage: orvane backup FILE.ovb")));
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("sync"), QStringLiteral("a"), QStringLiteral("b")}, &err), 2);
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("restore"), QStringLiteral("--force"), QStringLiteral("x")}, &err), 2);
}

}  // namespace
