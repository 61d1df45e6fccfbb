// Writes the seed corpus of the game readers' fuzz target (fuzz/corpus/game/) from games
// written byte by byte here: run by hand, its files are kept in the project.
//   pw_make_game_corpus fuzz/corpus/game
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/game/game_builder.h"

namespace {

using namespace pw::gametest;

void Write(const std::filesystem::path& folder, const char* name, char reader, const Bytes& file) {
  std::ofstream(folder / name, std::ios::binary) << reader << file;
}

Bytes Xyz() {
  Bytes raw;
  for (int i = 0; i < 256; ++i) raw += {static_cast<char>(i), static_cast<char>(i), static_cast<char>(i)};
  for (int i = 0; i < 6; ++i) raw += static_cast<char>(i);
  uLongf size = compressBound(raw.size());
  Bytes packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  packed.resize(size);
  return Bytes("XYZ1\x03\x00\x02\x00", 8) + packed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pw_make_game_corpus FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::filesystem::create_directories(folder);
  const Bytes list = Commands({Face("Face", 1, true, true), Options(true, 0), Message({"One \\N[1]", "two \\V[2]"}),
                               Choice("Yes/No"), Skin("Dark", 1), NoFace(), Message({"three"}), Command(20110, "stray"),
                               Command(10130, "", {-1, 2147483647})});
  Database db;
  db.actors = {{1, "Ann"}, {2, "Bo"}};
  db.commonEvents = {{1, list}};
  db.troops = {{1, {list, Commands({Choice("Fight/Run")})}}};
  Write(folder, "database", 0, DatabaseFile(db));
  Write(folder, "map_tree", 1, MapTreeFile({{0, "Game", 0}, {1, "Town"}, {2, "Area", 2}}, {0, 2, 1}));
  Write(folder, "map", 2, MapFile({{1, Event("A", {list, Commands({Message({"page 2"})})})}, {5, Event("B", {list})}}));
  Write(folder, "commands", 3, list);
  Write(folder, "catalogue", 4,
        "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n#, fuzzy\nmsgctxt \"actors.1.name\"\n"
        "msgid \"Ann\"\nmsgstr \"Anne\"\n\nmsgid \"One\\n\"\n\"two\"\nmsgstr \"\\101\\x42\\t\"\n");
  Write(folder, "xyz", 5, Xyz());
  return 0;
}
