// A bounded reader over a span of bytes: every read checks that the bytes are there, so a
// parser of untrusted data cannot step past its end. Reads that find too few bytes raise the
// toolkit's stream read error; parsers that want their own error ask Has() first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "toolkit/errors.h"

namespace pw {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}
  ByteReader(const std::uint8_t* data, std::size_t size) : data_(data, size) {}
  // A reader never owns its bytes: reading a temporary buffer would read freed memory.
  explicit ByteReader(std::vector<std::uint8_t>&&) = delete;

  std::size_t Position() const { return position_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return data_.size() - position_; }
  bool AtEnd() const { return position_ == data_.size(); }
  bool Has(std::size_t count) const { return count <= Remaining(); }

  std::uint8_t U8() {
    Require(1);
    return data_[position_++];
  }
  std::uint16_t U16LE() { return static_cast<std::uint16_t>(Take(2, false)); }
  std::uint32_t U32LE() { return static_cast<std::uint32_t>(Take(4, false)); }
  std::int32_t S32LE() { return static_cast<std::int32_t>(U32LE()); }
  std::uint16_t U16BE() { return static_cast<std::uint16_t>(Take(2, true)); }
  std::uint32_t U32BE() { return static_cast<std::uint32_t>(Take(4, true)); }

  // The next count bytes, consumed.
  std::span<const std::uint8_t> Bytes(std::size_t count) {
    Require(count);
    const auto out = data_.subspan(position_, count);
    position_ += count;
    return out;
  }
  void CopyTo(void* destination, std::size_t count) {
    const auto bytes = Bytes(count);
    if (count != 0) std::memcpy(destination, bytes.data(), count);
  }
  void Skip(std::size_t count) {
    Require(count);
    position_ += count;
  }
  // Moves to an absolute position inside the data (the end included).
  void Seek(std::size_t position) {
    if (position > data_.size()) throw EReadError();
    position_ = position;
  }
  // A reader over the next count bytes, which this reader skips.
  ByteReader Sub(std::size_t count) { return ByteReader(Bytes(count)); }

 private:
  void Require(std::size_t count) const {
    if (!Has(count)) throw EReadError();
  }
  std::uint64_t Take(std::size_t count, bool bigEndian) {
    Require(count);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint64_t byte = data_[position_ + i];
      value |= bigEndian ? byte << (8 * (count - 1 - i)) : byte << (8 * i);
    }
    position_ += count;
    return value;
  }

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

}  // namespace pw
