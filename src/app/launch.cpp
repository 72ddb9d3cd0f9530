#include "app/launch.h"

#include "app/cli.h"
#include "core/paths.h"
#include "platform/bulkheap.h"

#include <dlfcn.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <algorithm>
#include <csignal>

namespace {

// Loads a module and hands it the command line. The module stays loaded until the process
// ends: what it made may still be torn down at exit.
int RunModule(const QString& fileName, int argc, char** argv) {
  const QString path = ModulePath(fileName);
  void* module = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module ? dlsym(module, "orvane_module_main") : nullptr;
  if (!entry) {
    const char* why = dlerror();
    // The loader's reason names the file.
    QTextStream(stderr) << "orvane: cannot load the part of the program in " << fileName << ": "
                        << (why ? QString::fromLocal8Bit(why) : path + QStringLiteral(" has no entry point"))
                        << Qt::endl;
    return 1;
  }
  return reinterpret_cast<decltype(&orvane_module_main)>(entry)(argc, argv);
}

}  // namespace

QStringList CommandLineArguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

QString ModulePath(const QString& fileName) {
  const QString program = ProgramDir();
  if (QFileInfo::exists(program + fileName)) return program + fileName;
  return QDir::cleanPath(program + QStringLiteral(ORVANE_MODULE_DIR) + QLatin1Char('/') + fileName);
}

int OrvaneMain(int argc, char** argv) {
  const QStringList arguments = CommandLineArguments(argc, argv);
  const CliCommand* command = FindCommand(arguments);
  if (!command) return RunModule(QString::fromLatin1(WindowModuleFile), argc, argv);
  // A command whose reader went away (`orvane agenda | head -3`) ends there, quietly, as
  // its peers on the command line do.
  std::signal(SIGPIPE, SIG_DFL);
  // The usage of any command is known here, without its module.
  if (command->needs == CliCommand::Needs::Nothing) return RunCommand(*command, arguments);
  if (command->needs != CliCommand::Needs::Core && !AsksForUsage(arguments)) {
    const char* module = command->needs == CliCommand::Needs::Window    ? WindowModuleFile
                         : command->needs == CliCommand::Needs::Network ? NetworkModuleFile
                                                                        : ICalendarModuleFile;
    return RunModule(QString::fromLatin1(module), argc, argv);
  }
  // The executable's commands read the whole calendar, work on it and end.
  return RunConsoleCommand(*command, arguments, argc, argv, true);
}

int RunConsoleCommand(const CliCommand& command, const QStringList& arguments, int argc, char** argv, bool bulk) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orvane"));
  if (bulk && !AsksForUsage(arguments)) ReserveHeapForTheCalendar();
  return RunCommand(command, arguments);
}

void ReserveHeapForTheCalendar() {
  // Twice the store holds what a command builds from it.
  const qint64 storeSize = QFileInfo(DatabasePath()).size();
  ReserveBulkHeap(static_cast<size_t>(std::min<qint64>(2 * storeSize + (16 << 20), qint64(1) << 30)));
}
