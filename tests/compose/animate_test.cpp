#include "compose/animate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "compose/steps.h"
#include "tests/compose/test_pictures.h"
#include "toolkit/letters.h"

namespace pw {
namespace {

// Steps written as "shown:ticks", "*" after shown while the arrow shows, "pN/" before a page
// other than the first, "oK" for opening step K.
std::string Describe(const std::vector<AnimationStep>& steps) {
  std::string out;
  for (const AnimationStep& s : steps) {
    if (!out.empty()) out += ' ';
    if (s.opening > 0) {
      out += "o" + std::to_string(s.opening);
    } else {
      if (s.page > 0) out += "p" + std::to_string(s.page) + "/";
      out += std::to_string(s.shown) + (s.arrow ? "*" : "");
    }
    out += ":" + std::to_string(s.ticks);
  }
  return out;
}

// The steps of a description written as Describe writes them.
std::vector<AnimationStep> Steps(const std::string& description) {
  std::vector<AnimationStep> steps;
  std::istringstream words(description);
  std::string word;
  while (words >> word) {
    AnimationStep step;
    const std::size_t colon = word.find(':');
    step.ticks = std::stoi(word.substr(colon + 1));
    std::string what = word.substr(0, colon);
    if (what[0] == 'o') {
      step.opening = std::stoi(what.substr(1));
    } else {
      if (what[0] == 'p') {
        const std::size_t slash = what.find('/');
        step.page = std::stoul(what.substr(1, slash - 1));
        what = what.substr(slash + 1);
      }
      step.arrow = what.back() == '*';
      step.shown = std::stoul(what);
    }
    steps.push_back(step);
  }
  return steps;
}

// The lines as window text: UTF-8 through the letters setting (the codes are ASCII and pass).
std::vector<std::string> WindowLines(const std::vector<std::string>& utf8, TLetters letters) {
  std::vector<std::string> lines;
  for (const std::string& line : utf8) lines.push_back(ToWindowText(line, letters));
  return lines;
}

// --- The typing rules ---

// Each row's steps are worked out by hand from the typing rules (animate.h): w is 1 for a
// glyph drawn at most 6 pixels wide, 2 otherwise; "a" is half-width, "あ" full-width.
TEST(AnimationTimeline, StepsOfSmallTextsFollowTheGameTypingRules) {
  struct Case {
    std::vector<std::vector<std::string>> pages;
    int speed;
    bool gameCodes;
    int hold;
    std::string expected;
    TLetters letters = TLetters::Japanese;
  };
  const Case cases[] = {
      // Two half-width glyphs a frame at speed 1: the first waits 0 (counter 0), the second 1 (counter 1).
      {{{"abcd"}}, 1, false, 0, "2:1 4:2"},
      // The last glyph of the page waits 2 frames, at any speed.
      {{{"ab"}}, 1, false, 0, "2:2"},
      {{{"abc"}}, 1, false, 0, "2:1 3:2"},
      {{{"ab"}}, 5, false, 0, "1:3 2:2"},               // 5 x 1 / 2 + 1, then the last glyph
      {{{"a", "b"}}, 1, false, 0, "1:1 2:2"},           // the last glyph of a line waits 1 at speed 1
      {{{"abc", "de"}}, 1, false, 0, "2:1 3:1 5:2"},    // the counter starts again on each line
      {{{"ab"}}, 2, false, 0, "1:2 2:2"},
      {{{"あ"}}, 2, false, 0, "1:2"},
      {{{"aあ"}}, 20, false, 0, "1:11 2:2"},            // 20 x 1 / 2 + 1
      // A full-width glyph after a half-width one that waited 0: one frame first.
      {{{"aあ"}}, 1, false, 0, "1:1 2:2"},
      {{{"aあb"}}, 1, false, 0, "1:1 2:1 3:2"},          // then w / 2 = 1 frame
      {{{"abあ"}}, 1, false, 0, "2:1 3:2"},             // b waited: no frame first
      {{{"ああ"}}, 1, false, 0, "1:1 2:2"},
      {{{"aあ"}}, 2, false, 0, "1:2 2:2"},              // at speed 2 every glyph waits
      // The width class is the drawn advance: é and (with international letters) Ж are half-width.
      {{{"éa"}}, 2, false, 0, "1:2 2:2"},
      {{{"Жa"}}, 2, false, 0, "1:2 2:2", TLetters::International},
      {{{"Жa"}}, 2, false, 0, "1:3 2:2"},
      {{{"$Aa"}}, 2, false, 0, "1:3 2:2"},               // a built-in glyph is full-width
      // Codes at speed 1 wait a frame more at an odd counter, and raise a counter above 0.
      {{{"a\\C[1]b"}}, 1, false, 0, "1:1 2:2"},
      {{{"ab\\C[1]c"}}, 1, false, 0, "2:1 3:2"},
      {{{"\\C[1]ab"}}, 1, false, 0, "2:2"},
      {{{"a\\C[1]\\C[2]あ"}}, 1, false, 0, "1:1 2:2"},  // a code is not a glyph that waited 0
      {{{"a\\.b"}}, 1, true, 0, "1:17 2:2"},
      {{{"ab\\.c"}}, 1, true, 0, "2:17 3:2"},           // b's 1 and \. at an even counter
      {{{"a\\|b"}}, 1, true, 0, "1:62 2:2"},
      {{{"\\C[2]a\\$b"}}, 1, true, 0, "1:2 2:2"},       // \$ waits the speed, and 1 at an odd counter
      {{{"\\$ab"}}, 1, true, 0, "0:1 2:2"},
      {{{"ab\\^"}}, 1, true, 40, "2:3"},                // 1, \^ 1, the line's end after a code 1; no hold
      {{{"a\\.b"}}, 1, false, 0, "2:1 4:2"},            // without game codes, \. is text
      // \. waits 16 frames, and one more a speed above 16, up to 20.
      {{{"\\.a"}}, 1, true, 0, "0:16 1:2"},
      {{{"\\.a"}}, 15, true, 0, "0:16 1:2"},
      {{{"\\.a"}}, 16, true, 0, "0:16 1:2"},
      {{{"\\.a"}}, 17, true, 0, "0:17 1:2"},
      {{{"\\.a"}}, 18, true, 0, "0:18 1:2"},
      {{{"\\.a"}}, 19, true, 0, "0:19 1:2"},
      {{{"\\.a"}}, 20, true, 0, "0:20 1:2"},
      // An empty line waits 1 frame, 2 before another page.
      {{{"a", "", "b"}}, 1, false, 0, "1:2 2:2"},
      {{{"a", ""}}, 1, false, 0, "1:2"},
      {{{"a", ""}, {"b"}}, 1, false, 0, "1:3 p1/1:2"},
      {{{""}}, 1, false, 20, "0:1 0*:16 0:4"},
      // A line ending in a code waits 1 frame at its end, 2 before another page.
      {{{"ab\\C[1]", "c"}}, 1, false, 0, "2:2 3:2"},
      {{{"a\\C[1]"}, {"b"}}, 1, false, 0, "1:3 p1/1:2"},
      // Instant text: no waits, \< ends it and waits the speed; it also ends at a line end.
      {{{"a\\>bcd\\<e"}}, 2, true, 0, "1:2 4:2 5:2"},
      {{{"a\\>bc", "de\\<f"}}, 1, true, 0, "5:2 6:2"},
      {{{"a\\>bc", "de\\<f"}}, 2, true, 0, "1:2 4:2 5:4 6:2"},
      {{{"\\>ab"}, {"c"}}, 1, true, 0, "2:2 p1/1:2"},  // 2 frames before the next page
      {{{"x\\>abc"}}, 2, true, 0, "1:2 4:1"},          // a finished page without hold shows once
      {{{"x\\>abc"}}, 2, true, 16, "1:2 4*:16"},
      // Holds, \_, speeds and names.
      {{{"a\\!b"}}, 1, true, 40, "1:1 1*:16 1:16 1*:8 2:2 2*:16 2:16 2*:8"},
      {{{"a\\_b"}}, 1, true, 0, "1:1 2:2"},            // \_ is timed as a half-width glyph
      {{{"\\S[5]ab\\s[99]c"}}, 1, true, 0, "1:3 2:3 3:2"},
      {{{"\\S[0]ab"}}, 2, true, 0, "2:2"},              // clamped to 1
      {{{"\\N[1]c"}}, 1, true, 0, "2:1 3:2"},           // a name types as its text
      {{{"ab"}, {"c"}}, 1, false, 32, "2:2 2*:16 2:16 p1/1:2 p1/1*:16 p1/1:16"},
      {{{"\\S[9]ab"}, {"cd"}}, 1, true, 0, "1:5 2:2 p1/2:2"},  // every page starts at the starting speed
  };
  TFontCache fonts;
  const TTextRasterizer& font = fonts.Get("RMG2000");
  for (const Case& c : cases) {
    WindowExtras extras;
    extras.gameCodes = c.gameCodes;
    extras.gameValues.names[1] = "ab";
    std::vector<std::vector<TimingEvent>> pages;
    for (const auto& lines : c.pages) pages.push_back(PageTiming(WindowLines(lines, c.letters), extras, font));
    AnimationTiming options;
    options.speed = c.speed;
    options.holdTicks = c.hold;
    options.open = false;
    EXPECT_EQ(Describe(BuildTimeline(pages, options)), c.expected) << c.pages[0][0] << " at speed " << c.speed;
  }
}

TEST(AnimationTimeline, OpeningComesOnceBeforeTheFirstPage) {
  TFontCache fonts;
  const TTextRasterizer& font = fonts.Get("RMG2000");
  AnimationTiming options;
  options.holdTicks = 0;
  const std::vector<std::vector<TimingEvent>> pages = {PageTiming({"a"}, {}, font), PageTiming({"b"}, {}, font)};
  EXPECT_EQ(Describe(BuildTimeline(pages, options)), "o1:1 o2:1 o3:1 o4:1 o5:1 o6:1 o7:1 1:2 p1/1:2");
}

TEST(AnimationTimeline, HoldSecondsAreRoundedTicksWithinLimits) {
  const std::pair<double, int> ticks[] = {{0, 0}, {2, 120}, {0.5, 30}, {60, 3600}, {1.999, 120}, {0.125, 8}};
  for (const auto& [seconds, expected] : ticks) EXPECT_EQ(HoldTicks(seconds), expected) << seconds;
  for (double bad : {-0.01, 60.01, std::nan("")}) EXPECT_THROW(HoldTicks(bad), EComposeError) << bad;
}

// --- Frames ---

class AnimationFrames : public ::testing::Test {
 protected:
  ComposeInput Input() {
    ComposeInput in;
    in.systemGraphic = &skin_;
    in.gaizi = &builtIn_;
    in.fonts = &fonts_;
    return in;
  }
  TRgbaImage Still(std::vector<std::string> lines, WindowExtras extras) {
    ComposeInput in = Input();
    in.lines = std::move(lines);
    return ToRgba(*ComposeWindow(in, extras));
  }
  TBitmap skin_ = testing::CoordinateSkin();
  TBitmap builtIn_ = testing::Sheet(156, 48, {{0, 0}});
  TBitmap faces_ = testing::Picture(96, 48, [](int x, int y) { return RGB(x, y, 0x40); });
  TFontCache fonts_;
};

// Each frame is the window of its page composed on its own with that much text and arrow, for
// the ticks worked out by hand from the typing rules, however the frames before it were drawn.
TEST_F(AnimationFrames, EveryFrameIsItsPageWithThatMuchTextForTheTicksOfTheRules) {
  struct Case {
    std::vector<AnimationPage> pages;
    int speed;
    std::string expected;
  };
  AnimationPage plain{{"ab$A", "c\\C[3]d"}, {}};
  AnimationPage coded{{"a\\_b\\.c", "\\C[2]\x82\xA0\\!d"}, {}};
  coded.extras.gameCodes = true;
  coded.extras.faceSheet = &faces_;
  AnimationPage held{{"\x82\xA0\x82\xA0x", "", "y\\!\x82\xA0"}, {}};
  held.extras.gameCodes = true;
  AnimationPage second{{"cd", "e"}, {}};
  second.extras.faceSheet = &faces_;
  second.extras.faceIndex = 1;
  const Case cases[] = {
      {{plain}, 1, "2:1 3:1 4:1 5:2 5*:16 5:16"},
      {{coded}, 1, "1:1 2:17 3:1 4:1 4*:16 4:16 5:2 5*:16 5:16"},
      {{held}, 1, "1:1 2:1 3:2 4:1 4*:16 4:16 5:2 5*:16 5:16"},
      // A later page shows its own text and face in every frame.
      {{{{"ab"}, {}}, second}, 2, "1:2 2:2 2*:16 2:16 p1/1:2 p1/2:2 p1/3:2 p1/3*:16 p1/3:16"},
  };
  for (const Case& c : cases) {
    AnimationTiming options;
    options.speed = c.speed;
    options.holdTicks = 32;
    options.open = false;
    const TAnimation animation = ComposeAnimation(Input(), c.pages, options);
    const std::vector<AnimationStep> expected = Steps(c.expected);
    ASSERT_EQ(animation.frames.size(), expected.size()) << c.expected;
    TFrameReplay frames(animation);
    std::vector<TRgbaImage> pictures;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const AnimationStep& step = expected[i];
      ComposeInput in = Input();
      in.lines = c.pages[step.page].lines;
      WindowExtras extras = c.pages[step.page].extras;
      extras.pauseArrow = step.arrow;
      pictures.push_back(ToRgba(*steps::ComposeWindowPart(in, extras, {animation.width, animation.height}, step.shown)));
      EXPECT_EQ(animation.frames[i].ticks, step.ticks) << c.expected << ", frame " << i;
      EXPECT_EQ(frames.At(i), pictures.back()) << c.expected << ", frame " << i;
    }
    // Played again from the start, as Play loops.
    EXPECT_EQ(frames.At(1), pictures[1]);
    const AnimationPage& last = c.pages.back();
    EXPECT_EQ(animation.still, ToRgba(*steps::ComposeWindowPart([&] {
                ComposeInput in = Input();
                in.lines = last.lines;
                return in;
              }(), last.extras, {animation.width, animation.height}, SIZE_MAX)));
  }
}

TEST_F(AnimationFrames, OpeningShowsTheMiddleRowsOfTheEmptyWindowWithoutFace) {
  const TAnimation animation = ComposeAnimation(Input(), {{{"abc"}, {}}}, {});
  TFrameReplay frames(animation);
  ASSERT_EQ(animation.height, 32);
  // Middle k/7 of 32 rows: 5 (at least 2), 9, 14, 18, 23, 27, 32.
  const int rows[] = {5, 9, 14, 18, 23, 27, 32};
  for (int k = 1; k <= 7; ++k) {
    const TRgbaImage& frame = frames.At(k - 1);
    const int top = (32 - rows[k - 1]) / 2;
    for (int y = 0; y < 32; ++y) {
      const bool inside = y >= top && y < top + rows[k - 1];
      EXPECT_EQ(frame.Pixel(0, y)[3], inside ? 255 : 0) << k << " row " << y;
    }
  }
  // The whole empty window: wallpaper and frame of the full size, no text.
  ComposeInput in = Input();
  in.lines = {"   "};  // no ink, the width of "abc"
  EXPECT_EQ(frames.At(6), ToRgba(*ComposeWindow(in)));

  // With a face, the open window holds the tiled wallpaper where the face will be.
  AnimationPage faced{{"abc"}, {}};
  faced.extras.faceSheet = &faces_;
  in.wallMode = 1;
  const TAnimation withFace = ComposeAnimation(in, {faced}, {});
  in.lines = {"          ", "", ""};  // 76x64: the wallpaper's tiles lie where the face's do
  const TRgbaImage bare = ToRgba(*ComposeWindow(in));
  TFrameReplay faceFrames(withFace);
  const TRgbaImage& open = faceFrames.At(6);
  for (int y = 8; y < 56; ++y)
    for (int x = 8; x < 56; ++x)
      ASSERT_TRUE(std::equal(open.Pixel(x, y), open.Pixel(x, y) + 4, bare.Pixel(x, y))) << x << "," << y;
}

TEST_F(AnimationFrames, PagesShareTheLargestSizeAndTheirOwnFaces) {
  AnimationPage wide{{"abcdefghijklmnop"}, {}};
  AnimationPage tall{{"a", "b", "c"}, {}};
  tall.extras.faceSheet = &faces_;
  tall.extras.faceIndex = 1;
  AnimationTiming options;
  options.open = false;
  const TAnimation animation = ComposeAnimation(Input(), {wide, tall}, options);
  const TRgbaImage first = Still(wide.lines, {});
  const TRgbaImage second = Still(tall.lines, tall.extras);
  EXPECT_EQ(animation.width, std::max(first.width, second.width));
  EXPECT_EQ(animation.height, std::max(first.height, second.height));
  ASSERT_GT(first.width, second.width);
  ASSERT_GT(second.height, first.height);
  // The second page's face lies at the top left as in its own window.
  TFrameReplay frames(animation);
  const TRgbaImage& last = frames.At(animation.frames.size() - 1);
  for (int y = 8; y < 56; ++y)
    for (int x = 8; x < 56; ++x)
      ASSERT_EQ(std::vector<std::uint8_t>(last.Pixel(x, y), last.Pixel(x, y) + 4),
                std::vector<std::uint8_t>(second.Pixel(x, y), second.Pixel(x, y) + 4)) << x << "," << y;
  EXPECT_EQ(animation.still, last);

  // The rest colours count the pixels of both finished windows at the animation's size.
  std::map<TColor, std::uint64_t> counts;
  for (const AnimationPage* page : {&wide, &tall}) {
    ComposeInput in = Input();
    in.lines = page->lines;
    const TRgbaImage window =
        ToRgba(*steps::ComposeWindowPart(in, page->extras, {animation.width, animation.height}, SIZE_MAX));
    for (std::size_t i = 0; i < window.rgba.size(); i += 4) ++counts[RGB(window.rgba[i], window.rgba[i + 1], window.rgba[i + 2])];
  }
  std::vector<TColourCount> expected;
  for (const auto& [colour, pixels] : counts) expected.push_back({colour, pixels});
  std::vector<TColourCount> rest = animation.restColours;
  std::sort(rest.begin(), rest.end(), [](const TColourCount& a, const TColourCount& b) { return a.colour < b.colour; });
  EXPECT_EQ(rest, expected);
}

// Frames x width x height is held to 2^30 and frames to 100000, refused before drawing.
TEST_F(AnimationFrames, LimitsOfFramesAndFramePixels) {
  struct Case {
    std::size_t pages;
    std::size_t lines;  // of one "a" each, at speed 2: a frame each
    int hold;           // a blinking step every 16 ticks
    bool accepted;
    std::string size;   // "WxH" in the message
  };
  const Case cases[] = {
      // 22 x (16 x 1747) pixels: 2^30 / 614944 = 1746 frames.
      {1, 1746, 0, true, ""},
      {1, 1747, 0, false, "1745 frames of 22x27968"},
      // Pages without lines, 16x16, 200 blinking steps each: 500 pages are 100000 frames.
      {500, 0, 3200, true, ""},
      {501, 0, 3200, false, "100000 frames of 16x16"},
  };
  for (const Case& c : cases) {
    AnimationPage page{std::vector<std::string>(c.lines, "a"), {}};
    AnimationTiming options;
    options.speed = 2;
    options.holdTicks = c.hold;
    options.open = false;
    const std::vector<AnimationPage> pages(c.pages, page);
    if (c.accepted) {
      const TAnimation animation = ComposeAnimation(Input(), pages, options);
      EXPECT_EQ(animation.frames.size(), c.lines == 0 ? c.pages * c.hold / 16 : c.lines);
      continue;
    }
    try {
      ComposeAnimation(Input(), pages, options);
      ADD_FAILURE() << c.size << " was not refused";
    } catch (const EComposeError& e) {
      EXPECT_NE(std::string(e.what()).find("more than " + c.size + " pixels"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace pw
