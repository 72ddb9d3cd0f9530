// The user's data folder made ready at start: created, or closed, to its owner only.
#include "platform/datafolder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr auto OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

TEST(UserDataFolder, AMissingOrOpenFolderEndsOpenToItsOwnerOnly) {
  QTemporaryDir dir;
  const QString open = dir.filePath(QStringLiteral("open"));
  ASSERT_TRUE(QDir().mkpath(open));
  ASSERT_TRUE(QFile::setPermissions(open, OwnerOnly | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther));
  for (const QString& path : {dir.filePath(QStringLiteral("new/orvane")), open}) {
    UserDataFolder folder(path);
    EXPECT_EQ(folder.Path(), path + QLatin1Char('/'));
    QString error;
    ASSERT_TRUE(folder.Prepare(error)) << error.toStdString();
    EXPECT_EQ(QFile::permissions(path) & 0x7077, OwnerOnly) << path.toStdString();
  }
}

TEST(UserDataFolder, AFileInItsPlaceIsReported) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("orvane"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  QString error;
  EXPECT_FALSE(UserDataFolder(path).Prepare(error));
  EXPECT_TRUE(error.contains(path)) << error.toStdString();
}

TEST(UserDataFolder, ThePathAloneMakesNothing) {
  QTemporaryDir dir;
  const QByteArray old = qgetenv("XDG_DATA_HOME");
  qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit());
  EXPECT_EQ(UserDataFolder().Path(), dir.path() + QStringLiteral("/orvane/"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("orvane"))));
  if (old.isNull())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", old);
}

}  // namespace
