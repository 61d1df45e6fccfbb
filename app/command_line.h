// The window program's command line: one optional skin file to open at start, and the usual
// --help and --version. Qt's own options (-platform, -style, ...) are taken out by QApplication
// before the rest is read.
#pragma once

#include <string>
#include <vector>

namespace pw {

struct TCommandLine {
  enum class TAction { kRun, kHelp, kVersion, kUsageError };
  TAction action = TAction::kRun;
  std::string skin;   // the file to open at start; empty when none is given
  std::string error;  // what is wrong, for kUsageError
};

// Reads the arguments after the program name. --help and --version win over everything else,
// so they answer even next to options that only Qt understands.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text of --help.
extern const char* const kWindowUsage;

}  // namespace pw
