#include "compose/markup.h"
#include "compose/extras.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

const std::string kSp = "\x81\x40";  // the glyph placeholder, IDEOGRAPHIC SPACE

struct MarkupCase {
  std::string line;
  std::string display;
  std::string colours;  // ColourCodes
  std::string glyphs;   // GlyphCodes
};

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class Markup : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(Markup, FirstLineOfAComposition) {
  const MarkupCase& c = GetParam();
  int colour = 0;
  const ParsedLine p = ParseMarkupLine(c.line, colour);
  EXPECT_EQ(p.DisplayText, c.display);
  EXPECT_EQ(p.ColourCodes, c.colours);
  EXPECT_EQ(p.GlyphCodes, c.glyphs);
  EXPECT_EQ(p.ColourCodes.size(), 2 * p.Length());
  EXPECT_EQ(p.FromGlyphCode.size(), p.Length());
}

INSTANTIATE_TEST_SUITE_P(
    TheCodes, Markup,
    ::testing::Values(MarkupCase{"", "", "", ""},
                      MarkupCase{"\\C[3]Red", "Red", "030303", "000000"},
                      MarkupCase{"ab\\c[12]cd", "abcd", "00001212", "00000000"},
                      MarkupCase{"\\C[19]x", "x", "19", "00"},
                      MarkupCase{"\\C[20]x", "\\C[20]x", Repeat("00", 7), Repeat("00", 7)},
                      MarkupCase{"\\C[03]x", "\\C[03]x", Repeat("00", 7), Repeat("00", 7)},
                      MarkupCase{"x\\C[4", "x\\C[4", Repeat("00", 5), Repeat("00", 5)},
                      MarkupCase{"\\C[1]\\C[2]y", "y", "02", "00"},
                      MarkupCase{"$a", kSp, "00", "26"},
                      MarkupCase{"$Z$z", kSp + kSp, "0000", "2551"},
                      MarkupCase{"$0 and $9", kSp + " and " + kSp, Repeat("00", 7), "52000000000061"},
                      MarkupCase{"$A", kSp, "00", "00"},
                      MarkupCase{"$$", "$", "00", "00"},
                      MarkupCase{"$$$B", "$" + kSp, "0000", "0001"},
                      MarkupCase{"$%", "$%", "0000", "0000"},
                      MarkupCase{"\\\\", "\\", "00", "00"},
                      MarkupCase{"\\\\\\\\", "\\\\", "0000", "0000"},
                      MarkupCase{"\\\\C[1]", "\\C[1]", Repeat("00", 5), Repeat("00", 5)},
                      MarkupCase{"\\\\\\C[2]x", "\\x", "0002", "0000"},
                      MarkupCase{"\\$B", "\\" + kSp, "0000", "0001"},
                      MarkupCase{"\\n", "\\n", "0000", "0000"},
                      // Double-byte characters are single characters; a full-width dollar is ordinary.
                      MarkupCase{"\x82\xa0\\C[5]\x82\xa2", "\x82\xa0\x82\xa2", "0005", "0000"},
                      MarkupCase{"\x81\x90" "A", "\x81\x90" "A", "0000", "0000"},
                      // A trail byte that looks like a backslash belongs to its character.
                      MarkupCase{"\x95\\C[1]", "\x95\\C[1]", Repeat("00", 5), Repeat("00", 5)},
                      MarkupCase{"$", "$", "00", "00"},
                      MarkupCase{"\\", "\\", "00", "00"},
                      // Characters beyond Shift-JIS (é, 한) are one character of four bytes each.
                      MarkupCase{"\xFD\x80\x81\xE9\\C[2]\xFD\x83\xAA\xDC$A", "\xFD\x80\x81\xE9\xFD\x83\xAA\xDC" + kSp,
                                 "000202", "000000"}));

TEST(Markup, DollarATellsItsGlyphFromAnOrdinaryCharacter) {
  int colour = 0;
  const ParsedLine p = ParseMarkupLine("x$A", colour);
  ASSERT_EQ(p.Length(), 2u);
  EXPECT_EQ(p.GlyphAt(0), 0);
  EXPECT_EQ(p.GlyphAt(1), 0);
  EXPECT_FALSE(p.FromGlyphCode[0]);
  EXPECT_TRUE(p.FromGlyphCode[1]);
}

