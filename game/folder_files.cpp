// A game's files in a folder on disk; apart from the rest so that the page, which is given its
// files otherwise, never links the file system.
#include <algorithm>
#include <filesystem>

#include "game/game_files.h"
#include "toolkit/stream.h"

namespace pw::game {

TGameFiles FolderFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  TGameFiles files;
  files.list = [folder] {
    std::vector<std::string> names;
    const fs::path root(folder);
    for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
      const std::string name = entry.path().filename().string();
      std::error_code error;
      if (entry.is_regular_file(error)) {
        names.push_back(name);
      } else if (entry.is_directory(error)) {
        for (const fs::directory_entry& inner : fs::directory_iterator(entry.path(), error)) {
          if (inner.is_regular_file(error)) names.push_back(name + "/" + inner.path().filename().string());
        }
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  };
  files.read = [folder](const std::string& name) { return ReadFileBytes((fs::path(folder) / name).string()); };
  return files;
}

}  // namespace pw::game
