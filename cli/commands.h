// The subcommands of panelwright-cli. Each takes its own arguments (after the command name)
// and returns the process exit code: 0 success, 1 failure (message on standard error),
// 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace pw::cli {

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Args& args);
  const char* usage;  // full --help text of the command
};

int RunMarkup(const Args& args);
extern const char* const kMarkupUsage;
int RunCompose(const Args& args);
extern const char* const kComposeUsage;
int RunInfo(const Args& args);
extern const char* const kInfoUsage;
int RunConvert(const Args& args);
extern const char* const kConvertUsage;
int RunGame(const Args& args);
extern const char* const kGameUsage;

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A wrong command line: Main prints the message and returns kExitUsage.
struct UsageError {
  std::string message;
};

// Prints "panelwright-cli: message" to standard error and returns code.
int Fail(const std::string& message, int code = kExitFailure);

// Standard input to its end, no further than the largest file Panelwright reads (EFileTooLarge).
std::string ReadStandardInput();

}  // namespace pw::cli
