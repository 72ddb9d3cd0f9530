// The panel's background synchronisation with a calendar server: when it runs, what it does
// with changes made while an answer is on its way or while an editor holds a record, how it
// backs off and what it says when the server fails, and a refused password. In memory, then
// against Radicale.
#include "fakecalendarserver.h"
#include "loopbackserver.h"
#include "radicaleserver.h"
#include "support/scripteddialogs.h"
#include "support/testutil.h"

#include "core/backupfiles.h"
#include "core/memorykeystore.h"
#include "core/paths.h"
#include "network/caldavclient.h"
#include "network/serversync.h"
#include "session/appcontext.h"

#include <gtest/gtest.h>
#include <QDir>

namespace {

QByteArray Object(const char* uid, const char* title) {
  return QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:") + uid +
         "\r\nDTSTAMP:20261207T150000Z\r\nLAST-MODIFIED:20261207T150000Z\r\nDTSTART:20261208T100000\r\n"
         "DTEND:20261208T110000\r\nSUMMARY:" +
         title + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// The fake server as a client made for one password: a password other than the accepted one
// is refused as a server refuses it.
class Signed : public CalendarServer {
 public:
  Signed(FakeCalendarServer& server, bool accepted) : server_(server), accepted_(accepted) {}
  void Discover(ServerCallback done) override { server_.Discover(std::move(done)); }
  void MakeCalendar(const QString& h, const QString& n, ServerCallback done) override {
    server_.MakeCalendar(h, n, std::move(done));
  }
  void Changes(const QString& c, const QString& t, ServerCallback done) override {
    if (Refused(done)) return;
    server_.Changes(c, t, std::move(done));
  }
  void List(const QString& c, ServerCallback done) override {
    if (Refused(done)) return;
    server_.List(c, std::move(done));
  }
  void Fetch(const QString& c, const QStringList& p, ServerCallback done) override {
    if (Refused(done)) return;
    server_.Fetch(c, p, std::move(done));
  }
  void Put(const QString& p, const QByteArray& d, const QString& e, ServerCallback done) override {
    if (Refused(done)) return;
    server_.Put(p, d, e, std::move(done));
  }
  void Remove(const QString& p, const QString& e, ServerCallback done) override {
    if (Refused(done)) return;
    server_.Remove(p, e, std::move(done));
  }

 private:
  bool Refused(ServerCallback& done) {
    if (accepted_) return false;
    ServerAnswer answer;
    answer.status = 401;
    answer.error = QStringLiteral("the server refused the user name or password");
    QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
    return true;
  }
  FakeCalendarServer& server_;
  bool accepted_;
};

// A running panel's calendar with its synchronisation, against the server in memory.
class ServerSyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home = std::make_unique<TempHome>();
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    auto fixed = std::make_unique<FixedClock>(DT(2026, 12, 7, 9, 0));
    clock = fixed.get();
    context = std::make_unique<AppContext>(std::move(fixed), std::move(scripted), std::make_unique<MemoryKeyStore>());
    TSettings& settings = context->settings();
    settings.SetSetting(ServerAccount::UrlSetting, QStringLiteral("http://127.0.0.1:5232/"));
    settings.SetSetting(ServerAccount::UserSetting, QStringLiteral("alice"));
    settings.SetSetting(ServerAccount::CalendarSetting, server.collection);
    sync = std::make_unique<ServerSync>(calendar(), context->store(), settings, context->dialogs());
    sync->MakeServer = [this](const ServerAccount&, const QString& password) {
      return std::make_unique<Signed>(server, password == accepted);
    };
    sync->LoadPassword = [this](const ServerAccount&, ServerSync::PasswordDone done) {
      done(kept, serverpassword::Place::SecretStore, QString());
    };
    sync->StorePassword = [this](const ServerAccount&, const QString& password, serverpassword::Place) {
      kept = password;
      return true;
    };
    QObject::connect(sync.get(), &ServerSync::Finished, [this] { ++runs; });
  }
  DataFormat& calendar() { return context->calendar(); }
  // Starts a run now and waits for its end.
  void RunOnce() {
    const int before = runs;
    sync->SyncNow();
    ASSERT_TRUE(SpinUntil([&] { return runs > before; }));
  }
  int AddEvent(const QString& title) {
    const int i = calendar().AppendNote();
    TNote& note = calendar().NoteArray[i];
    note.Title = title;
    note.StartDate = D(2026, 12, 9);
    note.RepeatFrequency = 1;
    calendar().DataChanged = true;
    return i;
  }
  const TNote* Live(const QString& uid) const {
    for (const TNote& note : context->calendar().NoteArray)
      if (note.Uid == uid && note.DeleteDate == 0) return &note;
    return nullptr;
  }
  bool ServerHas(const char* text) const {
    for (const auto& [path, resource] : server.resources)
      if (resource.data.contains(text)) return true;
    return false;
  }

