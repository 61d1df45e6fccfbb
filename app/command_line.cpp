#include "app/command_line.h"

namespace pw {

const char* const kWindowUsage =
    "usage: panelwright [SKIN]\n"
    "\n"
    "Opens the Panelwright window, which composes message-window pictures from a 160x80\n"
    "system graphic (a skin) and a few lines of text, and saves them as BMP or PNG files.\n"
    "\n"
    "  SKIN        a .bmp or .png system graphic to open at start, as if chosen with Open,\n"
    "              instead of the default sample skin; a file that cannot be read is\n"
    "              reported and the window opens with the default sample skin\n"
    "  --version   print the version and the licence, and exit\n"
    "\n"
    "The skin is the only argument; Qt's standard options, such as -platform and -style,\n"
    "are accepted as well.\n";

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  using TAction = TCommandLine::TAction;
  if (args.size() == 1 && args[0] == "--version") return {TAction::kVersion, {}, {}};
  TCommandLine line;
  bool optionsEnd = false;
  for (const std::string& a : args) {
    if (!optionsEnd && a == "--") {
      optionsEnd = true;
    } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
      return {TAction::kUsageError, {}, "unknown option '" + a + "'"};
    } else if (a.empty()) {
      return {TAction::kUsageError, {}, "the skin file name is empty"};
    } else if (!line.skin.empty()) {
      return {TAction::kUsageError, {}, "one skin file at most, not '" + line.skin + "' and '" + a + "'"};
    } else {
      line.skin = a;
    }
  }
  return line;
}

}  // namespace pw
