#pragma once

// Theme files (*.ovtheme): text lines name "=" value, each ending in CR LF, with the values in
// the settings' encodings. They are read back by name, so the order of the lines does not
// matter. A theme file is untrusted input (themes are passed around): reading checks its size,
// and only the theme keys, with values valid for their key, are ever applied.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The sixteen keys a theme carries, Title first, in the order a save writes them.
const QStringList& ThemeKeyNames();
bool IsThemeKey(const QString& name);

// The largest theme file read: far more than sixteen lines need.
constexpr qint64 MaxThemeFileBytes = 64 * 1024;

// The lines of a file's bytes (ending in CR LF, CR or LF; UTF-8, or Windows-1252 where a line
// is not valid UTF-8) as "name=value". Lines without "=", without a name or without a value
// are dropped; of repeated names the first counts.
QStringList ParseThemeLines(QByteArrayView bytes);
// The lines as a file: each followed by CR LF, UTF-8.
QByteArray ThemeFileBytes(const QStringList& lines);

// The value of a name (matched without regard to case), empty when absent.
QString ThemeLineValue(const QStringList& lines, const QString& name);
// Replaces the value of a name, or appends it; the empty text removes the line.
void SetThemeLineValue(QStringList& lines, const QString& name, const QString& value);

// What of a theme is applied to the settings: its theme keys whose values are valid for
// them, in the theme's order; a theme without TaskColor takes its FontColor for it.
QStringList ApplicableThemeLines(const QStringList& lines);

// The file name (without folder) a theme of this title is saved under: the title with the
// letters A-Z lowered, made safe for a file name (no path separators, control characters
// or characters other systems refuse, no leading dot, not too long), plus ".ovtheme".
QString ThemeFileName(const QString& title);

struct ThemeFileResult {
  std::optional<QStringList> lines;
  QString error;  // why the file could not be read or written
};
ThemeFileResult ReadThemeFile(const QString& path);
// Writes the lines through a temporary file that replaces the target when complete.
ThemeFileResult WriteThemeFile(const QString& path, const QStringList& lines);

// One theme of the chooser's list.
struct ThemeEntry {
  QString title;
  QString path;
  bool shipped = false;  // from the program's data folder (not deletable)
};
// The themes of both folders, sorted by title without regard to case (equal titles by file
// name). A user theme whose file name equals a shipped one's takes its place. A file that
// cannot be read is left out; one without a Title is listed under its file name.
std::vector<ThemeEntry> ListThemes(const QString& shippedFolder, const QString& userFolder);
