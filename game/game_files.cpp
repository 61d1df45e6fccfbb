#include "game/game_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "game/errors.h"

namespace pw::game {
namespace {

constexpr int kArea = 2;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The bytes of a file the index finds; raises naming what is missing otherwise.
std::vector<std::uint8_t> ReadListed(const TGameFiles& files, const TFileIndex& index, std::string_view name) {
  const std::optional<std::string> listed = index.Find(name);
  if (!listed) throw EGameError(FormatMessage(game_msg::kMissingFile, {std::string(name)}));
  return files.read(*listed);
}

}  // namespace

TFileIndex::TFileIndex(const std::vector<std::string>& names) {
  // The first of names that differ only in case wins, as listed (sorted) order gives it.
  for (const std::string& name : names) names_.emplace(Lower(name), name);
}

std::optional<std::string> TFileIndex::Find(std::string_view path) const {
  const auto it = names_.find(Lower(path));
  if (it == names_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> TFileIndex::FindPicture(std::string_view folder, std::string_view stem,
                                                   const std::vector<std::string_view>& extensions) const {
  for (const std::string_view extension : extensions) {
    std::string path(folder);
    path.append("/").append(stem).append(".").append(extension);
    if (auto found = Find(path)) return found;
  }
  return std::nullopt;
}

std::string MapFileName(int map) {
  char name[32];
  std::snprintf(name, sizeof name, "Map%04d.lmu", map);
  return name;
}

bool TGameParts::Wants(std::string_view part) const {
  if (only.empty()) return true;
  const std::string lower = Lower(part);
  return std::any_of(only.begin(), only.end(), [&](const std::string& name) { return Lower(name) == lower; });
}

bool TGameParts::IsPartName(std::string_view name) {
  const std::string lower = Lower(name);
  if (lower == "common" || lower == "troop") return true;
  return lower.size() == 7 && lower.starts_with("map") &&
         std::all_of(lower.begin() + 3, lower.end(), [](unsigned char c) { return std::isdigit(c); });
}

TGame ReadGame(const TGameFiles& files, const TGameParts& parts) {
  const TFileIndex index(files.list());
  TGame game;
  game.database = ReadDatabase(ReadListed(files, index, kDatabaseFile), std::string(kDatabaseFile));
  game.tree = ReadMapTree(ReadListed(files, index, kMapTreeFile), std::string(kMapTreeFile));
  TWindowState start;
  start.skin = game.database.skin;
  start.wallpaper = game.database.wallpaper;

  std::map<int, const TMapEntry*> entries;
  for (const TMapEntry& entry : game.tree.maps) entries.emplace(entry.id, &entry);
  std::map<int, bool> seen;
  for (const int id : game.tree.order) {
    if (!seen.emplace(id, true).second) continue;  // a map listed twice is read once
    const auto it = entries.find(id);
    // The tree's root (the game itself) and areas have no map file.
    if (id <= 0 || it == entries.end() || it->second->type == 0 || it->second->type == kArea) continue;
    const std::string file = MapFileName(id);
    if (!parts.Wants(file.substr(0, file.size() - 4))) continue;
    const std::optional<std::string> listed = index.Find(file);
    if (!listed) throw EGameError(FormatMessage(game_msg::kMissingMap, {std::to_string(id), file}));
    std::vector<TCommandList> lists = ReadMapLists(files.read(*listed), file, id);
    game.lists.insert(game.lists.end(), std::make_move_iterator(lists.begin()), std::make_move_iterator(lists.end()));
  }
  if (parts.Wants("common")) {
    game.lists.insert(game.lists.end(), game.database.commonEvents.begin(), game.database.commonEvents.end());
  }
  if (parts.Wants("troop")) {
    game.lists.insert(game.lists.end(), game.database.troopPages.begin(), game.database.troopPages.end());
  }
  for (const TCommandList& list : game.lists) {
    std::vector<TMessage> messages = ListMessages(list, start);
    game.messages.insert(game.messages.end(), std::make_move_iterator(messages.begin()),
                         std::make_move_iterator(messages.end()));
  }
  return game;
}

}  // namespace pw::game
