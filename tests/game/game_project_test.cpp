// The programs' shared handling of a game: translation, shared windows, the fit check, names,
// the JSON lines, the check's report, the index page and the pictures, on small games the tests
// write byte by byte.
#include "io/game_project.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "compose/game_window.h"
#include "game/errors.h"
#include "io/game_pictures.h"
#include "io/game_report.h"
#include "io/load_picture.h"
#include "tests/game/game_builder.h"

namespace pw::io {
namespace {

using namespace pw::gametest;

// A game of one map with one event whose page holds commands; the database names actor 1 "Ann".
std::map<std::string, Bytes> OneMap(const std::vector<Bytes>& commands, Database db = {}) {
  if (db.actors.empty()) db.actors = {{1, "Ann"}};
  return {{"RPG_RT.ldb", DatabaseFile(db)},
          {"RPG_RT.lmt", MapTreeFile({{0, "Test game", 0}, {1, "Town"}}, {0, 1})},
          {"Map0001.lmu", MapFile({{3, Event("Guard", {Commands(commands)})}})}};
}

GameProject Read(const std::map<std::string, Bytes>& files, const GameOptions& options = {},
                 const std::map<std::string, Bytes>& catalogues = {}) {
  if (catalogues.empty()) return ReadGameProject(MemoryFiles(files), options);
  const TGameTranslation translation(MemoryFiles(catalogues));
  return ReadGameProject(MemoryFiles(files), options, &translation);
}

std::string A(int n) { return std::string(static_cast<std::size_t>(n), 'a'); }

// --- The fit check ---

TEST(GameFit, ALineFitsWhenItsWidthStaysInsideItsRoom) {
  struct Case {
    const char* what;
    std::vector<Bytes> commands;
    std::vector<std::pair<int, int>> widths;  // line and width of each problem; the room is given
    int room;
  };
  const Case cases[] = {
      {"50 half-width characters fill 300 of 304", {Message({A(50)})}, {}, 304},
      {"51 take 306", {Message({"ok", A(51)})}, {{2, 306}}, 304},
      {"beside a left face: 232", {Face("F"), Message({A(38), A(39)})}, {{2, 234}}, 232},
      {"beside a right face: 248", {Face("F", 0, true), Message({A(41), A(42)})}, {{2, 252}}, 248},
      {"an option has 12 less", {Choice(A(48) + "/" + A(49))}, {{2, 294}}, 292},
      {"a name counts as the actor's", {Message({"\\N[1]" + A(48)})}, {{1, 306}}, 304},
      {"an unknown actor has no name", {Message({"\\N[9]" + A(50)})}, {}, 304},
      {"a value not given counts 8 digits", {Message({"\\V[1]" + A(43)})}, {{1, 306}}, 304},
      {"timing codes take no room", {Message({"\\s[3]\\.\\|\\!" + A(50) + "\\^"})}, {}, 304},
      {"\\_ takes 3 pixels", {Message({A(50) + "\\_b"})}, {{1, 309}}, 304},
      {"full-width characters take 12", {Message({"\x82\xA0" + A(49)})}, {{1, 306}}, 304},
  };
  for (const Case& c : cases) {
    const GameProject project = Read(OneMap(c.commands), {"cp932", std::nullopt, {}, {}});
    ASSERT_EQ(project.entries.size(), 1u) << c.what;
    const std::vector<GameProblem>& problems = project.entries[0].problems;
    ASSERT_EQ(problems.size(), c.widths.size()) << c.what;
    for (std::size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].line, c.widths[i].first) << c.what;
      EXPECT_EQ(problems[i].width, c.widths[i].second) << c.what;
      EXPECT_EQ(problems[i].room, c.room) << c.what;
    }
  }
}

TEST(GameFit, TheProblemsSayWhatIsWrong) {
  GameOptions given;
  given.values[1] = "12345";
  struct Case {
    std::vector<Bytes> commands;
    GameOptions options;
    std::vector<std::string> sentences;
  };
  const Case cases[] = {
      {{Message({"ok", A(51)})}, {}, {"Line 2 is 306 pixels wide, 2 more than the 304 it has."}},
      {{Choice("x/" + A(50))}, {}, {"Option 2 is 300 pixels wide, 8 more than the 292 it has."}},
      {{Message({"\\V[1]" + A(43)})}, {},
       {"Line 1 is 306 pixels wide, 2 more than the 304 it has; a \\V[n] without a --var value counts as 8 digits."}},
      {{Message({"\\V[1]" + A(43)})}, given, {}},                     // 5 digits given: 288
      {{Message({"\\V[1]" + A(48)})}, given, {"Line 1 is 318 pixels wide, 14 more than the 304 it has."}},
  };
  for (const Case& c : cases) {
    const GameProject project = Read(OneMap(c.commands), c.options);
    std::vector<std::string> sentences;
    for (const GameProblem& p : project.entries.at(0).problems) sentences.push_back(p.sentence);
    EXPECT_EQ(sentences, c.sentences);
  }
}

