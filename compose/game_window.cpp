// The game's window layout: its geometry, how a text is split into windows, and the pictures
// and animation pages made of them.
#include "compose/game_window.h"

#include <algorithm>
#include <cstring>

#include "compose/animate.h"
#include "compose/extras.h"
#include "compose/steps.h"

namespace pw {

namespace {
constexpr const char* kPositionNames[] = {"top", "middle", "bottom"};
}  // namespace

const char* WindowPositionName(TWindowPosition position) { return kPositionNames[static_cast<int>(position)]; }

std::optional<TWindowPosition> ParseWindowPosition(std::string_view name) {
  for (int i = 0; i < 3; ++i)
    if (name == kPositionNames[i]) return static_cast<TWindowPosition>(i);
  return std::nullopt;
}

int WindowTop(TWindowPosition position) { return game_window::kHeight * static_cast<int>(position); }

int LineRoom(bool face, bool faceRight, bool option) {
  int room = game_window::kInnerWidth;
  if (face) room = faceRight ? game_window::kFaceRight : game_window::kInnerWidth - game_window::kTextBesideFace;
  return option ? room - game_window::kOptionIndent : room;
}

bool ChoiceSharesWindow(std::size_t messageLines, std::size_t options) {
  return messageLines + options <= static_cast<std::size_t>(game_window::kLines);
}

std::vector<GameWindowLines> SplitGameWindows(std::size_t lines, std::size_t optionsFrom) {
  const auto perWindow = static_cast<std::size_t>(game_window::kLines);
  const std::size_t message = std::min(lines, optionsFrom);
  const std::size_t options = lines - message;
  if (options > 0 && message > 0 && ChoiceSharesWindow(message, options)) return {{0, lines, message}};
  std::vector<GameWindowLines> windows;
  for (std::size_t first = 0; first < message; first += perWindow) {
    windows.push_back({first, std::min(perWindow, message - first), SIZE_MAX});
  }
  for (std::size_t first = 0; first < options; first += perWindow) {
    windows.push_back({message + first, std::min(perWindow, options - first), 0});
  }
  if (windows.empty()) windows.push_back({0, 0, SIZE_MAX});
  return windows;
}

namespace steps {
namespace {

// The lines of one window, with its options counted from its first line.
std::vector<std::string> LinesOf(const std::vector<std::string>& lines, const GameWindowLines& window) {
  const auto first = lines.begin() + static_cast<std::ptrdiff_t>(window.first);
  return std::vector<std::string>(first, first + static_cast<std::ptrdiff_t>(window.count));
}

WindowExtras ExtrasOf(WindowExtras extras, const GameWindowLines& window) {
  extras.layout.optionsFrom = window.optionsFrom;
  return extras;
}

// Pictures of one width, one below the other.
TBitmap Stacked(const std::vector<TBitmap>& pictures) {
  TBitmap result;
  result.SetPixelFormat(TPixelFormat::pf24bit);
  int height = 0;
  for (const TBitmap& p : pictures) height += p.GetHeight();
  const int width = pictures.front().GetWidth();
  result.SetSize(width, height);
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(width);
  int y = 0;
  for (const TBitmap& p : pictures) {
    for (int row = 0; row < p.GetHeight(); ++row, ++y) std::memcpy(result.ScanLine(y), p.ScanLine(row), rowBytes);
  }
  return result;
}

}  // namespace

std::optional<TBitmap> ComposeGameWindows(const ComposeInput& input, const WindowExtras& extras) {
  const std::vector<GameWindowLines> windows = SplitGameWindows(input.lines.size(), extras.layout.optionsFrom);
  if (windows.size() == 1) return ComposeWindowPart(input, extras, {0, 0}, SIZE_MAX);
  std::vector<TBitmap> pictures;
  ComposeInput part = input;
  for (const GameWindowLines& window : windows) {
    part.lines = LinesOf(input.lines, window);
    std::optional<TBitmap> picture = ComposeWindowPart(part, ExtrasOf(extras, window), {0, 0}, SIZE_MAX);
    if (!picture) return std::nullopt;
    pictures.push_back(std::move(*picture));
  }
  return Stacked(pictures);
}

bool NeedsGameWindows(const std::vector<AnimationPage>& pages) {
  return std::any_of(pages.begin(), pages.end(), [](const AnimationPage& page) {
    return page.extras.layout.on && SplitGameWindows(page.lines.size(), page.extras.layout.optionsFrom).size() > 1;
  });
}

std::vector<AnimationPage> GameWindowPages(const std::vector<AnimationPage>& pages) {
  std::vector<AnimationPage> out;
  for (const AnimationPage& page : pages) {
    if (!page.extras.layout.on) {
      out.push_back(page);
      continue;
    }
    for (const GameWindowLines& window : SplitGameWindows(page.lines.size(), page.extras.layout.optionsFrom)) {
      out.push_back({LinesOf(page.lines, window), ExtrasOf(page.extras, window)});
    }
  }
  return out;
}

TWindowBand WindowBand(const WindowExtras& extras, TColor trans, WindowSize size) {
  TWindowBand band{0, size.height, TRgbaImage(size.width, size.height)};
  if (!extras.layout.on) return band;
  band.height = game_window::kHeight;
  if (!extras.layout.screen) return band;
  band.top = WindowTop(extras.layout.position);
  for (std::size_t i = 0; i < band.closed.rgba.size(); i += 4) {
    band.closed.rgba[i] = GetRValue(trans);
    band.closed.rgba[i + 1] = GetGValue(trans);
    band.closed.rgba[i + 2] = GetBValue(trans);
    band.closed.rgba[i + 3] = 255;
  }
  return band;
}

}  // namespace steps
}  // namespace pw
