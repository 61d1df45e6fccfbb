// A game's files as the readers see them: a listing and a way to read one file, so that a
// folder on disk, a ZIP archive or the files a page was given serve alike. Names are found
// without regard to letter case, as the game's own platform finds them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "game/game_data.h"

namespace pw::game {

struct TGameFiles {
  // Every file, named by its path under the game's folder with "/" between folders
  // ("RPG_RT.ldb", "System/Royal.png").
  std::function<std::vector<std::string>()> list;
  // The bytes of a file named as the listing names it; raises when it cannot be read.
  std::function<std::vector<std::uint8_t>(const std::string& name)> read;
};

// The files of a folder on disk: those at its top and one folder down.
TGameFiles FolderFiles(const std::string& folder);

// A listing, searched without regard to letter case (ASCII letters).
class TFileIndex {
 public:
  TFileIndex() = default;
  explicit TFileIndex(const std::vector<std::string>& names);
  // The listed name of path, or nullopt.
  std::optional<std::string> Find(std::string_view path) const;
  // The listed name of FOLDER/STEM with the first of the extensions that is there.
  std::optional<std::string> FindPicture(std::string_view folder, std::string_view stem,
                                         const std::vector<std::string_view>& extensions) const;

 private:
  std::map<std::string, std::string> names_;  // lower-case form -> as listed
};

// The file names of the game's data.
inline constexpr std::string_view kDatabaseFile = "RPG_RT.ldb";
inline constexpr std::string_view kMapTreeFile = "RPG_RT.lmt";
// "Map0003.lmu" for map 3.
std::string MapFileName(int map);

// Which parts of a game to read: map names ("Map0003", any letter case), "common" and "troop";
// empty reads everything.
struct TGameParts {
  std::vector<std::string> only;
  bool Wants(std::string_view part) const;
  // True for the names that can stand in only: MapNNNN (four digits), common and troop.
  static bool IsPartName(std::string_view name);
};

struct TGame {
  TDatabase database;
  TMapTree tree;
  // The command lists read: the maps' in the tree's order, then the common events', then the
  // troop pages', as far as the parts asked for them.
  std::vector<TCommandList> lists;
  // Every message and choice: the maps in the tree's order, their events, pages and commands,
  // then the common events, then the troops.
  std::vector<TMessage> messages;
};

// Reads the database, the map tree and every map the tree lists (areas have no map file).
// Raises EGameError for a missing or damaged file.
TGame ReadGame(const TGameFiles& files, const TGameParts& parts = {});

}  // namespace pw::game
