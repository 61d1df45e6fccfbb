#include "toolkit/sjis.h"

#include <algorithm>
#include <cstdio>

#include "toolkit/builtin_tables.h"
#include "toolkit/errors.h"

namespace pw::sjis {
namespace {

// The code point of the code page 932 character at bytes[pos] and its byte length; length 0
// when the bytes there are not a character.
struct Decoded {
  char16_t code = table::kNone;
  std::size_t length = 0;
};

Decoded DecodeCp932(std::string_view bytes, std::size_t pos) {
  const auto lead = static_cast<std::uint8_t>(bytes[pos]);
  const int slot = table::LeadSlot(lead);
  if (slot < 0) {
    const char16_t code = tables::SjisSingleByte()[lead];
    return code == table::kNone ? Decoded{} : Decoded{code, 1};
  }
  if (pos + 1 >= bytes.size()) return {};
  const char16_t code = tables::SjisPairs(slot)[static_cast<std::uint8_t>(bytes[pos + 1])];
  return code == table::kNone ? Decoded{} : Decoded{code, 2};
}

std::string CodePointName(long code) {
  char name[24];
  std::snprintf(name, sizeof name, "U+%04lX", code);
  return name;
}

}  // namespace

// The code page 932 bytes of a code point (lead * 256 + trail for two bytes), or -1.
long EncodeCp932(long code) {
  const std::span<const table::Encoding> encodings = tables::SjisEncodings();
  const auto end = encodings.end();
  const auto found = std::lower_bound(encodings.begin(), end, code, [](const table::Encoding& e, long c) { return e.codePoint < c; });
  return found != end && found->codePoint == code ? found->bytes : -1;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code >= 0x10000) {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes the UTF-8 sequence at text[pos] and sets length to its byte count; returns -1 when
// it is not well formed.
long DecodeUtf8(std::string_view text, std::size_t pos, int& length) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t first = byte(pos);
  length = 1;
  long code = 0;
  long minimum = 0;
  if (first < 0x80) return first;
  if ((first & 0xE0) == 0xC0) { length = 2; code = first & 0x1F; minimum = 0x80; }
  else if ((first & 0xF0) == 0xE0) { length = 3; code = first & 0x0F; minimum = 0x800; }
  else if ((first & 0xF8) == 0xF0) { length = 4; code = first & 0x07; minimum = 0x10000; }
  else return -1;
  if (pos + length > text.size()) return -1;
  for (int i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return -1;
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  return code;
}

std::string ExtensionChar(char32_t code) {
  return {static_cast<char>(kExtensionLead), static_cast<char>(0x80 | (code >> 14 & 0x7F)),
          static_cast<char>(0x80 | (code >> 7 & 0x7F)), static_cast<char>(0x80 | (code & 0x7F))};
}

std::optional<char32_t> ExtensionAt(std::string_view bytes, std::size_t pos) {
  if (pos + kExtensionLength > bytes.size() || static_cast<std::uint8_t>(bytes[pos]) != kExtensionLead) {
    return std::nullopt;
  }
  char32_t code = 0;
  for (std::size_t i = 1; i < kExtensionLength; ++i) {
    const auto b = static_cast<std::uint8_t>(bytes[pos + i]);
    if (b < 0x80) return std::nullopt;
    code = code << 7 | (b & 0x7F);
  }
  if (code > 0x10FFFF) return std::nullopt;
  return code;
}

bool IsLeadByte(std::uint8_t b) { return table::LeadSlot(b) >= 0; }

std::size_t CharacterLength(std::string_view bytes, std::size_t pos) {
  if (pos >= bytes.size()) return 0;
  if (ExtensionAt(bytes, pos)) return kExtensionLength;
  const bool lead = IsLeadByte(static_cast<std::uint8_t>(bytes[pos]));
  return lead && pos + 1 < bytes.size() ? 2 : 1;
}

std::vector<std::string_view> SplitCharacters(std::string_view bytes) {
  std::vector<std::string_view> characters;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const std::size_t length = CharacterLength(bytes, pos);
    characters.push_back(bytes.substr(pos, length));
    pos += length;
  }
  return characters;
}

std::string FromUtf8(std::string_view utf8) {
  std::string output;
  output.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    int length = 0;
    const long code = DecodeUtf8(utf8, pos, length);
    if (code < 0) throw EConvertError(FormatMessage(msg::kInvalidUtf8, {std::to_string(pos)}));
    const long bytes = EncodeCp932(code);
    if (bytes < 0) throw EConvertError(FormatMessage(msg::kNoShiftJisForm, {CodePointName(code)}));
    if (bytes > 0xFF) output += static_cast<char>(bytes >> 8);
    output += static_cast<char>(bytes & 0xFF);
    pos += static_cast<std::size_t>(length);
  }
  return output;
}

std::string ToUtf8(std::string_view cp932) {
  std::string output;
  output.reserve(cp932.size() * 3 / 2);
  for (std::size_t pos = 0; pos < cp932.size();) {
    const Decoded d = DecodeCp932(cp932, pos);
    if (d.length == 0) throw EConvertError(FormatMessage(msg::kInvalidShiftJis, {std::to_string(pos)}));
    AppendUtf8(output, d.code);
    pos += d.length;
  }
  return output;
}

std::optional<char32_t> ToCodePoint(std::string_view cp932Char) {
  if (cp932Char.empty()) return std::nullopt;
  const Decoded d = DecodeCp932(cp932Char, 0);
  if (d.length == 0) return std::nullopt;
  return d.code;
}

}  // namespace pw::sjis
