// Small builders of BMP bytes and DIB blocks for the codec tests.
#pragma once

#include <cstdint>
#include <vector>

#include "dib/qvdib.h"
#include "toolkit/bmp_format.h"
#include "toolkit/stream.h"

namespace pw::test {

using Bytes = std::vector<std::uint8_t>;

// A BMP file with a 40-byte header: the file header's sizes follow the parts unless given.
struct BmpFile {
  bmp::InfoHeader info;
  Bytes table;   // masks and colour entries exactly as they are to be stored
  Bytes gap;     // bytes between the table and the pixel data
  Bytes pixels;  // pixel data as stored
  std::int64_t bfSize = -1;     // -1: the real length
  std::int64_t bfOffBits = -1;  // -1: right after the gap

  Bytes Build() const {
    Bytes out;
    const std::uint32_t off = static_cast<std::uint32_t>(14 + 40 + table.size() + gap.size());
    bmp::FileHeader file;
    file.bfOffBits = bfOffBits < 0 ? off : static_cast<std::uint32_t>(bfOffBits);
    file.bfSize = bfSize < 0 ? static_cast<std::uint32_t>(off + pixels.size()) : static_cast<std::uint32_t>(bfSize);
    bmp::WriteFileHeader(out, file);
    bmp::WriteInfoHeader(out, info);
    out.insert(out.end(), table.begin(), table.end());
    out.insert(out.end(), gap.begin(), gap.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

inline bmp::InfoHeader Info(int width, int height, int bits, std::uint32_t compression = 0, std::uint32_t clrUsed = 0) {
  bmp::InfoHeader h;
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = static_cast<std::uint16_t>(bits);
  h.biCompression = compression;
  h.biClrUsed = clrUsed;
  return h;
}

inline void PutU32(Bytes& out, std::uint32_t v) { bmp::PutU32(out, v); }
inline void PutU16(Bytes& out, std::uint16_t v) { bmp::PutU16(out, v); }

// n colour entries whose blue, green, red are i, i + 1, i + 2.
inline Bytes Ramp(int n) {
  Bytes t;
  for (int i = 0; i < n; ++i) {
    t.push_back(static_cast<std::uint8_t>(i));
    t.push_back(static_cast<std::uint8_t>(i + 1));
    t.push_back(static_cast<std::uint8_t>(i + 2));
    t.push_back(0);
  }
  return t;
}

inline void Load(TQvDIB& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

inline Bytes Save(TQvDIB& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

inline const TQvDIBInfos& Infos(const TQvDIB& image) { return image.Internal().DIBInfos; }

// A plain block of the given size, bit count and row order, filled by value(x, y) (picture
// coordinates, y = 0 at the top); padding stays 0.
template <typename F>
TQvDIBInfos MakeBlock(int width, int height, int bits, bool topDown, F value) {
  TQvDIBInfos d;
  d.header.biWidth = width;
  d.header.biHeight = topDown ? -height : height;
  d.header.biBitCount = static_cast<std::uint16_t>(bits);
  d.header.biClrUsed = bits == 8 ? 256 : 16;
  d.memory = TQvPixelMemory::Get(DIBStride(width, bits) * static_cast<std::size_t>(height), false);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = d.Row(y);
    for (int x = 0; x < width; ++x) {
      const auto v = static_cast<std::uint8_t>(value(x, y));
      if (bits == 8) {
        row[x] = v;
      } else {
        std::uint8_t& b = row[x / 2];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (v & 0x0F)) : static_cast<std::uint8_t>((b & 0x0F) | (v << 4));
      }
    }
  }
  return d;
}

// Pixel (x, y) of a plain 4- or 8-bit block, picture coordinates.
inline int IndexAt(const TQvDIBInfos& d, int x, int y) {
  const std::uint8_t* row = d.Row(y);
  if (d.header.biBitCount == 8) return row[x];
  return (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4;
}

}  // namespace pw::test
