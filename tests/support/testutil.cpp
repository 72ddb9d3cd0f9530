#include "support/testutil.h"

#include "platform/datafolder.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

void EnsureApplication() {
  static int argc = 1;
  static char name[] = "orvane_test";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

TempHome::TempHome() {
  QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/orvane-test-XXXXXX"));
  dir.setAutoRemove(false);
  path_ = dir.path();
  oldDataHome_ = qgetenv("XDG_DATA_HOME");
  oldConfigHome_ = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_DATA_HOME", (path_ + QStringLiteral("/data")).toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (path_ + QStringLiteral("/config")).toLocal8Bit());
  // The data folder as the program's start leaves it.
  QString unready;
  UserDataFolder().Prepare(unready);
}

TempHome::~TempHome() {
  QDir(path_).removeRecursively();
  if (oldDataHome_.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", oldDataHome_);
  if (oldConfigHome_.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", oldConfigHome_);
}
