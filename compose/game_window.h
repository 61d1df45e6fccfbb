// The game's own message window: 320x80 pixels with a 304x64 inner area at (8, 8), text from
// inner (0, 2) in lines 16 pixels apart, at most four lines a window, a face at inner (8, 8) or
// (248, 8), and optionally the 320x240 screen it stands on. Glyphs, colours, shadows, the frame
// and the wallpaper are the composer's own; only the geometry is the game's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace pw {

namespace game_window {
inline constexpr int kWidth = 320;
inline constexpr int kHeight = 80;
inline constexpr int kInnerLeft = 8;
inline constexpr int kInnerTop = 8;
inline constexpr int kInnerWidth = 304;
inline constexpr int kInnerHeight = 64;
inline constexpr int kTextTop = 2;           // the first line's cell, from the inner area's top
inline constexpr int kLinePitch = 16;
inline constexpr int kLines = 4;             // lines a window holds
inline constexpr int kFaceTop = 8;           // a face's place in the inner area
inline constexpr int kFaceLeft = 8;
inline constexpr int kFaceRight = 248;
inline constexpr int kTextBesideFace = 72;   // where text starts in the inner area beside a left face
inline constexpr int kOptionIndent = 12;     // a choice's options start this much further right
inline constexpr int kScreenWidth = 320;
inline constexpr int kScreenHeight = 240;
}  // namespace game_window

// Where the game puts a window on its screen.
enum class TWindowPosition { kTop = 0, kMiddle = 1, kBottom = 2 };

// "top", "middle" or "bottom", and back.
const char* WindowPositionName(TWindowPosition position);
std::optional<TWindowPosition> ParseWindowPosition(std::string_view name);

// The game's layout of a window, as an extra of the composition (WindowExtras::layout).
struct GameLayout {
  bool on = false;
  bool screen = false;        // the window on its 320x240 screen, the rest the transparent colour
  TWindowPosition position = TWindowPosition::kBottom;
  bool transparent = false;   // no wallpaper and frame: the text (and face) on the transparent colour
  // Lines from this one on are the options of a choice, drawn kOptionIndent further right.
  std::size_t optionsFrom = SIZE_MAX;
};

// The top of a window at position on the screen: 0, 80 or 160.
int WindowTop(TWindowPosition position);

// The pixels a line has from where it starts to where the inner area ends or a face begins:
// 304, 232 beside a left face, 248 beside a right one; an option has kOptionIndent less.
int LineRoom(bool face, bool faceRight, bool option);

// True when a choice of `options` options shares the window of the message just before it,
// which has messageLines lines: when the two make at most four lines.
bool ChoiceSharesWindow(std::size_t messageLines, std::size_t options);

// The lines one window shows: lines [first, first + count), of which those from optionsFrom
// (counted in the window; SIZE_MAX none) are options.
struct GameWindowLines {
  std::size_t first = 0;
  std::size_t count = 0;
  std::size_t optionsFrom = SIZE_MAX;
  bool operator==(const GameWindowLines&) const = default;
};

// The windows `lines` lines take, of which those from optionsFrom are a choice's options: four
// lines a window, a longer text going on in the next. Options share the message's window when
// ChoiceSharesWindow says so, and start a window of their own otherwise. No lines make one
// empty window.
std::vector<GameWindowLines> SplitGameWindows(std::size_t lines, std::size_t optionsFrom);

}  // namespace pw