  std::unique_ptr<TempHome> home;
  FakeCalendarServer server;
  QString accepted = QStringLiteral("secret");
  QString kept = QStringLiteral("secret");
  ScriptedDialogs* dialogs = nullptr;
  FixedClock* clock = nullptr;
  std::unique_ptr<AppContext> context;
  std::unique_ptr<ServerSync> sync;
  int runs = 0;
};

TEST_F(ServerSyncTest, RunsAtStartThenAMinuteAfterTheLastChangeHereThenAtTheInterval) {
  server.Write(server.collection + QStringLiteral("phone-1.ics"), Object("phone-1", "Lunch"));
  sync->ChangeDelayMs = 45 * 1000;
  sync->Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 1; }));
  ASSERT_NE(Live(QStringLiteral("phone-1")), nullptr);
  EXPECT_EQ(sync->StatusLine(), QStringLiteral("Last synchronized 9:00"));
  EXPECT_GT(sync->NextRunMs(), 14 * 60 * 1000);

  // Each change here starts the minute again.
  AddEvent(QStringLiteral("Dentist"));
  ASSERT_TRUE(SpinUntil([&] { return sync->NextRunMs() >= 0 && sync->NextRunMs() <= 45 * 1000; }));
  RunOnce();
  EXPECT_TRUE(sync->LastReport().agree);
  EXPECT_TRUE(ServerHas("SUMMARY:Dentist"));
  // Its own changes to the calendar (the server copies it saved) are not taken for changes here.
  EXPECT_GT(sync->NextRunMs(), 14 * 60 * 1000);
}

TEST_F(ServerSyncTest, AnEditMadeWhileItsUploadIsOnItsWayGoesUpNext) {
  const int i = AddEvent(QStringLiteral("Dentist"));
  sync->Start();
  server.interfere = [&](const QByteArray& verb, const QString&, bool& wrote) -> std::optional<ServerAnswer> {
    // The user edits the event before the answer comes.
    if (verb == "PUT") {
      QTimer::singleShot(0, [&, i] {
        calendar().NoteArray[i].Title = QStringLiteral("Dentist at 11");
        calendar().DataChanged = true;
      });
    }
    wrote = true;
    return std::nullopt;
  };
  ASSERT_TRUE(SpinUntil([&] { return runs == 1; }));
  // The calendar's first synchronisation was preceded by a backup.
  EXPECT_EQ(QDir(UserDataDir()).entryList({QStringLiteral("*.ovb")}).size(), 1);
  EXPECT_TRUE(ServerHas("SUMMARY:Dentist\r\n"));
  EXPECT_FALSE(sync->LastReport().agree);
  EXPECT_LE(sync->NextRunMs(), sync->ChangeDelayMs);
  server.interfere = nullptr;
  RunOnce();
  EXPECT_TRUE(ServerHas("SUMMARY:Dentist at 11"));
  EXPECT_TRUE(sync->LastReport().agree);
}

