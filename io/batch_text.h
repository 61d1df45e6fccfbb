// The text of a batch: blocks separated by lines holding only "---", "@face" lines that choose
// each block's face, and the numbered names of the windows. Shared by panelwright-cli compose
// --batch and the web page's dialogues, so that both read one text the same way.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compose/animate.h"
#include "compose/extras.h"
#include "toolkit/letters.h"

namespace pw::io {

// A face: the sheet's file, the cell, and how it is placed.
struct FaceChoice {
  std::string file;
  int index = 0;
  bool right = false;
  bool flip = false;
};

// "FILE:N" gives cell N of FILE; without a number after the last colon, the whole is the file
// and the cell is 0. A signed or over-long number there is refused as a face number (an
// Exception); what names the option or line in the message.
FaceChoice SplitFaceArgument(const std::string& text, const std::string& what);

// Blocks of lines separated by lines holding only "---"; a separator at the very end does not
// open another block.
std::vector<std::vector<std::string>> SplitBlocks(std::string_view text);

// One window of a run: its lines and the face drawn beside them.
struct WindowJob {
  std::vector<std::string> lines;
  std::optional<FaceChoice> face;
};

// What a batch's "@face" lines start from: the face of the first blocks, the side and flip that
// hold when a line does not say, the folder that sheet files are relative to, and whether the
// text is UTF-8 or else Shift-JIS (code page 932) as it was read; the sheets' file names are
// given back in UTF-8 either way.
struct BatchFaces {
  std::optional<FaceChoice> face;
  bool right = false;
  bool flip = false;
  bool utf8 = true;
  std::filesystem::path folder;
  TLetters letters = TLetters::Japanese;  // the letters UTF-8 window lines are drawn in
};

// The windows of a batch text in its own encoding (UTF-8 when faces.utf8). "@face FILE[:N]
// [right|left] [flip]" and "@face none" lines at the start of a block (the word in any case,
// blanks trimmed) set the face of that block and the blocks after it; they are read as written
// (FILE decoded from Shift-JIS in a Shift-JIS text), and only window lines are converted to
// Shift-JIS. A bad line fails with "block N: ...".
std::vector<WindowJob> BatchWindows(std::string_view text, const BatchFaces& faces);

// win.bmp and 7 give win-007.bmp.
std::string NumberedName(const std::string& output, std::size_t number);

// "block 3 (win-003.bmp): ", which starts the message of a block that failed.
std::string BlockContext(std::size_t index, const std::string& name);

// The extras a window is composed with for its face (none: the common extras); raises when the
// face's sheet cannot be used.
using FaceExtrasFor = std::function<WindowExtras(const std::optional<FaceChoice>&)>;

// The pages of one animation of the windows, a page each, typed one after the other. For a
// batch, output names the animation's file, and a window whose face fails fails the whole with
// its block's context ("block 2 (OUT.gif): ..."); for one window the face's message stands alone.
std::vector<AnimationPage> AnimationPages(const std::vector<WindowJob>& windows, const FaceExtrasFor& extrasFor,
                                          const std::optional<std::string>& batchOutput);

}  // namespace pw::io
