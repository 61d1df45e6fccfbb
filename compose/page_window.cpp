// A page's window drawn with the extras: the face cell read with its own transparency, the
// background painted once, and the text and pause arrow drawn over a copy of it for each window.
#include <algorithm>
#include <cstring>
#include <memory>

#include "compose/animate.h"
#include "compose/extras.h"
#include "compose/steps.h"
#include "toolkit/packed_pixels.h"

namespace pw {
namespace steps {

// One face as the game shows it: its colours and, per pixel, whether the sheet's own
// transparency leaves it out.
struct FaceImage {
  TColourImage colours;
  std::vector<bool> hidden;  // row by row
};

}  // namespace steps

namespace {

using steps::FaceImage;

constexpr TSkinRegion kPauseArrow{40, 16, 16, 8};  // the down arrow in the frame block's centre

// The face's cell of the sheet, refused when it does not lie wholly inside.
TSkinRegion FaceCell(const TBitmap& sheet, const WindowExtras& extras) {
  const int index = extras.faceIndex;
  if (!face::HasCell(sheet.GetWidth(), sheet.GetHeight(), index)) {
    throw EComposeError(FormatMessage(compose_msg::kNoFace,
                                      {extras.faceSheetName, std::to_string(index), std::to_string(sheet.GetWidth()),
                                       std::to_string(sheet.GetHeight())}));
  }
  return face::CellRegion(index);
}

// The region of picture as a bitmap of its own, in the same pixel format and palette. A cell of
// a face sheet starts on a whole byte at every depth (48 pixels are 6 bytes at 1 bit).
TBitmap CopyRegion(const TBitmap& picture, TSkinRegion region) {
  TBitmap part;
  part.SetPixelFormat(picture.GetPixelFormat());
  if (picture.HasPalette()) part.SetPalette(picture.GetPalette());
  part.SetSize(region.width, region.height);
  const int bits = picture.GetBitsPerPixel();
  const std::size_t offset = static_cast<std::size_t>(region.x) * bits / 8;
  const std::size_t bytes = (static_cast<std::size_t>(region.width) * bits + 7) / 8;
  for (int y = 0; y < region.height; ++y) std::memcpy(part.ScanLine(y), picture.ScanLine(region.y + y) + offset, bytes);
  part.SetTransparent(picture.GetTransparent());
  part.SetTransparentColor(picture.GetTransparentColor());
  return part;
}


FaceImage ReadFace(const WindowExtras& extras) {
  const TSkinRegion cell = FaceCell(*extras.faceSheet, extras);
  const TBitmap part = CopyRegion(*extras.faceSheet, cell);
  FaceImage face{TColourImage::FromGraphic(part), std::vector<bool>(static_cast<std::size_t>(cell.width) * cell.height)};
  const bool alpha = extras.faceAlpha != nullptr && !extras.faceAlpha->GetEmpty();
  const TBitmap mask = alpha ? CopyRegion(*extras.faceAlpha, cell) : TBitmap();
  const bool keyed = part.GetTransparent();
  const bool indexed = part.GetBitsPerPixel() <= 8 && part.HasPalette();
  for (int y = 0; y < cell.height; ++y) {
    for (int x = 0; x < cell.width; ++x) {
      bool hidden = false;
      if (alpha) hidden = mask.ScanLine(y)[x] > 127;  // 255 - alpha: alpha below 128
      else if (keyed) hidden = face.colours.At(x, y) == part.GetTransparentColor();
      else if (indexed) hidden = ReadPackedIndex(part.ScanLine(y), x, part.GetBitsPerPixel()) == 0;
      face.hidden[static_cast<std::size_t>(y) * cell.width + x] = hidden;
    }
  }
  return face;
}

// Draws a face at (left, top), mirrored left to right when asked, leaving out its hidden pixels.
void DrawFace(const FaceImage& face, bool flip, int left, int top, steps::TWindowWriter& window) {
  const int width = face.colours.Width();
  for (int y = 0; y < face.colours.Height(); ++y) {
    for (int x = 0; x < width; ++x) {
      const int sx = flip ? width - 1 - x : x;
      if (!face.hidden[static_cast<std::size_t>(y) * width + sx]) window.Put(left + x, top + y, face.colours.At(sx, y));
    }
  }
}

// Copies a region of source to (left, top); pixels of the transparent colour are skipped, as in
// the frame.
void DrawMasked(const TColourImage& source, TSkinRegion region, TColor trans, int left, int top,
                steps::TWindowWriter& window) {
  for (int y = 0; y < region.height; ++y) {
    for (int x = 0; x < region.width; ++x) {
      const TColor c = source.At(region.x + x, region.y + y);
      if (c != trans) window.Put(left + x, top + y, c);
    }
  }
}

// The skin's down arrow centred on the bottom edge, masked like the frame.
void DrawPauseArrow(const TColourImage& skin, TColor trans, WindowSize size, steps::TWindowWriter& window) {
  DrawMasked(skin, kPauseArrow, trans, size.width / 2 - kPauseArrow.width / 2, size.height - kPauseArrow.height,
             window);
}

}  // namespace

namespace steps {

TPageWindow::TPageWindow(const ComposeInput& input, const WindowExtras& extras)
    : input_(input) {
  steps::CheckRanges(input);
  if (extras.layout.on && (input.padRound != 0 || input.padLine != 0)) {
    throw EComposeError(FormatMessage(compose_msg::kGameLayoutPads,
                                      {std::to_string(input.padRound), std::to_string(input.padLine)}));
  }
  skin_ = &steps::SkinOf(input, readSkin_);
  const bool withFace = extras.faceSheet != nullptr;
  if (withFace) face_ = std::make_unique<FaceImage>(ReadFace(extras));
  font_ = &steps::FontFor(input, localFont_);
  text_ = extras.gameCodes ? ParseGameText(input.lines, extras.gameValues, *font_)
                           : steps::ParseAndMeasure(input.lines, *font_);
  faceRight_ = extras.faceRight;
  faceFlip_ = extras.faceFlip;
  for (const ParsedLine& line : text_.lines) characters_ += line.Length();
  if (extras.layout.on) {
    TakeGameLayout(extras.layout);
    return;
  }
  size_ = steps::SizeOf(text_.maxWidth, text_.lines.size(), input);
  if (withFace) {
    size_.width += face::kShift;
    size_.height = std::max(size_.height, face::kMinHeight + 2 * input.padRound);
  }
  steps::CheckHeight(size_, input);
}

TPageWindow::~TPageWindow() = default;

void TPageWindow::TakeGameLayout(const GameLayout& layout) {
  layout_ = layout;
  size_ = {game_window::kWidth, game_window::kHeight};
  screenTop_ = layout.screen ? WindowTop(layout.position) : 0;
  // An option starts kOptionIndent further right: an advance before its first character.
  if (text_.gaps.empty()) {
    for (const ParsedLine& line : text_.lines) text_.gaps.emplace_back(line.Length() + 1, 0);
  }
  for (std::size_t p = layout.optionsFrom; p < text_.lines.size(); ++p) text_.gaps[p][0] += game_window::kOptionIndent;
}

WindowSize TPageWindow::Size() const {
  if (layout_.on && layout_.screen) return {game_window::kScreenWidth, game_window::kScreenHeight};
  return size_;
}

int TPageWindow::TextShift() const {
  if (!face_ || faceRight_) return 0;
  return layout_.on ? game_window::kTextBesideFace : face::kShift;
}

// Wallpaper, frame and face; in a transparent window of the game's layout only the face, on the
// transparent colour.
void TPageWindow::PaintBackground(TWindowWriter& writer) {
  if (!layout_.on) {
    steps::PaintWallpaper(*skin_, size_, input_.wallMode, writer);
    steps::DrawFrame(*skin_, input_.transColor, size_, writer);
    if (face_) {
      const int inside = input_.padRound + face::kGap;
      const int left = faceRight_ ? size_.width - input_.padRound - face::kShift : inside;
      DrawFace(*face_, faceFlip_, left, inside, writer);
    }
    return;
  }
  if (layout_.transparent) {
    for (int y = 0; y < size_.height; ++y)
      for (int x = 0; x < size_.width; ++x) writer.Put(x, y, input_.transColor);
  } else {
    steps::PaintWallpaper(*skin_, size_, input_.wallMode, writer);
    steps::DrawFrame(*skin_, input_.transColor, size_, writer);
  }
  if (face_) {
    const int left = game_window::kInnerLeft + (faceRight_ ? game_window::kFaceRight : game_window::kFaceLeft);
    DrawFace(*face_, faceFlip_, left, game_window::kInnerTop + game_window::kFaceTop, writer);
  }
}

void TPageWindow::Paint(WindowSize atLeast) {
  if (!layout_.on) {
    size_.width = std::max(size_.width, atLeast.width);
    size_.height = std::max(size_.height, atLeast.height);
  }
  steps::MakeWindowImage(scratch_.emplace(), size_);
  steps::TWindowWriter writer(*scratch_);
  PaintBackground(writer);
  if (layout_.screen) {
    // The screen around the window is the transparent colour; the window's rows are copied in
    // with every picture.
    steps::MakeWindowImage(screen_.emplace(), Size());
    steps::TWindowWriter around(*screen_);
    for (int y = 0; y < game_window::kScreenHeight; ++y)
      for (int x = 0; x < game_window::kScreenWidth; ++x) around.Put(x, y, input_.transColor);
  }
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
  background_.resize(rowBytes * static_cast<std::size_t>(size_.height));
  for (int y = 0; y < size_.height; ++y) {
    std::memcpy(background_.data() + rowBytes * static_cast<std::size_t>(y), writer.Row(y), rowBytes);
  }
  // The image now holds the background: no text, no arrow, and no RGBA copy made yet.
  drawn_ = 0;
  arrowDrawn_ = false;
  dirty_ = {0, size_.height};
  rgba_ = layout_.screen ? ToRgba(steps::ToResult(*screen_)) : TRgbaImage(size_.width, size_.height);
  painted_ = true;
}

// Each window differs from the one before by what was drawn since: more characters are drawn
// over it, as DrawText draws them one after the other, and the arrow's rows are put back as
// they were before it was drawn. Fewer characters start again from the background.
void TPageWindow::Draw(std::size_t shown, bool arrow) {
  Assert(painted_, "TPageWindow: Paint Comes Before Drawing");
  shown = std::min(shown, characters_);
  steps::TWindowWriter writer(*scratch_);
  if (arrowDrawn_ && (!arrow || shown != drawn_)) RemoveArrow(writer);
  if (shown < drawn_) {
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
    for (int y = 0; y < size_.height; ++y) {
      std::memcpy(writer.Row(y), background_.data() + rowBytes * static_cast<std::size_t>(y), rowBytes);
    }
    drawn_ = 0;
    dirty_ = {0, size_.height};
  }
  if (shown > drawn_) {
    // The game's window shows text only inside its inner area.
    steps::TWindowWriter text(*scratch_);
    if (layout_.on) {
      text.ClipTo(game_window::kInnerLeft, game_window::kInnerTop, game_window::kInnerLeft + game_window::kInnerWidth,
                  game_window::kInnerTop + game_window::kInnerHeight);
    }
    const TRowSpan rows = steps::DrawText(text_, input_, TextShift(), *skin_, *font_, text, shown, drawn_);
    if (!rows.Empty()) dirty_.Add(std::max(rows.first, 0), std::min(rows.last, size_.height));
    drawn_ = shown;
  }
  if (arrow && !arrowDrawn_) {
    const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
    const int top = std::max(size_.height - kPauseArrow.height, 0);
    underArrow_.resize(rowBytes * static_cast<std::size_t>(size_.height - top));
    for (int y = top; y < size_.height; ++y) {
      std::memcpy(underArrow_.data() + rowBytes * static_cast<std::size_t>(y - top), writer.Row(y), rowBytes);
    }
    DrawPauseArrow(*skin_, input_.transColor, size_, writer);
    dirty_.Add(top, size_.height);
    arrowDrawn_ = true;
  }
}

void TPageWindow::RemoveArrow(TWindowWriter& writer) {
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
  const int top = std::max(size_.height - kPauseArrow.height, 0);
  for (int y = top; y < size_.height; ++y) {
    std::memcpy(writer.Row(y), underArrow_.data() + rowBytes * static_cast<std::size_t>(y - top), rowBytes);
  }
  dirty_.Add(top, size_.height);
  arrowDrawn_ = false;
}

TBitmap TPageWindow::Window(std::size_t shown, bool arrow) {
  Draw(shown, arrow);
  if (!layout_.screen) return steps::ToResult(*scratch_);
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
  steps::TWindowWriter window(*scratch_);
  steps::TWindowWriter screen(*screen_);
  for (int y = 0; y < size_.height; ++y) std::memcpy(screen.Row(screenTop_ + y), window.Row(y), rowBytes);
  return steps::ToResult(*screen_);
}

TRgbaImage TPageWindow::Rgba(std::size_t shown, bool arrow) {
  TRowSpan changed;
  return RgbaView(shown, arrow, changed);
}

// Only the rows drawn on since the last RGBA copy are converted again.
const TRgbaImage& TPageWindow::RgbaView(std::size_t shown, bool arrow, TRowSpan& changed) {
  Draw(shown, arrow);
  const TQvDIBInfos& infos = scratch_->InternalForWrite().DIBInfos;
  for (int y = dirty_.first; y < dirty_.last; ++y) {
    BgrRowToRgba(infos.Row(y), size_.width, rgba_.Pixel(0, screenTop_ + y));
  }
  // Rows of the picture: on the game's screen, the window's rows stand lower.
  changed = dirty_.Empty() ? dirty_ : TRowSpan{dirty_.first + screenTop_, dirty_.last + screenTop_};
  dirty_ = {};
  return rgba_;
}

void TPageWindow::Release() {
  scratch_.reset();
  background_ = {};
  underArrow_ = {};
  rgba_ = {};
  screen_.reset();
  painted_ = false;
}

void BgrRowToRgba(const std::uint8_t* bgr, int width, std::uint8_t* rgba) {
  for (int x = 0; x < width; ++x, bgr += 3, rgba += 4) {
    rgba[0] = bgr[2], rgba[1] = bgr[1], rgba[2] = bgr[0], rgba[3] = 255;
  }
}

std::optional<TBitmap> ComposeWindowPart(const ComposeInput& input, const WindowExtras& extras, WindowSize atLeast,
                                         std::size_t shown) {
  if (input.systemGraphic == nullptr || input.systemGraphic->GetEmpty()) return std::nullopt;
  TPageWindow window(input, extras);
  window.Paint(atLeast);
  return window.Window(shown, extras.pauseArrow);
}

}  // namespace steps

}  // namespace pw
