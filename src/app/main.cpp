// brevane: the desktop program.
#include "startup.h"

int main(int argc, char** argv) {
  return brevane::app::runProgram(argc, argv);
}