// --- Translations ---

TEST(GameTranslation, AMessagesLinesJoinedAreItsMsgidAndATranslationReplacesThem) {
  const auto files = OneMap({Message({"Hello,", "friend."}), Message({"Untranslated"}), Message({"Fuzzy"}),
                             Message({"Long"}), Message({"Empty"}), Choice("Yes/No")});
  const std::map<std::string, Bytes> po = {
      {"MAP0001.PO",
       "msgid \"Hello,\\nfriend.\"\nmsgstr \"Hallo,\\nFreund.\"\n\n"
       "#, fuzzy\nmsgid \"Fuzzy\"\nmsgstr \"Flauschig\"\n\n"
       "msgid \"Long\"\nmsgstr \"1\\n2\\n3\\n4\\n5\"\n\n"
       "msgid \"Empty\"\nmsgstr \"\"\n\n"
       "msgid \"Yes\\nNo\"\nmsgstr \"Ja\\nNein\"\n"},
      {"Map0002.po", "msgid \"Hello,\\nfriend.\"\nmsgstr \"wrong map\"\n"},
      {"notes.po", "not a catalogue: only the game's catalogues are read"}};
  const GameProject project = Read(files, {}, po);
  ASSERT_EQ(project.entries.size(), 6u);
  const auto& e = project.entries;
  EXPECT_EQ(e[0].translation, (std::vector<std::string>{"Hallo,", "Freund."}));
  EXPECT_EQ(e[0].lines, (std::vector<std::string>{"Hello,", "friend."}));
  EXPECT_FALSE(e[0].fuzzy);
  EXPECT_FALSE(e[1].translation);
  EXPECT_EQ(e[2].translation, std::vector<std::string>{"Flauschig"});
  EXPECT_TRUE(e[2].fuzzy);
  EXPECT_EQ(e[3].translation->size(), 5u);
  ASSERT_EQ(e[3].problems.size(), 1u);
  EXPECT_EQ(e[3].problems[0].line, 5);
  EXPECT_FALSE(e[3].problems[0].width);
  EXPECT_EQ(e[3].problems[0].sentence,
            "The message has 5 lines, 1 more than a window holds: the rest goes on in another window.");
  EXPECT_FALSE(e[4].translation);  // an empty msgstr translates nothing
  EXPECT_EQ(e[5].translation, (std::vector<std::string>{"Ja", "Nein"}));
}

TEST(GameTranslation, ActorNamesComeFromTheirContextThenTheCommonOneThenNone) {
  Database db;
  db.actors = {{1, "Ann"}, {2, "Bo"}, {3, "Cy"}, {4, "Di"}};
  const auto files = OneMap({Message({"\\N[1]", "\\N[2]", "\\N[3]", "\\N[4]"})}, db);
  const std::map<std::string, Bytes> po = {
      {"rpg_rt.ldb.po",
       "msgctxt \"actors.1.name\"\nmsgid \"Ann\"\nmsgstr \"Annabella\"\n\n"    // 9 characters
       "msgctxt \"actors.name\"\nmsgid \"Ann\"\nmsgstr \"Anna\"\n\n"
       "msgctxt \"actors.name\"\nmsgid \"Bo\"\nmsgstr \"Bob\"\n\n"
       "msgid \"Bo\"\nmsgstr \"Bobby\"\n\n"
       "msgid \"Cy\"\nmsgstr \"Cyrus\"\n\n"
       "msgctxt \"actors.4.name\"\nmsgid \"Di\"\nmsgstr \"\"\n"}};
  const GameProject project = Read(files, {}, po);
  EXPECT_EQ(project.drawn.names.at(1), "Annabella");
  EXPECT_EQ(project.drawn.names.at(2), "Bob");
  EXPECT_EQ(project.drawn.names.at(3), "Cyrus");
  EXPECT_EQ(project.drawn.names.at(4), "Di");  // untranslated: the stored name
}

