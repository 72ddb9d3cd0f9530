#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

// One running copy per user and executable path. The first copy holds a lock and listens
// for requests; a second copy asks it to bring its window forward and ends.
class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Outcome { First, OtherRunning, Failed };

  explicit SingleInstance(const QString& executablePath, QObject* parent = nullptr);
  ~SingleInstance() override;

  // For the panel: become the running copy, or ask the running one to raise its window.
  // A lock held briefly by a command-line run is waited for (a few seconds).
  Outcome Start();
  // For command-line runs that change the store: hold the lock without listening.
  // False when a panel (or another command) runs.
  bool LockForCommand();
  QString ErrorString() const { return error_; }

  // Names derived from the executable's full path, per user.
  static QString LockPath(const QString& executablePath);
  static QString ServerName(const QString& executablePath);

 signals:
  // Another copy was started: restore and raise the desktop window.
  void RaiseRequested();

 private:
  bool AskRunningCopyToRaise();

  QString executablePath_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
  QString error_;
};
