// The reader of a game's data files, on games the tests write byte by byte.
#include "game/game_data.h"
#include "game/game_files.h"
#include "game/lcf_reader.h"
#include "game/errors.h"

#include <gtest/gtest.h>

#include "tests/game/game_builder.h"

namespace pw::game {
namespace {

using namespace pw::gametest;

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const EGameError& e) {
    return e.what();
  }
  return "(no error)";
}

// --- Numbers, written out by hand from the format's rule ---

TEST(LcfNumbers, ReadSevenBitsAByteAndNegativesAsFiveBytes) {
  struct Case {
    Bytes bytes;
    std::int32_t value;
  };
  const Case cases[] = {
      {Bytes("\x00", 1), 0},
      {"\x7F", 127},
      {Bytes("\x81\x00", 2), 128},
      {"\x82\x2C", 300},
      {"\xFF\x7F", 16383},
      {Bytes("\x81\x80\x00", 3), 16384},
      {"\x87\xFF\xFF\xFF\x7F", 2147483647},
      {"\x8F\xFF\xFF\xFF\x7F", -1},
      {"\x8F\xFF\xFF\xFF\x7D", -3},
      {Bytes("\x88\x80\x80\x80\x00", 5), -2147483647 - 1},
      {Bytes("\x80\x80\x80\x80\x05", 5), 5},  // leading empty bytes are allowed
  };
  for (const Case& c : cases) {
    TLcfReader reader(Span(c.bytes), "test.lmu");
    EXPECT_EQ(reader.Int(), c.value) << testing::PrintToString(c.bytes);
    EXPECT_TRUE(reader.AtEnd());
  }
}

TEST(LcfNumbers, RefuseSixBytesMoreThan32BitsAndCutNumbers) {
  struct Case {
    Bytes bytes;
    std::string error;
  };
  const Case cases[] = {
      {Bytes("\x80\x80\x80\x80\x80\x01", 6), "test.lmu is damaged at byte 0: a number takes more than 5 bytes"},
      {Bytes("\x90\x80\x80\x80\x00", 5), "test.lmu is damaged at byte 0: a number is wider than 32 bits"},
      {"\x81", "test.lmu is damaged at byte 1: the file ends inside a record"},
      {"", "test.lmu is damaged at byte 0: the file ends inside a record"},
  };
  for (const Case& c : cases) {
    TLcfReader reader(Span(c.bytes), "test.lmu");
    EXPECT_EQ(ErrorOf([&] { reader.Int(); }), c.error);
  }
}

TEST(LcfNumbers, CommandParametersKeepFiveByteAndNegativeValues) {
  const Bytes list = Commands({Command(10130, "Face", {-1, 300, 2147483647})});
  const std::vector<TCommand> commands = ReadCommands(Span(list), "list");
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].parameters, (std::vector<std::int32_t>{-1, 300, 2147483647}));
  EXPECT_EQ(commands[0].text, "Face");
}

// --- Records and arrays ---

TEST(LcfRecords, UnknownFieldsAreSkippedByTheirLength) {
  // An event whose name and pages stand among fields the reader does not know.
  const Bytes page = Record({Field(0x7F, "\x01\x02\x03"), Field(0x34, Commands({Message({"Hi"})})), Field(0x200, "x")});
  const Bytes event = Record({Field(0x66, Bytes(300, '\x01')), Field(0x01, "Guard"),
                              Field(0x05, Array({{1, page}})), Field(0x1234, "zz")});
  const Bytes map = Header("LcfMapUnit") + Record({Field(0x50, "?"), Field(0x51, Array({{7, event}})), Field(0x5B, "\x02")});
  const std::vector<TCommandList> lists = ReadMapLists(Span(map), "Map0003.lmu", 3);
  ASSERT_EQ(lists.size(), 1u);
  const std::vector<TMessage> messages = ListMessages(lists[0], {});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].map, 3);
  EXPECT_EQ(messages[0].event, 7);
  EXPECT_EQ(messages[0].eventName, "Guard");
  EXPECT_EQ(messages[0].page, 1);
  EXPECT_EQ(messages[0].lines, std::vector<std::string>{"Hi"});
}

