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

// Window text is Shift-JIS with one private addition: any other character is written as four
// bytes, kExtensionLead and its code point's 21 bits in three bytes of seven bits each with the
// high bit set. 0xFD is no Shift-JIS byte and every byte of the form is 0x80 or above, so line
// breaks, backslashes and dollar signs never appear inside one.
inline constexpr std::uint8_t kExtensionLead = 0xFD;
inline constexpr std::size_t kExtensionLength = 4;

// The four bytes of a character in the private form.
std::string ExtensionChar(char32_t code);
// The code point of the private form at bytes[pos], or nullopt when none starts there.
std::optional<char32_t> ExtensionAt(std::string_view bytes, std::size_t pos);

// Decodes the UTF-8 sequence at text[pos] and sets length to its byte count; returns -1 when it
// is not well formed.
long DecodeUtf8(std::string_view text, std::size_t pos, int& length);
// Appends code as UTF-8.
void AppendUtf8(std::string& out, char32_t code);
// The code page 932 bytes of a code point (lead * 256 + trail for two bytes), or -1.
long EncodeCp932(long code);

// Splits text into characters of one or two bytes, or four for the private form. A lead byte takes the byte after it,
// whatever that is; a lead byte standing last is a character of its own.
std::vector<std::string_view> SplitCharacters(std::string_view bytes);

// Byte length of the character that starts at bytes[pos] (1, 2 or 4; 0 at the end).
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
