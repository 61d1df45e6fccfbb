// panelwright-cli compose, run as a program: options, text sources, batch naming and errors.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "compose/animate.h"
#include "io/load_picture.h"
#include "compose/compose.h"
#include "compose/extras.h"
#include "tests/cli/cli_fixture.h"
#include "gif/gif_writer.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "tests/compose/test_pictures.h"
#include "tests/png/png_builder.h"
#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using clitest::Outcome;
using testing::CoordinateSkin;
using testing::Sheet;
using testing::Src;

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Each test works in a fresh folder of its own, which is the program's current directory.
class ComposeCli : public clitest::CliTest {
 protected:
  clitest::Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> all = {"compose"};
    all.insert(all.end(), args.begin(), args.end());
    return CliTest::Run(all, input);
  }

  TBitmap Load(const std::string& name) {
    TBitmap b;
    b.LoadFromFile((folder_ / name).string());
    return b;
  }
  void Save(TBitmap bitmap, const std::string& name) { bitmap.SaveToFile((folder_ / name).string()); }

  // The window the library composes from the same inputs, over the given skin.
  static TBitmap Expected(const TBitmap& skin, std::vector<std::string> lines, TColor trans = clBlack, int wallMode = 0,
                          int padRound = 0, int padLine = 0, const TBitmap* user = nullptr) {
    static const TBitmap builtIn = [] {
      TBitmap sheet;
      const auto bytes = resources::Gaizi01();
      sheet.LoadFromPackedDib(bytes.data(), bytes.size());
      return sheet;
    }();
    ComposeInput in;
    in.systemGraphic = &skin;
    in.lines = std::move(lines);
    in.transColor = trans;
    in.wallMode = wallMode;
    in.padRound = padRound;
    in.padLine = padLine;
    in.gaizi = &builtIn;
    in.myGaizi = user;
    return *ComposeWindow(in);
  }

  static void ExpectSamePixels(const TBitmap& actual, const TBitmap& expected) {
    ASSERT_EQ(actual.GetWidth(), expected.GetWidth());
    ASSERT_EQ(actual.GetHeight(), expected.GetHeight());
    for (int y = 0; y < actual.GetHeight(); ++y)
      for (int x = 0; x < actual.GetWidth(); ++x)
        ASSERT_EQ(actual.GetPixelColor(x, y), expected.GetPixelColor(x, y)) << x << "," << y;
  }

};

// Width, height, bits per pixel and compression from a BMP file's headers.
struct BmpHeader {
  int width, height, bits, compression;
};
BmpHeader ReadBmpHeader(const fs::path& path) {
  const std::string b = clitest::ReadText(path);
  const auto u = [&](std::size_t at, int n) {
    unsigned v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b.at(at + i));
    return v;
  };
  EXPECT_EQ(b.substr(0, 2), "BM");
  return {static_cast<int>(u(18, 4)), static_cast<int>(u(22, 4)), static_cast<int>(u(28, 2)), static_cast<int>(u(30, 4))};
}

