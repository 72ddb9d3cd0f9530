#include "network/httpparse.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
  const char* name;
  const char* url;
  bool valid;
  const char* host;
  int port;
  const char* path;
  bool tls = false;
};

class SplitUrlTest : public ::testing::TestWithParam<UrlCase> {};

TEST_P(SplitUrlTest, SplitsHostPortAndPath) {
  const UrlCase& c = GetParam();
  const auto url = SplitUrl(QString::fromUtf8(c.url));
  ASSERT_EQ(url.has_value(), c.valid);
  if (!c.valid) return;
  EXPECT_EQ(url->host, QString::fromUtf8(c.host));
  EXPECT_EQ(url->port, c.port);
  EXPECT_EQ(url->path, QString::fromUtf8(c.path));
  EXPECT_EQ(url->tls, c.tls);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, SplitUrlTest,
    ::testing::Values(
        UrlCase{"PlainHostTakesPort80", "http://example.org/weather/local/12345", true, "example.org", 80,
                "/weather/local/12345"},
        UrlCase{"PortAfterColon", "http://example.org:8080/currentversion.php", true, "example.org", 8080,
                "/currentversion.php"},
        UrlCase{"QueryStaysInPath", "http://h/a/b?x=1&y=2", true, "h", 80, "/a/b?x=1&y=2"},
        UrlCase{"NoPathAsksForRoot", "http://example.org", true, "example.org", 80, "/"},
        UrlCase{"NoPathWithPort", "http://127.0.0.1:3000", true, "127.0.0.1", 3000, "/"},
        UrlCase{"SecureTakesPort443", "https://example.org/currentversion.php", true, "example.org", 443,
                "/currentversion.php", true},
        UrlCase{"SecureWithPort", "HTTPS://127.0.0.1:8443/x", true, "127.0.0.1", 8443, "/x", true},
        UrlCase{"OtherScheme", "ftp://example.org/", false, "", 0, ""},
        UrlCase{"NoScheme", "example.org/", false, "", 0, ""},
        UrlCase{"EmptyHost", "http:///path", false, "", 0, ""},
        UrlCase{"PortNotANumber", "http://h:web/", false, "", 0, ""},
        UrlCase{"PortZero", "http://h:0/", false, "", 0, ""},
        UrlCase{"PortTooLarge", "http://h:65536/", false, "", 0, ""},
        UrlCase{"LineBreakInPath", "http://h/a\r\nX-Evil: 1", false, "", 0, ""},
        UrlCase{"BlankInPath", "http://h/a b", false, "", 0, ""},
        UrlCase{"BlankInHost", "http://h x/", false, "", 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BuildRequest, IsExactlyTheGetLineHostConnectionAndAgent) {
  const auto url = SplitUrl(QStringLiteral("http://weather.example:8080/weather/local/12345"));
  ASSERT_TRUE(url);
  EXPECT_EQ(BuildRequest(*url, QStringLiteral("HTTPClient/0.1")),
            QByteArray("GET /weather/local/12345 HTTP/1.1\r\n"
                       "Host: weather.example\r\n"
                       "Connection: close\r\n"
                       "User-Agent: HTTPClient/0.1\r\n"
                       "\r\n"));
}

TEST(BuildRequest, AgentCannotAddHeaderLines) {
  const auto url = SplitUrl(QStringLiteral("http://h/"));
  ASSERT_TRUE(url);
  const QByteArray request = BuildRequest(*url, QStringLiteral("A\r\nX-Evil: 1"));
  EXPECT_FALSE(request.contains("\r\nX-Evil"));
}

struct HeadCase {
  const char* name;
  QByteArray bytes;
  AnswerHead::State state;
  const char* contentType;
  bool isFile;
  qint32 length;
  bool chunked;
  QByteArray body;  // what follows the head
};

class AnswerHeadTest : public ::testing::TestWithParam<HeadCase> {};

TEST_P(AnswerHeadTest, ReadsStatusTypeAndLength) {
  const HeadCase& c = GetParam();
  const AnswerHead head = ParseAnswerHead(c.bytes);
  ASSERT_EQ(head.state, c.state);
  if (c.state != AnswerHead::State::Ok) return;
  EXPECT_EQ(head.contentType, QString::fromLatin1(c.contentType));
  EXPECT_EQ(head.isFile, c.isFile);
  EXPECT_EQ(head.contentLength, c.length);
  EXPECT_EQ(head.chunked, c.chunked);
  EXPECT_EQ(c.bytes.mid(head.bodyStart), c.body);
}

using S = AnswerHead::State;
INSTANTIATE_TEST_SUITE_P(
    Heads, AnswerHeadTest,
    ::testing::Values(
        HeadCase{"HtmlPage", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", S::Ok, "text/html", false, 0,
                 false, "<html>"},
        HeadCase{"FileWithLength",
                 "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 1000\r\n\r\nab",
                 S::Ok, "application/octet-stream", true, 1000, false, "ab"},
        HeadCase{"LengthWithBlanks",
                 "HTTP/1.1 200 OK\r\nContent-Type: application/x-msdownload\r\nContent-Length:   42  \r\n\r\n", S::Ok,
                 "application/x-msdownload", true, 42, false, ""},
        HeadCase{"ChunkedPage",
                 "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
                 "5\r\nhello",
                 S::Ok, "text/html; charset=UTF-8", false, 0, true, "5\r\nhello"},
        HeadCase{"NamesWithoutCase", "HTTP/1.1 200 OK\r\ncontent-type: text/plain\r\n\r\nx", S::Ok, "text/plain",
                 false, 0, false, "x"},
        HeadCase{"NoContentTypeIsAPage", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nbody", S::Ok, "", false, 0, false,
                 "body"},
        HeadCase{"HeaderNameInBodyIsNotAHeader",
                 "HTTP/1.1 200 OK\r\n\r\nContent-Type: application/zip\r\nContent-Length: x\r\n", S::Ok, "", false, 0,
                 false, "Content-Type: application/zip\r\nContent-Length: x\r\n"},
        HeadCase{"EmptyBodyYet", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", S::Ok, "text/html", false, 0,
                 false, ""},
        HeadCase{"NoEmptyLineYet", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n", S::Incomplete, "", false, 0,
                 false, ""},
        HeadCase{"HalfOfTheEmptyLine", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r", S::Incomplete, "", false,
                 0, false, ""},
        HeadCase{"NothingYet", "", S::Incomplete, "", false, 0, false, ""},
        HeadCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n", S::Invalid, "", false, 0,
                 false, ""},
        HeadCase{"Redirect", "HTTP/1.1 301 Moved\r\nLocation: /x\r\n\r\n", S::Invalid, "", false, 0, false, ""},
        HeadCase{"ShortStatusLine", "HTTP/1.1 20\r\n\r\n", S::Invalid, "", false, 0, false, ""},
        HeadCase{"LengthNotANumber",
                 "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 12a\r\n\r\n", S::Invalid, "",
                 false, 0, false, ""},
        HeadCase{"NegativeLength", "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: -5\r\n\r\n",
                 S::Invalid, "", false, 0, false, ""},
        HeadCase{"LengthBeyond32Bits",
                 "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 4294967296\r\n\r\n", S::Invalid,
                 "", false, 0, false, ""},
        HeadCase{"PageWithBadLength", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: many\r\n\r\n",
                 S::Invalid, "", false, 0, false, ""},
        HeadCase{"FileWithoutLength", "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n\r\n", S::Invalid, "",
                 false, 0, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AnswerHead, HeadLargerThanTheLimitIsInvalid) {
  QByteArray head = "HTTP/1.1 200 OK\r\nX-Filler: " + QByteArray(MaxAnswerHead, 'x') + "\r\n\r\n";
  EXPECT_EQ(ParseAnswerHead(head).state, AnswerHead::State::Invalid);
  // Also while its end has not come: more bytes cannot make it acceptable.
  head.chop(4);
  EXPECT_EQ(ParseAnswerHead(head).state, AnswerHead::State::Invalid);
}

TEST(AnswerHead, HeadJustUnderTheLimitIsRead) {
  const QByteArray start = "HTTP/1.1 200 OK\r\nX-Filler: ";
  const QByteArray head = start + QByteArray(MaxAnswerHead - start.size() - 4, 'x') + "\r\n\r\n";
  ASSERT_EQ(head.size(), MaxAnswerHead);
  EXPECT_EQ(ParseAnswerHead(head).state, AnswerHead::State::Ok);
}

}  // namespace
