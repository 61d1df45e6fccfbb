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
  TQvDIB dib;
  AssignAs24Bit(dib, picture);
  const TQvDIBInfos& infos = dib.Internal().DIBInfos;
  image.width_ = dib.GetWidth();
  image.height_ = dib.GetHeight();
  image.pixels_.resize(static_cast<std::size_t>(image.width_) * image.height_);
  for (int y = 0; y < image.height_; ++y) {
    const std::uint8_t* row = infos.Row(y);
    TColor* out = image.pixels_.data() + static_cast<std::size_t>(y) * image.width_;
    for (int x = 0; x < image.width_; ++x, row += 3) out[x] = RGB(row[2], row[1], row[0]);
  }
  return image;
}

TColor SampleTextColour(const TColourImage& skin, int colour, int x, int y) {
  const TSkinRegion swatch = skin::Swatch(colour);
  return skin.At(swatch.x + skin::kSampleOffsetX + x, swatch.y + skin::kSampleOffsetY + y);
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
