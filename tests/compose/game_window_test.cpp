// The game's own window layout: its fixed geometry, windows of four lines, faces, options,
// transparent windows and the screen, drawn over the coordinate skin so that every pixel tells
// where it came from.
#include "compose/game_window.h"

#include <gtest/gtest.h>

#include <set>

#include "compose/animate.h"
#include "compose/extras.h"
#include "tests/compose/test_pictures.h"

namespace pw {
namespace {

using testing::Src;

const TColor kShadow = Src(16, 32);
const TColor kTrans = RGB(1, 2, 3);  // in no swatch, frame piece or wallpaper of the coordinate skin
constexpr TColor FaceSrc(int x, int y) { return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 0x40); }

TEST(GameWindowRules, WindowsOfFourLinesAndOptionsThatShareOrNot) {
  constexpr std::size_t kNone = SIZE_MAX;
  struct Case {
    std::size_t lines, optionsFrom;
    std::vector<GameWindowLines> windows;
  };
  const Case cases[] = {
      {0, kNone, {{0, 0, kNone}}},
      {3, kNone, {{0, 3, kNone}}},
      {4, kNone, {{0, 4, kNone}}},
      {5, kNone, {{0, 4, kNone}, {4, 1, kNone}}},                       // a fifth line types on in a second window
      {9, kNone, {{0, 4, kNone}, {4, 4, kNone}, {8, 1, kNone}}},
      {2, 2, {{0, 2, kNone}}},                                          // options from the end: none
      {4, 2, {{0, 4, 2}}},                                              // 2 lines and 2 options share
      {4, 1, {{0, 4, 1}}},
      {5, 2, {{0, 2, kNone}, {2, 3, 0}}},                               // 2 and 3: the choice's own window
      {5, 1, {{0, 1, kNone}, {1, 4, 0}}},
      {3, 0, {{0, 3, 0}}},                                              // a choice alone
      {6, 5, {{0, 4, kNone}, {4, 1, kNone}, {5, 1, 0}}},                // five lines never share
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitGameWindows(c.lines, c.optionsFrom), c.windows) << c.lines << " lines, options from " << c.optionsFrom;
  }
}

TEST(GameWindowRules, RoomOfALineAndTheWindowsPlaceOnTheScreen) {
  struct Case {
    bool face, right, option;
    int room;
  };
  const Case cases[] = {{false, false, false, 304}, {true, false, false, 232}, {true, true, false, 248},
                        {false, false, true, 292},  {true, false, true, 220},  {true, true, true, 236}};
  for (const Case& c : cases) EXPECT_EQ(LineRoom(c.face, c.right, c.option), c.room) << c.face << c.right << c.option;
  EXPECT_EQ(WindowTop(TWindowPosition::kTop), 0);
  EXPECT_EQ(WindowTop(TWindowPosition::kMiddle), 80);
  EXPECT_EQ(WindowTop(TWindowPosition::kBottom), 160);
}

TEST(GameWindowRules, ALinesWidthIsTheComposersWithItsCodesActedOn) {
  TFontCache fonts;
  GameCodeValues values;
  values.names[1] = "Ann";
  values.otherNames = "";
  values.otherValues = "00000000";
  struct Case {
    std::string line;
    int width;
  };
  const Case cases[] = {
      {"", 0},
      {"ab", 12},
      {"\\\\C[2]ab", 42},        // an escaped backslash: the 7 characters "\C[2]ab" are text
      {"\\C[2]ab", 12},
      {"a\\_b", 15},             // \_ advances 3 pixels
      {"\\N[1]!", 24},           // Ann and "!"
      {"\\n[7]x", 6},            // no name for 7: the others' name, empty
      {"\\V[3]", 48},            // no value: the others' value, 8 digits
      {"$A\\s[5]\\.x\\!", 18},  // a glyph, then timing codes that take no room
      {"\x82\xA0", 12},
  };
  for (const Case& c : cases) EXPECT_EQ(GameLineWidth(c.line, values, fonts.Get("RMG2000")), c.width) << c.line;
  GameCodeValues none;
  EXPECT_THROW(GameLineWidth("\\V[3]", none, fonts.Get("RMG2000")), EComposeError);
}

