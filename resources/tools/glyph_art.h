#pragma once
// The glyph sheet's text form (resources/gaizi01.txt) and its packed 1-bit DIB. Used by the
// build tool pw_embed and by the tests; the program itself only sees the packed bytes.
//
// Text form: 52 blocks in glyph order. A block is a header line "# N name" followed by 12 rows
// of 12 characters, '#' for ink and '.' for paper. Lines starting with ';' are comments; empty
// lines are skipped. Ink must stay in the top-left 11x11 of the cell, and every glyph has ink.

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pw::resources {

inline constexpr int kGlyphCell = 12;      // pixels per cell side
inline constexpr int kGlyphInkArea = 11;   // ink stays within the cell's top-left 11x11
inline constexpr int kGlyphColumns = 13;
inline constexpr int kGlyphRows = 4;
inline constexpr int kGlyphCount = kGlyphColumns * kGlyphRows;
inline constexpr int kSheetWidth = kGlyphCell * kGlyphColumns;  // 156
inline constexpr int kSheetHeight = kGlyphCell * kGlyphRows;    // 48

// Packed DIB: info header, two colour table entries, rows of 20 bytes bottom-up.
inline constexpr std::size_t kDibInfoHeaderSize = 40;
inline constexpr std::size_t kDibRowBytes = ((kSheetWidth + 31) / 32) * 4;           // 20
inline constexpr std::size_t kDibImageSize = kDibRowBytes * kSheetHeight;            // 960
inline constexpr std::size_t kDibBitsOffset = kDibInfoHeaderSize + 2 * 4;            // 48
inline constexpr std::size_t kPackedSheetSize = kDibBitsOffset + kDibImageSize;      // 1008

enum class ArtFault {
  kBadHeader,
  kGlyphOutOfOrder,
  kRowBeforeHeader,
  kRowLength,
  kBadCharacter,
  kTooManyRows,
  kTooFewRows,
  kInkOutsideArea,
  kEmptyGlyph,
  kGlyphCount,
};

// Fixed texts of the faults above, one each.
std::string_view ArtFaultMessage(ArtFault fault);

// A fault in the art text, with the 1-based line it was found on (0 when it concerns the end).
class ArtError : public std::runtime_error {
 public:
  ArtError(ArtFault fault, int line);
  ArtFault fault() const { return fault_; }
  int line() const { return line_; }

 private:
  ArtFault fault_;
  int line_;
};

// Ink of the whole sheet, row y (top-down) and column x.
struct GlyphSheet {
  std::array<std::bitset<kSheetWidth>, kSheetHeight> ink{};
  std::array<std::string, kGlyphCount> names{};
};

GlyphSheet ParseGlyphArt(std::string_view text);  // throws ArtError

// The sheet as a DIB without file header: ink is colour 0 (black), paper colour 1 (white); the
// four bits past x = 155 in every row are paper. Rows are exactly 20 bytes, so no pad bytes.
std::vector<std::uint8_t> PackGlyphSheet(const GlyphSheet& sheet);

}  // namespace pw::resources
