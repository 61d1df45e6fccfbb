// The sizes every part of Panelwright keeps to, in one place: what the picture readers accept is
// what the composer may make and the programs may read, so that every picture Panelwright writes
// it can read back, and a refusal comes before the work.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pw {

// The largest picture, in pixels, that the readers build; a header that claims more is refused
// before anything is allocated, and no window of more is composed.
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;

// The largest file a picture reader takes whole: a PNG of kMaxBitmapPixels pixels of 16-bit red,
// green, blue and alpha (8 bytes each) stored without compression, with an eighth of a byte a
// pixel to spare for its row filters, block and chunk framing. Reads whose size is not known
// beforehand (pipes, devices, standard input) stop here.
inline constexpr std::size_t kMaxFileBytes = static_cast<std::size_t>(kMaxBitmapPixels) * 8 + kMaxBitmapPixels / 8;

// True when a picture of width x height pixels (both at least 1) is one the readers accept.
constexpr bool PictureFits(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxBitmapPixels / height;
}

}  // namespace pw
