// The code pages that translated games store their text in (cp1250, cp1251, cp1252, cp1253,
// cp1254, cp1257, cp936, cp949, cp950), decoded to UTF-8. The programs decode through iconv, the
// web page through tables generated from the same iconv at build time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "toolkit/letters.h"

namespace pw::codepage {

// The names above, in that order.
std::vector<std::string> Names();
bool IsKnown(std::string_view name);

// Decodes text in the named code page (one of Names()). Throws EConvertError naming the offset of
// the first byte that is not a character ("The text is not valid cp1252 at byte 7").
std::string ToUtf8(std::string_view bytes, std::string_view name);
// The same through the build-time tables, whatever the platform.
std::string ToUtf8ByTable(std::string_view bytes, std::string_view name);

// Every encoding a text may be read in, utf-8 and cp932 first, then Names().
std::vector<std::string> Encodings();
// The encoding as the programs offer it to choose, with the language or script it serves:
// "cp1251 (Cyrillic)", "UTF-8".
std::string Title(std::string_view encoding);

// The letters a text encoding implies: japanese for utf-8 and cp932, international otherwise.
TLetters DefaultLetters(std::string_view encoding);

}  // namespace pw::codepage
