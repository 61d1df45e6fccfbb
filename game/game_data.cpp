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

// A command's smallest form: code, indent, string length and parameter count, one byte each.
constexpr std::size_t kSmallestCommand = 4;

TCommand ReadCommand(TLcfReader& reader, std::int32_t code) {
  TCommand c;
  c.code = code;
  c.indent = reader.Int();
  c.text = reader.String(reader.Length());
  const std::size_t count = reader.Count(1);
  c.parameters.reserve(count);
  for (std::size_t i = 0; i < count; ++i) c.parameters.push_back(reader.Int());
  return c;
}

std::vector<TCommand> CommandsOf(TLcfReader& field) {
  std::vector<TCommand> commands;
  commands.reserve(field.Remaining() / kSmallestCommand);
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

void ReadTroops(TLcfReader& reader, std::vector<TCommandList>& lists) {
  ReadArray(reader, [&](int index, TLcfReader& item) {
    TMessage troop;
    troop.source = TSource::kTroop;
    troop.event = index;
    std::vector<TCommandList> pages;
    ReadRecord(item, [&](int id, TLcfReader& field) {
      if (id == kName) troop.eventName = StringField(field);
      if (id != kTroopPages) return;
      ReadArray(field, [&](int page, TLcfReader& pageItem) {
        TCommandList list;
        list.place.page = page;
        ReadRecord(pageItem, [&](int pageId, TLcfReader& pageField) {
          if (pageId == kTroopPageCommands) list.commands = CommandsOf(pageField);
        });
        pages.push_back(std::move(list));
      });
    });
    // The name may stand after the pages: the place is completed once the record is read.
    for (TCommandList& page : pages) {
      const int number = page.place.page;
      page.place = troop;
      page.place.page = number;
      lists.push_back(std::move(page));
    }
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

std::vector<TCommandList> ReadMapLists(std::span<const std::uint8_t> data, const std::string& name,
                                       const TMessage& place) {
  TLcfReader reader(data, name);
  reader.Header(kMapHeader);
  std::vector<TCommandList> lists;
  ReadRecord(
      reader,
      [&](int id, TLcfReader& field) {
        if (id != kMapEvents) return;
        ReadArray(field, [&](int index, TLcfReader& item) {
          TMessage event = place;
          event.event = index;
          std::vector<TCommandList> pages;
          ReadRecord(item, [&](int eventId, TLcfReader& eventField) {
            if (eventId == kName) event.eventName = StringField(eventField);
            if (eventId != kEventPages) return;
            ReadArray(eventField, [&](int page, TLcfReader& pageItem) {
              TCommandList list;
              list.place.page = page;
              ReadRecord(pageItem, [&](int pageId, TLcfReader& pageField) {
                if (pageId == kEventPageCommands) list.commands = CommandsOf(pageField);
              });
              pages.push_back(std::move(list));
            });
          });
          for (TCommandList& page : pages) {
            const int number = page.place.page;
            page.place = event;
            page.place.page = number;
            lists.push_back(std::move(page));
          }
        });
      },
      true);
  return lists;
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
  const TMessage& place = list.place;
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
