// The RLE encoders' core, open to the library's tests and benchmarks: the conversion routines
// (dib/convert.h) give it a work buffer of the plain pixel data's size. Also the decoding that
// drawing uses.
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

// The plain pixels of an RLE8 or RLE4 image as drawing and AssignTo hand them on: decoded
// like the toolkit's BMP reader decodes the same bytes, so data that ends before its
// end-of-bitmap code leaves the rest of the picture at index 0. A code that leaves the
// picture fails with the decoder's "Bad RLE Data" error.
TQvDIBInfos DecodeRleForDrawing(const TQvDIBInfos& source, bool useFMO);

}  // namespace pw
