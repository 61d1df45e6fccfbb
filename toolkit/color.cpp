#include "toolkit/color.h"

#include <array>

namespace pw {

TColor ColorToRGB(TColor color) {
  if (color >= 0) return color & 0xFFFFFF;
  // The classic desktop scheme, indexed by system colour number.
  static constexpr std::array<TColor, 31> kSystemColours = {
      RGB(192, 192, 192), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
      RGB(192, 192, 192), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
      RGB(0, 0, 0),       RGB(255, 255, 255), RGB(192, 192, 192), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(0, 0, 128),     RGB(255, 255, 255), RGB(192, 192, 192),
      RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(192, 192, 192),
      RGB(255, 255, 255), RGB(0, 0, 0),       RGB(223, 223, 223), RGB(0, 0, 0),
      RGB(255, 255, 225), RGB(0, 0, 0),       RGB(0, 0, 255),     RGB(16, 132, 208),
      RGB(181, 181, 181), RGB(0, 0, 128),     RGB(192, 192, 192)};
  const auto index = static_cast<std::size_t>(color & 0xFF);
  return index < kSystemColours.size() ? kSystemColours[index] : clBlack;
}

}  // namespace pw
