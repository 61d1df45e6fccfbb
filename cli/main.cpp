// panelwright-cli: the command-line face of Panelwright, for scripted and batch use.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "dib/qvdib.h"
#include "resources/resources.h"
#include "toolkit/errors.h"
#include "toolkit/replace_file.h"
#include "toolkit/stream.h"

namespace pw::cli {

namespace {

// One entry per subcommand.
const Command kCommands[] = {
    {"markup", "show how window text is parsed into characters, colours and glyphs", RunMarkup, kMarkupUsage},
    {"compose", "compose message windows into BMP or PNG files", RunCompose, kComposeUsage},
    {"info", "print size, pixel format, compression, palette and transparency of a picture", RunInfo, kInfoUsage},
    {"convert", "convert a picture to a BMP, PNG or DIB file, optionally at another colour depth", RunConvert,
     kConvertUsage},
    {"game", "list, check and draw a game's own messages in its own window", RunGame, kGameUsage},
};

void PrintOverview(std::FILE* out) {
  std::fprintf(out, "usage: panelwright-cli COMMAND [OPTIONS]\n\nCommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fprintf(out, "\nRun 'panelwright-cli COMMAND --help' for the options of a command,\n"
                    "'panelwright-cli --version' for the version and the licence.\n"
                    "Exit status: 0 done, 1 failure (message on standard error), 2 usage error,\n"
                    "3 (game --check) some lines do not fit the game's window.\n");
}

}  // namespace

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "panelwright-cli: %s\n", message.c_str());
  return code;
}

std::string ReadStandardInput() {
  struct stat info {};
  const bool sized = ::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
  const std::vector<std::uint8_t> bytes =
      ReadToEnd(STDIN_FILENO, sized ? static_cast<std::size_t>(info.st_size) : 0, "standard input");
  return std::string(bytes.begin(), bytes.end());
}

int Main(int argc, char** argv) {
  // Before any thread starts: an interrupted run removes the files it has not finished.
  RemoveTemporaryFilesOnInterrupt();
  // Picture formats are registered for the life of the program, as the window program does at start-up.
  const auto dibFormat = RegisterQvDIB();
  if (argc < 2) {
    PrintOverview(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintOverview(stdout);
    return kExitOk;
  }
  if (name == "--version") {
    std::fputs(resources::VersionText("panelwright-cli").c_str(), stdout);
    return kExitOk;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    const Args args(argv + 2, argv + argc);
    for (const std::string& a : args)
      if (a == "--help" || a == "-h") {
        std::fputs(c.usage, stdout);
        return kExitOk;
      }
    try {
      return c.run(args);
    } catch (const UsageError& e) {
      return Fail(e.message, kExitUsage);
    } catch (const std::bad_alloc&) {
      return Fail(std::string("there is not enough memory to finish '") + c.name + "'");
    } catch (const std::exception& e) {
      return Fail(UserMessage(e));
    }
  }
  PrintOverview(stderr);
  return Fail("unknown command '" + name + "'", kExitUsage);
}

}  // namespace pw::cli

int main(int argc, char** argv) { return pw::cli::Main(argc, argv); }
