#include "compose/compose.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "compose/steps.h"
#include "toolkit/sjis.h"

namespace pw {
namespace {

constexpr int kFramePiece = 8;     // corners are 8x8, edges 8 thick
constexpr int kEdgePeriod = 16;    // edges repeat every 16 pixels
constexpr int kLinePitch = 16;     // rows per text line before the line gap
constexpr int kTextLeft = 8;       // text origin inside the margin
constexpr int kTextTop = 10;
constexpr int kHalfAdvance = 6;
constexpr int kFullAdvance = 12;

}  // namespace

namespace steps {

void CheckRanges(const ComposeInput& input) {
  if (input.padRound < 0 || input.padRound > kMaxPadRound) {
    throw EComposeError(FormatMessage(compose_msg::kMarginRange, {std::to_string(input.padRound)}));
  }
  if (input.padLine < 0 || input.padLine > kMaxPadLine) {
    throw EComposeError(FormatMessage(compose_msg::kLineGapRange, {std::to_string(input.padLine)}));
  }
}

TColourImage ReadSkin(const TBitmap& system) {
  if (system.GetWidth() != skin::kWidth || system.GetHeight() != skin::kHeight) {
    throw EComposeError(FormatMessage(compose_msg::kSystemGraphicSize,
                                      {std::to_string(system.GetWidth()), std::to_string(system.GetHeight())}));
  }
  return TColourImage::FromGraphic(system);
}

const TColourImage& SkinOf(const ComposeInput& input, std::optional<TColourImage>& storage) {
  if (input.preparedSkin != nullptr) return *input.preparedSkin;
  return storage.emplace(ReadSkin(*input.systemGraphic));
}

ParsedText ParseAndMeasure(const std::vector<std::string>& lines, const TTextRasterizer& font) {
  ParsedText text;
  text.lines.reserve(lines.size());
  int colour = 0;
  for (const std::string& line : lines) {
    text.lines.push_back(ParseMarkupLine(line, colour));
    text.maxWidth = std::max(text.maxWidth, font.MeasureText(text.lines.back().DisplayText));
  }
  return text;
}

WindowSize SizeOf(int maxWidth, std::size_t lineCount, const ComposeInput& input) {
  const auto n = static_cast<long long>(lineCount);
  const long long width = static_cast<long long>(maxWidth) + 2 * input.padRound + 2 * kFramePiece;
  const long long height = kLinePitch * (n + 1) + input.padLine * (n - 1) + 2LL * input.padRound;
  // No picture of such a size could be read.
  if (width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max()) RequireWindowFits(width, height);
  return {static_cast<int>(width), static_cast<int>(height)};
}

void CheckHeight(WindowSize size, const ComposeInput& input) {
  if (size.height <= 0) {
    throw EComposeError(FormatMessage(compose_msg::kNoHeight, {std::to_string(input.padLine),
                                                               std::to_string(input.padRound),
                                                               std::to_string(size.height)}));
  }
}

const TTextRasterizer& FontFor(const ComposeInput& input, std::optional<TTextRasterizer>& local) {
  if (input.fonts != nullptr) return input.fonts->Get(input.fontFace);
  return local.emplace(input.fontFace);
}

TWindowWriter::TWindowWriter(TQvDIB& dib)
    : dib_(dib), width_(dib.GetWidth()), height_(dib.GetHeight()), right_(width_), bottom_(height_) {
  TQvDIBInfos& infos = dib.InternalForWrite().DIBInfos;
  rows_.reserve(static_cast<std::size_t>(height_));
  for (int y = 0; y < height_; ++y) rows_.push_back(infos.Row(y));
}

void RequireWindowFits(std::int64_t width, std::int64_t height) {
  if (PictureFits(width, height)) return;
  throw EComposeError(FormatMessage(compose_msg::kWindowTooLarge, {std::to_string(width), std::to_string(height),
                                                                   std::to_string(kMaxBitmapPixels)}));
}

void MakeWindowImage(TQvDIB& window, WindowSize size) {
  RequireWindowFits(size.width, size.height);
  window.InternalForWrite().CreateDIB(size.width, size.height, 0, 24);
  Assert(window.GetPixelFormat() == qvPf24Bit, "ComposeWindow: Window Image Should Have 24 Bits");
}

// Paints the wallpaper over the whole window: the 32x32 tile stretched (nearest neighbour:
// window pixel d of a side of n pixels takes tile pixel floor(d * 32 / n)) or repeated with
// period 32. Never masked.
void PaintWallpaper(const TColourImage& skin, WindowSize size, int wallMode, TWindowWriter& window) {
  const int tile = skin::kWallpaper.width;
  const auto source = [&](int d, int n) {
    return wallMode == 0 ? static_cast<int>(static_cast<long long>(d) * tile / n) : d % tile;
  };
  std::vector<int> sourceX(static_cast<std::size_t>(size.width));
  for (int x = 0; x < size.width; ++x) sourceX[static_cast<std::size_t>(x)] = source(x, size.width);
  // Every window row is one of at most 32 distinct rows: build each once from its tile row's
  // 32 pixels, then copy it.
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size.width);
  std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(tile));
  std::vector<char> built(static_cast<std::size_t>(tile), 0);
  std::vector<std::uint8_t> tileRow(3 * static_cast<std::size_t>(tile));
  for (int y = 0; y < size.height; ++y) {
    const int ty = source(y, size.height);
    std::uint8_t* cached = rows.data() + rowBytes * static_cast<std::size_t>(ty);
    if (!built[static_cast<std::size_t>(ty)]) {
      built[static_cast<std::size_t>(ty)] = 1;
      for (int tx = 0; tx < tile; ++tx) {
        const TColor c = skin.At(skin::kWallpaper.x + tx, skin::kWallpaper.y + ty);
        tileRow[3 * static_cast<std::size_t>(tx)] = GetBValue(c);
        tileRow[3 * static_cast<std::size_t>(tx) + 1] = GetGValue(c);
        tileRow[3 * static_cast<std::size_t>(tx) + 2] = GetRValue(c);
      }
      std::uint8_t* out = cached;
      for (const int sx : sourceX) {
        const std::uint8_t* pixel = tileRow.data() + 3 * static_cast<std::size_t>(sx);
        *out++ = pixel[0];
        *out++ = pixel[1];
        *out++ = pixel[2];
      }
    }
    std::memcpy(window.Row(y), cached, rowBytes);
  }
}

