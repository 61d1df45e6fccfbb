// The window program's command line: one optional skin file to open at start, or --version.
// Qt's own options (-platform, -style, ...) are taken out by QApplication before the rest is read.
#pragma once

#include <string>
#include <vector>

namespace pw {

struct TCommandLine {
  enum class TAction { kRun, kVersion, kUsageError };
  TAction action = TAction::kRun;
  std::string skin;   // the file to open at start; empty when none is given
  std::string error;  // what is wrong, for kUsageError
};

// Reads the arguments after the program name. --version alone asks for the version; anything
// else but one skin file name (another option, a second name) is a usage error; "--" lets a name
// that starts with '-' through.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The usage text: shown with a usage error, and the source of the manual page.
extern const char* const kWindowUsage;

}  // namespace pw
