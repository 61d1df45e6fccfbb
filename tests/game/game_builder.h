// Writes a game's data files byte by byte from the format's rules, for tests: numbers of 7 bits
// a byte, (id, length, bytes) fields ended by 0, arrays of indexed records, and event commands.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/game_files.h"

namespace pw::gametest {

using Bytes = std::string;

// 7 bits a byte, most significant first, the high bit on every byte but the last; negative
// numbers as their 32-bit two's complement, which takes 5 bytes.
inline Bytes Int(std::int32_t value) {
  std::uint32_t v = static_cast<std::uint32_t>(value);
  Bytes out(1, static_cast<char>(v & 0x7F));
  for (v >>= 7; v != 0; v >>= 7) out.insert(out.begin(), static_cast<char>(0x80 | (v & 0x7F)));
  return out;
}

inline Bytes Str(std::string_view text) { return Int(static_cast<std::int32_t>(text.size())) + Bytes(text); }

inline Bytes Field(int id, const Bytes& data) { return Int(id) + Str(data); }
inline Bytes IntField(int id, std::int32_t value) { return Field(id, Int(value)); }

// Fields ended by the id 0.
inline Bytes Record(const std::vector<Bytes>& fields) {
  Bytes out;
  for (const Bytes& f : fields) out += f;
  return out + Bytes(1, '\0');
}

// A count, then each item's index and record.
inline Bytes Array(const std::vector<std::pair<int, Bytes>>& items) {
  Bytes out = Int(static_cast<std::int32_t>(items.size()));
  for (const auto& [index, record] : items) out += Int(index) + record;
  return out;
}

inline Bytes Command(int code, const Bytes& text = "", const std::vector<std::int32_t>& parameters = {}, int indent = 0) {
  Bytes out = Int(code) + Int(indent) + Str(text) + Int(static_cast<std::int32_t>(parameters.size()));
  for (std::int32_t p : parameters) out += Int(p);
  return out;
}

// A command list as the files end it: code 0 and the three zeros of an empty command.
inline Bytes Commands(const std::vector<Bytes>& commands) {
  Bytes out;
  for (const Bytes& c : commands) out += c;
  return out + Bytes(4, '\0');
}

// Commands of the game's message windows.
inline Bytes Message(const std::vector<Bytes>& lines) {
  Bytes out = Command(10110, lines.at(0));
  for (std::size_t i = 1; i < lines.size(); ++i) out += Command(20110, lines[i]);
  return out;
}
inline Bytes Options(bool transparent, int position) { return Command(10120, "", {transparent ? 1 : 0, position, 0, 0}); }
inline Bytes Face(const Bytes& sheet, int index = 0, bool right = false, bool flip = false) {
  return Command(10130, sheet, {index, right ? 1 : 0, flip ? 1 : 0});
}
inline Bytes NoFace() { return Command(10130, "", {0, 0, 0}); }
inline Bytes Skin(const Bytes& name, int wallpaper) { return Command(10680, name, {wallpaper}); }
inline Bytes Choice(const Bytes& options) { return Command(10140, options, {0}); }
inline Bytes Wait() { return Command(11410, "", {10}); }

inline Bytes Header(std::string_view text) { return Str(text); }

// An event with its pages, each a command list (field 0x34 of a page).
inline Bytes Event(const Bytes& name, const std::vector<Bytes>& pages) {
  std::vector<std::pair<int, Bytes>> items;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    items.push_back({static_cast<int>(i) + 1, Record({IntField(0x21, 0), Field(0x34, pages[i])})});
  }
  return Record({Field(0x01, name), IntField(0x02, 3), IntField(0x03, 4), Field(0x05, Array(items))});
}

inline Bytes MapFile(const std::vector<std::pair<int, Bytes>>& events) {
  return Header("LcfMapUnit") + Record({IntField(0x01, 1), IntField(0x02, 20), IntField(0x03, 15), Field(0x51, Array(events))});
}

struct MapInfo {
  int id;
  Bytes name;
  int type = 1;  // 0 the game, 1 a map, 2 an area
};

inline Bytes MapTreeFile(const std::vector<MapInfo>& maps, const std::vector<int>& order) {
  std::vector<std::pair<int, Bytes>> items;
  for (const MapInfo& m : maps) items.push_back({m.id, Record({Field(0x01, m.name), IntField(0x02, 0), IntField(0x04, m.type)})});
  Bytes out = Header("LcfMapTree") + Array(items) + Int(static_cast<std::int32_t>(order.size()));
  for (int id : order) out += Int(id);
  return out + Int(0) + Record({});  // the active node and the start position
}

struct Database {
  std::vector<std::pair<int, Bytes>> actors;             // index, name
  Bytes skin = "System";
  int wallpaper = 0;
  int font = 0;
  std::vector<std::pair<int, Bytes>> commonEvents;       // index, command list
  std::vector<std::pair<int, std::vector<Bytes>>> troops;  // index, page command lists
};

inline Bytes DatabaseFile(const Database& db) {
  std::vector<std::pair<int, Bytes>> actors;
  for (const auto& [i, name] : db.actors) actors.push_back({i, Record({Field(0x01, name), Field(0x02, "title")})});
  std::vector<std::pair<int, Bytes>> troops;
  for (const auto& [i, pages] : db.troops) {
    std::vector<std::pair<int, Bytes>> items;
    for (std::size_t p = 0; p < pages.size(); ++p) items.push_back({static_cast<int>(p) + 1, Record({Field(0x0C, pages[p])})});
    troops.push_back({i, Record({Field(0x01, "Troop " + std::to_string(i)), Field(0x0B, Array(items))})});
  }
  std::vector<std::pair<int, Bytes>> common;
  for (const auto& [i, list] : db.commonEvents) {
    common.push_back({i, Record({Field(0x01, "Common " + std::to_string(i)), IntField(0x0B, 5), Field(0x16, list)})});
  }
  // The outermost record has no 0 at its end: it ends with the file.
  return Header("LcfDataBase") + Field(0x0B, Array(actors)) + Field(0x0F, Array(troops)) +
         Field(0x16, Record({Field(0x13, db.skin), IntField(0x47, db.wallpaper), IntField(0x48, db.font)})) +
         Field(0x19, Array(common));
}

// Files held in memory, listed in the order of their names.
inline game::TGameFiles MemoryFiles(const std::map<std::string, Bytes>& files) {
  game::TGameFiles out;
  out.list = [files] {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) names.push_back(name);
    return names;
  };
  out.read = [files](const std::string& name) {
    const Bytes& bytes = files.at(name);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  };
  return out;
}

inline std::span<const std::uint8_t> Span(const Bytes& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace pw::gametest
