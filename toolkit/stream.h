// Byte streams: the abstract stream, a growable memory stream and a file stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "toolkit/size_limits.h"

namespace pw {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (fewer only at the end of the data).
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t GetPosition() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  std::int64_t GetSize();

  // Exact transfers: a short read raises EReadError, a short write EWriteError.
  void ReadBuffer(void* buffer, std::size_t count);
  void WriteBuffer(const void* buffer, std::size_t count);
  // Copies count bytes from source (all of it from its start when count is 0).
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> data) : data_(std::move(data)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;

  const std::uint8_t* Memory() const { return data_.data(); }
  std::uint8_t* Memory() { return data_.data(); }
  const std::vector<std::uint8_t>& Bytes() const { return data_; }
  // Room for count bytes in all, so that writes up to there never move the data.
  void Reserve(std::size_t count);
  void Clear();
  // Hands the data over, leaving the stream empty at position 0.
  std::vector<std::uint8_t> TakeBytes();
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

 private:
  std::vector<std::uint8_t> data_;
  std::int64_t position_ = 0;
};

// A file's bytes as pieces of memory held elsewhere, in order.
using TFilePieces = std::vector<std::span<const std::uint8_t>>;
std::size_t TotalSize(const TFilePieces& pieces);

// Reads a row of byte pieces held elsewhere as one stream, without copying them first; the
// pieces must outlive the stream and not change while it is read. head, when given, is kept
// by the stream, and pieces may point into it. Writing raises EWriteError.
class TGatherStream : public TStream {
 public:
  TGatherStream(TFilePieces pieces, std::vector<std::uint8_t> head = {});

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;

 private:
  std::vector<std::uint8_t> head_;
  TFilePieces pieces_;
  std::vector<std::int64_t> starts_;  // stream position of each piece, then the size
  std::int64_t position_ = 0;
};

enum class TFileMode { fmOpenRead, fmCreate, fmOpenReadWrite };

class TFileStream : public TStream {
 public:
  // fmOpenRead fails with EFOpenError, fmCreate (create or truncate) with EFCreateError.
  TFileStream(const std::string& fileName, TFileMode mode);

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  // Flushes buffered data; raises EWriteError when the data did not reach the file.
  void Flush();
  const std::string& FileName() const { return fileName_; }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::string fileName_;
  std::unique_ptr<std::FILE, Closer> file_;
};

// Reads a whole file into memory with one read of the size the file has (EFOpenError when it
// cannot be opened or is a folder, EReadError when reading fails). Pipes and devices are read
// to their end as streams, but no further than ceiling bytes: EFileTooLarge when more come.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t ceiling = kMaxFileBytes);
// Reads an open descriptor to its end, expecting expectedSize bytes (0 when the size is not
// known): a file that grew or shrank since its size was taken gives the bytes it holds when
// the end is reached. A read of unknown size raises EFileTooLarge, naming the source by name,
// once more than ceiling bytes have come.
std::vector<std::uint8_t> ReadToEnd(int fd, std::size_t expectedSize, const std::string& name = {},
                                    std::size_t ceiling = kMaxFileBytes);

}  // namespace pw
