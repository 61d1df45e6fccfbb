// The tables generated at build time (sjis_table.h, standin_glyphs.h, world_glyphs.h,
// code_page_tables.h) as the rest of toolkit/ reads them. The programs read the arrays compiled
// into them (builtin_tables.cpp); the web page carries them deflated, to keep its module small, and
// inflates each table the first time it is asked for (packed_tables.h). Internal to toolkit/.
#pragma once

#include <span>

#include "toolkit/code_page_tables.h"
#include "toolkit/sjis_table.h"
#include "toolkit/standin_glyphs.h"
#include "toolkit/world_glyphs.h"

namespace pw::tables {

// Code page 932: the code point of each single byte, of each trail byte after the lead byte of a
// slot (sjis::table::LeadSlot), and the encodings sorted by code point.
std::span<const char16_t, 256> SjisSingleByte();
std::span<const char16_t, 256> SjisPairs(int leadSlot);
std::span<const sjis::table::Encoding> SjisEncodings();

// The stand-in faces: half-width characters by byte, and the JIS X 0208 square of each face.
std::span<const standin::GlyphRows, 256> StandInHalfWidth();
std::span<const standin::GlyphRows, standin::kJisSide * standin::kJisSide> StandInGothic();
std::span<const standin::GlyphRows, standin::kJisSide * standin::kJisSide> StandInMincho();

// The glyphs beyond Shift-JIS.
const world::GlyphTable& WorldNarrow();
const world::GlyphTable& WorldEfont();
const world::GlyphTable& WorldWqy();

// The translated games' code pages.
std::span<const codepage::table::CodePage> CodePages();

}  // namespace pw::tables
