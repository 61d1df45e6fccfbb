// One rasterised character of the 12x12 text cell. Internal to toolkit/.
#pragma once

#include <array>
#include <cstdint>

namespace pw {

inline constexpr int kGlyphCell = 12;

// Its advance in pixels and its ink: bit x of rows[y] is pixel (x, y).
struct Glyph {
  int advance = 0;
  std::array<std::uint16_t, kGlyphCell> rows{};
};

}  // namespace pw
