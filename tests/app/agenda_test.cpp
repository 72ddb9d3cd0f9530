// orvane agenda, run as a program over a calendar written to its store beforehand.
#include "core/dataformat.h"
#include "platform/sqlitekeystore.h"
#include "support/testutil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class AgendaCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath();
    ASSERT_FALSE(binary_.isEmpty()) << "ORVANE_BINARY is not set";
    ASSERT_TRUE(dir_.isValid());
  }

  QString DataHome() const { return dir_.path() + QStringLiteral("/data") + home_; }

  // Writes the calendar into the store the program will read.
  void Store(const std::function<void(DataFormat&)>& fill) {
    ASSERT_TRUE(QDir().mkpath(DataHome() + QStringLiteral("/orvane")));
    auto opened = SqliteKeyStore::Open(DataHome() + QStringLiteral("/orvane/orvane.db"));
    ASSERT_TRUE(opened.store) << opened.error.toStdString();
    FixedClock clock(DT(2024, 3, 1, 9, 0));
    DataFormat calendar(clock);
    fill(calendar);
    calendar.DataChanged = true;
    ASSERT_TRUE(calendar.SaveIfChanged(*opened.store).ok);
  }

  // Runs orvane agenda; gives the exit code, standard output in out and errors in err.
  int Run(const QStringList& args, QString* out, QString* err = nullptr) {
    return RunProgram(QStringList{QStringLiteral("agenda")} + args, out, err);
  }

  int RunProgram(const QStringList& args, QString* out, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), DataHome());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(binary_, args);
    EXPECT_TRUE(p.waitForFinished(20000));
    if (out) *out = QString::fromUtf8(p.readAllStandardOutput());
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  }

  QTemporaryDir dir_;
  QString binary_;
  QString home_;  // which user's data folder the next run uses
};

TEST_F(AgendaCommand, PrintsEachDayThenTheOpenTasks) {
  Store([](DataFormat& c) {
    TNote& holiday = c.NoteArray[static_cast<size_t>(c.AppendNote())];
    holiday.Title = QStringLiteral("Holiday");
    holiday.StartDate = D(2024, 3, 5);
    TNote& dentist = c.NoteArray[static_cast<size_t>(c.AppendNote())];
    dentist.Title = QStringLiteral("Dentist");
    dentist.StartDate = D(2024, 3, 5);
    dentist.Start = true;
    dentist.StartTime = EncodeTime(9, 30);
    TNote& standup = c.NoteArray[static_cast<size_t>(c.AppendNote())];
    standup.Title = QStringLiteral("Standup");
    standup.StartDate = D(2024, 3, 4);
    standup.Start = true;
    standup.StartTime = EncodeTime(10, 0);
    standup.RepeatType = 2;  // every weekday
    standup.RepeatFrequency = 1;
    const int gone = c.AppendNote();
    c.NoteArray[static_cast<size_t>(gone)].Title = QStringLiteral("Cancelled");
    c.NoteArray[static_cast<size_t>(gone)].StartDate = D(2024, 3, 6);
    c.DeleteNote(gone);

    TToDo& low = c.ToDoArray[static_cast<size_t>(c.AppendToDo())];
    low.Title = QStringLiteral("Water plants");
    low.Priority = 3;
    TToDo& rent = c.ToDoArray[static_cast<size_t>(c.AppendToDo())];
    rent.Title = QStringLiteral("Pay rent");
    rent.Priority = 1;
    rent.DueDate = D(2024, 3, 8);
    const int done = c.AppendToDo();
    c.ToDoArray[static_cast<size_t>(done)].Title = QStringLiteral("Done already");
    c.ToggleToDoCompleted(done);
  });
  QString out;
  ASSERT_EQ(Run({QStringLiteral("--date"), QStringLiteral("2024-03-05"), QStringLiteral("--days"), QStringLiteral("3")}, &out), 0);
  EXPECT_EQ(out, QStringLiteral("Events for 03/05/2024:\nHoliday\n9:30 AM Dentist\n10:00 AM Standup\n\n"
                                "Events for 03/06/2024:\n10:00 AM Standup\n\n"
                                "Events for 03/07/2024:\n10:00 AM Standup\n\n"
                                "Tasks\n"
                                "Pay rent (High) due 3/8/2024\n"
                                "Water plants (Low)\n"));
}

