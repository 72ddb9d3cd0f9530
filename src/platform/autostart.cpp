#include "platform/autostart.h"

#include "core/wholefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// A path as a desktop entry's Exec wants it: quoted when it holds anything special.
QString ExecField(const QString& path) {
  QString quoted;
  bool needsQuotes = false;
  for (QChar c : path) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\')) {
      quoted += QLatin1Char('\\');
      needsQuotes = true;
    } else if (c.isSpace() || QStringLiteral("'><~|&;*?#()").contains(c)) {
      needsQuotes = true;
    }
    quoted += c;
  }
  quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
  return needsQuotes ? QLatin1Char('"') + quoted + QLatin1Char('"') : quoted;
}

}  // namespace

XdgAutostart::XdgAutostart(QString executablePath) : executablePath_(std::move(executablePath)) {}

QString XdgAutostart::EntryPath() {
  QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/autostart/orvane.desktop");
}

QString XdgAutostart::ExecutablePath() const {
  if (!executablePath_.isEmpty()) return executablePath_;
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

bool XdgAutostart::Set(bool on) {
  const QString path = EntryPath();
  if (!on) return !QFileInfo::exists(path) || QFile::remove(path);
  if (!QDir().mkpath(QFileInfo(path).path())) return false;
  const QString entry = QStringLiteral(
                            "[Desktop Entry]\n"
                            "Type=Application\n"
                            "Name=Orvane\n"
                            "Comment=Calendar and planner on the desktop\n"
                            "Exec=%1\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n")
                            .arg(ExecField(ExecutablePath()));
  return WriteWholeFile(path, entry.toUtf8(), FileAccess::Shared).isEmpty();
}
