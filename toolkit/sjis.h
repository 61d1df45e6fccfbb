// Shift-JIS (code page 932) text: character boundaries and conversion to and from UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pw::sjis {

// True for the first byte of a double-byte character: 0x81..0x9F and 0xE0..0xFC.
bool IsLeadByte(std::uint8_t b);

// Splits text into characters of one or two bytes. A lead byte takes the byte after it,
// whatever that is; a lead byte standing last is a character of its own.
std::vector<std::string_view> SplitCharacters(std::string_view bytes);

// Byte length of the character that starts at bytes[pos] (1 or 2; 0 at the end).
std::size_t CharacterLength(std::string_view bytes, std::size_t pos);

// Converts UTF-8 text to code page 932. Throws EConvertError naming the first character that
// has no code page 932 form ("U+1F600 has no Shift-JIS (code page 932) form"), or the offset of
// the first byte that is not valid UTF-8.
std::string FromUtf8(std::string_view utf8);

// The Unicode code point of one code page 932 character, or nullopt when it has none.
std::optional<char32_t> ToCodePoint(std::string_view cp932Char);

// Converts code page 932 text to UTF-8. Throws EConvertError with the offset of the first byte
// sequence that is not valid code page 932.
std::string ToUtf8(std::string_view cp932);

}  // namespace pw::sjis