TEST(GameTranslation, AMalformedCatalogueNamesItsFileAndLine) {
  try {
    TGameTranslation translation(MemoryFiles({{"Map0001.po", "msgid \"a\"\nmsgstr \"b\nmsgid \"c\""}, {"notes.txt", "?"}}));
    ADD_FAILURE() << "read";
  } catch (const game::EGameError& e) {
    EXPECT_STREQ(e.what(), "Map0001.po line 2: a string has no closing quote");
  }
}

// --- Windows shared by a choice ---

TEST(GameWindows, AChoiceSharesItsMessagesWindowWhenBothMakeFourLines) {
  const auto files = OneMap({Message({"1", "2"}), Choice("a/b"),              // 2 + 2
                             Message({"1", "2", "3"}), Choice("a/b"),         // 3 + 2
                             Message({"Short"}), Choice("a"),                 // translated: 4 + 1
                             Message({"L1", "L2", "L3"}), Choice("a/b"),      // translated: 1 + 2
                             Message({"1"}), Wait(), Choice("a")});           // not right after
  const GameProject project = Read(files, {}, {{"Map0001.po", "msgid \"Short\"\nmsgstr \"w\\nx\\ny\\nz\"\n\n"
                                                              "msgid \"L1\\nL2\\nL3\"\nmsgstr \"one\"\n"}});
  ASSERT_EQ(project.entries.size(), 10u);
  const auto& e = project.entries;
  const std::size_t none = SIZE_MAX;
  const std::size_t choice[] = {1, none, none, none, none, none, 7, none, none, none};
  const std::size_t sharedWith[] = {none, 0, none, none, none, none, none, 6, none, none};
  for (std::size_t i = 0; i < e.size(); ++i) {
    EXPECT_EQ(e[i].choice, choice[i]) << i;
    EXPECT_EQ(e[i].sharedWith, sharedWith[i]) << i;
  }
  EXPECT_EQ(PictureEntry(project, 1), 0u);
  EXPECT_EQ(PictureEntry(project, 3), 3u);
}

// --- Names, places, lines and pages ---

TEST(GameNames, PicturesArePlacesWithFixedWidthNumbers) {
  struct Case {
    game::TSource source;
    int map, event, page, command;
    std::string name;
  };
  const Case cases[] = {
      {game::TSource::kMap, 3, 12, 1, 45, "Map0003-EV0012-P01-C0045.png"},
      {game::TSource::kMap, 12345, 1, 100, 10000, "Map12345-EV0001-P100-C10000.png"},
      {game::TSource::kCommon, 0, 3, 0, 12, "Common0003-C0012.png"},
      {game::TSource::kTroop, 0, 4, 1, 3, "Troop0004-P01-C0003.png"},
  };
  for (const Case& c : cases) {
    game::TMessage m;
    m.source = c.source;
    m.map = c.map;
    m.event = c.event;
    m.page = c.page;
    m.command = c.command;
    EXPECT_EQ(GamePictureName(m, "png"), c.name);
  }
}

