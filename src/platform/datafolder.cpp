#include "platform/datafolder.h"

#include "core/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

UserDataFolder::UserDataFolder(QString path) : path_(path.isEmpty() ? UserDataDir() : std::move(path)) {
  if (!path_.endsWith(QLatin1Char('/'))) path_ += QLatin1Char('/');
}

bool UserDataFolder::Prepare(QString& error) {
  constexpr auto OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
  constexpr auto Others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                          QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
  const QFileInfo info(path_);
  if (!info.exists()) {
    if (!QDir().mkpath(path_) || !QFile::setPermissions(path_, OwnerOnly)) {
      error = QStringLiteral("Cannot create the folder %1").arg(path_);
      return false;
    }
    return true;
  }
  if (!info.isDir()) {
    error = QStringLiteral("%1 is not a folder").arg(path_);
    return false;
  }
  if ((info.permissions() & Others) && !QFile::setPermissions(path_, OwnerOnly)) {
    error = QStringLiteral("Cannot close the folder %1 to other users").arg(path_);
    return false;
  }
  return true;
}
