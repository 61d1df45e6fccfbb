// The stand-in faces for "RMG2000" and "RM2000" when they are not installed: the 12-pixel
// Shinonome bitmap fonts (6x12 half-width, 12x12 JIS X 0208 Gothic and Mincho) as a glyph table
// generated at build time from the installed font files by tools/make_standin_glyphs.cpp, so that
// the desktop and the web page draw them with the same pixels. Internal to toolkit/.
#pragma once

#include <array>
#include <cstdint>

#include "toolkit/glyph_bits.h"

namespace pw::standin {

using GlyphRows = std::array<std::uint16_t, kGlyphCell>;

// JIS X 0208 rows and columns 0x21..0x7E.
inline constexpr int kJisFirst = 0x21;
inline constexpr int kJisSide = 94;

// Single-byte characters by byte: ASCII at 0x00..0x7F, half-width katakana at 0xA1..0xDF.
extern const GlyphRows kHalfWidth[256];
extern const GlyphRows kGothic[kJisSide * kJisSide];
extern const GlyphRows kMincho[kJisSide * kJisSide];

// The JIS X 0208 code (row * 256 + column) of a double-byte Shift-JIS character; -1 when the
// trail byte is outside 0x40..0x7E, 0x80..0xFC. Rows above 0x7E (lead bytes 0xF0 and up) are
// returned as they are.
constexpr int ShiftJisToJis(std::uint8_t lead, std::uint8_t trail) {
  if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return -1;
  const int base = lead >= 0xE0 ? lead - 0xC1 : lead - 0x81;
  int row = base * 2 + 0x21;
  int column = 0;
  if (trail >= 0x9F) {
    ++row;
    column = trail - 0x7E;
  } else {
    column = trail - (trail >= 0x80 ? 0x20 : 0x1F);
  }
  return row << 8 | column;
}

// Index of a JIS X 0208 code in kGothic and kMincho, or -1 outside the 94x94 square.
constexpr int JisIndex(int jis) {
  const int row = (jis >> 8) - kJisFirst;
  const int column = (jis & 0xFF) - kJisFirst;
  if (jis < 0 || row < 0 || row >= kJisSide || column < 0 || column >= kJisSide) return -1;
  return row * kJisSide + column;
}

}  // namespace pw::standin