TEST(LcfRecords, DamagedFilesNameTheFileAndTheOffset) {
  const Bytes header = Header("LcfMapUnit");  // 11 bytes
  struct Case {
    const char* what;
    Bytes file;
    std::string error;
  };
  const Case cases[] = {
      {"wrong header", Header("LcfMapTree") + Record({}),
       "Map0001.lmu is damaged at byte 0: it does not start with the header LcfMapUnit"},
      {"a field longer than the file", header + Int(0x51) + Int(1000) + "abc",
       "Map0001.lmu is damaged at byte 12: a length of 1000 bytes runs past the 3 bytes left"},
      {"a count larger than the bytes could hold", header + Int(0x51) + Int(4) + Int(1000) + "abc",
       "Map0001.lmu is damaged at byte 13: a count of 1000 is more than the 2 bytes left could hold"},
      {"a negative length", header + Int(0x51) + Int(-2) + "abc",
       "Map0001.lmu is damaged at byte 12: a length or count is negative (-2)"},
      {"a record without its end", header + Int(0x51) + Int(3) + Int(1) + Int(1) + Int(0x01),
       "Map0001.lmu is damaged at byte 16: the file ends inside a record"},
      {"a command string past its list", header + Field(0x51, Array({{1, Record({Field(0x05, Array({{1, Record({Field(0x34, Int(10110) + Int(0) + Int(50) + "ab")})}}))})}})),
       "Map0001.lmu is damaged at byte 24: a length of 50 bytes runs past the 2 bytes left"},
      {"a parameter count past its list", header + Field(0x51, Array({{1, Record({Field(0x05, Array({{1, Record({Field(0x34, Int(10110) + Int(0) + Int(0) + Int(9) + "\x01")})}}))})}})),
       "Map0001.lmu is damaged at byte 25: a count of 9 is more than the 1 bytes left could hold"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { ReadMapLists(Span(c.file), "Map0001.lmu", 1); }), c.error) << c.what;
  }
}

TEST(LcfRecords, EveryCutOfAFileFailsCleanlyOrReadsWhatIsThere) {
  const Bytes map = MapFile({{1, Event("A", {Commands({Face("F", 1), Message({"one", "two"}), Choice("a/b")})})}});
  const Bytes tree = MapTreeFile({{0, "Game", 0}, {1, "Town"}}, {0, 1});
  const Bytes db = DatabaseFile({{{1, "Ann"}}, "Skin", 1, 0, {{1, Commands({Message({"c"})})}}, {{1, {Commands({Message({"t"})})}}}});
  // A cut between two fields of the outermost record reads the fields before it; any other cut
  // is an error that names the file.
  const auto check = [](const Bytes& file, const std::string& name, const std::function<void(const Bytes&)>& read) {
    int errors = 0;
    for (std::size_t n = 0; n < file.size(); ++n) {
      const std::string error = ErrorOf([&] { read(file.substr(0, n)); });
      EXPECT_TRUE(error == "(no error)" || error.starts_with(name + " is damaged at byte ")) << n << ": " << error;
      errors += error != "(no error)";
    }
    return errors;
  };
  const int mapErrors = check(map, "Map0001.lmu", [](const Bytes& b) { ReadMapLists(Span(b), "Map0001.lmu", 1); });
  const int treeErrors = check(tree, "RPG_RT.lmt", [](const Bytes& b) { ReadMapTree(Span(b), "RPG_RT.lmt"); });
  const int dbErrors = check(db, "RPG_RT.ldb", [](const Bytes& b) { ReadDatabase(Span(b), "RPG_RT.ldb"); });
  // Only five cuts of the map read: after its header, after each of its three leading fields,
  // and after the events (before the record's closing 0). The database reads when cut after its
  // header, its actors, its troops or its system record. The tree's last two bytes (the active
  // node and an empty start record) are not read.
  EXPECT_EQ(mapErrors, static_cast<int>(map.size()) - 5);
  EXPECT_EQ(treeErrors, static_cast<int>(tree.size()) - 2);
  EXPECT_EQ(dbErrors, static_cast<int>(db.size()) - 4);
}

// --- Messages and the state they carry ---

std::vector<TMessage> MessagesOf(const std::vector<Bytes>& commands, const TWindowState& start = {}) {
  const Bytes list = Commands(commands);
  TCommandList read;
  read.commands = ReadCommands(Span(list), "list");
  return ListMessages(read, start);
}

