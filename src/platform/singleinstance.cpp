#include "platform/singleinstance.h"

#include "platform/storelock.h"

#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

QString KeyOf(const QString& storePath) {
  const QString canonical = QFileInfo(storePath).absoluteFilePath();
  const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha1).toHex();
  return QStringLiteral("orvane-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash.left(16)));
}

QString RuntimeDir() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir;
}

const QByteArray RaiseRequest = "raise\n";

}  // namespace

SingleInstance::SingleInstance(const QString& storePath, QObject* parent)
    : QObject(parent), storePath_(storePath), lock_(LockPath(storePath)) {
  lock_.setStaleLockTime(0);  // only a lock whose process is gone is stale
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  lock_.unlock();
}

QString SingleInstance::LockPath(const QString& storePath) { return StoreLock::LockPath(storePath); }

QString SingleInstance::ServerName(const QString& storePath) {
  return RuntimeDir() + QLatin1Char('/') + KeyOf(storePath) + QStringLiteral(".sock");
}

bool SingleInstance::AskRunningCopyToRaise() {
  QLocalSocket socket;
  socket.connectToServer(ServerName(storePath_));
  if (!socket.waitForConnected(2000)) return false;
  socket.write(RaiseRequest);
  socket.waitForBytesWritten(2000);
  socket.waitForReadyRead(2000);  // the running copy acknowledges
  socket.disconnectFromServer();
  return true;
}

SingleInstance::Outcome SingleInstance::Start() {
  if (!lock_.tryLock(0)) {
    if (lock_.error() == QLockFile::LockFailedError) {
      if (AskRunningCopyToRaise()) return Outcome::OtherRunning;
      // Held by a command-line run (which does not listen): wait for it to finish.
      if (!lock_.tryLock(5000)) {
        error_ = QStringLiteral("Another Orvane is busy with the calendar; try again in a moment.");
        return Outcome::Failed;
      }
    } else {
      error_ = QStringLiteral("Cannot create the lock file %1").arg(LockPath(storePath_));
      return Outcome::Failed;
    }
  }
  const QString name = ServerName(storePath_);
  QLocalServer::removeServer(name);  // a socket left by a copy that crashed
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name)) {
    error_ = QStringLiteral("Cannot listen on %1: %2").arg(name, server_->errorString());
    return Outcome::Failed;
  }
  connect(server_.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        const QByteArray request = socket->readAll();
        if (request.startsWith(RaiseRequest.trimmed())) {
          socket->write("ok\n");
          socket->flush();
          emit RaiseRequested();
        }
      });
    }
  });
  return Outcome::First;
}

bool SingleInstance::LockForCommand() {
  if (lock_.tryLock(0)) return true;
  error_ = StoreLock::HeldMessage();
  return false;
}
