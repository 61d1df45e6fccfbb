// Build tool part: half-width Latin, Greek and Cyrillic letters at the heights of the built-in
// half-width font, so that a word in any of these scripts reads as one font beside the built-in
// letters, digits and punctuation. The built-in font (Shinonome 6x12) has 9-row capitals, a 7-row
// x-height and its baseline under row 9; it holds ASCII and ISO 8859-1 only. The other letters
// come from the 6x13 ISO 10646 font, whose capitals already have that height: capitals move up
// onto the baseline as they are, lower-case letters get one more row of x-height, and the marks
// of its accented letters are set on the built-in letters. In order, a letter is drawn as
//   - the built-in letter it looks like (Cyrillic а, Greek Ο), or the built-in i or j without dot;
//   - its base letter and marks, where Unicode decomposes it (é, ő, ş, ё, ộ);
//   - a built-in letter with the stroke the 6x13 font draws across it (ł, ħ);
//   - the built-in font's own glyph (æ, ß, ¿);
//   - the 6x13 font's glyph, fitted to the heights.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "toolkit/freetype_face.h"
#include "toolkit/glyph_bits.h"

namespace pw::fitting {

// True for the characters drawn at the built-in heights: the letters and punctuation that
// international letters draw half-width, and polytonic Greek.
bool AtBuiltInHeights(char32_t c);

class TFittedLetters {
 public:
  // Both faces must outlive this object.
  TFittedLetters(const TFreeTypeFace& builtIn, const TFreeTypeFace& fixed13);

  // The half-width glyph of c at the built-in heights, or nullopt when neither face gives one.
  std::optional<Glyph> Find(char32_t c);

 private:
  std::optional<Glyph> Compose(char32_t c);
  std::optional<Glyph> Stroked(char32_t c);
  std::optional<Glyph> Fitted(char32_t c) const;

  const TFreeTypeFace& builtIn_;
  const TFreeTypeFace& fixed13_;
  std::map<char32_t, std::optional<Glyph>> found_;
};

}  // namespace pw::fitting
