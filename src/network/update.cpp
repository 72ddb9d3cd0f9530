#include "network/update.h"

#include "core/paths.h"
#include "network/httpclient.h"
#include "platform/dialogs.h"
#include "platform/networkpresence.h"
#include "platform/shell.h"
#include "settings/webpages.h"
#include "version.h"

#include <sodium.h>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Longer than any version a server of ours sends; a longer answer is not a version.
constexpr qsizetype MaxVersionLength = 64;

QString Crlf() { return QStringLiteral("\r\n"); }

bool IsVersionChar(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
         (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('-') || c == QLatin1Char('_');
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The host name or address of "host", "host:port" or "[v6]:port".
QString HostPart(const QString& host) {
  if (host.startsWith(QLatin1Char('['))) return host.mid(1).section(QLatin1Char(']'), 0, 0);
  return host.section(QLatin1Char(':'), 0, 0);
}

}  // namespace

QByteArray ProjectPublicKey() {
  return QByteArray::fromHex("5a0b743b5e621d14b4676db604296ada2a8fd4ca215264640ebc72f0ceb99306");
}

UpdateIdentity UpdateIdentity::ThisProgram() {
  UpdateIdentity identity;
  identity.version = QStringLiteral(ORVANE_VERSION);
  const QString exe = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
  identity.executableName = QFileInfo(exe).fileName();
  identity.programDir = ProgramDir();
  identity.userDataDir = UserDataDir();
  return identity;
}

T_Update::T_Update(Dialogs& dialogs, Shell& shell, NetworkPresence& presence, std::function<QString()> host,
                   UpdateIdentity identity, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      shell_(shell),
      presence_(presence),
      host_(std::move(host)),
      identity_(std::move(identity)) {
  setObjectName(QStringLiteral("T_Update"));
  setWindowTitle(tr("Download"));
  setModal(false);

  DownloadLabel = new QLabel(tr("Downloading Update..."), this);
  DownloadLabel->setObjectName(QStringLiteral("DownloadLabel"));
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  CancelButton = new QPushButton(tr("Cancel"), this);
  CancelButton->setObjectName(QStringLiteral("CancelButton"));
  connect(CancelButton, &QPushButton::clicked, this, &T_Update::CancelButtonClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(DownloadLabel);
  layout->addWidget(ProgressBar);
  layout->addLayout(buttons);
  setFixedSize(320, sizeHint().height());

  DownloadTimer = new QTimer(this);
  DownloadTimer->setObjectName(QStringLiteral("DownloadTimer"));
  DownloadTimer->setInterval(DownloadIntervalMs);
  connect(DownloadTimer, &QTimer::timeout, this, &T_Update::DownloadTimerTimer);

  EndProgram = [] { QCoreApplication::exit(0); };
  ProductPage = [] {
    QUrl page(QString::fromLatin1(DefaultWebSite));
    page.setPath(QStringLiteral("/"));
    return page;
  };
  TlsAvailable = [] { return QSslSocket::supportsSsl(); };
  FormCreate();
}

T_Update::~T_Update() { FormDestroy(); }

void T_Update::FormCreate() {
  HTTPClient = new T_HTTPClient(this);
  HTTPClient->setObjectName(QStringLiteral("HTTPClient"));
  // What the answer announces, taken while it arrives: a page's received size is only known
  // during the request.
  connect(HTTPClient, &T_HTTPClient::DataReceived, this, [this] { expectedSize_ = HTTPClient->ExpectedSize(); });
  currentVersion_ = identity_.version.trimmed();
  editionCode_ = EditionOf(identity_.executableName);
  // The installer that brought this version is done with: remove it from wherever it was
  // written.
  if (UsableVersion(currentVersion_)) {
    for (const QString& dir : {identity_.programDir, identity_.userDataDir}) {
      if (dir.isEmpty()) continue;
      const QString leftover = dir + InstallerName(currentVersion_);
      if (QFileInfo(leftover).isFile()) QFile::remove(leftover);
    }
  }
}

void T_Update::FormDestroy() {
  // Destroyed during a download (the program ends): the client's wait ends with it.
  if (downloading_) HTTPClient->CancelRequest();
}

QString T_Update::EditionOf(const QString& executableName) {
  if (executableName == QLatin1String("orvane")) return QStringLiteral("prm");
  if (executableName == QLatin1String("tessaly")) return QStringLiteral("lit");
  return executableName;
}

std::optional<qint64> T_Update::VersionNumber(const QString& text) {
  const QString last = text.section(QLatin1Char('.'), -1).trimmed();
  // Eighteen digits always fit; a longer number is no version of ours.
  if (last.isEmpty() || last.size() > 18) return std::nullopt;
  qint64 n = 0;
  for (const QChar c : last) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    n = n * 10 + (c.unicode() - '0');
  }
  return n;
}

bool T_Update::SignatureValid(QByteArrayView body, QByteArrayView signature, QByteArrayView publicKey) {
  if (publicKey.size() != crypto_sign_PUBLICKEYBYTES) return false;
  QByteArray raw;
  if (signature.size() == crypto_sign_BYTES) {
    raw = signature.toByteArray();
  } else {
    const QByteArray text = signature.toByteArray().trimmed();
    if (text.size() != 2 * crypto_sign_BYTES || !std::all_of(text.begin(), text.end(), IsHexDigit)) return false;
    raw = QByteArray::fromHex(text);
  }
  if (sodium_init() < 0) return false;
  return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(raw.constData()),
                                     reinterpret_cast<const unsigned char*>(body.data()),
                                     static_cast<unsigned long long>(body.size()),
                                     reinterpret_cast<const unsigned char*>(publicKey.data())) == 0;
}

bool T_Update::LoopbackHost(const QString& host) {
  QHostAddress address;
  return address.setAddress(HostPart(host.trimmed())) && address.isLoopback();
}

QString T_Update::SiteOf(const QString& host) {
  return (LoopbackHost(host) ? QStringLiteral("http://") : QStringLiteral("https://")) + host.trimmed();
}

bool T_Update::UsableVersion(const QString& text) {
  if (text.isEmpty() || text.size() > MaxVersionLength) return false;
  const QStringList parts = text.split(QLatin1Char('.'));
  for (const QString& part : parts) {
    if (part.isEmpty()) return false;
    for (const QChar c : part) {
      if (!IsVersionChar(c)) return false;
    }
  }
  return VersionNumber(text).has_value();
}

QString T_Update::InstallerName(const QString& version) const {
  return QStringLiteral("setup_") + version + QLatin1Char('_') + editionCode_ + QStringLiteral(".exe");
}

QString T_Update::InstallerDir() const {
  const QFileInfo program(identity_.programDir);
  if (!identity_.programDir.isEmpty() && program.isDir() && program.isWritable()) return identity_.programDir;
  return identity_.userDataDir;
}

QString T_Update::Host() const { return host_ ? host_().trimmed() : QString(); }

QString T_Update::Site() const { return SiteOf(Host()); }

QString T_Update::GetRemoteVersion() {
  fetchable_ = false;
  const QString host = Host();
  // No update server configured is a server that cannot be reached.
  if (host.isEmpty() || !presence_.Present(HostPart(host))) return QString();
  const QString path = QStringLiteral("/currentversion.php");
  const QString agent = QString::fromLatin1(UserAgent);
  HttpResult answer;
  if (LoopbackHost(host) || (TlsAvailable && TlsAvailable())) {
    answer = HTTPClient->HTTPGet(Site() + path, agent);
    fetchable_ = true;
  }
  if (!fetchable_ || answer.outcome == HttpResult::Outcome::TlsError) {
    // No checked connection: the version may still be learnt in the plain, since all it can
    // lead to is the product's own page, never a download.
    fetchable_ = false;
    answer = HTTPClient->HTTPGet(QStringLiteral("http://") + host + path, agent);
  }
  if (answer.Failed()) {
    fetchable_ = false;
    return QString();
  }
  // Only the first line counts.
  QString text = QString::fromUtf8(answer.body);
  const qsizetype lineEnd = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
  if (lineEnd >= 0) text.truncate(lineEnd);
  return text.trimmed();
}

UpdateOutcome T_Update::CheckForUpdate(bool silent) {
  if (checking_) return UpdateOutcome::Busy;
  QScopedValueRollback<bool> guard(checking_, true);

  const QString remote = GetRemoteVersion();
  // The server's text names a download and a file: anything but a plain version is refused.
  if (!UsableVersion(remote)) {
    if (!silent) {
      dialogs_.MessageBox(tr("The system failed to get the available version information.") + Crlf() +
                              tr("Please make sure you are connected to the internet."),
                          tr("Update Failed"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    }
    return UpdateOutcome::CheckFailed;
  }
  // Only the last component counts: 2.1.0.1 is not newer than 2.0.5.150.
  const auto current = VersionNumber(currentVersion_);
  const auto available = VersionNumber(remote);
  if (!current || !available || *available <= *current) return UpdateOutcome::NoUpdate;
  if (!fetchable_) {
    Announce(remote, silent);
    return UpdateOutcome::Announced;
  }

  ProgressBar->setValue(0);
  show();
  raise();
  CancelButton->setEnabled(true);
  DownloadTimer->start();

  HttpResult download;
  download.outcome = HttpResult::Outcome::SocketError;
  const QString url = Site() + QStringLiteral("/downloads/setup_") + remote + QLatin1Char('_') +
                      QString::fromLatin1(QUrl::toPercentEncoding(editionCode_)) + QStringLiteral(".exe");
  if (presence_.Present(HostPart(Host()))) {
    QScopedValueRollback<bool> downloading(downloading_, true);
    expectedSize_ = -1;
    download = HTTPClient->HTTPGet(url, QString::fromLatin1(UserAgent), InstallerLimits);
  }
  // A connection that failed or broke brought no installer either.
  const bool failed = download.outcome != HttpResult::Outcome::Complete;

  CancelButton->setEnabled(false);
  DownloadTimer->stop();

  if (download.outcome == HttpResult::Outcome::TlsError) {
    hide();
    Announce(remote, silent);
    return UpdateOutcome::Announced;
  }
  if (failed) {
    if (!silent) {
      dialogs_.MessageBox(tr("The download failed.") + Crlf() + tr("Please try again later."), tr("Download Error"),
                          Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    }
    hide();
    return UpdateOutcome::DownloadFailed;
  }

  // All of it, or nothing: a body short of its announced length is never written.
  if (download.body.isEmpty() || download.body.size() != expectedSize_) {
    hide();
    return UpdateOutcome::Incomplete;
  }
  // Nothing is written, let alone started, unless the project's key signed all of it.
  const HttpResult signature = HTTPClient->HTTPGet(url + QStringLiteral(".sig"), QString::fromLatin1(UserAgent));
  if (signature.outcome != HttpResult::Outcome::Complete ||
      !SignatureValid(download.body, signature.body, identity_.publicKey)) {
    hide();
    TellUnverified(remote, silent);
    return UpdateOutcome::Unverified;
  }
  const std::optional<QString> installer = WriteInstaller(remote, download.body);
  if (!installer) {
    hide();
    return UpdateOutcome::Incomplete;
  }
  if (!shell_.StartProcess(*installer)) {
    // The program keeps running: ending it now would leave the user with no program at all,
    // and the next check tries again.
    QFile::remove(*installer);
    hide();
    if (!silent) {
      dialogs_.MessageBox(
          tr("The update was downloaded but could not be started.") + Crlf() + tr("Please try again later."),
          tr("Update Failed"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    }
    return UpdateOutcome::StartFailed;
  }
  hide();
  if (EndProgram) EndProgram();
  return UpdateOutcome::Started;
}

void T_Update::Announce(const QString& version, bool silent) {
  if (silent && toldAbout_ == version) return;
  toldAbout_ = version;
  const QString text =
      tr("Orvane %1 is available.").arg(version) + Crlf() +
      tr("It cannot be downloaded safely from here. Do you want to open the Orvane web site to get it?");
  if (dialogs_.MessageBox(text, tr("Update Available"), Dialogs::Buttons::YesNo, Dialogs::Icon::Information) ==
          Dialogs::Answer::Yes &&
      ProductPage) {
    shell_.OpenUrl(ProductPage());
  }
}

void T_Update::TellUnverified(const QString& version, bool silent) {
  if (silent && toldAbout_ == version) return;
  toldAbout_ = version;
  dialogs_.MessageBox(
      tr("The downloaded update could not be verified and was not installed.") + Crlf() + tr("Please try again later."),
      tr("Update Failed"), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
}

std::optional<QString> T_Update::WriteInstaller(const QString& version, const QByteArray& body) const {
  const QString dir = InstallerDir();
  if (dir.isEmpty()) return std::nullopt;
  const QString path = dir + InstallerName(version);
  {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return std::nullopt;
    if (file.write(body) != body.size() || !file.commit()) return std::nullopt;
  }
  const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                          QFile::ReadOther | QFile::ExeOther;
  // Read back what arrived on disk: a file shorter than the body is no installer.
  if (!QFile::setPermissions(path, executable) || QFileInfo(path).size() < body.size()) {
    QFile::remove(path);
    return std::nullopt;
  }
  return path;
}

void T_Update::DownloadTimerTimer() {
  ProgressBar->setValue(HTTPClient->PercentDone());
  repaint();
}

void T_Update::CancelButtonClick() {
  HTTPClient->CancelRequest();
  hide();
}

void T_Update::reject() {
  if (downloading_) {
    CancelButtonClick();
    return;
  }
  QDialog::reject();
}
