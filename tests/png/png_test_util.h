// Loading helpers shared by the PNG tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "png/kropng.h"
#include "tests/png/png_builder.h"
#include "toolkit/stream.h"

namespace pw::test {

// Loads as a caller's stream, or as one whose bytes the decoder may rearrange and release.
inline void Load(TKroPNG& png, const Bytes& data, bool disposable = false) {
  TMemoryStream stream(data);
  if (disposable) {
    png.LoadFromMemoryStream(stream);
  } else {
    png.LoadFromStream(stream);
    EXPECT_EQ(stream.Bytes(), data) << "a caller's stream was changed";
  }
}

// The EKroPNG message of a failed load, "" when the load succeeds.
inline std::string LoadError(const Bytes& data, bool disposable = false) {
  try {
    TKroPNG png;
    Load(png, data, disposable);
  } catch (const EKroPNG& e) {
    return e.what();
  }
  return "";
}

// Pixels of depth `bits` (< 8) or `bytesPerPixel` bytes each, varied over x and y.
inline RawImage Pattern(int width, int height, int bits, int bytesPerPixel = 1) {
  RawImage image{width, height, bits < 8 ? bits : 8 * bytesPerPixel, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Pixel p;
      if (bits < 8) {
        p.push_back(static_cast<std::uint8_t>((x * 3 + y * 5 + x * y) % (1 << bits)));
      } else {
        for (int i = 0; i < bytesPerPixel; ++i) p.push_back(static_cast<std::uint8_t>(x * 7 + y * 13 + i * 31 + x * y));
      }
      image.pixels.push_back(p);
    }
  return image;
}

}  // namespace pw::test
