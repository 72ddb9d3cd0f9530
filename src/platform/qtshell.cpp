#include "platform/qtshell.h"

#include <QDesktopServices>
#include <QProcess>

bool QtShell::OpenUrl(const QUrl& url) { return url.isValid() && QDesktopServices::openUrl(url); }

bool QtShell::StartProcess(const QString& program, const QStringList& arguments) {
  return !program.isEmpty() && QProcess::startDetached(program, arguments);
}
