// panelwright-cli game, run as a program on games the tests write and on the free test game
// (../shared/games/testgame-2000, skipped where absent).
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>
#include <string>
#include <vector>

#include "io/load_picture.h"
#include "tests/cli/cli_fixture.h"
#include "tests/compose/test_pictures.h"
#include "tests/game/game_builder.h"
#include "toolkit/bitmap.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using clitest::Outcome;
using namespace pw::gametest;

constexpr const char* kTestGame = "../shared/games/testgame-2000";

void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

class GameCli : public clitest::CliTest {
 protected:
  Outcome Game(std::vector<std::string> args) {
    args.insert(args.begin(), "game");
    return Run(args);
  }
  Outcome Compose(std::vector<std::string> args) {
    args.insert(args.begin(), "compose");
    return Run(args);
  }
  // A game in game/: map 1 holds a message with a face and a choice in its window, one that
  // does not fit, and one on the skin "Other", which the folder lacks.
  void WriteGame() {
    Database db;
    db.actors = {{1, "Ann"}};
    db.skin = "Skin";
    db.commonEvents = {{2, Commands({Message({"Common"})})}};
    WriteFile(folder_ / "game/RPG_RT.ldb", DatabaseFile(db));
    WriteFile(folder_ / "game/rpg_rt.lmt", MapTreeFile({{0, "Tiny", 0}, {1, "Town"}}, {0, 1}));
    WriteFile(folder_ / "game/MAP0001.LMU",
              MapFile({{3, Event("Guard", {Commands({Face("Faces", 1), Message({"Hi \\N[1],", "\\C[2]welcome!"}), Choice("Yes/No"),
                                                     NoFace(), Message({std::string(60, 'w')}), Skin("Other", 0),
                                                     Message({"other skin"})})})}}));
    fs::create_directories(folder_ / "game/System");
    fs::create_directories(folder_ / "game/FaceSet");
    testing::CoordinateSkin().SaveToFile((folder_ / "game/System/skin.bmp").string());
    testing::Picture(192, 96, [](int x, int y) { return RGB(x, y, 0x40); }).SaveToFile((folder_ / "game/FaceSet/faces.bmp").string());
  }
  static TBitmap Load(const fs::path& path) { return io::LoadPicture(path.string()); }
  static int Differences(const TBitmap& a, const TBitmap& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return -1;
    int n = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
      for (int x = 0; x < a.GetWidth(); ++x) n += a.GetPixelColor(x, y) != b.GetPixelColor(x, y);
    return n;
  }
};

TEST_F(GameCli, UsageErrorsExitWithTwo) {
  WriteGame();
  const std::vector<std::vector<std::string>> cases = {
      {"--list"},                                       // no folder
      {"game", "other", "--list"},                      // two folders
      {"game"},                                         // nothing to do
      {"game", "--list", "--check"},
      {"game", "--list", "--screen"},                   // --screen and --format need -o
      {"game", "--check", "--format", "gif"},
      {"game", "-o", "out", "--format", "jpeg"},
      {"game", "-o", "out", "--jobs", "0"},
      {"game", "-o", "out", "--jobs", "257"},
      {"game", "--list", "--only", "Map3"},
      {"game", "--list", "--only", "battle"},
      {"game", "--list", "--only", "Map03"},
      {"game", "--list", "--encoding", "latin1"},
      {"game", "--list", "--letters", "greek"},
      {"game", "--list", "--var", "x=1"},
      {"game", "--list", "--wide"},
      {"game", "--list", "-o"},
  };
  for (const auto& args : cases) {
    const Outcome o = Game(args);
    EXPECT_EQ(o.exitCode, 2) << ::testing::PrintToString(args) << o.err;
    EXPECT_TRUE(o.err.starts_with("panelwright-cli: ")) << o.err;
    EXPECT_TRUE(o.out.empty());
  }
  EXPECT_FALSE(fs::exists(folder_ / "out"));
}

