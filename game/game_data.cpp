#include "game/game_data.h"

#include <algorithm>

#include "game/errors.h"
#include "game/lcf_reader.h"

namespace pw::game {
namespace {

// Field ids, by the record they stand in.
namespace database {
inline constexpr int kActors = 0x0B;
inline constexpr int kTroops = 0x0F;
inline constexpr int kSystem = 0x16;
inline constexpr int kCommonEvents = 0x19;
}  // namespace database
inline constexpr int kName = 0x01;  // of actors, troops, common events, map entries and events
namespace system {
inline constexpr int kSkin = 0x13;
inline constexpr int kWallpaper = 0x47;
inline constexpr int kFont = 0x48;
}  // namespace system
inline constexpr int kTroopPages = 0x0B;
inline constexpr int kTroopPageCommands = 0x0C;
inline constexpr int kCommonEventCommands = 0x16;
inline constexpr int kMapEntryType = 0x04;
inline constexpr int kMapEvents = 0x51;
inline constexpr int kEventPages = 0x05;
inline constexpr int kEventPageCommands = 0x34;

constexpr std::string_view kDatabaseHeader = "LcfDataBase";
constexpr std::string_view kMapTreeHeader = "LcfMapTree";
constexpr std::string_view kMapHeader = "LcfMapUnit";

// The commands whose string and parameters the messages need.
bool Kept(std::int32_t code) {
  switch (code) {
    case command::kMessage:
    case command::kMessageLine:
    case command::kMessageOptions:
    case command::kFace:
    case command::kChoice:
    case command::kSkin: return true;
    default: return false;
  }
}

// A command; one the messages do not need is read through but keeps only its code and indent,
// which saves storing the tens of thousands of other commands a game holds.
TCommand ReadCommand(TLcfReader& reader, std::int32_t code) {
  TCommand c;
  c.code = code;
  c.indent = reader.Int();
  const bool kept = Kept(code);
  const std::size_t length = reader.Length();
  if (kept) c.text = reader.String(length);
  else reader.Bytes(length);
  const std::size_t count = reader.Count(1);
  if (kept) c.parameters.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::int32_t parameter = reader.Int();
    if (kept) c.parameters.push_back(parameter);
  }
  return c;
}

std::vector<TCommand> CommandsOf(TLcfReader& field) {
  std::vector<TCommand> commands;
  // The list ends with code 0 (and the three zeros of an empty command after it); a list that
  // simply ends with its field ends there too.
  while (!field.AtEnd()) {
    const std::int32_t code = field.Int();
    if (code == 0) break;
    commands.push_back(ReadCommand(field, code));
  }
  return commands;
}

std::string StringField(TLcfReader& field) { return field.String(field.Remaining()); }

void ReadSystem(TLcfReader& reader, TDatabase& db) {
  ReadRecord(reader, [&](int id, TLcfReader& field) {
    if (id == system::kSkin) db.skin = StringField(field);
    else if (id == system::kWallpaper) db.wallpaper = IntField(field) == 1 ? 1 : 0;
    else if (id == system::kFont) db.font = IntField(field) == 1 ? 1 : 0;
  });
}

void ReadActors(TLcfReader& reader, TDatabase& db) {
  ReadArray(reader, [&](int index, TLcfReader& item) {
    ReadRecord(item, [&](int id, TLcfReader& field) {
      if (id == kName) db.actorNames[index] = StringField(field);
    });
  });
}

void ReadCommonEvents(TLcfReader& reader, std::vector<TCommandList>& lists) {
  ReadArray(reader, [&](int index, TLcfReader& item) {
    TCommandList list;
    list.place.source = TSource::kCommon;
    list.place.event = index;
    ReadRecord(item, [&](int id, TLcfReader& field) {
      if (id == kName) list.place.eventName = StringField(field);
      else if (id == kCommonEventCommands) list.commands = CommandsOf(field);
    });
    lists.push_back(std::move(list));
  });
}

// The pages of an event or troop: the command list in field `commands` of each page, with the
// event's place once its whole record is read (its name may stand after its pages).
void ReadPages(TLcfReader& item, TPlace place, int pagesField, int commandsField, std::vector<TCommandList>& lists) {
  const std::size_t first = lists.size();
  ReadRecord(item, [&](int id, TLcfReader& field) {
    if (id == kName) place.eventName = StringField(field);
    if (id != pagesField) return;
    ReadArray(field, [&](int page, TLcfReader& pageItem) {
      TCommandList& list = lists.emplace_back();
      list.place.page = page;
      ReadRecord(pageItem, [&](int pageId, TLcfReader& pageField) {
        if (pageId == commandsField) list.commands = CommandsOf(pageField);
      });
    });
  });
  for (std::size_t i = first; i < lists.size(); ++i) {
    const int page = lists[i].place.page;
    lists[i].place = place;
    lists[i].place.page = page;
  }
}

void ReadTroops(TLcfReader& reader, std::vector<TCommandList>& lists) {
  ReadArray(reader, [&](int index, TLcfReader& item) {
    TPlace troop;
    troop.source = TSource::kTroop;
    troop.event = index;
    ReadPages(item, troop, kTroopPages, kTroopPageCommands, lists);
  });
}

}  // namespace

