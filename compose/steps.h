// The steps of one composition, in the order ComposeWindow runs them. Internal to compose/:
// the window extras (extras.cpp) run the same steps and add theirs between them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/compose.h"
#include "compose/game_window.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "toolkit/animation.h"

namespace pw {
struct WindowExtras;
struct GameCodeValues;
struct AnimationPage;
}

namespace pw::steps {

// The parsed lines of a window and the width of the widest.
struct ParsedText {
  std::vector<ParsedLine> lines;
  // Extra advance in pixels before each character of a line, and after its last one; empty for
  // plain text, where characters advance by 6 and 12 only.
  std::vector<std::vector<int>> gaps;
  int maxWidth = 0;

  int GapBefore(std::size_t line, std::size_t k) const { return gaps.empty() ? 0 : gaps[line][k]; }
};

// Refuses a margin or line gap out of range.
void CheckRanges(const ComposeInput& input);

// The system graphic's pixels; refuses a graphic that is not 160x80.
TColourImage ReadSkin(const TBitmap& system);

// The input's prepared skin, or the system graphic read into storage.
const TColourImage& SkinOf(const ComposeInput& input, std::optional<TColourImage>& storage);

// The rasteriser of the input's face: from the caller's cache, or made here into local.
const TTextRasterizer& FontFor(const ComposeInput& input, std::optional<TTextRasterizer>& local);

// Parses every line with one colour carried from line to line, and measures the widest.
ParsedText ParseAndMeasure(const std::vector<std::string>& lines, const TTextRasterizer& font);

// Parses game message text: each line through the game-code pass, then its pieces through the
// markup with one colour carried on, the \_ advances kept as gaps before characters.
ParsedText ParseGameText(const std::vector<std::string>& lines, const GameCodeValues& values,
                         const TTextRasterizer& font);

// W = widest line + 2 x margin + 16, H = 16 (n + 1) + line gap (n - 1) + 2 x margin.
WindowSize SizeOf(int maxWidth, std::size_t lineCount, const ComposeInput& input);

// Refuses a window without height.
void CheckHeight(WindowSize size, const ComposeInput& input);

// Writes colour values into a 24-bit DIB through its row memory. A position outside the image
// goes through SetPixels, which raises the image's range error, unless the writer is clipped.
class TWindowWriter {
 public:
  explicit TWindowWriter(TQvDIB& dib);

  // Row y of the window, which must lie inside.
  std::uint8_t* Row(int y) { return rows_[static_cast<std::size_t>(y)]; }

  // From now on pixels outside [left, right) x [top, bottom), which lies inside the image, are
  // dropped.
  void ClipTo(int left, int top, int right, int bottom) {
    left_ = left, top_ = top, right_ = right, bottom_ = bottom;
    clipped_ = true;
  }

  void Put(int x, int y, TColor c) {
    if (x < left_ || y < top_ || x >= right_ || y >= bottom_) {
      if (!clipped_) dib_.SetPixels(x, y, c);
      return;
    }
    std::uint8_t* p = rows_[static_cast<std::size_t>(y)] + 3 * static_cast<std::size_t>(x);
    p[0] = GetBValue(c);
    p[1] = GetGValue(c);
    p[2] = GetRValue(c);
  }

 private:
  TQvDIB& dib_;
  int width_;
  int height_;
  std::vector<std::uint8_t*> rows_;
  int left_ = 0;
  int top_ = 0;
  int right_;
  int bottom_;
  bool clipped_ = false;
};

// Refuses a window of width x height pixels (at least so many) when it is larger than the
// picture readers accept, before anything is drawn.
void RequireWindowFits(std::int64_t width, std::int64_t height);

// A blank 24-bit window image of the given size; refused as RequireWindowFits refuses.
void MakeWindowImage(TQvDIB& window, WindowSize size);

// Paints the wallpaper over the whole window, stretched (wallMode 0) or tiled; never masked.
void PaintWallpaper(const TColourImage& skin, WindowSize size, int wallMode, TWindowWriter& window);

// Copies the eight frame passes onto the window; pixels of the transparent colour are skipped.
void DrawFrame(const TColourImage& skin, TColor trans, WindowSize size, TWindowWriter& window);

// Rows [first, last) of a window; empty when first >= last.
struct TRowSpan {
  int first = 0;
  int last = 0;
  bool Empty() const { return first >= last; }
  void Add(int from, int to) {
    if (Empty()) *this = {from, to};
    else *this = {std::min(first, from), std::max(last, to)};
  }
};

// How far a character moves the text on: its drawn advance in pixels.
int Advance(const std::string& character, const TTextRasterizer& font);

// Draws the first `limit` characters (all lines counted in order) with their colour and shadow,
// the text origin moved shift pixels right; the characters before `first` are only measured, as
// when they are drawn already. Returns the rows drawn on.
TRowSpan DrawText(const ParsedText& text, const ComposeInput& input, int shift, const TColourImage& skin,
                  const TTextRasterizer& font, TWindowWriter& window, std::size_t limit = SIZE_MAX,
                  std::size_t first = 0);

// One row of blue-green-red pixels as opaque red-green-blue-alpha ones.
void BgrRowToRgba(const std::uint8_t* bgr, int width, std::uint8_t* rgba);

// The window image as the 24-bit result bitmap.
TBitmap ToResult(const TQvDIB& window);

struct FaceImage;  // a face cell read for drawing (page_window.cpp)

// One window of a page, prepared for drawing it many times with more and more of its text: the
// skin, face and parsed text are read once, and the background (wallpaper, frame and face) is
// painted once; each window is then the one before with the newly shown characters drawn over
// it, or the background again with the text and the arrow when less is shown.
// Holds references to the input, which must outlive it. Neither copied nor moved: it may point
// into itself.
class TPageWindow {
 public:
  // Reads and measures; raises what a composition raises, in the same order.
  TPageWindow(const ComposeInput& input, const WindowExtras& extras);
  ~TPageWindow();
  TPageWindow(const TPageWindow&) = delete;
  TPageWindow& operator=(const TPageWindow&) = delete;

