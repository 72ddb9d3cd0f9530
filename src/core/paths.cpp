#include "core/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WithSlash(const QString& dir) { return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'); }

}  // namespace

QString UserDataDir() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (dir.isEmpty()) dir = QDir::homePath() + QStringLiteral("/.local/share");
  return WithSlash(dir + QStringLiteral("/orvane"));
}

QString ProgramDir() {
  QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
  if (dir.isEmpty())
    dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
  return WithSlash(dir);
}

QString DataDir() {
  QString program = ProgramDir();
  if (QFileInfo::exists(program + QStringLiteral("themes")) || QFileInfo::exists(program + QStringLiteral("Alarms"))) {
    return program;
  }
  const QString installed = QDir::cleanPath(program + QStringLiteral("../share/orvane"));
  if (QFileInfo::exists(installed)) return WithSlash(installed);
  return program;
}

QString DatabasePath() { return UserDataDir() + QStringLiteral("orvane.db"); }
