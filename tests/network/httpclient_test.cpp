#include "loopbackserver.h"
#include "network/httpclient.h"
#include "support/testutil.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

using Outcome = HttpResult::Outcome;

// Short time-outs keep the tests quick; the program's own are 5 s and 30 s.
constexpr int PageTimeOut = 400;
constexpr int FileTimeOut = 1500;

class HttpClientTest : public ::testing::Test {
 protected:
  HttpClientTest() { client.SetTimeOuts(PageTimeOut, FileTimeOut); }
  T_HTTPClient client;
};

QByteArray Bytes(int n) {
  QByteArray out(n, 'x');
  for (int i = 0; i < n; ++i) out[i] = static_cast<char>('a' + i % 26);
  return out;
}

TEST_F(HttpClientTest, SendsTheRequestBytesWithHostWithoutPort) {
  LoopbackServer server(ServerScript::Page("ok"));
  client.HTTPGet(server.url(QStringLiteral("/weather/local/12345")), QStringLiteral("HTTPClient/0.1"));
  ASSERT_EQ(server.requests().size(), 1);
  EXPECT_EQ(server.requests().at(0), QByteArray("GET /weather/local/12345 HTTP/1.1\r\n"
                                                "Host: 127.0.0.1\r\n"
                                                "Connection: close\r\n"
                                                "User-Agent: HTTPClient/0.1\r\n"
                                                "\r\n"));
}

TEST_F(HttpClientTest, PageEndsWhenTheServerCloses) {
  LoopbackServer server(ServerScript::Page("<html><body>Hi</body></html>\r\nsecond line\r\n"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_FALSE(r.Failed());
  EXPECT_EQ(r.body, QByteArray("<html><body>Hi</body></html>\r\nsecond line\r\n"));
}

TEST_F(HttpClientTest, ChunkedPageLosesItsFirstChunkSizeLineOnly) {
  LoopbackServer server(ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n"
      "c\r\n<html>hello\r\n6\r\n</html>\r\n0\r\n\r\n"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  // Later chunk-size lines stay in the body; the readers of pages look for markers only.
  EXPECT_EQ(r.body, QByteArray("<html>hello\r\n6\r\n</html>\r\n0\r\n\r\n"));
}

TEST_F(HttpClientTest, ChunkSizeLineSplitOverReadsIsStillDropped) {
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                          "Transfer-Encoding: chunked\r\n\r\n1"},
                                      {60, "a\r"},
                                      {60, "\n<html>body</html>"}},
                                     true});
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, QByteArray("<html>body</html>"));
}

TEST_F(HttpClientTest, PlainPageKeepsItsFirstLine) {
  LoopbackServer server(ServerScript::Page("<!DOCTYPE html>\r\n<html></html>"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.body, QByteArray("<!DOCTYPE html>\r\n<html></html>"));
}

TEST_F(HttpClientTest, FileEndsAtItsLengthOnAConnectionLeftOpen) {
  const QByteArray file = Bytes(1000);
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                          "Content-Length: 1000\r\n\r\n" + file.left(300)},
                                      {50, file.mid(300)}},
                                     false});
  EXPECT_EQ(client.TimeOutInterval(), PageTimeOut);
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/downloads/setup.exe")), QStringLiteral("UA"));
  // Waiting for the close would have ended in a time-out instead.
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, file);
  EXPECT_EQ(client.ExpectedSize(), 1000);
  // Once a file was seen, every later request of this client waits longer for data.
  EXPECT_EQ(client.TimeOutInterval(), FileTimeOut);
}

TEST_F(HttpClientTest, BytesBeyondTheAnnouncedLengthAreNotPartOfTheFile) {
  LoopbackServer server(ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 4\r\n\r\nabcdEXTRA", false));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/f")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, QByteArray("abcd"));
}

TEST_F(HttpClientTest, FileClosedBeforeItsLengthFails) {
  LoopbackServer server(ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 1000\r\n\r\nonly this"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/f")), QStringLiteral("UA"));
  EXPECT_TRUE(r.Failed());
  EXPECT_EQ(r.ErrorMessage(), QStringLiteral("download failed"));
  EXPECT_TRUE(r.body.isEmpty());
}

