#include "app/image_convert.h"

#include <cstdint>
#include <vector>

#include "toolkit/packed_pixels.h"

namespace pw {

namespace {

// Indexed rows of 1, 4 or 8 bits per pixel through a table of every index the depth can hold;
// an index past the end of the palette shows black.
void ConvertIndexed(const TBitmap& bitmap, QImage& image) {
  const int bits = bitmap.GetBitsPerPixel();
  const TPaletteEntries palette = bitmap.HasPalette() ? bitmap.GetPalette() : DefaultPalette(bits);
  std::vector<QRgb> colours(std::size_t{1} << bits, qRgb(0, 0, 0));
  for (std::size_t i = 0; i < colours.size() && i < palette.size(); ++i)
    colours[i] = qRgb(palette[i].peRed, palette[i].peGreen, palette[i].peBlue);
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.GetWidth(); ++x) out[x] = colours[ReadPackedIndex(row, x, bits)];
  }
}

void ConvertBgr(const TBitmap& bitmap, QImage& image, int bytesPerPixel) {
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    const std::uint8_t* row = bitmap.ScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.GetWidth(); ++x, row += bytesPerPixel) out[x] = qRgb(row[2], row[1], row[0]);
  }
}

// 15- and 16-bit pixels are rare here; the bitmap's own colour read keeps their bit layouts in one place.
void ConvertByColour(const TBitmap& bitmap, QImage& image) {
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < bitmap.GetWidth(); ++x) {
      const TColor c = bitmap.GetPixelColor(x, y);
      out[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
}

}  // namespace

QImage ToQImage(const TBitmap& bitmap) {
  if (bitmap.GetEmpty()) return {};
  QImage image(bitmap.GetWidth(), bitmap.GetHeight(), QImage::Format_RGB32);
  switch (bitmap.GetPixelFormat()) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
      ConvertIndexed(bitmap, image);
      break;
    case TPixelFormat::pf24bit:
      ConvertBgr(bitmap, image, 3);
      break;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf32bit:
    case TPixelFormat::pfCustom:
      ConvertBgr(bitmap, image, 4);
      break;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
      ConvertByColour(bitmap, image);
      break;
  }
  return image;
}

}  // namespace pw
