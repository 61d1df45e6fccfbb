// Row helpers of the narrowing conversions: checking a source block, making a result block,
// and moving colour-table indices between packed rows and one-byte-per-pixel rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "dib/qvdib.h"
#include "toolkit/packed_pixels.h"

namespace pw::rows {

// The source must be uncompressed, of the given bit count, and hold every row it claims.
inline void RequirePlain(const TQvDIBInfos& source, int bitCount, const char* message) {
  const TBitmapInfoHeader& h = source.header;
  if (h.biBitCount != bitCount || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN ||
      source.Bits() == nullptr)
    throw EQvDIBBadDIBType(message);
  if (source.memory.Size() / source.Stride() < static_cast<std::size_t>(source.Height()))
    throw EQvDIBBadDIBType(message);
}

// A block with the source's header and colour table, the given bit count, no compression and
// fresh zero-filled pixels; the row order of the source is kept.
inline TQvDIBInfos NewResult(const TQvDIBInfos& source, int bitCount, bool useFMO) {
  const std::size_t stride = DIBStride(source.Width(), bitCount);
  const std::size_t rows = static_cast<std::size_t>(source.Height());
  if (stride > UINT32_MAX / rows) throw EOutOfMemory();  // bits size is a 32-bit count
  TQvDIBInfos out = source.CloneLayout(stride * rows, useFMO);
  out.header.biBitCount = static_cast<std::uint16_t>(bitCount);
  out.header.biCompression = BI_RGB;
  out.header.biSizeImage = 0;
  return out;
}

// Row r in storage order (the first row in memory is 0).
inline const std::uint8_t* StorageRow(const TQvDIBInfos& infos, std::size_t stride, int r) {
  return infos.Bits() + stride * static_cast<std::size_t>(r);
}
inline std::uint8_t* StorageRow(TQvDIBInfos& infos, std::size_t stride, int r) {
  return infos.Bits() + stride * static_cast<std::size_t>(r);
}

// Unpacks a row of 1-, 4- or 8-bit indices into one byte per pixel (one loop per bit count,
// so that the packed-index read folds to its own case).
inline void UnpackIndices(const std::uint8_t* row, int width, int bitCount, std::uint8_t* indices) {
  switch (bitCount) {
    case 1:
      for (int x = 0; x < width; ++x) indices[x] = static_cast<std::uint8_t>(ReadPackedIndex(row, x, 1));
      break;
    case 4:
      for (int x = 0; x < width; ++x) indices[x] = static_cast<std::uint8_t>(ReadPackedIndex(row, x, 4));
      break;
    default:
      for (int x = 0; x < width; ++x) indices[x] = row[x];
      break;
  }
}

// Packs one byte per pixel into a row of 1, 4 or 8 bits: the first pixel in the most
// significant bits, spare bits at the end of the row 0 (the row must be zero-filled).
inline void PackIndices(const std::uint8_t* indices, int width, int bitCount, std::uint8_t* row) {
  switch (bitCount) {
    case 1:
      for (int x = 0; x < width; ++x) row[x >> 3] |= static_cast<std::uint8_t>((indices[x] & 1u) << (7 - (x & 7)));
      break;
    case 4:
      for (int x = 0; x < width; ++x)
        row[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? indices[x] & 0x0Fu : (indices[x] & 0x0Fu) << 4);
      break;
    default:
      for (int x = 0; x < width; ++x) row[x] = indices[x];
      break;
  }
}

// Copies a palette into the colour table (blue, green, red, 0) and sets biClrUsed.
template <class Entries>
void SetColorTable(TQvDIBInfos& out, const Entries& entries) {
  std::size_t i = 0;
  for (const TPaletteEntry& e : entries) out.colorTable[i++] = TRGBQuad{e.peBlue, e.peGreen, e.peRed, 0};
  out.header.biClrUsed = static_cast<std::uint32_t>(i);
}

// Runs a conversion, reporting exhausted memory for its working structures with the toolkit's
// out-of-memory error.
template <class Conversion>
TQvDIBInfos ReportingOutOfMemory(Conversion conversion) {
  try {
    return conversion();
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
}

}  // namespace pw::rows
