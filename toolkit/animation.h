// Animated pictures as the encoders take them: a picture of one size whose frames are kept as
// the rectangles that change, each shown for a number of 1/60-second ticks, and the picture a
// viewer without animation shows. Keeping only what changes holds the memory of a long typed
// text to the text's size instead of frames x width x height.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "toolkit/color.h"

namespace pw {

// Rows of red, green, blue, alpha bytes, top row first.
struct TRgbaImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  TRgbaImage() = default;
  TRgbaImage(int w, int h) : width(w), height(h), rgba(4 * static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0) {}

  const std::uint8_t* Pixel(int x, int y) const { return rgba.data() + 4 * (static_cast<std::size_t>(y) * width + x); }
  std::uint8_t* Pixel(int x, int y) { return rgba.data() + 4 * (static_cast<std::size_t>(y) * width + x); }
  bool operator==(const TRgbaImage&) const = default;
};

// A rectangle of a frame; empty when width or height is 0.
struct TFrameRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
  bool operator==(const TFrameRect&) const = default;
};

// The smallest rectangle holding both; an empty one holds nothing.
TFrameRect Union(TFrameRect a, TFrameRect b);

inline constexpr int kTicksPerSecond = 60;

// One frame: the pixels of rect that it changes (image is rect's size), shown for ticks. The
// pixels outside rect are those of the frame before. The first frame of an animation covers the
// whole picture; a later frame that changes nothing has an empty rect.
struct TTimedFrame {
  TFrameRect rect;
  TRgbaImage image;
  int ticks = 1;  // how long it shows, in 1/60 s
};

// A colour and how many pixels have it.
struct TColourCount {
  TColor colour = 0;
  std::uint64_t pixels = 0;
  bool operator==(const TColourCount&) const = default;
};

struct TAnimation {
  int width = 0;
  int height = 0;
  std::vector<TTimedFrame> frames;
  TRgbaImage still;  // what a viewer that shows no animation shows
  int plays = 0;     // times the animation plays; 0 is forever
  // The colours of the pictures the animation comes to rest on (a dialogue's finished pages),
  // with their pixel counts: what a palette too small for every colour is reduced from.
  std::vector<TColourCount> restColours;
};

// The smallest rectangle holding every pixel in which two images of one size differ; empty
// when they are equal.
TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after);
// The same, looking only inside `within` (the rest of the images being known to be equal).
TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after, TFrameRect within);

// The rectangle of an image as an image of its own.
TRgbaImage Crop(const TRgbaImage& image, TFrameRect rect);

// Copies the pixels of rect of `from` onto the same place of `to` (images of one size).
void CopyRect(const TRgbaImage& from, TFrameRect rect, TRgbaImage& to);

// The whole picture of each frame, made by laying the frames' changes one over the other. The
// animation must outlive the replay and stay unchanged while it is used.
class TFrameReplay {
 public:
  explicit TFrameReplay(const TAnimation& animation);

  // The picture while frame i shows. Going forward lays the frames in between; going back
  // starts again from the first frame.
  const TRgbaImage& At(std::size_t i);

 private:
  const TAnimation& animation_;
  TRgbaImage picture_;
  std::size_t laid_ = 0;  // frames laid on picture_
};

}  // namespace pw
