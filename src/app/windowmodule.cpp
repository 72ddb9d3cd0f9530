// The window module's entry: the desktop panel, and the commands that paint (render, print).
#include "app/launch.h"
#include "app/startup.h"

extern "C" __attribute__((visibility("default"))) int orvane_module_main(int argc, char** argv) {
  return RunWindowProgram(argc, argv);
}
