#include "toolkit/stream.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/errors.h"
#include "toolkit/large_buffer.h"

namespace pw {

std::int64_t TStream::GetSize() {
  const std::int64_t position = GetPosition();
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(position);
  return size;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 1 << 16)));
  std::int64_t left = count;
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, chunk.size()));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= static_cast<std::int64_t>(data_.size())) return 0;
  const std::size_t n = std::min(count, data_.size() - static_cast<std::size_t>(position_));
  if (n != 0) std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

void TMemoryStream::Reserve(std::size_t count) { ReserveLarge(data_, count); }

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  const auto end = static_cast<std::size_t>(position_) + count;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  if (static_cast<std::size_t>(position_) == data_.size()) {
    // Appending: the bytes go in once, without zeros first.
    data_.insert(data_.end(), bytes, bytes + count);
    position_ = static_cast<std::int64_t>(end);
    return count;
  }
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = static_cast<std::int64_t>(end);
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
  position_ = std::max<std::int64_t>(0, base + offset);
  return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
  data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, size)));
  position_ = std::min(position_, static_cast<std::int64_t>(data_.size()));
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

std::size_t TotalSize(const TFilePieces& pieces) {
  std::size_t size = 0;
  for (const auto piece : pieces) size += piece.size();
  return size;
}

TGatherStream::TGatherStream(TFilePieces pieces, std::vector<std::uint8_t> head)
    : head_(std::move(head)), pieces_(std::move(pieces)) {
  std::int64_t at = 0;
  for (const auto piece : pieces_) {
    starts_.push_back(at);
    at += static_cast<std::int64_t>(piece.size());
  }
  starts_.push_back(at);
}

std::size_t TGatherStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  // The piece that holds the position: the last one that starts at or before it.
  auto k = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end() - 1, position_) - starts_.begin());
  for (k = k == 0 ? 0 : k - 1; done < count && k < pieces_.size(); ++k) {
    const auto skip = static_cast<std::size_t>(std::max<std::int64_t>(0, position_ - starts_[k]));
    if (skip >= pieces_[k].size()) continue;
    const std::size_t n = std::min(count - done, pieces_[k].size() - skip);
    std::memcpy(out + done, pieces_[k].data() + skip, n);
    done += n;
    position_ += static_cast<std::int64_t>(n);
  }
  return done;
}

std::size_t TGatherStream::Write(const void*, std::size_t) { throw EWriteError(); }

std::int64_t TGatherStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = position_;
  if (origin == TSeekOrigin::soEnd) base = starts_.back();
  position_ = std::max<std::int64_t>(0, base + offset);
  return position_;
}

void TGatherStream::SetSize(std::int64_t) { throw EWriteError(); }

std::vector<std::uint8_t> TMemoryStream::TakeBytes() {
  std::vector<std::uint8_t> bytes = std::move(data_);
  Clear();
  return bytes;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  data_ = ReadFileBytes(fileName);
  position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, TFileMode::fmCreate);
  file.WriteBuffer(data_.data(), data_.size());
  file.Flush();
}

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName) {
  const char* how = mode == TFileMode::fmOpenRead ? "rb" : mode == TFileMode::fmCreate ? "wb" : "r+b";
  file_.reset(std::fopen(fileName.c_str(), how));
  struct stat info {};
  if (file_ && fstat(fileno(file_.get()), &info) == 0 && S_ISDIR(info.st_mode)) file_.reset();
  if (!file_) {
    if (mode == TFileMode::fmCreate) throw EFCreateError(fileName);
    throw EFOpenError(fileName);
  }
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  return count == 0 ? 0 : std::fread(buffer, 1, count, file_.get());
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  return count == 0 ? 0 : std::fwrite(buffer, 1, count, file_.get());
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                         : SEEK_END;
  if (fseeko(file_.get(), static_cast<off_t>(offset), whence) != 0) return -1;
  return static_cast<std::int64_t>(ftello(file_.get()));
}

void TFileStream::SetSize(std::int64_t size) {
  std::fflush(file_.get());
  if (ftruncate(fileno(file_.get()), static_cast<off_t>(size)) != 0) throw EWriteError();
}

void TFileStream::Flush() {
  if (std::fflush(file_.get()) != 0) throw EWriteError();
}

std::vector<std::uint8_t> ReadToEnd(int fd, std::size_t expectedSize, const std::string& name, std::size_t ceiling) {
  // One byte more than expected: a read that returns exactly the expected size has met the
  // end of a regular file, so the common case takes a single read. Without a size, the buffer
  // grows to one byte past the ceiling, which tells a source that is too long.
  const std::size_t most = expectedSize == 0 ? ceiling + 1 : SIZE_MAX;
  std::vector<std::uint8_t> bytes;
  const std::size_t first = expectedSize == 0 ? std::min(std::size_t{1} << 16, most) : expectedSize + 1;
  ReserveLarge(bytes, first);
  bytes.resize(first);
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) {
      if (done == most) throw EFileTooLarge(name, ceiling);
      bytes.resize(std::min(2 * bytes.size(), most));
    }
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError();
    done += static_cast<std::size_t>(n);
    if (n == 0 || (done == expectedSize && expectedSize != 0)) break;
  }
  bytes.resize(done);
  return bytes;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName, std::size_t ceiling) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFOpenError(fileName);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) throw EFOpenError(fileName);
  const bool sized = S_ISREG(info.st_mode) && info.st_size > 0;
  return ReadToEnd(fd, sized ? static_cast<std::size_t>(info.st_size) : 0, fileName, ceiling);
}

}  // namespace pw
