// Text rasterising for the message window: one character at a time into a 12x12 cell, in
// black on an opaque background, without anti-aliasing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "toolkit/color.h"
#include "toolkit/errors.h"

namespace pw {

// A font that cannot be opened.
class EFontError : public Exception { using Exception::Exception; };

// A 12x12 drawing surface, rows top-down.
struct TCharCell {
  static constexpr int kSize = 12;
  std::array<TColor, kSize * kSize> pixels{};

  void Fill(TColor c) { pixels.fill(c); }
  TColor Get(int x, int y) const { return pixels[y * kSize + x]; }
  void Set(int x, int y, TColor c) { pixels[y * kSize + x] = c; }
};

// Measures and draws window text (Shift-JIS, and other characters in the private form of
// sjis.h) in one face at a 12-pixel cell height (ascent plus
// descent), normal weight, monochrome. On the desktop the face is looked up by family name
// through fontconfig and drawn through FreeType; when it is not installed (and always in the web
// page) the built-in table of the Shinonome 12-pixel bitmap fonts stands in for it (Mincho for
// "RM2000", Gothic otherwise) with 6-pixel single-byte and 12-pixel double-byte characters.
// Characters beyond Shift-JIS come from the built-in table of world_glyphs.h in every face.
// Glyphs are cached; an instance is not thread-safe.
class TTextRasterizer {
 public:
  explicit TTextRasterizer(const std::string& faceName);
  ~TTextRasterizer();
  TTextRasterizer(TTextRasterizer&&) noexcept;
  TTextRasterizer& operator=(TTextRasterizer&&) noexcept;

  const std::string& FaceName() const;
  // True when the named face was found installed; false when the stand-in fonts are used.
  bool UsesInstalledFace() const;

  // Width in pixels of a whole line of Shift-JIS text.
  int MeasureText(std::string_view sjis) const;
  // Advance in pixels of one character.
  int CharAdvance(std::string_view sjisChar) const;
  // Draws one character with its origin at the cell's top-left: background over the box of
  // its advance (at most 12) by 12 rows, black (0) ink on top. Other pixels stay unchanged.
  // A character without a glyph draws background only.
  void DrawChar(std::string_view sjisChar, TCharCell& cell, TColor background) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pw
