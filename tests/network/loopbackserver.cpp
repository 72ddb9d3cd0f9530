#include "loopbackserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The sockets and timers of these tests need an application object; the updater's window
// needs a widget application.
class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!QCoreApplication::instance()) app_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "test_network";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] const auto* const environment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

LoopbackServer::LoopbackServer(Chooser chooser) : chooser_(std::move(chooser)) {
  server_.listen(QHostAddress::LocalHost);
  connect(&server_, &QTcpServer::newConnection, this, &LoopbackServer::Accept);
}

LoopbackServer::~LoopbackServer() { close(); }

void LoopbackServer::close() {
  server_.close();
  for (const auto& socket : sockets_) {
    if (socket) socket->abort();
  }
}

void LoopbackServer::Accept() {
  while (QTcpSocket* socket = server_.nextPendingConnection()) {
    sockets_ << socket;
    auto received = std::make_shared<QByteArray>();
    QPointer<QTcpSocket> guarded(socket);
    connect(socket, &QTcpSocket::readyRead, this, [this, guarded, received] {
      if (!guarded) return;
      const bool had = received->contains("\r\n\r\n");
      *received += guarded->readAll();
      if (had || !received->contains("\r\n\r\n")) return;
      requests_ << *received;
      Play(guarded, chooser_(*received), 0);
    });
  }
}

void LoopbackServer::Play(QPointer<QTcpSocket> socket, ServerScript script, int index) {
  if (!socket) return;
  if (index >= script.pieces.size()) {
    if (script.closeAtEnd) socket->disconnectFromHost();
    return;
  }
  const auto piece = script.pieces.at(index);
  QTimer::singleShot(piece.delayMs, this, [this, socket, script, index, piece] {
    if (!socket || socket->state() != QAbstractSocket::ConnectedState) return;
    socket->write(piece.bytes);
    socket->flush();
    Play(socket, script, index + 1);
  });
}

bool SpinUntil(const std::function<bool()>& condition, int guardMs) {
  QElapsedTimer guard;
  guard.start();
  while (!condition()) {
    if (guard.elapsed() > guardMs) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}
