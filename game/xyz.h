// XYZ pictures, the games' own format: "XYZ1", width and height as 16-bit little-endian
// numbers, then one zlib stream holding a 256-colour palette (768 bytes, red, green, blue) and
// width x height palette indices, rows top first.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "toolkit/bitmap.h"

namespace pw::game {

// True when data starts with the XYZ signature.
bool IsXyz(std::span<const std::uint8_t> data);

// The picture as an 8-bit bitmap with its palette. Raises EGameError naming the file for a
// header that is not XYZ, a size that is 0 or larger than the readers build, a damaged zlib
// stream, or pixels that end early; the memory taken never exceeds what the stream inflates to.
TBitmap ReadXyz(std::span<const std::uint8_t> data, const std::string& name);

}  // namespace pw::game
