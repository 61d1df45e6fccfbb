// The web page's built-in tables (builtin_tables.h): deflated at build time by
// tools/pack_tables.cpp with libdeflate, and each inflated the first time it is asked for, then
// kept for the whole run. Internal to toolkit/.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pw::tables {

static_assert(std::endian::native == std::endian::little, "the deflated tables hold little-endian elements");

// How the build turned a table's bytes before deflating them, whichever deflated smallest: as
// they are, or every 16-bit or 32-bit element replaced by its difference from the one before it
// (modulo 2^16 or 2^32), which makes sorted codes and runs of consecutive code points runs of
// small numbers. Elements are in the byte order of the machines that build and run Panelwright,
// which is little-endian.
enum class TTableFilter : std::uint8_t { kNone, kDelta16, kDelta32 };

// A table as the build deflated it: its raw deflate stream and the bytes it inflates to.
struct TDeflatedTable {
  const std::uint8_t* deflated;
  std::size_t deflatedSize;
  std::size_t size;
  TTableFilter filter;
};

// Inflates table into out and undoes its filter. Throws EInternalError unless the stream is whole
// and inflates to exactly out's size, which must be table.size.
void InflateInto(const TDeflatedTable& table, std::span<std::byte> out);

struct TDeflatedGlyphTable {
  TDeflatedTable codes;
  TDeflatedTable bits;
  std::size_t count;
};

struct TDeflatedCodePage {
  const char* name;
  const char* iconvName;
  TDeflatedTable single;
  TDeflatedTable pairs;  // size 0 for single-byte pages
};

// Written by tools/pack_tables.cpp into the build folder.
namespace packed {
extern const TDeflatedTable kSjisSingleByte;
extern const TDeflatedTable kSjisDoubleByte;
extern const TDeflatedTable kSjisEncodings;
extern const TDeflatedTable kStandInHalfWidth;
extern const TDeflatedTable kStandInGothic;
// The Mincho face's rows XOR the Gothic face's: the two share most of their glyphs.
extern const TDeflatedTable kStandInMincho;
extern const TDeflatedGlyphTable kWorldNarrow;
extern const TDeflatedGlyphTable kWorldEfont;
extern const TDeflatedGlyphTable kWorldWqy;
extern const TDeflatedCodePage kCodePages[];
extern const std::size_t kCodePageCount;
}  // namespace packed

}  // namespace pw::tables
