// Whole-file writes on a disk that fills up half way: the old file stays whole.
#include "core/wholefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {

// While it lives, no file of this process grows past the limit: a write beyond it fails as
// on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    old_ = std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    struct rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, old_);
  }

 private:
  struct rlimit saved_ = {};
  void (*old_)(int) = nullptr;
};

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

TEST(WholeFile, AWriteThatDoesNotFitLeavesTheOldFileWholeAndSaysSo) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("calendar.ovb"));
  const QByteArray good(3000, 'g');
  ASSERT_EQ(WriteWholeFile(path, good, FileAccess::OwnerOnly), QString());
  // A file small enough to sit in a write buffer until the end, and one written straight
  // through: both meet the full disk.
  for (const qsizetype size : {11084, 100000}) {
    QString error;
    {
      FileSizeLimit full(8192);
      error = WriteWholeFile(path, QByteArray(size, 'n'), FileAccess::OwnerOnly);
    }
    EXPECT_TRUE(error.contains(path)) << size << ": " << error.toStdString();
    EXPECT_EQ(Contents(path), good) << size;
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("calendar.ovb")));
  }
}

TEST(WholeFile, PrivateFilesAreTheOwnersOnlyEvenWhenTheyWereOpenBefore) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("notes.txt"));
  QFile old(path);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
  old.close();
  ASSERT_EQ(WriteWholeFile(path, "milk\n", FileAccess::OwnerOnly), QString());
  EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
}

}  // namespace
