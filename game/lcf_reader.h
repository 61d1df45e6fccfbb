// The bounded reader of the game's binary files: numbers of 7 bits a byte, lengths and counts
// checked against the bytes that remain, and records of (id, length, bytes) fields. Every
// failure names the file and the byte offset where it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace pw::game {

class TLcfReader {
 public:
  // A reader over data, which is the whole file called name (offsets are counted from its start).
  TLcfReader(std::span<const std::uint8_t> data, std::string name);

  const std::string& Name() const { return *name_; }
  // The offset of the next byte in the file.
  std::size_t Offset() const { return base_ + position_; }
  std::size_t Remaining() const { return data_.size() - position_; }
  bool AtEnd() const { return position_ == data_.size(); }

  // A number: big-endian, 7 bits a byte, a high bit when more follow, at most 5 bytes; the value
  // is a 32-bit two's complement number, so 5-byte numbers may be negative.
  std::int32_t Int() {
    // Most numbers (ids, lengths, small values) take one byte.
    if (position_ < data_.size() && data_[position_] < 0x80) return data_[position_++];
    return LongInt();
  }
  // A number that is a length or count: never negative, and no more than the bytes that remain
  // could hold when each item takes at least itemBytes.
  std::size_t Count(std::size_t itemBytes);
  std::size_t Length();
  // The next count bytes, which must be there.
  std::span<const std::uint8_t> Bytes(std::size_t count);
  std::string String(std::size_t count);
  // A reader over the next count bytes, which this one steps over; offsets stay the file's.
  TLcfReader Sub(std::size_t count);

  // The header every file starts with: a length, then exactly the text expected.
  void Header(std::string_view expected);

  // Raises EGameError naming the file, the offset and what is wrong.
  [[noreturn]] void Fail(const std::string& what) const;
  [[noreturn]] void FailAt(std::size_t offset, const std::string& what) const;

 private:
  TLcfReader(std::span<const std::uint8_t> data, const std::string* name, std::size_t base);
  std::int32_t LongInt();
  // A number of items of itemBytes each that the bytes left can hold; format names it.
  std::size_t Fitting(std::size_t itemBytes, const char* format);

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  std::size_t base_ = 0;
  // The file's name: held by the outermost reader, pointed to by those over its parts, which
  // never outlive it.
  std::shared_ptr<const std::string> ownName_;
  const std::string* name_ = nullptr;
};

// A record: fields of an id, a length and that many bytes, until the id 0, or until the data
// ends where untilEnd (the outermost record of the database). field(id, reader) receives the id
// and a reader over the field's bytes; fields whose ids it does not know it leaves unread.
template <class FieldReader>
void ReadRecord(TLcfReader& reader, FieldReader&& field, bool untilEnd = false) {
  for (;;) {
    if (untilEnd && reader.AtEnd()) return;
    const std::int32_t id = reader.Int();
    if (id == 0) return;
    TLcfReader bytes = reader.Sub(reader.Length());
    field(static_cast<int>(id), bytes);
  }
}

// A record's smallest item in an array: its index and the 0 that ends its fields.
inline constexpr std::size_t kSmallestRecordItem = 2;

// An array of records: a count, then each item's index and its record, which item(index,
// reader) reads.
template <class ItemReader>
void ReadArray(TLcfReader& reader, ItemReader&& item) {
  const std::size_t count = reader.Count(kSmallestRecordItem);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t index = reader.Int();
    item(static_cast<int>(index), reader);
  }
}

// The whole of a field's bytes as one number (the form of every numeric field).
std::int32_t IntField(TLcfReader& field);

}  // namespace pw::game