class GameWindowTest : public ::testing::Test {
 protected:
  ComposeInput Input(std::vector<std::string> lines) {
    ComposeInput in;
    in.systemGraphic = &skin_;
    in.transColor = kTrans;
    in.lines = std::move(lines);
    in.wallMode = 1;  // tiled: the wallpaper pixel (x, y) is Src(x mod 32, y mod 32)
    in.gaizi = &builtIn_;
    in.myGaizi = &user_;
    in.fonts = &fonts_;
    return in;
  }
  WindowExtras Game(GameLayout layout = {}) {
    WindowExtras extras;
    extras.layout = layout;
    extras.layout.on = true;
    return extras;
  }
  WindowExtras WithFace(WindowExtras extras, int index, bool right) {
    extras.faceSheet = &faces_;
    extras.faceSheetName = "faces.png";
    extras.faceIndex = index;
    extras.faceRight = right;
    return extras;
  }
  TBitmap Compose(const ComposeInput& in, const WindowExtras& extras) {
    const std::optional<TBitmap> window = ComposeWindow(in, extras);
    EXPECT_TRUE(window.has_value());
    return window ? *window : TBitmap();
  }
  // The window's frame and tiled wallpaper at (x, y), as the composer's frame passes give them.
  static TColor Background(int x, int y) {
    const int w = game_window::kWidth, h = game_window::kHeight;
    if (x < 8 && y < 8) return Src(32 + x, y);
    if (x >= w - 8 && y < 8) return Src(56 + x - (w - 8), y);
    if (x >= w - 8 && y >= h - 8) return Src(56 + x - (w - 8), 24 + y - (h - 8));
    if (x < 8 && y >= h - 9) return Src(32 + x, 24 + y - (h - 8));
    if (y < 8) return Src(40 + x % 16, y);
    if (y >= h - 8) return Src(40 + x % 16, 24 + y - (h - 8));
    if (x < 8) return Src(32 + x, 8 + y % 16);
    if (x >= w - 8) return Src(56 + x - (w - 8), 8 + y % 16);
    return Src(x % 32, y % 32);
  }

  TBitmap skin_ = testing::CoordinateSkin();
  TBitmap builtIn_ = testing::Sheet(156, 48, {});
  TBitmap user_ = testing::Sheet(120, 12, {{0, 0}});  // $0 inks its cell's top-left pixel only
  TBitmap faces_ = testing::Picture(96, 96, FaceSrc);
  TFontCache fonts_;
};

TEST_F(GameWindowTest, TheWindowIs320By80WithTheTextAtInnerZeroTwoAndLines16Apart) {
  for (const auto& lines : {std::vector<std::string>{}, {"$0"}, {"$0", " $0", "  $0", "   $0"}}) {
    const TBitmap window = Compose(Input(lines), Game());
    ASSERT_EQ(window.GetWidth(), 320);
    ASSERT_EQ(window.GetHeight(), 80);
    std::set<std::pair<int, int>> text;
    for (std::size_t p = 0; p < lines.size(); ++p) {
      const int x = 8 + 6 * static_cast<int>(p), y = 10 + 16 * static_cast<int>(p);
      text.insert({x, y});
      text.insert({x + 1, y + 1});
      EXPECT_EQ(window.GetPixelColor(x, y), Src(2, 52)) << "line " << p;
      EXPECT_EQ(window.GetPixelColor(x + 1, y + 1), kShadow) << "line " << p;
    }
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 320; ++x)
        if (!text.contains({x, y})) ASSERT_EQ(window.GetPixelColor(x, y), Background(x, y)) << x << "," << y;
  }
}

