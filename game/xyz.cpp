#include "game/xyz.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "game/errors.h"
#include "toolkit/byte_reader.h"

namespace pw::game {
namespace {

constexpr std::uint8_t kSignature[] = {'X', 'Y', 'Z', '1'};
constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kPaletteBytes = 3 * 256;
// The inflated bytes grow by at most this much at a time, so a stream that stops early never
// leaves a large block behind.
constexpr std::size_t kInflateStep = 64 * 1024;

[[noreturn]] void Damaged(const std::string& name, const std::string& what) {
  throw EGameError(FormatMessage(game_msg::kXyzData, {name, what}));
}

// Inflates the zlib stream into exactly `expected` bytes.
std::vector<std::uint8_t> Inflate(std::span<const std::uint8_t> stream, std::size_t expected, const std::string& name) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EOutOfMemory();
  std::vector<std::uint8_t> out;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int status = Z_OK;
  while (status == Z_OK) {
    // One byte more than expected, so that surplus data is noticed.
    const std::size_t room = std::min(expected + 1 - out.size(), kInflateStep);
    if (room == 0) break;
    const std::size_t used = out.size();
    out.resize(used + room);
    z.next_out = out.data() + used;
    z.avail_out = static_cast<uInt>(room);
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(used + room - z.avail_out);
    if (status == Z_BUF_ERROR) break;  // no progress: the stream is cut short
  }
  inflateEnd(&z);
  if (status == Z_NEED_DICT || status == Z_DATA_ERROR || status == Z_MEM_ERROR || status == Z_STREAM_ERROR) {
    Damaged(name, game_msg::kXyzInflate);
  }
  if (out.size() > expected) Damaged(name, FormatMessage(game_msg::kXyzLong, {std::to_string(expected)}));
  if (out.size() < expected) Damaged(name, FormatMessage(game_msg::kXyzShort, {std::to_string(expected)}));
  return out;
}

}  // namespace

bool IsXyz(std::span<const std::uint8_t> data) {
  return data.size() >= sizeof kSignature && std::memcmp(data.data(), kSignature, sizeof kSignature) == 0;
}

TBitmap ReadXyz(std::span<const std::uint8_t> data, const std::string& name) {
  if (!IsXyz(data) || data.size() < kHeaderSize) throw EGameError(FormatMessage(game_msg::kXyzHeader, {name}));
  ByteReader reader(data);
  reader.Skip(sizeof kSignature);
  const int width = reader.U16LE();
  const int height = reader.U16LE();
  if (width == 0 || height == 0 || static_cast<std::int64_t>(width) * height > kMaxBitmapPixels) {
    throw EGameError(FormatMessage(game_msg::kXyzSize, {name, std::to_string(width), std::to_string(height)}));
  }
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  const std::vector<std::uint8_t> bytes = Inflate(reader.Bytes(reader.Remaining()), kPaletteBytes + pixels, name);

  TPaletteEntries palette(256);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i].peRed = bytes[3 * i];
    palette[i].peGreen = bytes[3 * i + 1];
    palette[i].peBlue = bytes[3 * i + 2];
  }
  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf8bit);
  picture.SetPalette(std::move(palette));
  picture.SetSize(width, height);
  const std::uint8_t* indices = bytes.data() + kPaletteBytes;
  for (int y = 0; y < height; ++y) {
    std::memcpy(picture.ScanLine(y), indices + static_cast<std::size_t>(y) * width, static_cast<std::size_t>(width));
  }
  return picture;
}

}  // namespace pw::game
