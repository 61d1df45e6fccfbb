#include "compose/compose.h"
#include "compose/extras.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dib/qvdib.h"
#include "toolkit/packed_pixels.h"
#include "tests/compose/test_pictures.h"
#include "toolkit/letters.h"

namespace pw {
namespace {

using testing::CoordinateSkin;
using testing::Sheet;
using testing::Src;

constexpr int kStretch = 0;
constexpr int kTile = 1;
const TColor kShadow = Src(16, 32);

// Composes over the coordinate skin, so that every output pixel names the source pixel it took.
class ComposeTest : public ::testing::Test {
 protected:
  ComposeInput Input(std::vector<std::string> lines, int wallMode = kTile, int padRound = 0, int padLine = 0) {
    ComposeInput in;
    in.systemGraphic = &skin_;
    in.lines = std::move(lines);
    in.wallMode = wallMode;
    in.padRound = padRound;
    in.padLine = padLine;
    in.gaizi = &builtIn_;
    in.myGaizi = &user_;
    in.fonts = &fonts_;
    return in;
  }
  static TBitmap Compose(const ComposeInput& in) {
    auto result = ComposeWindow(in);
    EXPECT_TRUE(result.has_value());
    return result ? *result : TBitmap();
  }
  // Checks every pixel of a rectangle against the expected source.
  static void ExpectArea(const TBitmap& window, int x0, int y0, int x1, int y1,
                         const std::function<TColor(int, int)>& expected) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) ASSERT_EQ(window.GetPixelColor(x, y), expected(x, y)) << x << "," << y;
  }
  static int CountDifferences(const TBitmap& a, const TBitmap& b) {
    EXPECT_EQ(a.GetWidth(), b.GetWidth());
    EXPECT_EQ(a.GetHeight(), b.GetHeight());
    int n = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
      for (int x = 0; x < a.GetWidth(); ++x) n += a.GetPixelColor(x, y) != b.GetPixelColor(x, y);
    return n;
  }

  TBitmap skin_ = CoordinateSkin();
  TBitmap builtIn_ = Sheet(156, 48, {});
  TBitmap user_;
  TFontCache fonts_;
};

// Full-width space: the same advance as a glyph code and no ink, in any font.
const std::string kSpace12 = "\x81\x40";

TEST_F(ComposeTest, WindowSizeFollowsLinesMarginsAndLineGap) {
  struct Case {
    std::vector<std::string> lines;
    int padRound, padLine, width, height;
  };
  const Case cases[] = {
      {{}, 0, 0, 16, 16},
      {{}, 5, 3, 26, 23},
      {{"AB"}, 3, 9, 34, 38},                                  // one line: the gap has no effect
      {{"A", "\x82\xA0\x82\xA0", "xyz"}, 0, 4, 40, 72},        // two full-width characters are widest
      {{"\\C[3]"}, 0, 0, 16, 32},                              // a line of codes only still counts
      {{"$a$b"}, 1, 0, 42, 34},                                // two placeholders
      {{"a", ""}, 0, 0, 22, 48},
  };
  for (const Case& c : cases) {
    const ComposeInput in = Input(c.lines, kTile, c.padRound, c.padLine);
    const WindowSize size = MeasureWindow(in);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
    const TBitmap window = Compose(in);
    EXPECT_EQ(window.GetWidth(), c.width);
    EXPECT_EQ(window.GetHeight(), c.height);
    EXPECT_EQ(window.GetPixelFormat(), TPixelFormat::pf24bit);
  }
}

TEST_F(ComposeTest, EmptyMemoIsFourCornersWithTheNinthRowOfTheBottomLeft) {
  const TBitmap window = Compose(Input({}));
  ASSERT_EQ(window.GetWidth(), 16);
  ExpectArea(window, 0, 0, 7, 6, [](int x, int y) { return Src(32 + x, y); });
  ExpectArea(window, 0, 7, 7, 7, [](int x, int) { return Src(32 + x, 23); });  // left edge's last row
  ExpectArea(window, 0, 8, 7, 15, [](int x, int y) { return Src(32 + x, 24 + y - 8); });
  ExpectArea(window, 8, 0, 15, 7, [](int x, int y) { return Src(56 + x - 8, y); });
  ExpectArea(window, 8, 8, 15, 15, [](int x, int y) { return Src(56 + x - 8, 24 + y - 8); });
}

