#pragma once

// The window module's program: the desktop panel's main sequence when no command is named,
// else a command that paints (render, print), offscreen when there is no display.
int RunWindowProgram(int argc, char** argv);
