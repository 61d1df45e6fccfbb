// panelwright-cli markup: prints, per input line, the display text, the colour digits and the
// glyph digits that the window composer would use.
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "cli/commands.h"
#include "compose/markup.h"
#include "toolkit/letters.h"

namespace pw::cli {

const char* const kMarkupUsage =
    "usage: panelwright-cli markup [--encoding utf-8|cp932] [TEXT]\n"
    "\n"
    "Parses window text the way Make does and prints one line per text line:\n"
    "the display text, a TAB, the colour number of every display character (two digits each),\n"
    "a TAB, and the glyph number of every display character (two digits each).\n"
    "\n"
    "  TEXT                  the text; standard input when absent. Lines end at LF (CR LF accepted);\n"
    "                        a last empty line is not counted.\n"
    "  --encoding utf-8      the text is UTF-8 and is printed as UTF-8 (default)\n"
    "  --encoding cp932      the text is Shift-JIS (code page 932) and is printed as such\n"
    "\n"
    "Control codes: \\C[n] or \\c[n] (n 0..19) sets the colour; $A..$Z, $a..$z and $0..$9 are\n"
    "special glyphs; \\\\ and $$ write one backslash or dollar sign.\n";

int RunMarkup(const Args& args) {
  bool utf8 = true;
  bool haveText = false;
  std::string text;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--encoding") {
      if (i + 1 >= args.size()) return Fail("--encoding needs a value (utf-8 or cp932)", kExitUsage);
      const std::string& v = args[++i];
      if (v == "utf-8" || v == "utf8") utf8 = true;
      else if (v == "cp932" || v == "shift-jis" || v == "sjis") utf8 = false;
      else return Fail("unknown encoding '" + v + "' (use utf-8 or cp932)", kExitUsage);
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return Fail("unknown option '" + a + "'", kExitUsage);
    } else if (!haveText) {
      text = a;
      haveText = true;
    } else {
      return Fail("only one TEXT argument is allowed", kExitUsage);
    }
  }
  if (!haveText) text = ReadStandardInput();

  const std::string sjisText = utf8 ? ToWindowText(text, TLetters::Japanese) : text;
  int colour = 0;
  for (const std::string& line : SplitLines(sjisText)) {
    const ParsedLine parsed = ParseMarkupLine(line, colour);
    const std::string shown = utf8 ? WindowTextToUtf8(parsed.DisplayText) : parsed.DisplayText;
    std::cout << shown << '\t' << parsed.ColourCodes << '\t' << parsed.GlyphCodes << '\n';
  }
  std::cout.flush();
  return std::cout ? kExitOk : Fail("cannot write to standard output");
}

}  // namespace pw::cli
