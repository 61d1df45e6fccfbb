#include "compose/extras.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "compose/animate.h"
#include "compose/steps.h"
#include "toolkit/packed_pixels.h"
#include "toolkit/sjis.h"

namespace pw {
namespace {

constexpr int kThinSpace = 3;      // \_ advances by half of a half-width character
constexpr std::size_t kMaxCodeDigits = 9;  // n of \S[n], \N[n], \V[n]; longer numbers are plain text
static_assert(kMaxCodeNumber == 999'999'999, "the largest number of kMaxCodeDigits digits");
constexpr TSkinRegion kPauseArrow{40, 16, 16, 8};  // the down arrow in the frame block's centre

// --- The game-code pass ---

using Chars = std::vector<std::string_view>;

bool Is(const Chars& t, std::size_t i, char c) { return i < t.size() && t[i].size() == 1 && t[i][0] == c; }

bool IsLetter(const Chars& t, std::size_t i, char upper) {
  return Is(t, i, upper) || Is(t, i, static_cast<char>(upper - 'A' + 'a'));
}

bool IsDigit(const Chars& t, std::size_t i) { return i < t.size() && t[i].size() == 1 && t[i][0] >= '0' && t[i][0] <= '9'; }

// True when t[i] is a letter or digit that makes a glyph code after "$".
bool StartsGlyphCode(const Chars& t, std::size_t i) {
  if (i >= t.size() || t[i].size() != 1) return false;
  const char c = t[i][0];
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// "[digits]" at i: the number and the length of the bracketed part, or nullopt.
std::optional<int> BracketedNumber(const Chars& t, std::size_t i, std::size_t& length) {
  if (!Is(t, i, '[')) return std::nullopt;
  std::size_t digits = 0;
  int n = 0;
  while (IsDigit(t, i + 1 + digits)) {
    if (++digits > kMaxCodeDigits) return std::nullopt;
    n = n * 10 + (t[i + digits][0] - '0');
  }
  if (digits == 0 || !Is(t, i + 1 + digits, ']')) return std::nullopt;
  length = digits + 2;
  return n;
}

// Text shown literally by the markup: every backslash and dollar sign doubled.
std::string Literal(std::string_view text) {
  std::string out;
  for (std::string_view c : sjis::SplitCharacters(text)) {
    if (c == "\\" || c == "$") out += c;
    out += c;
  }
  return out;
}

// The name or value given for n; the code named in the error otherwise.
const std::string& Given(const std::map<int, std::string>& given, int n, const char* missing) {
  const auto it = given.find(n);
  if (it == given.end()) throw EComposeError(FormatMessage(missing, {std::to_string(n), std::to_string(n)}));
  return it->second;
}

// A game code that vanishes from the text, with what it does to the typing.
struct VanishedCode {
  std::size_t length = 0;  // 0: none starts here
  std::optional<TimingEvent> timing;
};

// The game code that starts at the backslash t[i] and vanishes.
VanishedCode VanishingCode(const Chars& t, std::size_t i) {
  static constexpr std::pair<char, TimingEvent> kTimed[] = {
      {'!', {TimingKind::kHold}},      {'.', {TimingKind::kWait, timing::kShortWait}},
      {'|', {TimingKind::kWait, timing::kLongWait}}, {'^', {TimingKind::kNoHold}},
      {'>', {TimingKind::kInstantOn}}, {'<', {TimingKind::kInstantOff}}};
  for (const auto& [c, event] : kTimed)
    if (Is(t, i + 1, c)) return {2, event};
  if (Is(t, i + 1, '$')) return {2, std::nullopt};  // the money window takes no time
  std::size_t length = 0;
  if (IsLetter(t, i + 1, 'S')) {
    if (const std::optional<int> n = BracketedNumber(t, i + 2, length)) {
      return {2 + length, TimingEvent{TimingKind::kSpeed, std::clamp(*n, timing::kMinSpeed, timing::kMaxSpeed)}};
    }
  }
  return {};
}

// The markup text of the \N[n] or \V[n] code that starts at the backslash t[i], and the code's
// length; nullopt when no such code starts there.
std::optional<std::string> GivenCode(const Chars& t, std::size_t i, const GameCodeValues& values,
                                     std::size_t& length) {
  const bool name = IsLetter(t, i + 1, 'N');
  if (!name && !IsLetter(t, i + 1, 'V')) return std::nullopt;
  const std::optional<int> n = BracketedNumber(t, i + 2, length);
  if (!n) return std::nullopt;
  length += 2;
  return Literal(Given(name ? values.names : values.values, *n, name ? compose_msg::kNoName : compose_msg::kNoValue));
}

// A timing code met in the game-code pass: in which piece, and at which byte of its markup.
struct TimingMark {
  std::size_t piece;
  std::size_t offset;
  TimingEvent event;
};

// One line through the game-code pass: its markup pieces and the timing codes it held.
struct ScannedLine {
  std::vector<std::string> pieces;
  std::vector<TimingMark> marks;
};

ScannedLine ScanGameCodes(std::string_view line, const GameCodeValues& values) {
  const Chars t = sjis::SplitCharacters(line);
  ScannedLine scanned;
  std::vector<std::string>& pieces = scanned.pieces;
  pieces.emplace_back();
  for (std::size_t i = 0; i < t.size();) {
    std::string& out = pieces.back();
    std::size_t length = 0;
    if (Is(t, i, '$')) {
      // A glyph code or a "$$" pair passes whole; a lone dollar is doubled, so that nothing a
      // vanished code or a name leaves after it can turn it into a glyph code.
      if (StartsGlyphCode(t, i + 1) || Is(t, i + 1, '$')) {
        out.append(t[i]).append(t[i + 1]);
        i += 2;
      } else {
        out += "$$";
        i += 1;
      }
    } else if (!Is(t, i, '\\')) {
      out.append(t[i]);
      i += 1;
    } else if (Is(t, i + 1, '\\')) {
      out += "\\\\";  // the markup makes the pair one backslash
      i += 2;
    } else if (Is(t, i + 1, '_')) {
      pieces.emplace_back();
      scanned.marks.push_back({pieces.size() - 1, 0, {TimingKind::kThin}});
      i += 2;
    } else if (const VanishedCode vanished = VanishingCode(t, i); vanished.length > 0) {
      if (vanished.timing) scanned.marks.push_back({pieces.size() - 1, out.size(), *vanished.timing});
      i += vanished.length;
    } else if (const std::optional<std::string> given = GivenCode(t, i, values, length)) {
      out += *given;
      i += length;
    } else {
      // Not a game code: the markup's colour code passes as it is, any other backslash stays text.
      out += IsLetter(t, i + 1, 'C') ? "\\" : "\\\\";
      i += 1;
    }
  }
  return scanned;
}

}  // namespace

namespace face {

bool HasCell(int sheetWidth, int sheetHeight, int index) {
  const int columns = std::min(kPerRow, sheetWidth / kSize);
  return index >= 0 && index % kPerRow < columns && index / kPerRow < sheetHeight / kSize;
}

std::vector<int> Cells(int sheetWidth, int sheetHeight) {
  std::vector<int> cells;
  const int columns = std::min(kPerRow, sheetWidth / kSize);
  for (int row = 0; row < sheetHeight / kSize; ++row)
    for (int column = 0; column < columns; ++column) cells.push_back(row * kPerRow + column);
  return cells;
}

TSkinRegion CellRegion(int index) { return {kSize * (index % kPerRow), kSize * (index / kPerRow), kSize, kSize}; }

}  // namespace face

std::optional<std::pair<int, std::string>> ParseNumberedText(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || equals == 0 || equals > kMaxCodeDigits) return std::nullopt;
  int n = 0;
  for (const char c : line.substr(0, equals)) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return std::pair{n, std::string(line.substr(equals + 1))};
}

std::vector<std::string> ApplyGameCodes(std::string_view line, const GameCodeValues& values) {
  return ScanGameCodes(line, values).pieces;
}

namespace {

// --- Composition with the extras ---

// Appends one parsed piece of a line to the whole line.
void Append(ParsedLine& line, ParsedLine piece) {
  line.DisplayText += piece.DisplayText;
  line.ColourCodes += piece.ColourCodes;
  line.GlyphCodes += piece.GlyphCodes;
  line.Characters.insert(line.Characters.end(), std::make_move_iterator(piece.Characters.begin()),
                         std::make_move_iterator(piece.Characters.end()));
  line.FromGlyphCode.insert(line.FromGlyphCode.end(), piece.FromGlyphCode.begin(), piece.FromGlyphCode.end());
}

// Parses game message text: each line through the game-code pass, then its pieces through the
// markup with one colour carried on, the \_ advances kept as gaps before characters.
steps::ParsedText ParseGameText(const std::vector<std::string>& lines, const GameCodeValues& values,
                                const TTextRasterizer& font) {
  steps::ParsedText text;
  int colour = 0;
  for (const std::string& source : lines) {
    ParsedLine line;
    std::vector<int> gaps;
    int pending = 0;
    const std::vector<std::string> pieces = ApplyGameCodes(source, values);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) pending += kThinSpace;
      ParsedLine piece = ParseMarkupLine(pieces[i], colour);
      if (piece.Length() == 0) continue;
      gaps.push_back(pending);
      gaps.resize(gaps.size() + piece.Length() - 1, 0);
      pending = 0;
      Append(line, std::move(piece));
    }
    gaps.push_back(pending);  // after the last character: counts for the width only
    int width = font.MeasureText(line.DisplayText);
    for (int gap : gaps) width += gap;
    text.maxWidth = std::max(text.maxWidth, width);
    text.lines.push_back(std::move(line));
    text.gaps.push_back(std::move(gaps));
  }
  return text;
}

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

}  // namespace

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

