// Writing a file through a temporary sibling that is renamed over the target when complete, or
// in place when the folder takes no new file.
#include "toolkit/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "toolkit/errors.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;
using WriteCall = std::function<long(int, const void*, std::size_t)>;

// The file a path names once every symbolic link on its last component is followed (the link
// is replaced by what it points to, relative links taken from the link's folder). A dangling
// link gives the path it points to, which is then created.
fs::path ResolveLinks(const std::string& fileName) {
  fs::path path(fileName);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path;
    const fs::path link = fs::read_symlink(path, error);
    if (error) throw EFCreateError(fileName);
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  throw EFCreateError(fileName);  // a loop of links
}

// Closes a descriptor on every path; Close() reports whether the last close succeeded.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Removes a file when it goes out of scope, unless released.
class FileRemover {
 public:
  explicit FileRemover(std::string name) : name_(std::move(name)) {}
  FileRemover(const FileRemover&) = delete;
  FileRemover& operator=(const FileRemover&) = delete;
  ~FileRemover() {
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  void Release() { name_.clear(); }

 private:
  std::string name_;
};

// A file name in the folder of target that no file has yet, created empty with the given
// permissions; -1 when the folder cannot take a new file.
int CreateSibling(const fs::path& target, mode_t mode, std::string& name) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    std::string leaf = ".";
    leaf += target.filename().string();
    leaf += suffix;
    name = (folder / leaf).string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Writes all of data from the current position; false on the first failed write.
bool WriteAll(int fd, const Bytes& data, const WriteCall& write) {
  std::size_t done = 0;
  while (done < data.size()) {
    const long n = write ? write(fd, data.data() + done, data.size() - done)
                         : static_cast<long>(::write(fd, data.data() + done, data.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The owner and group of the old file where the process may set them (first both, else the
// group alone), then its permission bits, which a change of owner may have cleared.
void KeepOwnerAndMode(int fd, const struct stat& old) {
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  (void)::fchmod(fd, old.st_mode & 07777);
}

// Makes a finished rename last: the folder's entry reaches the disk too. Best effort, as some
// file systems refuse to sync a folder.
void SyncFolder(const fs::path& target) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  ::close(fd);
}

// Puts the old bytes back after a failed write in place. They need no more room than the file
// already had. Best effort: the failure is reported either way.
void Restore(int fd, const Bytes& old) {
  if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, old, nullptr)) return;
  if (::ftruncate(fd, static_cast<off_t>(old.size())) == 0) (void)::fsync(fd);
}

// Overwrites an existing regular file itself, its old bytes kept in memory to be written back
// when the new ones cannot be. Truncating last keeps the old length while the new bytes go in.
void WriteInPlace(const std::string& fileName, const fs::path& target, const Bytes& data, const WriteCall& write) {
  Bytes old;
  try {
    old = ReadFileBytes(target.string());
  } catch (const Exception&) {
    throw EFCreateError(fileName);
  }
  FileHandle file(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (file.Get() < 0) throw EFCreateError(fileName);
  if (!WriteAll(file.Get(), data, write) || ::ftruncate(file.Get(), static_cast<off_t>(data.size())) != 0 ||
      ::fsync(file.Get()) != 0) {
    Restore(file.Get(), old);
    throw EFCreateError(fileName);
  }
  if (!file.Close()) throw EFCreateError(fileName);
}

// Devices and pipes are written to, never replaced.
void WriteToDevice(const std::string& fileName, const fs::path& target, const Bytes& data, const WriteCall& write) {
  FileHandle file(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (file.Get() < 0 || !WriteAll(file.Get(), data, write) || !file.Close()) throw EFCreateError(fileName);
}

}  // namespace

void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write) {
  ReplaceFile(fileName, write, TReplaceFileSeams{});
}

void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                 const TReplaceFileSeams& seams) {
  TMemoryStream content;
  write(content);
  const Bytes& data = content.Bytes();

  const fs::path target = ResolveLinks(fileName);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) throw EFCreateError(fileName);
  // A target that exists but may not be written is refused, as writing it in place would be.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw EFCreateError(fileName);
  if (exists && !S_ISREG(old.st_mode)) return WriteToDevice(fileName, target, data, seams.write);

  // The temporary file stays private to its owner until it has the old file's bits.
  std::string temporary;
  const int fd = seams.folderRefusesNewFiles ? -1 : CreateSibling(target, exists ? 0600 : 0666, temporary);
  if (fd < 0) {
    if (exists) return WriteInPlace(fileName, target, data, seams.write);
    throw EFCreateError(fileName);
  }
  FileRemover remover(temporary);
  FileHandle file(fd);
  if (!WriteAll(fd, data, seams.write)) throw EFCreateError(fileName);
  if (exists) KeepOwnerAndMode(fd, old);
  if (::fsync(fd) != 0 || !file.Close()) throw EFCreateError(fileName);
  if (std::rename(temporary.c_str(), target.c_str()) != 0) throw EFCreateError(fileName);
  remover.Release();
  SyncFolder(target);
}

}  // namespace pw
