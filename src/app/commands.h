#pragma once

#include "app/cli.h"

// The commands of the command line, listed by CliCommands().

// Commands whose code is in the executable, each made in its own file.
CliCommand AgendaCommand();
// alarms [--hours N] (cmd_alarms.cpp).
CliCommand AlarmsCommand();
// backup FILE, restore FILE, sync FILE (cmd_files.cpp).
CliCommand BackupCommand();
CliCommand RestoreCommand();
CliCommand SyncCommand();

// Commands whose code is in a module loaded on demand. Their names and usage are in the
// executable (modulecommands.cpp), so that --help and usage errors of the command line load
// nothing; their run is empty there, and the module fills it in with the code below.
CliCommand RenderCommand();
CliCommand PrintCommand();
CliCommand WeatherCommand();
CliCommand ListenCommand();
CliCommand LanSyncCommand();
CliCommand ServerCommand();
CliCommand ExportIcsCommand();
CliCommand ImportIcsCommand();

// The window module: render --out FILE.png (cmd_render.cpp), print ... --out FILE.pdf (cmd_print.cpp).
int RunRender(CliArgs& args);
int RunPrint(CliArgs& args);
// The network module: weather (cmd_weather.cpp); listen, lan-sync ADDRESS --password-file FILE (cmd_lan.cpp).
int RunWeather(CliArgs& args);
int RunListen(CliArgs& args);
int RunLanSync(CliArgs& args);
// server add|list|remove|sync (cmd_server.cpp).
int RunServer(CliArgs& args);
// The iCalendar module: export-ics FILE, import-ics FILE (cmd_icalendar.cpp).
int RunExportIcs(CliArgs& args);
int RunImportIcs(CliArgs& args);
