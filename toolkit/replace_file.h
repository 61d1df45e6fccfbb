// Writing a file so that a failed write never destroys the file it replaces.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "toolkit/stream.h"

namespace pw {

// Writes fileName through write(). The bytes are made in memory first (write()'s own
// exceptions pass through before any file is touched), then written to a temporary file in the
// folder of the file, flushed to the disk and renamed over it. A symbolic link is followed and
// kept: the file it points to is replaced. A new file gets the permissions the umask leaves; a
// replaced file keeps the permission bits of the old one (setuid, setgid and sticky included),
// and its owner and group where the process may set them. When the folder refuses a new file
// or the rename (a read-only folder, or a sticky one and a file of another user) but the
// existing file may be written, the bytes are written into that file instead. Devices and
// pipes are written to, never replaced. Any failure of the file system, a full disk included,
// raises EFCreateError(fileName) and leaves an existing file as it was.
void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write);

// Stand-ins for what only a refusing folder or a full disk makes fail, so that tests can reach
// those paths on any machine. An empty function means the system call itself.
struct TReplaceFileSeams {
  // Behave as a folder that does not allow a new file (as createError = EACCES).
  bool folderRefusesNewFiles = false;
  // When not 0, creating the temporary file fails with this errno.
  int createError = 0;
  // Replaces ::write for the new bytes (not for restoring the old ones); returns the bytes
  // written, or -1 with errno set.
  std::function<long(int fd, const void* data, std::size_t count)> write;
  // Replaces ::fsync of the new bytes; returns 0, or -1 with errno set.
  std::function<int(int fd)> sync;
  // Replaces ::rename of the temporary file over the target; returns 0, or -1 with errno set.
  std::function<int(const char* from, const char* to)> rename;
};
void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                 const TReplaceFileSeams& seams);

// ReplaceFile with bytes that are already in memory, as pieces that stay valid during the call:
// they are written with no copy, many in each gathering write.
void ReplaceFile(const std::string& fileName, const TFilePieces& pieces, const TReplaceFileSeams& seams = {});

// Makes SIGINT, SIGTERM and SIGHUP remove every temporary file of ReplaceFile and PrepareFile
// that exists at that moment before the process ends as the signal ends it, so that an
// interrupted run leaves nothing half-written behind. Call once, from the main thread before
// any other thread starts: the signals are then blocked in every thread and taken by a thread
// of their own.
void RemoveTemporaryFilesOnInterrupt();

class TPendingFile;

// ReplaceFile in two steps, so that the slow part (writing and flushing the temporary file) can
// run on any thread while the files are put in place in a chosen order. PrepareFile does all
// but the last step and raises what ReplaceFile would up to there; Commit() puts the file in
// place (or writes it in place) and raises EFCreateError on failure. A pending file destroyed
// before Commit() removes its temporary file and leaves the target as it was.
TPendingFile PrepareFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                         const TReplaceFileSeams& seams = {});

class TPendingFile {
 public:
  TPendingFile() = default;
  TPendingFile(TPendingFile&& other) noexcept;
  TPendingFile& operator=(TPendingFile&& other) noexcept;
  TPendingFile(const TPendingFile&) = delete;
  TPendingFile& operator=(const TPendingFile&) = delete;
  ~TPendingFile();

  void Commit();

 private:
  friend TPendingFile PrepareFile(const std::string&, const std::function<void(TStream&)>&,
                                  const TReplaceFileSeams&);
  friend void ReplaceFile(const std::string&, const TFilePieces&, const TReplaceFileSeams&);
  enum class TWay { kNothing, kRename, kInPlace, kDevice };
  // Everything but the last step, for the bytes in pieces_.
  void Prepare(const std::string& fileName, const TReplaceFileSeams& seams);
  void Discard() noexcept;

  TWay way_ = TWay::kNothing;
  std::string fileName_;  // as the caller named it, for messages
  std::string target_;    // the file it resolves to
  std::string temporary_;
  std::vector<std::uint8_t> data_;  // the bytes made by a writer, when pieces_ point into them
  TFilePieces pieces_;              // kept for writing in place when the rename is refused
  TReplaceFileSeams seams_;
};

}  // namespace pw
