// Message windows played as the game types them: the text appears character by character at
// 60 ticks a second, with the game's message speed, waits, holds and the blinking pause arrow.
// A timeline of steps ("this much text, for so many ticks") is built from the text, and each
// step is composed as the window with only that much text drawn, so that the last typed step is
// the still window by construction.
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
inline constexpr int kShortWait = 16;   // \.
inline constexpr int kLongWait = 61;    // \|
inline constexpr int kEndTicks = 2;     // after the last character of a page
inline constexpr int kBlinkTicks = 16;  // the pause arrow shows and hides for this long each
inline constexpr int kOpenSteps = 7;    // the window opens over this many ticks
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
  kHalf,        // a half-width character appears
  kFull,        // a full-width character appears
  kThin,        // \_: no character, the time of a half-width one
  kLineEnd,     // after the last character of a line
  kWait,        // \. or \|: value ticks
  kHold,        // \!: the blinking hold
  kInstantOn,   // \>
  kInstantOff,  // \<
  kSpeed,       // \S[n]: value is the speed, already clamped
  kNoHold,      // \^: no blinking hold at the page's end
};

struct TimingEvent {
  TimingKind kind;
  int value = 0;
  bool operator==(const TimingEvent&) const = default;
};

// The timing events of a page: every character the window shows, with the game codes' timing
// where extras.gameCodes is set. The characters are those ComposeWindow draws, in its order.
std::vector<TimingEvent> PageTiming(const std::vector<std::string>& lines, const WindowExtras& extras);

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
