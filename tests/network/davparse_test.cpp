// The multistatus reader: what it takes from a server's answer and what makes it refuse one.
#include "support/testutil.h"

#include "network/davparse.h"

#include <gtest/gtest.h>

namespace {

const QUrl Request(QStringLiteral("https://dav.example/cal/alice/work/"));
const QString Within = QStringLiteral("/cal/alice/work/");

QByteArray Answer(const QByteArray& responses) {
  return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">" +
         responses + "</d:multistatus>";
}

TEST(DavParse, ReadsResourcesTheirPropertiesAndTheSyncToken) {
  const dav::MultiStatus read = dav::ReadMultiStatus(
      Answer("<d:response><d:href>/cal/alice/work/a%20b.ics</d:href><d:propstat><d:prop><d:getetag>\"7\"</d:getetag>"
             "<c:calendar-data><![CDATA[BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n]]></c:calendar-data></d:prop>"
             "<d:status>HTTP/1.1 200 OK</d:status></d:propstat><d:propstat><d:prop><d:displayname>hidden"
             "</d:displayname></d:prop><d:status>HTTP/1.1 404 Not Found</d:status></d:propstat></d:response>"
             "<d:response><d:href>https://dav.example/cal/alice/work/gone.ics</d:href>"
             "<d:status>HTTP/1.1 404 Not Found</d:status></d:response><d:sync-token>tok-2</d:sync-token>"),
      Request, Within);
  ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
  ASSERT_EQ(read.entries.size(), 2);
  EXPECT_EQ(read.entries[0].path, QStringLiteral("/cal/alice/work/a b.ics"));
  EXPECT_EQ(read.entries[0].etag, QStringLiteral("\"7\""));
  // XML reads line ends as LF.
  EXPECT_EQ(read.entries[0].calendarData, QByteArray("BEGIN:VCALENDAR\nEND:VCALENDAR"));
  EXPECT_TRUE(read.entries[0].displayName.isEmpty());  // given only under a failure status
  EXPECT_EQ(read.entries[1].status, 404);
  EXPECT_EQ(read.syncToken, QStringLiteral("tok-2"));
}

TEST(DavParse, RefusesAnswersThatCannotBeTrusted) {
  const struct {
    const char* name;
    QByteArray body;
  } cases[] = {
      {"href outside the collection", Answer("<d:response><d:href>/cal/alice/other/x.ics</d:href></d:response>")},
      {"href climbing out", Answer("<d:response><d:href>/cal/alice/work/../../bob/x.ics</d:href></d:response>")},
      {"href on another server", Answer("<d:response><d:href>https://evil.example/cal/alice/work/x.ics</d:href>"
                                        "</d:response>")},
      {"href on another port", Answer("<d:response><d:href>https://dav.example:8443/cal/alice/work/x</d:href>"
                                      "</d:response>")},
      {"response without href", Answer("<d:response><d:status>HTTP/1.1 200 OK</d:status></d:response>")},
      {"calendar home with user information",
       Answer("<d:response><d:href>/cal/alice/work/</d:href><d:propstat><d:prop><c:calendar-home-set><d:href>"
              "https://alice:pw@evil.example/</d:href></c:calendar-home-set></d:prop></d:propstat></d:response>")},
      {"document type", "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"b\">]><multistatus xmlns=\"DAV:\"/>"},
      {"not a multistatus", "<html><body>Login</body></html>"},
      {"cut short", Answer("<d:response><d:href>/cal/alice/work/x.ics</d:href>").left(120)},
      {"overlong etag", Answer("<d:response><d:href>/cal/alice/work/x.ics</d:href><d:propstat><d:prop><d:getetag>" +
                               QByteArray(dav::MaxText + 1, 'e') + "</d:getetag></d:prop></d:propstat></d:response>")},
  };
  for (const auto& c : cases) {
    const dav::MultiStatus read = dav::ReadMultiStatus(c.body, Request, Within);
    EXPECT_FALSE(read.error.isEmpty()) << c.name;
    EXPECT_TRUE(read.entries.isEmpty()) << c.name;
  }
}

TEST(DavParse, ReadsCollectionsAndDiscoveryProperties) {
  const dav::MultiStatus read = dav::ReadMultiStatus(
      Answer("<d:response><d:href>/cal/alice/</d:href><d:propstat><d:prop><d:current-user-principal><d:href>"
             "/principals/alice/</d:href></d:current-user-principal><c:calendar-home-set><d:href>/cal/alice/</d:href>"
             "</c:calendar-home-set></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"
             "<d:response><d:href>/cal/alice/work/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
             "<c:calendar/></d:resourcetype><d:displayname>Work</d:displayname><c:supported-calendar-component-set>"
             "<c:comp name=\"VEVENT\"/><c:comp name=\"vtodo\"/></c:supported-calendar-component-set></d:prop>"
             "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>"),
      QUrl(QStringLiteral("https://dav.example/cal/alice/")), QStringLiteral("/cal/alice/"));
  ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
  ASSERT_EQ(read.entries.size(), 2);
  EXPECT_EQ(read.entries[0].principal, QStringLiteral("/principals/alice/"));
  EXPECT_EQ(read.entries[0].calendarHomes, QList<QUrl>{QUrl(QStringLiteral("https://dav.example/cal/alice/"))});
  EXPECT_TRUE(read.entries[1].calendar && read.entries[1].collection);
  EXPECT_EQ(read.entries[1].displayName, QStringLiteral("Work"));
  EXPECT_EQ(read.entries[1].components, (QStringList{QStringLiteral("VEVENT"), QStringLiteral("VTODO")}));
}

}  // namespace