TEST_F(ServerSyncTest, WhatTheServerChangedOfARecordOpenInAnEditorWaitsUntilItCloses) {
  server.Write(server.collection + QStringLiteral("a.ics"), Object("a", "Lunch"));
  server.Write(server.collection + QStringLiteral("b.ics"), Object("b", "Gym"));
  sync->Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 1; }));
  server.Write(server.collection + QStringLiteral("a.ics"), Object("a", "Lunch with Sam"));
  server.Erase(server.collection + QStringLiteral("b.ics"));

  bool editing = true;
  sync->InUse = [&](const QString& uid) { return editing && (uid == "a" || uid == "b"); };
  RunOnce();
  ASSERT_NE(Live(QStringLiteral("a")), nullptr);
  EXPECT_EQ(Live(QStringLiteral("a"))->Title, QStringLiteral("Lunch"));
  EXPECT_NE(Live(QStringLiteral("b")), nullptr);
  EXPECT_EQ(sync->LastReport().postponed.size(), 2);
  EXPECT_LE(sync->NextRunMs(), sync->ChangeDelayMs);

  editing = false;
  RunOnce();
  EXPECT_EQ(Live(QStringLiteral("a"))->Title, QStringLiteral("Lunch with Sam"));
  EXPECT_EQ(Live(QStringLiteral("b")), nullptr);
  EXPECT_TRUE(sync->LastReport().agree);
}

TEST_F(ServerSyncTest, FailuresBackOffUpToTheIntervalAndSaySinceWhen) {
  context->settings().SetInt(ServerAccount::IntervalSetting, 2);
  server.interfere = [](const QByteArray&, const QString&, bool&) -> std::optional<ServerAnswer> {
    ServerAnswer answer;
    answer.error = QStringLiteral("connection refused");
    return answer;
  };
  sync->Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 1; }));
  EXPECT_TRUE(sync->Failing());
  EXPECT_EQ(sync->StatusLine(), QStringLiteral("Server unreachable since 9:00"));
  // 30 s, 1 min, then the interval (2 min) and no more.
  for (const int expected : {30, 60, 120, 120}) {
    if (expected != 30) {
      clock->Set(clock->Now() + EncodeTime(0, 1, 0));
      RunOnce();
    }
    EXPECT_LE(sync->NextRunMs(), expected * 1000);
    EXPECT_GT(sync->NextRunMs(), expected * 1000 / 2);
  }
  EXPECT_EQ(sync->StatusLine(), QStringLiteral("Server unreachable since 9:00"));

  server.interfere = nullptr;
  RunOnce();
  EXPECT_FALSE(sync->Failing());
  EXPECT_EQ(sync->StatusLine(), QStringLiteral("Last synchronized 9:03"));
}

TEST_F(ServerSyncTest, ARefusedPasswordIsAskedForOnce) {
  // The new password is kept and used at once.
  kept = QStringLiteral("old");
  dialogs->AnswerInput(QStringLiteral("secret"));
  sync->Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 2; }));
  EXPECT_EQ(kept, QStringLiteral("secret"));
  EXPECT_FALSE(sync->Failing());
  ASSERT_EQ(dialogs->asked().size(), 1u);
  EXPECT_EQ(dialogs->asked()[0].kind, QStringLiteral("input"));

  // A wrong answer is not followed by another question: the runs go on and say why they fail.
  accepted = QStringLiteral("changed on the server");
  sync->AccountChanged();
  dialogs->AnswerInput(QStringLiteral("guess"));
  ASSERT_TRUE(SpinUntil([&] { return runs == 4; }));
  RunOnce();
  EXPECT_TRUE(sync->PasswordRefused());
  EXPECT_EQ(sync->StatusLine(), QStringLiteral("Server refused the password"));
  EXPECT_EQ(dialogs->asked().size(), 2u);
}

TEST_F(ServerSyncTest, ACalendarReplacedWhileAnAnswerIsOnItsWayStopsTheRunAndANewOneStarts) {
  AddEvent(QStringLiteral("Before"));
  bool replaced = false;
  server.interfere = [&](const QByteArray& verb, const QString&, bool&) -> std::optional<ServerAnswer> {
    if (verb == "REPORT" && !replaced) {
      replaced = true;
      ReplaceCalendar(calendar(), CalendarRecords());
      AddEvent(QStringLiteral("Restored"));
    }
    return std::nullopt;
  };
  sync->Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 2; }));
  EXPECT_TRUE(sync->LastReport().agree);
  EXPECT_TRUE(ServerHas("SUMMARY:Restored"));
  EXPECT_FALSE(ServerHas("SUMMARY:Before"));
}

