// The RLE encoders' core, open to the library's tests and benchmarks: the conversion routines
// (dib/convert.h) give it a work buffer of the plain pixel data's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "dib/qvdib.h"
#include "toolkit/rle.h"

namespace pw {

// Encodes the uncompressed 8-bit (kRle8) or 4-bit (kRle4) pixels of source, bottom row of the
// picture first, into out. Returns the encoded length, or nothing when a write would leave
// fewer than its safety margin of the capacity bytes free.
std::optional<std::size_t> EncodeRle(TRleFormat format, const TQvDIBInfos& source, std::uint8_t* out,
                                     std::size_t capacity);

}  // namespace pw
