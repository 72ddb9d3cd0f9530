// The network module's entry: the commands that use the network (weather, listen, lan-sync, server),
// with Qt Network and libsodium, which the executable does not load for its other commands.
#include "app/commands.h"
#include "app/launch.h"

extern "C" __attribute__((visibility("default"))) int orvane_module_main(int argc, char** argv) {
  const QStringList arguments = CommandLineArguments(argc, argv);
  const CliCommand* found = FindCommand(arguments);
  if (!found || found->needs != CliCommand::Needs::Network) return 2;
  CliCommand command = *found;
  if (command.name == QStringLiteral("weather")) command.run = RunWeather;
  if (command.name == QStringLiteral("listen")) command.run = RunListen;
  if (command.name == QStringLiteral("lan-sync")) command.run = RunLanSync;
  if (command.name == QStringLiteral("server")) command.run = RunServer;
  // listen runs until it is stopped: no room is set aside for it.
  return RunConsoleCommand(command, arguments, argc, argv, command.name != QStringLiteral("listen"));
}