// Against Radicale: the phone's event arrives at start, ours reaches the phone, and a server
// that went away is reported and caught up with when it is back.
TEST(ServerSyncRadicale, ThePanelConvergesWithThePhoneAndCatchesUpAfterTheServerWasDown) {
  TempHome home;
  RadicaleServer radicale;
  ASSERT_TRUE(radicale.Start()) << radicale.error().toStdString();
  CalDavClient setup(QUrl(radicale.url()), RadicaleServer::User, RadicaleServer::Password);
  std::optional<ServerAnswer> made;
  setup.MakeCalendar(QStringLiteral("/alice/"), QStringLiteral("Orvane"), [&](const ServerAnswer& a) { made = a; });
  ASSERT_TRUE(SpinUntil([&] { return made.has_value(); }));
  ASSERT_TRUE(made->ok() && !made->collections.isEmpty()) << made->error.toStdString();
  const QString collection = made->collections.first().path;
  const auto phone = [&](const QStringList& arguments) { return radicale.Phone(radicale.url(collection), arguments); };
  ASSERT_TRUE(phone({"create", "phone-1", "Lunch", "2026-12-09T12:00", "2026-12-09T13:00"}));

  AppContext context(std::make_unique<SystemClock>(), std::make_unique<ScriptedDialogs>(),
                     std::make_unique<MemoryKeyStore>());
  context.settings().SetSetting(ServerAccount::UrlSetting, radicale.url());
  context.settings().SetSetting(ServerAccount::UserSetting, QString::fromLatin1(RadicaleServer::User));
  context.settings().SetSetting(ServerAccount::CalendarSetting, collection);
  ServerSync sync(context.calendar(), context.store(), context.settings(), context.dialogs());
  // The server comes back on another port: the client is made for where it is now.
  sync.MakeServer = [&](const ServerAccount& account, const QString& password) {
    return std::make_unique<CalDavClient>(QUrl(radicale.url()), account.user, password);
  };
  sync.LoadPassword = [](const ServerAccount&, ServerSync::PasswordDone done) {
    done(QString::fromLatin1(RadicaleServer::Password), serverpassword::Place::SecretStore, QString());
  };
  int runs = 0;
  QObject::connect(&sync, &ServerSync::Finished, [&] { ++runs; });
  sync.Start();
  ASSERT_TRUE(SpinUntil([&] { return runs == 1; }));
  ASSERT_EQ(context.calendar().NoteCount(), 1);
  EXPECT_EQ(context.calendar().NoteArray[0].Title, QStringLiteral("Lunch"));

  radicale.Stop();
  const int i = context.calendar().AppendNote();
  context.calendar().NoteArray[i].Title = QStringLiteral("Dentist");
  context.calendar().NoteArray[i].StartDate = D(2026, 12, 10);
  context.calendar().DataChanged = true;
  sync.SyncNow();
  ASSERT_TRUE(SpinUntil([&] { return runs == 2; }));
  EXPECT_TRUE(sync.Failing());
  EXPECT_TRUE(sync.StatusLine().startsWith(QStringLiteral("Server unreachable since ")))
      << sync.StatusLine().toStdString();

  ASSERT_TRUE(radicale.Start()) << radicale.error().toStdString();
  sync.SyncNow();
  ASSERT_TRUE(SpinUntil([&] { return runs == 3; }));
  EXPECT_FALSE(sync.Failing());
  EXPECT_TRUE(sync.LastReport().agree) << sync.LastReport().error.toStdString();
  const std::optional<QString> uids = phone({"uids"});
  ASSERT_TRUE(uids);
  EXPECT_TRUE(uids->contains(context.calendar().NoteArray[i].Uid));
}

}  // namespace
