// Window text as every program reads it: a text file's byte-order mark, the characters that no
// font holds, and the window a text would make, refused before the text is composed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "compose/compose.h"
#include "compose/extras.h"
#include "toolkit/letters.h"

namespace pw::io {

// UTF-8 text without the one U+FEFF that Windows editors put at its start.
std::string_view WithoutByteOrderMark(std::string_view utf8);

// One note for each character of the window lines, names and values that no font holds, in the
// order they first appear: "U+0E01 (ก) has no glyph and is drawn as a box".
std::vector<std::string> MissingGlyphNotes(const std::vector<std::string>& lines, const GameCodeValues& values);

// Refuses a UTF-8 text whose window would be larger than the picture readers accept, as the
// composition would (EComposeError) but without converting or measuring more of the text than
// it must: the first line wide enough decides. A line that does not convert ends the check, to
// be reported by the composition itself. input.lines is not read.
void RequireTextFits(std::string_view utf8, TLetters letters, const ComposeInput& input, const WindowExtras& extras);

}  // namespace pw::io
