#pragma once

#include "network/httpclient.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class Dialogs;
class NetworkPresence;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class Shell;

// The project's Ed25519 public key (32 bytes): installers are signed with its private half,
// which is kept away from the sources.
QByteArray ProjectPublicKey();

// Who this program is, as far as the updater cares: its version, the name its edition is
// known by, the folders an installer may be written to, and the key an installer must be
// signed with.
struct UpdateIdentity {
  QString version;                            // four dotted numbers, "2.0.5.150"
  QString executableName;                     // the executable's file name, "orvane"
  QString programDir;                         // the executable's folder, trailing "/"
  QString userDataDir;                        // the user's data folder, trailing "/"
  QByteArray publicKey = ProjectPublicKey();  // the Ed25519 key that signs installers

  // The running program: the compiled-in version, the executable and its folders.
  static UpdateIdentity ThisProgram();
};

// How a check ended.
enum class UpdateOutcome {
  Busy,            // a check was already running; nothing was done
  CheckFailed,     // no usable version from the update server
  NoUpdate,        // the server's version is not newer
  Announced,       // newer, but it cannot be fetched safely here: the user was pointed to its page
  DownloadFailed,  // the installer did not arrive (failure, time-out, cancel, beyond the cap)
  Incomplete,      // it arrived shorter than announced or could not be written whole
  Unverified,      // its signature is missing or wrong: nothing was written or started
  StartFailed,     // written, but it could not be started; the program keeps running
  Started,         // the installer runs and the program is ending
};

// The updater, shown as the "Download" window while an installer downloads. It asks the
// update server for the current version; when that is newer than this program's, it
// downloads the installer of this edition and its signature, and only when the signature
// is the project key's over the whole installer does it write it, start it as a process of
// its own and end the program through its normal shutdown, so the calendar is saved and the
// installer can replace the program. Checks run hourly without a word (silent) or on the
// user's request with messages about every failure.
//
// The server is asked over HTTPS with its certificate checked; plain HTTP only on a loopback
// address (tests, a local mirror). Where no checked connection can be had, nothing is
// downloaded: the user is told that the version exists and offered its web page.
class T_Update : public QDialog {
  Q_OBJECT

 public:
  static constexpr int DownloadIntervalMs = 250;
  static constexpr const char* UserAgent = "Orvane/1.0";

  // host is asked at each check for the update server ("host" or "host:port"; empty: none),
  // and presence whether it can be reached. dialogs, shell and presence stay owned by the
  // caller and must outlive the window.
  T_Update(Dialogs& dialogs, Shell& shell, NetworkPresence& presence, std::function<QString()> host,
           UpdateIdentity identity = UpdateIdentity::ThisProgram(), QWidget* parent = nullptr);
  ~T_Update() override;

  // --- Components.
  QProgressBar* ProgressBar = nullptr;
  QLabel* DownloadLabel = nullptr;
  QPushButton* CancelButton = nullptr;
  QTimer* DownloadTimer = nullptr;
  T_HTTPClient* HTTPClient = nullptr;

  const QString& CurrentVersion() const { return currentVersion_; }
  const QString& EditionCode() const { return editionCode_; }

  // The edition code of an executable: "prm" for "orvane", "lit" for "tessaly" (with case),
  // otherwise the name itself.
  static QString EditionOf(const QString& executableName);
  // The last dotted component of a version as a whole number ("2.0.5.150" gives 150);
  // nothing when it is not one.
  static std::optional<qint64> VersionNumber(const QString& text);
  // Whether the signature (64 bytes, or 128 hexadecimal digits with blanks around) is the
  // key's Ed25519 signature of the whole body.
  static bool SignatureValid(QByteArrayView body, QByteArrayView signature, QByteArrayView publicKey);
  // Whether the host ("host", "host:port", "[v6]:port") is an address of this computer's
  // loopback network, the one place where plain HTTP is trusted.
  static bool LoopbackHost(const QString& host);
  // The site of the update server: "https://" host, or "http://" host on loopback.
  static QString SiteOf(const QString& host);

  // Whether a version text from the server may name a download and a file: dotted
  // components of letters, digits, "-" and "_", the last one a whole number.
  static bool UsableVersion(const QString& text);

  // The installer file for a version: "setup_" version "_" edition ".exe" in the folder.
  QString InstallerName(const QString& version) const;
  // The folder the installer is written to: beside the executable when that folder is
  // writable, otherwise the user's data folder.
  QString InstallerDir() const;

  // The first line of the server's current version, blanks trimmed; empty when the server
  // cannot be asked or did not answer.
  QString GetRemoteVersion();
  // The check and, when a newer version exists, the download, the start of the installer
  // and the end of the program.
  UpdateOutcome CheckForUpdate(bool silent);
  bool Checking() const { return checking_; }

  void DownloadTimerTimer();
  void CancelButtonClick();

  // Ends the program through its normal shutdown; tests replace it.
  std::function<void()> EndProgram;
  // The product's web page, opened when a new version cannot be fetched safely.
  std::function<QUrl()> ProductPage;
  // Whether encrypted connections can be made here; tests take it away.
  std::function<bool()> TlsAvailable;
  // The bounds of the installer download: longer and larger than a page.
  HttpLimits InstallerLimits{30 * 60 * 1000, 200LL * 1024 * 1024};

 protected:
  // Closing the window while it downloads cancels the download.
  void reject() override;

 private:
  void FormCreate();
  void FormDestroy();
  QString Site() const;
  QString Host() const;
  // Tells the user that the version exists and offers its web page; once a version in a
  // run for silent checks.
  void Announce(const QString& version, bool silent);
  // The secure fetch failed, or the signature did not hold: the user is told, silent checks
  // once a version in a run.
  void TellUnverified(const QString& version, bool silent);
  // Writes the installer through a temporary file, executable; the path, or nothing.
  std::optional<QString> WriteInstaller(const QString& version, const QByteArray& body) const;

  Dialogs& dialogs_;
  Shell& shell_;
  NetworkPresence& presence_;
  std::function<QString()> host_;
  UpdateIdentity identity_;
  QString currentVersion_;
  QString editionCode_;
  bool checking_ = false;
  bool fetchable_ = false;  // the last version came over a connection fit for downloads
  QString toldAbout_;       // the version the user was last told about
  bool downloading_ = false;
  qint64 expectedSize_ = -1;  // the client's ExpectedSize at the last data of the download
};
