#include "cli/batch_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

#include "compose/markup.h"
#include "toolkit/sjis.h"

namespace pw::cli {
namespace {

constexpr std::string_view kBatchSeparator = "---";
constexpr std::string_view kFaceLine = "@face ";

// "@face" words after FILE[:N]: "right" or "left" sets the side, "flip" mirrors the face; the
// defaults hold otherwise.
FaceChoice ParseFaceLine(const BatchFaces& faces, std::string text) {
  bool right = faces.right;
  bool flip = faces.flip;
  for (bool more = true; more;) {
    more = false;
    for (const std::string_view word : {" right", " left", " flip"}) {
      if (!text.ends_with(word)) continue;
      text.resize(text.size() - word.size());
      if (word == " flip") flip = true;
      else right = word == " right";
      more = true;
    }
  }
  FaceChoice face = SplitFaceArgument(faces.utf8 ? sjis::ToUtf8(text) : text);
  face.right = right;
  face.flip = flip;
  return face;
}

}  // namespace

FaceChoice SplitFaceArgument(const std::string& text) {
  const auto colon = text.rfind(':');
  if (colon != std::string::npos) {
    const std::string number = text.substr(colon + 1);
    if (!number.empty() && number.size() <= 9 &&
        std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); })) {
      return {text.substr(0, colon), std::stoi(number)};
    }
  }
  return {text};
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
  for (std::vector<std::string>& block : SplitBlocks(text)) {
    auto first = block.begin();
    for (; first != block.end() && first->starts_with(kFaceLine); ++first) {
      const std::string argument = first->substr(kFaceLine.size());
      if (argument == "none") {
        face.reset();
        continue;
      }
      face = ParseFaceLine(faces, argument);
      face->file = (faces.folder / face->file).string();
    }
    windows.push_back({std::vector<std::string>(std::make_move_iterator(first), std::make_move_iterator(block.end())),
                       face});
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

}  // namespace pw::cli
