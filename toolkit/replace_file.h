// Writing a file so that a failed write never destroys the file it replaces.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "toolkit/stream.h"

namespace pw {

// Writes fileName through write(). The bytes are made in memory first (write()'s own
// exceptions pass through before any file is touched), then written to a temporary file in the
// folder of the file, flushed to the disk and renamed over it. A symbolic link is followed and
// kept: the file it points to is replaced. The new file keeps the permission bits of the one it
// replaces, and its owner and group where the process may set them. When the folder refuses a
// new file but the existing file may be written, the bytes are written into that file instead.
// Any failure of the file system, a full disk included, raises EFCreateError(fileName) and
// leaves an existing file as it was.
void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write);

// Stand-ins for what only a refusing folder or a full disk makes fail, so that tests can reach
// those paths on any machine.
struct TReplaceFileSeams {
  // Behave as a folder that does not allow a new file.
  bool folderRefusesNewFiles = false;
  // Replaces ::write for the new bytes (not for restoring the old ones); returns the bytes
  // written, or -1 with errno set.
  std::function<long(int fd, const void* data, std::size_t count)> write;
};
void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write,
                 const TReplaceFileSeams& seams);

}  // namespace pw
