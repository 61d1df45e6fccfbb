#include "toolkit/animation.h"

#include <algorithm>
#include <cstring>

#include "toolkit/errors.h"

namespace pw {

TFrameRect Union(TFrameRect a, TFrameRect b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width), bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after) {
  return ChangedRect(before, after, {0, 0, after.width, after.height});
}

TFrameRect ChangedRect(const TRgbaImage& before, const TRgbaImage& after, TFrameRect within) {
  const std::size_t rowBytes = 4 * static_cast<std::size_t>(within.width);
  int top = -1, bottom = -1, left = within.x + within.width, right = -1;
  for (int y = within.y; y < within.y + within.height; ++y) {
    const std::uint8_t* a = before.Pixel(within.x, y);
    const std::uint8_t* b = after.Pixel(within.x, y);
    if (std::memcmp(a, b, rowBytes) == 0) continue;
    if (top < 0) top = y;
    bottom = y;
    // Only the columns outside the ones found so far can widen the rectangle.
    for (int x = within.x; x < left; ++x) {
      if (std::memcmp(a + 4 * (x - within.x), b + 4 * (x - within.x), 4) != 0) {
        left = x;
        break;
      }
    }
    for (int x = within.x + within.width - 1; x > right; --x) {
      if (std::memcmp(a + 4 * (x - within.x), b + 4 * (x - within.x), 4) != 0) {
        right = x;
        break;
      }
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

void CopyRect(const TRgbaImage& from, TFrameRect rect, TRgbaImage& to) {
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    std::memcpy(to.Pixel(rect.x, y), from.Pixel(rect.x, y), 4 * static_cast<std::size_t>(rect.width));
  }
}

TFrameReplay::TFrameReplay(const TAnimation& animation)
    : animation_(animation), picture_(animation.width, animation.height) {}

const TRgbaImage& TFrameReplay::At(std::size_t i) {
  Assert(i < animation_.frames.size(), "TFrameReplay: No Such Frame");
  if (i + 1 < laid_) laid_ = 0;
  for (; laid_ <= i; ++laid_) {
    const TTimedFrame& frame = animation_.frames[laid_];
    for (int y = 0; y < frame.rect.height; ++y) {
      std::memcpy(picture_.Pixel(frame.rect.x, frame.rect.y + y), frame.image.Pixel(0, y),
                  4 * static_cast<std::size_t>(frame.rect.width));
    }
  }
  return picture_;
}

}  // namespace pw
