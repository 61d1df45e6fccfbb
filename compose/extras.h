// Message-window extras beyond the classic composer: a face graphic beside the text, the pause
// arrow on the bottom edge, and text written with a game's message codes. They sit beside the
// exact composer: with none of them in use, ComposeWindow(input, extras) is ComposeWindow(input).
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compose/compose.h"
#include "compose/game_window.h"
#include "compose/layout.h"
#include "toolkit/bitmap.h"

namespace pw {

namespace face {
inline constexpr int kSize = 48;      // a face cell is 48x48
inline constexpr int kPerRow = 4;     // cells are numbered row by row from the top-left
inline constexpr int kGap = 8;        // between the frame's inside and the face, and face and text
inline constexpr int kShift = kSize + kGap;     // how much the text and the window move or grow
inline constexpr int kMinHeight = 64;           // window height with a face, before the margins

// True when cell index lies wholly inside a sheet of the given size.
bool HasCell(int sheetWidth, int sheetHeight, int index);
// Every cell a sheet of the given size holds wholly, row by row.
std::vector<int> Cells(int sheetWidth, int sheetHeight);
// Where cell index (0 or more) lies on its sheet.
TSkinRegion CellRegion(int index);
}  // namespace face

// n of \N[n] and \V[n]: up to nine digits.
inline constexpr int kMaxCodeNumber = 999999999;

// "N=TEXT", as names and values are given: N a whole number from 0 to kMaxCodeNumber, TEXT the
// rest after the first "="; nullopt for anything else.
std::optional<std::pair<int, std::string>> ParseNumberedText(std::string_view line);

// Names and values that \N[n] and \V[n] stand for, as Shift-JIS text shown literally.
struct GameCodeValues {
  std::map<int, std::string> names;
  std::map<int, std::string> values;
  // What stands for a number with nothing given; none makes that an error.
  std::optional<std::string> otherNames;
  std::optional<std::string> otherValues;
};

struct WindowExtras {
  const TBitmap* faceSheet = nullptr;  // null: no face
  // 255 minus alpha per pixel of the sheet (8-bit grey, as the PNG reader gives it); null or
  // empty when the sheet has no alpha.
  const TBitmap* faceAlpha = nullptr;
  std::string faceSheetName;           // named in errors about the sheet
  int faceIndex = 0;                   // the cell, row by row from 0
  bool faceRight = false;              // the face beside the right edge instead of the left
  bool faceFlip = false;               // the face mirrored left to right
  bool pauseArrow = false;             // the skin's down arrow centred on the bottom edge
  bool gameCodes = false;              // read the text as a game's message text first
  GameCodeValues gameValues;
  GameLayout layout;                   // the game's own window instead of one sized to the text

  // True when any extra changes the window.
  bool InUse() const { return faceSheet != nullptr || pauseArrow || gameCodes || layout.on; }
};

// One line of a game's message text with its codes acted on, as markup text for ParseMarkupLine.
// The line is split where a \_ stood (each \_ advances the text by 3 pixels), so a line without
// one is a single piece. Codes are case-insensitive; "\\" stays a pair for the markup to turn
// into one backslash; \S[n], \!, \., \|, \^, \>, \<, \$ vanish; \N[n] and \V[n] become the name
// or value given for n, shown literally. Raises EComposeError for \N[n] or \V[n] with nothing
// given for n. Every other character, \C[n] and the $ codes included, passes through unchanged.
std::vector<std::string> ApplyGameCodes(std::string_view line, const GameCodeValues& values);

// The width one line of a game's message text takes as the composer draws it: its codes acted
// on, \_ advances included.
int GameLineWidth(std::string_view line, const GameCodeValues& values, const TTextRasterizer& font);

// Composes the window with the extras. With a face the window is 56 pixels wider and at least
// 64 + 2 x margin high; the face lies at (margin + 8, margin + 8) and the text moves 56 pixels
// right, or, on the right, at (W - margin - 56, margin + 8). A face is masked by its own sheet's
// transparency, as the game keys it: pixels with alpha below 128, else of the sheet's
// transparent colour (a PNG's tRNS), else of palette index 0 of a palette sheet; a direct-colour
// sheet without alpha has none. The arrow is masked by the transparent colour like the frame.
// Raises EComposeError for a face cell outside its sheet, and whatever ComposeWindow(input) raises.
// With the game's layout the window is 320x80 (on a 320x240 screen with layout.screen) whatever
// the text; the face lies at (16, 16) or (256, 16), text beside a left face starts at x 80, and
// text is cut off where the inner area ends. A text of more than four lines is shown in as many
// windows as it needs (see SplitGameWindows), one below the other in one picture. The game's
// layout takes no margin or line gap (EComposeError otherwise).
std::optional<TBitmap> ComposeWindow(const ComposeInput& input, const WindowExtras& extras);

// Refuses, as the composition would and before the text is read whole, a window larger than the
// picture readers accept (EComposeError): the height follows from the number of lines, and the
// lines are measured one at a time (lineAt(i) gives line i as window text, or nothing to stop
// looking) until one is wide enough to take the window past the limit. So a text far too large
// is refused at its first wide line; input.lines is not read.
void RequireWindowFits(std::size_t lineCount, const std::function<std::optional<std::string>(std::size_t)>& lineAt,
                       const ComposeInput& input, const WindowExtras& extras);

}  // namespace pw
