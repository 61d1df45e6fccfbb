// Manual pages written from a program's own --help output, so the two cannot drift apart.
//
// The help text is read the way it is laid out for a terminal:
//   - "usage: ..." and the indented lines right after it are the synopsis, kept line for line;
//   - an indented line "  TERM  description" starts a definition (two or more blanks end the
//     term); a line indented deeper than its term continues the description;
//   - any other line is running text; blank lines end paragraphs and definitions.
// Text after the help (the page's name line, files, see also) comes from an include file in
// help2man's layout: "[SECTION]" lines, each followed by its text in the same help layout.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pw::man {

struct Section {
  std::string title;  // upper case, as it stands in the page
  std::string text;   // help layout
};

struct Page {
  std::string program;  // the program's name, "panelwright-cli"
  std::string source;   // the footer's source, "Panelwright 0.1"
  std::string help;     // output of `program --help`
  // Commands of the program and the output of `program COMMAND --help` for each.
  std::vector<std::pair<std::string, std::string>> commands;
  // NAME is required; "<DESCRIPTION" goes before the help's text, "DESCRIPTION" after it, and
  // every other section follows the commands in the include file's order.
  std::vector<Section> include;
};

// The names in a "Commands:" list of a help text (indented terms up to the next blank line).
std::vector<std::string> CommandNames(std::string_view help);

// Splits an include file into its sections; text before the first "[SECTION]" is ignored.
std::vector<Section> ParseInclude(std::string_view text);

// One line of plain text for roff: backslashes and leading dots or quotes kept literal,
// hyphens in option-like words written as minus signs.
std::string RoffText(std::string_view line);

// The help layout as roff requests.
std::string RoffFromHelp(std::string_view help);

// The whole page in man(7) format, section 1.
std::string RenderPage(const Page& page);

}  // namespace pw::man
