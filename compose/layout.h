// The fixed layout of the system graphic (160x80 skin) and of the glyph sheets: where wallpaper,
// frame pieces, shadow colour and text-colour swatches lie, how a text colour is sampled, how a
// glyph cell is overlaid, and how the transparent colour is picked.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/color.h"
#include "toolkit/font.h"
#include "toolkit/graphic.h"

namespace pw {

// A rectangle of the system graphic.
struct TSkinRegion {
  int x, y, width, height;
};

namespace skin {
inline constexpr int kWidth = 160;
inline constexpr int kHeight = 80;

inline constexpr TSkinRegion kWallpaper{0, 0, 32, 32};
inline constexpr TSkinRegion kTopLeftCorner{32, 0, 8, 8};
inline constexpr TSkinRegion kTopEdge{40, 0, 16, 8};
inline constexpr TSkinRegion kTopRightCorner{56, 0, 8, 8};
inline constexpr TSkinRegion kLeftEdge{32, 8, 8, 16};
inline constexpr TSkinRegion kRightEdge{56, 8, 8, 16};
inline constexpr TSkinRegion kBottomLeftCorner{32, 24, 8, 8};
inline constexpr TSkinRegion kBottomEdge{40, 24, 16, 8};
inline constexpr TSkinRegion kBottomRightCorner{56, 24, 8, 8};
inline constexpr int kShadowX = 16;
inline constexpr int kShadowY = 32;

// Twenty 16x16 text-colour swatches in two rows of ten from (0, 48); a character cell samples
// columns 2..13 and rows 4..15 of its swatch.
inline constexpr int kColours = 20;
inline constexpr int kSwatchTop = 48;
inline constexpr int kSwatchSize = 16;
inline constexpr int kSwatchesPerRow = 10;
inline constexpr int kSampleOffsetX = 2;
inline constexpr int kSampleOffsetY = 4;
// The swatch of colour n.
constexpr TSkinRegion Swatch(int n) {
  return {kSwatchSize * (n % kSwatchesPerRow), kSwatchTop + kSwatchSize * (n / kSwatchesPerRow), kSwatchSize,
          kSwatchSize};
}
}  // namespace skin

namespace glyphs {
inline constexpr int kCell = 12;
// Built-in sheet: 13 columns by 4 rows of cells, glyph numbers 0..51.
inline constexpr int kBuiltInColumns = 13;
inline constexpr int kBuiltInCount = 52;
inline constexpr int kBuiltInWidth = 156;
inline constexpr int kBuiltInHeight = 48;
// User sheet: one row of cells from the left edge, glyph numbers 52..61.
inline constexpr int kFirstUser = 52;
inline constexpr int kLastUser = 61;
}  // namespace glyphs

// A picture's pixels as colour values (0x00BBGGRR), read once through a 24-bit DIB image.
class TColourImage {
 public:
  TColourImage() = default;
  // Converts any graphic to 24 bits per pixel; an empty graphic gives an empty image.
  static TColourImage FromGraphic(const TGraphic& picture);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // The pixel at (x, y), which must lie inside.
  TColor At(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

 private:
  // Fills the pixels from rows of blue, green, red bytes.
  void ReadBgrRows(const std::function<const std::uint8_t*(int)>& rowOf);

  int width_ = 0;
  int height_ = 0;
  std::vector<TColor> pixels_;
};

// Colour of text colour n (0..19) at pixel (x, y) of the 12x12 character cell: the system
// graphic's pixel (16 (n mod 10) + 2 + x, 48 + 16 (n div 10) + 4 + y).
inline TColor SampleTextColour(const TColourImage& skin, int colour, int x, int y) {
  const TSkinRegion swatch = skin::Swatch(colour);
  return skin.At(swatch.x + skin::kSampleOffsetX + x, swatch.y + skin::kSampleOffsetY + y);
}

// The two glyph sheets; the user sheet may be empty.
struct TGlyphSheets {
  TColourImage builtIn;
  TColourImage user;
};

// Overlays glyph n (0..61) on the cell: every ink pixel of the glyph's 12x12 sheet cell turns the
// cell's pixel black; white sheet pixels leave it. Only exactly white (0xFFFFFF) is empty, and
// a pixel outside its sheet counts as white.
void DrawGlyph(int glyph, TCharCell& cell, const TGlyphSheets& sheets);

// The colour a click at (x, y) on the displayed system graphic picks: that pixel's colour, or
// white when nothing is displayed or the position lies outside the picture.
TColor PickTransparentColour(const TBitmap* displayed, int x, int y);

}  // namespace pw
