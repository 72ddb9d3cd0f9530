#pragma once

#include "platform/shell.h"

// The shell service over QDesktopServices and QProcess.
class QtShell : public Shell {
 public:
  bool OpenUrl(const QUrl& url) override;
  bool StartProcess(const QString& program, const QStringList& arguments = {}) override;
};
