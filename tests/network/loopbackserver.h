#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

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
};

// A small HTTP server on 127.0.0.1 for the client's tests, on the test's own thread: the
// client's wait loop runs it. Each request is answered by the script the chooser gives.
class LoopbackServer : public QObject {
 public:
  using Chooser = std::function<ServerScript(const QByteArray& request)>;

  explicit LoopbackServer(Chooser chooser);
  explicit LoopbackServer(ServerScript script) : LoopbackServer([script](const QByteArray&) { return script; }) {}
  ~LoopbackServer() override;

  quint16 port() const { return server_.serverPort(); }
  QString hostAndPort() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
  QString url(const QString& path) const { return QStringLiteral("http://") + hostAndPort() + path; }
  // The requests read so far, each whole, in order.
  const QList<QByteArray>& requests() const { return requests_; }
  void close();

 private:
  void Accept();
  void Play(QPointer<QTcpSocket> socket, ServerScript script, int index);

  QTcpServer server_;
  Chooser chooser_;
  QList<QByteArray> requests_;
  QList<QPointer<QTcpSocket>> sockets_;
};

// Runs the event loop until the condition holds or the guard time has passed (the guard only
// keeps a broken test from hanging; nothing is asserted about time).
bool SpinUntil(const std::function<bool()>& condition, int guardMs = 60000);
