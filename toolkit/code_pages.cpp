#include "toolkit/code_pages.h"

#include <algorithm>

#ifdef PW_WITH_ICONV
#include <iconv.h>
#endif

#include "toolkit/builtin_tables.h"
#include "toolkit/errors.h"
#include "toolkit/sjis.h"

namespace pw::codepage {
namespace {

const table::CodePage& Find(std::string_view name) {
  for (const table::CodePage& page : tables::CodePages()) {
    if (name == page.name) return page;
  }
  throw EConvertError("Unknown code page " + std::string(name));
}

[[noreturn]] void Invalid(const table::CodePage& page, std::size_t pos) {
  throw EConvertError(FormatMessage(msg::kInvalidCodePage, {page.name, std::to_string(pos)}));
}

#ifdef PW_WITH_ICONV
struct IconvHandle {
  iconv_t cd;
  explicit IconvHandle(const char* from) : cd(iconv_open("UTF-8", from)) {}
  ~IconvHandle() {
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
};
#endif

}  // namespace

std::vector<std::string> Names() {
  std::vector<std::string> names;
  for (const table::CodePage& page : tables::CodePages()) names.emplace_back(page.name);
  return names;
}

std::vector<std::string> Encodings() {
  std::vector<std::string> encodings = {"utf-8", "cp932"};
  for (std::string& name : Names()) encodings.push_back(std::move(name));
  return encodings;
}

std::string Title(std::string_view encoding) {
  struct Language {
    std::string_view encoding, language;
  };
  static constexpr Language kLanguages[] = {
      {"cp932", "Japanese"},      {"cp1250", "Central European"},   {"cp1251", "Cyrillic"},
      {"cp1252", "Western European"}, {"cp1253", "Greek"},          {"cp1254", "Turkish"},
      {"cp1257", "Baltic"},       {"cp936", "Simplified Chinese"},  {"cp949", "Korean"},
      {"cp950", "Traditional Chinese"},
  };
  if (encoding == "utf-8") return "UTF-8";
  for (const Language& l : kLanguages) {
    if (l.encoding == encoding) return std::string(encoding) + " (" + std::string(l.language) + ")";
  }
  return std::string(encoding);
}

bool IsKnown(std::string_view name) {
  const auto pages = tables::CodePages();
  return std::any_of(pages.begin(), pages.end(), [&](const table::CodePage& page) { return name == page.name; });
}

std::string ToUtf8ByTable(std::string_view bytes, std::string_view name) {
  const table::CodePage& page = Find(name);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto b = static_cast<std::uint8_t>(bytes[pos]);
    char16_t code = page.single[b];
    std::size_t length = 1;
    if (code == table::kNone && page.pairs != nullptr && b >= table::kFirstLead &&
        b < table::kFirstLead + table::kLeads && pos + 1 < bytes.size()) {
      code = page.pairs[(b - table::kFirstLead) * 256 + static_cast<std::uint8_t>(bytes[pos + 1])];
      length = 2;
    }
    if (code == table::kNone) Invalid(page, pos);
    sjis::AppendUtf8(out, code);
    pos += length;
  }
  return out;
}

std::string ToUtf8(std::string_view bytes, std::string_view name) {
#ifdef PW_WITH_ICONV
  const table::CodePage& page = Find(name);
  const IconvHandle converter(page.iconvName);
  if (converter.cd == reinterpret_cast<iconv_t>(-1)) return ToUtf8ByTable(bytes, name);
  std::string input(bytes);
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  if (iconv(converter.cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
    // iconv may stop after a pair it cannot map; the table names the pair's first byte.
    ToUtf8ByTable(bytes, name);
    Invalid(page, static_cast<std::size_t>(in - input.data()));
  }
  out.resize(out.size() - outLeft);
  return out;
#else
  return ToUtf8ByTable(bytes, name);
#endif
}

TLetters DefaultLetters(std::string_view encoding) {
  return encoding == "utf-8" || encoding == "cp932" ? TLetters::Japanese : TLetters::International;
}

}  // namespace pw::codepage
