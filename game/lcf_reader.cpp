#include "game/lcf_reader.h"

#include <memory>

#include "game/errors.h"

namespace pw::game {
namespace {

constexpr int kMaxNumberBytes = 5;
constexpr std::uint8_t kMore = 0x80;
constexpr std::uint8_t kBits = 0x7F;

}  // namespace

TLcfReader::TLcfReader(std::span<const std::uint8_t> data, std::string name)
    : data_(data), ownName_(std::make_shared<const std::string>(std::move(name))), name_(ownName_.get()) {}

TLcfReader::TLcfReader(std::span<const std::uint8_t> data, const std::string* name, std::size_t base)
    : data_(data), base_(base), name_(name) {}

void TLcfReader::FailAt(std::size_t offset, const std::string& what) const {
  throw EGameError(FormatMessage(game_msg::kDamaged, {*name_, std::to_string(offset), what}));
}

void TLcfReader::Fail(const std::string& what) const { FailAt(Offset(), what); }

std::int32_t TLcfReader::LongInt() {
  const std::size_t start = Offset();
  std::uint64_t value = 0;
  for (int i = 0; i < kMaxNumberBytes; ++i) {
    if (AtEnd()) Fail(game_msg::kCutShort);
    const std::uint8_t byte = data_[position_++];
    value = value << 7 | (byte & kBits);
    if ((byte & kMore) == 0) {
      if (value > 0xFFFFFFFFu) FailAt(start, game_msg::kWideNumber);
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    }
  }
  FailAt(start, game_msg::kLongNumber);
}

std::size_t TLcfReader::Fitting(std::size_t itemBytes, const char* format) {
  const std::size_t start = Offset();
  const std::int32_t n = Int();
  if (n < 0) FailAt(start, FormatMessage(game_msg::kNegativeLength, {std::to_string(n)}));
  const auto count = static_cast<std::size_t>(n);
  if (count > Remaining() / itemBytes) {
    FailAt(start, FormatMessage(format, {std::to_string(count), std::to_string(Remaining())}));
  }
  return count;
}

std::size_t TLcfReader::Count(std::size_t itemBytes) { return Fitting(itemBytes, game_msg::kCountPastEnd); }

std::size_t TLcfReader::Length() { return Fitting(1, game_msg::kLengthPastEnd); }

std::span<const std::uint8_t> TLcfReader::Bytes(std::size_t count) {
  if (count > Remaining()) Fail(game_msg::kCutShort);
  const auto bytes = data_.subspan(position_, count);
  position_ += count;
  return bytes;
}

std::string TLcfReader::String(std::size_t count) {
  const auto bytes = Bytes(count);
  return std::string(bytes.begin(), bytes.end());
}

TLcfReader TLcfReader::Sub(std::size_t count) {
  const std::size_t base = Offset();
  return TLcfReader(Bytes(count), name_, base);
}

void TLcfReader::Header(std::string_view expected) {
  const std::size_t start = Offset();
  const auto fail = [&] { FailAt(start, FormatMessage(game_msg::kNotHeader, {std::string(expected)})); };
  try {
    const std::int32_t length = Int();
    if (length < 0 || static_cast<std::size_t>(length) != expected.size() || Remaining() < expected.size()) fail();
  } catch (const EGameError&) {
    fail();
  }
  if (String(expected.size()) != expected) fail();
}

std::int32_t IntField(TLcfReader& field) { return field.AtEnd() ? 0 : field.Int(); }

}  // namespace pw::game
