// Decoding tables of the code pages that translated games store their text in, generated at build
// time from the build machine's iconv by tools/make_code_page_tables.cpp, so that the web page
// decodes as the programs' iconv does. Internal to toolkit/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pw::codepage::table {

// Marks a byte or byte pair that is not a character.
inline constexpr char16_t kNone = 0xFFFF;
// Lead bytes of the double-byte code pages lie in 0x81..0xFE.
inline constexpr int kFirstLead = 0x81;
inline constexpr int kLeads = 126;

struct CodePage {
  const char* name;         // "cp1252"
  const char* iconvName;    // "CP1252"
  const char16_t* single;   // 256 code points by byte
  const char16_t* pairs;    // kLeads x 256 code points by lead and trail; null for single-byte pages
};

extern const CodePage kCodePages[];
extern const std::size_t kCodePageCount;

}  // namespace pw::codepage::table