TEST_F(AgendaCommand, SameDaysAfterABackupIsRestoredElsewhere) {
  Store([](DataFormat& c) {
    for (int k = 0; k < 6; ++k) {
      TNote& n = c.NoteArray[static_cast<size_t>(c.AppendNote())];
      n.Title = QStringLiteral("Event %1").arg(k);
      n.StartDate = D(2024, 3, 4 + k % 3);
      n.Start = true;
      n.StartTime = EncodeTime(8 + k, 0);
      n.RepeatType = k == 0 ? 3 : 0;  // the first every Monday and Wednesday
      n.RepeatFrequency = 1;
      n.SetRepeatOn(1, true);
      n.SetRepeatOn(3, true);
    }
    c.ToggleException(0, D(2024, 3, 11));
  });
  const QStringList week = {QStringLiteral("--date"), QStringLiteral("2024-03-04"), QStringLiteral("--days"),
                            QStringLiteral("10")};
  QString before;
  ASSERT_EQ(Run(week, &before), 0);
  const QString backup = dir_.path() + QStringLiteral("/calendar.ovb");
  ASSERT_EQ(RunProgram({QStringLiteral("backup"), backup}, nullptr), 0);

  home_ = QStringLiteral("/elsewhere");
  QString restored;
  ASSERT_EQ(RunProgram({QStringLiteral("restore"), backup}, nullptr), 0);
  ASSERT_EQ(Run(week, &restored), 0);
  EXPECT_EQ(restored, before);
  EXPECT_TRUE(before.contains(QStringLiteral("Events for 03/06/2024:\n8:00 AM Event 0\n10:00 AM Event 2\n1:00 PM Event 5\n\n")))
      << before.toStdString();
  EXPECT_TRUE(before.contains(QStringLiteral("Events for 03/11/2024:\nNo events listed.")));
  EXPECT_TRUE(before.contains(QStringLiteral("Events for 03/13/2024:\n8:00 AM Event 0\n\n")));
}

TEST_F(AgendaCommand, SevenDaysFromTodayOnAnEmptyCalendar) {
  QString out;
  ASSERT_EQ(Run({}, &out), 0);
  EXPECT_EQ(out.count(QStringLiteral("Events for ")), 7);
  EXPECT_EQ(out.count(QStringLiteral("No events listed.")), 7);
  EXPECT_TRUE(out.endsWith(QStringLiteral("\n\nTasks\n")));
}

struct BadArgs {
  const char* name;
  QStringList args;
};

void PrintTo(const BadArgs& row, std::ostream* os) { *os << row.name; }

class AgendaBadArguments : public AgendaCommand, public ::testing::WithParamInterface<BadArgs> {};

TEST_P(AgendaBadArguments, ExitTwoWithTheUsage) {
  QString out, err;
  EXPECT_EQ(Run(GetParam().args, &out, &err), 2);
  EXPECT_TRUE(out.isEmpty());
  EXPECT_TRUE(err.contains(QStringLiteral("usage: orvane agenda [--date YYYY-MM-DD] [--days N]"))) << err.toStdString();
  EXPECT_EQ(err.count(QLatin1Char('\n')), 2) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Agenda, AgendaBadArguments,
    ::testing::Values(BadArgs{"NotADate", {QStringLiteral("--date"), QStringLiteral("2024-02-30")}},
                      BadArgs{"DateInAnotherForm", {QStringLiteral("--date"), QStringLiteral("3/5/2024")}},
                      BadArgs{"DateWithoutValue", {QStringLiteral("--date")}},
                      BadArgs{"DaysNotANumber", {QStringLiteral("--days"), QStringLiteral("seven")}},
                      BadArgs{"ZeroDays", {QStringLiteral("--days"), QStringLiteral("0")}},
                      BadArgs{"UnknownOption", {QStringLiteral("--weeks"), QStringLiteral("2")}},
                      BadArgs{"StrayArgument", {QStringLiteral("tomorrow")}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
