// GIF output of animations through giflib: GIF89a with one global palette, a NETSCAPE2.0 loop
// block, and per frame only the rectangle that changed, unchanged pixels left transparent.
// The logical screen's size has 16 bits: larger animations are refused before giflib is called.
// giflib does the LZW coding and the framing; this folder chooses frames, delays and indices.
#pragma once

#include <cstddef>
#include <vector>

#include "toolkit/animation.h"
#include "toolkit/color.h"
#include "toolkit/errors.h"

namespace pw {

class TStream;

namespace gif {
inline constexpr int kMaxColours = 255;  // the 256th index is the transparent one
inline constexpr int kMinDelay = 2;      // hundredths; browsers show shorter delays as 10
inline constexpr int kMaxDelay = 65535;
inline constexpr int kMaxSide = 65535;   // pixels, wide or high
}  // namespace gif

namespace gif_msg {
inline constexpr const char* kFailed = "GIF writing failed: %s";
inline constexpr const char* kTooManyColours = "GIF writing failed: more than 255 colours";
inline constexpr const char* kNoFrames = "GIF writing failed: the animation has no frames";
inline constexpr const char* kTooLarge =
    "A GIF is at most 65535 pixels wide and high, and this animation is %sx%s: write it as an animated PNG (.png) instead";
}  // namespace gif_msg

// Failures of giflib while writing.
class EGifWrite : public Exception { using Exception::Exception; };

// One GIF frame: which animation frame it shows and for how many hundredths of a second.
struct GifSpan {
  std::size_t frame;
  int delay;
};

// The GIF frames of an animation at 60 ticks a second: each span ends where the animation's
// time, rounded to hundredths, has moved on by at least 2 since the last; frames shorter than
// that are merged into the span of the frame after them (the later picture shows). The delays
// add up to the animation's length rounded to hundredths.
std::vector<GifSpan> GifTiming(const std::vector<TTimedFrame>& frames);

// Writes the animation as a GIF file. Opaque pixels take the palette entry of their colour, or
// the nearest entry when the palette (at most 255 colours) lacks it; transparent pixels (alpha
// below 128) take the transparent index. Raises EGifWrite, before writing anything, for an
// animation without frames or wider or higher than gif::kMaxSide, and for giflib's failures.
void WriteGif(const TAnimation& animation, const std::vector<TColor>& palette, TStream& stream);

}  // namespace pw
