// The CalDAV client and the synchronisation against a real server (Radicale on 127.0.0.1),
// with python3-caldav as "the phone" that changes the same calendar.
#include "loopbackserver.h"
#include "radicaleserver.h"
#include "support/testutil.h"

#include "core/clock.h"
#include "core/memorykeystore.h"
#include "core/repeattype.h"
#include "network/caldavclient.h"
#include "network/calendarsync.h"

#include <gtest/gtest.h>

namespace {

ServerAnswer Wait(const std::function<void(ServerCallback)>& ask) {
  std::optional<ServerAnswer> answer;
  ask([&](const ServerAnswer& a) { answer = a; });
  EXPECT_TRUE(SpinUntil([&] { return answer.has_value(); }));
  return answer.value_or(ServerAnswer());
}

TDateTime RealNow() { return FromQDateTime(QDateTime::currentDateTime()); }

// One computer: its calendar, its store and its client of the server.
struct Computer {
  FixedClock clock{RealNow()};
  MemoryKeyStore store;
  DataFormat calendar{clock};
  CalDavClient client;
  QString collection;
  QString taskList;  // new tasks go there when set

  Computer(const RadicaleServer& server, const QString& collection) : Computer(server.url(), collection) {}
  Computer(const QString& url, const QString& collection, const CalDavClient::Trust& trust = {})
      : client(QUrl(url), RadicaleServer::User, RadicaleServer::Password, trust), collection(collection) {}

  SyncReport Sync() {
    clock.Set(RealNow());
    CalendarSync sync(calendar, store, client, collection);
    sync.TaskList = taskList;
    std::optional<SyncReport> report;
    sync.Run([&](const SyncReport& r) { report = r; });
    EXPECT_TRUE(SpinUntil([&] { return report.has_value(); }));
    return report.value_or(SyncReport());
  }
  const TNote* Live(const QString& uid) const {
    for (const TNote& note : calendar.NoteArray)
      if (note.Uid == uid && note.DeleteDate == 0 && note.RecurrenceId == 0) return &note;
    return nullptr;
  }
  int AddEvent(const QString& title, TDateTime day, int hour) {
    const int i = calendar.AppendNote();
    TNote& note = calendar.NoteArray[i];
    note.Title = title;
    note.StartDate = day;
    note.Start = true;
    note.StartTime = EncodeTime(hour, 0, 0);
    note.EndTime = EncodeTime(hour + 1, 0, 0);
    note.RepeatFrequency = 1;
    return i;
  }
};

TEST(CalDavClientAddress, PlainHttpOnlyForThisComputerUnlessAllowed) {
  const struct {
    const char* url;
    bool allowHttp;
    bool usable;
  } cases[] = {
      {"https://dav.example/", false, true}, {"http://127.0.0.1:5232/", false, true},
      {"http://[::1]:5232/", false, true},   {"http://localhost/", false, true},
      {"http://dav.example/", false, false}, {"http://dav.example/", true, true},
      {"ftp://dav.example/", true, false},   {"https:///nohost", false, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CalDavClient::AddressProblem(QUrl(QString::fromLatin1(c.url)), c.allowHttp).isEmpty(), c.usable) << c.url;
}

class CalDavTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start()) << server.error().toStdString();
    CalDavClient client(QUrl(server.url()), RadicaleServer::User, RadicaleServer::Password);
    const ServerAnswer found = Wait([&](ServerCallback done) { client.Discover(std::move(done)); });
    ASSERT_TRUE(found.ok()) << found.error.toStdString();
    EXPECT_EQ(found.home, QStringLiteral("/alice/"));
    const ServerAnswer made =
        Wait([&](ServerCallback done) { client.MakeCalendar(found.home, QStringLiteral("Orvane"), std::move(done)); });
    ASSERT_TRUE(made.ok()) << made.error.toStdString();
    collection = made.collections.first().path;
    collectionUrl = server.url(collection);
  }
  std::optional<QString> Phone(const QStringList& arguments) { return server.Phone(collectionUrl, arguments); }

  RadicaleServer server;
  QString collection;
  QString collectionUrl;
};

