#include "compose/layout.h"

#include "dib/qvdib.h"

namespace pw {
namespace {

// Makes dib a 24-bit copy of picture.
void AssignAs24Bit(TQvDIB& dib, const TGraphic& picture) {
  dib.Assign(&picture);
  dib.SetPixelFormat(qvPf24Bit);
}

// Sheet pixel (x, y), white outside the sheet.
TColor SheetPixel(const TColourImage& sheet, int x, int y) {
  return sheet.Contains(x, y) ? sheet.At(x, y) : clWhite;
}

}  // namespace

TColourImage TColourImage::FromGraphic(const TGraphic& picture) {
  TColourImage image;
  if (picture.GetEmpty()) return image;
  // A 24-bit bitmap already holds its colour values; anything else converts through a DIB.
  const auto* bitmap = dynamic_cast<const TBitmap*>(&picture);
  if (bitmap != nullptr && bitmap->GetPixelFormat() == TPixelFormat::pf24bit) {
    image.width_ = bitmap->GetWidth();
    image.height_ = bitmap->GetHeight();
    image.ReadBgrRows([&](int y) { return bitmap->ScanLine(y); });
    return image;
  }
  TQvDIB dib;
  AssignAs24Bit(dib, picture);
  const TQvDIBInfos& infos = dib.Internal().DIBInfos;
  image.width_ = dib.GetWidth();
  image.height_ = dib.GetHeight();
  image.ReadBgrRows([&](int y) { return infos.Row(y); });
  return image;
}

void TColourImage::ReadBgrRows(const std::function<const std::uint8_t*(int)>& rowOf) {
  pixels_.resize(static_cast<std::size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* row = rowOf(y);
    TColor* out = pixels_.data() + static_cast<std::size_t>(y) * width_;
    for (int x = 0; x < width_; ++x, row += 3) out[x] = RGB(row[2], row[1], row[0]);
  }
}

void DrawGlyph(int glyph, TCharCell& cell, const TGlyphSheets& sheets) {
  const bool builtIn = glyph < glyphs::kFirstUser;
  const TColourImage& sheet = builtIn ? sheets.builtIn : sheets.user;
  const int left = builtIn ? glyphs::kCell * (glyph % glyphs::kBuiltInColumns) : glyphs::kCell * (glyph - glyphs::kFirstUser);
  const int top = builtIn ? glyphs::kCell * (glyph / glyphs::kBuiltInColumns) : 0;
  for (int i = 0; i < glyphs::kCell; ++i) {
    for (int j = 0; j < glyphs::kCell; ++j) {
      if (SheetPixel(sheet, left + i, top + j) != clWhite) cell.Set(i, j, clBlack);
    }
  }
}

TColor PickTransparentColour(const TBitmap* displayed, int x, int y) {
  if (displayed == nullptr || displayed->GetEmpty()) return clWhite;
  if (x < 0 || y < 0 || x >= displayed->GetWidth() || y >= displayed->GetHeight()) return clWhite;
  TQvDIB dib;
  AssignAs24Bit(dib, *displayed);
  return static_cast<TColor>(dib.GetPixels(x, y));
}

}  // namespace pw
