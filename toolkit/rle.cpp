#include "toolkit/rle.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "toolkit/byte_reader.h"
#include "toolkit/errors.h"

namespace pw {
namespace {

class Decoder {
 public:
  Decoder(TRleFormat format, std::span<const std::uint8_t> input, const TRleTarget& target)
      : rle4_(format == TRleFormat::kRle4),
        in_(input),
        target_(target),
        // RLE4 rows end at the width rounded up to even: the low nibble of the last byte.
        rowEnd_(rle4_ ? (static_cast<std::int64_t>(target.width) + 1) & ~std::int64_t{1} : target.width) {}

  TRleResult Run() {
    for (;;) {
      if (!in_.Has(2)) return TRleResult::kDataEnded;
      const unsigned first = in_.U8();
      const unsigned second = in_.U8();
      std::optional<TRleResult> stop;
      if (first != 0) {
        stop = EncodedRun(first, static_cast<std::uint8_t>(second));
      } else if (second == 0) {
        stop = EndOfLine();
      } else if (second == 1) {
        return TRleResult::kEndOfBitmap;
      } else if (second == 2) {
        stop = Delta();
      } else {
        stop = AbsoluteRun(second);
      }
      if (stop) return *stop;
    }
  }

 private:
  // Each code handler returns a result when decoding stops, nothing to go on.

  std::optional<TRleResult> EndOfLine() {
    ++y_;
    x_ = 0;
    if (y_ > target_.height) return TRleResult::kBadEndOfLine;
    return std::nullopt;
  }

  std::optional<TRleResult> Delta() {
    if (!in_.Has(2)) return TRleResult::kDataEnded;
    x_ += in_.U8();
    y_ += in_.U8();
    if (x_ > rowEnd_ || y_ > target_.height) return TRleResult::kBadDelta;
    return std::nullopt;
  }

  std::optional<TRleResult> EncodedRun(unsigned count, std::uint8_t value) {
    if (!Fits(count)) return TRleResult::kBadRun;
    std::uint8_t* row = Row();
    if (rle4_) {
      for (unsigned j = 0; j < count; ++j) PutNibble(row, x_ + j, (j & 1) ? value & 0x0F : value >> 4);
    } else {
      std::memset(row + x_, value, count);
    }
    x_ += count;
    return std::nullopt;
  }

  std::optional<TRleResult> AbsoluteRun(unsigned count) {
    if (!Fits(count)) return TRleResult::kBadAbsolute;
    // Data bytes of the run, and the bytes it occupies once padded to an even number.
    const std::size_t dataBytes = rle4_ ? (count + 1) / 2 : count;
    const std::size_t paddedBytes = rle4_ ? (count + 3) / 4 * 2 : (count + 1) & ~1u;
    const std::size_t available = std::min(dataBytes, in_.Remaining());
    const auto data = in_.Bytes(available);
    std::uint8_t* row = Row();
    if (rle4_) {
      const std::size_t present = std::min<std::size_t>(count, available * 2);
      for (std::size_t i = 0; i < present; ++i)
        PutNibble(row, x_ + static_cast<std::int64_t>(i), (i & 1) ? data[i / 2] & 0x0F : data[i / 2] >> 4);
    } else if (available != 0) {
      std::memcpy(row + x_, data.data(), available);
    }
    if (available < dataBytes) return TRleResult::kDataEnded;
    in_.Skip(std::min(paddedBytes - dataBytes, in_.Remaining()));
    x_ += count;
    return std::nullopt;
  }

  // A run of count pixels from the cursor lies inside a row of the picture.
  bool Fits(unsigned count) const { return x_ + count <= rowEnd_ && y_ < target_.height; }

  std::uint8_t* Row() const { return target_.row0 + static_cast<std::ptrdiff_t>(y_) * target_.stride; }

  static void PutNibble(std::uint8_t* row, std::int64_t x, unsigned nibble) {
    std::uint8_t& byte = row[x >> 1];
    byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | nibble) : static_cast<std::uint8_t>(nibble << 4);
  }

  bool rle4_;
  ByteReader in_;
  TRleTarget target_;
  std::int64_t rowEnd_;
  // 64-bit, so that no sequence of codes can overflow them before a check sees them.
  std::int64_t x_ = 0;
  std::int64_t y_ = 0;
};

}  // namespace

TRleResult DecodeRle(TRleFormat format, std::span<const std::uint8_t> input, const TRleTarget& target) {
  const std::size_t rowBytes =
      (static_cast<std::size_t>(target.width) * (format == TRleFormat::kRle4 ? 4 : 8) + 7) / 8;
  const std::size_t stride = static_cast<std::size_t>(target.stride < 0 ? -target.stride : target.stride);
  Assert(target.width >= 0 && target.height >= 0 &&
             (target.height == 0 || (target.row0 != nullptr && stride >= rowBytes)),
         "DecodeRle: Target Rows Too Small");
  return Decoder(format, input, target).Run();
}

int BadRleDataNumber(TRleFormat format, TRleResult result) {
  int number = 0;
  switch (result) {
    case TRleResult::kBadEndOfLine: number = 1; break;
    case TRleResult::kBadDelta: number = 2; break;
    case TRleResult::kBadAbsolute: number = 3; break;
    case TRleResult::kBadRun: number = 4; break;
    default: return 0;
  }
  return format == TRleFormat::kRle4 ? number + 4 : number;
}

}  // namespace pw