namespace {

// How one axis of a frame pass maps window coordinates first..last to the system graphic:
// in phase with the window (base + v mod period) for edges, or from the pass's anchor
// (base + v - anchor) for corners and the edges' thickness.
struct AxisMap {
  int first;
  int last;
  int base;
  int period;  // 0: offset from anchor
  int anchor;
  int Source(int v) const { return base + (period != 0 ? v % period : v - anchor); }
};

struct FramePass {
  AxisMap x;
  AxisMap y;
};

// The eight passes in drawing order: edges, then corners. The bottom-left corner starts one row
// higher, taking the left edge piece's last row (y 23) over what the left edge drew there.
std::array<FramePass, 8> FramePasses(WindowSize size) {
  const int w = size.width;
  const int h = size.height;
  const int p = kFramePiece;
  const AxisMap leftColumns{0, p - 1, skin::kTopLeftCorner.x, 0, 0};
  const AxisMap rightColumns{w - p, w - 1, skin::kTopRightCorner.x, 0, w - p};
  const AxisMap edgeColumns{p, w - p - 1, skin::kTopEdge.x, kEdgePeriod, 0};
  const AxisMap topRows{0, p - 1, skin::kTopEdge.y, 0, 0};
  const AxisMap bottomRows{h - p, h - 1, skin::kBottomEdge.y, 0, h - p};
  const AxisMap edgeRows{p, h - p - 1, skin::kLeftEdge.y, kEdgePeriod, 0};
  const AxisMap bottomLeftRows{h - p - 1, h - 1, skin::kBottomLeftCorner.y, 0, h - p};
  return {{
      {edgeColumns, topRows},         // top edge
      {leftColumns, edgeRows},        // left edge
      {rightColumns, edgeRows},       // right edge
      {edgeColumns, bottomRows},      // bottom edge
      {leftColumns, topRows},         // top-left corner
      {rightColumns, topRows},        // top-right corner
      {leftColumns, bottomLeftRows},  // bottom-left corner, nine rows
      {rightColumns, bottomRows},     // bottom-right corner
  }};
}

}  // namespace

// Copies each frame pass onto the window; pixels of the transparent colour are skipped.
void DrawFrame(const TColourImage& skin, TColor trans, WindowSize size, TWindowWriter& window) {
  for (const FramePass& pass : FramePasses(size)) {
    for (int y = pass.y.first; y <= pass.y.last; ++y) {
      const int sy = pass.y.Source(y);
      for (int x = pass.x.first; x <= pass.x.last; ++x) {
        const TColor c = skin.At(pass.x.Source(x), sy);
        if (c != trans) window.Put(x, y, c);
      }
    }
  }
}

namespace {

// The glyph sheets, read on the first glyph a composition draws.
class TLazySheets {
 public:
  TLazySheets(const TBitmap* builtIn, const TBitmap* user) : builtIn_(builtIn), user_(user) {}
  const TGlyphSheets& Get() {
    if (!sheets_) {
      sheets_.emplace();
      if (builtIn_ != nullptr) sheets_->builtIn = TColourImage::FromGraphic(*builtIn_);
      if (user_ != nullptr) sheets_->user = TColourImage::FromGraphic(*user_);
    }
    return *sheets_;
  }

 private:
  const TBitmap* builtIn_;
  const TBitmap* user_;
  std::optional<TGlyphSheets> sheets_;
};

}  // namespace

// Shift-JIS characters step by their byte count, as ever; others by their glyph's width.
int Advance(const std::string& character, const TTextRasterizer& font) {
  const bool extension = sjis::ExtensionAt(character, 0).has_value();
  return extension ? font.CharAdvance(character) : character.size() >= 2 ? kFullAdvance : kHalfAdvance;
}

