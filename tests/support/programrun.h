#pragma once

#include "core/dataformat.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <vector>

class SqliteKeyStore;

struct ProgramResult {
  int code = -1;  // -1: crashed or still running at the guard time
  QString out;
  QString err;
  // With RunOptions::logLoads: the file name of every shared library the process loaded,
  // at its start or later (dlopen).
  QStringList loaded;
};

struct RunOptions {
  bool headless = false;           // no display of any kind: no DISPLAY, WAYLAND_DISPLAY nor QT_QPA_PLATFORM
  bool spin = false;               // keep this thread's event loop running meanwhile (for loopback servers)
  int guardMs = 120000;            // only keeps a broken test from hanging
  QString workingDir = QString();  // the test's own folder when empty
  bool logLoads = false;           // the dynamic loader logs the libraries it loads (ProgramResult::loaded)
  // Runs in the child before the program starts (limits, signal dispositions).
  std::function<void()> inChild = nullptr;
};

// The program as its users run it, for end-to-end tests. Each user ("" is the default one)
// has data, configuration and runtime folders of its own inside one temp folder; this
// process's XDG_RUNTIME_DIR is the default user's while the test runs.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  QString Home(const QString& who = {}) const;
  QString File(const QString& name) const { return dir_.filePath(name); }
  QProcessEnvironment Environment(const QString& who = {}) const;
  // The user's calendar database, and the store opened on it.
  QString DatabaseFile(const QString& who = {}) const;
  std::unique_ptr<SqliteKeyStore> OpenStore(const QString& who = {}) const;
  // Writes a calendar (when fill is given) and settings into the user's store.
  void Store(const std::function<void(DataFormat&)>& fill, const QList<std::pair<QString, QString>>& settings = {},
             const QString& who = {});
  // Loads the user's calendar from the store and hands it to look.
  void Load(const std::function<void(DataFormat&)>& look, const QString& who = {}) const;
  // The whole store as text: calendar and settings.
  QString Dump(const QString& who = {}) const;

  ProgramResult Run(const QStringList& args, const QString& who = {}, const RunOptions& options = {});
  // Starts the program and leaves it running; the test ends it, or TearDown kills it.
  QProcess* Start(const QStringList& args, const QString& who = {}, const RunOptions& options = {});
  // Reads the process's errors until they contain the text (or it ends or falls silent); gives what it read.
  static QString WaitForError(QProcess& process, const QString& text);

  QString binary_;
  QTemporaryDir dir_;

 private:
  std::vector<std::unique_ptr<QProcess>> started_;
  QByteArray oldRuntime_;
};

// Calendar records in one line each, for the stores that tests fill.
TNote& AddEvent(DataFormat& calendar, const QString& title, TDateTime day, double time = -1);
TToDo& AddTask(DataFormat& calendar, const QString& title);
