// Prints the window program's usage text for `--help`, so that its manual page can be written at
// build time like panelwright-cli's, without starting Qt.
#include <cstdio>
#include <cstring>

#include "app/command_line.h"

int main(int argc, char** argv) {
  if (argc != 2 || std::strcmp(argv[1], "--help") != 0) return 2;
  std::fputs(pw::kWindowUsage, stdout);
  return 0;
}
