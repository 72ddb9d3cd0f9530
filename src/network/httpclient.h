#pragma once

#include "network/httpparse.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

class QEventLoop;
class QSslCertificate;
class QSslSocket;
class QTimer;

// The bounds of one exchange: it ends within the deadline, counted from the start of the
// request however steadily data comes, and its body never grows beyond the cap. Pages and
// version texts keep the defaults; only the installer download asks for more.
struct HttpLimits {
  static constexpr int PageDeadlineMs = 30000;
  static constexpr qint64 PageMaxBody = 2 * 1024 * 1024;
  int deadlineMs = PageDeadlineMs;
  qint64 maxBody = PageMaxBody;
};

// The outcome of one HTTPGet. Failed() is the "download failed" of a time-out, a cancel, an
// answer that is not a 200 or not a usable answer, a body beyond the cap, a secure
// connection that could not be made, or a file that ended before its length.
// A socket error (refused connection, unknown host, a page cut off) is no failure: the body
// holds what arrived, often nothing, and the caller judges it.
struct HttpResult {
  enum class Outcome {
    Complete,         // a page ended by the server closing, or a file with all its length
    SocketError,      // the connection failed or broke; body is what arrived before
    Timeout,          // "timeout": no data for the time-out, or the deadline passed
    Cancelled,        // "cancel" (also when the application ends during the wait)
    InvalidResponse,  // "invalid response"
    Busy,             // a request of this client was already running
    BadUrl,           // not an "http://" or "https://" URL this client can ask for
    TooLarge,         // the body (or the length a file announced) is beyond the cap
    TlsError,         // "https://": no encryption here, or the server's certificate failed the check
  };
  Outcome outcome = Outcome::Complete;
  QByteArray body;

  bool Failed() const { return outcome != Outcome::Complete && outcome != Outcome::SocketError; }
  // The message of a failed download.
  QString ErrorMessage() const { return Failed() ? QStringLiteral("download failed") : QString(); }
};

// The program's own small HTTP/1.1 client: one GET at a time over a TCP connection, plain for
// "http://" and encrypted with the server's certificate checked against the system's
// authorities for "https://". The caller waits inside HTTPGet, which runs a local event loop
// so that the interface, timers and menus stay alive; a second request while one runs is
// refused, not started.
//
// Two kinds of answer: pages end when the server closes the connection; files (a content
// type with "application/") end when the announced "Content-Length:" has arrived. The
// time-out counts from the last data received: 5 s, and 30 s for every request once this
// client has seen a file answer. Besides, every request ends at its deadline and no body
// grows beyond its cap (HttpLimits), so a server that trickles or never stops sending
// cannot hold the caller or fill the memory.
class T_HTTPClient : public QObject {
  Q_OBJECT

 public:
  static constexpr int PageTimeOutMs = 5000;
  static constexpr int FileTimeOutMs = 30000;

  explicit T_HTTPClient(QObject* parent = nullptr);
  ~T_HTTPClient() override;

  // Fetches the URL ("http://" or "https://" host [":" port] path) with the given user agent,
  // within the limits given, or the client's PageLimits.
  HttpResult HTTPGet(const QString& url, const QString& userAgent);
  HttpResult HTTPGet(const QString& url, const QString& userAgent, const HttpLimits& limits);
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

  // Certificates trusted besides the system's (tests trust their own server's).
  void AddCaCertificates(const QList<QSslCertificate>& certificates);

  // The limits of a request that names none; tests shrink them.
  HttpLimits PageLimits;

  QTimer* TimeOutTimer = nullptr;
  QTimer* DeadlineTimer = nullptr;
  QSslSocket* ClientSocket1 = nullptr;

 signals:
  // Data of the running answer arrived (for progress displays).
  void DataReceived();
  // The running request ended; the wait loop listens to it.
  void RequestDone();

 private:
  void ClientSocket1Connected();
  void ClientSocket1Write();
  void ClientSocket1Read();
  void ClientSocket1Error();
  void ClientSocket1Disconnect();
  void TimeOutTimerTimer();
  void HandleBody(const QByteArray& text);
  void Finish(HttpResult::Outcome outcome);

  bool running_ = false;
  bool done_ = false;
  bool expectingHeader_ = false;
  bool dropFirstLine_ = false;
  bool sawFile_ = false;
  bool tls_ = false;
  bool tlsFailed_ = false;
  qint64 maxBody_ = HttpLimits::PageMaxBody;
  int pageTimeOutMs_ = PageTimeOutMs;
  int fileTimeOutMs_ = FileTimeOutMs;
  QByteArray request_;
  QByteArray head_;    // the head collected over the reads until its empty line
  QByteArray buffer_;  // the body so far
  AnswerHead answer_;
  HttpResult::Outcome outcome_ = HttpResult::Outcome::Complete;
  QEventLoop* loop_ = nullptr;
};
