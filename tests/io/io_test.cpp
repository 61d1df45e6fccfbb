// The rules every program reads by: option values, window text, pictures' messages and the
// names animations are written under.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "compose/animate.h"
#include "compose/errors.h"
#include "io/animation_file.h"
#include "io/load_picture.h"
#include "io/options.h"
#include "io/text.h"
#include "resources/resources.h"
#include "toolkit/stream.h"

namespace pw::io {
namespace {

// What the command line takes and the page's fields must take alike; a refusal's message is
// the same on every surface.
TEST(Options, WholeNumbersAndSecondsAreDigitsWithinTheirRange) {
  struct Case {
    std::string value;
    std::optional<int> speed;       // 1..20
    std::optional<int> plays;       // 0..65535
    std::optional<double> seconds;  // 0..60
  };
  const Case cases[] = {
      {"1", 1, 1, 1.0},
      {"20", 20, 20, 20.0},
      {"0", std::nullopt, 0, 0.0},
      {"21", std::nullopt, 21, 21.0},
      {"60", std::nullopt, 60, 60.0},
      {"60.0", std::nullopt, std::nullopt, 60.0},
      {"60.01", std::nullopt, std::nullopt, std::nullopt},
      {"1.999", std::nullopt, std::nullopt, 1.999},
      {".5", std::nullopt, std::nullopt, 0.5},
      {"2.5", std::nullopt, std::nullopt, 2.5},
      {"65535", std::nullopt, 65535, std::nullopt},
      {"65536", std::nullopt, std::nullopt, std::nullopt},
      {"4294967297", std::nullopt, std::nullopt, std::nullopt},  // 2^32 + 1 must not wrap to 1
      {"1e1", std::nullopt, std::nullopt, std::nullopt},
      {"+1", std::nullopt, std::nullopt, std::nullopt},
      {"-1", std::nullopt, std::nullopt, std::nullopt},
      {" 1", std::nullopt, std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt, std::nullopt},
      {".", std::nullopt, std::nullopt, std::nullopt},
      {"1.2.3", std::nullopt, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("'" + c.value + "'");
    const auto whole = [&](int low, int high) -> std::optional<int> {
      try {
        return WholeNumber("Speed", c.value, low, high);
      } catch (const EOptionValue& e) {
        EXPECT_EQ(std::string(e.what()), "Speed needs a whole number from " + std::to_string(low) + " to " +
                                             std::to_string(high) + ", not '" + c.value + "'");
        return std::nullopt;
      }
    };
    EXPECT_EQ(whole(1, 20), c.speed);
    EXPECT_EQ(whole(0, 65535), c.plays);
    std::optional<double> seconds;
    try {
      seconds = HoldSeconds("--hold", c.value);
    } catch (const EOptionValue& e) {
      EXPECT_EQ(std::string(e.what()), "--hold needs seconds from 0 to 60, not '" + c.value + "'");
    }
    EXPECT_EQ(seconds, c.seconds);
  }
}

TEST(Text, OneByteOrderMarkIsDroppedFromTheStart) {
  const std::pair<std::string, std::string> cases[] = {
      {"\xEF\xBB\xBFHi", "Hi"},
      {"\xEF\xBB\xBF\xEF\xBB\xBFHi", "\xEF\xBB\xBFHi"},  // only one
      {"Hi\xEF\xBB\xBF", "Hi\xEF\xBB\xBF"},              // only at the start
      {"\xEF\xBB", "\xEF\xBB"},
      {"", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(std::string(WithoutByteOrderMark(text)), expected);
}

TEST(Text, CharactersWithoutAGlyphAreNamedOnceInTheirOrder) {
  GameCodeValues values;
  values.names[1] = ToWindowText("\xE0\xB8\x81", TLetters::Japanese);       // U+0E01
  values.values[2] = ToWindowText("\xF0\x9F\x98\x81\xF0\x9F\x98\x80", TLetters::Japanese);  // U+1F601, U+1F600
  const std::vector<std::string> lines = {ToWindowText("a\xF0\x9F\x98\x80 b", TLetters::Japanese), "c"};
  EXPECT_EQ(MissingGlyphNotes(lines, values),
            (std::vector<std::string>{"U+1F600 (\xF0\x9F\x98\x80) has no glyph and is drawn as a box",
                                      "U+0E01 (\xE0\xB8\x81) has no glyph and is drawn as a box",
                                      "U+1F601 (\xF0\x9F\x98\x81) has no glyph and is drawn as a box"}));
  EXPECT_TRUE(MissingGlyphNotes({"abc"}, {}).empty());
}

// 15 lines are 256 rows high: a window of at most 2^20 columns, 1048560 pixels of text.
TEST(Text, ATextTooLargeForAnyReaderIsRefusedByItsLines) {
  const std::string zhe = "\xD0\x96";  // Ж: 6 pixels in international letters, 12 in Japanese ones
  const auto times = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  struct Case {
    const char* name;
    std::string text;
    TLetters letters;
    std::string refusal;  // empty: it fits
  };
  const Case cases[] = {
      // A line break at the end of the text opens no line: 15 of them end 15 lines.
      {"half-width letters that fit", times(zhe, 174760) + std::string(15, '\n'), TLetters::International, ""},
      {"the same letters full-width", times(zhe, 174760) + std::string(15, '\n'), TLetters::Japanese, "2097136x256"},
      {"one full-width letter past the limit", times(zhe, 87381) + times("\r\n", 15), TLetters::Japanese, "1048588x256"},
      {"the last line decides", std::string(14, '\n') + times(zhe, 87381), TLetters::Japanese, "1048588x256"},
      {"a line that is no UTF-8 is left to the composition", "\xFF" + times(zhe, 87381) + std::string(15, '\n'),
       TLetters::Japanese, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ComposeInput input;
    try {
      RequireTextFits(c.text, c.letters, input, {});
      EXPECT_EQ(c.refusal, "");
    } catch (const EComposeError& e) {
      EXPECT_EQ(std::string(e.what()), "The window would be at least " + c.refusal +
                                           " pixels, more than the 268435456 pixels of the largest picture Panelwright reads");
    }
  }
}

// A reader's failure is told with the file's name and, when the file ends early, so.
TEST(Pictures, AReadersFailureNamesTheFileAndACutShort) {
  const auto png = resources::SampleSkins().front().png;
  const auto bmp = resources::SampleSkins().front().bmp;
  const auto bytes = [](auto span, std::size_t keep) { return std::vector<std::uint8_t>(span.begin(), span.begin() + keep); };
  // The image data's zlib header made to name no method: the file is whole.
  std::vector<std::uint8_t> damaged(png.begin(), png.end());
  const std::string idat = "IDAT";
  const auto at = std::search(damaged.begin(), damaged.end(), idat.begin(), idat.end()) - damaged.begin();
  damaged.at(static_cast<std::size_t>(at) + 4) = 0;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    std::string message;
  };
  const Case cases[] = {
      {"skin.png", bytes(png, png.size() - 40), "skin.png: Read Image (PNG): Read Error; the file is cut short"},
      {"skin.png", damaged, "skin.png: Read Image (PNG): Read Error"},
      {"skin.bmp", bytes(bmp, 20), "skin.bmp: Stream read error; the file is cut short"},
      {"skin.dib", bytes(bmp, 30), "skin.dib: Stream read error; the file is cut short"},
      {"skin.bmp", std::vector<std::uint8_t>(png.begin(), png.end()), "skin.bmp: A bitmap image is illegal."},
      {"skin.png", bytes(png, 33), "skin.png holds no image; the file may be cut short"},
      {"skin.bmp", {}, "skin.bmp holds no image; the file may be cut short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TMemoryStream file(c.file);
    try {
      LoadOwnedPicture(file, c.name);
      ADD_FAILURE() << "read";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

// An animation is written under a .gif or .png name, in any letter case, and refused under any
// other before anything is written.
TEST(Animations, TheNameChoosesTheFormatOrIsRefused) {
  const TBitmap skin = LoadSampleSkin(resources::SampleSkins().front());
  ComposeInput input;
  input.systemGraphic = &skin;
  const TAnimation animation = ComposeAnimation(input, {{{"a"}, {}}}, AnimationTiming{});
  const std::pair<std::string, std::string> cases[] = {
      {"talk.gif", "GIF89a"}, {"TALK.GIF", "GIF89a"}, {"talk.png", "\x89PNG"}, {"talk.Png", "\x89PNG"},
      {"talk.bmp", ""}, {"talk", ""}, {"talk.gif.txt", ""},
  };
  for (const auto& [name, start] : cases) {
    SCOPED_TRACE(name);
    TMemoryStream out;
    try {
      WriteAnimation(animation, name, out, "Save animation");
      ASSERT_FALSE(start.empty()) << "written";
      EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().begin() + static_cast<std::ptrdiff_t>(start.size())), start);
    } catch (const Exception& e) {
      EXPECT_TRUE(start.empty());
      EXPECT_EQ(std::string(e.what()), "Save animation writes OUT.gif or OUT.png, not '" + name + "'");
      EXPECT_EQ(out.Bytes().size(), 0u);
    }
  }
}

}  // namespace
}  // namespace pw::io
