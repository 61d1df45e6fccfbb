// Writing a file through a temporary sibling that is renamed over the target when complete, or
// in place when the folder takes no new file.
#include "toolkit/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <utility>
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

// The temporary files that exist, so that an interrupted process can remove them. It is the one
// piece of state the whole process shares, as a signal ends every thread at once. A file is
// created and told under the same lock that the removal takes, so none escapes it.
class TTemporaryFiles {
 public:
  // Creates the file with create() (a descriptor, or -1) and keeps its name while it exists.
  template <class Open>
  int Create(const std::string& name, Open create) {
    std::lock_guard lock(mutex_);
    const int fd = create();
    if (fd >= 0) names_.insert(name);
    return fd;
  }
  // The file was removed or renamed.
  void Forget(const std::string& name) {
    std::lock_guard lock(mutex_);
    names_.erase(name);
  }
  // Removes every file and ends the process as the signal ends it. The lock is held to the end:
  // no thread makes a new file meanwhile.
  [[noreturn]] void RemoveAllAndEnd(int signal) {
    mutex_.lock();
    for (const std::string& name : names_) ::unlink(name.c_str());
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);  // a signal whose default action does not end the process
  }

 private:
  std::mutex mutex_;
  std::multiset<std::string> names_;
};

TTemporaryFiles& TemporaryFiles() {
  static TTemporaryFiles files;
  return files;
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
    if (name_.empty()) return;
    ::unlink(name_.c_str());
    TemporaryFiles().Forget(name_);
  }
  void Release() { name_.clear(); }

 private:
  std::string name_;
};

// The longest file name the folder takes; 255 where the system does not say.
std::size_t NameLimit(const fs::path& folder) {
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

// ".<leaf>.<random>.tmp", the leaf shortened (never inside a UTF-8 character) so that the whole
// name stays within limit however long the target's name is.
std::string TemporaryLeaf(const std::string& leaf, std::size_t limit, unsigned random) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x.tmp", random);
  const std::size_t extra = 1 + std::strlen(suffix);
  std::size_t keep = std::min(leaf.size(), limit > extra ? limit - extra : 0);
  while (keep > 0 && keep < leaf.size() && (static_cast<unsigned char>(leaf[keep]) & 0xC0) == 0x80) --keep;
  std::string name = ".";
  name.append(leaf, 0, keep);
  name += suffix;
  return name;
}

// A file name in the folder of target that no file has yet, created empty with the given
// permissions; -1 with errno set when the folder cannot take a new file.
int CreateSibling(const fs::path& target, mode_t mode, std::string& name) {
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::size_t limit = NameLimit(folder);
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = (folder / TemporaryLeaf(target.filename().string(), limit, static_cast<unsigned>(random()))).string();
    const int fd = TemporaryFiles().Create(name, [&] { return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode); });
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The errors by which a folder refuses a new file or a rename in it, while the existing file
// may still be written in place: no write permission on the folder, a sticky folder and a file
// of another user, a read-only mount.
bool FolderRefuses(int error) { return error == EACCES || error == EPERM || error == EROFS; }

