// Window text in any script: UTF-8 to the composer's window text (Shift-JIS with a private form
// for every other character, see sjis.h) in Japanese or international letters, and where each
// character's glyph comes from.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw {

// japanese: every character with a Shift-JIS form is drawn from the Shift-JIS faces, as Japanese
// games draw it. international: Latin, Greek and Cyrillic letters and their punctuation are drawn
// half-width, as translated games show them; ASCII, kana and kanji are drawn as in japanese.
enum class TLetters { Japanese, International };

// "japanese" or "international", else nullopt.
std::optional<TLetters> ParseLetters(std::string_view name);
const char* LettersName(TLetters letters);

// Where a character's glyph comes from, and its advance.
enum class TGlyphSource { ShiftJis, Fixed6x12, Efont, WenQuanYi, None };
struct GlyphOrigin {
  TGlyphSource source;
  int advance;
};

// UTF-8 to window text. A letter followed by combining marks becomes its precomposed character
// where one exists; nothing else is normalised. Throws EConvertError with the offset of the first
// byte that is not valid UTF-8.
std::string ToWindowText(std::string_view utf8, TLetters letters);

// Window text back to UTF-8. Throws EConvertError at a byte that is not a character.
std::string WindowTextToUtf8(std::string_view text);

// The glyph source and advance of one window-text character.
GlyphOrigin GlyphOriginOf(std::string_view windowChar);

// The characters of a window text that no font holds, each once, in order of appearance.
std::vector<char32_t> MissingGlyphs(std::string_view text);

// "U+0E01 (ก) has no glyph and is drawn as a box": the note shown for a missing glyph.
std::string MissingGlyphNote(char32_t code);

}  // namespace pw
