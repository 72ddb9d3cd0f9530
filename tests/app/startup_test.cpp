// The program as a whole: its command line, a single copy per user, shutdown on signals.
#include "app/appcontext.h"
#include "core/memorykeystore.h"
#include "platform/singleinstance.h"
#include "platform/sqlitekeystore.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

QString Binary() { return QFileInfo(qEnvironmentVariable("ORVANE_BINARY")).canonicalFilePath(); }

// A process environment of its own: data, configuration and runtime folders in a temp dir.
class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Binary().isEmpty()) << "ORVANE_BINARY is not set";
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert(QStringLiteral("XDG_DATA_HOME"), dir_.path() + QStringLiteral("/data"));
    env_.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path() + QStringLiteral("/config"));
    env_.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    oldRuntime_ = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", dir_.path().toLocal8Bit());
    // Answer the first-run questions beforehand: no weather, no network synchronisation.
    auto store = SqliteKeyStore::Open(dir_.path() + QStringLiteral("/data/orvane/orvane.db")).store;
    ASSERT_TRUE(store && store->OpenKey(QStringLiteral("\\Software\\Orvane"), true));
    store->WriteString(QStringLiteral("DisplayWeather"), QStringLiteral("0"));
    store->WriteString(QStringLiteral("EnableSync"), QStringLiteral("0"));
  }
  void TearDown() override {
    for (QProcess* p : started_) {
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(3000);
      }
      delete p;
    }
    qputenv("XDG_RUNTIME_DIR", oldRuntime_);
  }
  QProcess* Start(const QStringList& args) {
    auto* p = new QProcess;
    started_.push_back(p);
    p->setProcessEnvironment(env_);
    p->start(Binary(), args);
    EXPECT_TRUE(p->waitForStarted(5000));
    return p;
  }
  // Runs to the end and gives the exit code; output in out.
  int Run(const QStringList& args, QString* out = nullptr, int timeoutMs = 20000) {
    QProcess* p = Start(args);
    EXPECT_TRUE(p->waitForFinished(timeoutMs)) << "still running: " << args.join(' ').toStdString();
    if (out) *out = QString::fromLocal8Bit(p->readAllStandardOutput() + p->readAllStandardError());
    return p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
  }
  bool WaitUntilListening() {
    const QString socket = SingleInstance::ServerName(Binary());
    for (int i = 0; i < 600; ++i) {
      if (QFileInfo::exists(socket)) return true;
      QThread::msleep(50);
    }
    return false;
  }

  QTemporaryDir dir_;
  QProcessEnvironment env_;
  QByteArray oldRuntime_;
  std::vector<QProcess*> started_;
};

TEST_F(ProgramRun, VersionNamesTheProgramAndItsFourPartVersion) {
  QString out;
  EXPECT_EQ(Run({QStringLiteral("--version")}, &out), 0);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Orvane \\d+\\.\\d+\\.\\d+\\.\\d+\\n$")).match(out).hasMatch())
      << out.toStdString();
}

TEST_F(ProgramRun, HelpListsTheCommandsAndUnknownCommandsAreRefused) {
  QString out;
  EXPECT_EQ(Run({QStringLiteral("--help")}, &out), 0);
  EXPECT_TRUE(out.contains(QStringLiteral("orvane --version")));
  EXPECT_EQ(Run({QStringLiteral("frobnicate")}, &out), 2);
  EXPECT_TRUE(out.contains(QStringLiteral("unknown command")));
}

TEST_F(ProgramRun, ASecondStartLeavesOneCopyRunningAndSignalsEndItCleanly) {
  QProcess* first = Start({});
  ASSERT_TRUE(WaitUntilListening()) << first->readAllStandardError().toStdString();
  QString out;
  EXPECT_EQ(Run({}, &out, 30000), 0) << out.toStdString();
  EXPECT_EQ(first->state(), QProcess::Running);

  ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
  ASSERT_TRUE(first->waitForFinished(30000)) << first->readAllStandardError().toStdString();
  EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(first->exitCode(), 0);

  // With the first copy gone, a new one runs again.
  QProcess* again = Start({});
  ASSERT_TRUE(WaitUntilListening());
  ::kill(static_cast<pid_t>(again->processId()), SIGINT);
  ASSERT_TRUE(again->waitForFinished(30000)) << again->readAllStandardError().toStdString();
  EXPECT_EQ(again->exitCode(), 0);
}

TEST_F(ProgramRun, WithoutADisplayThePanelSaysWhatItNeeds) {
  env_.remove(QStringLiteral("QT_QPA_PLATFORM"));
  env_.remove(QStringLiteral("DISPLAY"));
  env_.remove(QStringLiteral("WAYLAND_DISPLAY"));
  QString out;
  EXPECT_EQ(Run({}, &out), 1);
  EXPECT_TRUE(out.contains(QStringLiteral("DISPLAY"))) << out.toStdString();
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
