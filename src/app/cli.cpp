#include "app/cli.h"

#include "app/commands.h"
#include "core/paths.h"
#include "core/wholefile.h"
#include "platform/consoledialogs.h"
#include "platform/datafolder.h"
#include "platform/sqlitekeystore.h"
#include "platform/storelock.h"
#include "session/appcontext.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

CliArgs::CliArgs(const QStringList& args) {
  // "--days=7" is the same as "--days 7".
  for (const QString& a : args) {
    const qsizetype equals = a.indexOf(QLatin1Char('='));
    if (a.startsWith(QStringLiteral("--")) && equals > 2) {
      args_ << a.left(equals) << a.mid(equals + 1);
    } else {
      args_ << a;
    }
  }
}

std::optional<QString> CliArgs::TakeOption(const QString& name, QString& error) {
  const qsizetype at = args_.indexOf(name);
  if (at < 0) return std::nullopt;
  if (at + 1 >= args_.size()) {
    error = QStringLiteral("%1 needs a value").arg(name);
    args_.removeAt(at);
    return std::nullopt;
  }
  const QString value = args_.at(at + 1);
  args_.remove(at, 2);
  return value;
}

bool CliArgs::TakeFlag(const QString& name) { return args_.removeAll(name) > 0; }

QStringList CliArgs::Positional() const {
  QStringList out;
  for (const QString& a : args_) {
    if (!a.startsWith(QStringLiteral("--"))) out << a;
  }
  return out;
}

QString CliArgs::UnknownOption() const {
  for (const QString& a : args_) {
    if (a.startsWith(QStringLiteral("--"))) return a;
  }
  return QString();
}

int UsageError(const CliCommand& command, const QString& message) {
  QTextStream err(stderr);
  err << "orvane " << command.name << ": " << message << Qt::endl;
  err << "usage: orvane " << command.usage << Qt::endl;
  return 2;
}

namespace {

// A context that holds the command's lock for as long as it lives.
class LockedContext : public AppContext {
 public:
  LockedContext(std::unique_ptr<KeyStore> store, std::unique_ptr<StoreLock> lock, std::unique_ptr<Clock> clock)
      : AppContext(clock ? std::move(clock) : std::make_unique<SystemClock>(), std::make_unique<ConsoleDialogs>(),
                   std::move(store)),
        lock_(std::move(lock)) {}

 private:
  std::unique_ptr<StoreLock> lock_;
};

}  // namespace

std::unique_ptr<AppContext> OpenCliContext(bool forChange, QString& error, std::unique_ptr<Clock> clock,
                                           const std::function<void(AppContext&)>& load) {
  // The lock and the store live in the data folder. A folder that cannot be made ready is
  // reported by the lock or the store, in their words.
  QString unready;
  UserDataFolder().Prepare(unready);
  std::unique_ptr<StoreLock> lock;
  if (forChange) {
    lock = std::make_unique<StoreLock>(DatabasePath());
    if (!lock->TryLock(error)) return nullptr;
  }
  auto opened = SqliteKeyStore::Open(DatabasePath());
  if (!opened.store) {
    error = QStringLiteral("Cannot open %1: %2").arg(DatabasePath(), opened.error);
    return nullptr;
  }
  if (!opened.movedAside.isEmpty()) {
    QTextStream(stderr) << "orvane: the calendar database was damaged; it was moved to " << opened.movedAside
                        << " and an empty one started" << Qt::endl;
  }
  auto context = std::make_unique<LockedContext>(std::move(opened.store), std::move(lock), std::move(clock));
  context->LoadSettings(std::make_unique<FixedScreens>(), TSettings::Mode::ThisRunOnly);
  if (load)
    load(*context);
  else
    context->calendar().LoadCalendar(context->store(), forChange);
  return context;
}

FileCommandStart StartFileCommand(const CliCommand& self, CliArgs& args, bool standardStream,
                                  const std::function<void(AppContext&)>& load) {
  FileCommandStart start;
  const QString unknown = args.UnknownOption();
  const QStringList positional = args.Positional();
  if (!unknown.isEmpty()) {
    start.exitCode = UsageError(self, QStringLiteral("unknown option %1").arg(unknown));
    return start;
  }
  if (positional.size() != 1) {
    start.exitCode = UsageError(self, QStringLiteral("give one file"));
    return start;
  }
  if (IsStandardStream(positional.first())) {
    if (!standardStream) {
      start.exitCode =
          UsageError(self, QStringLiteral("give a file; \"-\" (standard input or output) does not fit this command"));
      return start;
    }
    start.path = positional.first();
  } else {
    start.path = QFileInfo(positional.first()).absoluteFilePath();
  }
  QString error;
  // Every command that changes the store holds the program's lock, so none runs beside the panel.
  start.context = OpenCliContext(true, error, nullptr, load);
  if (!start.context) {
    QTextStream(stderr) << "orvane " << self.name << ": " << error << Qt::endl;
    start.exitCode = 1;
  }
  return start;
}

