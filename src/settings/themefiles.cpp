#include "settings/themefiles.h"

#include "settings/namevaluelines.h"

#include "core/bytestream.h"
#include "core/wholefile.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <map>

namespace {

const QString Extension = QStringLiteral(".ovtheme");

// Bytes of a file name, leaving room for the extension and a temporary file's suffix.
constexpr qsizetype MaxFileNameBytes = 180;

qsizetype FindLine(const QStringList& lines, const QString& name) {
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq == name.size() && line.startsWith(name, Qt::CaseInsensitive)) return i;
  }
  return -1;
}

// Characters no file name may hold here or on the file systems themes are shared over, and
// invisible formatting characters that would make a name look like another.
bool UnsafeInFileName(QChar c) {
  if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
  if (c.category() == QChar::Other_Format) return true;
  return QStringLiteral("/\\:*?\"<>|").contains(c);
}

}  // namespace

const QStringList& ThemeKeyNames() {
  static const QStringList keys = {
      QStringLiteral("Title"),        QStringLiteral("GradientStart"),   QStringLiteral("GradientEnd"),
      QStringLiteral("BgColor"),      QStringLiteral("FontColor"),       QStringLiteral("EventDayColor"),
      QStringLiteral("LabelColor"),   QStringLiteral("HeaderFontColor"), QStringLiteral("NoteColor"),
      QStringLiteral("DropColor"),    QStringLiteral("TaskColor"),       QStringLiteral("FontName"),
      QStringLiteral("BgAlpha"),      QStringLiteral("MidAlpha"),        QStringLiteral("PanelAlpha"),
      QStringLiteral("UseDropShadow")};
  return keys;
}

bool IsThemeKey(const QString& name) { return ThemeKeyNames().contains(name, Qt::CaseInsensitive); }

QStringList ParseThemeLines(QByteArrayView bytes) {
  QStringList lines;
  ForEachNameValueLine(bytes, [&lines](const QString& name, const QString& value) {
    if (FindLine(lines, name) < 0) lines << name + QLatin1Char('=') + value;
  });
  return lines;
}

QByteArray ThemeFileBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines) bytes += line.toUtf8() + "\r\n";
  return bytes;
}

QString ThemeLineValue(const QStringList& lines, const QString& name) {
  const qsizetype i = FindLine(lines, name);
  return i < 0 ? QString() : lines[i].mid(name.size() + 1);
}

void SetThemeLineValue(QStringList& lines, const QString& name, const QString& value) {
  const qsizetype i = FindLine(lines, name);
  // A line break in a value would start a line of its own in the file.
  QString clean = value;
  clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  if (clean.isEmpty()) {
    if (i >= 0) lines.removeAt(i);
    return;
  }
  const QString line = name + QLatin1Char('=') + clean;
  if (i >= 0) {
    lines[i] = line;
  } else {
    lines << line;
  }
}

QStringList ApplicableThemeLines(const QStringList& lines) {
  QStringList applied;
  for (const QString& line : lines) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    const QString name = line.left(eq);
    if (eq <= 0 || !IsThemeKey(name) || !TSettings::IsValid(name, line.mid(eq + 1))) continue;
    applied << line;
  }
  if (ThemeLineValue(applied, QStringLiteral("TaskColor")).isEmpty()) {
    const QString font = ThemeLineValue(applied, QStringLiteral("FontColor"));
    if (!font.isEmpty()) SetThemeLineValue(applied, QStringLiteral("TaskColor"), font);
  }
  return applied;
}

QString ThemeFileName(const QString& title) {
  QString name;
  for (QChar c : title) {
    if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
      name += QChar(c.unicode() + ('a' - 'A'));
    } else if (UnsafeInFileName(c)) {
      name += QLatin1Char('_');
    } else {
      name += c;
    }
  }
  name = name.trimmed();
  // No hidden file, no "." or "..", and nothing a shell or another system trims away.
  while (name.startsWith(QLatin1Char('.'))) name.remove(0, 1);
  while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' '))) name.chop(1);
  while (name.toUtf8().size() > MaxFileNameBytes) {
    name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
  }
  if (name.isEmpty()) name = QStringLiteral("theme");
  return name + Extension;
}

ThemeFileResult ReadThemeFile(const QString& path) {
  ThemeFileResult result;
  // Only a plain file: opening a pipe or a device would wait or read without end.
  if (!QFileInfo(path).isFile()) {
    result.error = QStringLiteral("not a file");
    return result;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    result.error = file.errorString();
    return result;
  }
  if (file.size() > MaxThemeFileBytes) {
    result.error = QStringLiteral("the file is too large for a theme (%1 bytes)").arg(file.size());
    return result;
  }
  const QByteArray bytes = file.read(MaxThemeFileBytes + 1);
  if (bytes.size() > MaxThemeFileBytes) {
    result.error = QStringLiteral("the file is too large for a theme");
    return result;
  }
  result.lines = ParseThemeLines(bytes);
  return result;
}

ThemeFileResult WriteThemeFile(const QString& path, const QStringList& lines) {
  ThemeFileResult result;
  QDir().mkpath(QFileInfo(path).absolutePath());
  const QString error = WriteWholeFile(path, ThemeFileBytes(lines), FileAccess::Shared);
  if (!error.isEmpty()) {
    result.error = error;
    return result;
  }
  result.lines = lines;
  return result;
}

std::vector<ThemeEntry> ListThemes(const QString& shippedFolder, const QString& userFolder) {
  // By file name: a user's file replaces a shipped one of the same name.
  std::map<QString, ThemeEntry> byFile;
  for (const auto& [folder, shipped] : {std::pair{shippedFolder, true}, std::pair{userFolder, false}}) {
    if (folder.isEmpty()) continue;
    const QDir dir(folder);
    const QFileInfoList files =
        dir.entryInfoList({QStringLiteral("*") + Extension}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : files) {
      const ThemeFileResult read = ReadThemeFile(info.absoluteFilePath());
      if (!read.lines) continue;
      QString title = ThemeLineValue(*read.lines, QStringLiteral("Title")).trimmed();
      if (title.isEmpty()) title = info.completeBaseName();
      byFile[info.fileName()] = ThemeEntry{title, info.absoluteFilePath(), shipped};
    }
  }
  std::vector<std::pair<QString, ThemeEntry>> sorted(byFile.begin(), byFile.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    const int c = QString::compare(a.second.title, b.second.title, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a.first < b.first;
  });
  std::vector<ThemeEntry> entries;
  entries.reserve(sorted.size());
  for (auto& [file, entry] : sorted) entries.push_back(std::move(entry));
  return entries;
}