TEST_F(ComposeTest, EdgesRepeatInPhaseWithTheWindow) {
  const TBitmap window = Compose(Input({"    "}));  // W = 40, H = 32
  ASSERT_EQ(window.GetWidth(), 40);
  // Top edge: column 8 takes the piece's column 8 (source 48), column 16 starts it again.
  EXPECT_EQ(window.GetPixelColor(8, 0), Src(48, 0));
  EXPECT_EQ(window.GetPixelColor(15, 5), Src(55, 5));
  EXPECT_EQ(window.GetPixelColor(16, 0), Src(40, 0));
  EXPECT_EQ(window.GetPixelColor(31, 7), Src(55, 7));
  EXPECT_EQ(window.GetPixelColor(32, 0), Src(56, 0));
  ExpectArea(window, 8, 24, 31, 31, [](int x, int y) { return Src(40 + x % 16, y); });
  // Left edge: row 8 takes the piece's row 8 (source 16), row 16 starts it again.
  EXPECT_EQ(window.GetPixelColor(0, 8), Src(32, 16));
  EXPECT_EQ(window.GetPixelColor(0, 15), Src(32, 23));
  EXPECT_EQ(window.GetPixelColor(0, 16), Src(32, 8));
  EXPECT_EQ(window.GetPixelColor(7, 22), Src(39, 14));
  EXPECT_EQ(window.GetPixelColor(39, 22), Src(63, 14));
  // Row 23 (H - 9): the bottom-left corner's extra row on the left, the right edge on the right.
  ExpectArea(window, 0, 23, 7, 23, [](int x, int) { return Src(32 + x, 23); });
  ExpectArea(window, 32, 23, 39, 23, [](int x, int) { return Src(56 + x - 32, 15); });
  ExpectArea(window, 32, 24, 39, 31, [](int x, int y) { return Src(56 + x - 32, y); });
}

TEST_F(ComposeTest, TiledWallpaperHasPeriod32) {
  const TBitmap window = Compose(Input({"        "}, kTile));  // W = 64, H = 32
  EXPECT_EQ(window.GetPixelColor(40, 20), Src(8, 20));
  EXPECT_EQ(window.GetPixelColor(32, 8), Src(0, 8));
  ExpectArea(window, 8, 8, 55, 23, [](int x, int y) { return Src(x % 32, y); });
}

TEST_F(ComposeTest, StretchedWallpaperRepeatsPixels) {
  const TBitmap wide = Compose(Input({"        "}, kStretch));  // 64x32: columns doubled
  ExpectArea(wide, 8, 8, 55, 23, [](int x, int y) { return Src(x / 2, y); });
  EXPECT_EQ(wide.GetPixelColor(9, 8), Src(4, 8));
  const TBitmap square = Compose(Input({"        ", "", ""}, kStretch));  // 64x64
  ExpectArea(square, 8, 8, 55, 55, [](int x, int y) { return Src(x / 2, y / 2); });
}

TEST_F(ComposeTest, StretchReducesTheTileForASmallWindow) {
  const TBitmap window = Compose(Input({}, kStretch, 4));  // 24x24
  ASSERT_EQ(window.GetWidth(), 24);
  EXPECT_EQ(window.GetPixelColor(8, 8), Src(10, 10));
  EXPECT_EQ(window.GetPixelColor(9, 8), Src(12, 10));
  EXPECT_EQ(window.GetPixelColor(11, 14), Src(14, 18));
  EXPECT_EQ(window.GetPixelColor(15, 15), Src(20, 20));
}

TEST_F(ComposeTest, FramePixelsOfTheTransparentColourShowWhatLiesBelow) {
  ComposeInput in = Input({"    "});
  in.transColor = Src(32, 0);  // top-left corner's first pixel
  EXPECT_EQ(Compose(in).GetPixelColor(0, 0), Src(0, 0));
  in.transColor = Src(49, 0);  // a top-edge pixel, met at columns 9 and 25
  const TBitmap edge = Compose(in);
  EXPECT_EQ(edge.GetPixelColor(9, 0), Src(9, 0));
  EXPECT_EQ(edge.GetPixelColor(25, 0), Src(25, 0));
  EXPECT_EQ(edge.GetPixelColor(10, 0), Src(50, 0));
  in.transColor = Src(32, 23);  // the extra row's pixel: the left edge shows at (0, 23)
  const TBitmap row = Compose(in);
  EXPECT_EQ(row.GetPixelColor(0, 23), Src(32, 15));
  EXPECT_EQ(row.GetPixelColor(0, 15), Src(0, 15));  // the left edge's own row 23 shows wallpaper
  EXPECT_EQ(row.GetPixelColor(1, 23), Src(33, 23));
}

TEST_F(ComposeTest, WallpaperIsNotMasked) {
  ComposeInput in = Input({"", "", ""});  // 48x96: pixel (37, 37) shows tile pixel (5, 5)
  in.padRound = 16;
  in.transColor = Src(5, 5);
  const TBitmap window = Compose(in);
  EXPECT_EQ(window.GetPixelColor(37, 37), Src(5, 5));
}

