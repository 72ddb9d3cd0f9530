#include "network/httpparse.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitUrl, SplitsHostPortAndPathOrRefuses) {
  const struct {
    const char* url;
    const char* host = nullptr;  // nullptr: refused
    int port = 0;
    const char* path = "";
    bool tls = false;
  } cases[] = {{"http://example.org/weather/local/12345", "example.org", 80, "/weather/local/12345", false},
               {"http://example.org:8080/currentversion.php", "example.org", 8080, "/currentversion.php", false},
               {"http://h/a/b?x=1&y=2", "h", 80, "/a/b?x=1&y=2", false},
               {"http://example.org", "example.org", 80, "/", false},
               {"http://127.0.0.1:3000", "127.0.0.1", 3000, "/", false},
               {"https://example.org/currentversion.php", "example.org", 443, "/currentversion.php", true},
               {"HTTPS://127.0.0.1:8443/x", "127.0.0.1", 8443, "/x", true},
               {"ftp://example.org/"},
               {"example.org/"},
               {"http:///path"},
               {"http://h:web/"},
               {"http://h:0/"},
               {"http://h:65536/"},
               {"http://h/a\r\nX-Evil: 1"},
               {"http://h/a b"},
               {"http://h x/"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const auto url = SplitUrl(QString::fromUtf8(c.url));
    ASSERT_EQ(url.has_value(), c.host != nullptr);
    if (!url) continue;
    EXPECT_EQ(url->host, QString::fromUtf8(c.host));
    EXPECT_EQ(url->port, c.port);
    EXPECT_EQ(url->path, QString::fromUtf8(c.path));
    EXPECT_EQ(url->tls, c.tls);
  }
}

TEST(BuildRequest, IsExactlyTheGetLineHostConnectionAndAgentWhichCannotAddLines) {
  const auto url = SplitUrl(QStringLiteral("http://weather.example:8080/weather/local/12345"));
  ASSERT_TRUE(url);
  EXPECT_EQ(BuildRequest(*url, QStringLiteral("HTTPClient/0.1")),
            QByteArray("GET /weather/local/12345 HTTP/1.1\r\nHost: weather.example\r\nConnection: close\r\n"
                       "User-Agent: HTTPClient/0.1\r\n\r\n"));
  EXPECT_FALSE(BuildRequest(*url, QStringLiteral("A\r\nX-Evil: 1")).contains("\r\nX-Evil"));
}

TEST(AnswerHead, ReadsStatusTypeAndLength) {
  using S = AnswerHead::State;
  const QByteArray ok = "HTTP/1.1 200 OK\r\n", zip = ok + "Content-Type: application/zip\r\n";
  const struct {
    QByteArray bytes;
    S state;
    const char* contentType = "";
    bool isFile = false;
    qint32 length = 0;
    bool chunked = false;
    QByteArray body = {};  // what follows the head
  } cases[] = {{ok + "Content-Type: text/html\r\n\r\n<html>", S::Ok, "text/html", false, 0, false, "<html>"},
               {ok + "Content-Type: application/octet-stream\r\nContent-Length: 1000\r\n\r\nab", S::Ok,
                "application/octet-stream", true, 1000, false, "ab"},
               {ok + "Content-Type: application/x-msdownload\r\nContent-Length:   42  \r\n\r\n", S::Ok,
                "application/x-msdownload", true, 42, false, ""},
               {ok + "Transfer-Encoding: chunked\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n5\r\nhello", S::Ok,
                "text/html; charset=UTF-8", false, 0, true, "5\r\nhello"},
               {ok + "content-type: text/plain\r\n\r\nx", S::Ok, "text/plain", false, 0, false, "x"},
               {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\nbody", S::Ok, "", false, 0, false, "body"},
               // A header name in the body is no header.
               {ok + "\r\nContent-Type: application/zip\r\nContent-Length: x\r\n", S::Ok, "", false, 0, false,
                "Content-Type: application/zip\r\nContent-Length: x\r\n"},
               {ok + "Content-Type: text/html\r\n", S::Incomplete},
               {ok + "Content-Type: text/html\r\n\r", S::Incomplete},
               {"", S::Incomplete},
               {"HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n", S::Invalid},
               {"HTTP/1.1 301 Moved\r\nLocation: /x\r\n\r\n", S::Invalid},
               {"HTTP/1.1 20\r\n\r\n", S::Invalid},
               {zip + "Content-Length: 12a\r\n\r\n", S::Invalid},
               {zip + "Content-Length: -5\r\n\r\n", S::Invalid},
               {zip + "Content-Length: 4294967296\r\n\r\n", S::Invalid},
               {ok + "Content-Type: text/html\r\nContent-Length: many\r\n\r\n", S::Invalid},
               {zip + "\r\n", S::Invalid}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toStdString());
    const AnswerHead head = ParseAnswerHead(c.bytes);
    ASSERT_EQ(head.state, c.state);
    if (c.state != S::Ok) continue;
    EXPECT_EQ(head.contentType, QString::fromLatin1(c.contentType));
    EXPECT_EQ(head.isFile, c.isFile);
    EXPECT_EQ(head.contentLength, c.length);
    EXPECT_EQ(head.chunked, c.chunked);
    EXPECT_EQ(c.bytes.mid(head.bodyStart), c.body);
  }
}

TEST(AnswerHead, IsReadUpToItsLimitAndInvalidBeyondEvenBeforeItsEnd) {
  const QByteArray start = "HTTP/1.1 200 OK\r\nX-Filler: ";
  const QByteArray head = start + QByteArray(MaxAnswerHead - start.size() - 4, 'x') + "\r\n\r\n";
  ASSERT_EQ(head.size(), MaxAnswerHead);
  EXPECT_EQ(ParseAnswerHead(head).state, AnswerHead::State::Ok);
  QByteArray over = start + QByteArray(MaxAnswerHead, 'x') + "\r\n\r\n";
  EXPECT_EQ(ParseAnswerHead(over).state, AnswerHead::State::Invalid);
  over.chop(4);
  EXPECT_EQ(ParseAnswerHead(over).state, AnswerHead::State::Invalid);
}

}  // namespace