std::vector<TimingEvent> PageTiming(const std::vector<std::string>& lines, const WindowExtras& extras) {
  const auto character = [](const std::string& c) {
    return TimingEvent{c.size() >= 2 ? TimingKind::kFull : TimingKind::kHalf};
  };
  std::vector<TimingEvent> events;
  int colour = 0;
  for (const std::string& source : lines) {
    if (!extras.gameCodes) {
      for (const std::string& c : ParseMarkupLine(source, colour).Characters) events.push_back(character(c));
      events.push_back({TimingKind::kLineEnd});
      continue;
    }
    const ScannedLine scanned = ScanGameCodes(source, extras.gameValues);
    std::size_t mark = 0;
    for (std::size_t i = 0; i < scanned.pieces.size(); ++i) {
      const int start = colour;
      const ParsedLine piece = ParseMarkupLine(scanned.pieces[i], colour);
      std::size_t k = 0;
      for (; mark < scanned.marks.size() && scanned.marks[mark].piece == i; ++mark) {
        // The code stands after the characters that the markup before it makes.
        int prefixColour = start;
        const std::string_view before = std::string_view(scanned.pieces[i]).substr(0, scanned.marks[mark].offset);
        const std::size_t at = std::min(piece.Length(), ParseMarkupLine(before, prefixColour).Length());
        for (; k < at; ++k) events.push_back(character(piece.Characters[k]));
        events.push_back(scanned.marks[mark].event);
      }
      for (; k < piece.Length(); ++k) events.push_back(character(piece.Characters[k]));
    }
    events.push_back({TimingKind::kLineEnd});
  }
  return events;
}

