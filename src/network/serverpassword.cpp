#include "network/serverpassword.h"

#include "core/wholefile.h"

#include <qt6keychain/keychain.h>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>

namespace serverpassword {

namespace {

const QString Service = QStringLiteral("orvane");
// A secret store that does not answer within this long is taken as absent.
constexpr int SecretStoreWaitMs = 20000;

// Runs a keychain job to its end in a local event loop; false (error set) when it failed.
bool RunJob(QKeychain::Job& job, QString& error) {
  job.setAutoDelete(false);
  QEventLoop loop;
  bool finished = false;
  QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
    finished = true;
    loop.quit();
  });
  QTimer::singleShot(SecretStoreWaitMs, &loop, &QEventLoop::quit);
  job.start();
  if (!finished) loop.exec();
  if (!finished) {
    error = QStringLiteral("the secret store did not answer");
    return false;
  }
  if (job.error() != QKeychain::NoError) {
    error = job.errorString();
    return false;
  }
  return true;
}

}  // namespace

QString FilePath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
      .filePath(QStringLiteral("orvane/calendar-server-password"));
}

QString Describe(Place place) {
  return place == Place::SecretStore ? QStringLiteral("the desktop's secret store")
                                     : FilePath() + QStringLiteral(" (readable only by you)");
}

Stored Store(const QString& account, const QString& password, bool fileAllowed) {
  Stored stored;
  QKeychain::WritePasswordJob job(Service);
  job.setKey(account);
  job.setTextData(password);
  QString secretError;
  if (RunJob(job, secretError)) {
    QFile::remove(FilePath());
    stored.ok = true;
    stored.place = Place::SecretStore;
    return stored;
  }
  if (!fileAllowed) {
    stored.error = QStringLiteral(
                       "no desktop secret store keeps the password (%1); with --store-password-in-file it "
                       "is kept in %2, readable only by you")
                       .arg(secretError, FilePath());
    return stored;
  }
  QDir().mkpath(QFileInfo(FilePath()).absolutePath());
  // One line: the account it belongs to, then the password.
  const QString error =
      WriteWholeFile(FilePath(), (account + QLatin1Char('\n') + password).toUtf8(), FileAccess::OwnerOnly);
  if (!error.isEmpty()) {
    stored.error = error;
    return stored;
  }
  stored.ok = true;
  stored.place = Place::File;
  return stored;
}

namespace {

// The password of account in the file; nothing when the file holds none for it (or, error
// set, cannot be read).
std::optional<QString> FromFile(const QString& account, QString& error) {
  if (!QFile::exists(FilePath())) return std::nullopt;
  const std::optional<QByteArray> bytes = ReadWholeFile(FilePath(), 64 * 1024, error);
  if (!bytes) return std::nullopt;
  const QString text = QString::fromUtf8(*bytes);
  const qsizetype line = text.indexOf(QLatin1Char('\n'));
  if (line >= 0 && text.left(line) == account) return text.mid(line + 1);
  return std::nullopt;
}

}  // namespace

std::optional<QString> Load(const QString& account, Place& place, QString& error) {
  if (std::optional<QString> password = FromFile(account, error)) {
    place = Place::File;
    return password;
  }
  if (!error.isEmpty()) return std::nullopt;
  QKeychain::ReadPasswordJob job(Service);
  job.setKey(account);
  if (!RunJob(job, error)) {
    error = QStringLiteral("the password cannot be read from the secret store: ") + error;
    return std::nullopt;
  }
  place = Place::SecretStore;
  return job.textData();
}

void LoadLater(const QString& account,
               std::function<void(std::optional<QString> password, Place place, QString error)> done) {
  QString error;
  std::optional<QString> password = FromFile(account, error);
  if (password || !error.isEmpty()) {
    QTimer::singleShot(0, [done = std::move(done), password, error] { done(password, Place::File, error); });
    return;
  }
  auto* job = new QKeychain::ReadPasswordJob(Service);
  job->setAutoDelete(true);
  job->setKey(account);
  QObject::connect(job, &QKeychain::Job::finished, [job, done = std::move(done)] {
    if (job->error() != QKeychain::NoError) {
      done(std::nullopt, Place::SecretStore,
           QStringLiteral("the password cannot be read from the secret store: ") + job->errorString());
    } else {
      done(job->textData(), Place::SecretStore, QString());
    }
  });
  job->start();
}

void Forget(const QString& account) {
  QFile::remove(FilePath());
  QKeychain::DeletePasswordJob job(Service);
  job.setKey(account);
  QString ignored;
  RunJob(job, ignored);
}

}  // namespace serverpassword
