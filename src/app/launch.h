#pragma once

#include <QStringList>

#include "app/cli.h"

// The program's start. The executable holds the commands that need no window, no network and
// no iCalendar file (QtCore and SQLite); the desktop panel and the commands that paint, use
// the network or read and write iCalendar files live in modules that it loads only for them,
// so that `orvane --version` or `orvane agenda` never load the graphics, printing, sound,
// network or iCalendar libraries.
int OrvaneMain(int argc, char** argv);

// Runs a command that needs no window under an application object of QtCore. `bulk`: the
// command reads the whole calendar, works on it and ends, so the heap is given room for it
// up front (never for one that runs for long).
int RunConsoleCommand(const CliCommand& command, const QStringList& arguments, int argc, char** argv, bool bulk);
// Gives the heap room for the whole calendar up front, in large pages (ReserveBulkHeap): only
// in a process that ends once its command is done.
void ReserveHeapForTheCalendar();

// The command line as text.
QStringList CommandLineArguments(int argc, char** argv);

// The module files, found beside the executable (the build tree) or in the program's library
// folder (installed).
inline constexpr char WindowModuleFile[] = "orvane-window.so";
inline constexpr char NetworkModuleFile[] = "orvane-network.so";
inline constexpr char ICalendarModuleFile[] = "orvane-icalendar.so";
QString ModulePath(const QString& fileName);

// What every module exports: it runs the whole command line (the panel, or a command of the
// module) with the same arguments as main, making its own application object.
extern "C" int orvane_module_main(int argc, char** argv);
