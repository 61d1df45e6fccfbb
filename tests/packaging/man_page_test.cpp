// Manual pages from --help: every part of the help layout must reach the page, literally where
// roff would otherwise read it as a request or an escape.
#include "packaging/man_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace pw::man {
namespace {

struct HelpCase {
  const char* name;
  const char* help;
  const char* expected;  // the roff the help must give, in full
};

const HelpCase kHelpCases[] = {
    {"usage with continuation lines stays line for line", "usage: p compose [--a N]\n    [--b]\n\nText.\n",
     ".PP\n.nf\np compose [\\-\\-a N]\n    [\\-\\-b]\n.fi\n.PP\nText.\n"},
    {"definitions with a continued description",
     "  --margin N    outer margin,\n                more text\n  -o OUT.bmp    the output\n",
     ".TP\n.B \\-\\-margin N\nouter margin,\nmore text\n.TP\n.B \\-o OUT.bmp\nthe output\n"},
    {"a paragraph after definitions starts anew", "  X   one\nAfter.\nSecond line\n",
     ".TP\n.B X\none\n.PP\nAfter.\nSecond line\n"},
    {"a term without description", "  WIDTH HEIGHT BITS\n", ".IP\nWIDTH HEIGHT BITS\n"},
    {"backslashes, leading dots and quotes stay text", "\\C[n] and \\\\\n.hidden\n'quoted'\n",
     ".PP\n\\eC[n] and \\e\\e\n\\&.hidden\n\\&'quoted'\n"},
    {"hyphens inside words stay hyphens", "Shift-JIS win-001.bmp --batch ---\n",
     ".PP\nShift-JIS win-001.bmp \\-\\-batch \\-\\-\\-\n"},
};

class HelpToRoff : public testing::TestWithParam<HelpCase> {};

TEST_P(HelpToRoff, GivesTheExpectedRequests) { EXPECT_EQ(RoffFromHelp(GetParam().help), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Layouts, HelpToRoff, testing::ValuesIn(kHelpCases), [](const auto& info) {
  std::string name;
  for (const char* c = info.param.name; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
});

TEST(ManPage, HoldsNameSynopsisCommandsAndIncludedSections) {
  Page page;
  page.program = "tool";
  page.source = "Tool 1.0";
  page.help = "usage: tool COMMAND\n\nCommands:\n  make    makes it\n  show    shows it\n\nMore.\n";
  EXPECT_EQ(CommandNames(page.help), (std::vector<std::string>{"make", "show"}));
  page.commands = {{"make", "usage: tool make -o OUT\n"}, {"show", "usage: tool show FILE\n"}};
  page.include = ParseInclude("ignored\n[NAME]\ntool - does things\n[<DESCRIPTION]\nFirst.\n[DESCRIPTION]\nLast.\n[SEE ALSO]\nother(1)\n");
  EXPECT_EQ(RenderPage(page),
            ".TH TOOL 1 \"\" \"Tool 1.0\" \"User Commands\"\n"
            ".SH NAME\ntool \\- does things\n"
            ".SH SYNOPSIS\n.PP\n.nf\ntool COMMAND\n.fi\n"
            ".SH DESCRIPTION\n.PP\nFirst.\n.PP\nCommands:\n.TP\n.B make\nmakes it\n.TP\n.B show\nshows it\n.PP\nMore.\n.PP\nLast.\n"
            ".SH COMMANDS\n.SS make\n.PP\n.nf\ntool make \\-o OUT\n.fi\n.SS show\n.PP\n.nf\ntool show FILE\n.fi\n"
            ".SH SEE ALSO\n.PP\nother(1)\n");
}

}  // namespace
}  // namespace pw::man
