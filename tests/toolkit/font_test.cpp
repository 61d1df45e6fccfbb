#include "toolkit/font.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "toolkit/freetype_face.h"
#include "toolkit/glyph_bits.h"
#include "toolkit/letters.h"

namespace pw {
namespace {

constexpr TColor kBackground = 0x00FF00;
constexpr TColor kUntouched = 0x123456;
constexpr int kSize = TCharCell::kSize;

struct Drawn {
  TCharCell cell;
  int ink = 0;
  int background = 0;
  int untouched = 0;
  int other = 0;
};

Drawn Draw(const TTextRasterizer& font, std::string_view character) {
  Drawn d;
  d.cell.Fill(kUntouched);
  font.DrawChar(character, d.cell, kBackground);
  for (TColor p : d.cell.pixels) {
    if (p == clBlack) ++d.ink;
    else if (p == kBackground) ++d.background;
    else if (p == kUntouched) ++d.untouched;
    else ++d.other;
  }
  return d;
}

int InkInRow(const TCharCell& cell, int y) {
  int n = 0;
  for (int x = 0; x < kSize; ++x) n += cell.Get(x, y) == clBlack;
  return n;
}
int InkInColumn(const TCharCell& cell, int x) {
  int n = 0;
  for (int y = 0; y < kSize; ++y) n += cell.Get(x, y) == clBlack;
  return n;
}

// These tests describe the stand-in bitmap fonts; a machine with the real faces installed skips them.
class StandInFont : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    font_ = std::make_unique<TTextRasterizer>(GetParam());
    if (font_->UsesInstalledFace()) GTEST_SKIP() << GetParam() << " is installed";
  }
  std::unique_ptr<TTextRasterizer> font_;
};

TEST_P(StandInFont, WidthsAreSixPerSingleByteAndTwelvePerDoubleByte) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"", 0},
      {"A", 6},
      {"\x82\xA0", 12},                             // あ
      {"\xB1", 6},                                  // half-width ｱ
      {"A\x82\xA0\xB1\x8A\xBF", 36},                // Aあｱ漢
      {"\x81\x40\x81\x40\x81\x40", 36},             // three ideographic spaces
      {"\xF0\x40", 12},                             // user-defined area: no glyph, full advance
      {"\x80", 6},                                  // not a character: no glyph, half advance
      {"ab\x82", 18},                               // a lone lead byte advances like one byte
  };
  for (const auto& [text, width] : cases) EXPECT_EQ(font_->MeasureText(text), width) << text;
}

TEST_P(StandInFont, DrawsOnlyBlackInkOverTheBackgroundOfItsAdvance) {
  for (const std::string character : {"A", "\x82\xA0", "\xB1", "\x8A\xBF", "~", "\\"}) {
    const Drawn d = Draw(*font_, character);
    const int advance = font_->CharAdvance(character);
    EXPECT_GT(d.ink, 0) << character;
    EXPECT_EQ(d.other, 0) << character;
    EXPECT_EQ(d.untouched, (kSize - advance) * kSize) << character;
    for (int y = 0; y < kSize; ++y) {
      for (int x = advance; x < kSize; ++x) EXPECT_EQ(d.cell.Get(x, y), kUntouched) << character;
    }
  }
}

TEST_P(StandInFont, CharacterWithoutGlyphDrawsBackgroundOnly) {
  // Ideographic space, a user-defined character, a byte that is no character, a lone lead byte.
  for (const std::string character : {"\x81\x40", "\xF0\x40", "\x80", "\x82"}) {
    const Drawn d = Draw(*font_, character);
    EXPECT_EQ(d.ink, 0) << character;
    EXPECT_EQ(d.background, font_->CharAdvance(character) * kSize) << character;
  }
}

// Symbols with known shapes check the Shift-JIS to JIS X 0208 arithmetic for trail bytes
// below 0x7F, in 0x80..0x9E and from 0x9F, where it differs.
TEST_P(StandInFont, SymbolsComeFromTheirJisCells) {
  const Drawn filledSquare = Draw(*font_, "\x81\xA1");  // ■ (trail from 0x9F: the even row)
  const Drawn openSquare = Draw(*font_, "\x81\xA0");    // □
  EXPECT_GE(filledSquare.ink, 80);
  EXPECT_LT(openSquare.ink, filledSquare.ink / 2);
  EXPECT_GT(openSquare.ink, 20);

  const Drawn lowLine = Draw(*font_, "\x81\x51");  // ＿ (trail below 0x7F)
  EXPECT_EQ(InkInRow(lowLine.cell, kSize - 1), lowLine.ink);
  EXPECT_GE(lowLine.ink, 10);

  const Drawn bar = Draw(*font_, "\x81\x62");  // ｜
  int columns = 0;
  for (int x = 0; x < kSize; ++x) columns += InkInColumn(bar.cell, x) > 0;
  EXPECT_EQ(columns, 1);

  const Drawn equals = Draw(*font_, "\x81\x81");  // ＝ (trail 0x80..0x9E)
  int rows = 0;
  for (int y = 0; y < kSize; ++y) rows += InkInRow(equals.cell, y) > 0;
  EXPECT_EQ(rows, 2);
}

