// The picture size the BMP and DIB fuzz targets take. Their readers allocate and clear a whole
// picture however few pixel bytes follow its header, and every row costs a few calls on each
// pass (read, write, read back, compare), so an input that claims millions of pixels or a
// picture one pixel wide and 65536 rows high spends its run on memory, not on new paths. A
// target passes over inputs whose header claims more than kMaxPixels (256x256) or more than
// kMaxRows rows; the readers' own size limits are tested elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace pw::fuzz {

inline constexpr std::int64_t kMaxPixels = std::int64_t{1} << 16;
inline constexpr std::int64_t kMaxRows = 1024;

// True when the bitmap header that starts at data[at] (a 12-byte core header, or any longer
// one with 32-bit width and height) claims more than kMaxPixels pixels or kMaxRows rows.
inline bool ClaimsALargePicture(const std::uint8_t* data, std::size_t size, std::size_t at) {
  if (size < at + 12) return false;
  const auto u16 = [&](std::size_t offset) {
    return std::int64_t{data[at + offset]} | std::int64_t{data[at + offset + 1]} << 8;
  };
  const auto s32 = [&](std::size_t offset) {
    return static_cast<std::int64_t>(static_cast<std::int32_t>(u16(offset) | u16(offset + 2) << 16));
  };
  const bool core = s32(0) == 12;
  const std::int64_t width = core ? u16(4) : s32(4);
  const std::int64_t height = core ? u16(6) : s32(8);
  return std::abs(width) * std::abs(height) > kMaxPixels || std::abs(height) > kMaxRows;
}

}  // namespace pw::fuzz
