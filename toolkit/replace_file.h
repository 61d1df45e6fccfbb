// Writing a file so that a failed write never destroys the file it replaces.
#pragma once

#include <functional>
#include <string>

#include "toolkit/stream.h"

namespace pw {

// Writes fileName through write(): the bytes go to a temporary file in the same folder, which
// is renamed over fileName only when complete. Any failure raises EFCreateError(fileName) (or
// lets write()'s own exception through) and leaves an existing fileName as it was.
void ReplaceFile(const std::string& fileName, const std::function<void(TStream&)>& write);

}  // namespace pw
