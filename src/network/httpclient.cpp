#include "network/httpclient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <cmath>

T_HTTPClient::T_HTTPClient(QObject* parent) : QObject(parent) {
  TimeOutTimer = new QTimer(this);
  TimeOutTimer->setObjectName(QStringLiteral("TimeOutTimer"));
  TimeOutTimer->setSingleShot(true);
  TimeOutTimer->setInterval(pageTimeOutMs_);
  connect(TimeOutTimer, &QTimer::timeout, this, &T_HTTPClient::TimeOutTimerTimer);
  // The whole exchange, however steadily data comes: ends like a time-out.
  DeadlineTimer = new QTimer(this);
  DeadlineTimer->setObjectName(QStringLiteral("DeadlineTimer"));
  DeadlineTimer->setSingleShot(true);
  connect(DeadlineTimer, &QTimer::timeout, this, &T_HTTPClient::TimeOutTimerTimer);

  ClientSocket1 = new QSslSocket(this);
  ClientSocket1->setObjectName(QStringLiteral("ClientSocket1"));
  ClientSocket1->setPeerVerifyMode(QSslSocket::VerifyPeer);
  connect(ClientSocket1, &QTcpSocket::connected, this, &T_HTTPClient::ClientSocket1Connected);
  connect(ClientSocket1, &QSslSocket::encrypted, this, &T_HTTPClient::ClientSocket1Write);
  // A certificate that fails the check is never accepted: the socket drops the connection,
  // and the request ends as a failed secure connection.
  connect(ClientSocket1, &QSslSocket::sslErrors, this, [this] { tlsFailed_ = true; });
  connect(ClientSocket1, &QTcpSocket::readyRead, this, &T_HTTPClient::ClientSocket1Read);
  connect(ClientSocket1, &QTcpSocket::errorOccurred, this, &T_HTTPClient::ClientSocket1Error);
  connect(ClientSocket1, &QTcpSocket::disconnected, this, &T_HTTPClient::ClientSocket1Disconnect);
}

T_HTTPClient::~T_HTTPClient() {
  // Destroyed by a handler that ran during the wait: end the wait; HTTPGet sees it.
  if (loop_) loop_->quit();
}

void T_HTTPClient::SetTimeOuts(int pageMs, int fileMs) {
  pageTimeOutMs_ = pageMs;
  fileTimeOutMs_ = fileMs;
  TimeOutTimer->setInterval(TimeOutInterval());
}

int T_HTTPClient::TimeOutInterval() const { return sawFile_ ? fileTimeOutMs_ : pageTimeOutMs_; }

void T_HTTPClient::AddCaCertificates(const QList<QSslCertificate>& certificates) {
  QSslConfiguration configuration = ClientSocket1->sslConfiguration();
  configuration.addCaCertificates(certificates);
  ClientSocket1->setSslConfiguration(configuration);
}

HttpResult T_HTTPClient::HTTPGet(const QString& url, const QString& userAgent) {
  return HTTPGet(url, userAgent, PageLimits);
}

HttpResult T_HTTPClient::HTTPGet(const QString& url, const QString& userAgent, const HttpLimits& limits) {
  HttpResult result;
  if (running_) {
    result.outcome = HttpResult::Outcome::Busy;
    return result;
  }
  const auto parts = SplitUrl(url);
  if (!parts) {
    result.outcome = HttpResult::Outcome::BadUrl;
    return result;
  }
  if (QCoreApplication::closingDown()) {
    result.outcome = HttpResult::Outcome::Cancelled;
    return result;
  }
  if (parts->tls && !QSslSocket::supportsSsl()) {
    result.outcome = HttpResult::Outcome::TlsError;
    return result;
  }

  running_ = true;
  request_ = BuildRequest(*parts, userAgent);
  done_ = false;
  buffer_.clear();
  head_.clear();
  answer_ = AnswerHead();
  expectingHeader_ = true;
  dropFirstLine_ = false;
  outcome_ = HttpResult::Outcome::Complete;
  tls_ = parts->tls;
  tlsFailed_ = false;
  maxBody_ = limits.maxBody;

  ClientSocket1->abort();
  if (tls_) {
    ClientSocket1->connectToHostEncrypted(parts->host, parts->port);
  } else {
    ClientSocket1->connectToHost(parts->host, parts->port);
  }
  TimeOutTimer->setInterval(TimeOutInterval());
  TimeOutTimer->start();
  DeadlineTimer->start(limits.deadlineMs);

  // Wait here while events keep coming: the socket's and the timer's, and everything else of
  // the interface. The loop ends when the request is done, or when the application quits.
  QEventLoop loop;
  loop_ = &loop;
  connect(this, &T_HTTPClient::RequestDone, &loop, &QEventLoop::quit);
  QPointer<T_HTTPClient> self(this);
  if (!done_) loop.exec();
  if (!self) {
    result.outcome = HttpResult::Outcome::Cancelled;
    return result;
  }
  loop_ = nullptr;
  if (!done_) Finish(HttpResult::Outcome::Cancelled);

  TimeOutTimer->stop();
  DeadlineTimer->stop();
  ClientSocket1->abort();
  result.outcome = outcome_;
  if (!result.Failed()) result.body = buffer_;
  buffer_.clear();
  head_.clear();
  running_ = false;
  return result;
}

