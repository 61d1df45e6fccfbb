#include "toolkit/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "toolkit/errors.h"

namespace pw::sjis {
namespace {

constexpr const char* kCodePage = "CP932";
constexpr const char* kUtf8 = "UTF-8";

// An iconv conversion descriptor, closed when it goes out of scope.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw EConvertError(FormatMessage(msg::kNoConversion, {from, to}));
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of input into output (which must be large enough). Returns the offset of
  // the first input byte that could not be converted, or input.size() when all were.
  std::size_t Convert(std::string_view input, std::string& output) const {
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
    output.resize(output.size() - outLeft);
    if (result == static_cast<std::size_t>(-1)) return input.size() - inLeft;
    return input.size();
  }

 private:
  iconv_t cd_;
};

// Decodes the UTF-8 sequence at text[pos]; returns -1 when it is not well formed.
long DecodeUtf8(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t first = byte(pos);
  int length = 0;
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

std::string CodePointName(long code) {
  char name[24];
  std::snprintf(name, sizeof name, "U+%04lX", code);
  return name;
}

}  // namespace

bool IsLeadByte(std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::size_t CharacterLength(std::string_view bytes, std::size_t pos) {
  if (pos >= bytes.size()) return 0;
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
  const Converter converter(kCodePage, kUtf8);
  // No character grows: a code page 932 form has at most 2 bytes, UTF-8 forms it has at least 1.
  std::string output(utf8.size() * 2, '\0');
  const std::size_t stop = converter.Convert(utf8, output);
  if (stop == utf8.size()) return output;
  const long code = DecodeUtf8(utf8, stop);
  if (code < 0) throw EConvertError(FormatMessage(msg::kInvalidUtf8, {std::to_string(stop)}));
  throw EConvertError(FormatMessage(msg::kNoShiftJisForm, {CodePointName(code)}));
}

std::string ToUtf8(std::string_view cp932) {
  const Converter converter(kUtf8, kCodePage);
  // One byte becomes at most three (half-width katakana), two bytes at most three.
  std::string output(cp932.size() * 3, '\0');
  const std::size_t stop = converter.Convert(cp932, output);
  if (stop == cp932.size()) return output;
  throw EConvertError(FormatMessage(msg::kInvalidShiftJis, {std::to_string(stop)}));
}

std::optional<char32_t> ToCodePoint(std::string_view cp932Char) {
  if (cp932Char.empty()) return std::nullopt;
  const Converter converter(kUtf8, kCodePage);
  std::string output(cp932Char.size() * 3, '\0');
  if (converter.Convert(cp932Char, output) != cp932Char.size() || output.empty()) return std::nullopt;
  const long code = DecodeUtf8(output, 0);
  if (code < 0) return std::nullopt;
  return static_cast<char32_t>(code);
}

}  // namespace pw::sjis