TEST_F(GameCli, FailuresExitWithOneAndNameWhatFailed) {
  WriteGame();
  WriteFile(folder_ / "cut/RPG_RT.ldb", clitest::ReadText(folder_ / "game/RPG_RT.ldb"));
  WriteFile(folder_ / "cut/RPG_RT.lmt", clitest::ReadText(folder_ / "game/rpg_rt.lmt"));
  const std::string map = clitest::ReadText(folder_ / "game/MAP0001.LMU");
  WriteFile(folder_ / "cut/Map0001.lmu", map.substr(0, 30));
  WriteFile(folder_ / "po/Map0001.po", "msgid \"Common\"\nmsgstr \"x\" y\n");
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const Case cases[] = {
      {{"missing", "--list"}, "panelwright-cli: missing: the game is not a folder\n"},
      // The events' field starts at byte 20: its length, at 21, claims more than the 7 bytes left.
      {{"cut", "--check"}, "panelwright-cli: Map0001.lmu is damaged at byte 21: a length of 189 bytes runs past the 7 bytes left\n"},
      {{"game", "--check", "--translation", "po"}, "panelwright-cli: Map0001.po line 2: text follows a string's closing quote\n"},
      {{"game", "--list", "--translation", "none"}, "panelwright-cli: none: --translation is not a folder\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = Game(c.args);
    EXPECT_EQ(o.exitCode, 1) << c.args[0];
    EXPECT_EQ(o.err, c.error);
  }
}

TEST_F(GameCli, CheckExitsWithThreeWhenALineDoesNotFit) {
  WriteGame();
  const Outcome o = Game({"game", "--check"});
  EXPECT_EQ(o.exitCode, 3) << o.err;
  EXPECT_EQ(o.out,
            "Map0001.lmu (Town), event 3 (Guard), page 1, command 5: Line 1 is 360 pixels wide, 56 more than the 304 it has.\n"
            "1 of 5 messages and choices do not fit.\n");
  const Outcome fits = Game({"game", "--check", "--only", "common"});
  EXPECT_EQ(fits.exitCode, 0) << fits.err;
  EXPECT_EQ(fits.out, "All 1 messages and choices fit.\n");
  // A translation that shortens the line makes it fit.
  WriteFile(folder_ / "po/MAP0001.PO", "msgid \"" + std::string(60, 'w') + "\"\nmsgstr \"short\"\n");
  const Outcome translated = Game({"game", "--check", "--translation", "po"});
  EXPECT_EQ(translated.exitCode, 0) << translated.err;
}

TEST_F(GameCli, ListWritesOneJsonLineForEachMessageAndChoice) {
  WriteGame();
  const Outcome all = Game({"game", "--list"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < all.out.size();) {
    const std::size_t end = all.out.find('\n', start);
    lines.push_back(all.out.substr(start, end - start));
    start = end + 1;
  }
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1],
            R"({"source":"Map0001.lmu","map":"Town","event":3,"name":"Guard","page":1,"command":3,"kind":"choice",)"
            R"("lines":["Yes","No"],"face":{"file":"Faces","index":1,"right":false,"flip":false},"skin":"Skin",)"
            R"("wallpaper":"stretch","position":"bottom","transparent":false,"translated":false,"fuzzy":false,)"
            R"("translation":null,"picture":"Map0001-EV0003-P01-C0001","problems":[]})");
  EXPECT_TRUE(lines[4].starts_with(R"({"source":"common")"));
  const Outcome common = Game({"game", "--list", "--only", "COMMON"});
  EXPECT_EQ(common.out, lines[4] + "\n");
}

TEST_F(GameCli, PicturesAndTheirIndexGoIntoTheFolderAsComposeDrawsThem) {
  WriteGame();
  WriteFile(folder_ / "out/notes.txt", "mine");
  WriteFile(folder_ / "out/Map0001-EV0003-P01-C0001.bmp", "old");
  const Outcome o = Game({"game", "-o", "out", "--format", "bmp", "--jobs", "2"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  // The missing skin is named once; its window is drawn with the sample skin.
  EXPECT_EQ(o.err, "panelwright-cli: System/Other is not among the game's pictures (.png, .bmp or .xyz): its windows are "
                   "drawn with the sample skin\n");
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder_ / "out")) names.insert(entry.path().filename().string());
  // Commands: the face, two lines, the choice, no face, the long line, the skin, its message.
  EXPECT_EQ(names, (std::set<std::string>{"Common0002-C0000.bmp", "Map0001-EV0003-P01-C0001.bmp", "Map0001-EV0003-P01-C0005.bmp",
                                          "Map0001-EV0003-P01-C0007.bmp", "index.html", "notes.txt"}));
  EXPECT_EQ(clitest::ReadText(folder_ / "out/notes.txt"), "mine");
  EXPECT_NE(clitest::ReadText(folder_ / "out/index.html").find("<title>The messages of Tiny</title>"), std::string::npos);

  // The window of the message with a face is compose's window with the same options.
  const Outcome composed = Compose({"--system", "game/System/skin.bmp", "--face", "game/FaceSet/faces.bmp:1", "--layout", "game",
                                    "--game-codes", "--name", "1=Ann", "--text", "Hi \\N[1],\n\\C[2]welcome!", "-o", "c.bmp"});
  ASSERT_EQ(composed.exitCode, 0) << composed.err;
  const TBitmap message = Load(folder_ / "out/Map0001-EV0003-P01-C0001.bmp");
  ASSERT_EQ(message.GetWidth(), 320);
  ASSERT_EQ(message.GetHeight(), 80);
  // The choice's options are the only difference: in rows 42..71, right of the face.
  const TBitmap alone = Load(folder_ / "c.bmp");
  int outside = 0, inside = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool differs = message.GetPixelColor(x, y) != alone.GetPixelColor(x, y);
      (y >= 42 && y < 72 && x >= 80 ? inside : outside) += differs;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(inside, 0);
  // The long line's window has no face, since it was cleared.
  ASSERT_EQ(Compose({"--system", "game/System/skin.bmp", "--layout", "game", "--text", std::string(60, 'w'), "-o", "w.bmp"}).exitCode, 0);
  EXPECT_EQ(Differences(Load(folder_ / "out/Map0001-EV0003-P01-C0005.bmp"), Load(folder_ / "w.bmp")), 0);
}

