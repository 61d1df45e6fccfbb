// Glyphs of the characters the Shift-JIS stand-in tables do not cover: a 6x12 half-width table
// and two 12x12 full-width tables (see toolkit/CMakeLists.txt for the fonts), generated at build
// time by tools/make_world_glyphs.cpp so that the programs and the web page draw the same pixels.
// The half-width table draws Latin, Greek and Cyrillic letters at the heights of the built-in
// half-width letters (see tools/fitted_letters.h).
// Each table is sorted by code point. Internal to toolkit/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/glyph_bits.h"

namespace pw::world {

// Bytes per glyph: one row a byte (6 bits) for half-width, two 12-bit rows in three bytes for
// full-width.
inline constexpr int kNarrowBytes = 12;
inline constexpr int kWideBytes = 18;

struct GlyphTable {
  const char32_t* codes;
  const std::uint8_t* bits;
  std::size_t count;
};

// Half-width: the letters at the built-in heights, and the 6x12 ISO 10646 font's other glyphs.
extern const GlyphTable kNarrow;
// The 12-pixel efont and WenQuanYi bitmap fonts, drawn full-width, searched in this order.
extern const GlyphTable kEfont;
extern const GlyphTable kWqy;

// The glyph of a code point: half-width from the narrow table, else full-width from efont, else
// from WenQuanYi, else a hollow full-width box.
Glyph FindGlyph(char32_t code);

// True for the Latin, Greek and Cyrillic letters and the punctuation of those scripts, which
// international letters draw half-width even when Shift-JIS has a full-width form of them.
constexpr bool IsInternationalLetter(char32_t c) {
  return (c >= 0xA0 && c <= 0x24F) || (c >= 0x370 && c <= 0x3FF) || (c >= 0x400 && c <= 0x52F) ||
         (c >= 0x1E00 && c <= 0x1EFF) || (c >= 0x2010 && c <= 0x2027) || (c >= 0x2030 && c <= 0x203A) ||
         c == 0x20AC;
}

}  // namespace pw::world