TEST_F(GameWindowTest, FacesOptionsAndWhereTheTextStarts) {
  struct Case {
    const char* what;
    bool face, right;
    int index;
    std::size_t optionsFrom;
    int faceLeft;             // the face cell's left, at y 16
    std::vector<int> textX;   // the first ink pixel of each line, line p at y 10 + 16 p
  };
  const Case cases[] = {
      {"no face", false, false, 0, SIZE_MAX, 0, {8, 8}},
      {"a left face", true, false, 5, SIZE_MAX, 16, {80, 80}},
      {"a right face", true, true, 1, SIZE_MAX, 256, {8, 8}},
      {"options from the second line", false, false, 0, 1, 0, {8, 20}},
      {"options beside a left face", true, false, 0, 1, 16, {80, 92}},
      {"a choice alone", false, false, 0, 0, 0, {20, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GameLayout layout;
    layout.optionsFrom = c.optionsFrom;
    WindowExtras extras = Game(layout);
    if (c.face) extras = WithFace(extras, c.index, c.right);
    const TBitmap window = Compose(Input({"$0", "$0"}), extras);
    ASSERT_EQ(window.GetWidth(), 320);
    for (std::size_t p = 0; p < c.textX.size(); ++p) {
      const int y = 10 + 16 * static_cast<int>(p);
      EXPECT_EQ(window.GetPixelColor(c.textX[p], y), Src(2, 52)) << "line " << p;
      EXPECT_EQ(window.GetPixelColor(c.textX[p] + 1, y + 1), kShadow) << "line " << p;
      EXPECT_EQ(window.GetPixelColor(c.textX[p] - 1, y), Background(c.textX[p] - 1, y)) << "line " << p;
    }
    if (!c.face) continue;
    const int cellX = 48 * (c.index % 4), cellY = 48 * (c.index / 4);
    for (int y = 16; y < 64; ++y)
      for (int x = c.faceLeft; x < c.faceLeft + 48; ++x)
        ASSERT_EQ(window.GetPixelColor(x, y), FaceSrc(cellX + x - c.faceLeft, cellY + y - 16)) << x << "," << y;
    EXPECT_EQ(window.GetPixelColor(c.faceLeft - 1, 16), Background(c.faceLeft - 1, 16));
    EXPECT_EQ(window.GetPixelColor(c.faceLeft + 48, 63), Background(c.faceLeft + 48, 63));
  }
}

TEST_F(GameWindowTest, TextIsCutWhereTheInnerAreaEnds) {
  // 60 glyphs, 720 pixels: the window stays 320 wide and the frame stays whole.
  std::string line;
  for (int i = 0; i < 60; ++i) line += "$0";
  user_ = testing::Sheet(120, 12, {{0, 0}, {5, 0}, {11, 11}});
  const TBitmap window = Compose(Input({line, line, line, line}), Game());
  ASSERT_EQ(window.GetWidth(), 320);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 320; ++x) {
      const bool inner = x >= 8 && x < 312 && y >= 8 && y < 72;
      if (!inner) ASSERT_EQ(window.GetPixelColor(x, y), Background(x, y)) << x << "," << y;
    }
  }
  // The 26th glyph starts at 8 + 300 = 308: its (0, 0) and (5, 0) are x 308 and 313, and only
  // the first lies inside; its shadow at 309 too.
  EXPECT_EQ(window.GetPixelColor(308, 10), Src(2, 52));
  EXPECT_EQ(window.GetPixelColor(309, 11), kShadow);
  EXPECT_EQ(window.GetPixelColor(311, 10), Background(311, 10));
  // The last line's glyph (11, 11) lands on row 73 and its shadow on 74: outside, not drawn.
  EXPECT_EQ(window.GetPixelColor(19, 71), Background(19, 71));
}

TEST_F(GameWindowTest, AFifthLineGoesOnInASecondWindowBelow) {
  const std::vector<std::string> lines = {"$0", "a", "b", "c", " $0", " $0"};
  const TBitmap both = Compose(Input(lines), Game());
  ASSERT_EQ(both.GetWidth(), 320);
  ASSERT_EQ(both.GetHeight(), 160);
  const TBitmap first = Compose(Input({lines.begin(), lines.begin() + 4}), Game());
  const TBitmap second = Compose(Input({lines.begin() + 4, lines.end()}), Game());
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 320; ++x) {
      ASSERT_EQ(both.GetPixelColor(x, y), first.GetPixelColor(x, y)) << x << "," << y;
      ASSERT_EQ(both.GetPixelColor(x, 80 + y), second.GetPixelColor(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(second.GetPixelColor(14, 10), Src(2, 52));  // the fifth line is the first of its window
  EXPECT_EQ(second.GetPixelColor(14, 26), Src(2, 52));
}

TEST_F(GameWindowTest, ATransparentWindowIsTheTextAndFaceOnTheTransparentColour) {
  GameLayout layout;
  layout.transparent = true;
  const TBitmap window = Compose(Input({"$0"}), WithFace(Game(layout), 0, true));
  ASSERT_EQ(window.GetWidth(), 320);
  ASSERT_EQ(window.GetHeight(), 80);
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 320; ++x) {
      TColor expected = kTrans;
      if (x == 8 && y == 10) expected = Src(2, 52);
      else if (x == 9 && y == 11) expected = kShadow;
      else if (x >= 256 && x < 304 && y >= 16 && y < 64) expected = FaceSrc(x - 256, y - 16);
      ASSERT_EQ(window.GetPixelColor(x, y), expected) << x << "," << y;
    }
  }
}