TEST_F(CalDavTest, DiscoveryFindsTheNewCalendarAndAWrongPasswordIsRefused) {
  CalDavClient client(QUrl(server.url()), RadicaleServer::User, RadicaleServer::Password);
  const ServerAnswer found = Wait([&](ServerCallback done) { client.Discover(std::move(done)); });
  ASSERT_EQ(found.collections.size(), 1);
  EXPECT_EQ(found.collections[0].displayName, QStringLiteral("Orvane"));
  EXPECT_EQ(found.collections[0].components, (QStringList{QStringLiteral("VEVENT"), QStringLiteral("VTODO")}));
  EXPECT_FALSE(found.collections[0].syncToken.isEmpty());

  CalDavClient wrong(QUrl(server.url()), RadicaleServer::User, QStringLiteral("guess"));
  const ServerAnswer refused = Wait([&](ServerCallback done) { wrong.Discover(std::move(done)); });
  EXPECT_TRUE(refused.unauthorized());
  EXPECT_EQ(refused.error, QStringLiteral("the server refused the user name or password"));
}

// The address given ("localhost") names a calendar home on another host (Radicale on
// 127.0.0.1): the password goes there only when the user agreed to that very host.
TEST_F(CalDavTest, ACalendarHomeOnAnotherHostIsUsedOnlyWhereTheUserAgreed) {
  QString home;
  LoopbackServer front([&](const QByteArray&) {
    const QByteArray body =
        "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:"
        "ns:caldav\"><d:response><d:href>/</d:href><d:propstat><d:prop><c:calendar-home-set>"
        "<d:href>" +
        home.toUtf8() +
        "</d:href></c:calendar-home-set></d:prop><d:status>HTTP/1.1 200 OK</d:status>"
        "</d:propstat></d:response></d:multistatus>";
    return ServerScript::Answer("HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nContent-Length: " +
                                QByteArray::number(body.size()) + "\r\n\r\n" + body);
  });
  const QString given = QStringLiteral("http://localhost:%1/").arg(front.port());
  const QString radicale = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
  const QString third = QStringLiteral("http://127.0.0.2:%1").arg(server.port());
  const struct {
    QString home;
    QString agreed;
    QString refusedFor;  // the host named in the refusal; empty: used
  } cases[] = {
      {server.url(QStringLiteral("/alice/")), {}, radicale},
      {server.url(QStringLiteral("/alice/")), radicale, {}},
      {third + QStringLiteral("/alice/"), radicale, third},
  };
  for (const auto& c : cases) {
    home = c.home;
    CalDavClient client(QUrl(given), RadicaleServer::User, RadicaleServer::Password, {.calendarHost = c.agreed});
    const ServerAnswer found = Wait([&](ServerCallback done) { client.Discover(std::move(done)); });
    if (!c.refusedFor.isEmpty()) {
      EXPECT_EQ(found.otherHost, c.refusedFor);
      EXPECT_TRUE(found.error.contains(c.refusedFor + QStringLiteral(", another host"))) << found.error.toStdString();
      continue;
    }
    ASSERT_TRUE(found.ok()) << found.error.toStdString();
    EXPECT_EQ(found.otherHost, radicale);
    ASSERT_EQ(found.collections.size(), 1);
    EXPECT_EQ(found.collections[0].path, collection);
  }
  Computer a(given, collection, {.calendarHost = radicale});
  const int event = a.AddEvent(QStringLiteral("Dentist"), D(2026, 12, 8), 10);
  EXPECT_TRUE(a.Sync().agree);
  EXPECT_TRUE(Phone({"uids"}).value_or(QString()).contains(a.calendar.NoteArray[event].Uid));
}

