#pragma once

// The program: a command of the command line, or the desktop panel's main sequence.
int OrvaneMain(int argc, char** argv);
