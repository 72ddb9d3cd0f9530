#pragma once

// Whole-file reads and writes for every file the program writes or the user names: backups,
// sync files, quick notes, themes, iCalendar files, PDFs. "-" names standard input or output.
//
// A write replaces the file only once every byte reached the disk: a full disk or any other
// failure leaves the old file whole and says why. Only regular files are read or replaced, so
// a pipe, a device or a folder given by mistake is refused instead of blocking or being
// replaced by a plain file.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// Who may read a written file: the owner only (files that hold calendar content), or
// everyone the umask allows.
enum class FileAccess { OwnerOnly, Shared };

// Writes bytes as the whole of path (or to standard output for "-"). An empty string when all
// went well, otherwise what went wrong, naming the file.
QString WriteWholeFile(const QString& path, QByteArrayView bytes, FileAccess access);

// The whole of path (or standard input for "-"), at most maxBytes; nothing, with error set,
// when it cannot be read, is not a regular file or is larger.
std::optional<QByteArray> ReadWholeFile(const QString& path, qint64 maxBytes, QString& error);

// True for the name that stands for standard input or output.
inline bool IsStandardStream(const QString& path) { return path == QLatin1String("-"); }
