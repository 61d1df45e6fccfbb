// What a game's data files hold that its message windows need: the database (skin, wallpaper,
// font, actor names, common events, troops), the map tree and the maps' events, and the
// messages and choices of their event commands with the face, window options and skin that
// are in force at each.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pw::game {

// Where the windows' state starts in every command list.
inline constexpr int kTop = 0;
inline constexpr int kMiddle = 1;
inline constexpr int kBottom = 2;

// Event command codes.
namespace command {
inline constexpr int kMessage = 10110;       // a message's first line
inline constexpr int kMessageLine = 20110;   // each further line
inline constexpr int kMessageOptions = 10120;
inline constexpr int kFace = 10130;
inline constexpr int kChoice = 10140;
inline constexpr int kSkin = 10680;
}  // namespace command

// One event command: its code, indent, string (in the game's code page) and parameters. The
// readers keep the string and parameters of the commands in `command` only; others have
// neither.
struct TCommand {
  std::int32_t code = 0;
  std::int32_t indent = 0;
  std::string text;
  std::vector<std::int32_t> parameters;

  // Parameter i, or 0 when the command has fewer.
  std::int32_t Parameter(std::size_t i) const { return i < parameters.size() ? parameters[i] : 0; }
};

struct TFace {
  std::string file;  // a face sheet in FaceSet/, without extension
  int index = 0;
  bool right = false;
  bool flip = false;
  bool operator==(const TFace&) const = default;
};

// The window state that carries on through a command list.
struct TWindowState {
  std::optional<TFace> face;
  int position = kBottom;
  bool transparent = false;
  std::string skin;   // a file in System/, without extension
  int wallpaper = 0;  // 0 stretch, 1 tile
};

enum class TSource { kMap, kCommon, kTroop };
enum class TKind { kMessage, kChoice };

// Where a command list stands. A map's name is its entry's in the map tree.
struct TPlace {
  TSource source = TSource::kMap;
  int map = 0;                  // the map's number, for map events
  int event = 0;                // the event, common event or troop number
  std::string eventName;        // its name, in the game's code page
  int page = 0;                 // the page's number; 0 for common events
};

// A message (its lines) or a choice (its options), where it stands and the state it is shown in.
struct TMessage : TPlace {
  int command = 0;              // the index of its first command in its list
  TKind kind = TKind::kMessage;
  std::vector<std::string> lines;  // the text as stored, codes intact; a choice's options
  bool afterMessage = false;       // a choice whose command follows a message's last line
  TWindowState state;
};

// A command list and where it stands.
struct TCommandList {
  TPlace place;
  std::vector<TCommand> commands;
};

struct TDatabase {
  std::string skin;
  int wallpaper = 0;  // 0 stretch, 1 tile
  int font = 0;       // 0 RMG2000, 1 RM2000
  std::map<int, std::string> actorNames;
  std::vector<TCommandList> commonEvents;  // one list each
  std::vector<TCommandList> troopPages;    // one list a page, troop by troop
};

struct TMapEntry {
  int id = 0;
  std::string name;
  int type = 0;  // 0 the game itself, 1 a map, 2 an area
};

struct TMapTree {
  std::vector<TMapEntry> maps;  // as stored
  std::vector<int> order;       // the ids in the tree's order

  // The name of map id; empty when the tree has none.
  const std::string& NameOf(int id) const;
};

// The readers raise EGameError naming name and the offset for a damaged file.
std::vector<TCommand> ReadCommands(std::span<const std::uint8_t> data, const std::string& name);
TDatabase ReadDatabase(std::span<const std::uint8_t> data, const std::string& name);
TMapTree ReadMapTree(std::span<const std::uint8_t> data, const std::string& name);
// The command list of every event page of map number `map`, in the order of events and pages.
std::vector<TCommandList> ReadMapLists(std::span<const std::uint8_t> data, const std::string& name, int map);

// The messages and choices of one command list, each with the state in force, starting from
// start (the database's skin and wallpaper: every list starts afresh).
std::vector<TMessage> ListMessages(const TCommandList& list, const TWindowState& start);

// The options of a choice, as its text holds them joined by "/".
std::vector<std::string> ChoiceOptions(const std::string& text);

}  // namespace pw::game
