#include "radicaleserver.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

// Debian's server and client libraries belong to the system's Python.
QString SystemPython() {
  return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                           : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

quint16 FreePort() {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
  return probe.serverPort();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

RadicaleServer::RadicaleServer() = default;

RadicaleServer::~RadicaleServer() { Stop(); }

QString RadicaleServer::url(const QString& path) const {
  return (tls_ ? QStringLiteral("https://127.0.0.1:%1") : QStringLiteral("http://127.0.0.1:%1")).arg(port_) + path;
}

bool RadicaleServer::Start() {
  if (running()) return true;
  if (!folder_.isValid()) {
    error_ = QStringLiteral("no temporary folder");
    return false;
  }
  const QString radicale = QStandardPaths::findExecutable(QStringLiteral("radicale"));
  if (radicale.isEmpty()) {
    error_ = QStringLiteral("radicale is not installed (scripts/install-deps installs it)");
    return false;
  }
  const QString users = folder_.filePath(QStringLiteral("users"));
  const QString config = folder_.filePath(QStringLiteral("config"));
  const QString certificate = folder_.filePath(QStringLiteral("cert.pem"));
  const QString key = folder_.filePath(QStringLiteral("key.pem"));
  QByteArray tls;
  if (tls_) {
    const auto openssl = [this](const QStringList& arguments) -> std::optional<QString> {
      QProcess run;
      run.start(QStringLiteral("openssl"), arguments);
      if (!run.waitForFinished(60000) || run.exitCode() != 0) {
        error_ = QStringLiteral("openssl failed (scripts/install-deps installs it): ") +
                 QString::fromUtf8(run.readAllStandardError()) + run.errorString();
        return std::nullopt;
      }
      return QString::fromUtf8(run.readAllStandardOutput());
    };
    if (fingerprint_.isEmpty()) {
      if (!openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    key, "-out", certificate, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1"}))
        return false;
      // "sha256 Fingerprint=AB:12:..."
      fingerprint_ = openssl({"x509", "-noout", "-fingerprint", "-sha256", "-in", certificate})
                         .value_or(QString())
                         .section(QLatin1Char('='), 1)
                         .trimmed();
      if (fingerprint_.isEmpty()) return false;
    }
    tls = "ssl = True\ncertificate = " + certificate.toUtf8() + "\nkey = " + key.toUtf8() + "\n";
  }
  // A second account, so that a test can sign in as someone the calendar does not belong to.
  const QByteArray accounts = QByteArray(User) + ':' + Password + "\nbob:builder\n";
  // A port is taken afresh at each start; a port another program grabbed in between makes
  // the server fail to start, and the next attempt takes another.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreePort();
    const QByteArray settings = "[server]\nhosts = 127.0.0.1:" + QByteArray::number(port_) + "\n" + tls +
                                "[auth]\ntype = htpasswd\nhtpasswd_filename = " + users.toUtf8() +
                                "\nhtpasswd_encryption = plain\ndelay = 0\n[storage]\nfilesystem_folder = " +
                                folder_.filePath(QStringLiteral("collections")).toUtf8() +
                                "\n[rights]\ntype = owner_only\n[logging]\nlevel = warning\n";
    if (port_ == 0 || !WriteFile(users, accounts) || !WriteFile(config, settings)) {
      error_ = QStringLiteral("cannot prepare the server's files");
      return false;
    }
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    process_->start(radicale, {QStringLiteral("--config"), config});
    if (!process_->waitForStarted(10000)) {
      error_ = QStringLiteral("radicale did not start: ") + process_->errorString();
      return false;
    }
    // Up when it accepts a connection; the guard only keeps a broken server from hanging.
    QElapsedTimer guard;
    guard.start();
    while (running() && guard.elapsed() < 30000) {
      QTcpSocket probe;
      probe.connectToHost(QHostAddress::LocalHost, port_);
      if (probe.waitForConnected(200)) return true;
      QThread::msleep(50);
    }
    error_ = QStringLiteral("radicale did not answer: ") + QString::fromUtf8(process_->readAll());
    Stop();
  }
  return false;
}

void RadicaleServer::Stop() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();
    if (!process_->waitForFinished(10000)) {
      process_->kill();
      process_->waitForFinished(5000);
    }
  }
  process_.reset();
}

bool RadicaleServer::Seed(const QString& collectionPath, const QList<std::pair<QString, QByteArray>>& resources) const {
  const QDir collection(folder_.filePath(QStringLiteral("collections/collection-root") + collectionPath));
  if (!collection.exists()) return false;
  for (const auto& [name, text] : resources)
    if (name.contains(QLatin1Char('/')) || !WriteFile(collection.filePath(name), text)) return false;
  return true;
}

std::optional<QString> RadicaleServer::Phone(const QString& collectionUrl, const QStringList& arguments) const {
  const QString script =
      QDir(qEnvironmentVariable("ORVANE_SOURCE_DIR")).filePath(QStringLiteral("tests/network/phone.py"));
  QProcess phone;
  phone.start(SystemPython(),
              QStringList{script, collectionUrl, QString::fromLatin1(User), QString::fromLatin1(Password)} + arguments);
  if (!phone.waitForFinished(60000) || phone.exitStatus() != QProcess::NormalExit || phone.exitCode() != 0) {
    ADD_FAILURE() << "phone " << arguments.join(QLatin1Char(' ')).toStdString()
                  << " failed: " << phone.readAllStandardError().toStdString();
    return std::nullopt;
  }
  return QString::fromUtf8(phone.readAllStandardOutput());
}
