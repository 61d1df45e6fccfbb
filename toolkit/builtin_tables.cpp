#include "toolkit/builtin_tables.h"

namespace pw::tables {

std::span<const char16_t, 256> SjisSingleByte() { return sjis::table::kSingleByte; }
std::span<const char16_t, 256> SjisPairs(int leadSlot) { return sjis::table::kDoubleByte[leadSlot]; }
std::span<const sjis::table::Encoding> SjisEncodings() {
  return {sjis::table::kEncodings, sjis::table::kEncodingCount};
}

std::span<const standin::GlyphRows, 256> StandInHalfWidth() { return standin::kHalfWidth; }
std::span<const standin::GlyphRows, standin::kJisSide * standin::kJisSide> StandInGothic() { return standin::kGothic; }
std::span<const standin::GlyphRows, standin::kJisSide * standin::kJisSide> StandInMincho() { return standin::kMincho; }

const world::GlyphTable& WorldNarrow() { return world::kNarrow; }
const world::GlyphTable& WorldEfont() { return world::kEfont; }
const world::GlyphTable& WorldWqy() { return world::kWqy; }

std::span<const codepage::table::CodePage> CodePages() {
  return {codepage::table::kCodePages, codepage::table::kCodePageCount};
}

}  // namespace pw::tables