// A server with a certificate of its own making is refused with the certificate's
// fingerprint, and used once exactly that certificate is trusted.
TEST(CalDavTls, ASelfSignedServerIsUsedOnlyWithItsFingerprintTrusted) {
  RadicaleServer server;
  server.UseTls();
  ASSERT_TRUE(server.Start()) << server.error().toStdString();
  const QString right = server.fingerprint();
  ASSERT_EQ(CalDavClient::Fingerprint(right), right);
  const struct {
    QString trusted;
    bool usable;
  } cases[] = {{{}, false}, {QString(64, QLatin1Char('0')), false}, {right.toLower().remove(QLatin1Char(':')), true}};
  for (const auto& c : cases) {
    CalDavClient client(QUrl(server.url()), RadicaleServer::User, RadicaleServer::Password, {.certificate = c.trusted});
    const ServerAnswer found = Wait([&](ServerCallback done) { client.Discover(std::move(done)); });
    EXPECT_EQ(found.ok(), c.usable) << c.trusted.toStdString() << ": " << found.error.toStdString();
    if (c.usable) {
      const ServerAnswer made = Wait(
          [&](ServerCallback done) { client.MakeCalendar(found.home, QStringLiteral("Orvane"), std::move(done)); });
      ASSERT_TRUE(made.ok()) << made.error.toStdString();
      Computer a(server.url(), made.collections.first().path, {.certificate = right});
      a.AddEvent(QStringLiteral("Dentist"), D(2026, 12, 8), 10);
      const SyncReport report = a.Sync();
      EXPECT_TRUE(report.agree) << report.error.toStdString();
      // A certificate other than the one trusted is a failure of its own, not an unreachable server.
      Computer pinned(server.url(), made.collections.first().path, {.certificate = QString(64, QLatin1Char('0'))});
      const SyncReport refused = pinned.Sync();
      EXPECT_FALSE(refused.agree || refused.unreachable) << refused.error.toStdString();
      EXPECT_TRUE(refused.error.contains(right)) << refused.error.toStdString();
    } else {
      EXPECT_EQ(found.certificate, right);
      EXPECT_TRUE(found.error.contains(QStringLiteral("fingerprint is ") + right)) << found.error.toStdString();
    }
  }
}

TEST_F(CalDavTest, WritesAreGuardedByETagsAndTheChangesReportFollowsThem) {
  CalDavClient client(QUrl(server.url()), RadicaleServer::User, RadicaleServer::Password);
  const QString path = collection + QStringLiteral("a.ics");
  const auto object = [](const char* title) {
    return QByteArray(
               "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//t//EN\r\nBEGIN:VEVENT\r\nUID:a\r\nDTSTAMP:20261207T"
               "100000Z\r\nDTSTART:20261208T100000\r\nSUMMARY:") +
           title + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  };
  const ServerAnswer start = Wait([&](ServerCallback done) { client.Changes(collection, QString(), std::move(done)); });
  ASSERT_TRUE(start.ok()) << start.error.toStdString();
  EXPECT_TRUE(start.items.isEmpty());

  const ServerAnswer created = Wait([&](ServerCallback done) { client.Put(path, object("One"), {}, std::move(done)); });
  ASSERT_TRUE(created.ok()) << created.error.toStdString();
  EXPECT_FALSE(created.etag.isEmpty());
  // As new again, or over a version that is not the server's: refused.
  EXPECT_TRUE(
      Wait([&](ServerCallback done) { client.Put(path, object("Two"), {}, std::move(done)); }).preconditionFailed());
  EXPECT_TRUE(Wait([&](ServerCallback done) {
                client.Put(path, object("Two"), "\"old\"", std::move(done));
              }).preconditionFailed());
  const ServerAnswer changed =
      Wait([&](ServerCallback done) { client.Changes(collection, start.syncToken, std::move(done)); });
  ASSERT_EQ(changed.items.size(), 1);
  EXPECT_EQ(changed.items[0].path, path);
  EXPECT_EQ(changed.items[0].etag, created.etag);
  const ServerAnswer fetched = Wait([&](ServerCallback done) { client.Fetch(collection, {path}, std::move(done)); });
  ASSERT_EQ(fetched.items.size(), 1);
  EXPECT_TRUE(fetched.items[0].data.contains("SUMMARY:One"));

  EXPECT_TRUE(Wait([&](ServerCallback done) { client.Remove(path, "\"old\"", std::move(done)); }).preconditionFailed());
  EXPECT_TRUE(Wait([&](ServerCallback done) { client.Remove(path, created.etag, std::move(done)); }).ok());
  const ServerAnswer removed =
      Wait([&](ServerCallback done) { client.Changes(collection, changed.syncToken, std::move(done)); });
  EXPECT_EQ(removed.removed, QStringList{path});
  // A token the server never gave is refused as such.
  EXPECT_TRUE(Wait([&](ServerCallback done) {
                client.Changes(collection, "http://radicale.org/ns/sync/0", std::move(done));
              }).tokenRefused);
}