TEST(GameReport, ListLinesAreJsonAsWrittenHere) {
  Database db;
  db.skin = "Sky";
  db.commonEvents = {{2, Commands({Skin("Dark", 1), Message({"Say \"hi\"\\!", "tab\there"})})}};
  db.troops = {{5, {Commands({Choice("Fight/Run")})}}};
  const auto files = OneMap({Face("Hero", 3, true, true), Options(true, 0), Message({"\\N[1]: caf\xE9"}), Choice("Yes/" + A(50))}, db);
  GameOptions options;
  options.encoding = "cp1252";
  const GameProject project = Read(files, options, {{"Map0001.po", "msgid \"Yes\\n" + A(50) + "\"\nmsgstr \"Oui\\nNon\"\n"}});
  ASSERT_EQ(project.entries.size(), 4u);
  const std::string lines[] = {
      R"({"source":"Map0001.lmu","map":"Town","event":3,"name":"Guard","page":1,"command":2,"kind":"message",)"
      R"("lines":["\\N[1]: café"],"face":{"file":"Hero","index":3,"right":true,"flip":true},"skin":"Sky",)"
      R"("wallpaper":"stretch","position":"top","transparent":true,"translated":false,"fuzzy":false,"translation":null,)"
      R"("picture":"Map0001-EV0003-P01-C0002","problems":[]})",
      R"({"source":"Map0001.lmu","map":"Town","event":3,"name":"Guard","page":1,"command":3,"kind":"choice",)"
      R"("lines":["Yes",")" + A(50) + R"("],"face":{"file":"Hero","index":3,"right":true,"flip":true},"skin":"Sky",)"
      R"("wallpaper":"stretch","position":"top","transparent":true,"translated":true,"fuzzy":false,)"
      R"("translation":["Oui","Non"],"picture":"Map0001-EV0003-P01-C0002","problems":[]})",
      R"({"source":"common","map":null,"event":2,"name":"Common 2","page":null,"command":1,"kind":"message",)"
      R"("lines":["Say \"hi\"\\!","tab\there"],"face":null,"skin":"Dark","wallpaper":"tile","position":"bottom",)"
      R"("transparent":false,"translated":false,"fuzzy":false,"translation":null,"picture":"Common0002-C0001","problems":[]})",
      R"({"source":"troop","map":null,"event":5,"name":"Troop 5","page":1,"command":0,"kind":"choice",)"
      R"("lines":["Fight","Run"],"face":null,"skin":"Sky","wallpaper":"stretch","position":"bottom","transparent":false,)"
      R"("translated":false,"fuzzy":false,"translation":null,"picture":"Troop0005-P01-C0000","problems":[]})",
  };
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(GameListLine(project, i), lines[i]);
}

TEST(GameReport, TheCheckNamesEachPlaceAndCountsWhatDoesNotFit) {
  Database db;
  db.commonEvents = {{7, Commands({Message({A(52)})})}};
  const GameProject some = Read(OneMap({Message({"fits"}), Message({A(51), A(53)})}, db));
  EXPECT_EQ(GameCheckReport(some),
            "Map0001.lmu (Town), event 3 (Guard), page 1, command 1: Line 1 is 306 pixels wide, 2 more than the 304 it has.\n"
            "Map0001.lmu (Town), event 3 (Guard), page 1, command 1: Line 2 is 318 pixels wide, 14 more than the 304 it has.\n"
            "common event 7 (Common 7), command 0: Line 1 is 312 pixels wide, 8 more than the 304 it has.\n"
            "2 of 3 messages and choices do not fit.\n");
  EXPECT_EQ(GameCheckReport(Read(OneMap({Message({"fits"})}))), "All 1 messages and choices fit.\n");
}

TEST(GameReport, TheIndexShowsWhatDoesNotFitFirstAndEscapesText) {
  const GameProject project = Read(OneMap({Message({"<b>&amp;\"</b>"}), Message({A(60)}), Message({"2"}), Choice("x")}));
  const std::string html = GameIndexHtml(project, "png");
  const auto at = [&](const std::string& text) {
    const std::size_t i = html.find(text);
    EXPECT_NE(i, std::string::npos) << text;
    return i;
  };
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n"));
  EXPECT_LT(at("<title>The messages of Test game</title>"), at("<h2>What does not fit</h2>"));
  EXPECT_LT(at("<h2>What does not fit</h2>"), at("<section id=\"Map0001-EV0003-P01-C0001\" class=\"problem\">"));
  EXPECT_LT(at("Line 1 is 360 pixels wide"), at("<h2>What fits</h2>"));
  EXPECT_LT(at("<h2>What fits</h2>"), at("<section id=\"Map0001-EV0003-P01-C0000\">"));
  at("<pre>&lt;b&gt;&amp;amp;&quot;&lt;/b&gt;</pre>");
  // The choice shares the window of "2": both show its picture.
  at("<section id=\"Map0001-EV0003-P01-C0003\">\n<a href=\"Map0001-EV0003-P01-C0002.png\">");
  EXPECT_EQ(html.find("<img src=\"Map0001-EV0003-P01-C0003.png\""), std::string::npos);
  EXPECT_TRUE(html.ends_with("</body>\n</html>\n"));
}

// --- Pictures ---

