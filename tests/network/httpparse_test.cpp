#include "network/httpparse.h"
#include "support/testutil.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitUrl, SplitsHostPortAndPathOrRefusesAndTheAgentCannotAddLines) {
  const struct {
    const char* url;
    const char* host = nullptr;  // nullptr: refused
    int port = 0;
    const char* path = "";
    bool tls = false;
  } cases[] = {// clang-format off
      {"http://example.org:8080/a/b?x=1&y=2", "example.org", 8080, "/a/b?x=1&y=2", false},
      {"http://example.org", "example.org", 80, "/", false},
      {"https://example.org/currentversion.php", "example.org", 443, "/currentversion.php", true},
      {"HTTPS://127.0.0.1:8443/x", "127.0.0.1", 8443, "/x", true},
      {"example.org/"}, {"http:///path"}, {"http://h:web/"}, {"http://h:0/"}, {"http://h:65536/"},
      {"http://h/a\r\nX-Evil: 1"}, {"http://h/a b"}, {"http://h x/"}};
  // clang-format on
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
  EXPECT_FALSE(
      BuildRequest(*SplitUrl(QStringLiteral("http://h/")), QStringLiteral("A\r\nX-Evil: 1")).contains("\r\nX-"));
}

TEST(AnswerHead, ReadsStatusTypeAndLengthUpToItsLimit) {
  using S = AnswerHead::State;
  const QByteArray ok = "HTTP/1.1 200 OK\r\n", zip = ok + "Content-Type: application/zip\r\n";
  const struct {
    QByteArray bytes;
    S state;
    const char* contentType = "";
    bool isFile = false;
    qint32 length = 0;
    QByteArray body = {};  // what follows the head
  } cases[] = {            // clang-format off
      {ok + "Content-Type: application/x-msdownload\r\nContent-Length:   42  \r\n\r\nab", S::Ok, "application/x-msdownload", true, 42, "ab"},
      {ok + "content-type: text/plain\r\n\r\nx", S::Ok, "text/plain", false, 0, "x"},
      // A header name in the body is no header.
      {ok + "\r\nContent-Type: application/zip\r\nContent-Length: x\r\n", S::Ok, "", false, 0, "Content-Type: application/zip\r\nContent-Length: x\r\n"},
      {ok + "Content-Type: text/html\r\n\r", S::Incomplete},
      {"HTTP/1.1 20\r\n\r\n", S::Invalid},
      {zip + "Content-Length: -5\r\n\r\n", S::Invalid},
      {zip + "Content-Length: 4294967296\r\n\r\n", S::Invalid},
      {ok + "Content-Type: text/html\r\nContent-Length: many\r\n\r\n", S::Invalid},
      {zip + "\r\n", S::Invalid}};
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.toStdString());
    const AnswerHead head = ParseAnswerHead(c.bytes);
    ASSERT_EQ(head.state, c.state);
    if (c.state != S::Ok) continue;
    EXPECT_EQ(head.contentType, QString::fromLatin1(c.contentType));
    EXPECT_EQ(head.isFile, c.isFile);
    EXPECT_EQ(head.contentLength, c.length);
    EXPECT_EQ(c.bytes.mid(head.bodyStart), c.body);
  }
  const QByteArray start = "HTTP/1.1 200 OK\r\nX-Filler: ";
  const QByteArray head = start + QByteArray(MaxAnswerHead - start.size() - 4, 'x') + "\r\n\r\n";
  EXPECT_EQ(ParseAnswerHead(head).state, AnswerHead::State::Ok);
  EXPECT_EQ(ParseAnswerHead(head.chopped(4) + "x\r\n\r\n").state, AnswerHead::State::Invalid);
  EXPECT_EQ(ParseAnswerHead(start + QByteArray(MaxAnswerHead, 'x') + "\r\n").state, AnswerHead::State::Invalid);
}

}  // namespace