TEST_F(ComposeTest, TextPixelsShadowsAndTheirOrder) {
  user_ = Sheet(120, 12, {{0, 0}, {1, 1}, {5, 3}, {11, 11}});
  // A black transparent colour (the start value) must still draw only the glyph's ink.
  const TBitmap window = Compose(Input({"$0"}, kTile, 2));
  const TBitmap blank = Compose(Input({kSpace12}, kTile, 2));
  const int x0 = 10, y0 = 12;
  EXPECT_EQ(window.GetPixelColor(x0, y0), Src(2, 52));
  EXPECT_EQ(window.GetPixelColor(x0 + 1, y0 + 1), Src(3, 53));  // text beats the shadow of (0, 0)
  EXPECT_EQ(window.GetPixelColor(x0 + 2, y0 + 2), kShadow);
  EXPECT_EQ(window.GetPixelColor(x0 + 5, y0 + 3), Src(7, 55));
  EXPECT_EQ(window.GetPixelColor(x0 + 6, y0 + 4), kShadow);
  EXPECT_EQ(window.GetPixelColor(x0 + 11, y0 + 11), Src(13, 63));
  EXPECT_EQ(window.GetPixelColor(x0 + 12, y0 + 12), kShadow);
  EXPECT_EQ(window.GetPixelColor(x0 + 1, y0), Src(x0 + 1, y0));  // wallpaper between
  EXPECT_EQ(CountDifferences(window, blank), 7);
}

TEST_F(ComposeTest, LaterCharacterCoversTheShadowOfAnEarlierOne) {
  user_ = Sheet(120, 12, {{11, 0}, {0, 1}});
  const TBitmap window = Compose(Input({"$0$0"}));
  // The first glyph's (11, 0) casts its shadow on (20, 11); the second glyph's (0, 1) lands there.
  EXPECT_EQ(window.GetPixelColor(19, 10), Src(13, 52));
  EXPECT_EQ(window.GetPixelColor(20, 11), Src(2, 53));
  EXPECT_EQ(window.GetPixelColor(21, 12), kShadow);
}

TEST_F(ComposeTest, TextOriginLinePitchAndAdvances) {
  user_ = Sheet(120, 12, {{0, 0}});
  // Characters beyond Shift-JIS advance by their glyph: é and international Ж by 6, 한 and a
  // character without a glyph by 12.
  const std::vector<std::string> lines = {"$0", " $0", "  $0", kSpace12 + "$0", "\\C[1]" + kSpace12 + " $0",
                                          ToWindowText("é", TLetters::Japanese) + "$0",
                                          ToWindowText("Ж", TLetters::International) + "$0",
                                          ToWindowText("한", TLetters::Japanese) + "$0",
                                          ToWindowText("\u0E01a", TLetters::Japanese) + "$0"};
  const TBitmap window = Compose(Input(lines, kTile, 3, 4));
  const int left = 3 + 8;
  const int pitch = 16 + 4;
  const int advances[] = {0, 6, 12, 12, 18, 6, 6, 12, 18};
  for (int p = 0; p < 9; ++p) {
    const int y = 3 + 10 + p * pitch;
    const TColor colour = p < 4 ? Src(2, 52) : Src(18, 52);
    EXPECT_EQ(window.GetPixelColor(left + advances[p], y), colour) << "line " << p;
    EXPECT_EQ(window.GetPixelColor(left + advances[p] + 1, y + 1), kShadow) << "line " << p;
  }
}

// A line of kana, kanji and an accented letter draws its Japanese characters as a line of them
// alone does: only the accented letter's cell differs from the same line with a plain letter.
TEST_F(ComposeTest, JapaneseGlyphsOfAMixedLineAreUnchanged) {
  for (const TLetters letters : {TLetters::Japanese, TLetters::International}) {
    const std::string japanese = "\x82\xA9\x82\xC8\x8A\xBF\x8E\x9A";  // かな漢字
    const TBitmap plain = Compose(Input({japanese + "e", "e" + japanese}));
    const TBitmap mixed = Compose(Input({ToWindowText("かな漢字é", letters), ToWindowText("é", letters) + japanese}));
    ASSERT_EQ(mixed.GetWidth(), plain.GetWidth());
    int inAccentCell = 0;
    for (int y = 0; y < plain.GetHeight(); ++y) {
      for (int x = 0; x < plain.GetWidth(); ++x) {
        const bool firstLine = y < 10 + 16;
        const bool accentCell = firstLine ? x >= 8 + 48 : x < 8 + 6 + 1;  // with its shadow
        const bool same = plain.GetPixelColor(x, y) == mixed.GetPixelColor(x, y);
        if (accentCell) inAccentCell += !same;
        else ASSERT_TRUE(same) << x << "," << y;
      }
    }
    EXPECT_GT(inAccentCell, 0);
  }
}

