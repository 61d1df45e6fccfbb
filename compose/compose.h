// The window composer: turns window text, the options and the system graphic into the finished
// message-window picture (wallpaper, frame, coloured text with its shadow) as a 24-bit bitmap.
// No GUI dependency; the window program and the command line call it alike.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compose/errors.h"
#include "compose/layout.h"  // TColourImage: a prepared system graphic
#include "compose/markup.h"  // SplitLines: memo text into window lines
#include "toolkit/bitmap.h"
#include "toolkit/color.h"
#include "toolkit/font.h"

namespace pw {

// Text rasterisers by face name, kept by the caller from one composition to the next so that
// each glyph is rasterised once. Not thread-safe.
class TFontCache {
 public:
  const TTextRasterizer& Get(const std::string& faceName);

 private:
  std::map<std::string, TTextRasterizer> fonts_;
};

// The largest margin (padRound) and line gap (padLine) the composer takes.
constexpr int kMaxPadRound = 160;
constexpr int kMaxPadLine = 320;

// The largest face sheet or user glyph sheet taken, in either direction.
inline constexpr int kMaxSheetSide = 4096;

// Raises EComposeError naming the file and the limit when a sheet (what: "face sheet", "user
// glyph sheet") of the given size is larger than kMaxSheetSide either way. Callers check the
// size a file's header claims before decoding its pixels.
void RequireSheetSize(int width, int height, const std::string& what, const std::string& name);

// Raises EComposeError saying that the file holds no image when a picture read from it is empty
// (a file cut short after its header reads so).
void RequireImage(const TGraphic& picture, const std::string& name);

struct ComposeInput {
  const TBitmap* systemGraphic = nullptr;  // the 160x80 skin; null means none loaded
  TColor transColor = clBlack;
  std::vector<std::string> lines;          // window lines as Shift-JIS bytes
  std::string fontFace = "RMG2000";        // "RMG2000" or "RM2000"
  int wallMode = 0;                        // 0 stretch ("Enlarge to Display"), 1 tile
  int padRound = 0;                        // 0..kMaxPadRound
  int padLine = 0;                         // 0..kMaxPadLine
  const TBitmap* gaizi = nullptr;          // built-in glyph sheet (156x48)
  const TBitmap* myGaizi = nullptr;        // user glyph sheet, may be empty (0x0) or null
  TFontCache* fonts = nullptr;             // glyph cache to use; null composes with a fresh one
  // The system graphic as PrepareSkin made it, for composing one skin many times without
  // converting it each time; null converts systemGraphic. systemGraphic must still be set.
  const TColourImage* preparedSkin = nullptr;
};

// The system graphic's pixels as the composer reads them, for ComposeInput::preparedSkin.
// Raises EComposeError for a graphic that is not 160x80.
TColourImage PrepareSkin(const TBitmap& systemGraphic);

struct WindowSize {
  int width;
  int height;
};

// Composes the window; std::nullopt when no system graphic is loaded. The result is a 24-bit
// TBitmap. Raises EComposeError for a margin or line gap out of range, a system graphic that is
// not 160x80, a window without height (no lines and a line gap of 16 + 2 x margin or more) or
// one of more pixels than the picture readers accept (kMaxBitmapPixels, before it is drawn),
// and the DIB image's range error when a frame piece or text pixel falls outside the window.
// Nothing is returned on failure.
std::optional<TBitmap> ComposeWindow(const ComposeInput& input);

// The window size the input gives, without composing: W = widest line + 2 x margin + 16,
// H = 16 (n + 1) + line gap (n - 1) + 2 x margin. H may be 0 or less, which ComposeWindow refuses.
WindowSize MeasureWindow(const ComposeInput& input);

}  // namespace pw