TEST_F(ComposeCli, WritesAnUncompressed24BitWindowOfTheSampleSkin) {
  const Outcome o = Run({"--text", "Hello", "-o", "win.bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const BmpHeader h = ReadBmpHeader(folder_ / "win.bmp");
  EXPECT_EQ(h.width, 5 * 6 + 16);
  EXPECT_EQ(h.height, 32);
  EXPECT_EQ(h.bits, 24);
  EXPECT_EQ(h.compression, 0);
  TBitmap sample;
  const auto bytes = resources::SampleSkins().front().bmp;
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  sample.LoadFromStream(stream);
  ExpectSamePixels(Load("win.bmp"), Expected(sample, {"Hello"}));
}

TEST_F(ComposeCli, OptionsReachTheComposer) {
  TBitmap skin = CoordinateSkin();
  skin.SetPixelColor(33, 0, RGB(255, 0, 0));  // a pure red top-left corner pixel
  Save(skin, "skin.bmp");
  const Outcome o = Run({"--system", "skin.bmp", "--text", "ab\n\\C[2]cd", "--wallpaper", "tile", "--margin", "3",
                         "--line-gap", "2", "--trans-at", "32,0", "-o", "win.bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const TBitmap window = Load("win.bmp");
  EXPECT_EQ(window.GetPixelColor(0, 0), Src(0, 0));  // the picked corner pixel shows the tile
  ExpectSamePixels(window, Expected(skin, {"ab", "\\C[2]cd"}, Src(32, 0), 1, 3, 2));

  // --trans is web order: FF0000 masks the red pixel, 0000FF does not.
  ASSERT_EQ(Run({"--system", "skin.bmp", "--text", "", "--wallpaper", "tile", "--trans", "FF0000", "-o", "red.bmp"}).exitCode, 0);
  EXPECT_EQ(Load("red.bmp").GetPixelColor(1, 0), Src(1, 0));
  ASSERT_EQ(Run({"--system", "skin.bmp", "--text", "", "--trans", "0000ff", "-o", "blue.bmp"}).exitCode, 0);
  EXPECT_EQ(Load("blue.bmp").GetPixelColor(1, 0), RGB(255, 0, 0));

  // The largest number --name and --var take is one that \N[n] and \V[n] read.
  const Outcome codes = Run({"--system", "skin.bmp", "--text", "\\N[999999999]\\V[999999999]", "--game-codes",
                             "--name", "999999999=Al", "--var", "999999999=7", "-o", "codes.bmp"});
  ASSERT_EQ(codes.exitCode, 0) << codes.err;
  ASSERT_EQ(Run({"--system", "skin.bmp", "--text", "Al7", "-o", "plain.bmp"}).exitCode, 0);
  ExpectSamePixels(Load("codes.bmp"), Load("plain.bmp"));
}

TEST_F(ComposeCli, TheGameLayoutReachesTheComposer) {
  Save(CoordinateSkin(), "skin.bmp");
  struct Case {
    std::vector<std::string> options;
    GameLayout layout;
  };
  const Case cases[] = {
      {{"--layout", "game"}, {true}},
      {{"--layout", "game", "--screen"}, {true, true, TWindowPosition::kBottom}},
      {{"--layout", "game", "--screen", "--position", "middle"}, {true, true, TWindowPosition::kMiddle}},
      {{"--layout", "classic"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--system", "skin.bmp", "--text", "ab\ncd\nef\ngh\nij", "--trans", "010203", "-o", "w.bmp"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    TBitmap builtIn = io::LoadBuiltInGlyphs();
    TBitmap skin = CoordinateSkin();
    ComposeInput in;
    in.systemGraphic = &skin;
    in.lines = {"ab", "cd", "ef", "gh", "ij"};  // five lines: two windows in the game's layout
    in.transColor = RGB(1, 2, 3);
    in.gaizi = &builtIn;
    WindowExtras extras;
    extras.layout = c.layout;
    ExpectSamePixels(Load("w.bmp"), *ComposeWindow(in, extras));
  }
}

TEST_F(ComposeCli, TextSourcesAndEncodings) {
  Save(CoordinateSkin(), "skin.bmp");
  const std::string utf8 = "A\xE3\x81\x82\r\nb\r\n";  // "Aあ", "b", CR LF line ends
  WriteFile(folder_ / "utf8.txt", utf8);
  WriteFile(folder_ / "sjis.txt", "A\x82\xA0\r\nb\r\n");
  // A Windows editor's UTF-8 starts with a byte-order mark, which is no text.
  const std::string bom = "\xEF\xBB\xBF";
  WriteFile(folder_ / "bom.txt", bom + utf8);
  const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
      {{"--text", utf8}, ""},
      {{"--text-file", "utf8.txt"}, ""},
      {{"--text-file", "bom.txt"}, ""},
      {{"--text-file", "bom.txt", "--encoding", "utf-8", "--letters", "international"}, ""},
      {{"--text-file", "sjis.txt", "--encoding", "cp932"}, ""},
      {{}, utf8},  // standard input
      {{}, bom + utf8},
  };
  const TBitmap expected = Expected(CoordinateSkin(), {"A\x82\xA0", "b"});
  EXPECT_EQ(expected.GetWidth(), 18 + 16);
  EXPECT_EQ(expected.GetHeight(), 48);
  for (auto [args, input] : runs) {
    SCOPED_TRACE(args.empty() ? "standard input " + std::to_string(input.size()) : args[1]);
    args.insert(args.end(), {"--system", "skin.bmp", "-o", "win.bmp"});
    const Outcome o = Run(args, input);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "");
    ExpectSamePixels(Load("win.bmp"), expected);
  }
}

// A translated game's text file composes as the same text given as UTF-8 with the same letters;
// the code page's own default is international letters.
TEST_F(ComposeCli, CodePageTextFilesComposeAsTheirUtf8) {
  struct Case {
    const char* encoding;
    std::string bytes;
    std::string utf8;
    const char* letters;  // nullptr: the code page's default
  };
  const std::vector<Case> cases = {
      {"cp1252", "\xBFQu\xE9 tal, se\xF1or?\r\n\x93" "Adi\xF3s\x94 \x85", "¿Qué tal, señor?\r\n“Adiós” …", nullptr},
      {"cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xAB\xC4\xE0\xBB" "", "Привет, мир! «Да»", nullptr},
      {"cp1251", "\xCF\xF0\xE8\xE2\xE5\xF2", "Привет", "japanese"},
      {"cp949", "\xBE\xC8\xB3\xE7\xC7\xCF\xBC\xBC\xBF\xE4 abc", "안녕하세요 abc", nullptr},
      {"cp932", "\x84\x40\x84\x47 \x82\xA0", "АЖ あ", "international"},  // Shift-JIS text, half-width Cyrillic
  };
  for (const Case& c : cases) {
    WriteFile(folder_ / "text.txt", c.bytes);
    std::vector<std::string> fromFile = {"--text-file", "text.txt", "--encoding", c.encoding, "-o", "file.bmp"};
    std::vector<std::string> fromUtf8 = {"--text", c.utf8, "--letters", c.letters ? c.letters : "international",
                                         "-o", "utf8.bmp"};
    if (c.letters) fromFile.insert(fromFile.end(), {"--letters", c.letters});
    const Outcome file = Run(fromFile);
    ASSERT_EQ(file.exitCode, 0) << c.encoding << ": " << file.err;
    EXPECT_EQ(file.err, "") << c.encoding;
    ASSERT_EQ(Run(fromUtf8).exitCode, 0) << c.encoding;
    EXPECT_TRUE(clitest::ReadText(folder_ / "file.bmp") == clitest::ReadText(folder_ / "utf8.bmp")) << c.encoding;
  }
  // Russian in international letters is half-width: "Привет" is 6 letters of 6 pixels.
  ASSERT_EQ(Run({"--text", "Привет", "--letters", "international", "-o", "intl.bmp"}).exitCode, 0);
  EXPECT_EQ(ReadBmpHeader(folder_ / "intl.bmp").width, 6 * 6 + 16);
  ASSERT_EQ(Run({"--text", "Привет", "-o", "ja.bmp"}).exitCode, 0);
  EXPECT_EQ(ReadBmpHeader(folder_ / "ja.bmp").width, 6 * 12 + 16);
}

// A character that no font holds is drawn as a box and named once on standard error; the window
// is still written.
TEST_F(ComposeCli, MissingGlyphIsNamedOnceAndTheWindowWritten) {
  const Outcome o = Run({"--text", "\xF0\x9F\x98\x80 a \xF0\x9F\x98\x80\n\xE0\xB8\x81", "-o", "w.bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.err,
            "panelwright-cli: U+1F600 (\xF0\x9F\x98\x80) has no glyph and is drawn as a box\n"
            "panelwright-cli: U+0E01 (\xE0\xB8\x81) has no glyph and is drawn as a box\n");
  EXPECT_EQ(ReadBmpHeader(folder_ / "w.bmp").width, 12 + 6 + 6 + 6 + 12 + 16);
  // An animation names them as the still window does, for every page of a batch.
  WriteFile(folder_ / "pages.txt", "\xF0\x9F\x98\x80 a\n---\n\xE0\xB8\x81 \xF0\x9F\x98\x80\n");
  for (const std::vector<std::string> args : {std::vector<std::string>{"--animate", "--text", "\xF0\x9F\x98\x80 a \xF0\x9F\x98\x80\n\xE0\xB8\x81"},
                                              std::vector<std::string>{"--animate", "--batch", "pages.txt"}}) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"-o", "w.gif"});
    const Outcome animated = Run(all);
    ASSERT_EQ(animated.exitCode, 0) << animated.err;
    EXPECT_EQ(animated.err, o.err) << args[1];
  }
}

TEST_F(ComposeCli, UserGlyphSheetFromTheCurrentDirectoryOrNamed) {
  Save(CoordinateSkin(), "skin.bmp");
  const std::vector<std::string> args = {"--system", "skin.bmp", "--text", "$0", "--wallpaper", "tile", "-o", "win.bmp"};
  ASSERT_EQ(Run(args).exitCode, 0);
  EXPECT_EQ(Load("win.bmp").GetPixelColor(8, 10), Src(8, 10));  // no sheet: a blank cell

  // A folder named myword.bmp is passed over for myword.png. The sample skin's PNG has no
  // white in its corner cell.
  const auto png = resources::SampleSkins().front().png;
  fs::create_directory(folder_ / "myword.bmp");
  WriteFile(folder_ / "myword.png", std::string(png.begin(), png.end()));
  const Outcome folderFirst = Run(args);
  ASSERT_EQ(folderFirst.exitCode, 0) << folderFirst.err;
  EXPECT_EQ(Load("win.bmp").GetPixelColor(9, 10), Src(3, 52));
  fs::remove(folder_ / "myword.bmp");
  fs::remove(folder_ / "myword.png");

  Save(Sheet(120, 12, {{0, 0}}), "myword.bmp");
  ASSERT_EQ(Run(args).exitCode, 0);
  EXPECT_EQ(Load("win.bmp").GetPixelColor(8, 10), Src(2, 52));
  EXPECT_EQ(Load("win.bmp").GetPixelColor(9, 10), Src(9, 10));

  // A named sheet wins over myword.bmp.
  WriteFile(folder_ / "glyphs.png", std::string(png.begin(), png.end()));
  std::vector<std::string> named = args;
  named.insert(named.end(), {"--user-glyphs", "glyphs.png"});
  ASSERT_EQ(Run(named).exitCode, 0);
  EXPECT_EQ(Load("win.bmp").GetPixelColor(9, 10), Src(3, 52));
}

TEST_F(ComposeCli, BatchNumbersItsOutputs) {
  WriteFile(folder_ / "lines.txt", "a\n---\nbb\r\n---\n\n---\nccc\nd\n---\n");
  const Outcome o = Run({"--batch", "lines.txt", "-o", "out/win.bmp"});
  fs::create_directories(folder_ / "out");
  const Outcome again = Run({"--batch", "lines.txt", "-o", "out/win.bmp"});
  EXPECT_NE(o.exitCode, 0);  // the output folder did not exist yet
  ASSERT_EQ(again.exitCode, 0) << again.err;
  const std::vector<std::pair<int, int>> sizes = {{22, 32}, {28, 32}, {16, 32}, {34, 48}};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const fs::path file = folder_ / "out" / ("win-00" + std::to_string(i + 1) + ".bmp");
    ASSERT_TRUE(fs::exists(file)) << file;
    const BmpHeader h = ReadBmpHeader(file);
    EXPECT_EQ(h.width, sizes[i].first) << file;
    EXPECT_EQ(h.height, sizes[i].second) << file;
  }
  EXPECT_FALSE(fs::exists(folder_ / "out" / "win-005.bmp"));
  // The byte-order mark of a Windows editor is no text of the first window.
  WriteFile(folder_ / "bom.txt", "\xEF\xBB\xBF" "a\n---\nbb\r\n");
  const Outcome bom = Run({"--batch", "bom.txt", "-o", "bom.bmp"});
  ASSERT_EQ(bom.exitCode, 0) << bom.err;
  EXPECT_EQ(bom.err, "");
  EXPECT_EQ(ReadBmpHeader(folder_ / "bom-001.bmp").width, 22);
  // An empty batch is one empty window, the one an empty text makes.
  WriteFile(folder_ / "empty.txt", "");
  ASSERT_EQ(Run({"--batch", "empty.txt", "-o", "empty.bmp"}).exitCode, 0);
  ASSERT_EQ(Run({"--text", "", "-o", "text.bmp"}).exitCode, 0);
  EXPECT_TRUE(clitest::ReadText(folder_ / "empty-001.bmp") == clitest::ReadText(folder_ / "text.bmp"));
  EXPECT_EQ(ReadBmpHeader(folder_ / "text.bmp").width, 16);
  EXPECT_FALSE(fs::exists(folder_ / "empty-002.bmp"));
}

TEST_F(ComposeCli, BatchDialogueWithTwoSpeakersFacesGameCodesAndArrow) {
  Save(CoordinateSkin(), "skin.bmp");
  // Faces 0 and 1 side by side, each one flat colour.
  const TBitmap faces = testing::Picture(96, 48, [](int x, int) { return x < 48 ? RGB(200, 0, 1) : RGB(0, 200, 1); });
  fs::create_directories(folder_ / "talk");
  Save(faces, "talk/faces.bmp");
  WriteFile(folder_ / "talk" / "dialogue.txt",
            "@face faces.bmp:0\n\\N[1]: Hi\\_there\\!\n---\n@face faces.bmp:1 right flip\n\\S[3]\\v[2] gold\n---\n"
            "@face none\nThe end\\^\n");
  const Outcome o = Run({"--system", "skin.bmp", "--batch", "talk/dialogue.txt", "--wallpaper", "tile", "--game-codes",
                         "--pause-arrow", "--name", "1=Alex", "--var", "2=42", "-o", "win.bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_FALSE(fs::exists(folder_ / "win-004.bmp"));

  // Each window is what the library makes of the block with its face.
  ComposeInput in;
  const TBitmap skin = CoordinateSkin();
  const TBitmap builtIn = Sheet(156, 48, {});
  TFontCache fonts;
  in.systemGraphic = &skin;
  in.wallMode = 1;
  in.gaizi = &builtIn;
  in.fonts = &fonts;
  WindowExtras extras;
  extras.pauseArrow = true;
  extras.gameCodes = true;
  extras.gameValues.names[1] = "Alex";
  extras.gameValues.values[2] = "42";
  extras.faceSheet = &faces;
  struct Window {
    std::string line;
    int face;
    bool right;  // and flipped
  };
  const Window windows[] = {{"\\N[1]: Hi\\_there\\!", 0, false}, {"\\S[3]\\v[2] gold", 1, true},
                            {"The end\\^", -1, false}};
  for (std::size_t b = 0; b < 3; ++b) {
    const Window& w = windows[b];
    in.lines = {w.line};
    extras.faceSheet = w.face >= 0 ? &faces : nullptr;
    extras.faceIndex = std::max(w.face, 0);
    extras.faceRight = extras.faceFlip = w.right;
    const TBitmap window = Load("win-00" + std::to_string(b + 1) + ".bmp");
    ExpectSamePixels(window, *ComposeWindow(in, extras));
    if (w.face >= 0) {
      const int left = w.right ? window.GetWidth() - 56 : 8;
      EXPECT_EQ(window.GetPixelColor(left, 8), w.face == 0 ? RGB(200, 0, 1) : RGB(0, 200, 1));
      EXPECT_EQ(window.GetHeight(), 64);
    } else {
      EXPECT_EQ(window.GetHeight(), 32);
    }
  }
  // Without a value for \V[2] the block fails and says which.
  const Outcome missing = Run({"--system", "skin.bmp", "--batch", "talk/dialogue.txt", "--game-codes", "--name",
                               "1=Alex", "-o", "w.bmp"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("block 2 (w-002.bmp): The text uses \\V[2], but no value is given for 2"), std::string::npos)
      << missing.err;
}

// A batch's face comes from the command line until an @face line replaces it; the line's words
// set the side and the flip, the command line's --face-right and --face-flip hold otherwise.
TEST_F(ComposeCli, BatchFaceLinesAndTheCommandLine) {
  Save(CoordinateSkin(), "skin.bmp");
  // Faces 0 and 1 side by side; no two columns alike, so that a lost flip shows, and no black.
  const auto faceColour = [](int x, int y) {
    return RGB(static_cast<std::uint8_t>(x + 10), static_cast<std::uint8_t>(y + 10), 0x40);
  };
  Save(testing::Picture(96, 48, faceColour), "faces.bmp");
  struct Case {
    std::vector<std::string> args;
    std::string batch;
    int face;
    bool right, flip;
  };
  const Case cases[] = {
      {{"--face", "faces.bmp:1", "--face-right"}, "@face faces.bmp:0 left\na\n", 0, false, false},
      {{"--face", "faces.bmp:1", "--face-flip"}, "a\n", 1, false, true},
      {{"--face-right", "--face-flip"}, "@face faces.bmp:1\na\n", 1, true, true},
      {{}, "@face faces.bmp:0 right flip\na\n", 0, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.batch);
    WriteFile(folder_ / "batch.txt", c.batch);
    std::vector<std::string> args = {"--system", "skin.bmp", "--batch", "batch.txt", "-o", "w.bmp"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome o = Run(args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const TBitmap window = Load("w-001.bmp");
    const int left = c.right ? window.GetWidth() - 56 : 8;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x)
        ASSERT_EQ(window.GetPixelColor(left + x, 8 + y), faceColour(48 * c.face + (c.flip ? 47 - x : x), y))
            << x << "," << y;
  }
}

// "@face" lines are read as the batch file holds them, never through Shift-JIS: the word in any
// case, blanks trimmed, the file named byte for byte.
TEST_F(ComposeCli, BatchFaceLinesAreTakenAsWritten) {
  Save(CoordinateSkin(), "skin.bmp");
  const TBitmap faces = testing::Picture(96, 48, [](int x, int) { return x < 48 ? RGB(200, 0, 1) : RGB(0, 200, 1); });
  struct Case {
    std::string file;  // the face sheet's name
    std::string line;
    bool right;        // face 1 on the right, else face 0 on the left
  };
  const Case cases[] = {
      {"\u301Cfaces.bmp", "@face \u301Cfaces.bmp", false},  // a wave dash, which Shift-JIS turns into another
      {"caf\u00E9.bmp", "@face caf\u00E9.bmp", false},      // a character Shift-JIS lacks
      {"faces.bmp", "@face faces.bmp  ", false},
      {"faces.bmp", "@face  faces.bmp", false},
      {"faces.bmp", "@FACE faces.bmp", false},
      {"faces.bmp", "@Face\tfaces.bmp:1  RIGHT ", true},
      {"my faces.bmp", "@face my faces.bmp:1 right", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    fs::remove_all(folder_ / "b");
    fs::create_directories(folder_ / "b");
    Save(faces, "b/" + c.file);
    WriteFile(folder_ / "b" / "batch.txt", c.line + "\nHi\n");
    const Outcome o = Run({"--system", "skin.bmp", "--batch", "b/batch.txt", "-o", "win.bmp"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const TBitmap window = Load("win-001.bmp");
    EXPECT_EQ(window.GetHeight(), 64);
    EXPECT_EQ(window.GetPixelColor(c.right ? window.GetWidth() - 56 : 8, 8), c.right ? RGB(0, 200, 1) : RGB(200, 0, 1));
  }
  // A Shift-JIS batch names its sheet in Shift-JIS: "\x8A\xE7" is the sheet 顔.bmp, found whichever
  // letters the windows are drawn in.
  Save(faces, "b/\u9854.bmp");
  WriteFile(folder_ / "b" / "batch.txt", "@face \x8A\xE7.bmp:1 right\nHi\n");
  for (const char* letters : {"japanese", "international"}) {
    SCOPED_TRACE(letters);
    const Outcome o = Run({"--system", "skin.bmp", "--batch", "b/batch.txt", "--encoding", "cp932", "--letters", letters,
                           "-o", "sjis.bmp"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const TBitmap window = Load("sjis-001.bmp");
    EXPECT_EQ(window.GetPixelColor(window.GetWidth() - 56, 8), RGB(0, 200, 1));
  }
  const std::pair<std::string, std::string> failures[] = {
      {"@face\nHi\n", "block 1: @face needs FILE[:N] or none"},
      {"Hi\n---\n@face faces.bmp:-2\nHo\n", "block 2: @face needs a face number from 0 to 999999999 after the colon, not '-2'"},
  };
  for (const auto& [text, message] : failures) {
    WriteFile(folder_ / "b" / "batch.txt", text);
    const Outcome o = Run({"--system", "skin.bmp", "--batch", "b/batch.txt", "-o", "fail.bmp"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err, "panelwright-cli: " + message + "\n");
    EXPECT_FALSE(fs::exists(folder_ / "fail-001.bmp"));
  }
}

TEST_F(ComposeCli, DepthReducesTheWindowBeforeWriting) {
  Save(CoordinateSkin(), "skin.bmp");  // no pixel of it is pure white
  const std::vector<std::pair<std::string, int>> depths = {{"1", 1}, {"4", 4}, {"8", 8}, {"24", 24}};
  for (const auto& [depth, bits] : depths) {
    const Outcome o = Run({"--system", "skin.bmp", "--text", "Hi\n\\C[5]there", "--depth", depth, "-o", "w.bmp"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(ReadBmpHeader(folder_ / "w.bmp").bits, bits);
    const TBitmap window = Load("w.bmp");
    std::set<TColor> colours;
    for (int y = 0; y < window.GetHeight(); ++y)
      for (int x = 0; x < window.GetWidth(); ++x) colours.insert(window.GetPixelColor(x, y));
    if (bits == 1) {
      EXPECT_EQ(colours, std::set<TColor>{clBlack});
    }
    if (bits == 4) {
      EXPECT_LE(colours.size(), 16u);
    }
    if (bits == 8) {
      EXPECT_LE(colours.size(), 256u);
    }
    if (bits == 24) ExpectSamePixels(window, Expected(CoordinateSkin(), {"Hi", "\\C[5]there"}));
  }
}

TEST_F(ComposeCli, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--text", "a"},                                   // no output
      {"--text", "a", "-o"},                             // option without value
      {"--margin", "161", "-o", "w.bmp"},
      {"--margin", "-1", "-o", "w.bmp"},
      {"--line-gap", "x", "-o", "w.bmp"},
      {"--line-gap", "321", "-o", "w.bmp"},
      {"--trans", "12345", "-o", "w.bmp"},
      {"--trans", "GG0000", "-o", "w.bmp"},
      {"--trans-at", "160,0", "-o", "w.bmp"},
      {"--trans-at", "3", "-o", "w.bmp"},
      {"--trans", "FF0000", "--trans-at", "1,1", "-o", "w.bmp"},
      {"--font", "Arial", "-o", "w.bmp"},
      {"--wallpaper", "centre", "-o", "w.bmp"},
      {"--encoding", "latin1", "-o", "w.bmp"},
      {"--encoding", "cp1255", "-o", "w.bmp"},
      {"--letters", "latin", "-o", "w.bmp"},
      {"--letters", "-o", "w.bmp"},
      {"--depth", "7", "-o", "w.bmp"},
      {"--text", "a", "--text-file", "t.txt", "-o", "w.bmp"},
      {"--text", "a", "--batch", "t.txt", "-o", "w.bmp"},
      {"--colour", "-o", "w.bmp"},
      {"--name", "Alex", "-o", "w.bmp"},
      {"--var", "x=1", "-o", "w.bmp"},
      {"--var", "1000000000=1", "-o", "w.bmp"},
      {"--face", "faces.bmp:-1", "-o", "w.bmp"},         // a face number, not a file name
      {"--face", "faces.bmp:1234567890", "-o", "w.bmp"},
      {"stray", "-o", "w.bmp"},
      {"--text", "a", "-o", "w.GIF"},                    // an animation without --animate
      {"--speed", "2", "-o", "w.bmp"},                   // animation options need --animate
      {"--animate", "-o", "w.bmp"},
      {"--animate", "--speed", "21", "-o", "w.gif"},
      {"--animate", "--speed", "0", "-o", "w.gif"},
      {"--animate", "--hold", "60.01", "-o", "w.gif"},
      {"--animate", "--hold", "1e1", "-o", "w.gif"},
      {"--animate", "--hold", "-1", "-o", "w.gif"},
      {"--animate", "--loop", "65536", "-o", "w.gif"},
      {"--animate", "--depth", "8", "-o", "w.gif"},
      {"--layout", "wide", "-o", "w.bmp"},
      {"--screen", "-o", "w.bmp"},                       // the screen and position need the game's layout
      {"--position", "top", "-o", "w.bmp"},
      {"--layout", "game", "--position", "left", "-o", "w.bmp"},
      {"--layout", "game", "--margin", "1", "-o", "w.bmp"},
      {"--layout", "game", "--line-gap", "1", "-o", "w.bmp"},
  };
  for (const auto& args : cases) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 2) << args[0] << " " << o.err;
    EXPECT_NE(o.err.find("panelwright-cli: "), std::string::npos) << args[0];
    EXPECT_FALSE(fs::exists(folder_ / "w.bmp"));
    EXPECT_FALSE(fs::exists(folder_ / "w.gif"));
  }
  EXPECT_NE(Run({"--text", "a", "-o", "w.Gif"}).err.find("--animate"), std::string::npos);
}

TEST_F(ComposeCli, AnimationOfABatchIsOneFileWithTheLibrarysBytes) {
  Save(CoordinateSkin(), "skin.bmp");
  const TBitmap faces = testing::Picture(96, 48, [](int x, int) { return x < 48 ? RGB(200, 0, 1) : RGB(0, 200, 1); });
  Save(faces, "faces.bmp");
  WriteFile(folder_ / "dialogue.txt", "@face faces.bmp:0\nHi\\.\\S[4] there\n---\n@face faces.bmp:1 right\nBye\n");
  const TBitmap skin = CoordinateSkin();
  TFontCache fonts;
  ComposeInput in;
  in.systemGraphic = &skin;
  in.fonts = &fonts;
  std::vector<AnimationPage> pages(2);
  pages[0].lines = {"Hi\\.\\S[4] there"};
  pages[1].lines = {"Bye"};
  for (int p = 0; p < 2; ++p) {
    pages[p].extras.gameCodes = true;
    pages[p].extras.faceSheet = &faces;
    pages[p].extras.faceIndex = p;
    pages[p].extras.faceRight = p == 1;
  }
  // Seconds of hold are rounded to ticks, not cut.
  const std::pair<std::string, int> holds[] = {{"0.5", 30}, {"1.999", 120}, {"0.125", 8}};
  for (const auto& [seconds, ticks] : holds) {
    AnimationTiming pace;
    pace.speed = 2;
    pace.holdTicks = ticks;
    pace.plays = 2;
    const TAnimation animation = ComposeAnimation(in, pages, pace);
    TMemoryStream gif, apng;
    WriteGif(animation, AnimationPalette(animation, gif::kMaxColours), gif);
    WriteApng(animation, apng);
    for (const std::string name : {"talk.gif", "talk.png"}) {
      const Outcome o = Run({"--animate", "--system", "skin.bmp", "--batch", "dialogue.txt", "--game-codes", "--speed",
                             "2", "--hold", seconds, "--loop", "2", "-o", name});
      ASSERT_EQ(o.exitCode, 0) << o.err;
      const std::vector<std::uint8_t> expected = name == "talk.gif" ? gif.Bytes() : apng.Bytes();
      const std::string file = clitest::ReadText(folder_ / name);
      EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.end()), expected) << name << " held " << seconds;
    }
  }
  EXPECT_FALSE(fs::exists(folder_ / "talk-001.gif"));
  // UTF-8 text reaches the animation converted as it reaches the still window: the animated
  // PNG's default image is the still window of the same text.
  const std::string text = "\u6F22\u5B57 caf\u00E9 \u0416";
  ASSERT_EQ(Run({"--system", "skin.bmp", "--text", text, "-o", "still.png"}).exitCode, 0);
  const Outcome animated = Run({"--animate", "--system", "skin.bmp", "--text", text, "-o", "moving.png"});
  ASSERT_EQ(animated.exitCode, 0) << animated.err;
  ExpectSamePixels(io::LoadPicture((folder_ / "moving.png").string()), io::LoadPicture((folder_ / "still.png").string()));
}

TEST_F(ComposeCli, AnimationAtTheGifSizeLimit) {
  const std::string wide = "\\>" + std::string(10919, 'a') + "\\_";  // 65519 pixels of text
  struct Case {
    std::vector<std::string> args;
    std::string output;
    int width;
  };
  const Case cases[] = {
      {{"--margin", "1", "--text", wide}, "w.gif", 65535},
      {{"--text", "\\>" + std::string(10920, 'a')}, "w.png", 65536},
  };
  for (Case c : cases) {
    c.args.insert(c.args.end(), {"--animate", "--game-codes", "--no-open", "--hold", "0", "-o", c.output});
    const Outcome o = Run(c.args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    const std::string file = clitest::ReadText(folder_ / c.output);
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(file.at(at)); };
    // The GIF's logical screen width (16 bits, little-endian), the PNG's IHDR width (32 bits, big-endian).
    const int width = c.output == "w.gif" ? byte(6) | byte(7) << 8 : byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19);
    EXPECT_EQ(width, c.width) << c.output;
  }
}

TEST_F(ComposeCli, FailuresExitWithOneAndWriteNothing) {
  Save(CoordinateSkin(100, 80), "small.bmp");
  WriteFile(folder_ / "skin.gif", "GIF89a");
  // A BMP header alone that claims 40000x40000 pixels of 32 bits.
  std::string huge = std::string("BM") + std::string(8, '\0') + std::string("\x36\0\0\0\x28\0\0\0", 8);
  huge += std::string("\x40\x9C\0\0\x40\x9C\0\0\x01\0\x20\0", 12) + std::string(24, '\0');
  WriteFile(folder_ / "huge.bmp", huge);
  Save(Sheet(kMaxSheetSide + 1, 48, {}), "wide.bmp");
  Save(Sheet(12, kMaxSheetSide + 1, {}), "tall.bmp");
  const auto png = resources::SampleSkins().front().png;
  WriteFile(folder_ / "cut.png", std::string(png.begin(), png.begin() + 33));  // cut after the header chunk
  WriteFile(folder_ / "cut-data.png", std::string(png.begin(), png.end() - 40));  // cut inside the image data
  WriteFile(folder_ / "unknown-face.txt", "Hello\n---\n@face missing.png\nWho?\n");
  // 131 lines with the widest margin and line gap: 6336x44032 pixels, more than 2^28.
  WriteFile(folder_ / "tall.txt", std::string(1000, 'x') + std::string(130, '\n') + "x");
  std::string tallText, manyLines;
  for (int i = 0; i < 4095; ++i) tallText += "\\>a\n";
  for (int i = 0; i < 1747; ++i) manyLines += "a\n";
  struct Case {
    std::vector<std::string> args;
    std::string message;
    std::string output = "w.bmp";
    std::string absent = "";  // a text the message must not hold
  };
  const std::vector<Case> cases = {
      {{"--system", "small.bmp", "--text", "a"}, "100x80"},
      {{"--system", "missing.bmp", "--text", "a"}, "missing.bmp"},
      {{"--system", "skin.gif", "--text", "a"}, "skin.gif"},
      {{"--text", "", "--line-gap", "16"}, "The window has no height"},
      {{"--text", "", "--line-gap", "8"}, "TQvDIB.SetPixels: Pixel Position is Out of Range"},
      {{"--text", "Caf\xE9\x81", "--encoding", "cp1252"}, "The text is not valid cp1252 at byte 4"},
      {{"--text", "\xC7\xD1\xC7", "--encoding", "cp949"}, "The text is not valid cp949 at byte 2"},
      {{"--text", "a\xFF"}, "not valid UTF-8"},
      {{"--text-file", "missing.txt"}, "missing.txt"},
      {{"--text", "$0", "--user-glyphs", "missing.png"}, "missing.png"},
      {{"--text", "a", "--face", "missing.png:3"}, "missing.png"},
      {{"--text", "a", "--face", "small.bmp:4"}, "The face sheet small.bmp has no face 4"},
      {{"--system", "huge.bmp", "--text", "a"}, "huge.bmp: the system graphic is 40000x40000 pixels; it must be 160x80"},
      {{"--text", "a", "--face", "wide.bmp"}, "The face sheet wide.bmp is 4097x48 pixels; a sheet may be at most 4096x4096"},
      {{"--text", "$0", "--user-glyphs", "tall.bmp"},
       "The user glyph sheet tall.bmp is 12x4097 pixels; a sheet may be at most 4096x4096"},
      {{"--system", "cut.png", "--text", "a"}, "cut.png holds no image; the file may be cut short"},
      {{"--text", "a", "--face", "cut.png"}, "cut.png holds no image; the file may be cut short"},
      // One block's face fails the whole animation, named by its block; one window's face
      // fails it with the face's message alone.
      {{"--animate", "--batch", "unknown-face.txt"}, "block 2 (w.gif): ", "w.gif"},
      {{"--animate", "--text", "a", "--face", "missing.png"}, "panelwright-cli: File missing.png  isn't opened.", "w.gif",
       "block"},
      // A reader's message names the file and says when the file is cut short.
      {{"--system", "cut-data.png", "--text", "a"}, "panelwright-cli: cut-data.png: Read Image (PNG): Read Error; the file is cut short\n"},
      {{"--text", "a", "--face", "cut-data.png"}, "panelwright-cli: cut-data.png: Read Image (PNG): Read Error; the file is cut short\n"},
      // The largest face number is a face that the sheet lacks, not a wrong option.
      {{"--text", "a", "--face", "small.bmp:999999999"}, "The face sheet small.bmp has no face 999999999"},
      {{"--text", "a", "--face", "small.bmp:123456789"}, "The face sheet small.bmp has no face 123456789"},
      // No window is written that no reader would read back.
      {{"--text-file", "tall.txt", "--margin", "160", "--line-gap", "320"},
       "panelwright-cli: The window would be at least 6336x44032 pixels, more than the 268435456 pixels of the largest "
       "picture Panelwright reads\n"},
      {{"--text-file", "tall.txt", "--margin", "160", "--line-gap", "320", "--animate"}, "at least 6336x44032 pixels",
       "w.gif"},
      // A GIF's size has 16 bits; the same animation as an animated PNG is written (below).
      {{"--animate", "--game-codes", "--no-open", "--hold", "0", "--text", "\\>" + std::string(10920, 'a')},
       "A GIF is at most 65535 pixels wide and high, and this animation is 65536x32: write it as an animated PNG "
       "(.png) instead", "w.gif"},
      {{"--animate", "--game-codes", "--no-open", "--hold", "0", "--text", tallText}, "this animation is 22x65536",
       "w.gif"},
      // Frames x width x height at most 2^30: 1747 lines of one character a frame each are too many.
      {{"--animate", "--speed", "2", "--hold", "0", "--no-open", "--text", manyLines},
       "The animation would be more than 1745 frames of 22x27968 pixels", "w.png"},
  };
  for (Case c : cases) {
    c.args.insert(c.args.end(), {"-o", c.output});
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, 1) << c.message << ": " << o.err;
    EXPECT_NE(o.err.find(c.message), std::string::npos) << c.message << " | " << o.err;
    if (!c.absent.empty()) {
      EXPECT_EQ(o.err.find(c.absent), std::string::npos) << o.err;
    }
    EXPECT_FALSE(fs::exists(folder_ / c.output)) << c.message;
  }
}

// The frames and delays of an animated PNG, read chunk by chunk: acTL's frame and play counts and
// each fcTL's delay in sixtieths of a second.
struct ApngTimes {
  std::uint32_t frames = 0, plays = 0;
  std::vector<std::uint32_t> delays;  // in ticks
  std::uint32_t Total() const {
    std::uint32_t total = 0;
    for (const std::uint32_t d : delays) total += d;
    return total;
  }
};
ApngTimes ReadApngTimes(const fs::path& path) {
  const std::string b = clitest::ReadText(path);
  const auto u32 = [&](std::size_t at) {
    return std::uint32_t{static_cast<unsigned char>(b.at(at))} << 24 | std::uint32_t{static_cast<unsigned char>(b.at(at + 1))} << 16 |
           std::uint32_t{static_cast<unsigned char>(b.at(at + 2))} << 8 | static_cast<unsigned char>(b.at(at + 3));
  };
  const auto u16 = [&](std::size_t at) { return u32(at) >> 16; };
  ApngTimes times;
  for (std::size_t at = 8; at + 8 <= b.size();) {
    const std::uint32_t length = u32(at);
    const std::string type = b.substr(at + 4, 4);
    if (type == "acTL") times.frames = u32(at + 8), times.plays = u32(at + 12);
    if (type == "fcTL") {
      EXPECT_EQ(u16(at + 8 + 22), 60u);  // the denominator
      times.delays.push_back(u16(at + 8 + 20));
    }
    at += 12 + length;
  }
  return times;
}

// The animation options at their ends: the longest hold and a loop for ever are taken; the
// opening's 7 frames of a tick each are there unless --no-open leaves them out.
TEST_F(ComposeCli, AnimationOptionsAtTheirEnds) {
  const auto animate = [&](std::vector<std::string> options) {
    options.insert(options.end(), {"--animate", "--text", "Hi", "-o", "a.png"});
    const Outcome o = Run(options);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    return ReadApngTimes(folder_ / "a.png");
  };
  const ApngTimes base = animate({"--hold", "0", "--loop", "3"});
  EXPECT_EQ(base.plays, 3u);
  EXPECT_EQ(base.frames, base.delays.size());
  const ApngTimes longest = animate({"--hold", "60", "--loop", "0"});
  EXPECT_EQ(longest.plays, 0u);
  EXPECT_EQ(longest.Total(), base.Total() + 60 * 60);
  const ApngTimes closed = animate({"--hold", "0", "--loop", "3", "--no-open"});
  EXPECT_EQ(closed.frames + 7, base.frames);
  EXPECT_EQ(closed.Total() + 7, base.Total());
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(base.delays.at(i), 1u) << i;
}

// A face sheet as large as a sheet may be is read; a palette sheet whose tRNS makes an index
// other than 0 transparent hides that index and draws index 0.
TEST_F(ComposeCli, FaceSheetsAtTheirLimitsAndTransparency) {
  Save(CoordinateSkin(), "skin.bmp");
  // 85 rows of four faces: the last, 339, at (144, 4032).
  Save(testing::Picture(4 * 48, kMaxSheetSide,
                        [](int x, int y) { return RGB(10, static_cast<std::uint8_t>(y / 48), static_cast<std::uint8_t>(x / 48)); }),
       "tall.bmp");
  const Outcome tall = Run({"--system", "skin.bmp", "--text", "a", "--face", "tall.bmp:339", "-o", "tall-face.bmp"});
  ASSERT_EQ(tall.exitCode, 0) << tall.err;
  EXPECT_EQ(Load("tall-face.bmp").GetPixelColor(8, 8), RGB(10, 84, 3));

  test::RawImage image{48, 48, 8, {}};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) image.pixels.push_back({static_cast<std::uint8_t>((x + y) % 3)});
  test::PngBuilder png;
  png.Ihdr(48, 48, 8, 3).Plte({0xC01020, 0x20C010, 0x1020C0}).Chunk("tRNS", {255, 255, 0});
  png.Idat(test::Deflate(test::Scanlines(image, false))).Iend();
  WriteFile(folder_ / "palette.png", std::string(png.Get().begin(), png.Get().end()));
  const Outcome o = Run({"--system", "skin.bmp", "--wallpaper", "tile", "--text", "a", "--face", "palette.png", "-o", "w.bmp"});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  const TBitmap window = Load("w.bmp");
  const TColor colours[] = {RGB(0xC0, 0x10, 0x20), RGB(0x20, 0xC0, 0x10)};
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 48; ++x) {
      const int index = (x + y) % 3;
      ASSERT_EQ(window.GetPixelColor(8 + x, 8 + y), index == 2 ? Src((8 + x) % 32, (8 + y) % 32) : colours[index])
          << x << "," << y;
    }
}

// A batch stopped by a signal leaves no file half-made: the windows put in place stay, the
// hidden temporary files of those made ahead are gone.
TEST_F(ComposeCli, AStoppedBatchLeavesNoTemporaryFile) {
  // The first window takes long; the short ones after it are made ahead and wait, unfinished.
  std::string batch;
  for (int i = 0; i < 2500; ++i) batch += "a long first window, line " + std::to_string(i) + "\n";
  for (int i = 0; i < 300; ++i) batch += "---\nshort " + std::to_string(i) + "\n";
  WriteFile(folder_ / "batch.txt", batch);
  const auto temporary = [&] {
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) n += entry.path().extension() == ".tmp";
    return n;
  };
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::chdir(folder_.c_str());
      ::execl(PW_CLI_PATH, PW_CLI_PATH, "compose", "--batch", "batch.txt", "--jobs", "2", "-o", "w.png", nullptr);
      ::_exit(127);
    }
    bool seen = false;
    for (int i = 0; i < 3000 && !seen; ++i) {
      seen = temporary() > 0;
      if (!seen) ::usleep(2000);
    }
    EXPECT_TRUE(seen) << "no window was made ahead";
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(temporary(), 0u);
  }
}

TEST_F(ComposeCli, HelpAndVersionPrintTheirTexts) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {{"compose", "--help"}, {"usage: panelwright-cli compose [--system FILE]"}},
      {{"--version"},
       {"panelwright-cli ", "Licence GPL-2.0-or-later: the GNU General Public License, version 2 or",
        "WenQuanYi's bitmap font", "the program as built is under version 2 of the GNU General Public License.",
        "There is NO WARRANTY"}},
  };
  for (const Case& c : cases) {
    const Outcome o = CliTest::Run(c.args);
    EXPECT_EQ(o.exitCode, 0) << c.args[0];
    EXPECT_EQ(o.err, "") << c.args[0];
    for (const std::string& line : c.lines) EXPECT_NE(o.out.find(line), std::string::npos) << line << " | " << o.out;
  }
}

}  // namespace
}  // namespace pw
