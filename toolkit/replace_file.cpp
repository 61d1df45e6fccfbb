// Writing a file through a temporary sibling that is renamed over the target when complete.
#include "toolkit/replace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "toolkit/errors.h"

namespace pw {
namespace {

// A file name in the folder of target that no file has yet, created empty with the default
// permissions; -1 when the folder cannot take a new file.
int CreateSibling(const std::string& target, std::string& name) {
  const std::filesystem::path path(target);
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    name = (folder / ("." + path.filename().string() + suffix)).string();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

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

}  // namespace

void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write) {
  // A target that exists but may not be written is refused, as writing it in place would be.
  if (::access(fileName.c_str(), F_OK) == 0 && ::access(fileName.c_str(), W_OK) != 0) throw EFCreateError(fileName);
  std::string temporary;
  const int fd = CreateSibling(fileName, temporary);
  if (fd < 0) throw EFCreateError(fileName);
  ::close(fd);
  FileRemover remover(temporary);
  {
    TFileStream file(temporary, TFileMode::fmCreate);
    write(file);
    file.Flush();
  }
  if (std::rename(temporary.c_str(), fileName.c_str()) != 0) throw EFCreateError(fileName);
  remover.Release();
}

}  // namespace pw
