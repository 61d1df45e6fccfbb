// RLE8 and RLE4: the decoding and encoding steps of the pixel-format setter.
#include "dib/rle_codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "dib/convert.h"
#include "dib/messages.h"
#include "toolkit/large_buffer.h"
#include "toolkit/uninitialised.h"

namespace pw {

namespace {

// The fixed texts of one decoder: wrong source, data that ends before its end-of-bitmap code,
// then "Bad RLE Data" for end of line, delta, absolute run and encoded run.
struct DecoderTexts {
  const char* badSource;
  const char* dataEnded;
  const char* badData[4];
};

constexpr DecoderTexts kRle8Texts{qvmsg::kRle8DecodeBad,
                                  qvmsg::kRle8DataEnded,
                                  {qvmsg::kBadRleData1, qvmsg::kBadRleData2, qvmsg::kBadRleData3, qvmsg::kBadRleData4}};
constexpr DecoderTexts kRle4Texts{qvmsg::kRle4DecodeBad,
                                  qvmsg::kRle4DataEnded,
                                  {qvmsg::kBadRleData5, qvmsg::kBadRleData6, qvmsg::kBadRleData7, qvmsg::kBadRleData8}};

// What decoding makes of data that ends before its end-of-bitmap code.
enum class TEarlyEnd {
  kFails,         // the pixel-format setter: the pixels the data would have described are unknown
  kLeavesZeros,   // drawing: the rest of the picture stays at index 0, as the BMP reader reads it
};

int BitCountOf(TRleFormat format) { return format == TRleFormat::kRle8 ? 8 : 4; }
std::uint32_t CompressionOf(TRleFormat format) { return format == TRleFormat::kRle8 ? BI_RLE8 : BI_RLE4; }

// Zero-filled plain pixel memory for an image of the source's size and bit count.
TQvDIBInfos PlainLayout(const TQvDIBInfos& source, bool useFMO) {
  const std::uint64_t size = static_cast<std::uint64_t>(source.Stride()) * static_cast<std::uint64_t>(source.Height());
  if (size > UINT32_MAX) throw EOutOfMemory();
  TQvDIBInfos result = source.CloneLayout(static_cast<std::size_t>(size), useFMO);
  result.header.biCompression = BI_RGB;
  result.header.biSizeImage = 0;
  return result;
}

TQvDIBInfos DecodeRleBlock(TRleFormat format, const TQvDIBInfos& source, bool useFMO, const DecoderTexts& texts,
                           TEarlyEnd earlyEnd) {
  const TBitmapInfoHeader& h = source.header;
  if (h.biBitCount != BitCountOf(format) || h.biCompression != CompressionOf(format))
    throw EQvDIBBadDIBType(texts.badSource);
  TQvDIBInfos result = PlainLayout(source, useFMO);
  // Rows are taken in storage order: row 0 of the stream is the first row in memory.
  const TRleTarget target{result.Bits(), static_cast<std::ptrdiff_t>(result.Stride()), result.Width(),
                          result.Height()};
  const std::span<const std::uint8_t> input(source.Bits(), source.BitsSize());
  const TRleResult outcome = DecodeRle(format, input, target);
  if (outcome == TRleResult::kEndOfBitmap) return result;
  if (outcome == TRleResult::kDataEnded) {
    if (earlyEnd == TEarlyEnd::kLeavesZeros) return result;
    throw EQvDIBInvalidDIB(texts.dataEnded);
  }
  throw EQvDIBInvalidDIB(texts.badData[(BadRleDataNumber(format, outcome) - 1) % 4]);
}

// How many of the first max bytes at p equal v (word by word where possible).
std::size_t SameBytes(const std::uint8_t* p, std::size_t max, std::uint8_t v) {
  const std::uint64_t pattern = 0x0101010101010101ull * v;
  std::size_t n = 0;
  for (; n + 8 <= max; n += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + n, 8);
    if (word != pattern) break;
  }
  while (n < max && p[n] == v) ++n;
  return n;
}

// The per-row state machine of the encoders. Pending bytes are always a stretch of the row
// (row[start], count bytes), so nothing is copied until it is written.
class RleEncoder {
 public:
  RleEncoder(TRleFormat format, int width, std::uint8_t* out, std::size_t capacity)
      : rle4_(format == TRleFormat::kRle4), limit_(rle4_ ? 127 : 255), width_(width), out_(out), capacity_(capacity) {}