TEST_F(HttpClientTest, ProgressOfAFileFollowsTheDataReceived) {
  const QByteArray file = Bytes(999);
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                          "Content-Length: 999\r\n\r\n" + file.left(500)},
                                      {50, file.mid(500)}},
                                     false});
  QList<int> percents;
  QList<qint64> sizes;
  QObject::connect(&client, &T_HTTPClient::DataReceived, [&] {
    percents << client.PercentDone();
    sizes << client.ExpectedSize();
  });
  client.HTTPGet(server.url(QStringLiteral("/f")), QStringLiteral("UA"));
  ASSERT_FALSE(percents.isEmpty());
  EXPECT_EQ(percents.first(), 50);  // floor(500 / 1000 * 100)
  EXPECT_EQ(percents.last(), 99);   // floor(999 / 1000 * 100)
  EXPECT_EQ(sizes.first(), 999);
  // When the request is over, the connection is closed and no progress is claimed.
  EXPECT_EQ(client.PercentDone(), 0);
}

TEST_F(HttpClientTest, ExpectedSizeOfAnHtmlPageIsWhatArrived) {
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n12345"},
                                      {30, "6789"}},
                                     true});
  QList<qint64> sizes;
  QObject::connect(&client, &T_HTTPClient::DataReceived, [&] { sizes << client.ExpectedSize(); });
  client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(sizes, (QList<qint64>{5, 9}));
  EXPECT_EQ(client.PercentDone(), 0);
}

TEST_F(HttpClientTest, ExpectedSizeOfOtherTextIsZero) {
  LoopbackServer server(ServerScript::Page("abc", "text/plain"));
  client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(client.ExpectedSize(), 0);
}

TEST_F(HttpClientTest, SlowButSteadyDownloadDoesNotTimeOut) {
  // Every piece comes well within the time-out, the whole takes several time-outs.
  ServerScript script{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"}}, true};
  QByteArray expected;
  for (int i = 0; i < 10; ++i) {
    const QByteArray piece = QByteArray::number(i) + "-piece;";
    script.pieces << ServerScript::Piece{PageTimeOut / 3, piece};
    expected += piece;
  }
  LoopbackServer server(script);
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, expected);
}

TEST_F(HttpClientTest, StallTimesOut) {
  LoopbackServer server(ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html>", false));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Timeout);
  EXPECT_EQ(r.ErrorMessage(), QStringLiteral("download failed"));
  EXPECT_TRUE(r.body.isEmpty());
}

TEST_F(HttpClientTest, ServerThatNeverAnswersTimesOut) {
  LoopbackServer server(ServerScript{{}, false});
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Timeout);
}

TEST_F(HttpClientTest, NotFoundEndsAtOnceAsInvalid) {
  // The connection stays open: the answer must end on the status, not by time-out.
  LoopbackServer server(
      ServerScript::Answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\n<h1>Not Found</h1>", false));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/missing")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::InvalidResponse);
  EXPECT_EQ(r.ErrorMessage(), QStringLiteral("download failed"));
}

TEST_F(HttpClientTest, HeadSplitOverSeveralReadsIsCollected) {
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 20"},
                                      {60, "0 OK\r\nContent-Ty"},
                                      {60, "pe: text/html\r\n\r"},
                                      {60, "\n<html>split</html>"}},
                                     true});
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, QByteArray("<html>split</html>"));
}

TEST_F(HttpClientTest, SplitHeadOfAFileStillEndsByLength) {
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n"},
                                      {60, "Content-Length: 3\r\n\r\nxyz"}},
                                     false});
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, QByteArray("xyz"));
}

