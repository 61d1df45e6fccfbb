#include "toolkit/bitmap.h"

#include <algorithm>
#include <cstring>

#include "toolkit/errors.h"
#include "toolkit/large_buffer.h"
#include "toolkit/packed_pixels.h"

namespace pw {

int BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf24bit: return 24;
    default: return 32;
  }
}

std::size_t BytesPerRow(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

namespace {

bool IsIndexed(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

// Expands a 5-bit channel to 8 bits by bit replication.
std::uint8_t Expand5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
std::uint8_t Expand6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }

TColor ReadDirect(const std::uint8_t* row, int x, TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf15bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      return RGB(Expand5((v >> 10) & 31), Expand5((v >> 5) & 31), Expand5(v & 31));
    }
    case TPixelFormat::pf16bit: {
      const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
      return RGB(Expand5((v >> 11) & 31), Expand6((v >> 5) & 63), Expand5(v & 31));
    }
    case TPixelFormat::pf24bit: return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default: return RGB(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
  }
}

void WriteDirect(std::uint8_t* row, int x, TPixelFormat format, TColor c) {
  const unsigned r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (format) {
    case TPixelFormat::pf15bit: {
      const unsigned v = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      row[2 * x] = static_cast<std::uint8_t>(v);
      row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case TPixelFormat::pf16bit: {
      const unsigned v = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
      row[2 * x] = static_cast<std::uint8_t>(v);
      row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
      break;
    }
    case TPixelFormat::pf24bit:
      row[3 * x] = static_cast<std::uint8_t>(b);
      row[3 * x + 1] = static_cast<std::uint8_t>(g);
      row[3 * x + 2] = static_cast<std::uint8_t>(r);
      break;
    default:
      row[4 * x] = static_cast<std::uint8_t>(b);
      row[4 * x + 1] = static_cast<std::uint8_t>(g);
      row[4 * x + 2] = static_cast<std::uint8_t>(r);
      row[4 * x + 3] = 0;
  }
}

TColor EntryColor(const TPaletteEntries& palette, unsigned index) {
  if (index >= palette.size()) return clBlack;
  const TPaletteEntry& e = palette[index];
  return RGB(e.peRed, e.peGreen, e.peBlue);
}

}  // namespace

TPaletteEntries DefaultPalette(int bitsPerPixel) {
  TPaletteEntries p;
  if (bitsPerPixel == 1) {
    p = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  } else if (bitsPerPixel == 4) {
    static constexpr std::uint8_t kVga[16][3] = {
        {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    for (const auto& c : kVga) p.push_back({c[0], c[1], c[2], 0});
  } else if (bitsPerPixel == 8) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          p.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                       static_cast<std::uint8_t>(b * 51), 0});
    for (int i = 0; i < 40; ++i) {
      const auto v = static_cast<std::uint8_t>(i * 255 / 39);
      p.push_back({v, v, v, 0});
    }
  }
  return p;
}

int NearestPaletteIndex(const TPaletteEntries& palette, TColor color) {
  int best = 0;
  long bestDistance = -1;
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const long dr = palette[i].peRed - GetRValue(color);
    const long dg = palette[i].peGreen - GetGValue(color);
    const long db = palette[i].peBlue - GetBValue(color);
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

TBitmap::TBitmap() : image_(MakeImage(0, 0, TPixelFormat::pfDevice)) {}

std::shared_ptr<TBitmap::Image> TBitmap::MakeImage(int width, int height, TPixelFormat format) {
  if (width < 0 || height < 0) throw EInvalidGraphic("Invalid bitmap size");
  auto image = std::make_shared<Image>();
  image->width = width;
  image->height = height;
  image->format = format;
  image->stride = BytesPerRow(width, BitsPerPixel(format));
  const std::size_t total = image->stride * static_cast<std::size_t>(height);
  if (height != 0 && total / static_cast<std::size_t>(height) != image->stride) throw EOutOfMemory();
  ReserveLarge(image->pixels, total);
  image->pixels.assign(total, 0);
  return image;
}

TBitmap::Image& TBitmap::Unique() {
  if (image_.use_count() != 1) image_ = std::make_shared<Image>(*image_);
  image_->encoded.reset();
  return *image_;
}

void TBitmap::SetSize(int width, int height) {
  if (width == image_->width && height == image_->height) return;
  auto next = MakeImage(width, height, image_->format);
  next->palette = image_->palette;
  const std::size_t rowBytes = std::min(next->stride, image_->stride);
  for (int y = 0; y < std::min(height, image_->height); ++y)
    std::memcpy(next->Row(y), image_->Row(y), rowBytes);
  image_ = std::move(next);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == image_->format) return;
  auto next = MakeImage(image_->width, image_->height, format);
  const int bits = BitsPerPixel(format);
  if (IsIndexed(format)) {
    const std::size_t capacity = std::size_t{1} << bits;
    next->palette = (!image_->palette.empty() && image_->palette.size() <= capacity) ? image_->palette
                                                                                     : DefaultPalette(bits);
  } else {
    next->palette = image_->palette;  // a direct-colour bitmap may carry a suggested palette
  }
  for (int y = 0; y < image_->height; ++y) {
    std::uint8_t* dst = next->Row(y);
    for (int x = 0; x < image_->width; ++x) {
      const TColor c = GetPixelColor(x, y);
      if (IsIndexed(format))
        WritePackedIndex(dst, x, bits, static_cast<unsigned>(NearestPaletteIndex(next->palette, c)));
      else
        WriteDirect(dst, x, format, c);
    }
  }
  image_ = std::move(next);
  Changed();
}