// Where the Shift-JIS to JIS X 0208 arithmetic has its edges (trail byte 0x9F, which starts an
// even row; lead bytes from 0xE0), each character draws the glyph its font file has at the JIS
// code, pixel for pixel.
TEST_P(StandInFont, EdgeCharactersDrawTheirGlyphsFromTheFontFile) {
  const bool mincho = GetParam() == std::string("RM2000");
  const std::string file = std::string(PW_STANDIN_FONT_DIR) + (mincho ? "/shnmk12min.pcf.gz" : "/shnmk12.pcf.gz");
  const TFreeTypeFace face(GetParam(), {file, 0});
  const std::vector<std::pair<std::string, unsigned long>> cases = {
      {"\x82\x9F", 0x2421},  // ぁ
      {"\x83\x9F", 0x2621},  // Α
      {"\x84\x9F", 0x2821},  // ─
      {"\x88\x9F", 0x3021},  // 亜
      {"\xE5\x81", 0x6961},  // 蛛
      {"\xEA\x69", 0x734A},  // 麒
  };
  for (const auto& [character, jis] : cases) {
    Glyph expected;
    face.Render(jis, false, expected);
    const Drawn d = Draw(*font_, character);
    EXPECT_GT(d.ink, 0) << std::hex << jis;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        EXPECT_EQ(d.cell.Get(x, y) == clBlack, (expected.rows[y] >> x & 1u) != 0)
            << std::hex << jis << std::dec << " at " << x << "," << y;
  }
}

TEST_P(StandInFont, HalfWidthKatakanaHasGlyphs) {
  for (int byte = 0xA1; byte <= 0xDF; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    EXPECT_GT(Draw(*font_, character).ink, 0) << std::hex << byte;
  }
}

INSTANTIATE_TEST_SUITE_P(BothFaces, StandInFont, ::testing::Values("RMG2000", "RM2000"));

TEST(StandInFonts, GothicAndMinchoDiffer) {
  const TTextRasterizer gothic("RMG2000");
  const TTextRasterizer mincho("RM2000");
  if (gothic.UsesInstalledFace() || mincho.UsesInstalledFace()) GTEST_SKIP() << "real faces installed";
  // 愛 and あ have different shapes in the two faces; A is shared.
  EXPECT_NE(Draw(gothic, "\x88\xA4").cell.pixels, Draw(mincho, "\x88\xA4").cell.pixels);
  EXPECT_NE(Draw(gothic, "\x82\xA0").cell.pixels, Draw(mincho, "\x82\xA0").cell.pixels);
  EXPECT_EQ(Draw(gothic, "A").cell.pixels, Draw(mincho, "A").cell.pixels);
}

TEST(StandInFonts, DrawingAgainUsesTheSameGlyph) {
  const TTextRasterizer font("RMG2000");
  const Drawn first = Draw(font, "\x8A\xBF");
  Draw(font, "A");
  EXPECT_EQ(Draw(font, "\x8A\xBF").cell.pixels, first.cell.pixels);
}

// Full-width glyphs beyond Shift-JIS are the font files' glyphs pixel for pixel, every row, on
// the baseline of the built-in half-width font.
TEST(WorldFonts, FullWidthGlyphsAreTheFontFilesGlyphs) {
  struct Case {
    const char* utf8;
    char32_t code;
    std::string file;
  };
  const std::vector<Case> cases = {
      {"한", 0xD55C, std::string(PW_WORLD_FONT_DIR) + "/b12.pcf.gz"},
      {"丄", 0x4E04, std::string(PW_WORLD_FONT_DIR) + "/wenquanyi_9pt.pcf"},  // not in efont's 12-pixel font
  };
  const std::string builtIn = std::string(PW_STANDIN_FONT_DIR) + "/shnm6x12a.pcf.gz";
  const TTextRasterizer font("RMG2000");
  for (const Case& c : cases) {
    if (!std::filesystem::exists(c.file) || !std::filesystem::exists(builtIn)) GTEST_SKIP() << c.file << " is absent";
    const TFreeTypeFace face("world", {c.file, 0});
    Glyph expected;
    face.RenderAt(c.code, TFreeTypeFace("built-in", {builtIn, 0}).Ascent(), expected);
    const Drawn d = Draw(font, ToWindowText(c.utf8, TLetters::Japanese));
    EXPECT_GT(d.ink, 10) << c.utf8;
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x)
        EXPECT_EQ(d.cell.Get(x, y) == clBlack, (expected.rows[y] >> x & 1u) != 0) << c.utf8 << " at " << x << "," << y;
  }
}

// An installed outline face is found by family name and rendered without grey pixels.
TEST(InstalledFont, OutlineFaceFoundByFamilyName) {
  const TTextRasterizer font("DejaVu Sans");
  if (!font.UsesInstalledFace()) GTEST_SKIP() << "DejaVu Sans is not installed";
  const Drawn d = Draw(font, "A");
  EXPECT_GT(d.ink, 0);
  EXPECT_EQ(d.other, 0);
  EXPECT_EQ(font.MeasureText("AAA"), 3 * font.CharAdvance("A"));
  EXPECT_GT(font.CharAdvance("A"), 0);
}

TEST(InstalledFont, UnknownFamilyFallsBackToStandIn) {
  EXPECT_FALSE(TTextRasterizer("NoSuchFace-Panelwright").UsesInstalledFace());
}

}  // namespace
}  // namespace pw
