#include "compose/layout.h"

#include <gtest/gtest.h>

#include "tests/compose/test_pictures.h"

namespace pw {
namespace {

using testing::CoordinateSkin;
using testing::Sheet;
using testing::Src;

TEST(SampleTextColour, CellMapsOntoColumns2To13AndRows4To15OfItsSwatch) {
  const TColourImage skin = TColourImage::FromGraphic(CoordinateSkin());
  struct Case {
    int colour, x, y, sourceX, sourceY;
  };
  const Case cases[] = {
      {0, 0, 0, 2, 52},      {0, 11, 11, 13, 63},   {1, 0, 0, 18, 52},   {9, 11, 11, 157, 63},
      {10, 0, 0, 2, 68},     {13, 5, 3, 55, 71},    {19, 11, 11, 157, 79}, {19, 0, 0, 146, 68},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SampleTextColour(skin, c.colour, c.x, c.y), Src(c.sourceX, c.sourceY))
        << "colour " << c.colour << " at " << c.x << "," << c.y;
  }
}

// A cell of background colour with the pixels the glyph turned black.
std::vector<std::pair<int, int>> InkOf(int glyph, const TGlyphSheets& sheets) {
  TCharCell cell;
  cell.Fill(0x00FF00);
  DrawGlyph(glyph, cell, sheets);
  std::vector<std::pair<int, int>> ink;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      const TColor c = cell.Get(x, y);
      EXPECT_TRUE(c == clBlack || c == 0x00FF00);
      if (c == clBlack) ink.emplace_back(x, y);
    }
  return ink;
}

using Ink = std::vector<std::pair<int, int>>;

TEST(DrawGlyph, BuiltInCellsAreThirteenToARow) {
  // Glyph 0 at (0, 0); 14 ("$O") at row 1, column 1: (12, 12); 51 ("$z") at (144, 36).
  TBitmap builtIn = Sheet(156, 48, {{0, 0}, {3, 4}, {12 + 5, 12 + 6}, {144 + 10, 36 + 10}, {155, 47}});
  TGlyphSheets sheets{TColourImage::FromGraphic(builtIn), {}};
  EXPECT_EQ(InkOf(0, sheets), (Ink{{0, 0}, {3, 4}}));
  EXPECT_EQ(InkOf(14, sheets), (Ink{{5, 6}}));
  EXPECT_EQ(InkOf(51, sheets), (Ink{{10, 10}, {11, 11}}));
  EXPECT_TRUE(InkOf(1, sheets).empty());
}

TEST(DrawGlyph, OneBitSheetReadsThroughItsPalette) {
  TBitmap builtIn = Sheet(156, 48, {{12 * 12 + 1, 2}});  // glyph 12, the last of the first row
  builtIn.SetPixelFormat(TPixelFormat::pf1bit);
  TGlyphSheets sheets{TColourImage::FromGraphic(builtIn), {}};
  EXPECT_EQ(InkOf(12, sheets), (Ink{{1, 2}}));
}

TEST(DrawGlyph, OnlyPureWhiteIsEmpty) {
  TBitmap user = Sheet(120, 12, {});
  user.SetPixelColor(0, 0, 0xFEFFFF);  // almost white
  user.SetPixelColor(1, 0, 0xC0C0C0);  // light grey
  user.SetPixelColor(2, 0, 0x0000FF);  // red
  user.SetPixelColor(3, 0, clWhite);
  TGlyphSheets sheets{{}, TColourImage::FromGraphic(user)};
  EXPECT_EQ(InkOf(52, sheets), (Ink{{0, 0}, {1, 0}, {2, 0}}));
}

TEST(DrawGlyph, UserCellsFromTheLeftAndWhiteOutsideTheSheet) {
  // 30x10 sheet: glyph 52 is cut at the bottom, 54 at the right (x 24..29), 55 lies outside.
  TBitmap user = Sheet(30, 10, {{0, 9}, {12 + 11, 0}, {24, 0}, {29, 9}});
  TGlyphSheets sheets{{}, TColourImage::FromGraphic(user)};
  EXPECT_EQ(InkOf(52, sheets), (Ink{{0, 9}}));
  EXPECT_EQ(InkOf(53, sheets), (Ink{{11, 0}}));
  EXPECT_EQ(InkOf(54, sheets), (Ink{{0, 0}, {5, 9}}));
  EXPECT_TRUE(InkOf(55, sheets).empty());
  EXPECT_TRUE(InkOf(61, sheets).empty());
  const TGlyphSheets none;
  EXPECT_TRUE(InkOf(52, none).empty());
  EXPECT_TRUE(InkOf(5, none).empty());
}

TEST(PickTransparentColour, PixelOfTheDisplayedPictureOrWhite) {
  const TBitmap skin = CoordinateSkin();
  EXPECT_EQ(PickTransparentColour(nullptr, 3, 4), clWhite);
  const TBitmap empty;
  EXPECT_EQ(PickTransparentColour(&empty, 0, 0), clWhite);
  EXPECT_EQ(PickTransparentColour(&skin, 0, 0), Src(0, 0));
  EXPECT_EQ(PickTransparentColour(&skin, 159, 79), Src(159, 79));
  EXPECT_EQ(PickTransparentColour(&skin, 16, 32), Src(16, 32));
  EXPECT_EQ(PickTransparentColour(&skin, 160, 0), clWhite);
  EXPECT_EQ(PickTransparentColour(&skin, -1, 5), clWhite);
  EXPECT_EQ(PickTransparentColour(&skin, 5, 80), clWhite);
}

TEST(PickTransparentColour, IndexedPictureGivesThePaletteColour) {
  TBitmap skin = Sheet(160, 80, {{7, 7}}, 0x0000FF);
  skin.SetPixelFormat(TPixelFormat::pf4bit);  // the VGA colours hold pure red and white
  EXPECT_EQ(PickTransparentColour(&skin, 7, 7), 0x0000FF);
  EXPECT_EQ(PickTransparentColour(&skin, 8, 7), clWhite);
}

}  // namespace
}  // namespace pw
