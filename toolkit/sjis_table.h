// Code page 932 conversion tables, generated at build time from the build machine's iconv by
// tools/make_sjis_table.cpp, so that every build (desktop, command line, web page) converts
// Shift-JIS text the same way. Internal to toolkit/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pw::sjis::table {

// Marks a byte or byte pair that is not a character.
inline constexpr char16_t kNone = 0xFFFF;

// Lead bytes 0x81..0x9F and 0xE0..0xFC, numbered 0..59 for kDoubleByte; -1 for other bytes.
constexpr int LeadSlot(std::uint8_t lead) {
  if (lead >= 0x81 && lead <= 0x9F) return lead - 0x81;
  if (lead >= 0xE0 && lead <= 0xFC) return lead - 0xE0 + 31;
  return -1;
}
inline constexpr int kLeadSlots = 60;

// The code point of each single byte that is a character of its own.
extern const char16_t kSingleByte[256];
// The code point of each lead-byte slot and trail byte.
extern const char16_t kDoubleByte[kLeadSlots][256];

// Unicode to code page 932, sorted by code point: one or two bytes (lead * 256 + trail).
struct Encoding {
  char16_t codePoint;
  std::uint16_t bytes;
};
extern const Encoding kEncodings[];
extern const std::size_t kEncodingCount;

}  // namespace pw::sjis::table