TEST_F(CalDavTest, TwoComputersConvergeAndAQuietRunIsOneRequest) {
  Computer a(server, collection), b(server, collection);
  a.AddEvent(QStringLiteral("Dentist"), D(2026, 12, 8), 10);
  a.calendar.ToDoArray[a.calendar.AppendToDo()].Title = QStringLiteral("Buy milk");
  EXPECT_TRUE(a.Sync().agree);
  const SyncReport down = b.Sync();
  EXPECT_TRUE(down.agree) << down.error.toStdString();
  EXPECT_EQ(down.down.size(), 2);
  ASSERT_EQ(b.calendar.NoteCount(), 1);
  EXPECT_EQ(b.calendar.NoteArray[0].Title, QStringLiteral("Dentist"));
  EXPECT_EQ(b.calendar.NoteArray[0].StartTime, EncodeTime(10, 0, 0));
  EXPECT_EQ(b.calendar.ToDoArray.at(0).Title, QStringLiteral("Buy milk"));

  const int before = a.client.requestCount();
  const SyncReport quiet = a.Sync();
  EXPECT_TRUE(quiet.agree && quiet.up.isEmpty() && quiet.down.isEmpty());
  EXPECT_EQ(a.client.requestCount() - before, 1);
}

TEST_F(CalDavTest, ThePhonesChangesArriveAndOursReachThePhone) {
  Computer a(server, collection);
  ASSERT_TRUE(Phone({"create", "phone-1", "Lunch", "2026-12-09T12:00", "2026-12-09T13:00"}));
  EXPECT_EQ(a.Sync().down, QStringList{QStringLiteral("Lunch")});
  ASSERT_TRUE(a.Live("phone-1"));
  EXPECT_EQ(a.Live("phone-1")->StartDate, D(2026, 12, 9));

  ASSERT_TRUE(Phone({"move", "phone-1", "2026-12-10T14:00", "2026-12-10T15:00"}));
  ASSERT_TRUE(Phone({"retitle", "phone-1", "Lunch with Sam"}));
  EXPECT_TRUE(a.Sync().agree);
  ASSERT_TRUE(a.Live("phone-1"));
  EXPECT_EQ(a.Live("phone-1")->Title, QStringLiteral("Lunch with Sam"));
  EXPECT_EQ(a.Live("phone-1")->StartDate, D(2026, 12, 10));
  EXPECT_EQ(a.Live("phone-1")->StartTime, EncodeTime(14, 0, 0));

  ASSERT_TRUE(Phone({"delete", "phone-1"}));
  EXPECT_EQ(a.Sync().removedHere, QStringList{QStringLiteral("Lunch with Sam")});
  EXPECT_FALSE(a.Live("phone-1"));

  // The other way: made, retitled and deleted here.
  const int ours = a.AddEvent(QStringLiteral("Haircut"), D(2026, 12, 11), 16);
  const QString uid = a.calendar.NoteArray[ours].Uid;
  EXPECT_TRUE(a.Sync().agree);
  EXPECT_TRUE(Phone({"uids"}).value_or(QString()).contains(uid));
  a.calendar.NoteArray[ours].Title = QStringLiteral("Haircut at Jo's");
  EXPECT_TRUE(a.Sync().agree);
  EXPECT_TRUE(Phone({"show", uid}).value_or(QString()).contains(QStringLiteral("SUMMARY:Haircut at Jo's")));
  a.calendar.DeleteNote(ours);
  EXPECT_TRUE(a.Sync().agree);
  EXPECT_FALSE(Phone({"uids"}).value_or(uid).contains(uid));
}

TEST_F(CalDavTest, AnEventEditedOnBothSidesEndsWithTheLaterEditEverywhere) {
  Computer a(server, collection), b(server, collection);
  const int event = a.AddEvent(QStringLiteral("Standup"), D(2026, 12, 14), 9);
  const QString uid = a.calendar.NoteArray[event].Uid;
  a.Sync();
  b.Sync();
  // Edited here first, then on the phone (its LAST-MODIFIED is later).
  a.calendar.NoteArray[event].Title = QStringLiteral("Standup (here)");
  a.calendar.NoteArray[event].ModifyDate = RealNow() - 60.0 / 86400;
  ASSERT_TRUE(Phone({"retitle", uid, "Standup (phone)"}));
  const SyncReport settled = a.Sync();
  EXPECT_TRUE(settled.agree);
  EXPECT_EQ(settled.settled.size(), 1);
  EXPECT_EQ(a.Live(uid)->Title, QStringLiteral("Standup (phone)"));
  b.Sync();
  EXPECT_EQ(b.Live(uid)->Title, QStringLiteral("Standup (phone)"));
  EXPECT_TRUE(Phone({"show", uid}).value_or(QString()).contains(QStringLiteral("SUMMARY:Standup (phone)")));
}