TEST_F(GameCli, FormatsAndTheScreen) {
  WriteGame();
  struct Case {
    std::vector<std::string> options;
    std::string name;
    std::string start;  // the file's first bytes
    bool animated;      // an animated PNG has its animation control chunk
  };
  const Case cases[] = {
      {{}, "Common0002-C0000.png", "\x89PNG", false},
      {{"--format", "gif"}, "Common0002-C0000.gif", "GIF89a", false},
      {{"--format", "apng"}, "Common0002-C0000.png", "\x89PNG", true},
      {{"--screen", "--format", "bmp"}, "Common0002-C0000.bmp", "BM", false},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder_ / "out");
    std::vector<std::string> args = {"game", "--only", "common", "-o", "out"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome o = Game(args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::string file = clitest::ReadText(folder_ / "out" / c.name);
    EXPECT_TRUE(file.starts_with(c.start)) << c.name;
    EXPECT_EQ(file.find("acTL") != std::string::npos, c.animated) << c.name;
  }
  const TBitmap screen = Load(folder_ / "out/Common0002-C0000.bmp");
  EXPECT_EQ(screen.GetWidth(), 320);
  EXPECT_EQ(screen.GetHeight(), 240);
  EXPECT_EQ(screen.GetPixelColor(100, 20), clBlack);  // above the window: the skin's transparent colour
}

// --- The free test game ---

TEST_F(GameCli, TheTestGamesMessagesAndWindowsAsComposeDrawsThem) {
  const fs::path game = fs::current_path() / kTestGame;
  if (!fs::is_directory(game)) GTEST_SKIP() << kTestGame << " is absent";
  const Outcome list = Game({game.string(), "--encoding", "cp1252", "--list"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  std::size_t messages = 0;
  for (std::size_t at = list.out.find("\"kind\":\"message\""); at != std::string::npos;
       at = list.out.find("\"kind\":\"message\"", at + 1))
    ++messages;
  EXPECT_EQ(messages, 1753u);

  // 57 half-width characters of "Rotating 1 (Next: Rotating 9 (transition, 3 sec no wait))".
  const Outcome check = Game({game.string(), "--encoding", "cp1252", "--check", "--only", "Map0047"});
  EXPECT_EQ(check.exitCode, 3);
  EXPECT_NE(check.out.find("Map0047.lmu (Image operations), event 21 (EV0021), page 1, command 9: Line 1 is 342 pixels wide, "
                           "38 more than the 304 it has.\n"),
            std::string::npos);

  const Outcome pictures = Game({game.string(), "--encoding", "cp1252", "--only", "Map0001", "--only", "Map0004", "-o", "out"});
  ASSERT_EQ(pictures.exitCode, 0) << pictures.err;
  // Palette entry 0 of System/System.png, as pngcheck -p prints it, is the skin's key colour.
  const std::vector<std::string> common = {"--system", (game / "System/System.png").string(), "--trans", "FF9C00",
                                           "--layout", "game", "--game-codes", "--encoding", "cp1252"};
  struct Case {
    std::string picture;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"Map0001-EV0002-P01-C0000.png", {"--text", "This is a Message."}},
      {"Map0004-EV0002-P01-C0003.png", {"--text", "Showing a Face (Right)", "--face", (game / "FaceSet/Chara1.png:2").string(), "--face-right"}},
      {"Map0004-EV0002-P01-C0007.png", {"--text", "Showing a Face (Right-Inverted)", "--face", (game / "FaceSet/Chara1.png:2").string(),
                                        "--face-right", "--face-flip"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = common;
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), {"-o", "c.png"});
    const Outcome o = Compose(args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(Differences(Load(folder_ / "out" / c.picture), Load(folder_ / "c.png")), 0) << c.picture;
  }
}

}  // namespace
}  // namespace pw
