// Synthetic pictures for composer tests, whose pixels tell where they came from.
#pragma once

#include <utility>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/color.h"

namespace pw::testing {

// Colour of system-graphic pixel (x, y) in the coordinate skin: red x, green y, blue 0x80.
// No such colour is black or white, and every one is different.
constexpr TColor Src(int x, int y) { return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x80); }

// A 24-bit picture whose pixel (x, y) is colourOf(x, y).
template <class ColourOf>
TBitmap Picture(int width, int height, ColourOf colourOf) {
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.SetPixelColor(x, y, colourOf(x, y));
  return picture;
}

// A 160x80 system graphic whose every pixel is Src(x, y).
inline TBitmap CoordinateSkin(int width = 160, int height = 80) { return Picture(width, height, Src); }

// A white sheet of the given size with the listed pixels set to colour.
inline TBitmap Sheet(int width, int height, const std::vector<std::pair<int, int>>& ink, TColor colour = clBlack) {
  TBitmap sheet;
  sheet.SetPixelFormat(TPixelFormat::pf24bit);
  sheet.SetSize(width, height);
  sheet.Fill(clWhite);
  for (const auto& [x, y] : ink) sheet.SetPixelColor(x, y, colour);
  return sheet;
}

}  // namespace pw::testing
