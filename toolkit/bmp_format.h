// On-disk structures of Windows BMP files (all fields little-endian) with their readers and
// writers. Shared by the toolkit bitmap and the DIB image's stream codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/byte_reader.h"

namespace pw::bmp {

inline constexpr std::uint16_t kSignature = 0x4D42;  // "BM"

// biCompression values.
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiRle8 = 1;
inline constexpr std::uint32_t kBiRle4 = 2;
inline constexpr std::uint32_t kBiBitfields = 3;

#pragma pack(push, 1)
struct FileHeader {
  std::uint16_t bfType = kSignature;
  std::uint32_t bfSize = 0;
  std::uint16_t bfReserved1 = 0;
  std::uint16_t bfReserved2 = 0;
  std::uint32_t bfOffBits = 0;
};

struct InfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = kBiRgb;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};

// The older OS/2 form; its colour table has 3-byte entries.
struct CoreHeader {
  std::uint32_t bcSize = 12;
  std::uint16_t bcWidth = 0;
  std::uint16_t bcHeight = 0;
  std::uint16_t bcPlanes = 1;
  std::uint16_t bcBitCount = 0;
};

struct RgbQuad {
  std::uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  friend bool operator==(const RgbQuad&, const RgbQuad&) = default;
};
#pragma pack(pop)

static_assert(sizeof(FileHeader) == 14);
static_assert(sizeof(InfoHeader) == 40);
static_assert(sizeof(CoreHeader) == 12);
static_assert(sizeof(RgbQuad) == 4);

inline constexpr std::size_t kFileHeaderSize = sizeof(FileHeader);
inline constexpr std::size_t kInfoHeaderSize = sizeof(InfoHeader);
inline constexpr std::size_t kCoreHeaderSize = sizeof(CoreHeader);
inline constexpr std::size_t kMasksSize = 12;  // red, green, blue bit masks after a 40-byte header

inline FileHeader ReadFileHeader(ByteReader& in) {
  FileHeader h;
  h.bfType = in.U16LE();
  h.bfSize = in.U32LE();
  h.bfReserved1 = in.U16LE();
  h.bfReserved2 = in.U16LE();
  h.bfOffBits = in.U32LE();
  return h;
}

// The 40 bytes of an info header, biSize included.
inline InfoHeader ReadInfoHeader(ByteReader& in) {
  InfoHeader h;
  h.biSize = in.U32LE();
  h.biWidth = in.S32LE();
  h.biHeight = in.S32LE();
  h.biPlanes = in.U16LE();
  h.biBitCount = in.U16LE();
  h.biCompression = in.U32LE();
  h.biSizeImage = in.U32LE();
  h.biXPelsPerMeter = in.S32LE();
  h.biYPelsPerMeter = in.S32LE();
  h.biClrUsed = in.U32LE();
  h.biClrImportant = in.U32LE();
  return h;
}

inline CoreHeader ReadCoreHeader(ByteReader& in) {
  CoreHeader h;
  h.bcSize = in.U32LE();
  h.bcWidth = in.U16LE();
  h.bcHeight = in.U16LE();
  h.bcPlanes = in.U16LE();
  h.bcBitCount = in.U16LE();
  return h;
}

inline void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline void WriteFileHeader(std::vector<std::uint8_t>& out, const FileHeader& h) {
  PutU16(out, h.bfType);
  PutU32(out, h.bfSize);
  PutU16(out, h.bfReserved1);
  PutU16(out, h.bfReserved2);
  PutU32(out, h.bfOffBits);
}

inline void WriteInfoHeader(std::vector<std::uint8_t>& out, const InfoHeader& h) {
  PutU32(out, h.biSize);
  PutU32(out, static_cast<std::uint32_t>(h.biWidth));
  PutU32(out, static_cast<std::uint32_t>(h.biHeight));
  PutU16(out, h.biPlanes);
  PutU16(out, h.biBitCount);
  PutU32(out, h.biCompression);
  PutU32(out, h.biSizeImage);
  PutU32(out, static_cast<std::uint32_t>(h.biXPelsPerMeter));
  PutU32(out, static_cast<std::uint32_t>(h.biYPelsPerMeter));
  PutU32(out, h.biClrUsed);
  PutU32(out, h.biClrImportant);
}

inline void WriteRgbQuad(std::vector<std::uint8_t>& out, const RgbQuad& q) {
  out.push_back(q.rgbBlue);
  out.push_back(q.rgbGreen);
  out.push_back(q.rgbRed);
  out.push_back(q.rgbReserved);
}

}  // namespace pw::bmp
