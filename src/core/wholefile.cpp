#include "core/wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString NotRegular(const QString& path) { return QStringLiteral("\"%1\" is not a regular file.").arg(Shown(path)); }

QString TooLarge(const QString& path, qint64 maxBytes) {
  return QStringLiteral("\"%1\" is larger than %2 MB.").arg(Shown(path)).arg(maxBytes / (1024 * 1024));
}

QString WriteStandardOutput(QByteArrayView bytes) {
  errno = 0;
  const size_t written = std::fwrite(bytes.data(), 1, static_cast<size_t>(bytes.size()), stdout);
  if (written != static_cast<size_t>(bytes.size()) || std::fflush(stdout) != 0) {
    return QStringLiteral("Cannot write to standard output. %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
  }
  return QString();
}

}  // namespace

QString WriteWholeFile(const QString& path, QByteArrayView bytes, FileAccess access) {
  if (IsStandardStream(path)) return WriteStandardOutput(bytes);
  const QFileInfo info(path);
  if (info.exists() && !info.isFile()) return NotRegular(path);

  QSaveFile file(path);
  // Unbuffered, so that a write the disk refuses fails there and then: a buffered write
  // would only fail at the final flush, which commit() does not check, and a short file
  // would replace the old one.
  bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
  if (ok && access == FileAccess::OwnerOnly) {
    ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }
  if (ok) ok = file.write(bytes.data(), bytes.size()) == bytes.size();
  if (ok) ok = file.commit();
  if (!ok) {
    QString error = QStringLiteral("Cannot write file \"%1\". %2").arg(Shown(path), file.errorString());
    file.cancelWriting();
    return error;
  }
  return QString();
}

std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxBytes, QString& error) {
  QFile file;
  if (IsStandardStream(path)) {
    if (!file.open(stdin, QIODevice::ReadOnly)) {
      error = QStringLiteral("Cannot read standard input. %1").arg(file.errorString());
      return std::nullopt;
    }
  } else {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
      error = NotRegular(path);
      return std::nullopt;
    }
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
      error = QStringLiteral("Cannot open file \"%1\". %2").arg(Shown(path), file.errorString());
      return std::nullopt;
    }
  }
  if (!IsStandardStream(path) && file.size() > maxBytes) {
    error = TooLarge(path, maxBytes);
    return std::nullopt;
  }
  // Read in pieces, so that a stream that never ends is cut off at the limit; each piece
  // straight into place.
  QByteArray bytes;
  constexpr qint64 Piece = 64 * 1024;
  if (!IsStandardStream(path)) bytes.reserve(file.size() + Piece);
  qsizetype length = 0;
  for (;;) {
    if (bytes.size() < length + Piece) bytes.resize(length + Piece);
    const qint64 read = file.read(bytes.data() + length, Piece);
    if (read <= 0) break;
    length += read;
    if (length > maxBytes) {
      error = TooLarge(path, maxBytes);
      return std::nullopt;
    }
  }
  bytes.truncate(length);
  if (file.error() != QFileDevice::NoError) {
    error = QStringLiteral("Cannot read file \"%1\". %2").arg(Shown(path), file.errorString());
    return std::nullopt;
  }
  return bytes;
}