TEST_F(ComposeTest, ColourCodesSelectSwatchesAndCarryToLaterLines) {
  user_ = Sheet(120, 12, {{0, 0}, {11, 11}});
  const TBitmap window = Compose(Input({"\\C[13]$0", "$0\\c[19]", "$0"}));
  EXPECT_EQ(window.GetPixelColor(8, 10), Src(50, 68));
  EXPECT_EQ(window.GetPixelColor(8, 26), Src(50, 68));
  EXPECT_EQ(window.GetPixelColor(8, 42), Src(146, 68));
  EXPECT_EQ(window.GetPixelColor(19, 53), Src(157, 79));  // colour 19 reaches the last row
}

TEST_F(ComposeTest, TransparentColourMasksShadowAndSwatchPixels) {
  user_ = Sheet(120, 12, {{0, 0}, {5, 3}});
  ComposeInput in = Input({"$0"});
  in.transColor = kShadow;
  const TBitmap noShadow = Compose(in);
  EXPECT_EQ(noShadow.GetPixelColor(8, 10), Src(2, 52));
  EXPECT_EQ(noShadow.GetPixelColor(9, 11), Src(9, 11));
  EXPECT_EQ(noShadow.GetPixelColor(14, 14), Src(14, 14));

  in.transColor = Src(2, 52);  // the swatch colour of ink (0, 0)
  const TBitmap masked = Compose(in);
  EXPECT_EQ(masked.GetPixelColor(8, 10), Src(8, 10));
  EXPECT_EQ(masked.GetPixelColor(9, 11), Src(9, 11));
  EXPECT_EQ(masked.GetPixelColor(13, 13), Src(7, 55));
  EXPECT_EQ(masked.GetPixelColor(14, 14), kShadow);
}

TEST_F(ComposeTest, GlyphCodesUseBothSheets) {
  builtIn_ = Sheet(156, 48, {{0, 0}, {12 + 1, 0}, {144 + 2, 36}});
  const TBitmap window = Compose(Input({"$A$B$z$0"}));
  EXPECT_EQ(window.GetPixelColor(8, 10), Src(2, 52));  // "$A": the built-in sheet's cell 0
  EXPECT_EQ(window.GetPixelColor(20 + 1, 10), Src(3, 52));
  EXPECT_EQ(window.GetPixelColor(32 + 2, 10), Src(4, 52));
  // Without a user sheet "$0" is a blank cell; with an empty one as well.
  const TBitmap blank = Compose(Input({"$A$B$z" + kSpace12}));
  EXPECT_EQ(CountDifferences(window, blank), 0);
  ComposeInput none = Input({"$A$B$z$0"});
  none.myGaizi = nullptr;
  EXPECT_EQ(CountDifferences(Compose(none), blank), 0);
}

TEST_F(ComposeTest, BothFontsDrawTheirInkInTheTextColour) {
  for (const char* face : {"RMG2000", "RM2000"}) {
    ComposeInput in = Input({"A\x82\xA0"});
    in.fontFace = face;
    const TTextRasterizer& font = fonts_.Get(face);
    const TBitmap window = Compose(in);
    ASSERT_EQ(window.GetWidth(), font.MeasureText("A\x82\xA0") + 16);
    int advance = 0;
    for (const std::string ch : {"A", "\x82\xA0"}) {
      TCharCell cell;
      cell.Fill(clWhite);
      font.DrawChar(ch, cell, clWhite);
      int ink = 0;
      for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
          if (cell.Get(x, y) == clBlack) {
            ++ink;
            EXPECT_EQ(window.GetPixelColor(8 + advance + x, 10 + y), Src(2 + x, 52 + y)) << face << " " << x << "," << y;
          }
      EXPECT_GT(ink, 0);
      advance += static_cast<int>(ch.size()) * 6;
    }
  }
  ComposeInput gothic = Input({"\x82\xA0"});
  ComposeInput mincho = gothic;
  mincho.fontFace = "RM2000";
  EXPECT_GT(CountDifferences(Compose(gothic), Compose(mincho)), 0);
}

