#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>

// A real CalDAV server for the tests: Radicale (Debian's radicale) on 127.0.0.1 at a free
// port, with htpasswd accounts and its storage in a temporary folder that lives as long as
// the fixture. Start() waits until the server answers; Stop() ends it (the storage stays, so
// a later Start() serves the same calendars). After UseTls() it speaks https with a
// certificate made by the openssl command at the first start, which no system trusts.
class RadicaleServer {
 public:
  static constexpr const char* User = "alice";
  static constexpr const char* Password = "wonderland";

  RadicaleServer();
  ~RadicaleServer();
  RadicaleServer(const RadicaleServer&) = delete;
  RadicaleServer& operator=(const RadicaleServer&) = delete;

  // False with error() set when the server does not come up.
  bool Start();
  // Before the first start.
  void UseTls() { tls_ = true; }
  // The certificate's SHA-256 fingerprint as openssl shows it ("AB:12:...").
  QString fingerprint() const { return fingerprint_; }
  void Stop();
  bool running() const { return process_ && process_->state() == QProcess::Running; }
  QString error() const { return error_; }

  quint16 port() const { return port_; }
  QString url(const QString& path = QStringLiteral("/")) const;

  // Writes resources (file name, iCalendar text) straight into a collection's folder, as if
  // clients had put them: thousands at once, which uploads one by one would take hours for.
  bool Seed(const QString& collectionPath, const QList<std::pair<QString, QByteArray>>& resources) const;

  // Runs tests/network/phone.py against the collection with the account above: the other
  // client that changes the calendar. Its standard output, or nothing (and a test failure)
  // when it fails.
  std::optional<QString> Phone(const QString& collectionUrl, const QStringList& arguments) const;

 private:
  QTemporaryDir folder_;
  std::unique_ptr<QProcess> process_;
  quint16 port_ = 0;
  QString error_;
  bool tls_ = false;
  QString fingerprint_;
};
