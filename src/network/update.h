#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>

class Dialogs;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class Shell;
class T_HTTPClient;

// Who this program is, as far as the updater cares: its version, the name its edition is
// known by, and the folders an installer may be written to.
struct UpdateIdentity {
  QString version;         // four dotted numbers, "2.0.5.150"
  QString executableName;  // the executable's file name, "orvane"
  QString programDir;      // the executable's folder, trailing "/"
  QString userDataDir;     // the user's data folder, trailing "/"

  // The running program: the compiled-in version, the executable and its folders.
  static UpdateIdentity ThisProgram();
};

// How a check ended.
enum class UpdateOutcome {
  Busy,            // a check was already running; nothing was done
  CheckFailed,     // no usable version from the update server
  NoUpdate,        // the server's version is not newer
  DownloadFailed,  // the installer did not arrive (failure, time-out, cancel)
  Incomplete,      // it arrived shorter than announced or could not be written whole
  StartFailed,     // written, but it could not be started; the program keeps running
  Started,         // the installer runs and the program is ending
};

// The updater, shown as the "Download" window while an installer downloads. It asks the
// update server for the current version; when that is newer than this program's, it
// downloads the installer of this edition, writes it, starts it as a process of its own and
// ends the program through its normal shutdown, so the calendar is saved and the installer
// can replace the program. Checks run hourly without a word (silent) or on the user's request
// with messages about every failure.
class T_Update : public QDialog {
  Q_OBJECT

 public:
  static constexpr int DownloadIntervalMs = 250;
  static constexpr const char* UserAgent = "Orvane/1.0";

  // host is asked at each check for the update server ("host" or "host:port"; empty: none).
  // dialogs and shell stay owned by the caller and must outlive the window.
  T_Update(Dialogs& dialogs, Shell& shell, std::function<QString()> host,
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

 protected:
  // Closing the window while it downloads cancels the download.
  void reject() override;

 private:
  void FormCreate();
  void FormDestroy();
  QString Site() const;
  QString Host() const;
  // Writes the installer through a temporary file, executable; the path, or nothing.
  std::optional<QString> WriteInstaller(const QString& version, const QByteArray& body) const;

  Dialogs& dialogs_;
  Shell& shell_;
  std::function<QString()> host_;
  UpdateIdentity identity_;
  QString currentVersion_;
  QString editionCode_;
  bool checking_ = false;
  bool downloading_ = false;
  qint64 expectedSize_ = -1;  // the client's ExpectedSize at the last data of the download
};