std::vector<TCommand> ReadCommands(std::span<const std::uint8_t> data, const std::string& name) {
  TLcfReader reader(data, name);
  return CommandsOf(reader);
}

TDatabase ReadDatabase(std::span<const std::uint8_t> data, const std::string& name) {
  TLcfReader reader(data, name);
  reader.Header(kDatabaseHeader);
  TDatabase db;
  ReadRecord(
      reader,
      [&](int id, TLcfReader& field) {
        if (id == database::kActors) ReadActors(field, db);
        else if (id == database::kTroops) ReadTroops(field, db.troopPages);
        else if (id == database::kSystem) ReadSystem(field, db);
        else if (id == database::kCommonEvents) ReadCommonEvents(field, db.commonEvents);
      },
      true);
  return db;
}

TMapTree ReadMapTree(std::span<const std::uint8_t> data, const std::string& name) {
  TLcfReader reader(data, name);
  reader.Header(kMapTreeHeader);
  TMapTree tree;
  ReadArray(reader, [&](int index, TLcfReader& item) {
    TMapEntry entry;
    entry.id = index;
    ReadRecord(item, [&](int id, TLcfReader& field) {
      if (id == kName) entry.name = StringField(field);
      else if (id == kMapEntryType) entry.type = IntField(field);
    });
    tree.maps.push_back(std::move(entry));
  });
  const std::size_t count = reader.Count(1);
  tree.order.reserve(count);
  for (std::size_t i = 0; i < count; ++i) tree.order.push_back(reader.Int());
  return tree;
}

std::vector<TCommandList> ReadMapLists(std::span<const std::uint8_t> data, const std::string& name, int map) {
  TLcfReader reader(data, name);
  reader.Header(kMapHeader);
  std::vector<TCommandList> lists;
  ReadRecord(
      reader,
      [&](int id, TLcfReader& field) {
        if (id != kMapEvents) return;
        ReadArray(field, [&](int index, TLcfReader& item) {
          TPlace event;
          event.source = TSource::kMap;
          event.map = map;
          event.event = index;
          ReadPages(item, event, kEventPages, kEventPageCommands, lists);
        });
      },
      true);
  return lists;
}

const std::string& TMapTree::NameOf(int id) const {
  static const std::string kNone;
  for (const TMapEntry& entry : maps)
    if (entry.id == id) return entry.name;
  return kNone;
}

std::vector<std::string> ChoiceOptions(const std::string& text) {
  std::vector<std::string> options;
  std::size_t from = 0;
  for (;;) {
    const std::size_t slash = text.find('/', from);
    options.push_back(text.substr(from, slash - from));
    if (slash == std::string::npos) return options;
    from = slash + 1;
  }
}

std::vector<TMessage> ListMessages(const TCommandList& list, const TWindowState& start) {
  const std::vector<TCommand>& commands = list.commands;
  const auto shown = [](const TCommand& c) { return c.code == command::kMessage || c.code == command::kChoice; };
  if (std::none_of(commands.begin(), commands.end(), shown)) return {};
  TMessage place;
  static_cast<TPlace&>(place) = list.place;
  std::vector<TMessage> out;
  TWindowState state = start;
  std::size_t lastLine = SIZE_MAX;  // the index of the last line of the last message
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const TCommand& c = commands[i];
    switch (c.code) {
      case command::kMessage: {
        TMessage m = place;
        m.command = static_cast<int>(i);
        m.kind = TKind::kMessage;
        m.state = state;
        m.lines.push_back(c.text);
        while (i + 1 < commands.size() && commands[i + 1].code == command::kMessageLine) m.lines.push_back(commands[++i].text);
        lastLine = i;
        out.push_back(std::move(m));
        break;
      }
      case command::kMessageOptions:
        state.transparent = c.Parameter(0) == 1;
        state.position = std::clamp<std::int32_t>(c.Parameter(1), kTop, kBottom);
        break;
      case command::kFace:
        if (c.text.empty()) state.face.reset();
        else state.face = TFace{c.text, c.Parameter(0), c.Parameter(1) == 1, c.Parameter(2) == 1};
        break;
      case command::kSkin:
        state.skin = c.text;
        state.wallpaper = c.Parameter(0) == 1 ? 1 : 0;
        break;
      case command::kChoice: {
        TMessage m = place;
        m.command = static_cast<int>(i);
        m.kind = TKind::kChoice;
        m.state = state;
        m.lines = ChoiceOptions(c.text);
        m.afterMessage = lastLine != SIZE_MAX && lastLine + 1 == i;
        out.push_back(std::move(m));
        break;
      }
      default: break;
    }
  }
  return out;
}

}  // namespace pw::game
