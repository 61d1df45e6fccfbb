// panelwright-cli: the command-line face of Panelwright, for scripted and batch use.
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <new>
#include <string>

#include "cli/commands.h"
#include "dib/qvdib.h"

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
                    "'panelwright-cli --version' for the version.\n"
                    "Exit status: 0 done, 1 failure (message on standard error), 2 usage error,\n"
                    "3 (game --check) some lines do not fit the game's window.\n");
}

}  // namespace

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "panelwright-cli: %s\n", message.c_str());
  return code;
}

int Main(int argc, char** argv) {
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
    std::puts("panelwright-cli " PW_VERSION);
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
      return Fail(e.what());
    }
  }
  PrintOverview(stderr);
  return Fail("unknown command '" + name + "'", kExitUsage);
}

}  // namespace pw::cli

int main(int argc, char** argv) { return pw::cli::Main(argc, argv); }