TEST(GameMessages, LinesFollowTheFirstAndChoicesSplitAtSlashes) {
  const std::vector<TMessage> m =
      MessagesOf({Message({"1", "2", "3", "4"}), Wait(), Command(20110, "stray"), Message({"only"}), Choice("Yes/No/"),
                  Choice("")});
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].kind, TKind::kMessage);
  EXPECT_EQ(m[0].lines, (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(m[0].command, 0);
  EXPECT_EQ(m[1].lines, std::vector<std::string>{"only"});
  EXPECT_EQ(m[1].command, 6);  // 4 lines, the wait and the stray line before it
  EXPECT_EQ(m[2].kind, TKind::kChoice);
  EXPECT_EQ(m[2].lines, (std::vector<std::string>{"Yes", "No", ""}));
  EXPECT_EQ(m[2].command, 7);
  EXPECT_TRUE(m[2].afterMessage);
  EXPECT_EQ(m[3].lines, std::vector<std::string>{""});
  EXPECT_FALSE(m[3].afterMessage);
}

TEST(GameMessages, AChoiceIsAfterAMessageOnlyWhenNothingStandsBetween) {
  const std::vector<TMessage> m = MessagesOf({Message({"a", "b"}), Face("F"), Choice("x/y"), Choice("z"), Message({"c"}),
                                              Choice("w")});
  ASSERT_EQ(m.size(), 5u);
  EXPECT_FALSE(m[1].afterMessage);
  EXPECT_FALSE(m[2].afterMessage);
  EXPECT_TRUE(m[4].afterMessage);
}

TEST(GameMessages, FaceOptionsAndSkinCarryOnUntilChanged) {
  TWindowState start;
  start.skin = "System";
  start.wallpaper = 1;
  const std::vector<TMessage> m = MessagesOf(
      {Message({"plain"}), Face("Chara1", 5, true, false), Options(true, 0), Message({"face"}), Choice("a/b"),
       Skin("Dark", 0), Face("Chara1", 2, false, true), Message({"flipped"}), NoFace(), Options(false, 1),
       Message({"cleared"}), Command(10120, "", {0, 7}), Message({"clamped"})},
      start);
  ASSERT_EQ(m.size(), 6u);
  const TFace right{"Chara1", 5, true, false};
  const TFace flipped{"Chara1", 2, false, true};
  struct Expect {
    std::optional<TFace> face;
    int position;
    bool transparent;
    std::string skin;
    int wallpaper;
  };
  const Expect expected[] = {
      {std::nullopt, kBottom, false, "System", 1}, {right, kTop, true, "System", 1},
      {right, kTop, true, "System", 1},            {flipped, kTop, true, "Dark", 0},
      {std::nullopt, kMiddle, false, "Dark", 0},   {std::nullopt, kBottom, false, "Dark", 0},
  };
  for (std::size_t i = 0; i < m.size(); ++i) {
    EXPECT_EQ(m[i].state.face, expected[i].face) << i;
    EXPECT_EQ(m[i].state.position, expected[i].position) << i;
    EXPECT_EQ(m[i].state.transparent, expected[i].transparent) << i;
    EXPECT_EQ(m[i].state.skin, expected[i].skin) << i;
    EXPECT_EQ(m[i].state.wallpaper, expected[i].wallpaper) << i;
  }
}

// --- A whole game ---

std::map<std::string, Bytes> SmallGame() {
  Database db;
  db.actors = {{1, "Ann"}, {4, "Bo"}};
  db.skin = "Royal";
  db.wallpaper = 1;
  db.font = 1;
  // Each list starts afresh: the face of common event 1 does not reach event 2.
  db.commonEvents = {{1, Commands({Face("F"), Message({"common 1"})})}, {2, Commands({Message({"common 2"})})}};
  db.troops = {{3, {Commands({Message({"troop page 1"})}), Commands({Choice("Fight/Run")})}}};
  return {
      {"RPG_RT.ldb", DatabaseFile(db)},
      // Map 2 comes first in the tree; 5 is an area without a file.
      {"rpg_rt.LMT", MapTreeFile({{0, "Game", 0}, {1, "Town"}, {2, "Cave"}, {5, "Region", 2}}, {0, 2, 5, 1})},
      {"Map0001.lmu", MapFile({{1, Event("Guard", {Commands({Message({"town"})})})}})},
      {"MAP0002.LMU", MapFile({{4, Event("Bat", {Commands({Wait()}), Commands({Message({"cave"}), Message({"two"})})})}})},
      {"System/royal.png", "not read"},
  };
}

TEST(GameFiles, MessagesComeInTreeOrderThenCommonEventsThenTroops) {
  const TGame game = ReadGame(MemoryFiles(SmallGame()));
  EXPECT_EQ(game.database.skin, "Royal");
  EXPECT_EQ(game.database.wallpaper, 1);
  EXPECT_EQ(game.database.font, 1);
  EXPECT_EQ(game.database.actorNames, (std::map<int, std::string>{{1, "Ann"}, {4, "Bo"}}));
  struct Expect {
    TSource source;
    int map;
    std::string mapName;
    int event, page, command;
    std::string first;
  };
  const Expect expected[] = {
      {TSource::kMap, 2, "Cave", 4, 2, 0, "cave"},      {TSource::kMap, 2, "Cave", 4, 2, 1, "two"},
      {TSource::kMap, 1, "Town", 1, 1, 0, "town"},      {TSource::kCommon, 0, "", 1, 0, 1, "common 1"},
      {TSource::kCommon, 0, "", 2, 0, 0, "common 2"},   {TSource::kTroop, 0, "", 3, 1, 0, "troop page 1"},
      {TSource::kTroop, 0, "", 3, 2, 0, "Fight"},
  };
  ASSERT_EQ(game.messages.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const TMessage& m = game.messages[i];
    EXPECT_EQ(m.source, expected[i].source) << i;
    EXPECT_EQ(m.map, expected[i].map) << i;
    if (m.source == TSource::kMap) {
      EXPECT_EQ(game.tree.NameOf(m.map), expected[i].mapName) << i;
    }
    EXPECT_EQ(m.event, expected[i].event) << i;
    EXPECT_EQ(m.page, expected[i].page) << i;
    EXPECT_EQ(m.command, expected[i].command) << i;
    EXPECT_EQ(m.lines.at(0), expected[i].first) << i;
    EXPECT_EQ(m.state.skin, "Royal") << i;
    EXPECT_EQ(m.state.wallpaper, 1) << i;
  }
  EXPECT_TRUE(game.messages[3].state.face.has_value());
  EXPECT_FALSE(game.messages[4].state.face.has_value());
  EXPECT_EQ(game.messages[1].eventName, "Bat");
  EXPECT_EQ(game.messages[5].eventName, "Troop 3");
}

TEST(GameFiles, OnlyTheNamedPartsAreRead) {
  struct Case {
    std::vector<std::string> only;
    std::vector<std::string> first;
  };
  const Case cases[] = {
      {{"map0001"}, {"town"}},
      {{"COMMON", "Map0002"}, {"cave", "two", "common 1", "common 2"}},
      {{"troop"}, {"troop page 1", "Fight"}},
      {{"Map0009"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> first;
    for (const TMessage& m : ReadGame(MemoryFiles(SmallGame()), {c.only}).messages) first.push_back(m.lines.at(0));
    EXPECT_EQ(first, c.first) << testing::PrintToString(c.only);
  }
}

TEST(GameFiles, MissingFilesAreNamed) {
  struct Case {
    std::string remove;
    std::string error;
  };
  const Case cases[] = {
      {"RPG_RT.ldb", "the game folder has no RPG_RT.ldb"},
      {"rpg_rt.LMT", "the game folder has no RPG_RT.lmt"},
      {"Map0001.lmu", "the map tree lists map 1, but the game folder has no Map0001.lmu"},
  };
  for (const Case& c : cases) {
    std::map<std::string, Bytes> files = SmallGame();
    files.erase(c.remove);
    EXPECT_EQ(ErrorOf([&] { ReadGame(MemoryFiles(files)); }), c.error);
  }
}

TEST(GameFiles, NamesAreFoundWithoutRegardToCase) {
  const TFileIndex index({"FaceSet/Chara1.png", "System/royal.BMP", "System/Royal.xyz", "RPG_RT.ldb"});
  EXPECT_EQ(index.Find("rpg_rt.LDB"), "RPG_RT.ldb");
  EXPECT_EQ(index.Find("System/ROYAL.bmp"), "System/royal.BMP");
  EXPECT_EQ(index.Find("System/Royal"), std::nullopt);
  EXPECT_EQ(index.FindPicture("faceset", "CHARA1", {"png", "bmp", "xyz"}), "FaceSet/Chara1.png");
  EXPECT_EQ(index.FindPicture("System", "Royal", {"png", "bmp", "xyz"}), "System/royal.BMP");
  EXPECT_EQ(index.FindPicture("System", "Royal", {"png", "xyz"}), "System/Royal.xyz");
  EXPECT_EQ(index.FindPicture("System", "Other", {"png", "bmp", "xyz"}), std::nullopt);
}

}  // namespace
}  // namespace pw::game