  // The picture's size: the text's, or at least atLeast once painted; with the game's layout the
  // game's window or screen.
  WindowSize Size() const;
  // Paints the background at the text's size grown to at least atLeast (the game's layout keeps
  // its own size).
  void Paint(WindowSize atLeast);
  // The painted window with its first `shown` characters and, if arrow, the pause arrow.
  TBitmap Window(std::size_t shown, bool arrow);
  TRgbaImage Rgba(std::size_t shown, bool arrow);
  // The same as RGBA kept here (valid until the next call); changed gets the rows in which it
  // may differ from what the call before gave (all rows after Paint).
  const TRgbaImage& RgbaView(std::size_t shown, bool arrow, TRowSpan& changed);
  // Frees the painted window's memory; drawing again needs Paint again.
  void Release();

 private:
  // Draws into scratch_: the background, the text and the arrow.
  void Draw(std::size_t shown, bool arrow);
  // Puts back the rows the arrow was drawn over.
  void RemoveArrow(TWindowWriter& writer);
  // The game's layout: its fixed size, and the options' indent.
  void TakeGameLayout(const GameLayout& layout);
  void PaintBackground(TWindowWriter& writer);
  int TextShift() const;

  const ComposeInput& input_;
  std::optional<TColourImage> readSkin_;
  const TColourImage* skin_ = nullptr;
  std::unique_ptr<FaceImage> face_;
  std::optional<TTextRasterizer> localFont_;
  const TTextRasterizer* font_ = nullptr;
  ParsedText text_;
  WindowSize size_{0, 0};
  bool faceRight_ = false;
  bool faceFlip_ = false;
  bool painted_ = false;
  std::vector<std::uint8_t> background_;  // blue-green-red rows, top first
  std::optional<TQvDIB> scratch_;         // each window is drawn here, over the one before
  std::size_t characters_ = 0;            // in all lines of text_
  std::size_t drawn_ = 0;                 // characters drawn in scratch_
  bool arrowDrawn_ = false;               // the arrow is drawn in scratch_
  std::vector<std::uint8_t> underArrow_;  // the rows of scratch_ the arrow was drawn over
  TRowSpan dirty_;                        // rows of scratch_ that rgba_ does not show yet
  TRgbaImage rgba_;                       // the last window as RGBA
  GameLayout layout_;                     // the game's layout, when on
  int screenTop_ = 0;                     // the window's top on its screen
  std::optional<TQvDIB> screen_;          // the screen the window stands on, with layout_.screen
};

// The window with the extras, at least atLeast in size (the frame and wallpaper filling what the
// text does not need) and with only its first `shown` characters drawn.
std::optional<TBitmap> ComposeWindowPart(const ComposeInput& input, const WindowExtras& extras, WindowSize atLeast,
                                         std::size_t shown);

// --- The game's layout (game_window.cpp) ---

// The windows of the game's layout that the text takes, one below the other in one picture.
std::optional<TBitmap> ComposeGameWindows(const ComposeInput& input, const WindowExtras& extras);

// Pages of an animation in the game's layout, each split into the windows its lines take; the
// pages as they are when none needs more than one window.
bool NeedsGameWindows(const std::vector<AnimationPage>& pages);
std::vector<AnimationPage> GameWindowPages(const std::vector<AnimationPage>& pages);

// The rows of an animation's picture that its window takes, and what a frame shows where the
// opening window is not yet: nothing, or on the game's screen its transparent colour.
struct TWindowBand {
  int top = 0;
  int height = 0;
  TRgbaImage closed;
};
TWindowBand WindowBand(const WindowExtras& extras, TColor trans, WindowSize size);

}  // namespace pw::steps