  bool EncodeRow(const std::uint8_t* row, std::size_t bytes);
  bool EndOfBitmap() { return Room(2) && Put(0, 1); }
  std::size_t Length() const { return used_; }

 private:
  enum class State { kStart, kSingle, kRun, kLiteral };

  // Space a write may need: the data itself plus room for what must follow it.
  static constexpr std::size_t kRunNeed = 6;
  static constexpr std::size_t kEndOfLineNeed = 4;
  static std::size_t LiteralNeed(std::size_t n) { return ((n + 1) & ~std::size_t{1}) + 6; }

  bool Room(std::size_t need) const { return capacity_ - used_ >= need; }
  bool Put(std::uint8_t a, std::uint8_t b) {
    out_[used_++] = a;
    out_[used_++] = b;
    return true;
  }

  // RLE8 counts pixels as bytes; RLE4 counts two pixels per byte, cut at the row's end.
  std::uint8_t PixelCount(std::size_t start, std::size_t count) const {
    if (!rle4_) return static_cast<std::uint8_t>(count);
    const std::size_t left = static_cast<std::size_t>(width_) - 2 * start;
    return static_cast<std::uint8_t>(std::min(2 * count, left));
  }

  bool EmitRun(std::size_t start, std::size_t count) {
    if (!Room(kRunNeed)) return false;
    return Put(PixelCount(start, count), row_[start]);
  }

  bool EmitLiteral(std::size_t start, std::size_t count) {
    if (!Room(LiteralNeed(count))) return false;
    const std::size_t asRuns = rle4_ ? 1 : 2;
    if (count <= asRuns) {
      for (std::size_t i = 0; i < count; ++i) Put(PixelCount(start + i, 1), row_[start + i]);
      return true;
    }
    Put(0, PixelCount(start, count));
    std::memcpy(out_ + used_, row_ + start, count);
    used_ += count;
    if (count & 1) out_[used_++] = 0;
    return true;
  }

  bool EmitPending(State state, std::size_t start, std::size_t count) {
    switch (state) {
      case State::kStart: return true;
      case State::kSingle:
      case State::kRun: return EmitRun(start, count);
      case State::kLiteral: return EmitLiteral(start, count);
    }
    return true;
  }

  bool rle4_;
  std::size_t limit_;  // longest run or literal, in bytes
  int width_;
  std::uint8_t* out_;
  std::size_t capacity_;
  std::size_t used_ = 0;
  const std::uint8_t* row_ = nullptr;
};

bool RleEncoder::EncodeRow(const std::uint8_t* row, std::size_t bytes) {
  row_ = row;
  State state = State::kStart;
  std::size_t start = 0;
  std::size_t count = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint8_t b = row[i];
    if (state == State::kRun && b == row[start] && count < limit_) {
      // Flat areas: take every further equal byte the run may hold in one step.
      const std::size_t more = SameBytes(row + i, std::min(bytes - i, limit_ - count), b);
      count += more;
      i += more - 1;
      continue;
    }
    if (state == State::kLiteral && b != row[i - 1] && count < limit_) {
      // Noise: take every further byte unlike the one before it that the literal may hold.
      const std::size_t stop = std::min(bytes, start + limit_);
      std::size_t next = i + 1;
      while (next < stop && row[next] != row[next - 1]) ++next;
      count = next - start;
      i = next - 1;
      continue;
    }
    switch (state) {
      case State::kStart:
        start = i;
        count = 1;
        state = State::kSingle;
        break;
      case State::kSingle:
        count = 2;
        state = b == row[start] ? State::kRun : State::kLiteral;
        break;
      case State::kRun:
        // Equal bytes the run could hold were taken above: this byte ends the run.
        if (!EmitRun(start, count)) return false;
        start = i;
        count = 1;
        state = State::kSingle;
        break;
      case State::kLiteral: {
        const std::uint8_t last = row[start + count - 1];
        if (b != last && count < limit_) {
          ++count;
        } else if (b == last) {
          // The literal's last byte starts a run instead.
          if (!EmitLiteral(start, count - 1)) return false;
          start += count - 1;
          count = 2;
          state = State::kRun;
        } else {
          if (!EmitLiteral(start, count)) return false;
          start = i;
          count = 1;
          state = State::kSingle;
        }
        break;
      }
    }
  }
  if (!EmitPending(state, start, count)) return false;
  return Room(kEndOfLineNeed) && Put(0, 0);
}