// Draws every character in its 12x12 cell: black ink takes the swatch colour pixel by pixel,
// with the shadow one pixel down and right unless the shadow colour is the transparent one.
// Pixels whose swatch colour is the transparent colour are not drawn.
TRowSpan DrawText(const ParsedText& text, const ComposeInput& input, int shift, const TColourImage& skin,
                  const TTextRasterizer& font, TWindowWriter& window, std::size_t limit, std::size_t first) {
  const TColor trans = input.transColor;
  // Ink is exactly black, so the cell's background must not be: a black transparent colour
  // would otherwise make every cell solid ink.
  const TColor background = trans == clBlack ? clWhite : trans;
  const TColor shadow = skin.At(skin::kShadowX, skin::kShadowY);
  const bool shadowOn = shadow != trans;
  TLazySheets sheets(input.gaizi, input.myGaizi);
  TCharCell cell;
  TRowSpan rows;
  std::size_t index = 0;
  for (std::size_t p = 0; p < text.lines.size(); ++p) {
    const ParsedLine& line = text.lines[p];
    const int y0 = input.padRound + kTextTop + static_cast<int>(p) * (kLinePitch + input.padLine);
    int advance = 0;
    for (std::size_t k = 0; k < line.Length(); ++k) {
      if (index == limit) return rows;
      const bool skipped = index++ < first;
      advance += text.GapBefore(p, k);
      const std::string& character = line.Characters[k];
      if (skipped) {
        advance += Advance(character, font);
        continue;
      }
      rows.Add(y0, y0 + TCharCell::kSize + 1);  // the shadow reaches one row below the cell
      const int colour = line.ColourAt(k);
      const int glyph = line.GlyphAt(k);
      cell.Fill(background);
      font.DrawChar(character, cell, background);
      // "$A" carries glyph 0 like an ordinary character; its flag tells it apart.
      if (glyph > 0 || line.FromGlyphCode[k]) DrawGlyph(glyph, cell, sheets.Get());
      const int x0 = input.padRound + kTextLeft + shift + advance;
      for (int x = 0; x < TCharCell::kSize; ++x) {
        for (int y = 0; y < TCharCell::kSize; ++y) {
          if (cell.Get(x, y) != clBlack) continue;
          const TColor c = SampleTextColour(skin, colour, x, y);
          if (c == trans) continue;
          if (shadowOn) window.Put(x0 + x + 1, y0 + y + 1, shadow);
          window.Put(x0 + x, y0 + y, c);
        }
      }
      advance += Advance(character, font);
    }
  }
  return rows;
}

TBitmap ToResult(const TQvDIB& window) {
  TBitmap result;
  window.AssignTo(result);
  result.SetPixelFormat(TPixelFormat::pf24bit);
  return result;
}

}  // namespace steps

using namespace steps;

const TTextRasterizer& TFontCache::Get(const std::string& faceName) {
  auto it = fonts_.find(faceName);
  if (it == fonts_.end()) it = fonts_.emplace(faceName, TTextRasterizer(faceName)).first;
  return it->second;
}

void RequireSheetSize(int width, int height, const std::string& what, const std::string& name) {
  if (width <= kMaxSheetSide && height <= kMaxSheetSide) return;
  const std::string limit = std::to_string(kMaxSheetSide);
  throw EComposeError(FormatMessage(compose_msg::kSheetTooLarge,
                                    {what, name, std::to_string(width), std::to_string(height), limit, limit}));
}

void RequireImage(const TGraphic& picture, const std::string& name) {
  if (picture.GetEmpty()) throw ENoImage(FormatMessage(compose_msg::kNoImage, {name}));
}

TColourImage PrepareSkin(const TBitmap& systemGraphic) { return ReadSkin(systemGraphic); }

WindowSize MeasureWindow(const ComposeInput& input) {
  CheckRanges(input);
  std::optional<TTextRasterizer> local;
  const ParsedText text = ParseAndMeasure(input.lines, FontFor(input, local));
  return SizeOf(text.maxWidth, text.lines.size(), input);
}

std::optional<TBitmap> ComposeWindow(const ComposeInput& input) {
  if (input.systemGraphic == nullptr || input.systemGraphic->GetEmpty()) return std::nullopt;
  CheckRanges(input);
  std::optional<TColourImage> read;
  const TColourImage& skin = SkinOf(input, read);

  std::optional<TTextRasterizer> local;
  const TTextRasterizer& font = FontFor(input, local);
  const ParsedText text = ParseAndMeasure(input.lines, font);
  const WindowSize size = SizeOf(text.maxWidth, text.lines.size(), input);
  CheckHeight(size, input);

  TQvDIB window;
  MakeWindowImage(window, size);
  TWindowWriter writer(window);
  PaintWallpaper(skin, size, input.wallMode, writer);
  DrawFrame(skin, input.transColor, size, writer);
  DrawText(text, input, 0, skin, font, writer);
  return ToResult(window);
}

}  // namespace pw
