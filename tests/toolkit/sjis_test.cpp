#include "toolkit/sjis.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/errors.h"

namespace pw::sjis {
namespace {

TEST(ShiftJisLeadByte, RangesAndTheirNeighbours) {
  const std::vector<std::pair<int, bool>> cases = {
      {0x00, false}, {0x5C, false}, {0x7F, false}, {0x80, false}, {0x81, true},  {0x9F, true},
      {0xA0, false}, {0xB1, false}, {0xDF, false}, {0xE0, true},  {0xFC, true},  {0xFD, false},
      {0xFF, false}};
  for (const auto& [byte, lead] : cases) {
    EXPECT_EQ(IsLeadByte(static_cast<std::uint8_t>(byte)), lead) << std::hex << byte;
  }
}

TEST(ShiftJisSplit, CharactersOfOneOrTwoBytes) {
  struct Case {
    std::string text;
    std::vector<std::string> characters;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"ab", {"a", "b"}},
      {"a\x82\xA0" "b", {"a", "\x82\xA0", "b"}},          // あ between ASCII letters
      {"\xB1\xB2", {"\xB1", "\xB2"}},                      // half-width katakana are single bytes
      {"\x81\x40\x81\x40", {"\x81\x40", "\x81\x40"}},      // two ideographic spaces
      {"\x81" "a", {"\x81" "a"}},                          // a lead byte takes any byte after it
      {"\x81\x5C" "\\", {"\x81\x5C", "\\"}},               // a trail byte 0x5C is not a backslash
      {"a\x82", {"a", "\x82"}},                            // a lone lead byte at the end
      {"\xE0\x40\xFC\xFC", {"\xE0\x40", "\xFC\xFC"}},
      {"a\xFD\x80\x81\xE9" "b", {"a", "\xFD\x80\x81\xE9", "b"}},  // the private form of U+00E9
      {"\xFD\x80\x81", {"\xFD", "\x80", "\x81"}},                 // cut short: single bytes
      {"\xFD\x80\x5C\x81", {"\xFD", "\x80", "\x5C", "\x81"}},    // a byte below 0x80 ends it
      {"\xFD\xC4\x80\x80", {"\xFD", "\xC4", "\x80", "\x80"}},    // beyond U+10FFFF
  };
  for (const auto& c : cases) {
    const auto split = SplitCharacters(c.text);
    ASSERT_EQ(split.size(), c.characters.size()) << c.text;
    for (std::size_t i = 0; i < split.size(); ++i) EXPECT_EQ(split[i], c.characters[i]) << c.text;
  }
}

TEST(ShiftJisConversion, RoundTripsBothWays) {
  struct Case {
    std::string utf8;
    std::string cp932;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"Abc 123", "Abc 123"},
      {"\\", "\\"},                                   // backslash stays a backslash
      {"\xE3\x80\x80", "\x81\x40"},                   // U+3000 ideographic space
      {"\xE3\x81\x82", "\x82\xA0"},                   // あ
      {"\xE3\x82\xA2", "\x83\x41"},                   // ア
      {"\xEF\xBD\xB1\xEF\xBE\x9F", "\xB1\xDF"},       // half-width ｱ and the semi-voiced mark
      {"\xE6\xBC\xA2\xE5\xAD\x97", "\x8A\xBF\x8E\x9A"},  // 漢字
      {"\xEF\xBD\x9E", "\x81\x60"},                   // U+FF5E full-width tilde, code page 932's form
      {"\xE2\x91\xA0", "\x87\x40"},                   // circled digit one (NEC row 13)
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FromUtf8(c.utf8), c.cp932) << c.utf8;
    EXPECT_EQ(ToUtf8(c.cp932), c.utf8) << c.utf8;
  }
}

// Characters that code page 932 converters map differently (wave dash, minus, double bar, yen
// and overline, the NEC row 13 and the NEC-selected and IBM extensions with their duplicates):
// every build keeps the forms the desktop has always produced.
TEST(ShiftJisConversion, DisputedCharactersKeepTheirForms) {
  struct Case {
    std::string cp932;
    char32_t codePoint;
  };
  const std::vector<Case> decoded = {
      {"\x5C", U'\\'},       {"\x7E", U'~'},          {"\x81\x60", U'\uFF5E'},  // wave dash
      {"\x81\x7C", U'\uFF0D'}, {"\x81\x5F", U'\uFF3C'}, {"\x81\x91", U'\uFFE0'},
      {"\x81\xCA", U'\uFFE2'}, {"\x87\x54", U'\u2160'}, {"\x87\x82", U'\u2116'},
      {"\x87\x90", U'\u2252'}, {"\xED\x40", U'\u7E8A'}, {"\xEE\xEF", U'\u2170'},
      {"\xEE\xF9", U'\uFFE2'}, {"\xFA\x40", U'\u2170'}, {"\xFA\x54", U'\uFFE2'},
      {"\xFA\x5B", U'\u2235'}, {"\xFA\xFC", U'\u6D6F'},
  };
  for (const auto& c : decoded) EXPECT_EQ(ToCodePoint(c.cp932), c.codePoint) << c.cp932;

  const std::vector<std::pair<std::string, std::string>> encoded = {
      {"\xE3\x80\x9C", "\x81\x60"},  // U+301C wave dash
      {"\xE2\x88\x92", "\x81\x7C"},  // U+2212 minus
      {"\xE2\x80\x96", "\x81\x61"},  // U+2016 double vertical line
      {"\xC2\xA5", "\x5C"},            // U+00A5 yen sign
      {"\xE2\x80\xBE", "\x7E"},        // U+203E overline
      {"\xC2\xAC", "\x81\xCA"},       // U+00AC not sign
      {"\xE2\x85\xB0", "\xFA\x40"},  // U+2170 small roman one: the IBM form, not NEC-selected
      {"\xE2\x85\xA0", "\x87\x54"},  // U+2160 roman one: NEC row 13
      {"\xE2\x89\x92", "\x81\xE0"},  // U+2252: JIS X 0208, not NEC row 13
      {"\xE2\x88\xB5", "\x81\xE6"},  // U+2235 because
      {"\xE7\xBA\x8A", "\xFA\x5C"},  // U+7E8A: the IBM form
      {"\xEF\xBF\xA4", "\xFA\x55"},  // U+FFE4 full-width broken bar
  };
  for (const auto& [utf8, cp932] : encoded) EXPECT_EQ(FromUtf8(utf8), cp932) << utf8;
  EXPECT_THROW(FromUtf8("\xC2\xA6"), EConvertError);  // U+00A6 broken bar has no form
}

TEST(ShiftJisConversion, FailuresNameTheCharacterOrOffset) {
  struct Case {
    std::string input;
    bool toCodePage;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"ok \xF0\x9F\x98\x80", true, "U+1F600 has no Shift-JIS (code page 932) form"},
      {"\xC2\xA7\xE2\x82\xAC", true, "U+20AC has no Shift-JIS (code page 932) form"},  // § converts, € not
      {"a\xFF", true, "The text is not valid UTF-8 at byte 1"},
      {"ab\xE3\x81", true, "The text is not valid UTF-8 at byte 2"},  // cut short
      {"a\xC1\x9C", true, "The text is not valid UTF-8 at byte 1"},      // overlong backslash
      {"\xE0\x81\x9C", true, "The text is not valid UTF-8 at byte 0"},   // overlong in three bytes
      {"ab\x85\x40", false, "The text is not valid Shift-JIS (code page 932) at byte 2"},
      {"\x80", false, "The text is not valid Shift-JIS (code page 932) at byte 0"},
      {"x\x82", false, "The text is not valid Shift-JIS (code page 932) at byte 1"},
  };
  for (const auto& c : cases) {
    try {
      if (c.toCodePage) {
        FromUtf8(c.input);
      } else {
        ToUtf8(c.input);
      }
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST(ShiftJisConversion, CodePointOfOneCharacter) {
  EXPECT_EQ(ToCodePoint("\x81\x40"), U'\u3000');
  EXPECT_EQ(ToCodePoint("\xB1"), U'\uFF71');
  EXPECT_EQ(ToCodePoint("A"), U'A');
  EXPECT_EQ(ToCodePoint("\x85\x40"), std::nullopt);
  EXPECT_EQ(ToCodePoint(""), std::nullopt);
}

}  // namespace
}  // namespace pw::sjis