TQvDIBInfos EncodeRleBlock(TRleFormat format, const TQvDIBInfos& source, bool useFMO, const char* badSource,
                           const char* failed) {
  const TBitmapInfoHeader& h = source.header;
  if (h.biBitCount != BitCountOf(format) || h.biCompression != BI_RGB) throw EQvDIBBadDIBType(badSource);
  const std::size_t plainSize = source.Stride() * static_cast<std::size_t>(source.Height());
  // Only the bytes the encoder writes are read back.
  UninitialisedBytes work;
  try {
    ReserveLarge(work, plainSize);
    work.resize(plainSize);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
  const auto length = EncodeRle(format, source, work.data(), work.size());
  if (!length) throw EQvDIBCompressionFailed(failed);

  TQvDIBInfos result = source.CloneLayout(*length, useFMO);
  std::memcpy(result.Bits(), work.data(), *length);
  result.header.biHeight = source.Height();
  result.header.biCompression = CompressionOf(format);
  result.header.biSizeImage = static_cast<std::uint32_t>(*length);
  return result;
}

}  // namespace

std::optional<std::size_t> EncodeRle(TRleFormat format, const TQvDIBInfos& source, std::uint8_t* out,
                                     std::size_t capacity) {
  const int width = source.Width();
  const std::size_t rowBytes = format == TRleFormat::kRle8 ? static_cast<std::size_t>(width)
                                                           : (static_cast<std::size_t>(width) + 1) / 2;
  RleEncoder encoder(format, width, out, capacity);
  // Row() addresses picture rows from the top, so the bottom row comes first whatever the
  // row order of the source.
  for (int y = source.Height() - 1; y >= 0; --y)
    if (!encoder.EncodeRow(source.Row(y), rowBytes)) return std::nullopt;
  if (!encoder.EndOfBitmap()) return std::nullopt;
  return encoder.Length();
}

TQvDIBInfos Convert8BitRLETo8BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return DecodeRleBlock(TRleFormat::kRle8, source, useFMO, kRle8Texts, TEarlyEnd::kFails);
}

TQvDIBInfos Convert4BitRLETo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return DecodeRleBlock(TRleFormat::kRle4, source, useFMO, kRle4Texts, TEarlyEnd::kFails);
}

TQvDIBInfos DecodeRleForDrawing(const TQvDIBInfos& source, bool useFMO) {
  if (source.header.biCompression == BI_RLE4)
    return DecodeRleBlock(TRleFormat::kRle4, source, useFMO, kRle4Texts, TEarlyEnd::kLeavesZeros);
  return DecodeRleBlock(TRleFormat::kRle8, source, useFMO, kRle8Texts, TEarlyEnd::kLeavesZeros);
}

TQvDIBInfos Convert8BitRGBTo8BitRLE(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return EncodeRleBlock(TRleFormat::kRle8, source, useFMO, qvmsg::kRle8EncodeBad, qvmsg::kRle8CompressionFailed);
}

TQvDIBInfos Convert4BitRGBTo4BitRLE(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext&) {
  return EncodeRleBlock(TRleFormat::kRle4, source, useFMO, qvmsg::kRle4EncodeBad, qvmsg::kRle4CompressionFailed);
}

}  // namespace pw
