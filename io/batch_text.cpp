#include "io/batch_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

#include "compose/markup.h"
#include "toolkit/errors.h"
#include "toolkit/sjis.h"

namespace pw::io {
namespace {

constexpr std::string_view kBatchSeparator = "---";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The argument of a "@face" line (the word in any letter case, blanks around words trimmed), or
// nullopt for a line of window text.
std::optional<std::string_view> FaceLineArgument(std::string_view line) {
  constexpr std::string_view kWord = "@face";
  line = TrimBlanks(line);
  if (line.size() < kWord.size() || !SameIgnoringCase(line.substr(0, kWord.size()), kWord)) return std::nullopt;
  if (line.size() > kWord.size() && !IsBlank(line[kWord.size()])) return std::nullopt;
  return TrimBlanks(line.substr(kWord.size()));
}

// "@face" words after FILE[:N]: "right" or "left" sets the side, "flip" mirrors the face; the
// defaults hold otherwise. The text is taken as it stands in the batch, so that FILE names the
// file byte for byte.
FaceChoice ParseFaceLine(const BatchFaces& faces, std::string_view text) {
  bool right = faces.right;
  bool flip = faces.flip;
  for (;;) {
    const auto blank = text.find_last_of(" \t");
    if (blank == std::string_view::npos) break;
    const std::string_view word = text.substr(blank + 1);
    if (SameIgnoringCase(word, "flip")) flip = true;
    else if (SameIgnoringCase(word, "right") || SameIgnoringCase(word, "left")) right = SameIgnoringCase(word, "right");
    else break;
    text = TrimBlanks(text.substr(0, blank));
  }
  FaceChoice face = SplitFaceArgument(std::string(text), "@face");
  face.right = right;
  face.flip = flip;
  return face;
}

}  // namespace

FaceChoice SplitFaceArgument(const std::string& text, const std::string& what) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) return {text};
  const std::string number = text.substr(colon + 1);
  const std::size_t sign = !number.empty() && (number[0] == '-' || number[0] == '+') ? 1 : 0;
  const bool numeric = number.size() > sign && std::all_of(number.begin() + static_cast<std::ptrdiff_t>(sign), number.end(),
                                                           [](unsigned char c) { return std::isdigit(c); });
  if (!numeric) return {text};
  if (sign == 1 || number.size() > 9) {
    throw Exception(what + " needs a face number from 0 to 999999999 after the colon, not '" + number + "'");
  }
  return {text.substr(0, colon), std::stoi(number)};
}

std::vector<std::vector<std::string>> SplitBlocks(std::string_view text) {
  std::vector<std::vector<std::string>> blocks(1);
  for (std::string& line : SplitLines(text)) {
    if (line == kBatchSeparator) {
      blocks.emplace_back();
    } else {
      blocks.back().push_back(std::move(line));
    }
  }
  if (blocks.size() > 1 && blocks.back().empty()) blocks.pop_back();
  return blocks;
}

std::vector<WindowJob> BatchWindows(std::string_view text, const BatchFaces& faces) {
  std::optional<FaceChoice> face = faces.face;
  std::vector<WindowJob> windows;
  for (const std::vector<std::string>& block : SplitBlocks(text)) {
    auto first = block.begin();
    for (; first != block.end(); ++first) {
      const std::optional<std::string_view> argument = FaceLineArgument(*first);
      if (!argument) break;
      try {
        if (argument->empty()) throw Exception("@face needs FILE[:N] or none");
        if (SameIgnoringCase(*argument, "none")) {
          face.reset();
          continue;
        }
        face = ParseFaceLine(faces, *argument);
        // A Shift-JIS batch names its sheets in Shift-JIS; the file system takes UTF-8.
        if (!faces.utf8) face->file = sjis::ToUtf8(face->file);
      } catch (const Exception& e) {
        throw Exception("block " + std::to_string(windows.size() + 1) + ": " + e.what());
      }
      face->file = (faces.folder / face->file).string();
    }
    WindowJob window{{}, face};
    for (auto line = first; line != block.end(); ++line) {
      window.lines.push_back(faces.utf8 ? ToWindowText(*line, faces.letters) : *line);
    }
    windows.push_back(std::move(window));
  }
  return windows;
}

std::string NumberedName(const std::string& output, std::size_t number) {
  const std::filesystem::path path(output);
  char digits[24];
  std::snprintf(digits, sizeof digits, "-%03zu", number);
  std::filesystem::path numbered = path;
  numbered.replace_filename(path.stem().string() + digits + path.extension().string());
  return numbered.string();
}

std::string BlockContext(std::size_t index, const std::string& name) {
  return "block " + std::to_string(index + 1) + " (" + name + "): ";
}

std::vector<AnimationPage> AnimationPages(const std::vector<WindowJob>& windows, const FaceExtrasFor& extrasFor,
                                          const std::optional<std::string>& batchOutput) {
  std::vector<AnimationPage> pages;
  for (std::size_t i = 0; i < windows.size(); ++i) {
    try {
      pages.push_back({windows[i].lines, extrasFor(windows[i].face)});
    } catch (const std::exception& e) {
      if (!batchOutput) throw;
      throw Exception(BlockContext(i, *batchOutput) + UserMessage(e));
    }
  }
  return pages;
}

}  // namespace pw::io