void T_HTTPClient::CancelRequest() {
  if (running_) Finish(HttpResult::Outcome::Cancelled);
}

qint64 T_HTTPClient::ExpectedSize() const {
  if (answer_.isFile) return answer_.contentLength;
  if (answer_.contentType == QStringLiteral("text/html")) return buffer_.size();
  return 0;
}

int T_HTTPClient::PercentDone() const {
  if (!answer_.contentType.contains(QStringLiteral("application")) ||
      ClientSocket1->state() != QAbstractSocket::ConnectedState) {
    return 0;
  }
  const double share = static_cast<double>(buffer_.size()) / (static_cast<double>(answer_.contentLength) + 1.0);
  return static_cast<int>(std::floor(share * 100.0));
}

void T_HTTPClient::ClientSocket1Connected() {
  // A secure connection sends once the handshake has checked the server.
  if (!tls_) ClientSocket1Write();
}

void T_HTTPClient::ClientSocket1Write() {
  if (!running_ || done_ || request_.isEmpty()) return;
  ClientSocket1->write(request_);
  request_.clear();
}

void T_HTTPClient::ClientSocket1Read() {
  if (!running_ || done_) return;
  TimeOutTimer->stop();
  QByteArray text = ClientSocket1->readAll();

  if (expectingHeader_) {
    // The head may come over several reads: collect it up to the empty line that ends it.
    head_ += text;
    const AnswerHead head = ParseAnswerHead(head_);
    if (head.state == AnswerHead::State::Incomplete) {
      TimeOutTimer->start();
      return;
    }
    if (head.state == AnswerHead::State::Invalid) {
      Finish(HttpResult::Outcome::InvalidResponse);
      return;
    }
    answer_ = head;
    // A file announcing more than the cap is refused before any of it is kept.
    if (answer_.isFile && answer_.contentLength > maxBody_) {
      Finish(HttpResult::Outcome::TooLarge);
      return;
    }
    if (answer_.isFile) {
      // Files take longer; from now on every request of this client waits 30 s for data.
      sawFile_ = true;
      TimeOutTimer->setInterval(TimeOutInterval());
    }
    // A chunked HTML page starts with the size of its first chunk on a line of its own.
    dropFirstLine_ = answer_.chunked && answer_.contentType.startsWith(QStringLiteral("text/html"));
    text = head_.mid(answer_.bodyStart);
    head_.clear();
    expectingHeader_ = false;
  }
  HandleBody(text);
}

void T_HTTPClient::HandleBody(const QByteArray& text) {
  buffer_ += text;
  if (dropFirstLine_) {
    const qsizetype lineEnd = buffer_.indexOf("\r\n");
    if (lineEnd >= 0) {
      buffer_.remove(0, lineEnd + 2);
      dropFirstLine_ = false;
    }
  }
  emit DataReceived();
  if (done_) return;  // a handler of DataReceived cancelled the request
  if (answer_.isFile) {
    if (buffer_.size() >= answer_.contentLength) {
      buffer_.truncate(answer_.contentLength);
      Finish(HttpResult::Outcome::Complete);
      return;
    }
  } else if (buffer_.size() > maxBody_) {
    // A page larger than the cap is not one of the pages we read: stop instead of filling
    // the memory.
    Finish(HttpResult::Outcome::TooLarge);
    return;
  }
  // The time-out counts from the last data received.
  TimeOutTimer->start();
}

void T_HTTPClient::ClientSocket1Error() {
  if (!running_ || done_) return;
  // The server closing the connection is how a page ends; the disconnect handles it.
  if (ClientSocket1->error() == QAbstractSocket::RemoteHostClosedError && !tlsFailed_) return;
  if (tlsFailed_ || ClientSocket1->error() == QAbstractSocket::SslHandshakeFailedError) {
    Finish(HttpResult::Outcome::TlsError);
    return;
  }
  if (!expectingHeader_ && answer_.isFile) {
    // A file cut short is no file.
    Finish(HttpResult::Outcome::InvalidResponse);
    return;
  }
  if (expectingHeader_) buffer_.clear();
  Finish(HttpResult::Outcome::SocketError);
}

void T_HTTPClient::ClientSocket1Disconnect() {
  if (!running_ || done_) return;
  if (tlsFailed_) {
    Finish(HttpResult::Outcome::TlsError);
    return;
  }
  if (ClientSocket1->bytesAvailable() > 0) {
    ClientSocket1Read();
    if (done_) return;
  }
  if (expectingHeader_) {
    // Nothing at all is a failed connection; part of a head is a broken answer.
    Finish(head_.isEmpty() ? HttpResult::Outcome::SocketError : HttpResult::Outcome::InvalidResponse);
    return;
  }
  if (answer_.isFile) {
    Finish(HttpResult::Outcome::InvalidResponse);  // closed before the announced length
    return;
  }
  if (dropFirstLine_) buffer_.clear();  // the page held no more than its chunk-size line
  Finish(HttpResult::Outcome::Complete);
}

void T_HTTPClient::TimeOutTimerTimer() {
  if (!running_ || done_) return;
  Finish(HttpResult::Outcome::Timeout);
}

void T_HTTPClient::Finish(HttpResult::Outcome outcome) {
  if (done_) return;
  done_ = true;
  outcome_ = outcome;
  TimeOutTimer->stop();
  DeadlineTimer->stop();
  ClientSocket1->abort();
  emit RequestDone();
}
