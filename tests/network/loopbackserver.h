#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>

// What the test server does after it has read a request: each piece is written after its
// delay (counted from the piece before), then the connection is closed or left open.
struct ServerScript {
  struct Piece {
    int delayMs = 0;
    QByteArray bytes;
  };
  QList<Piece> pieces;
  bool closeAtEnd = true;

  // The whole answer at once.
  static ServerScript Answer(const QByteArray& bytes, bool close = true) { return {{{0, bytes}}, close}; }
  // An answer with a head and a page body ended by closing.
  static ServerScript Page(const QByteArray& body, const QByteArray& type = "text/html") {
    return Answer("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nConnection: close\r\n\r\n" + body);
  }
  // A JSON body with its length announced.
  static ServerScript JsonPage(const QByteArray& body) {
    return Answer("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
  }
  // An answer of that status ("404 Not Found") with an empty body.
  static ServerScript Status(const QByteArray& status) {
    return Answer("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\n\r\n");
  }
  // A page head, then one byte every everyMs, count times: each well within a time-out
  // between reads, the whole as long as the server likes.
  static ServerScript Trickle(int count, int everyMs) {
    ServerScript script{{{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"}}, true};
    for (int i = 0; i < count; ++i) script.pieces << Piece{everyMs, "x"};
    return script;
  }
};

// A small HTTP server on 127.0.0.1 for the client's tests, on the test's own thread: the
// client's wait loop runs it. Each request is answered by the script the chooser gives.
// With Tls::On it speaks HTTPS with a certificate for "localhost" and 127.0.0.1 that no
// system trusts (TlsCertificate(), for a client to trust on purpose).
class LoopbackServer : public QObject {
 public:
  using Chooser = std::function<ServerScript(const QByteArray& request)>;
  enum class Tls { Off, On };

  explicit LoopbackServer(Chooser chooser, Tls tls = Tls::Off);
  explicit LoopbackServer(ServerScript script, Tls tls = Tls::Off)
      : LoopbackServer([script](const QByteArray&) { return script; }, tls) {}
  ~LoopbackServer() override;

  static QSslCertificate TlsCertificate();

  quint16 port() const { return server_->serverPort(); }
  QString hostAndPort() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
  QString url(const QString& path) const {
    return (tls_ ? QStringLiteral("https://localhost:%1") : QStringLiteral("http://127.0.0.1:%1")).arg(port()) + path;
  }
  // The requests read so far, each whole, in order.
  const QList<QByteArray>& requests() const { return requests_; }
  void close();

 private:
  void Accept();
  void Play(QPointer<QTcpSocket> socket, ServerScript script, int index);

  std::unique_ptr<QTcpServer> server_;
  bool tls_ = false;
  Chooser chooser_;
  QList<QByteArray> requests_;
  QList<QPointer<QTcpSocket>> sockets_;
};

// Runs the event loop until the condition holds or the guard time has passed (the guard only
// keeps a broken test from hanging; nothing is asserted about time).
bool SpinUntil(const std::function<bool()>& condition, int guardMs = 60000);