void TBitmap::SetPalette(TPaletteEntries entries) {
  Unique().palette = std::move(entries);
  PaletteModified = true;
  Changed();
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= image_->height) throw EInvalidGraphic("Scan line index out of range");
  return image_->Row(y);
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= image_->height) throw EInvalidGraphic("Scan line index out of range");
  return Unique().Row(y);
}

TColor TBitmap::GetPixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_->width || y >= image_->height) return -1;
  const std::uint8_t* row = image_->Row(y);
  if (IsIndexed(image_->format)) return EntryColor(image_->palette, ReadPackedIndex(row, x, GetBitsPerPixel()));
  return ReadDirect(row, x, image_->format);
}

void TBitmap::SetPixelColor(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= image_->width || y >= image_->height) return;
  color = ColorToRGB(color);
  std::uint8_t* row = ScanLine(y);
  if (IsIndexed(image_->format))
    WritePackedIndex(row, x, GetBitsPerPixel(), static_cast<unsigned>(NearestPaletteIndex(image_->palette, color)));
  else
    WriteDirect(row, x, image_->format, color);
}

void TBitmap::Fill(TColor color) {
  for (int y = 0; y < image_->height; ++y)
    for (int x = 0; x < image_->width; ++x) SetPixelColor(x, y, color);
  Changed();
}

void TBitmap::SetTransparentColor(TColor color) {
  transparentColor_ = color;
  transparentMode_ = TTransparentMode::tmFixed;
  Changed();
}

void TBitmap::ReleaseImage() {
  image_ = MakeImage(0, 0, TPixelFormat::pfDevice);
  Changed();
}

void TBitmap::Assign(const TGraphic* source) {
  if (source == nullptr) {
    ReleaseImage();
    return;
  }
  if (const auto* other = dynamic_cast<const TBitmap*>(source)) {
    if (other == this) return;
    image_ = other->image_;
    SetTransparent(other->GetTransparent());
    transparentColor_ = other->transparentColor_;
    transparentMode_ = other->transparentMode_;
    PaletteModified = true;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::Draw(TBitmap& target, const TRect& rect) const {
  const int w = rect.Width(), h = rect.Height();
  if (w <= 0 || h <= 0 || GetEmpty()) return;
  for (int dy = 0; dy < h; ++dy) {
    const int sy = static_cast<int>(static_cast<long long>(dy) * image_->height / h);
    for (int dx = 0; dx < w; ++dx) {
      const int sx = static_cast<int>(static_cast<long long>(dx) * image_->width / w);
      target.SetPixelColor(rect.Left + dx, rect.Top + dy, GetPixelColor(sx, sy));
    }
  }
}

void TBitmap::SetEncodedBits(TEncodedBits encoded) {
  // A shared image gets a private copy first; the pixels themselves do not change.
  if (image_.use_count() != 1) image_ = std::make_shared<Image>(*image_);
  image_->encoded = std::make_shared<const TEncodedBits>(std::move(encoded));
}

}  // namespace pw
