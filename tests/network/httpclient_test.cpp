#include "network/httpclient.h"
#include "loopbackserver.h"
#include "support/testutil.h"

#include <gtest/gtest.h>
#include <QTimer>

namespace {

using Outcome = HttpResult::Outcome;

// Short time-outs keep the tests quick; the program's own are 5 s and 30 s. Likewise the
// deadline of a whole exchange and the cap of a body (30 s and 2 MiB).
constexpr int PageTimeOut = 400, FileTimeOut = 1500, Deadline = 4000;
constexpr qint64 MaxBody = 4096;

struct Client : T_HTTPClient {
  Client() {
    SetTimeOuts(PageTimeOut, FileTimeOut);
    PageLimits = HttpLimits{Deadline, MaxBody};
  }
  HttpResult Get(const LoopbackServer& server, const QString& path = QStringLiteral("/")) {
    return HTTPGet(server.url(path), QStringLiteral("UA"));
  }
};

QByteArray Bytes(int n) {
  QByteArray out(n, 'x');
  for (int i = 0; i < n; ++i) out[i] = static_cast<char>('a' + i % 26);
  return out;
}

const QByteArray HtmlHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const QByteArray ChunkedHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
const QByteArray ZipHead = "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\n";

ServerScript SlowPieces() {
  // Every piece comes well within the time-out, the whole takes several time-outs.
  ServerScript script{{{0, HtmlHead}}, true};
  for (int i = 0; i < 10; ++i) script.pieces << ServerScript::Piece{PageTimeOut / 3, QByteArray::number(i) + "-piece;"};
  return script;
}

TEST(HttpClient, EachAnswerEndsWithItsOutcomeAndBody) {
  const struct {
    const char* name;
    ServerScript script;
    std::optional<Outcome> outcome;
    QByteArray body = {};
    bool failed = false;  // for a row without an outcome; one with an outcome fails unless complete
  } cases[] = {
      {"PageEndsWhenTheServerCloses", ServerScript::Page("<html>Hi</html>\r\nsecond line\r\n"), Outcome::Complete,
       "<html>Hi</html>\r\nsecond line\r\n"},
      // Later chunk-size lines stay in the body; the readers of pages look for markers only.
      {"ChunkedPageLosesItsFirstChunkSizeLineOnly",
       ServerScript::Answer(ChunkedHead + "c\r\n<html>hello\r\n6\r\n</html>\r\n0\r\n\r\n"), Outcome::Complete,
       "<html>hello\r\n6\r\n</html>\r\n0\r\n\r\n"},
      {"ChunkSizeLineSplitOverReads",
       ServerScript{{{0, ChunkedHead + "1"}, {60, "a\r"}, {60, "\n<html>body</html>"}}, true}, Outcome::Complete,
       "<html>body</html>"},
      {"BytesBeyondTheLengthAreNotPartOfTheFile",
       ServerScript::Answer(ZipHead + "Content-Length: 4\r\n\r\nabcdEXTRA", false), Outcome::Complete, "abcd"},
      {"FileClosedBeforeItsLength", ServerScript::Answer(ZipHead + "Content-Length: 1000\r\n\r\nonly this"),
       std::nullopt, "", true},
      {"SlowButSteadyDownload", SlowPieces(), Outcome::Complete,
       "0-piece;1-piece;2-piece;3-piece;4-piece;5-piece;6-piece;7-piece;8-piece;9-piece;"},
      {"NeverAnswers", ServerScript{{}, false}, Outcome::Timeout},
      // The connection stays open: the answer must end on the status, not by time-out.
      {"NotFoundEndsAtOnce", ServerScript::Answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\n\r\nNo", false),
       Outcome::InvalidResponse},
      {"SplitHeadOfAFileStillEndsByLength",
       ServerScript{{{0, "HTTP/1.1 20"},
                     {60, "0 OK\r\nContent-Type: application/zip\r"},
                     {60, "\nContent-Length: 3\r\n\r\nxyz"}},
                    false},
       Outcome::Complete, "xyz"},
      {"LengthNotANumber", ServerScript::Answer(ZipHead + "Content-Length: lots\r\n\r\nabc", false),
       Outcome::InvalidResponse},
      {"HeadLargerThan64KiB",
       ServerScript::Answer("HTTP/1.1 200 OK\r\nX-Filler: " + QByteArray(70 * 1024, 'x') + "\r\n\r\nbody", false),
       Outcome::InvalidResponse},
      {"HeadCutOffByClose", ServerScript::Answer("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"),
       Outcome::InvalidResponse},
      {"ClosedWithoutAnyAnswer", ServerScript{{}, true}, std::nullopt},
      {"PageAtTheCap", ServerScript::Page(Bytes(MaxBody)), Outcome::Complete, Bytes(MaxBody)},
      {"PageBeyondTheCap", ServerScript::Page(Bytes(MaxBody + 1)), Outcome::TooLarge},
      // Refused on its head: neither its bytes nor a time-out are waited for.
      {"FileAnnouncedBeyondTheCap",
       ServerScript::Answer(ZipHead + "Content-Length: " + QByteArray::number(MaxBody + 1) + "\r\n\r\nab", false),
       Outcome::TooLarge}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server(c.script);
    Client client;
    const HttpResult r = client.Get(server);
    EXPECT_EQ(r.outcome, c.outcome.value_or(r.outcome));
    EXPECT_EQ(r.body, c.body);
    // Every failure says the same; a complete page or no answer at all is none.
    const bool failed = c.outcome ? *c.outcome != Outcome::Complete : c.failed;
    EXPECT_EQ(r.Failed(), failed);
    EXPECT_EQ(r.ErrorMessage(), failed ? QStringLiteral("download failed") : r.ErrorMessage());
  }
}

TEST(HttpClient, FileEndsAtItsLengthWithProgressAndLongerTimeOutsAfter) {
  Client client;
  LoopbackServer server([](const QByteArray& request) {
    if (request.startsWith("GET /a ")) return ServerScript{{{0, HtmlHead + "12345"}, {30, "6789"}}, true};
    if (request.startsWith("GET /text ")) return ServerScript::Page("abc", "text/plain");
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: 999\r\n\r\n";
    return ServerScript{{{0, head + Bytes(999).left(500)}, {50, Bytes(999).mid(500)}}, false};
  });
  QList<int> percents;
  QList<qint64> sizes;
  QObject::connect(&client, &T_HTTPClient::DataReceived, [&] {
    percents << client.PercentDone();
    sizes << client.ExpectedSize();
  });
  // The expected size of an HTML page is what arrived, of other text nothing; each request starts fresh.
  EXPECT_EQ(client.Get(server, QStringLiteral("/a")).body, QByteArray("123456789"));
  EXPECT_EQ(sizes, (QList<qint64>{5, 9}));
  EXPECT_EQ(client.Get(server, QStringLiteral("/text")).body, QByteArray("abc"));
  EXPECT_EQ(client.ExpectedSize(), 0);
  EXPECT_EQ(client.TimeOutInterval(), PageTimeOut);
  percents.clear();
  const HttpResult r = client.Get(server, QStringLiteral("/downloads/setup.exe"));
  // Waiting for the close would have ended in a time-out instead.
  EXPECT_EQ(r.outcome, Outcome::Complete);
  EXPECT_EQ(r.body, Bytes(999));
  EXPECT_EQ(percents, (QList<int>{50, 99}));  // floor(500 / 1000 * 100), floor(999 / 1000 * 100)
  EXPECT_EQ(sizes.last(), 999);
  // When the request is over, the connection is closed and no progress is claimed.
  EXPECT_EQ(client.PercentDone(), 0);
  // Once a file was seen, every later request of this client waits longer for data.
  EXPECT_EQ(client.TimeOutInterval(), FileTimeOut);
  EXPECT_EQ(server.requests().at(0), QByteArray("GET /a HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                                "User-Agent: UA\r\n\r\n"));
}

TEST(HttpClient, RefusedConnectionBadUrlAndCancel) {
  Client client;
  auto gone = std::make_unique<LoopbackServer>(ServerScript::Page("x"));
  const QString url = gone->url(QStringLiteral("/"));
  gone.reset();
  const HttpResult refused = client.HTTPGet(url, QStringLiteral("UA"));
  EXPECT_EQ(refused.outcome, Outcome::SocketError);
  EXPECT_FALSE(refused.Failed());
  EXPECT_EQ(client.HTTPGet(QStringLiteral("ftp://example.org/x"), QStringLiteral("UA")).outcome, Outcome::BadUrl);
  // Cancelling when idle does nothing; during a request it ends it.
  client.CancelRequest();
  LoopbackServer fine(ServerScript::Page("fine")), open(ServerScript{{{0, HtmlHead + "first"}}, false});
  EXPECT_EQ(client.Get(fine).body, QByteArray("fine"));
  QObject::connect(&client, &T_HTTPClient::DataReceived, &client, &T_HTTPClient::CancelRequest);
  EXPECT_EQ(client.Get(open).outcome, Outcome::Cancelled);
}

TEST(HttpClient, InterfaceStaysAliveButASecondRequestIsNotStarted) {
  Client client;
  // A timer that fires during the wait runs (the interface is alive) and tries a second
  // request of the same client, which is refused while the first runs.
  LoopbackServer server(ServerScript{{{0, HtmlHead}, {150, "done"}}, true});
  std::optional<HttpResult> second;
  bool busyDuringWait = false;
  QTimer::singleShot(50, [&] {
    busyDuringWait = client.Busy();
    second = client.Get(server, QStringLiteral("/second"));
  });
  EXPECT_EQ(client.Get(server, QStringLiteral("/first")).body, QByteArray("done"));
  ASSERT_TRUE(second.has_value());
  EXPECT_TRUE(busyDuringWait);
  EXPECT_EQ(second->outcome, Outcome::Busy);
  EXPECT_EQ(server.requests().size(), 1);
  EXPECT_FALSE(client.Busy());
}

TEST(HttpClient, HttpsChecksTheServersCertificate) {
  Client client;
  LoopbackServer server(ServerScript::Page("secret page"), LoopbackServer::Tls::On);
  // A certificate no authority vouches for: no request is sent.
  const HttpResult untrusted = client.Get(server, QStringLiteral("/page"));
  EXPECT_EQ(untrusted.outcome, Outcome::TlsError);
  EXPECT_TRUE(untrusted.Failed());
  EXPECT_TRUE(server.requests().isEmpty());
  client.AddCaCertificates({LoopbackServer::TlsCertificate()});
  const HttpResult trusted = client.Get(server, QStringLiteral("/page"));
  EXPECT_EQ(trusted.outcome, Outcome::Complete);
  EXPECT_EQ(trusted.body, QByteArray("secret page"));
  ASSERT_EQ(server.requests().size(), 1);
  EXPECT_TRUE(server.requests().at(0).startsWith("GET /page HTTP/1.1\r\nHost: localhost\r\n"));
}

}  // namespace
