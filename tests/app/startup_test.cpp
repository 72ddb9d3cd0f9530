// The program as a whole: a single copy per user, shutdown on signals, and the calendar's save
// when the store fails or another program wrote to it.
#include "core/memorykeystore.h"
#include "platform/singleinstance.h"
#include "platform/sqlitekeystore.h"
#include "session/appcontext.h"
#include "support/fakeservices.h"
#include "support/programrun.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include <signal.h>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

namespace {

using ProgramRun = ProgramTest;

TEST_F(ProgramRun, VersionHelpAndASecondStartLeaveOneCopyRunningAndSignalsEndItCleanly) {
  ProgramResult r = Run({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^Orvane \\d+\\.\\d+\\.\\d+\\.\\d+\\n$")).match(r.out).hasMatch())
      << r.out.toStdString();
  r = Run({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_TRUE((r.out + r.err).contains(QStringLiteral("orvane --version")));
  // The first-run questions answered beforehand: no weather, no network synchronisation.
  Store(nullptr, {{"DisplayWeather", "0"}, {"EnableSync", "0"}});
  for (const int signal : {SIGTERM, SIGINT}) {
    QProcess* first = Start({});
    for (int i = 0; i < 600 && !QFileInfo::exists(SingleInstance::ServerName(DatabaseFile())); ++i) QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(SingleInstance::ServerName(DatabaseFile())))
        << first->readAllStandardError().toStdString();
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

// The titles of the events a store holds.
QStringList StoredTitles(KeyStore& store) {
  FixedClock clock(0);
  DataFormat calendar(clock);
  calendar.LoadCalendar(store);
  QStringList titles;
  for (const TNote& note : calendar.NoteArray) titles << note.Title;
  titles.sort();
  return titles;
}

// A context over a store of memory the test can make fail, answering its messages from a script.
struct Saving : ::testing::Test {
  void Make(std::unique_ptr<KeyStore> store) {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    context = std::make_unique<AppContext>(std::make_unique<FixedClock>(DT(2024, 3, 5, 12, 0)), std::move(scripted),
                                           std::move(store));
  }
  void Change(const QString& title) {
    if (context->calendar().NoteCount() == 0) AddEvent(context->calendar(), title, D(2024, 3, 6));
    context->calendar().NoteArray[0].Title = title;
    context->calendar().DataChanged = true;
  }
  MemoryKeyStore* memory = nullptr;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<AppContext> context;
};

TEST_F(Saving, AFailureIsShownOnceUntilItChangesAndARestoreIsStoredWithItsSettingsOrNotAtAll) {
  auto store = std::make_unique<MemoryKeyStore>();
  memory = store.get();
  Make(std::move(store));
  Change(QStringLiteral("Before"));
  memory->FailWritesOf(QStringLiteral("Title"));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(context->SaveCalendar());
  EXPECT_FALSE(context->SaveCalendar());  // the same error: not shown again
  EXPECT_TRUE(context->calendar().DataChanged);
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_TRUE(dialogs->LastText().contains(QStringLiteral("Title")));
  memory->FailWritesOf(QString());
  EXPECT_TRUE(context->SaveCalendar());
  EXPECT_FALSE(context->calendar().DataChanged);
  // After a success the same failure is news again.
  Change(QStringLiteral("Edited"));
  memory->FailWritesOf(QStringLiteral("Title"));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(context->SaveCalendar());
  EXPECT_EQ(dialogs->asked().size(), 2u);
  memory->FailWritesOf(QString());
  ASSERT_TRUE(context->SaveCalendar());
  // What a restore leaves: another calendar and other settings, stored together.
  context->calendar().ClearCalendar();
  Change(QStringLiteral("Restored"));
  context->settings().SetSetting(QStringLiteral("Width"), QStringLiteral("300"));
  context->settings().SetSetting(QStringLiteral("RunAtStartup"), QStringLiteral("-1"));
  FakeAutostart autostart;
  context->SetAutostart(&autostart);
  memory->FailWritesOf(QStringLiteral("Width"));
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_FALSE(context->SaveCalendarAndSettings());
  EXPECT_EQ(StoredTitles(*memory), QStringList({"Edited"}));
  // The program starts at logon only once the restored settings are stored.
  EXPECT_EQ(autostart.on, std::nullopt);
  memory->FailWritesOf(QString());
  EXPECT_TRUE(context->SaveCalendarAndSettings());
  EXPECT_EQ(StoredTitles(*memory), QStringList({"Restored"}));
  EXPECT_EQ(autostart.on, true);
  ASSERT_TRUE(memory->OpenKey(QStringLiteral("\\Software\\Orvane"), false));
  EXPECT_EQ(memory->ReadString(QStringLiteral("Width")), QStringLiteral("300"));
}

TEST_F(Saving, AStoreChangedByAnotherProgramIsMergedNotOverwritten) {
  TempHome home;
  const QString path = home.path() + QStringLiteral("/orvane.db");
  Make(std::move(SqliteKeyStore::Open(path).store));
  context->calendar().LoadCalendar(context->store());
  {
    // Another program (one that ignored the lock) adds an event while this one runs.
    auto other = SqliteKeyStore::Open(path).store;
    FixedClock clock(DT(2024, 3, 5, 12, 0));
    DataFormat theirs(clock);
    theirs.LoadCalendar(*other);
    AddEvent(theirs, QStringLiteral("Theirs"), D(2024, 3, 6));
    theirs.DataChanged = true;
    ASSERT_TRUE(theirs.SaveIfChanged(*other).ok);
  }
  AddEvent(context->calendar(), QStringLiteral("Mine"), D(2024, 3, 7));
  context->calendar().DataChanged = true;
  dialogs->AnswerMessage(Dialogs::Answer::Ok);
  EXPECT_TRUE(context->SaveCalendar());
  EXPECT_EQ(StoredTitles(*SqliteKeyStore::Open(path).store), QStringList({"Mine", "Theirs"}));
  EXPECT_EQ(dialogs->asked().size(), 1u);
  // With nobody else writing, saves go on without a word.
  context->calendar().NoteArray[0].Title = QStringLiteral("Mine, edited");
  context->calendar().DataChanged = true;
  EXPECT_TRUE(context->SaveCalendar());
  EXPECT_EQ(StoredTitles(*SqliteKeyStore::Open(path).store), QStringList({"Mine, edited", "Theirs"}));
  EXPECT_EQ(dialogs->asked().size(), 1u);
}

}  // namespace
