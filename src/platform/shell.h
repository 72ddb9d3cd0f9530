#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// What the program asks of the desktop shell: opening a web page or a file in the user's
// program for it, and starting another program as a process of its own. The program uses the
// Qt implementation (QtShell); tests record the requests instead of running anything.
//
// This header uses QtCore only.
class Shell {
 public:
  virtual ~Shell() = default;

  // Opens the URL (a web page, or a file as a "file:" URL); false when nothing took it.
  virtual bool OpenUrl(const QUrl& url) = 0;
  // Starts the program as a new process that outlives this one and is not waited for;
  // false when it could not be started.
  virtual bool StartProcess(const QString& program, const QStringList& arguments = {}) = 0;
};
