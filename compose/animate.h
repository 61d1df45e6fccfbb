// Message windows played as the game types them: the text appears glyph by glyph at 60 frames
// (ticks) a second, with the game's message speed, waits, holds and the blinking pause arrow.
// A timeline of steps ("this much text, for so many ticks") is built from the text by the
// game's typing rules, and each step is composed as the window with only that much text drawn,
// so that the last typed step is the still window by construction.
//
// The typing rules, at speed s (1..20); "instant" is the text between \> and \<. Each line
// keeps a counter, 0 at its start. A glyph's width class w is 1 when it is drawn 6 pixels wide or
// less, else 2; \_ is timed and counted as a glyph of w = 1.
//  - Before a glyph of w = 2, not instant, right after a glyph on its line that waited 0 frames:
//    1 frame passes and the counter goes up by 1.
//  - After a glyph it waits 0 frames when instant; 2 when only the page's last line end follows
//    it; at s >= 2, s * w / 2 + 1; at s = 1, w / 2, plus 1 when w is odd and the counter is odd
//    or a line end follows it.
//  - Then the counter goes up by 1 at s = 1 and w = 1; otherwise it is rounded down to even and
//    goes up by 2.
//  - A code acts first, then waits: \C[n], \S[n], \> and \! 0 frames; \$, \^ and \< s; \.
//    16 + min(max(s - 16, 0), 4); \| 61; at s = 1 one more when the counter is odd; none when
//    instant. After that a counter above 0 goes up as after a glyph of w = 1. \! then holds.
//  - A line end after a line whose last thing was no glyph (an empty line, or a code) waits 1
//    frame, 2 when another page follows; when instant, 2 when another page follows, else none.
//    Instant text ends at every line end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/extras.h"
#include "toolkit/animation.h"

namespace pw {

namespace timing {
inline constexpr int kMinSpeed = 1;
inline constexpr int kMaxSpeed = 20;
inline constexpr int kHalfWidthAdvance = 6;  // a glyph drawn at most this wide has w = 1
inline constexpr int kShortWait = 16;        // \. at speeds up to 16, a frame more a speed above
inline constexpr int kShortWaitGrowth = 4;   // ... up to 16 + 4
inline constexpr int kLongWait = 61;         // \|
inline constexpr int kLastGlyphWait = 2;     // after the last glyph of a page
inline constexpr int kLineEndWait = 1;       // at the end of a line without a glyph at its end
inline constexpr int kPageBreakWait = 2;     // ... and of such a line, or of instant text, before another page
inline constexpr int kBlinkTicks = 16;       // the pause arrow shows and hides for this long each
inline constexpr int kOpenSteps = 7;         // the window opens over this many ticks
inline constexpr double kMaxHoldSeconds = 60;
inline constexpr int kMaxPlays = 65535;     // --loop; 0 plays for ever
// What an animation may hold, checked before it is drawn: frames are kept as the rectangles
// that change, but a long text in a large window still costs time and memory by its frames
// and its window's size.
inline constexpr std::size_t kMaxFrames = 100000;
inline constexpr std::uint64_t kMaxFramePixels = std::uint64_t{1} << 30;  // frames x width x height
}  // namespace timing

// What the typing of a page meets, in order.
enum class TimingKind {
  kGlyph,       // a glyph appears; value is its width class w, 1 or 2
  kThin,        // \_: no glyph, timed and counted as one of w = 1
  kLineEnd,     // the end of a line
  kColour,      // \C[n]
  kSpeed,       // \S[n]: value is the speed, already clamped
  kInstantOn,   // \>
  kInstantOff,  // \<
  kHold,        // \!: the blinking hold
  kNoHold,      // \^: no blinking hold at the page's end
  kMoney,       // \$
  kShortWait,   // \.
  kLongWait,    // \|
};

struct TimingEvent {
  TimingKind kind;
  int value = 0;
  bool operator==(const TimingEvent&) const = default;
};

// The timing events of a page: every character the window shows, in ComposeWindow's order, with
// its width class from its advance in font; the colour codes, and the game codes where
// extras.gameCodes is set.
std::vector<TimingEvent> PageTiming(const std::vector<std::string>& lines, const WindowExtras& extras,
                                    const TTextRasterizer& font);

struct AnimationTiming {
  int speed = timing::kMinSpeed;   // the starting speed of every page, 1..20
  int holdTicks = 2 * kTicksPerSecond;
  bool open = true;                // the window opens before the first page
  int plays = 0;                   // 0: forever
};

// One stretch of the animation: the window opening (opening 1..7), or page `page` with its first
// `shown` characters and, during a hold, the pause arrow.
struct AnimationStep {
  int opening = 0;
  std::size_t page = 0;
  std::size_t shown = 0;
  bool arrow = false;
  int ticks = 0;
  bool operator==(const AnimationStep&) const = default;
};

// The steps of pages typed one after the other. Adjacent steps that show the same are merged.
// Stops once there are more than maxSteps.
std::vector<AnimationStep> BuildTimeline(const std::vector<std::vector<TimingEvent>>& pages,
                                         const AnimationTiming& options, std::size_t maxSteps = SIZE_MAX);

// Seconds of hold as ticks; raises EComposeError outside 0..60 seconds.
int HoldTicks(double seconds);

// A page of a dialogue: its lines and extras (its face).
struct AnimationPage {
  std::vector<std::string> lines;
  WindowExtras extras;
};

// Composes the animation of the pages (input.lines is not used). The window has the largest
// width and height of all pages; the still picture is the last page's finished window, and the
// rest colours count the pixels of every page's finished window. Raises what ComposeWindow
// raises, and EComposeError, before drawing, for an animation beyond timing::kMaxFrames or
// timing::kMaxFramePixels; an empty animation (no frames) when no system graphic is loaded.
TAnimation ComposeAnimation(const ComposeInput& input, const std::vector<AnimationPage>& pages,
                            const AnimationTiming& options);

// The colours of a palette that shows the animation: every colour its opaque pixels have when
// they are at most `limit`, otherwise the 8-bit reduction (the High division) of its rest
// colours (every page's finished window), cut to `limit` entries.
std::vector<TColor> AnimationPalette(const TAnimation& animation, std::size_t limit);

// A 24-bit window bitmap as opaque RGBA pixels.
TRgbaImage ToRgba(const TBitmap& window);

}  // namespace pw
