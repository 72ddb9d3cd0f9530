#pragma once

#include "network/httpparse.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QEventLoop;
class QTcpSocket;
class QTimer;

// The outcome of one HTTPGet. Failed() is the "download failed" of a time-out, a cancel, an
// answer that is not a 200 or not a usable answer, or a file that ended before its length.
// A socket error (refused connection, unknown host, a page cut off) is no failure: the body
// holds what arrived, often nothing, and the caller judges it.
struct HttpResult {
  enum class Outcome {
    Complete,         // a page ended by the server closing, or a file with all its length
    SocketError,      // the connection failed or broke; body is what arrived before
    Timeout,          // "timeout"
    Cancelled,        // "cancel" (also when the application ends during the wait)
    InvalidResponse,  // "invalid response"
    Busy,             // a request of this client was already running
    BadUrl,           // not an "http://" URL this client can ask for
  };
  Outcome outcome = Outcome::Complete;
  QByteArray body;

  bool Failed() const { return outcome != Outcome::Complete && outcome != Outcome::SocketError; }
  // The message of a failed download.
  QString ErrorMessage() const { return Failed() ? QStringLiteral("download failed") : QString(); }
};

// The program's own small HTTP/1.1 client: one plain GET at a time over a TCP connection. The
// caller waits inside HTTPGet, which runs a local event loop so that the interface, timers
// and menus stay alive; a second request while one runs is refused, not started.
//
// Two kinds of answer: pages end when the server closes the connection; files (a content
// type with "application/") end when the announced "Content-Length:" has arrived. The
// time-out counts from the last data received: 5 s, and 30 s for every request once this
// client has seen a file answer.
class T_HTTPClient : public QObject {
  Q_OBJECT

 public:
  static constexpr int PageTimeOutMs = 5000;
  static constexpr int FileTimeOutMs = 30000;

  explicit T_HTTPClient(QObject* parent = nullptr);
  ~T_HTTPClient() override;

  // Fetches the URL ("http://" host [":" port] path) with the given user agent.
  HttpResult HTTPGet(const QString& url, const QString& userAgent);
  // Ends the running request with the outcome "cancel"; nothing when idle.
  void CancelRequest();
  bool Busy() const { return running_; }

  // File answers: the announced length; a page of type exactly "text/html": the bytes
  // received so far; otherwise 0.
  qint64 ExpectedSize() const;
  // File answers while the connection is open: the share received, 0 to 100.
  int PercentDone() const;

  // The time-outs, shortened by tests; the program keeps 5 s and 30 s.
  void SetTimeOuts(int pageMs, int fileMs);
  int TimeOutInterval() const;

  QTimer* TimeOutTimer = nullptr;
  QTcpSocket* ClientSocket1 = nullptr;

 signals:
  // Data of the running answer arrived (for progress displays).
  void DataReceived();
  // The running request ended; the wait loop listens to it.
  void RequestDone();

 private:
  void ClientSocket1Write();
  void ClientSocket1Read();
  void ClientSocket1Error();
  void ClientSocket1Disconnect();
  void TimeOutTimerTimer();
  void HandleBody(QByteArray text);
  void Finish(HttpResult::Outcome outcome);

  bool running_ = false;
  bool done_ = false;
  bool expectingHeader_ = false;
  bool dropFirstLine_ = false;
  bool sawFile_ = false;
  int pageTimeOutMs_ = PageTimeOutMs;
  int fileTimeOutMs_ = FileTimeOutMs;
  QByteArray request_;
  QByteArray head_;    // the head collected over the reads until its empty line
  QByteArray buffer_;  // the body so far
  AnswerHead answer_;
  HttpResult::Outcome outcome_ = HttpResult::Outcome::Complete;
  QEventLoop* loop_ = nullptr;
};
