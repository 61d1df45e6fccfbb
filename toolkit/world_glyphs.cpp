#include "toolkit/world_glyphs.h"

#include <algorithm>

#include "toolkit/builtin_tables.h"

namespace pw::world {
namespace {

// The index of code in table, or -1.
long Find(const GlyphTable& table, char32_t code) {
  const char32_t* end = table.codes + table.count;
  const char32_t* found = std::lower_bound(table.codes, end, code);
  return found != end && *found == code ? found - table.codes : -1;
}

Glyph Unpack(const GlyphTable& table, long index) {
  Glyph glyph;
  glyph.advance = 12;
  const std::uint8_t* b = table.bits + index * kWideBytes;
  for (int y = 0; y < kGlyphCell; y += 2, b += 3) {
    glyph.rows[y] = static_cast<std::uint16_t>(b[0] | (b[1] & 0xF) << 8);
    glyph.rows[y + 1] = static_cast<std::uint16_t>(b[1] >> 4 | b[2] << 4);
  }
  return glyph;
}

// A hollow box in a full-width cell, standing on the baseline of the half-width glyphs.
Glyph MissingBox() {
  Glyph glyph;
  glyph.advance = 12;
  constexpr int kTop = 1;
  constexpr int kBottom = 9;
  for (int y = kTop; y <= kBottom; ++y) glyph.rows[y] = y == kTop || y == kBottom ? 0x7FE : 0x402;
  return glyph;
}

}  // namespace

Glyph FindGlyph(char32_t code) {
  const GlyphTable& narrow = tables::WorldNarrow();
  if (const long i = Find(narrow, code); i >= 0) {
    Glyph glyph;
    glyph.advance = 6;
    std::copy_n(narrow.bits + i * kNarrowBytes, kGlyphCell, glyph.rows.begin());
    return glyph;
  }
  if (const long i = Find(tables::WorldEfont(), code); i >= 0) return Unpack(tables::WorldEfont(), i);
  if (const long i = Find(tables::WorldWqy(), code); i >= 0) return Unpack(tables::WorldWqy(), i);
  return MissingBox();
}

}  // namespace pw::world
