// The batch text's reading as the command line and the page share it: blocks, "@face" lines
// and the numbered names.
#include "io/batch_text.h"

#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace pw::io {
namespace {

// A window as "lines|file:index:side:flip" ("-" for no face), to compare whole batches at once.
std::string Describe(const WindowJob& window) {
  std::string text;
  for (const std::string& line : window.lines) text += line + "/";
  text += "|";
  if (!window.face) return text + "-";
  const FaceChoice& f = *window.face;
  return text + f.file + ":" + std::to_string(f.index) + ":" + (f.right ? "R" : "L") + ":" + (f.flip ? "F" : "-");
}

struct BatchCase {
  const char* name;
  const char* text;
  BatchFaces faces;
  std::vector<std::string> windows;
};

TEST(BatchText, ReadsBlocksAndFaceLines) {
  const FaceChoice start{"start.png", 2, true, false};
  const BatchCase cases[] = {
      {"a separator at the end opens no block", "a\n---\nb\n---\n", {}, {"a/|-", "b/|-"}},
      {"an empty block between separators", "a\n---\n---\nb", {}, {"a/|-", "|-", "b/|-"}},
      {"sheet names stay as written without a folder", "@face faces.png:3\nHi\n---\nThere", {},
       {"Hi/|faces.png:3:L:-", "There/|faces.png:3:L:-"}},
      {"a folder goes before each sheet of a face line", "@face faces.png\nHi", {.folder = "talk"},
       {"Hi/|talk/faces.png:0:L:-"}},
      {"side and flip default as given, words override", "@face a.png\nx\n---\n@face b.png:1 left flip\ny",
       {.right = true, .flip = false}, {"x/|a.png:0:R:-", "y/|b.png:1:L:F"}},
      {"the first face carries until @face none", "x\n---\n@face none\ny", {.face = start},
       {"x/|start.png:2:R:-", "y/|-"}},
      {"face lines count only at the start of a block", "x\n@face a.png", {}, {"x/@face a.png/|-"}},
      {"@face must stand as a word", "@facepalm\nx", {}, {"@facepalm/x/|-"}},
      {"an empty text is one empty window", "", {}, {"|-"}},
      // "\x8A\xE7" is 顔 in Shift-JIS: the sheet's name comes back in UTF-8; a UTF-8 text's as it is.
      {"a Shift-JIS text names its sheets in Shift-JIS", "@face \x8A\xE7.png:2\nx", {.utf8 = false},
       {"x/|\xE9\xA1\x94.png:2:L:-"}},
      {"a UTF-8 text names them in UTF-8", "@face \xE9\xA1\x94.png\nx", {}, {"x/|\xE9\xA1\x94.png:0:L:-"}},
  };
  for (const BatchCase& c : cases) {
    std::vector<std::string> got;
    for (const WindowJob& window : BatchWindows(c.text, c.faces)) got.push_back(Describe(window));
    EXPECT_EQ(got, c.windows) << c.name;
  }
}

// The pages of an animation: a face that fails names its block in a batch, and stands alone
// for one window; memory that runs out is told as a sentence.
TEST(BatchText, AnimationPagesNameTheBlockOfAFailure) {
  const std::vector<WindowJob> windows = {{{"a"}, std::nullopt}, {{"b"}, FaceChoice{"f.png"}}};
  struct Case {
    const char* name;
    std::exception_ptr failure;
    std::optional<std::string> batch;
    std::string message;
  };
  const Case cases[] = {
      {"a batch", std::make_exception_ptr(Exception("no sheet")), "talk.gif", "block 2 (talk.gif): no sheet"},
      {"a batch out of memory", std::make_exception_ptr(std::bad_alloc()), "talk.gif",
       "block 2 (talk.gif): There is not enough memory to finish this; nothing was changed."},
      {"one window", std::make_exception_ptr(Exception("no sheet")), std::nullopt, "no sheet"},
  };
  for (const Case& c : cases) {
    const auto extrasFor = [&](const std::optional<FaceChoice>& face) {
      if (face) std::rethrow_exception(c.failure);
      return WindowExtras{};
    };
    try {
      AnimationPages(windows, extrasFor, c.batch);
      ADD_FAILURE() << c.name;
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.name;
    }
  }
}

TEST(BatchText, NumbersNamesFromTheOutput) {
  EXPECT_EQ(NumberedName("window.png", 1), "window-001.png");
  EXPECT_EQ(NumberedName("out/win.bmp", 1234), "out/win-1234.bmp");
  EXPECT_EQ(BlockContext(2, "window-003.png"), "block 3 (window-003.png): ");
}

}  // namespace
}  // namespace pw::io
