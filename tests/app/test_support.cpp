#include "test_support.h"

#include <fstream>

#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"

namespace pw {

TProgramFormats::TProgramFormats()
    : dib_(RegisterQvDIB()), png_(RegisterKroPNG()) {}

TProgramFormats::~TProgramFormats() = default;

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::span<const std::uint8_t> SampleSkinBmp() { return resources::SampleSkins().front().bmp; }
std::span<const std::uint8_t> SampleSkinPng() { return resources::SampleSkins().front().png; }

void WritePatternBmp(const std::string& path, int width, int height) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixelColor(x, y, RGB(x * 7 % 256, y * 13 % 256, (x + y) % 256));
  bitmap.SaveToFile(path);
}

}  // namespace pw
