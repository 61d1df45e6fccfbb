#include "io/text.h"

#include <optional>

#include "compose/markup.h"
#include "toolkit/errors.h"

namespace pw::io {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

std::string_view WithoutByteOrderMark(std::string_view utf8) {
  if (utf8.starts_with(kByteOrderMark)) utf8.remove_prefix(kByteOrderMark.size());
  return utf8;
}

std::vector<std::string> MissingGlyphNotes(const std::vector<std::string>& lines, const GameCodeValues& values) {
  std::string all;
  for (const std::string& line : lines) all += line;
  for (const auto& [n, name] : values.names) all += name;
  for (const auto& [n, value] : values.values) all += value;
  std::vector<std::string> notes;
  for (const char32_t code : MissingGlyphs(all)) notes.push_back(MissingGlyphNote(code));
  return notes;
}

void RequireTextFits(std::string_view utf8, TLetters letters, const ComposeInput& input, const WindowExtras& extras) {
  const std::vector<std::string_view> lines = SplitLineViews(utf8);
  const auto lineAt = [&](std::size_t i) -> std::optional<std::string> {
    try {
      return ToWindowText(lines[i], letters);
    } catch (const EConvertError&) {
      return std::nullopt;
    }
  };
  RequireWindowFits(lines.size(), lineAt, input, extras);
}

}  // namespace pw::io
