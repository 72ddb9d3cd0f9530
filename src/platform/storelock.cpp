#include "platform/storelock.h"

StoreLock::StoreLock(const QString& storePath) : lock_(LockPath(storePath)) {
  lock_.setStaleLockTime(0);  // only a lock whose process is gone is stale
}

StoreLock::~StoreLock() { lock_.unlock(); }

bool StoreLock::TryLock(QString& error) {
  if (lock_.tryLock(0)) return true;
  error = HeldMessage();
  return false;
}

QString StoreLock::LockPath(const QString& storePath) { return storePath + QStringLiteral(".lock"); }

QString StoreLock::HeldMessage() {
  return QStringLiteral("Orvane is running; close it before changing its calendar from the command line.");
}
