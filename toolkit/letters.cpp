#include "toolkit/letters.h"

#include <algorithm>
#include <cstdio>

#include "toolkit/builtin_tables.h"
#include "toolkit/errors.h"
#include "toolkit/sjis.h"
#include "toolkit/world_glyphs.h"

namespace pw {
namespace {

struct ComposePair {
  char32_t letter;
  char32_t mark;
  char32_t composed;
};
constexpr ComposePair kComposePairs[] = {
#include "toolkit/compose_pairs.inc"
};

// The precomposed character of letter and mark, or 0.
char32_t Compose(char32_t letter, char32_t mark) {
  const auto less = [](const ComposePair& p, std::pair<char32_t, char32_t> key) {
    return p.letter != key.first ? p.letter < key.first : p.mark < key.second;
  };
  const auto end = std::end(kComposePairs);
  const auto found = std::lower_bound(std::begin(kComposePairs), end, std::pair{letter, mark}, less);
  return found != end && found->letter == letter && found->mark == mark ? found->composed : 0;
}

std::vector<char32_t> DecodeAll(std::string_view utf8) {
  std::vector<char32_t> codes;
  codes.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    int length = 0;
    const long code = sjis::DecodeUtf8(utf8, pos, length);
    if (code < 0) throw EConvertError(FormatMessage(msg::kInvalidUtf8, {std::to_string(pos)}));
    const char32_t c = static_cast<char32_t>(code);
    const char32_t composed = codes.empty() ? 0 : Compose(codes.back(), c);
    if (composed != 0) codes.back() = composed;
    else codes.push_back(c);
    pos += static_cast<std::size_t>(length);
  }
  return codes;
}

bool InTable(const world::GlyphTable& table, char32_t code) {
  return std::binary_search(table.codes, table.codes + table.count, code);
}

}  // namespace

std::optional<TLetters> ParseLetters(std::string_view name) {
  if (name == "japanese") return TLetters::Japanese;
  if (name == "international") return TLetters::International;
  return std::nullopt;
}

const char* LettersName(TLetters letters) { return letters == TLetters::Japanese ? "japanese" : "international"; }

std::string ToWindowText(std::string_view utf8, TLetters letters) {
  std::string out;
  out.reserve(utf8.size());
  for (const char32_t c : DecodeAll(utf8)) {
    const bool half = letters == TLetters::International && world::IsInternationalLetter(c);
    const long bytes = half ? -1 : sjis::EncodeCp932(static_cast<long>(c));
    if (bytes < 0) {
      out += sjis::ExtensionChar(c);
      continue;
    }
    if (bytes > 0xFF) out += static_cast<char>(bytes >> 8);
    out += static_cast<char>(bytes & 0xFF);
  }
  return out;
}

std::string WindowTextToUtf8(std::string_view text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = sjis::CharacterLength(text, pos);
    const std::string_view c = text.substr(pos, length);
    const auto code = length == sjis::kExtensionLength ? sjis::ExtensionAt(text, pos) : sjis::ToCodePoint(c);
    if (!code) throw EConvertError(FormatMessage(msg::kInvalidShiftJis, {std::to_string(pos)}));
    sjis::AppendUtf8(out, *code);
    pos += length;
  }
  return out;
}

GlyphOrigin GlyphOriginOf(std::string_view windowChar) {
  const auto code = sjis::ExtensionAt(windowChar, 0);
  if (!code) return {TGlyphSource::ShiftJis, windowChar.size() >= 2 ? 12 : 6};
  if (InTable(tables::WorldNarrow(), *code)) return {TGlyphSource::Fixed6x12, 6};
  if (InTable(tables::WorldEfont(), *code)) return {TGlyphSource::Efont, 12};
  if (InTable(tables::WorldWqy(), *code)) return {TGlyphSource::WenQuanYi, 12};
  return {TGlyphSource::None, 12};
}

std::vector<char32_t> MissingGlyphs(std::string_view text) {
  std::vector<char32_t> missing;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = sjis::CharacterLength(text, pos);
    const std::string_view c = text.substr(pos, length);
    if (GlyphOriginOf(c).source == TGlyphSource::None) {
      const char32_t code = *sjis::ExtensionAt(c, 0);
      if (std::find(missing.begin(), missing.end(), code) == missing.end()) missing.push_back(code);
    }
    pos += length;
  }
  return missing;
}

std::string MissingGlyphNote(char32_t code) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
  std::string shown;
  sjis::AppendUtf8(shown, code);
  return FormatMessage(msg::kNoGlyph, {name, shown});
}

}  // namespace pw
