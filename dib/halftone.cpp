// Halftone conversions: the fixed 215-colour halftone palette or black and white, with the
// error of every pixel diffused to its neighbours along a serpentine scan (even storage rows
// left to right, odd rows right to left).
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "dib/convert.h"
#include "dib/index_rows.h"
#include "dib/messages.h"

namespace pw {

namespace {

// The colour of every pixel of a storage row, as red, green, blue.
using TRowColors = std::vector<std::array<int, 3>>;

void ReadRowColors(const TQvDIBInfos& source, const std::uint8_t* row, std::vector<std::uint8_t>& indices,
                   TRowColors& colors) {
  const int width = source.Width();
  const int bitCount = source.header.biBitCount;
  if (bitCount == 24) {
    for (int x = 0; x < width; ++x, row += 3) colors[static_cast<std::size_t>(x)] = {row[2], row[1], row[0]};
    return;
  }
  rows::UnpackIndices(row, width, bitCount, indices.data());
  for (int x = 0; x < width; ++x) {
    const TRGBQuad& c = source.colorTable[indices[static_cast<std::size_t>(x)]];
    colors[static_cast<std::size_t>(x)] = {c.rgbRed, c.rgbGreen, c.rgbBlue};
  }
}

// Any uncompressed source of 1, 4, 8 or 24 bits.
void RequireHalftoneSource(const TQvDIBInfos& source, const char* message) {
  const int bitCount = source.header.biBitCount;
  rows::RequirePlain(source, bitCount == 1 || bitCount == 4 || bitCount == 8 ? bitCount : 24, message);
}

// Error of one pixel per channel, red, green, blue.
using TError = std::array<std::int16_t, 3>;

// Diffuses along the serpentine scan. Decide(value', error) picks the output index of one
// pixel from its three corrected channel values and stores the error it leaves behind.
template <class Decide>
void Diffuse(const TQvDIBInfos& source, TQvDIBInfos& out, int outBits, Decide decide) {
  const int width = source.Width();
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  std::vector<std::uint8_t> result(static_cast<std::size_t>(width));
  TRowColors colors(static_cast<std::size_t>(width));
  // Column x is entry x + 1; entries 0 and width + 1 stay 0, so the neighbours before the
  // start of a row (in either direction) carry no error.
  std::vector<TError> above(static_cast<std::size_t>(width) + 2, TError{});
  std::vector<TError> current(static_cast<std::size_t>(width) + 2, TError{});

  for (int r = 0; r < source.Height(); ++r) {
    ReadRowColors(source, rows::StorageRow(source, srcStride, r), indices, colors);
    const int step = (r % 2 == 0) ? 1 : -1;
    int x = step > 0 ? 0 : width - 1;
    for (int n = 0; n < width; ++n, x += step) {
      const std::size_t at = static_cast<std::size_t>(x + 1);
      const std::size_t from = static_cast<std::size_t>(x + 1 - step);
      std::array<int, 3> value{};
      for (std::size_t c = 0; c < 3; ++c) {
        const int e = 12 * above[at][c] + 12 * current[from][c] + 5 * above[from][c];
        value[c] = colors[static_cast<std::size_t>(x)][c] - e / 32;  // truncates toward zero
      }
      result[static_cast<std::size_t>(x)] = decide(value, current[at]);
    }
    rows::PackIndices(result.data(), width, outBits, rows::StorageRow(out, dstStride, r));
    std::swap(above, current);
  }
}

// Level index of a channel value: the first level whose upper bound is >= value.
template <std::size_t N>
int LevelOf(int value, const std::array<int, N>& upperBounds) {
  int level = 0;
  while (level < static_cast<int>(N) && value > upperBounds[static_cast<std::size_t>(level)]) ++level;
  return level;
}

// Upper bounds of every level but the last.
constexpr std::array<int, 5> kRedBounds = {25, 76, 127, 178, 230};
constexpr std::array<int, 6> kGreenBounds = {21, 63, 106, 149, 192, 233};
constexpr std::array<int, 4> kBlueBounds = {31, 95, 159, 223};

std::uint8_t DecideHalftone(const std::array<int, 3>& value, TError& error) {
  const int r = LevelOf(value[0], kRedBounds);
  const int g = LevelOf(value[1], kGreenBounds);
  const int b = LevelOf(value[2], kBlueBounds);
  error = {static_cast<std::int16_t>(kHalftoneRed[static_cast<std::size_t>(r)] - value[0]),
           static_cast<std::int16_t>(kHalftoneGreen[static_cast<std::size_t>(g)] - value[1]),
           static_cast<std::int16_t>(kHalftoneBlue[static_cast<std::size_t>(b)] - value[2])};
  return static_cast<std::uint8_t>(r * 35 + g * 5 + b);
}

std::uint8_t DecideBlackWhite(const std::array<int, 3>& value, TError& error) {
  const bool white = value[0] + value[1] + value[2] >= 384;
  const int level = white ? 255 : 0;
  for (std::size_t c = 0; c < 3; ++c) error[c] = static_cast<std::int16_t>(level - value[c]);
  return white ? 1 : 0;
}

// A result of outBits with the given palette, its pixels diffused from source.
template <class Decide>
TQvDIBInfos HalftoneResult(const TQvDIBInfos& source, bool useFMO, const char* message, int outBits,
                           const TQvLogPalette& palette, Decide decide) {
  RequireHalftoneSource(source, message);
  return rows::ReportingOutOfMemory([&] {
    TQvDIBInfos out = rows::NewResult(source, outBits, useFMO);
    rows::SetColorTable(out, palette.entries);
    Diffuse(source, out, outBits, decide);
    return out;
  });
}

}  // namespace

TQvDIBInfos ConvertToHalfTone(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return HalftoneResult(source, useFMO, qvmsg::kHalftoneBad, 8, HalftonePalette(), DecideHalftone);
}

TQvDIBInfos ConvertToHalfToneBW(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return HalftoneResult(source, useFMO, qvmsg::kHalftoneBWBad, 1, BlackWhitePalette(), DecideBlackWhite);
}

}  // namespace pw