TEST_F(ComposeTest, LowWindowWithoutLines) {
  // H = 9: the bottom-left corner's nine rows cover the top-left corner completely.
  const TBitmap window = Compose(Input({}, kTile, 0, 7));
  ASSERT_EQ(window.GetHeight(), 9);
  ExpectArea(window, 0, 0, 7, 0, [](int x, int) { return Src(32 + x, 23); });
  ExpectArea(window, 0, 1, 7, 8, [](int x, int y) { return Src(32 + x, 23 + y); });
  EXPECT_EQ(window.GetPixelColor(8, 0), Src(56, 0));
  ExpectArea(window, 8, 1, 15, 8, [](int x, int y) { return Src(48 + x, 23 + y); });

  // H between 1 and 8: the frame reaches outside the window.
  for (const auto& [padRound, padLine] : {std::pair{0, 8}, {0, 15}, {10, 28}}) {
    try {
      ComposeWindow(Input({}, kTile, padRound, padLine));
      ADD_FAILURE() << "no error for line gap " << padLine;
    } catch (const EQvDIBPixelPositionRange& e) {
      EXPECT_STREQ(e.what(), "TQvDIB.SetPixels: Pixel Position is Out of Range");
    }
  }
}

TEST_F(ComposeTest, RefusedInputs) {
  struct Case {
    ComposeInput in;
    std::string message;
  };
  const TBitmap narrow = CoordinateSkin(100, 80);
  ComposeInput wrongSize = Input({"a"});
  wrongSize.systemGraphic = &narrow;
  const Case cases[] = {
      {Input({}, kTile, 0, 16),
       "The window has no height: with no text lines, a line gap of 16 and a margin of 0 it would be 0 pixels high"},
      {Input({}, kTile, 2, 30),
       "The window has no height: with no text lines, a line gap of 30 and a margin of 2 it would be -10 pixels high"},
      {wrongSize, "The system graphic must be 160x80 pixels, not 100x80"},
      {Input({"a"}, kTile, 161), "The margin must be between 0 and 160, not 161"},
      {Input({"a"}, kTile, 0, -1), "The line gap must be between 0 and 320, not -1"},
  };
  for (const Case& c : cases) {
    try {
      ComposeWindow(c.in);
      ADD_FAILURE() << "no error: " << c.message;
    } catch (const EComposeError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST_F(ComposeTest, NothingWithoutASystemGraphic) {
  ComposeInput in = Input({"a"});
  in.systemGraphic = nullptr;
  EXPECT_FALSE(ComposeWindow(in).has_value());
  const TBitmap empty;
  in.systemGraphic = &empty;
  EXPECT_FALSE(ComposeWindow(in).has_value());
}

TEST_F(ComposeTest, ComposesWithItsOwnFontWhenNoCacheIsGiven) {
  ComposeInput in = Input({"Ab"});
  const TBitmap cached = Compose(in);
  in.fonts = nullptr;
  EXPECT_EQ(CountDifferences(Compose(in), cached), 0);
}

// --- Window extras ---

// Colour of face-sheet pixel (x, y): blue 0x40 sets it apart from every skin pixel.
constexpr TColor FaceSrc(int x, int y) { return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x40); }

TBitmap FaceSheet(int width, int height) { return testing::Picture(width, height, FaceSrc); }

class ExtrasTest : public ComposeTest {
 protected:
  TBitmap ComposeExtras(const ComposeInput& in, const WindowExtras& extras) {
    auto result = ComposeWindow(in, extras);
    EXPECT_TRUE(result.has_value());
    return result ? *result : TBitmap();
  }
  WindowExtras Face(int index, bool right = false, bool flip = false) {
    WindowExtras e;
    e.faceSheet = &faces_;
    e.faceSheetName = "faces.png";
    e.faceIndex = index;
    e.faceRight = right;
    e.faceFlip = flip;
    return e;
  }
  TBitmap faces_ = FaceSheet(96, 96);  // two columns, two rows: faces 0, 1, 4 and 5
};

TEST_F(ExtrasTest, NoExtraInUseComposesExactlyAsWithout) {
  user_ = Sheet(120, 12, {{0, 0}, {3, 7}});
  WindowExtras sideOnly;  // face side and flip mean nothing without a face
  sideOnly.faceRight = true;
  sideOnly.faceFlip = true;
  sideOnly.gameValues.names[1] = "x";
  for (const auto& lines : {std::vector<std::string>{}, {"$0 \\C[3]ab\\_"}, {"a", "\\N[1]$0"}}) {
    for (const WindowExtras& extras : {WindowExtras{}, sideOnly}) {
      const ComposeInput in = Input(lines, kStretch, 3, 2);
      EXPECT_EQ(CountDifferences(ComposeExtras(in, extras), Compose(in)), 0);
    }
  }
}

TEST_F(ExtrasTest, FacePlacementSizeAndFlip) {
  user_ = Sheet(120, 12, {{0, 0}});
  struct Case {
    std::vector<std::string> lines;
    int margin, index;
    bool right, flip;
    int width, height;  // the window
    int faceLeft;       // where the face cell is drawn, at y = margin + 8
    int textLeft;       // x of the first text pixel, at y = margin + 10
  };
  const Case cases[] = {
      {{"$0"}, 0, 0, false, false, 84, 64, 8, 64},               // 28 + 56 wide; the face sets the height
      {{"$0"}, 2, 5, false, false, 88, 68, 10, 66},              // the cell at (48, 48)
      {{"$0"}, 2, 4, true, false, 88, 68, 30, 10},               // right: W - margin - 56
      {{"$0"}, 0, 1, true, true, 84, 64, 28, 8},
      {{"$0", "", "", "", ""}, 1, 0, false, true, 86, 98, 9, 65},  // five lines are higher than a face
      {{}, 0, 0, false, false, 72, 64, 8, 0},                      // no text at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("face " + std::to_string(c.index) + " margin " + std::to_string(c.margin));
    const TBitmap window = ComposeExtras(Input(c.lines, kTile, c.margin), Face(c.index, c.right, c.flip));
    ASSERT_EQ(window.GetWidth(), c.width);
    ASSERT_EQ(window.GetHeight(), c.height);
    const int cellX = 48 * (c.index % 4), cellY = 48 * (c.index / 4), top = c.margin + 8;
    ExpectArea(window, c.faceLeft, top, c.faceLeft + 47, top + 47, [&](int x, int y) {
      const int dx = x - c.faceLeft;
      return FaceSrc(cellX + (c.flip ? 47 - dx : dx), cellY + y - top);
    });
    if (!c.lines.empty()) {
      EXPECT_EQ(window.GetPixelColor(c.textLeft, c.margin + 10), Src(2, 52));
      EXPECT_EQ(window.GetPixelColor(c.textLeft + 1, c.margin + 11), kShadow);
    }
  }
}

// A 96x96 sheet of the given depth whose pixel (x, y) has colour-table index indexOf(x, y).
TBitmap IndexedSheet(TPixelFormat format, const TPaletteEntries& palette, const std::function<int(int, int)>& indexOf) {
  TBitmap sheet;
  sheet.SetPixelFormat(format);
  sheet.SetPalette(palette);
  sheet.SetSize(96, 96);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x) WritePackedIndex(sheet.ScanLine(y), x, sheet.GetBitsPerPixel(), indexOf(x, y));
  return sheet;
}

// A face is keyed by its own sheet's transparency, never by the window's transparent colour: a
// hidden pixel shows the tiled wallpaper, Src(x mod 32, y mod 32) here.
TEST_F(ExtrasTest, FaceIsMaskedByItsOwnSheetsTransparencyOnly) {
  const TPaletteEntries two = {{0xFF, 0xFF, 0xFF, 0}, {0x10, 0x20, 0x40, 0}};
  TPaletteEntries sixteen(16);
  for (int i = 0; i < 16; ++i) sixteen[i] = {static_cast<std::uint8_t>(i * 16), 0x30, 0x40, 0};
  TBitmap keyed = FaceSheet(96, 96);
  keyed.SetTransparent(true);
  keyed.SetTransparentColor(FaceSrc(5, 6));  // a PNG's tRNS colour
  TBitmap alpha = IndexedSheet(TPixelFormat::pf8bit, DefaultPalette(8), [](int x, int y) { return (x + 48 * y) % 256; });
  struct Case {
    const char* name;
    TBitmap sheet;
    const TBitmap* alpha;  // 255 - alpha
    int index;
    bool flip;
    std::function<bool(int, int)> hidden;  // by sheet pixel
  };
  const Case cases[] = {
      {"24 bits: nothing hidden", FaceSheet(96, 96), nullptr, 0, false, [](int, int) { return false; }},
      {"tRNS colour", keyed, nullptr, 5, false, [](int x, int y) { return x == 5 && y == 6; }},
      {"tRNS colour, flipped", keyed, nullptr, 0, true, [](int x, int y) { return x == 5 && y == 6; }},
      {"alpha below 128", FaceSheet(96, 96), &alpha, 1, false, [](int x, int y) { return (x + 48 * y) % 256 > 127; }},
      {"8-bit palette index 0", IndexedSheet(TPixelFormat::pf8bit, sixteen, [](int x, int y) { return (x + y) % 3; }),
       nullptr, 4, false, [](int x, int y) { return (x + y) % 3 == 0; }},
      {"4-bit palette index 0", IndexedSheet(TPixelFormat::pf4bit, sixteen, [](int x, int y) { return (x * 3 + y) % 16; }),
       nullptr, 1, true, [](int x, int y) { return (x * 3 + y) % 16 == 0; }},
      {"1-bit palette index 0", IndexedSheet(TPixelFormat::pf1bit, two, [](int x, int y) { return (x / 3 + y) % 2; }),
       nullptr, 5, false, [](int x, int y) { return (x / 3 + y) % 2 == 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComposeInput in = Input({"a"}, kTile);
    in.transColor = c.sheet.GetPixelColor(48 * (c.index % 4) + 1, 48 * (c.index / 4));  // a face colour
    WindowExtras extras = Face(c.index, false, c.flip);
    extras.faceSheet = &c.sheet;
    extras.faceAlpha = c.alpha;
    const TBitmap window = ComposeExtras(in, extras);
    ExpectArea(window, 8, 8, 31, 31, [&](int x, int y) {
      const int sx = 48 * (c.index % 4) + (c.flip ? 47 - (x - 8) : x - 8), sy = 48 * (c.index / 4) + y - 8;
      return c.hidden(sx, sy) ? Src(x, y) : c.sheet.GetPixelColor(sx, sy);
    });
  }
}

// No window is composed that the picture readers would refuse (more than 2^28 pixels): the
// composition refuses it before drawing, and the line-by-line check refuses it exactly when the
// composition would, stopping at the first line wide enough.
TEST_F(ExtrasTest, WindowsLargerThanTheReadersTakeAreRefused) {
  const std::string limit = "268435456";
  // 131 lines with the largest margin and line gap: 44032 rows, so 6097 columns at most.
  std::vector<std::string> tall(131, "x");
  tall[0] = std::string(1000, 'x');  // 6000 + 2 x 160 + 16 = 6336 columns
  const std::string tallRefusal =
      "The window would be at least 6336x44032 pixels, more than the " + limit + " pixels of the largest picture Panelwright reads";
  WindowExtras arrow;
  arrow.pauseArrow = true;
  for (const WindowExtras& extras : {WindowExtras{}, arrow}) {
    try {
      ComposeWindow(Input(tall, kTile, 160, 320), extras);
      ADD_FAILURE() << "composed";
    } catch (const EComposeError& e) {
      EXPECT_EQ(std::string(e.what()), tallRefusal);
    }
  }
  // 15 lines without margin or gap: 256 rows, so 2^20 columns, 174760 half-width characters.
  struct Case {
    const char* name;
    std::string first;         // the first line; the other 14 are empty
    bool face, gameCodes;
    std::string refusal;       // empty: it fits
    std::size_t linesRead;     // lines measured before the answer
  };
  const Case cases[] = {
      {"exactly the limit", std::string(174760, 'x'), false, false, "", 15},
      {"one character more", std::string(174761, 'x'), false, false, "1048582x256", 1},
      {"with a face, 56 columns more", std::string(174760, 'x'), true, false, "1048632x256", 1},
      {"a name given for \\N[1]", "\\N[1]" + std::string(174750, 'x'), false, true, "1048582x256", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComposeInput in = Input({});
    WindowExtras extras = c.face ? Face(0) : WindowExtras{};
    extras.gameCodes = c.gameCodes;
    extras.gameValues.names[1] = "abcdefghijk";  // 11 half-width characters
    std::size_t read = 0;
    const auto lineAt = [&](std::size_t i) -> std::optional<std::string> {
      ++read;
      return i == 0 ? c.first : std::string();
    };
    try {
      RequireWindowFits(15, lineAt, in, extras);
      EXPECT_TRUE(c.refusal.empty());
    } catch (const EComposeError& e) {
      EXPECT_EQ(std::string(e.what()), "The window would be at least " + c.refusal + " pixels, more than the " + limit +
                                           " pixels of the largest picture Panelwright reads");
    }
    EXPECT_EQ(read, c.linesRead);
  }
}

TEST(NumberedText, TakesAWholeNumberOfUpToNineDigitsBeforeTheFirstEquals) {
  using Parsed = std::optional<std::pair<int, std::string>>;
  const std::pair<const char*, Parsed> cases[] = {
      {"1=Alex", std::pair{1, std::string("Alex")}},
      {"0=", std::pair{0, std::string()}},
      {"999999999=a=b", std::pair{999999999, std::string("a=b")}},
      {"1000000000=x", std::nullopt},  // ten digits
      {"=x", std::nullopt},
      {"-1=x", std::nullopt},
      {" 1=x", std::nullopt},
      {"1", std::nullopt},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(ParseNumberedText(line), expected) << line;
}

TEST_F(ExtrasTest, FaceCellOutsideItsSheetIsRefused) {
  const TBitmap small = FaceSheet(47, 200);
  struct Case {
    const TBitmap* sheet;
    int index;
    std::string message;
  };
  const Case cases[] = {
      {&faces_, 2, "The face sheet faces.png has no face 2: a 96x96 sheet holds faces of 48x48 pixels, four to a row, numbered from 0"},
      {&faces_, 8, "The face sheet faces.png has no face 8: a 96x96 sheet holds faces of 48x48 pixels, four to a row, numbered from 0"},
      {&faces_, -1, "The face sheet faces.png has no face -1: a 96x96 sheet holds faces of 48x48 pixels, four to a row, numbered from 0"},
      {&small, 0, "The face sheet faces.png has no face 0: a 47x200 sheet holds faces of 48x48 pixels, four to a row, numbered from 0"},
  };
  for (const Case& c : cases) {
    WindowExtras extras = Face(c.index);
    extras.faceSheet = c.sheet;
    try {
      ComposeWindow(Input({"a"}), extras);
      ADD_FAILURE() << "no error: " << c.message;
    } catch (const EComposeError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST_F(ExtrasTest, PauseArrowSitsCentredOnTheBottomEdgeMasked) {
  WindowExtras arrow;
  arrow.pauseArrow = true;
  for (const auto& [lines, trans] : {std::pair{std::vector<std::string>{"a"}, clBlack},  // W 22: left at 3
                                     {std::vector<std::string>{"ab", ""}, Src(41, 17)}}) {  // W 28: left at 6
    ComposeInput in = Input(lines, kTile, 0, 0);
    in.transColor = trans;
    const TBitmap plain = Compose(in);
    const TBitmap window = ComposeExtras(in, arrow);
    const int w = window.GetWidth(), h = window.GetHeight(), left = w / 2 - 8;
    ExpectArea(window, left, h - 8, left + 15, h - 1, [&](int x, int y) {
      const TColor c = Src(40 + x - left, 16 + y - (h - 8));
      return c == trans ? plain.GetPixelColor(x, y) : c;
    });
    EXPECT_EQ(CountDifferences(window, plain), 16 * 8 - (trans == Src(41, 17) ? 1 : 0));
  }
}

// A prepared skin is drawn instead of converting the system graphic again: the window is the one
// composed from the picture it was prepared from, with and without extras.
TEST_F(ExtrasTest, PreparedSkinComposesAsThePictureItWasMadeFrom) {
  const TBitmap other = testing::Picture(160, 80, [](int x, int y) { return Src(159 - x, 79 - y); });
  WindowExtras all = Face(1, true, true);
  all.pauseArrow = true;
  all.gameCodes = true;
  struct Case {
    const TBitmap* preparedFrom;
    std::vector<std::string> lines;
    WindowExtras extras;
  };
  const Case cases[] = {
      {&skin_, {"$0 \\C[3]ab", "c"}, {}},
      {&skin_, {"a\\C[12]b"}, all},
      {&other, {"ab", "\\C[5]c"}, {}},
      {&other, {"a"}, all},
  };
  for (const Case& c : cases) {
    ComposeInput plain = Input(c.lines, kStretch, 2, 1);
    plain.systemGraphic = c.preparedFrom;
    const TColourImage prepared = PrepareSkin(*c.preparedFrom);
    ComposeInput fast = Input(c.lines, kStretch, 2, 1);
    fast.preparedSkin = &prepared;
    EXPECT_EQ(CountDifferences(ComposeExtras(fast, c.extras), ComposeExtras(plain, c.extras)), 0) << c.lines[0];
  }
}

TEST_F(ExtrasTest, GameCodesActBeforeTheMarkup) {
  user_ = Sheet(120, 12, {{0, 0}});
  WindowExtras game;
  game.gameCodes = true;
  // Each \\_ advances 3 pixels, and draws nothing.
  for (const auto& [line, gap] : {std::pair<std::string, int>{"\\S[5]$0\\_\\!$0", 3}, {"$0\\_\\_$0", 6}}) {
    SCOPED_TRACE(line);
    const TBitmap thin = ComposeExtras(Input({line}), game);
    EXPECT_EQ(thin.GetWidth(), 16 + 12 + gap + 12);
    EXPECT_EQ(thin.GetPixelColor(8, 10), Src(2, 52));
    EXPECT_EQ(thin.GetPixelColor(8 + 12, 10), Src(8 + 12, 10));
    EXPECT_EQ(thin.GetPixelColor(8 + 12 + gap, 10), Src(2, 52));
  }
  game.gameValues.names[1] = "$0";  // a name is shown literally, never as a glyph code
  EXPECT_EQ(CountDifferences(ComposeExtras(Input({"\\n[1]\\>"}), game), Compose(Input({"$$0"}))), 0);
}

}  // namespace
}  // namespace pw
