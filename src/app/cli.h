#pragma once

#include "core/clock.h"

#include <QStringList>
#include <functional>
#include <memory>

class AppContext;

// The arguments of one command, with small helpers for "--name value" options.
class CliArgs {
 public:
  // "--name=value" arguments are taken as "--name value".
  explicit CliArgs(const QStringList& args);
  const QStringList& all() const { return args_; }
  // Removes "--name value" and returns the value; nothing when absent. error is set when the
  // option is present without a value.
  std::optional<QString> TakeOption(const QString& name, QString& error);
  // Removes "--name" and says whether it was there.
  bool TakeFlag(const QString& name);
  // The arguments left that are not options, in order.
  QStringList Positional() const;
  // An option left over that no command knows: the first, or empty.
  QString UnknownOption() const;

 private:
  QStringList args_;
};

struct CliCommand {
  // Where the command's code lives. Core: in the executable, which loads nothing beyond QtCore
  // and SQLite. ICalendar: in the iCalendar module (libical). Network: in the network module
  // (Qt Network, libsodium). Window: in the window module, which paints (offscreen when there
  // is no display). Nothing: answered before the application object is made (--version,
  // --help).
  enum class Needs { Nothing, Core, ICalendar, Network, Window };
  QString name;
  QString usage;    // "agenda [--date YYYY-MM-DD] [--days N]"
  QString summary;  // one line for --help
  // Empty in the executable for a command whose code is in a module; the module fills it in.
  std::function<int(CliArgs&)> run;
  Needs needs = Needs::Core;
};

// Every command, in the order --help lists them.
const std::vector<CliCommand>& CliCommands();
// The --help text.
QString CliHelpText();
// The command named by the arguments (argv[1]); null when none is named (start the panel).
// Unknown commands give the usage error command.
const CliCommand* FindCommand(const QStringList& arguments);
// Whether the command line asks for the usage of its command ("--help" or "-h" after it).
bool AsksForUsage(const QStringList& arguments);
// Runs a command line with the application object already made. "--help" after a command
// prints its usage. A command whose standard output could not be written fails.
int RunCommand(const CliCommand& command, const QStringList& arguments);

// Reports a usage error (one line, then the usage) and gives exit code 2.
int UsageError(const CliCommand& command, const QString& message);

// The start of a command that takes exactly one file and changes the store: the arguments
// are checked (a usage error gives exit code 2) and the store is opened for change (a
// failure is reported and gives 1). Either a context and the file's absolute path, or the
// exit code to return. With standardStream, "-" (standard input or output) may stand for the
// file and is passed on as it is.
struct FileCommandStart {
  std::unique_ptr<AppContext> context;
  QString path;
  int exitCode = 0;
};
FileCommandStart StartFileCommand(const CliCommand& self, CliArgs& args, bool standardStream,
                                  const std::function<void(AppContext&)>& load = {});

// A context over the user's store for one command. With forChange the command holds the
// program's lock, so it refuses while the panel runs, and the calendar is read for saving
// (DataFormat::LoadCalendar). Settings are read with their defaults; nothing is asked. A
// clock pins "now" for the command (the system clock when none). `load` reads the calendar
// instead (a command that reads only part of it).
std::unique_ptr<AppContext> OpenCliContext(bool forChange, QString& error, std::unique_ptr<Clock> clock = nullptr,
                                           const std::function<void(AppContext&)>& load = {});