const std::vector<CliCommand>& CliCommands() {
  static const std::vector<CliCommand> commands = [] {
    std::vector<CliCommand> list;
    // One line per command, each made in its own file (commands.h).
    list.push_back({QStringLiteral("--version"), QStringLiteral("--version"),
                    QStringLiteral("print the program's name and version"),
                    [](CliArgs&) {
                      QTextStream(stdout) << "Orvane " << ORVANE_VERSION << Qt::endl;
                      return 0;
                    },
                    CliCommand::Needs::Nothing});
    list.push_back({QStringLiteral("--help"), QStringLiteral("--help"), QStringLiteral("show this help"),
                    [](CliArgs&) {
                      QTextStream(stdout) << CliHelpText();
                      return 0;
                    },
                    CliCommand::Needs::Nothing});
    list.push_back(AgendaCommand());
    list.push_back(AlarmsCommand());
    list.push_back(BackupCommand());
    list.push_back(RestoreCommand());
    list.push_back(SyncCommand());
    list.push_back(RenderCommand());
    list.push_back(WeatherCommand());
    list.push_back(ListenCommand());
    list.push_back(LanSyncCommand());
    list.push_back(ServerCommand());
    list.push_back(PrintCommand());
    list.push_back(ExportIcsCommand());
    list.push_back(ImportIcsCommand());
    return list;
  }();
  return commands;
}

QString CliHelpText() {
  QString text;
  QTextStream out(&text);
  out << "Orvane " << ORVANE_VERSION << " - a calendar and planner on your desktop\n\n";
  out << "usage:\n";
  out << "  orvane                 start the desktop panel\n";
  for (const CliCommand& c : CliCommands()) {
    out << "  orvane " << c.usage << "\n      " << c.summary << "\n";
  }
  out << "\nEvery command answers --help. Options may be written --name=value. A file name of \"-\"\n"
         "means standard output (backup, export-ics, print --out) or standard input (restore,\n"
         "import-ics).\n";
  out << "\nThe calendar lives in "
      << "$XDG_DATA_HOME/orvane/ (~/.local/share/orvane/).\n";
  return text;
}

const CliCommand* FindCommand(const QStringList& arguments) {
  if (arguments.size() < 2) return nullptr;
  QString name = arguments.at(1);
  if (name == QStringLiteral("-h") || name == QStringLiteral("help")) name = QStringLiteral("--help");
  if (name == QStringLiteral("-v") || name == QStringLiteral("version")) name = QStringLiteral("--version");
  for (const CliCommand& c : CliCommands()) {
    if (c.name == name) return &c;
  }
  static const CliCommand unknown{QString(), QString(), QString(), [](CliArgs&) { return 2; }};
  return &unknown;
}

bool AsksForUsage(const QStringList& arguments) {
  const QStringList after = CliArgs(arguments.mid(2)).all();
  return after.contains(QStringLiteral("--help")) || after.contains(QStringLiteral("-h"));
}

int RunCommand(const CliCommand& command, const QStringList& arguments) {
  if (command.name.isEmpty()) {
    QTextStream(stderr) << "orvane: unknown command \"" << arguments.value(1) << "\"\n\n" << CliHelpText();
    return 2;
  }
  CliArgs args(arguments.mid(2));
  int code;
  if (args.TakeFlag(QStringLiteral("--help")) || args.TakeFlag(QStringLiteral("-h"))) {
    QTextStream(stdout) << "usage: orvane " << command.usage << "\n" << command.summary << "\n";
    code = 0;
  } else {
    code = command.run(args);
  }
  // What went to standard output must have arrived: a full disk or a closed pipe is not a
  // success. A reader that stopped reading (`orvane agenda | head`) is no error to report.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    if (errno != EPIPE) {
      // The stream may have failed at an earlier write, whose reason is gone by now.
      QTextStream err(stderr);
      err << "orvane " << command.name << ": cannot write to standard output";
      if (errno != 0) err << ": " << QString::fromLocal8Bit(std::strerror(errno));
      err << Qt::endl;
    }
    return code == 0 ? 1 : code;
  }
  return code;
}
