// Assembles small PNG datastreams for the tests: chunks with real CRCs, scanlines packed from
// per-pixel bytes, plain or Adam7, compressed with zlib.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace pw::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutU32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_DEFAULT_COMPRESSION);
  out.resize(size);
  return out;
}

// One pixel as the bytes of its samples; for depths below 8 a single byte holding the value.
using Pixel = Bytes;

struct RawImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 8;  // of the PNG rows
  std::vector<Pixel> pixels;  // row by row
  const Pixel& At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Filter type 0 scanlines of the image, in Adam7 pass order when adam7 is set.
inline Bytes Scanlines(const RawImage& image, bool adam7, std::uint8_t filter = 0) {
  struct Pass { int x0, y0, dx, dy; };
  const std::vector<Pass> passes = adam7 ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                                             {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
                                         : std::vector<Pass>{{0, 0, 1, 1}};
  Bytes out;
  for (const Pass& p : passes) {
    for (int y = p.y0; y < image.height; y += p.dy) {
      if (p.x0 >= image.width) break;
      out.push_back(filter);
      int bitPos = 0;
      for (int x = p.x0; x < image.width; x += p.dx) {
        const Pixel& px = image.At(x, y);
        if (image.bitsPerPixel >= 8) {
          out.insert(out.end(), px.begin(), px.end());
          continue;
        }
        if (bitPos == 0) out.push_back(0);
        out.back() = static_cast<std::uint8_t>(out.back() | (px[0] << (8 - image.bitsPerPixel - bitPos)));
        bitPos = (bitPos + image.bitsPerPixel) % 8;
      }
    }
  }
  return out;
}

class PngBuilder {
 public:
  PngBuilder() { bytes_ = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}; }

  PngBuilder& Chunk(const std::string& type, const Bytes& data) {
    PutU32(bytes_, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = bytes_.size();
    bytes_.insert(bytes_.end(), type.begin(), type.end());
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    PutU32(bytes_, static_cast<std::uint32_t>(crc32(0, bytes_.data() + typeAt, static_cast<uInt>(4 + data.size()))));
    return *this;
  }
  PngBuilder& Ihdr(std::uint32_t width, std::uint32_t height, int depth, int colorType, int interlace = 0,
                   int compression = 0, int filter = 0) {
    Bytes d;
    PutU32(d, width);
    PutU32(d, height);
    for (int v : {depth, colorType, compression, filter, interlace}) d.push_back(static_cast<std::uint8_t>(v));
    return Chunk("IHDR", d);
  }
  PngBuilder& Plte(const std::vector<std::uint32_t>& rgb) {
    Bytes d;
    for (std::uint32_t c : rgb)
      for (int shift : {16, 8, 0}) d.push_back(static_cast<std::uint8_t>(c >> shift));
    return Chunk("PLTE", d);
  }
  PngBuilder& Idat(const Bytes& compressed) { return Chunk("IDAT", compressed); }
  // The compressed scanlines split over IDAT chunks of at most `piece` bytes.
  PngBuilder& IdatSplit(const Bytes& compressed, std::size_t piece) {
    for (std::size_t at = 0; at < compressed.size(); at += piece)
      Idat(Bytes(compressed.begin() + static_cast<std::ptrdiff_t>(at),
                 compressed.begin() + static_cast<std::ptrdiff_t>(std::min(compressed.size(), at + piece))));
    return *this;
  }
  PngBuilder& Text(const std::string& keyword, const std::string& text) {
    Bytes d(keyword.begin(), keyword.end());
    d.push_back(0);
    d.insert(d.end(), text.begin(), text.end());
    return Chunk("tEXt", d);
  }
  PngBuilder& Iend() { return Chunk("IEND", {}); }
  PngBuilder& Raw(const Bytes& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  const Bytes& Get() const { return bytes_; }

 private:
  Bytes bytes_;
};

// A whole file: IHDR, optional PLTE, one IDAT of the image, IEND.
inline Bytes MakePng(const RawImage& image, int depth, int colorType, bool adam7,
                     const std::vector<std::uint32_t>& palette = {}) {
  PngBuilder b;
  b.Ihdr(static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height), depth, colorType,
         adam7 ? 1 : 0);
  if (!palette.empty()) b.Plte(palette);
  b.Idat(Deflate(Scanlines(image, adam7)));
  b.Iend();
  return b.Get();
}

}  // namespace pw::test