TEST_F(CalDavTest, AWeeklySeriesWithAnExceptionAndAnOverrideTravels) {
  Computer a(server, collection), b(server, collection);
  ASSERT_TRUE(Phone({"series", "series-1", "Choir", "2027-01-04T19:00"}));
  EXPECT_TRUE(a.Sync().agree);
  const TNote* series = a.Live("series-1");
  ASSERT_TRUE(series);
  EXPECT_EQ(RepeatOf(*series), RepeatType::Weekly);
  const auto occurs = [](Computer& c, TDateTime day) {
    for (int i = 0; i < c.calendar.NoteCount(); ++i)
      if (c.calendar.NoteArray[i].Uid == QStringLiteral("series-1") && c.calendar.NoteArray[i].DeleteDate == 0 &&
          c.calendar.NoteOccursOn(i, day))
        return c.calendar.NoteArray[i].Title + QStringLiteral(" %1").arg(c.calendar.NoteArray[i].StartTime * 24);
    return QString();
  };
  EXPECT_EQ(occurs(a, D(2027, 1, 11)), QStringLiteral("Choir 19"));
  EXPECT_EQ(occurs(a, D(2027, 1, 18)), QString());  // cancelled
  EXPECT_EQ(occurs(a, D(2027, 1, 25)), QStringLiteral("Choir (moved) 21"));
  EXPECT_EQ(occurs(a, D(2027, 3, 15)), QString());  // after the tenth

  // Changed here, it goes up as one object with its instance, and another computer reads the same.
  for (TNote& note : a.calendar.NoteArray)
    if (note.Uid == QStringLiteral("series-1") && note.RecurrenceId != 0)
      note.Title = QStringLiteral("Choir in hall B");
  EXPECT_TRUE(a.Sync().agree);
  const QString text = Phone({"show", "series-1"}).value_or(QString());
  EXPECT_TRUE(text.contains(QStringLiteral("RECURRENCE-ID"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("SUMMARY:Choir in hall B")));
  EXPECT_TRUE(b.Sync().agree);
  EXPECT_EQ(occurs(b, D(2027, 1, 18)), QString());
  EXPECT_EQ(occurs(b, D(2027, 1, 25)), QStringLiteral("Choir in hall B 21"));
}

// A task goes with the events until the account has a task list of its own; then new tasks
// go there, the one kept with the events stays, and the phone completes each where it is.
TEST_F(CalDavTest, TasksCompletedOnThePhoneAreCompletedHereInTheCalendarOrTheirOwnList) {
  Computer a(server, collection);
  const auto addTask = [&a](const char* title) {
    const int task = a.calendar.AppendToDo();
    a.calendar.ToDoArray[task].Title = QString::fromLatin1(title);
    return task;
  };
  const int old = addTask("Renew passport");
  EXPECT_TRUE(a.Sync().agree);

  CalDavClient maker(QUrl(server.url()), RadicaleServer::User, RadicaleServer::Password);
  const ServerAnswer made =
      Wait([&](ServerCallback done) { maker.MakeCalendar(QStringLiteral("/alice/"), QStringLiteral("Tasks"), done); });
  ASSERT_TRUE(made.ok()) << made.error.toStdString();
  a.taskList = made.collections.first().path;
  const int fresh = addTask("Buy stamps");
  const QString event = a.calendar.NoteArray[a.AddEvent(QStringLiteral("Dentist"), D(2027, 1, 12), 9)].Uid;
  EXPECT_TRUE(a.Sync().agree);
  const QString oldUid = a.calendar.ToDoArray[old].Uid, freshUid = a.calendar.ToDoArray[fresh].Uid;
  const auto uids = [&](const QString& at) {
    QStringList found = server.Phone(server.url(at), {"uids"}).value_or(QString()).split(QLatin1Char('\n'));
    found.removeAll(QString());
    found.sort();
    return found;
  };
  QStringList withEvents{oldUid, event};
  withEvents.sort();
  EXPECT_EQ(uids(collection), withEvents);
  EXPECT_EQ(uids(a.taskList), QStringList{freshUid});

  ASSERT_TRUE(server.Phone(server.url(a.taskList), {"complete", freshUid}));
  ASSERT_TRUE(Phone({"complete", oldUid}));
  EXPECT_TRUE(a.Sync().agree);
  EXPECT_TRUE(a.calendar.ToDoArray[fresh].Completed);
  EXPECT_TRUE(a.calendar.ToDoArray[old].Completed);
  EXPECT_EQ(a.calendar.OpenToDoCount, 0);
}

}  // namespace