TEST_F(HttpClientTest, AnswerWithoutContentTypeIsAPageEndedByClose) {
  LoopbackServer server(ServerScript::Answer("HTTP/1.1 200 OK\r\nServer: tiny\r\n\r\nplain body"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, QByteArray("plain body"));
}

TEST_F(HttpClientTest, LengthThatIsNotANumberIsInvalid) {
  LoopbackServer server(ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: lots\r\n\r\nabc", false));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::InvalidResponse);
}

TEST_F(HttpClientTest, HeadLargerThan64KiBIsInvalid) {
  LoopbackServer server(ServerScript::Answer(
      "HTTP/1.1 200 OK\r\nX-Filler: " + QByteArray(70 * 1024, 'x') + "\r\nContent-Type: text/html\r\n\r\nbody",
      false));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::InvalidResponse);
}

TEST_F(HttpClientTest, HeadCutOffByCloseIsInvalid) {
  LoopbackServer server(ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"));
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::InvalidResponse);
}

TEST_F(HttpClientTest, RefusedConnectionIsNoFailureButAnEmptyBody) {
  quint16 port = 0;
  {
    LoopbackServer gone(ServerScript::Page("x"));
    port = gone.port();
  }
  const HttpResult r =
      client.HTTPGet(QStringLiteral("http://127.0.0.1:%1/").arg(port), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::SocketError);
  EXPECT_FALSE(r.Failed());
  EXPECT_TRUE(r.body.isEmpty());
}

TEST_F(HttpClientTest, ConnectionClosedWithoutAnyAnswerGivesAnEmptyBody) {
  LoopbackServer server(ServerScript{{}, true});
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_FALSE(r.Failed());
  EXPECT_TRUE(r.body.isEmpty());
}

TEST_F(HttpClientTest, BadUrlFailsWithoutConnecting) {
  const HttpResult r = client.HTTPGet(QStringLiteral("ftp://example.org/x"), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::BadUrl);
  EXPECT_EQ(r.ErrorMessage(), QStringLiteral("download failed"));
}

TEST_F(HttpClientTest, CancelEndsTheRunningRequest) {
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\nfirst"}}, false});
  QObject::connect(&client, &T_HTTPClient::DataReceived, &client, &T_HTTPClient::CancelRequest);
  const HttpResult r = client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA"));
  EXPECT_EQ(r.outcome, Outcome::Cancelled);
  EXPECT_EQ(r.ErrorMessage(), QStringLiteral("download failed"));
}

TEST_F(HttpClientTest, CancelWhileIdleDoesNothing) {
  client.CancelRequest();
  LoopbackServer server(ServerScript::Page("fine"));
  EXPECT_EQ(client.HTTPGet(server.url(QStringLiteral("/")), QStringLiteral("UA")).body, QByteArray("fine"));
}

TEST_F(HttpClientTest, InterfaceStaysAliveButASecondRequestIsNotStarted) {
  // A timer that fires during the wait runs (the interface is alive) and tries a second
  // request of the same client, which is refused while the first runs.
  LoopbackServer server(ServerScript{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"}, {150, "done"}}, true});
  std::optional<HttpResult> second;
  bool busyDuringWait = false;
  QTimer::singleShot(50, [&] {
    busyDuringWait = client.Busy();
    second = client.HTTPGet(server.url(QStringLiteral("/second")), QStringLiteral("UA"));
  });
  const HttpResult first = client.HTTPGet(server.url(QStringLiteral("/first")), QStringLiteral("UA"));
  EXPECT_EQ(first.body, QByteArray("done"));
  ASSERT_TRUE(second.has_value());
  EXPECT_TRUE(busyDuringWait);
  EXPECT_EQ(second->outcome, Outcome::Busy);
  EXPECT_EQ(server.requests().size(), 1);
  EXPECT_FALSE(client.Busy());
}

TEST_F(HttpClientTest, EachRequestStartsFresh) {
  LoopbackServer server([](const QByteArray& request) {
    if (request.startsWith("GET /a ")) return ServerScript::Page("AAA");
    return ServerScript::Answer("HTTP/1.1 404 Not Found\r\n\r\n");
  });
  EXPECT_EQ(client.HTTPGet(server.url(QStringLiteral("/a")), QStringLiteral("UA")).body, QByteArray("AAA"));
  EXPECT_EQ(client.HTTPGet(server.url(QStringLiteral("/b")), QStringLiteral("UA")).outcome, Outcome::InvalidResponse);
  EXPECT_EQ(client.HTTPGet(server.url(QStringLiteral("/a")), QStringLiteral("UA")).body, QByteArray("AAA"));
}

TEST(HttpClientDefaults, ProgramTimeOutsAreFiveAndThirtySeconds) {
  T_HTTPClient client;
  EXPECT_EQ(client.TimeOutInterval(), 5000);
  EXPECT_EQ(T_HTTPClient::FileTimeOutMs, 30000);
}

}  // namespace
