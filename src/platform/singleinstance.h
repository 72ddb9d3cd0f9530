#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <memory>

// One running copy per calendar store. The lock sits beside the database, so every copy of
// the program that would open the same store is kept out, whatever executable it runs from
// (another installed version, a copy of the binary elsewhere). The first copy holds the lock
// and listens for requests; a second copy asks it to bring its window forward and ends.
class SingleInstance : public QObject {
  Q_OBJECT
 public:
  enum class Outcome { First, OtherRunning, Failed };

  explicit SingleInstance(const QString& storePath, QObject* parent = nullptr);
  ~SingleInstance() override;

  // For the panel: become the running copy, or ask the running one to raise its window.
  // A lock held briefly by a command-line run is waited for (a few seconds).
  Outcome Start();
  // For command-line runs that change the store: hold the lock without listening.
  // False when a panel (or another command) runs.
  bool LockForCommand();
  QString ErrorString() const { return error_; }

  // The lock file beside the store, and the local socket (per user) the running copy listens on.
  static QString LockPath(const QString& storePath);
  static QString ServerName(const QString& storePath);

 signals:
  // Another copy was started: restore and raise the desktop window.
  void RaiseRequested();

 private:
  bool AskRunningCopyToRaise();

  QString storePath_;
  QLockFile lock_;
  std::unique_ptr<QLocalServer> server_;
  QString error_;
};
