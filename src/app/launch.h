#pragma once

#include <QStringList>

// The program's start. The executable holds the commands that need no window and no network
// (QtCore, SQLite and libical); the desktop panel and the commands that paint or use the
// network live in modules that it loads only for them, so that `orvane --version` or
// `orvane agenda` never load the graphics, printing, sound or network libraries.
int OrvaneMain(int argc, char** argv);

// The command line as text.
QStringList CommandLineArguments(int argc, char** argv);

// The module files, found beside the executable (the build tree) or in the program's library
// folder (installed).
inline constexpr char WindowModuleFile[] = "orvane-window.so";
inline constexpr char NetworkModuleFile[] = "orvane-network.so";
QString ModulePath(const QString& fileName);

// What every module exports: it runs the whole command line (the panel, or a command of the
// module) with the same arguments as main, making its own application object.
extern "C" int orvane_module_main(int argc, char** argv);