TEST_F(GameWindowTest, TheScreenHoldsTheWindowAtItsPositionAndIsTransparentElsewhere) {
  const TBitmap alone = Compose(Input({"$0"}), Game());
  for (const TWindowPosition position : {TWindowPosition::kTop, TWindowPosition::kMiddle, TWindowPosition::kBottom}) {
    GameLayout layout;
    layout.screen = true;
    layout.position = position;
    const TBitmap screen = Compose(Input({"$0"}), Game(layout));
    ASSERT_EQ(screen.GetWidth(), 320);
    ASSERT_EQ(screen.GetHeight(), 240);
    const int top = 80 * static_cast<int>(position);
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool window = y >= top && y < top + 80;
        ASSERT_EQ(screen.GetPixelColor(x, y), window ? alone.GetPixelColor(x, y - top) : kTrans) << x << "," << y;
      }
    }
  }
}

TEST_F(GameWindowTest, TheGameLayoutTakesNoMarginOrLineGap) {
  ComposeInput in = Input({"a"});
  in.padRound = 2;
  try {
    ComposeWindow(in, Game());
    ADD_FAILURE() << "a margin was taken";
  } catch (const EComposeError& e) {
    EXPECT_STREQ(e.what(), "The game's window layout has no margin or line gap, but a margin of 2 and a line gap of 0 are given");
  }
}

// --- Animation ---

TEST_F(GameWindowTest, AnAnimationTypesALongerTextOnInItsNextWindow) {
  const std::vector<std::string> lines = {"$0", "a", "b", "c", " $0"};
  AnimationTiming timing;
  timing.holdTicks = 16;
  const TAnimation animation = ComposeAnimation(Input({}), {{lines, Game()}}, timing);
  ASSERT_EQ(animation.width, 320);
  ASSERT_EQ(animation.height, 80);
  // Two pages, as if the windows were pages of their own.
  const std::vector<std::string> first(lines.begin(), lines.begin() + 4), second(lines.begin() + 4, lines.end());
  TFontCache fonts;
  const TTextRasterizer& font = fonts.Get("RMG2000");
  const std::vector<AnimationStep> steps =
      BuildTimeline({PageTiming(first, Game(), font), PageTiming(second, Game(), font)}, timing);
  ASSERT_EQ(animation.frames.size(), steps.size());
  EXPECT_EQ(steps.back().page, 1u);
  EXPECT_EQ(animation.still, ToRgba(Compose(Input(second), Game())));
  // The first page ends with its whole window and the blinking arrow of a 16-tick hold.
  std::size_t firstPageEnd = 0;
  while (steps[firstPageEnd + 1].page == 0 || steps[firstPageEnd + 1].opening > 0) ++firstPageEnd;
  ASSERT_TRUE(steps[firstPageEnd].arrow);
  WindowExtras arrow = Game();
  arrow.pauseArrow = true;
  TFrameReplay replay(animation);
  EXPECT_EQ(replay.At(firstPageEnd), ToRgba(Compose(Input(first), arrow)));
}

TEST_F(GameWindowTest, OnTheScreenTheWindowOpensInItsOwnRows) {
  GameLayout layout;
  layout.screen = true;
  layout.position = TWindowPosition::kMiddle;
  const TAnimation animation = ComposeAnimation(Input({}), {{{"$0"}, Game(layout)}}, {});
  ASSERT_EQ(animation.width, 320);
  ASSERT_EQ(animation.height, 240);
  // The middle k/7 of the window's 80 rows: 11, 23, 34, 46, 57, 69, 80, from row 80.
  const int rows[] = {11, 23, 34, 46, 57, 69, 80};
  const TRgbaImage full = ToRgba(Compose(Input({}), Game(layout)));
  TFrameReplay replay(animation);
  for (int k = 1; k <= 7; ++k) {
    const TRgbaImage& frame = replay.At(static_cast<std::size_t>(k - 1));
    const int top = 80 + (80 - rows[k - 1]) / 2;
    for (int y = 0; y < 240; ++y) {
      const bool open = y >= top && y < top + rows[k - 1];
      const std::uint8_t* p = frame.Pixel(5, y);
      const std::uint8_t* q = full.Pixel(5, y);
      if (open) {
        EXPECT_TRUE(std::equal(p, p + 4, q)) << k << " row " << y;
      } else {
        EXPECT_EQ(RGB(p[0], p[1], p[2]), kTrans) << k << " row " << y;
        EXPECT_EQ(p[3], 255) << k << " row " << y;
      }
    }
  }
}

}  // namespace
}  // namespace pw
