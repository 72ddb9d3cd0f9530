#pragma once

#include <QString>

// Where things are. Each is computed from the environment and touches nothing: the data
// folder is made ready once, at start, by whoever runs the program (platform/datafolder.h).

// The user's data folder (~/.local/share/orvane/, honouring XDG_DATA_HOME), with a trailing "/".
QString UserDataDir();
// The folder of the running executable, with a trailing "/".
QString ProgramDir();
// The folder that holds the shipped data (themes, Alarms, help): beside the executable in
// the build tree, or share/orvane when installed. Trailing "/".
QString DataDir();
// The calendar and settings database in UserDataDir.
QString DatabasePath();
