// The bounded reader of the game's binary files: numbers of 7 bits a byte, lengths and counts
// checked against the bytes that remain, and records of (id, length, bytes) fields. Every
// failure names the file and the byte offset where it was found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
  std::int32_t Int();
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
  TLcfReader(std::span<const std::uint8_t> data, std::shared_ptr<const std::string> name, std::size_t base);
  // A number of items of itemBytes each that the bytes left can hold; format names it.
  std::size_t Fitting(std::size_t itemBytes, const char* format);

  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
  std::size_t base_ = 0;
  std::shared_ptr<const std::string> name_;
};

// A record: fields of an id, a length and that many bytes, until the id 0, or until the data
// ends where untilEnd (the outermost record of the database). field receives the id and a
// reader over the field's bytes; fields whose ids it does not know it leaves unread.
using FieldReader = std::function<void(int id, TLcfReader& field)>;
void ReadRecord(TLcfReader& reader, const FieldReader& field, bool untilEnd = false);

// An array of records: a count, then each item's index and its record.
void ReadArray(TLcfReader& reader, const std::function<void(int index, TLcfReader& item)>& item);

// The whole of a field's bytes as one number (the form of every numeric field).
std::int32_t IntField(TLcfReader& field);

}  // namespace pw::game
