// orvane export-ics and import-ics, run as a program over stores in temp folders.
#include "core/dataformat.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IcsCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
    ASSERT_TRUE(dir_.isValid());
  }

  QString Home(const QString& who) const { return dir_.path() + QLatin1Char('/') + who; }
  QString Database(const QString& who) const { return Home(who) + QStringLiteral("/data/orvane/orvane.db"); }

  void Fill(const QString& who) {
    ASSERT_TRUE(QDir().mkpath(Home(who) + QStringLiteral("/data/orvane")));
    auto opened = SqliteKeyStore::Open(Database(who));
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    TNote& weekly = calendar.NoteArray[calendar.AppendNote()];
    weekly.Title = QStringLiteral("Choir");
    weekly.StartDate = D(2024, 3, 5);
    weekly.Start = true;
    weekly.StartTime = EncodeTime(19, 0);
    weekly.EndTime = EncodeTime(21, 0);
    weekly.RepeatType = 3;
    weekly.RepeatFrequency = 1;
    weekly.RepeatTuesday = true;
    weekly.Exceptions = {D(2024, 3, 12)};
    TNote& once = calendar.NoteArray[calendar.AppendNote()];
    once.Title = QStringLiteral("Dentist");
    once.StartDate = D(2024, 3, 7);
    TToDo& task = calendar.ToDoArray[calendar.AppendToDo()];
    task.Title = QStringLiteral("Taxes");
    task.Priority = 1;
    task.DueDate = D(2024, 4, 15);
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*opened.store).ok);
  }

  // The titles of the events on a day in a store.
  QStringList TitlesOn(const QString& who, TDateTime day, int* tasks = nullptr) {
    auto opened = SqliteKeyStore::Open(Database(who));
    EXPECT_TRUE(opened.store);
    if (!opened.store) return {};
    FixedClock clock(0);
    DataFormat calendar(clock);
    calendar.LoadCalendar(*opened.store);
    if (tasks) *tasks = calendar.ToDoCount();
    calendar.FindDayEvents(day);
    QStringList titles;
    for (int i : calendar.DayEvents) titles << calendar.NoteArray[i].Title;
    titles.sort();
    return titles;
  }

  int Run(const QString& who, const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), Home(who) + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home(who) + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    p.setProcessEnvironment(env);
    p.start(binary_, args);
    if (!p.waitForFinished(120000)) return -1;
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  QString binary_;
  QTemporaryDir dir_;
};

TEST_F(IcsCommands, ExportThenImportIntoAnotherStoreGivesTheSameDays) {
  Fill(QStringLiteral("a"));
  const QString file = dir_.path() + QStringLiteral("/out.ics");
  QString out, err;
  ASSERT_EQ(Run(QStringLiteral("a"), {QStringLiteral("export-ics"), file}, &out, &err), 0) << err.toStdString();
  EXPECT_EQ(out.trimmed(), QStringLiteral("Wrote 2 events and 1 task to %1").arg(file));

  ASSERT_EQ(Run(QStringLiteral("b"), {QStringLiteral("import-ics"), file}, &out, &err), 0) << err.toStdString();
  EXPECT_EQ(out.trimmed(), QStringLiteral("Imported 2 events and 1 task from %1").arg(file));
  int tasks = 0;
  for (TDateTime day = D(2024, 3, 1); day <= D(2024, 6, 30); day += 1)
    ASSERT_EQ(TitlesOn(QStringLiteral("b"), day, &tasks), TitlesOn(QStringLiteral("a"), day));
  EXPECT_EQ(tasks, 1);

  // A second import adds nothing.
  ASSERT_EQ(Run(QStringLiteral("b"), {QStringLiteral("import-ics"), file}, &out, &err), 0) << err.toStdString();
  EXPECT_EQ(TitlesOn(QStringLiteral("b"), D(2024, 3, 19), &tasks), QStringList{QStringLiteral("Choir")});
  EXPECT_EQ(tasks, 1);
}

TEST_F(IcsCommands, BadFilesAndArgumentsFailWithAMessage) {
  Fill(QStringLiteral("a"));
  const QString junk = dir_.path() + QStringLiteral("/junk.ics");
  QFile file(junk);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not a calendar");
  file.close();
  QString out, err;
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("import-ics"), junk}, &out, &err), 1);
  EXPECT_TRUE(err.contains(QStringLiteral("not an iCalendar file"))) << err.toStdString();
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("import-ics"), dir_.path() + QStringLiteral("/none.ics")}, &out, &err), 1);
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("export-ics"), dir_.path() + QStringLiteral("/no/dir/x.ics")}, &out, &err), 1);
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("export-ics")}, &out, &err), 2);
  EXPECT_EQ(Run(QStringLiteral("a"), {QStringLiteral("import-ics"), junk, QStringLiteral("--what")}, &out, &err), 2);
  // The calendar is as it was.
  EXPECT_EQ(TitlesOn(QStringLiteral("a"), D(2024, 3, 7)), QStringList{QStringLiteral("Dentist")});
}

}  // namespace
