// The shared body of the RLE8 and RLE4 fuzz targets: the first two bytes give a picture of up
// to 256x64 pixels, the rest is RLE data. Decoding must succeed or fail with its error; what
// decodes must survive encode and decode unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dib/convert.h"

namespace pw::fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

inline void FuzzRle(int bits, const std::uint8_t* data, std::size_t size) {
  if (size < 2) return;
  const bool rle8 = bits == 8;
  TQvDIBInfos source;
  source.header.biWidth = data[0] + 1;
  source.header.biHeight = data[1] % 64 + 1;
  source.header.biBitCount = static_cast<std::uint16_t>(bits);
  source.header.biCompression = rle8 ? BI_RLE8 : BI_RLE4;
  // Exactly the data's size, so that a read past it shows under AddressSanitizer.
  source.memory = TQvPixelMemory::Get(size - 2, false);
  if (size > 2) std::memcpy(source.Bits(), data + 2, size - 2);

  const TQvConvertContext context;
  TQvDIBInfos plain;
  try {
    plain = rle8 ? Convert8BitRLETo8BitRGB(source, false, context) : Convert4BitRLETo4BitRGB(source, false, context);
  } catch (const EQvDIBInvalidDIB&) {
    return;
  }
  Check(plain.BitsSize() == plain.Stride() * static_cast<std::size_t>(plain.Height()));
  // The spare nibble after an odd RLE4 width may hold data; it is not a pixel.
  if (!rle8 && (plain.Width() & 1))
    for (int y = 0; y < plain.Height(); ++y) plain.Row(y)[plain.Width() / 2] &= 0xF0;
  TQvDIBInfos encoded;
  try {
    encoded = rle8 ? Convert8BitRGBTo8BitRLE(plain, false, context) : Convert4BitRGBTo4BitRLE(plain, false, context);
  } catch (const EQvDIBCompressionFailed&) {
    return;
  }
  const TQvDIBInfos back =
      rle8 ? Convert8BitRLETo8BitRGB(encoded, false, context) : Convert4BitRLETo4BitRGB(encoded, false, context);
  Check(back.BitsSize() == plain.BitsSize() && std::memcmp(back.Bits(), plain.Bits(), plain.BitsSize()) == 0);
}

}  // namespace pw::fuzz