// Writes all of data from the current position; false on the first failed write.
bool WriteAll(int fd, std::span<const std::uint8_t> data, const WriteCall& write) {
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

// Writes every piece in order; without a seam, many pieces go in each gathering write.
bool WriteAll(int fd, const TFilePieces& pieces, const WriteCall& write) {
  if (write) {
    return std::all_of(pieces.begin(), pieces.end(), [&](auto piece) { return WriteAll(fd, piece, write); });
  }
  std::vector<iovec> vectors;
  for (const auto piece : pieces) {
    if (!piece.empty()) vectors.push_back({const_cast<std::uint8_t*>(piece.data()), piece.size()});
  }
  std::size_t first = 0;
  while (first < vectors.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(vectors.size() - first, IOV_MAX));
    long n = ::writev(fd, vectors.data() + first, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    // Past the pieces written whole; a piece written in part is cut to what is left.
    while (first < vectors.size() && static_cast<std::size_t>(n) >= vectors[first].iov_len) {
      n -= static_cast<long>(vectors[first].iov_len);
      ++first;
    }
    if (n > 0) {
      vectors[first].iov_base = static_cast<std::uint8_t*>(vectors[first].iov_base) + n;
      vectors[first].iov_len -= static_cast<std::size_t>(n);
    }
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
  if (::lseek(fd, 0, SEEK_SET) != 0 || !WriteAll(fd, std::span<const std::uint8_t>(old), nullptr)) return;
  if (::ftruncate(fd, static_cast<off_t>(old.size())) == 0) (void)::fsync(fd);
}

// Flushes fd to the disk, through the seam when one is given.
bool Sync(int fd, const std::function<int(int)>& sync) { return (sync ? sync(fd) : ::fsync(fd)) == 0; }

// Overwrites an existing regular file itself, its old bytes kept in memory to be written back
// when the new ones cannot be. Truncating last keeps the old length while the new bytes go in.
void WriteInPlace(const std::string& fileName, const fs::path& target, const TFilePieces& data,
                  const TReplaceFileSeams& seams) {
  Bytes old;
  try {
    old = ReadFileBytes(target.string());
  } catch (const Exception&) {
    throw EFCreateError(fileName);
  }
  FileHandle file(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (file.Get() < 0) throw EFCreateError(fileName);
  if (!WriteAll(file.Get(), data, seams.write) || ::ftruncate(file.Get(), static_cast<off_t>(TotalSize(data))) != 0 ||
      !Sync(file.Get(), seams.sync)) {
    Restore(file.Get(), old);
    throw EFCreateError(fileName);
  }
  if (!file.Close()) throw EFCreateError(fileName);
}

// Devices and pipes are written to, never replaced.
void WriteToDevice(const std::string& fileName, const fs::path& target, const TFilePieces& data,
                   const WriteCall& write) {
  FileHandle file(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
  if (file.Get() < 0 || !WriteAll(file.Get(), data, write) || !file.Close()) throw EFCreateError(fileName);
}

}  // namespace

TPendingFile PrepareFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                         const TReplaceFileSeams& seams) {
  TPendingFile pending;
  {
    TMemoryStream content;
    write(content);
    pending.data_ = content.TakeBytes();
  }
  pending.pieces_ = {pending.data_};
  pending.Prepare(fileName, seams);
  return pending;
}

void TPendingFile::Prepare(const std::string& fileName, const TReplaceFileSeams& seams) {
  fileName_ = fileName;
  seams_ = seams;
  const fs::path target = ResolveLinks(fileName);
  target_ = target.string();
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISDIR(old.st_mode)) throw EFCreateError(fileName);
  // A target that exists but may not be written is refused, as writing it in place would be.
  if (exists && ::access(target.c_str(), W_OK) != 0) throw EFCreateError(fileName);
  if (exists && !S_ISREG(old.st_mode)) {
    way_ = TWay::kDevice;
    return;
  }

  // The temporary file stays private to its owner until it has the old file's bits; a new one
  // gets what the umask leaves of 0666.
  std::string temporary;
  int fd = -1;
  if (seams.folderRefusesNewFiles || seams.createError != 0) {
    errno = seams.createError != 0 ? seams.createError : EACCES;
  } else {
    fd = CreateSibling(target, exists ? 0600 : 0666, temporary);
  }
  if (fd < 0) {
    if (!exists || !FolderRefuses(errno)) throw EFCreateError(fileName);
    way_ = TWay::kInPlace;
    return;
  }
  FileRemover remover(temporary);
  FileHandle file(fd);
  if (!WriteAll(fd, pieces_, seams.write)) throw EFCreateError(fileName);
  if (exists) KeepOwnerAndMode(fd, old);
  if (!Sync(fd, seams.sync) || !file.Close()) throw EFCreateError(fileName);
  remover.Release();
  temporary_ = temporary;
  way_ = TWay::kRename;
}

TPendingFile::TPendingFile(TPendingFile&& other) noexcept
    : way_(std::exchange(other.way_, TWay::kNothing)),
      fileName_(std::move(other.fileName_)),
      target_(std::move(other.target_)),
      temporary_(std::exchange(other.temporary_, {})),
      data_(std::move(other.data_)),
      pieces_(std::move(other.pieces_)),
      seams_(std::move(other.seams_)) {}

TPendingFile& TPendingFile::operator=(TPendingFile&& other) noexcept {
  if (this != &other) {
    Discard();
    way_ = std::exchange(other.way_, TWay::kNothing);
    fileName_ = std::move(other.fileName_);
    target_ = std::move(other.target_);
    temporary_ = std::exchange(other.temporary_, {});
    data_ = std::move(other.data_);
    pieces_ = std::move(other.pieces_);
    seams_ = std::move(other.seams_);
  }
  return *this;
}

TPendingFile::~TPendingFile() { Discard(); }

void TPendingFile::Discard() noexcept {
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    TemporaryFiles().Forget(temporary_);
  }
  temporary_.clear();
  way_ = TWay::kNothing;
}

void TPendingFile::Commit() {
  const TWay way = std::exchange(way_, TWay::kNothing);
  const fs::path target(target_);
  switch (way) {
    case TWay::kNothing:
      return;
    case TWay::kDevice:
      return WriteToDevice(fileName_, target, pieces_, seams_.write);
    case TWay::kInPlace:
      return WriteInPlace(fileName_, target, pieces_, seams_);
    case TWay::kRename:
      break;
  }
  const std::string temporary = std::exchange(temporary_, {});
  FileRemover remover(temporary);
  const int renamed = seams_.rename ? seams_.rename(temporary.c_str(), target.c_str())
                                    : std::rename(temporary.c_str(), target.c_str());
  if (renamed != 0) {
    // A sticky folder refuses to rename over another user's file that may still be written.
    const int error = errno;
    struct stat old {};
    if (!FolderRefuses(error) || ::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode))
      throw EFCreateError(fileName_);
    ::unlink(temporary.c_str());
    remover.Release();
    TemporaryFiles().Forget(temporary);
    return WriteInPlace(fileName_, target, pieces_, seams_);
  }
  remover.Release();
  TemporaryFiles().Forget(temporary);
  SyncFolder(target);
}

void RemoveTemporaryFilesOnInterrupt() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
  // Every thread started later inherits the mask, so the signals reach only the waiting thread.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set] {
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    TemporaryFiles().RemoveAllAndEnd(signal);
  }).detach();
}

void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write) {
  PrepareFile(fileName, write).Commit();
}

void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                 const TReplaceFileSeams& seams) {
  PrepareFile(fileName, write, seams).Commit();
}

void ReplaceFile(const std::string& fileName, const TFilePieces& pieces, const TReplaceFileSeams& seams) {
  TPendingFile pending;
  pending.pieces_ = pieces;
  pending.Prepare(fileName, seams);
  pending.Commit();
}

}  // namespace pw
