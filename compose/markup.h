// Control codes of window text: colour changes (\C[n]), special glyphs ($A..$Z, $a..$z, $0..$9)
// and the escapes \\ and $$. A line is scanned once into the text that is measured and drawn,
// with a colour number and a glyph number for every character that remains.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// The placeholder that stands where a glyph code was: IDEOGRAPHIC SPACE in Shift-JIS.
inline constexpr std::string_view kGlyphPlaceholder = "\x81\x40";

struct ParsedLine {
  std::string DisplayText;  // Shift-JIS bytes
  std::string ColourCodes;  // two decimal digits per display character: its colour number 00..19
  std::string GlyphCodes;   // two decimal digits per display character: its glyph number 00..61
  // One entry per display character: its Shift-JIS bytes, and whether it came from a glyph code.
  // The flag tells "$A" (glyph 0) apart from an ordinary character, which also has glyph number 0.
  std::vector<std::string> Characters;
  std::vector<bool> FromGlyphCode;
  // One entry per colour code, in order: how many display characters come before it.
  std::vector<std::size_t> ColourCodeAt;

  std::size_t Length() const { return Characters.size(); }
  int ColourAt(std::size_t k) const;  // k counted from 0
  int GlyphAt(std::size_t k) const;
};

// Scans one line (Shift-JIS bytes). currentColour carries the colour in force from character to
// character and from line to line; it starts at 0 for each composition.
ParsedLine ParseMarkupLine(std::string_view line, int& currentColour);

// Splits text into lines at LF (a CR before the LF is dropped); a last empty line, left by a
// text that ends with a line break, is not counted, and an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// The same lines as views into text.
std::vector<std::string_view> SplitLineViews(std::string_view text);

}  // namespace pw
