// The CalDAV client against a real server (Radicale on 127.0.0.1),
// with python3-caldav as "the phone" that changes the same calendar.
#include "loopbackserver.h"
#include "radicaleserver.h"
#include "support/testutil.h"

#include "network/caldavclient.h"

#include <gtest/gtest.h>

namespace {

ServerAnswer Wait(const std::function<void(ServerCallback)>& ask) {
  std::optional<ServerAnswer> answer;
  ask([&](const ServerAnswer& a) { answer = a; });
  EXPECT_TRUE(SpinUntil([&] { return answer.has_value(); }));
  return answer.value_or(ServerAnswer());
}

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

}  // namespace
