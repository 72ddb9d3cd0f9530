// The user's data folder made ready at start: created, or closed, to its owner only.
#include "platform/datafolder.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr auto OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

TEST(UserDataFolder, AMissingOrOpenFolderEndsOpenToItsOwnerOnlyAndAFileInItsPlaceIsReported) {
  QTemporaryDir dir;
  const QString open = dir.filePath("open");
  ASSERT_TRUE(QDir().mkpath(open));
  ASSERT_TRUE(QFile::setPermissions(open, OwnerOnly | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther));
  QString error;
  for (const QString& path : {dir.filePath("new/orvane"), open}) {
    ASSERT_TRUE(UserDataFolder(path).Prepare(error)) << error.toStdString();
    EXPECT_EQ(QFile::permissions(path) & 0x7077, OwnerOnly) << path.toStdString();
  }
  QFile file(dir.filePath("file"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  EXPECT_FALSE(UserDataFolder(file.fileName()).Prepare(error));
  EXPECT_TRUE(error.contains(file.fileName())) << error.toStdString();
  // The path alone makes nothing.
  qputenv("XDG_DATA_HOME", dir.filePath("data").toLocal8Bit());
  EXPECT_EQ(UserDataFolder().Path(), dir.filePath("data/orvane/"));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("data")));
  qunsetenv("XDG_DATA_HOME");
}

}  // namespace
