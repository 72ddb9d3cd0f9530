// The program as a whole: its command line, a single copy per user, shutdown on signals,
// and the calendar's save when the store fails.
#include "app/appcontext.h"
#include "core/memorykeystore.h"
#include "platform/singleinstance.h"
#include "support/programrun.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <signal.h>

namespace {

using ProgramRun = ProgramTest;

TEST_F(ProgramRun, VersionAndHelp) {
  ProgramResult r = Run({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Orvane \\d+\\.\\d+\\.\\d+\\.\\d+\\n$")).match(r.out).hasMatch())
      << r.out.toStdString();
  r = Run({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE((r.out + r.err).contains(QStringLiteral("orvane --version")));
}

TEST_F(ProgramRun, ASecondStartLeavesOneCopyRunningAndSignalsEndItCleanly) {
  // The first-run questions answered beforehand: no weather, no network synchronisation.
  Store(nullptr, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
  const auto listening = [this] {
    for (int i = 0; i < 600 && !QFileInfo::exists(SingleInstance::ServerName(binary_)); ++i) QThread::msleep(50);
    return QFileInfo::exists(SingleInstance::ServerName(binary_));
  };
  for (const int signal : {SIGTERM, SIGINT}) {
    QProcess* first = Start({});
    ASSERT_TRUE(listening()) << first->readAllStandardError().toStdString();
    if (signal == SIGTERM) {
      const ProgramResult second = Run({});
      EXPECT_EQ(second.code, 0) << second.err.toStdString();
      EXPECT_EQ(first->state(), QProcess::Running);
    }
    ::kill(static_cast<pid_t>(first->processId()), signal);
    ASSERT_TRUE(first->waitForFinished(30000)) << first->readAllStandardError().toStdString();
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
  }
}

TEST(SavingTheCalendar, AFailureIsShownOnceUntilItChanges) {
  auto dialogs = std::make_unique<ScriptedDialogs>();
  auto store = std::make_unique<MemoryKeyStore>();
  ScriptedDialogs& asked = *dialogs;
  MemoryKeyStore& memory = *store;
  AppContext context(std::make_unique<FixedClock>(DT(2024, 3, 5, 12, 0)), std::move(dialogs), std::move(store));
  context.calendar().AppendNote();
  memory.FailWritesOf(QStringLiteral("Title"));

  asked.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(context.SaveCalendar());
  EXPECT_FALSE(context.SaveCalendar());  // the same error: not shown again
  EXPECT_TRUE(context.calendar().DataChanged);
  ASSERT_EQ(asked.asked().size(), 1u);
  EXPECT_TRUE(asked.LastText().contains(QStringLiteral("Title")));

  memory.FailWritesOf(QString());
  EXPECT_TRUE(context.SaveCalendar());
  EXPECT_FALSE(context.calendar().DataChanged);

  // After a success the same failure is news again.
  context.calendar().NoteArray[0].Title = QStringLiteral("edited");
  context.calendar().DataChanged = true;
  memory.FailWritesOf(QStringLiteral("Title"));
  asked.AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(context.SaveCalendar());
  EXPECT_EQ(asked.asked().size(), 2u);
}

}  // namespace
