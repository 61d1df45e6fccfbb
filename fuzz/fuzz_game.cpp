// libFuzzer target of a game's readers: the first byte chooses the reader (the database, the map
// tree, a map, a command list, a gettext catalogue or an XYZ picture), the rest is its file. Any
// input reads or fails with the game library's error; what a map or database holds reads into
// messages, every one with at least one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "game/errors.h"
#include "game/game_data.h"
#include "game/gettext.h"
#include "game/xyz.h"

namespace {

// XYZ pictures of at most this many pixels: inflating larger ones is most of a run.
constexpr std::size_t kMaxXyzPixels = 64 * 1024;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Messages(const std::vector<pw::game::TCommandList>& lists) {
  for (const pw::game::TCommandList& list : lists)
    for (const pw::game::TMessage& m : pw::game::ListMessages(list, {})) Check(!m.lines.empty());
}

void Read(std::uint8_t reader, std::span<const std::uint8_t> file) {
  using namespace pw::game;
  switch (reader % 6) {
    case 0: {
      const TDatabase db = ReadDatabase(file, "RPG_RT.ldb");
      Messages(db.commonEvents);
      Messages(db.troopPages);
      break;
    }
    case 1: ReadMapTree(file, "RPG_RT.lmt"); break;
    case 2: Messages(ReadMapLists(file, "Map0001.lmu", 1)); break;
    case 3: {
      TCommandList list;
      list.commands = ReadCommands(file, "list");
      Messages({list});
      break;
    }
    case 4: TCatalogue::Read(std::string_view(reinterpret_cast<const char*>(file.data()), file.size()), "x.po"); break;
    case 5: {
      if (file.size() >= 8 && static_cast<std::size_t>(file[4] | file[5] << 8) * (file[6] | file[7] << 8) > kMaxXyzPixels) break;
      const pw::TBitmap picture = ReadXyz(file, "x.xyz");
      Check(picture.GetWidth() > 0 && picture.GetHeight() > 0);
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  try {
    Read(data[0], std::span<const std::uint8_t>(data + 1, size - 1));
  } catch (const pw::game::EGameError&) {
  }
  return 0;
}