Bytes XyzSkin() {
  // 160x80, palette entry i = (i, 2i, 255 - i), pixel (x, y) index (x + y) mod 256.
  Bytes raw;
  for (int i = 0; i < 256; ++i) raw += {static_cast<char>(i), static_cast<char>(2 * i), static_cast<char>(255 - i)};
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 160; ++x) raw += static_cast<char>((x + y) % 256);
  uLongf size = compressBound(raw.size());
  Bytes packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), raw.size());
  packed.resize(size);
  return Bytes("XYZ1\xA0\x00\x50\x00", 8) + packed;
}

TEST(GamePictures, SkinsAreFoundInAnyCaseAsXyzInTheGameThenTheSharedFolders) {
  Database db;
  db.skin = "Plain";
  db.wallpaper = 1;  // tiled: window pixel (x, y) shows skin pixel (x mod 32, y mod 32)
  auto files = OneMap({Message({"a"}), Skin("Shared", 1), Message({"b"}), Skin("Nowhere", 1), Message({"c"}),
                       Message({"d"})}, db);
  files["system/PLAIN.Xyz"] = XyzSkin();
  std::vector<std::string> warnings;
  const GameProject project = Read(files);
  TGamePictures pictures(MemoryFiles(files), {MemoryFiles({{"System/shared.xyz", XyzSkin()}})},
                         [&](const std::string& w) { warnings.push_back(w); });
  pictures.Prepare(project);
  EXPECT_EQ(warnings, std::vector<std::string>{"System/Nowhere is not among the game's pictures (.png, .bmp or .xyz): its "
                                               "windows are drawn with the sample skin"});
  const TBitmap glyphs = LoadBuiltInGlyphs();
  for (std::size_t i : {0u, 1u}) {
    const GameWindow window = GameWindowOf(project, i, pictures, false, glyphs);
    EXPECT_EQ(window.input.transColor, RGB(0, 0, 255)) << i;  // palette entry 0
    const TBitmap picture = *ComposeWindow(window.input, window.extras);
    const int x = 100, y = 40;  // wallpaper: index (100 mod 32 + 40 mod 32) = 12
    EXPECT_EQ(picture.GetPixelColor(x, y), RGB(12, 24, 243)) << i;
  }
  const GameWindow sample = GameWindowOf(project, 2, pictures, false, glyphs);
  EXPECT_EQ(sample.input.transColor, clBlack);
  EXPECT_EQ(sample.input.systemGraphic->GetWidth(), 160);
}

TEST(GamePictures, FacesCarryOnAreClearedAndAreLeftOutWhenMissingWithOneWarningEach) {
  const auto faces = [] {
    TBitmap sheet;
    sheet.SetPixelFormat(TPixelFormat::pf24bit);
    sheet.SetSize(96, 48);  // faces 0 and 1 only
    sheet.Fill(RGB(10, 20, 30));
    TMemoryStream stream;
    sheet.SaveToStream(stream);
    return Bytes(stream.Bytes().begin(), stream.Bytes().end());
  }();
  auto files = OneMap({Face("Two", 1), Message({"face 1"}), Message({"still face 1"}), Face("Two", 5), Message({"no cell 5"}),
                       Message({"again"}), Face("Gone"), Message({"missing"}), Message({"missing again"}), NoFace(),
                       Message({"cleared"})});
  files["FaceSet/two.bmp"] = faces;
  std::vector<std::string> warnings;
  const GameProject project = Read(files);
  TGamePictures pictures(MemoryFiles(files), {}, [&](const std::string& w) { warnings.push_back(w); });
  pictures.Prepare(project);
  // The database's skin is missing too: one warning, though every window uses it.
  EXPECT_EQ(warnings, (std::vector<std::string>{
                          "System/System is not among the game's pictures (.png, .bmp or .xyz): its windows are drawn "
                          "with the sample skin",
                          "FaceSet/two.bmp has no face 5: its windows are drawn without a face",
                          "FaceSet/Gone is not among the game's pictures (.png, .bmp or .xyz): its windows are drawn without a face"}));
  const TBitmap glyphs = LoadBuiltInGlyphs();
  const bool expected[] = {true, true, false, false, false, false, false};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const GameWindow window = GameWindowOf(project, i, pictures, false, glyphs);
    EXPECT_EQ(window.extras.faceSheet != nullptr, expected[i]) << i;
    const TBitmap picture = *ComposeWindow(window.input, window.extras);
    EXPECT_EQ(picture.GetPixelColor(40, 40) == RGB(10, 20, 30), expected[i]) << i;  // inside the face at (16, 16)
  }
}

}  // namespace
}  // namespace pw::io