namespace steps {

TPageWindow::TPageWindow(const ComposeInput& input, const WindowExtras& extras)
    : input_(input) {
  steps::CheckRanges(input);
  skin_ = &steps::SkinOf(input, readSkin_);
  const bool withFace = extras.faceSheet != nullptr;
  if (withFace) face_ = std::make_unique<FaceImage>(ReadFace(extras));
  font_ = &steps::FontFor(input, localFont_);
  text_ = extras.gameCodes ? ParseGameText(input.lines, extras.gameValues, *font_)
                           : steps::ParseAndMeasure(input.lines, *font_);
  size_ = steps::SizeOf(text_.maxWidth, text_.lines.size(), input);
  if (withFace) {
    size_.width += face::kShift;
    size_.height = std::max(size_.height, face::kMinHeight + 2 * input.padRound);
  }
  steps::CheckHeight(size_, input);
  faceRight_ = extras.faceRight;
  faceFlip_ = extras.faceFlip;
}

TPageWindow::~TPageWindow() = default;

void TPageWindow::Paint(WindowSize atLeast) {
  size_.width = std::max(size_.width, atLeast.width);
  size_.height = std::max(size_.height, atLeast.height);
  TQvDIB window;
  steps::MakeWindowImage(window, size_);
  steps::TWindowWriter writer(window);
  steps::PaintWallpaper(*skin_, size_, input_.wallMode, writer);
  steps::DrawFrame(*skin_, input_.transColor, size_, writer);
  if (face_) {
    const int inside = input_.padRound + face::kGap;
    const int left = faceRight_ ? size_.width - input_.padRound - face::kShift : inside;
    DrawFace(*face_, faceFlip_, left, inside, writer);
  }
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
  background_.resize(rowBytes * static_cast<std::size_t>(size_.height));
  for (int y = 0; y < size_.height; ++y) {
    std::memcpy(background_.data() + rowBytes * static_cast<std::size_t>(y), writer.Row(y), rowBytes);
  }
  painted_ = true;
}

void TPageWindow::Draw(TQvDIB& window, std::size_t shown, bool arrow) const {
  Assert(painted_, "TPageWindow: Paint Comes Before Drawing");
  steps::MakeWindowImage(window, size_);
  steps::TWindowWriter writer(window);
  const std::size_t rowBytes = 3 * static_cast<std::size_t>(size_.width);
  for (int y = 0; y < size_.height; ++y) {
    std::memcpy(writer.Row(y), background_.data() + rowBytes * static_cast<std::size_t>(y), rowBytes);
  }
  const int shift = face_ && !faceRight_ ? face::kShift : 0;
  steps::DrawText(text_, input_, shift, *skin_, *font_, writer, shown);
  if (arrow) DrawPauseArrow(*skin_, input_.transColor, size_, writer);
}

TBitmap TPageWindow::Window(std::size_t shown, bool arrow) const {
  TQvDIB window;
  Draw(window, shown, arrow);
  return steps::ToResult(window);
}

TRgbaImage TPageWindow::Rgba(std::size_t shown, bool arrow) const {
  TQvDIB window;
  Draw(window, shown, arrow);
  TRgbaImage image(size_.width, size_.height);
  const TQvDIBInfos& infos = window.InternalForWrite().DIBInfos;
  for (int y = 0; y < size_.height; ++y) {
    const std::uint8_t* row = infos.Row(y);
    std::uint8_t* out = image.Pixel(0, y);
    for (int x = 0; x < size_.width; ++x, row += 3, out += 4) {
      out[0] = row[2], out[1] = row[1], out[2] = row[0], out[3] = 255;
    }
  }
  return image;
}

std::optional<TBitmap> ComposeWindowPart(const ComposeInput& input, const WindowExtras& extras, WindowSize atLeast,
                                         std::size_t shown) {
  if (input.systemGraphic == nullptr || input.systemGraphic->GetEmpty()) return std::nullopt;
  TPageWindow window(input, extras);
  window.Paint(atLeast);
  return window.Window(shown, extras.pauseArrow);
}

}  // namespace steps

std::optional<TBitmap> ComposeWindow(const ComposeInput& input, const WindowExtras& extras) {
  if (!extras.InUse()) return ComposeWindow(input);
  return steps::ComposeWindowPart(input, extras, {0, 0}, SIZE_MAX);
}

}  // namespace pw
