#include "compose/animate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "compose/steps.h"
#include "tests/compose/test_pictures.h"

namespace pw {
namespace {

const std::string kA = "\x82\xA0";  // a full-width character in Shift-JIS

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

TEST(AnimationTimeline, StepsOfSmallTexts) {
  struct Case {
    std::vector<std::vector<std::string>> pages;
    int speed;
    bool gameCodes;
    int hold;
    std::string expected;
  };
  const Case cases[] = {
      {{{"abcd"}}, 1, false, 0, "2:1 4:3"},             // two half-width characters a tick
      {{{"abc"}}, 1, false, 0, "2:1 3:3"},              // the line's last character ends its tick
      {{{kA + kA}}, 1, false, 0, "1:1 2:3"},            // a full-width character ends its tick
      {{{"a" + kA}}, 1, false, 0, "2:3"},               // ... with the half-width one before it
      {{{"ab"}}, 2, false, 0, "1:2 2:4"},               // 2 / 2 + 1
      {{{kA}}, 2, false, 0, "1:5"},                     // 2 + 1, then the end
      {{{"a" + kA}}, 20, false, 0, "1:11 2:23"},
      {{{"abc", "de"}}, 1, false, 0, "2:1 3:1 5:3"},    // halves counted from each line's start
      {{{"a\\.b"}}, 1, true, 0, "1:17 2:3"},
      {{{"a\\|b"}}, 1, true, 0, "1:62 2:3"},
      {{{"a\\.b"}}, 1, false, 0, "2:1 4:3"},            // without game codes, codes are text
      {{{"a\\!b"}}, 1, true, 40, "1:1 1*:16 1:16 1*:8 2:3 2*:16 2:16 2*:8"},
      {{{"a\\>bcd\\<e"}}, 2, true, 0, "1:2 4:1 5:4"},
      {{{"a\\_b"}}, 1, true, 0, "1:1 2:3"},             // \_ counts as a half-width character
      {{{"\\S[5]ab\\s[99]c"}}, 1, true, 0, "1:3 2:3 3:13"},
      {{{"\\S[0]ab"}}, 2, true, 0, "2:3"},              // clamped to 1
      {{{"ab\\^"}}, 1, true, 40, "2:3"},                // no hold
      {{{"\\C[2]a\\$b"}}, 1, true, 0, "2:3"},          // colour and money codes take no time
      {{{"\\N[1]c"}}, 1, true, 0, "2:1 3:3"},           // a name types as its text
      {{{"ab"}, {"c"}}, 1, false, 32, "2:3 2*:16 2:16 p1/1:3 p1/1*:16 p1/1:16"},
      {{{"\\S[9]a"}, {"b"}}, 1, true, 0, "1:7 p1/1:3"},  // every page starts at the starting speed
      {{{""}}, 1, false, 20, "0:2 0*:16 0:4"},
  };
  for (const Case& c : cases) {
    WindowExtras extras;
    extras.gameCodes = c.gameCodes;
    extras.gameValues.names[1] = "ab";
    std::vector<std::vector<TimingEvent>> pages;
    for (const auto& lines : c.pages) pages.push_back(PageTiming(lines, extras));
    AnimationTiming options;
    options.speed = c.speed;
    options.holdTicks = c.hold;
    options.open = false;
    EXPECT_EQ(Describe(BuildTimeline(pages, options)), c.expected) << c.pages[0][0] << " at speed " << c.speed;
  }
}

TEST(AnimationTimeline, OpeningComesOnceBeforeTheFirstPage) {
  AnimationTiming options;
  options.holdTicks = 0;
  const std::vector<std::vector<TimingEvent>> pages = {PageTiming({"a"}, {}), PageTiming({"b"}, {})};
  EXPECT_EQ(Describe(BuildTimeline(pages, options)), "o1:1 o2:1 o3:1 o4:1 o5:1 o6:1 o7:1 1:3 p1/1:3");
}

TEST(AnimationTimeline, HoldSecondsAreTicksWithinLimits) {
  EXPECT_EQ(HoldTicks(0), 0);
  EXPECT_EQ(HoldTicks(2), 120);
  EXPECT_EQ(HoldTicks(0.5), 30);
  EXPECT_EQ(HoldTicks(60), 3600);
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

TEST_F(AnimationFrames, TypedFramesEndInTheStillWindowAndTheArrowFramesInTheStillWithArrow) {
  struct Case {
    std::vector<std::string> lines;
    bool gameCodes;
    bool face;
  };
  const Case cases[] = {
      {{"ab$A", "c\\C[3]d"}, false, false},
      {{"a\\_b\\.c", "\\C[2]" + kA + "\\!d"}, true, true},
      {{kA + kA + "x", "", "y\\!" + kA}, true, false},  // a hold mid-page, then more text
  };
  for (const Case& c : cases) {
    AnimationPage page{c.lines, {}};
    page.extras.gameCodes = c.gameCodes;
    if (c.face) page.extras.faceSheet = &faces_;
    AnimationTiming options;
    options.holdTicks = 32;
    const TAnimation animation = ComposeAnimation(Input(), {page}, options);
    TFrameReplay frames(animation);
    std::vector<std::vector<TimingEvent>> events = {PageTiming(c.lines, page.extras)};
    const std::vector<AnimationStep> steps = BuildTimeline(events, options);
    ASSERT_EQ(animation.frames.size(), steps.size());
    const TRgbaImage still = Still(c.lines, page.extras);
    WindowExtras arrow = page.extras;
    arrow.pauseArrow = true;
    const TRgbaImage withArrow = Still(c.lines, arrow);
    // A hold of 32 ticks ends the page with the arrow shown, then hidden.
    ASSERT_FALSE(steps[steps.size() - 3].arrow);
    EXPECT_EQ(frames.At(steps.size() - 3), still) << c.lines[0];
    EXPECT_EQ(frames.At(steps.size() - 1), still);  // the arrow hidden at the end
    EXPECT_EQ(frames.At(steps.size() - 2), withArrow);
    EXPECT_EQ(animation.still, still);
    for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(animation.frames[i].ticks, steps[i].ticks);
    // Every typed frame is the window with that much text composed on its own, however the
    // frames before it were drawn.
    ComposeInput in = Input();
    in.lines = c.lines;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      if (steps[i].opening > 0) continue;
      WindowExtras extras = page.extras;
      extras.pauseArrow = steps[i].arrow;
      const TBitmap alone = *steps::ComposeWindowPart(in, extras, {animation.width, animation.height}, steps[i].shown);
      EXPECT_EQ(frames.At(i), ToRgba(alone)) << c.lines[0] << ", step " << i;
    }
  }
}

TEST_F(AnimationFrames, OpeningShowsTheMiddleRowsOfTheEmptyWindow) {
  const TAnimation animation = ComposeAnimation(Input(), {{{"abc"}, {}}}, {});
  TFrameReplay frames(animation);
  const TRgbaImage empty = Still({}, {});  // 16 rows: the window of "abc" is 32 rows high
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
}

}  // namespace
}  // namespace pw
