#include "toolkit/animation.h"

#include <algorithm>
#include <cstring>

namespace pw {

TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after) {
  const std::size_t rowBytes = 4 * static_cast<std::size_t>(after.width);
  int top = -1, bottom = -1, left = after.width, right = -1;
  for (int y = 0; y < after.height; ++y) {
    const std::uint8_t* a = before.Pixel(0, y);
    const std::uint8_t* b = after.Pixel(0, y);
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    if (top < 0) top = y;
    bottom = y;
    for (int x = 0; x < after.width; ++x) {
      if (std::memcmp(a + 4 * x, b + 4 * x, 4) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  if (top < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

TRgbaImage Crop(const TRgbaImage& image, TFrameRect rect) {
  TRgbaImage out(rect.width, rect.height);
  for (int y = 0; y < rect.height; ++y) {
    std::memcpy(out.Pixel(0, y), image.Pixel(rect.x, rect.y + y), 4 * static_cast<std::size_t>(rect.width));
  }
  return out;
}

}  // namespace pw
