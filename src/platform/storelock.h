#pragma once

#include <QLockFile>
#include <QString>

// The lock beside a calendar store: whoever holds it may change the store. The panel holds it
// for its whole run (SingleInstance), a command that changes the store for as long as it
// runs. QtCore only, so a command takes it without the panel's local socket.
class StoreLock {
 public:
  explicit StoreLock(const QString& storePath);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

  // Takes the lock at once, or says why not (the panel or another command holds it).
  bool TryLock(QString& error);

  // The lock file of a store.
  static QString LockPath(const QString& storePath);
  // Why a command may not change the store while another copy holds the lock.
  static QString HeldMessage();

 private:
  QLockFile lock_;
};
