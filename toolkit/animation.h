// Animated pictures as the encoders take them: whole RGBA frames of one size, each shown for a
// number of 1/60-second ticks, and the picture a viewer without animation shows.
#pragma once

#include <cstdint>
#include <vector>

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

struct TTimedFrame {
  TRgbaImage image;
  int ticks = 1;  // how long it shows, in 1/60 s
};

inline constexpr int kTicksPerSecond = 60;

struct TAnimation {
  int width = 0;
  int height = 0;
  std::vector<TTimedFrame> frames;
  TRgbaImage still;  // what a viewer that shows no animation shows
  int plays = 0;     // times the animation plays; 0 is forever
};

// A rectangle of a frame; empty when width or height is 0.
struct TFrameRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool Empty() const { return width <= 0 || height <= 0; }
};

// The smallest rectangle holding every pixel in which two images of one size differ; empty
// when they are equal.
TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after);

// The rectangle of an image as an image of its own.
TRgbaImage Crop(const TRgbaImage& image, TFrameRect rect);

}  // namespace pw
