#pragma once

#include "app/cli.h"

// The commands of the command line, each made in its own file and listed by CliCommands().

CliCommand AgendaCommand();
// backup FILE, restore FILE, sync FILE (cmd_files.cpp).
CliCommand BackupCommand();
CliCommand RestoreCommand();
CliCommand SyncCommand();
// render --out FILE.png (cmd_render.cpp).
CliCommand RenderCommand();
// weather (cmd_weather.cpp).
CliCommand WeatherCommand();
// listen, lan-sync ADDRESS --password-file FILE (cmd_lan.cpp).
CliCommand ListenCommand();
CliCommand LanSyncCommand();
// print --kind ... --out FILE.pdf (cmd_print.cpp).
CliCommand PrintCommand();
// export-ics FILE, import-ics FILE (cmd_icalendar.cpp).
CliCommand ExportIcsCommand();
CliCommand ImportIcsCommand();
