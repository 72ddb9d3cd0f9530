// Whole-file writes on a disk that fills up half way: the old file stays whole.
#include "core/wholefile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

namespace {

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

TEST(WholeFile, AWriteThatDoesNotFitLeavesTheOldFileWholeAndSaysSo) {
  QTemporaryDir dir;
  const QString path = dir.filePath("calendar.ovb");
  const QByteArray good(3000, 'g');
  ASSERT_EQ(WriteWholeFile(path, good, FileAccess::OwnerOnly), QString());
  // A file small enough to sit in a write buffer until the end, and one written straight
  // through: both meet the full disk (no file of this process may grow past 8 KiB).
  for (const qsizetype size : {11084, 100000}) {
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved = {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit full = saved;
    full.rlim_cur = 8192;
    ::setrlimit(RLIMIT_FSIZE, &full);
    const QString error = WriteWholeFile(path, QByteArray(size, 'n'), FileAccess::OwnerOnly);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(error.contains(path)) << size << ": " << error.toStdString();
    EXPECT_EQ(Contents(path), good) << size;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList("calendar.ovb"));
  }
}

TEST(WholeFile, PrivateFilesAreTheOwnersOnlyEvenWhenTheyWereOpenBefore) {
  QTemporaryDir dir;
  const QString path = dir.filePath("notes.txt");
  QFile old(path);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  old.close();
  ASSERT_EQ(WriteWholeFile(path, "milk\n", FileAccess::OwnerOnly), QString());
  EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace
