#include "toolkit/letters.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "toolkit/code_pages.h"
#include "toolkit/errors.h"
#include "toolkit/font.h"
#include "toolkit/sjis.h"

namespace pw {
namespace {

constexpr auto kJa = TLetters::Japanese;
constexpr auto kIntl = TLetters::International;

// The glyph source and advance of one character as the composer sees it.
GlyphOrigin OriginOf(const std::string& utf8, TLetters letters) {
  const std::string text = ToWindowText(utf8, letters);
  EXPECT_EQ(sjis::SplitCharacters(text).size(), 1u) << utf8;
  return GlyphOriginOf(text);
}

TEST(Letters, SourceFontAndAdvanceOfEachCharacter) {
  struct Case {
    const char* utf8;
    TLetters letters;
    TGlyphSource source;
    int advance;
  };
  const std::vector<Case> cases = {
      {"é", kJa, TGlyphSource::Fixed6x12, 6},    {"é", kIntl, TGlyphSource::Fixed6x12, 6},
      {"ñ", kJa, TGlyphSource::Fixed6x12, 6},    {"ß", kIntl, TGlyphSource::Fixed6x12, 6},
      {"ø", kJa, TGlyphSource::Fixed6x12, 6},    {"Ł", kIntl, TGlyphSource::Fixed6x12, 6},
      {"ő", kJa, TGlyphSource::Fixed6x12, 6},    {"ş", kIntl, TGlyphSource::Fixed6x12, 6},
      {"Ж", kJa, TGlyphSource::ShiftJis, 12},    {"Ж", kIntl, TGlyphSource::Fixed6x12, 6},
      {"щ", kJa, TGlyphSource::ShiftJis, 12},    {"щ", kIntl, TGlyphSource::Fixed6x12, 6},
      {"Ω", kJa, TGlyphSource::ShiftJis, 12},    {"Ω", kIntl, TGlyphSource::Fixed6x12, 6},
      {"ά", kJa, TGlyphSource::Fixed6x12, 6},    {"ά", kIntl, TGlyphSource::Fixed6x12, 6},
      {"“", kJa, TGlyphSource::ShiftJis, 12},    {"“", kIntl, TGlyphSource::Fixed6x12, 6},
      {"—", kJa, TGlyphSource::ShiftJis, 12},    {"…", kIntl, TGlyphSource::Fixed6x12, 6},
      {"«", kJa, TGlyphSource::Fixed6x12, 6},    {"»", kIntl, TGlyphSource::Fixed6x12, 6},
      {"你", kJa, TGlyphSource::Efont, 12},      {"你", kIntl, TGlyphSource::Efont, 12},
      {"们", kJa, TGlyphSource::Efont, 12},      {"们", kIntl, TGlyphSource::Efont, 12},
      {"한", kJa, TGlyphSource::Efont, 12},      {"글", kIntl, TGlyphSource::Efont, 12},
      {"✓", kJa, TGlyphSource::Fixed6x12, 6},    {"✓", kIntl, TGlyphSource::Fixed6x12, 6},
      {"丄", kJa, TGlyphSource::WenQuanYi, 12},  // not in efont's 12-pixel font
      {"a", kIntl, TGlyphSource::ShiftJis, 6},   {"あ", kIntl, TGlyphSource::ShiftJis, 12},
      {"漢", kIntl, TGlyphSource::ShiftJis, 12}, {"ｱ", kIntl, TGlyphSource::ShiftJis, 6},
      {"\u0E01", kJa, TGlyphSource::None, 12},   {"\U0001F600", kIntl, TGlyphSource::None, 12},
      // Ё and ё are Cyrillic like the rest; each range drawn half-width starts with a character
      // that also has a Shift-JIS form.
      {"Ё", kIntl, TGlyphSource::Fixed6x12, 6},  {"ё", kIntl, TGlyphSource::Fixed6x12, 6},
      {"Ё", kJa, TGlyphSource::ShiftJis, 12},    {"ё", kJa, TGlyphSource::ShiftJis, 12},
      {"°", kIntl, TGlyphSource::Fixed6x12, 6},  {"°", kJa, TGlyphSource::ShiftJis, 12},
      {"‐", kIntl, TGlyphSource::Fixed6x12, 6},  {"‐", kJa, TGlyphSource::ShiftJis, 12},
      {"‰", kIntl, TGlyphSource::Fixed6x12, 6},  {"‰", kJa, TGlyphSource::ShiftJis, 12},
      {"Α", kIntl, TGlyphSource::Fixed6x12, 6},  {"Α", kJa, TGlyphSource::ShiftJis, 12},
  };
  const TTextRasterizer font("RMG2000");
  for (const Case& c : cases) {
    const GlyphOrigin origin = OriginOf(c.utf8, c.letters);
    EXPECT_EQ(origin.source, c.source) << c.utf8 << ' ' << LettersName(c.letters);
    EXPECT_EQ(origin.advance, c.advance) << c.utf8 << ' ' << LettersName(c.letters);
    EXPECT_EQ(font.CharAdvance(ToWindowText(c.utf8, c.letters)), c.advance) << c.utf8;
  }
}

TEST(Letters, JapaneseLettersAreTodaysShiftJisBytes) {
  for (const char* utf8 : {"", "Abc\\$", "かな漢字", "ｱｲ ～", "Ж Ω “” —", "\uFA10"}) {
    EXPECT_EQ(ToWindowText(utf8, kJa), sjis::FromUtf8(utf8)) << utf8;
    EXPECT_EQ(WindowTextToUtf8(ToWindowText(utf8, kIntl)), utf8) << utf8;
  }
}

TEST(Letters, CombiningMarksComposeWhereAPrecomposedCharacterExists) {
  struct Case {
    const char* input;
    const char* composed;
  };
  const std::vector<Case> cases = {
      {"Cafe\u0301", "Café"},
      {"o\u0308\u0304", "\u022B"},           // two marks, one after the other
      {"q\u0301", "q\u0301"},                // no precomposed form: two characters
      {"\u0301e", "\u0301e"},                // a mark before its letter stays
      {"\u304B\u3099", "\u304C"},            // か and the voiced mark
      {"\uFA10", "\uFA10"},                  // a compatibility character is not normalised
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToWindowText(c.input, kIntl), ToWindowText(c.composed, kIntl)) << c.input;
  }
}

TEST(Letters, InvalidUtf8NamesTheByte) {
  try {
    ToWindowText("ab\xC3", kIntl);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "The text is not valid UTF-8 at byte 2");
  }
}

TEST(Letters, MissingGlyphsAreNamedOnceEach) {
  const std::string text = ToWindowText("\u0E01a\u0E01\U0001F600é", kJa);
  EXPECT_EQ(MissingGlyphs(text), (std::vector<char32_t>{0x0E01, 0x1F600}));
  EXPECT_EQ(MissingGlyphNote(0x0E01), "U+0E01 (\u0E01) has no glyph and is drawn as a box");
  EXPECT_TRUE(MissingGlyphs(ToWindowText("Café 한", kIntl)).empty());
}

TCharCell DrawnCell(const TTextRasterizer& font, const std::string& windowChar) {
  TCharCell cell;
  cell.Fill(clWhite);
  font.DrawChar(windowChar, cell, clWhite);
  return cell;
}

int InkInRow(const TCharCell& cell, int y) {
  int ink = 0;
  for (int x = 0; x < TCharCell::kSize; ++x) ink += cell.Get(x, y) == clBlack;
  return ink;
}

// The rows a letter stands between: its top ink row, and its base, the lowest row that holds at
// least a third of the ink of its fullest row (so that the one-pixel tail of Щ is no base).
struct InkRows {
  int top = -1;
  int base = -1;
};
InkRows InkRowsOf(const TTextRasterizer& font, const std::string& windowChar) {
  const TCharCell cell = DrawnCell(font, windowChar);
  int fullest = 0;
  for (int y = 0; y < TCharCell::kSize; ++y) fullest = std::max(fullest, InkInRow(cell, y));
  InkRows rows;
  for (int y = 0; y < TCharCell::kSize; ++y) {
    const int ink = InkInRow(cell, y);
    if (ink > 0 && rows.top < 0) rows.top = y;
    if (ink > 0 && ink * 3 >= fullest) rows.base = y;
  }
  return rows;
}

TEST(Letters, LettersOfOneWordStandBetweenTheSameRowsInBothSettings) {
  // A letter of the built-in font and one drawn from another font or composed.
  const std::vector<std::pair<const char*, const char*>> pairs = {
      {"L", "Ł"}, {"l", "ł"}, {"x", "ı"}, {"A", "Ж"}, {"x", "ж"}, {"A", "Ω"}, {"0", "Щ"},
      {"E", "É"}, {"O", "Ö"}, {"Z", "Ź"}, {"C", "Č"},
  };
  const TTextRasterizer font("RMG2000");
  for (const TLetters letters : {kJa, kIntl}) {
    for (const auto& [plain, other] : pairs) {
      const InkRows a = InkRowsOf(font, ToWindowText(plain, letters));
      const InkRows b = InkRowsOf(font, ToWindowText(other, letters));
      ASSERT_GE(a.top, 0) << plain;
      EXPECT_NEAR(a.top, b.top, 1) << plain << ' ' << other << ' ' << LettersName(letters);
      EXPECT_NEAR(a.base, b.base, 1) << plain << ' ' << other << ' ' << LettersName(letters);
    }
  }
}

TEST(Letters, LettersOfEveryFontStandOnTheBaselineOfTheBuiltInHalfWidthGlyphs) {
  const TTextRasterizer font("RMG2000");
  const int baseline = InkRowsOf(font, "a").base;
  ASSERT_GT(baseline, 0);
  for (const char* utf8 : {"é", "ж", "ω", "ł"}) {
    EXPECT_EQ(InkRowsOf(font, ToWindowText(utf8, kIntl)).base, baseline) << utf8;
  }
  // Full-width characters fill the cell as the built-in kanji do.
  const int kanji = InkRowsOf(font, ToWindowText("漢", kIntl)).base;
  for (const char* utf8 : {"한", "们"}) EXPECT_NEAR(InkRowsOf(font, ToWindowText(utf8, kIntl)).base, kanji, 1) << utf8;
}

TEST(Letters, AccentedLettersAreComposedFromTheirBaseLetterAndMarks) {
  for (const TLetters letters : {kJa, kIntl}) {
    EXPECT_EQ(MissingGlyphs(ToWindowText("Tiếng Việt: ữ ế ủ ở ộ ẩ ậ ớ ồ ỏ", letters)), std::vector<char32_t>{})
        << LettersName(letters);
  }
  // The base letter stays whole from the x-height to the baseline; the marks go above it (after
  // a row of space, as the built-in accented letters have it, where they leave room) and, for a
  // dot below or an ogonek, under the baseline.
  struct Case {
    const char* marked;
    const char* base;
    bool above;
    bool gap;
    bool below;
  };
  const std::vector<Case> cases = {
      {"ộ", "o", true, true, true},   {"ậ", "a", true, true, true},  {"ế", "e", true, true, false},
      {"ủ", "u", true, false, false}, {"ồ", "o", true, true, false}, {"ỏ", "o", true, false, false},
      {"ạ", "a", false, true, true},  {"ả", "a", true, false, false}, {"ő", "o", true, true, false},
      {"č", "c", true, true, false},  {"ű", "u", true, true, false}, {"é", "e", true, true, false},
      {"ì", "ı", true, true, false},  {"ё", "e", true, true, false}, {"ę", "e", false, true, true},
      {"ά", "α", true, true, false},
  };
  const TTextRasterizer font("RMG2000");
  for (const Case& c : cases) {
    const TCharCell marked = DrawnCell(font, ToWindowText(c.marked, kIntl));
    const TCharCell base = DrawnCell(font, ToWindowText(c.base, kIntl));
    const InkRows rows = InkRowsOf(font, ToWindowText(c.base, kIntl));
    ASSERT_GE(rows.top, 1) << c.base;
    for (int y = rows.top; y <= rows.base; ++y)
      for (int x = 0; x < TCharCell::kSize; ++x) EXPECT_EQ(marked.Get(x, y), base.Get(x, y)) << c.marked << ' ' << x << ',' << y;
    int above = 0;
    int below = 0;
    for (int y = 0; y < rows.top; ++y) above += InkInRow(marked, y);
    for (int y = rows.base + 1; y < TCharCell::kSize; ++y) below += InkInRow(marked, y);
    EXPECT_EQ(above > 0, c.above) << c.marked;
    EXPECT_EQ(InkInRow(marked, rows.top - 1) == 0, c.gap) << c.marked;
    EXPECT_EQ(below > 0, c.below) << c.marked;
  }
}

TEST(Letters, MissingGlyphDrawsAHollowFullWidthBox) {
  // Closed on all four sides, standing on the baseline of the half-width letters.
  const char* const kBox[TCharCell::kSize] = {
      "............", ".##########.", ".#........#.", ".#........#.", ".#........#.", ".#........#.",
      ".#........#.", ".#........#.", ".#........#.", ".##########.", "............", "............",
  };
  const TTextRasterizer font("RMG2000");
  const TCharCell cell = DrawnCell(font, ToWindowText("\u0E01", kJa));
  for (int y = 0; y < TCharCell::kSize; ++y) {
    std::string row;
    for (int x = 0; x < TCharCell::kSize; ++x) row += cell.Get(x, y) == clBlack ? '#' : '.';
    EXPECT_EQ(row, kBox[y]) << "row " << y;
  }
}

// iconv's decoding of bytes, or "!" at the offset where it stops.
std::string IconvDecode(const std::string& bytes, const char* name) {
  const iconv_t cd = iconv_open("UTF-8", name);
  std::string input = bytes;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = input.data();
  char* o = out.data();
  std::size_t inLeft = input.size();
  std::size_t outLeft = out.size();
  const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  return ok ? out.substr(0, out.size() - outLeft) : "!" + std::to_string(in - input.data());
}

std::string Decode(std::string (*decode)(std::string_view, std::string_view), const std::string& bytes,
                   const std::string& name) {
  try {
    return decode(bytes, name);
  } catch (const EConvertError& e) {
    const std::string message = e.what();
    return "!" + message.substr(message.rfind(' ') + 1);
  }
}

TEST(CodePages, TablesDecodeEveryByteAndPairAsIconvDoes) {
  ASSERT_EQ(codepage::Names().size(), 9u);
  for (const std::string& name : codepage::Names()) {
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (int lead = 0; lead < 256; ++lead) {
      const std::string one(1, static_cast<char>(lead));
      for (int trail = lead < 0x81 ? 256 : 0; trail <= 256; ++trail) {
        const std::string bytes = trail == 256 ? "a" + one : one + static_cast<char>(trail);
        const std::string table = Decode(&codepage::ToUtf8ByTable, bytes, name);
        const std::string iconv = IconvDecode(bytes, upper.c_str());
        // Both decode alike or both refuse; the programs name the same offset as the page.
        ASSERT_EQ(table[0] == '!' ? "!" : table, iconv[0] == '!' ? "!" : iconv) << name << ' ' << lead << ' ' << trail;
        ASSERT_EQ(Decode(&codepage::ToUtf8, bytes, name), table) << name << ' ' << lead << ' ' << trail;
      }
    }
  }
}

TEST(CodePages, DecodeAndNameTheOffsetOfAnInvalidByte) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string utf8;  // empty: invalid
    std::string message;
  };
  std::string tenEllipses;
  for (int i = 0; i < 10; ++i) tenEllipses += "…";
  const std::vector<Case> cases = {
      {"cp1252", "Caf\xE9 \x80", "Café €", ""},
      {"cp1251", "\xC6\xE0\xF0", "Жар", ""},
      {"cp1250", "\xA3\xF3\xBF", "Łóż", ""},
      {"cp1253", "\xD9\xDC", "Ωά", ""},
      {"cp1254", "\xFE", "ş", ""},
      {"cp1257", "\xE0", "ą", ""},
      {"cp936", "\xC4\xE3\xC3\xC7", "你们", ""},
      {"cp949", "\xC7\xD1\xB1\xDB", "한글", ""},
      {"cp950", "\xA7\x41", "你", ""},
      {"cp1252", "\x93" + std::string(10, '\x85') + "\x94", "“" + tenEllipses + "”", ""},  // three UTF-8 bytes each
      {"cp1252", "ab\x81", "", "The text is not valid cp1252 at byte 2"},
      {"cp1253", "\xAA", "", "The text is not valid cp1253 at byte 0"},
      {"cp949", "a\xC7", "", "The text is not valid cp949 at byte 1"},   // a lead byte standing last
      {"cp936", "a\xC4\x20", "", "The text is not valid cp936 at byte 1"},  // a trail byte out of range
  };
  for (const Case& c : cases) {
    for (const auto decode : {&codepage::ToUtf8, &codepage::ToUtf8ByTable}) {
      if (!c.utf8.empty()) {
        EXPECT_EQ(decode(c.bytes, c.name), c.utf8) << c.name;
        continue;
      }
      try {
        decode(c.bytes, c.name);
        ADD_FAILURE() << c.name;
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.what(), c.message);
      }
    }
  }
  EXPECT_EQ(codepage::DefaultLetters("utf-8"), kJa);
  EXPECT_EQ(codepage::DefaultLetters("cp932"), kJa);
  EXPECT_EQ(codepage::DefaultLetters("cp1251"), kIntl);
}

}  // namespace
}  // namespace pw
