#pragma once

#include "platform/shell.h"

#include <functional>
#include <vector>

// A shell that runs nothing: it records every request and answers with the result the test
// chose (success unless told otherwise).
class RecordingShell : public Shell {
 public:
  struct Started {
    QString program;
    QStringList arguments;
  };

  bool OpenUrl(const QUrl& url) override {
    opened.push_back(url);
    return openResult;
  }
  bool StartProcess(const QString& program, const QStringList& arguments = {}) override {
    started.push_back({program, arguments});
    if (onStart) onStart(program);
    return startResult;
  }

  std::vector<QUrl> opened;
  std::vector<Started> started;
  bool openResult = true;
  bool startResult = true;
  // Called with the program at each start, while it is being started (to look at the file then).
  std::function<void(const QString&)> onStart;
};
