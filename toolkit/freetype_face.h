// FreeType faces rasterised monochrome into 12x12 glyphs, and the fontconfig lookup of installed
// faces. Used by the desktop text rasteriser for installed faces and by the build tool that
// makes the stand-in glyph table. Internal to toolkit/.
#pragma once

#include <memory>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "toolkit/glyph_bits.h"

namespace pw {

struct FaceFile {
  std::string path;
  int index = 0;
};

// The file of the installed face whose own family name is family, or nullopt.
std::optional<FaceFile> FindInstalledFace(const std::string& family);

// One open face at a 12-pixel cell height. Raises EFontError (naming faceName) when the file
// cannot be opened.
class TFreeTypeFace {
 public:
  TFreeTypeFace(const std::string& faceName, const FaceFile& file);
  ~TFreeTypeFace();
  TFreeTypeFace(TFreeTypeFace&&) noexcept;
  TFreeTypeFace& operator=(TFreeTypeFace&&) noexcept;

  // Scales an outline face so that ascent plus descent is 12 pixels (not the em size).
  void SizeToCell();
  // Renders the character with this code in the face's charmap into glyph's rows, the face's
  // ascent from the top. With fontAdvance, glyph.advance becomes the face's own advance.
  // A code without a glyph leaves glyph unchanged.
  void Render(unsigned long code, bool fontAdvance, Glyph& glyph) const;
  // The same with the glyph's baseline at row baseline instead of the face's ascent.
  void RenderAt(unsigned long code, int baseline, Glyph& glyph) const;
  // The same into rows of any height (pixels 0..15 of each); returns the advance, or nullopt
  // for a code without a glyph.
  std::optional<int> RenderRows(unsigned long code, int baseline, std::span<std::uint16_t> rows) const;
  // True when the face's charmap holds a glyph for code.
  bool Holds(unsigned long code) const;
  // The face's ascent in whole pixels: the row of its baseline.
  int Ascent() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pw