TEST(Markup, ColourCarriesIntoLaterLines) {
  int colour = 0;
  const ParsedLine first = ParseMarkupLine("a\\C[5]", colour);
  const ParsedLine second = ParseMarkupLine("b", colour);
  EXPECT_EQ(first.ColourCodes, "00");
  EXPECT_EQ(second.ColourCodes, "05");
  EXPECT_EQ(colour, 5);
  const ParsedLine codesOnly = ParseMarkupLine("\\C[7]\\c[8]", colour);
  EXPECT_EQ(codesOnly.Length(), 0u);
  EXPECT_EQ(colour, 8);
  EXPECT_EQ(ParseMarkupLine("z", colour).ColourAt(0), 8);
}

TEST(Markup, SplitLinesDropsOnlyTheLastEmptyLine) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitLines(""), V{});
  EXPECT_EQ(SplitLines("a"), V{"a"});
  EXPECT_EQ(SplitLines("a\n"), V{"a"});
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitLines("a\n\n"), (V{"a", ""}));
  EXPECT_EQ(SplitLines("\n"), V{""});
  EXPECT_EQ(SplitLines("\nb"), (V{"", "b"}));
}

// Game message codes: the text in, and what the markup then shows of each piece between \_
// codes (joined by "<_>"), or the error.
struct GameCase {
  std::string line;
  std::string shown;
};

class GameCodes : public ::testing::TestWithParam<GameCase> {};

TEST_P(GameCodes, ActOrVanishBeforeTheMarkup) {
  const GameCase& c = GetParam();
  GameCodeValues given;
  given.names = {{1, "Alex"}, {2, "Bo$A\\C[2]"}, {4, "\x95\x5C\x83\x5C"}, {999999999, "Zed"}};  // 4: 表ソ
  given.values = {{7, "120"}, {5, "\x94\x5C"}, {999999999, "9"}};                             // 5: 能
  std::string shown;
  try {
    int colour = 0;
    const std::vector<std::string> pieces = ApplyGameCodes(c.line, given);
    for (std::size_t i = 0; i < pieces.size(); ++i) shown += (i > 0 ? "<_>" : "") + ParseMarkupLine(pieces[i], colour).DisplayText;
  } catch (const EComposeError& e) {
    shown = std::string("error: ") + e.what();
  }
  EXPECT_EQ(shown, c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    TheCodes, GameCodes,
    ::testing::Values(GameCase{"Hello", "Hello"},
                      GameCase{"\\S[3]fast\\s[10]er", "faster"},
                      GameCase{"a\\!b\\.c\\|d\\^e\\>f\\<g\\$h", "abcdefgh"},
                      GameCase{"\\\\S[3]", "\\S[3]"},               // a pair is one backslash, the rest text
                      GameCase{"\\\\\\!x", "\\x"},
                      GameCase{"\\\\\\\\", "\\\\"},
                      GameCase{"a\\_b\\_\\_", "a<_>b<_><_>"},
                      GameCase{"\\N[1] and \\n[2]", "Alex and Bo$A\\C[2]"},  // names are literal text
                      GameCase{"\\N[01]\\V[7]G", "Alex120G"},
                      GameCase{"\\N[999999999]\\v[999999999]", "Zed9"},  // the largest number --name takes
                      GameCase{"\\N[4]\\V[5]", "\x95\x5C\x83\x5C\x94\x5C"},  // trail bytes 0x5C are no backslashes
                      GameCase{"\\C[3]red\\c[0]", "red"},             // the markup's codes keep their meaning
                      GameCase{"$A\\_$b$$", kSp + "<_>" + kSp + "$"},
                      GameCase{"$\\!A", "$A"},                        // a vanished code makes no glyph code
                      GameCase{"\\x\\S[x]\\S[]\\N\\", "\\x\\S[x]\\S[]\\N\\"},
                      GameCase{"\\\\N[1]", "\\N[1]"},
                      GameCase{"\x95\\\\!", "\x95\\"},                // a trail byte 0x5C is no backslash
                      GameCase{"\\N[3]", "error: The text uses \\N[3], but no name is given for 3"},
                      GameCase{"ok \\v[12]", "error: The text uses \\V[12], but no value is given for 12"},
                      GameCase{"\\N[1234567890]", "\\N[1234567890]"}));

}  // namespace
}  // namespace pw
