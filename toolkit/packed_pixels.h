// Colour-table indices packed into rows of 1, 4 or 8 bits per pixel: the first pixel in the most
// significant bits (1 bit) or the high nibble (4 bits).
#pragma once

#include <cstdint>

namespace pw {

inline unsigned ReadPackedIndex(const std::uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : static_cast<unsigned>(row[x >> 1] >> 4);
    default: return row[x];
  }
}

// Writes value into pixel x; 1 bit sets the bit for any non-zero value, 4 bits keep the low
// nibble of value and the other nibble of the byte.
inline void WritePackedIndex(std::uint8_t* row, int x, int bits, unsigned value) {
  switch (bits) {
    case 1: {
      const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<std::uint8_t>(value != 0 ? row[x >> 3] | mask : row[x >> 3] & ~mask);
      break;
    }
    case 4: {
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F))
                  : static_cast<std::uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
      break;
    }
    default: row[x] = static_cast<std::uint8_t>(value);
  }
}

}  // namespace pw
