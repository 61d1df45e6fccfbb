#include "compose/extras.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "compose/animate.h"
#include "compose/steps.h"
#include "toolkit/sjis.h"

namespace pw {
namespace {

constexpr int kThinSpace = 3;      // \_ advances by half of a half-width character
constexpr std::size_t kMaxCodeDigits = 9;  // n of \S[n], \N[n], \V[n]; longer numbers are plain text
static_assert(kMaxCodeNumber == 999'999'999, "the largest number of kMaxCodeDigits digits");

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

// The name or value given for n, else the one for every other number; the code named in the
// error when there is neither.
const std::string& Given(const std::map<int, std::string>& given, const std::optional<std::string>& other, int n,
                         const char* missing) {
  const auto it = given.find(n);
  if (it != given.end()) return it->second;
  if (other) return *other;
  throw EComposeError(FormatMessage(missing, {std::to_string(n), std::to_string(n)}));
}

// A game code that vanishes from the text, with what it does to the typing.
struct VanishedCode {
  std::size_t length = 0;  // 0: none starts here
  std::optional<TimingEvent> timing;
};

// The game code that starts at the backslash t[i] and vanishes.
VanishedCode VanishingCode(const Chars& t, std::size_t i) {
  static constexpr std::pair<char, TimingEvent> kTimed[] = {
      {'!', {TimingKind::kHold}},      {'.', {TimingKind::kShortWait}}, {'|', {TimingKind::kLongWait}},
      {'^', {TimingKind::kNoHold}},    {'>', {TimingKind::kInstantOn}}, {'<', {TimingKind::kInstantOff}},
      {'$', {TimingKind::kMoney}}};
  for (const auto& [c, event] : kTimed)
    if (Is(t, i + 1, c)) return {2, event};
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
  return Literal(name ? Given(values.names, values.otherNames, *n, compose_msg::kNoName)
                      : Given(values.values, values.otherValues, *n, compose_msg::kNoValue));
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
  for (const std::size_t at : piece.ColourCodeAt) line.ColourCodeAt.push_back(line.Length() + at);
  line.DisplayText += piece.DisplayText;
  line.ColourCodes += piece.ColourCodes;
  line.GlyphCodes += piece.GlyphCodes;
  line.Characters.insert(line.Characters.end(), std::make_move_iterator(piece.Characters.begin()),
                         std::make_move_iterator(piece.Characters.end()));
  line.FromGlyphCode.insert(line.FromGlyphCode.end(), piece.FromGlyphCode.begin(), piece.FromGlyphCode.end());
}

}  // namespace

steps::ParsedText steps::ParseGameText(const std::vector<std::string>& lines, const GameCodeValues& values,
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

namespace {

// The timing of one parsed piece of a line: its characters and colour codes in their order.
class TPieceTiming {
 public:
  TPieceTiming(const ParsedLine& piece, const TTextRasterizer& font, std::vector<TimingEvent>& events)
      : piece_(piece), font_(font), events_(events) {}

  // Adds what comes before the first `characters` characters and `codes` colour codes have
  // passed; a colour code comes before the character it stands in front of.
  void Upto(std::size_t characters, std::size_t codes) {
    for (;;) {
      if (code_ < codes && (character_ >= characters || piece_.ColourCodeAt[code_] <= character_)) {
        events_.push_back({TimingKind::kColour});
        ++code_;
      } else if (character_ < characters) {
        const bool half = steps::Advance(piece_.Characters[character_], font_) <= timing::kHalfWidthAdvance;
        events_.push_back({TimingKind::kGlyph, half ? 1 : 2});
        ++character_;
      } else {
        return;
      }
    }
  }
  void Rest() { Upto(piece_.Length(), piece_.ColourCodeAt.size()); }

 private:
  const ParsedLine& piece_;
  const TTextRasterizer& font_;
  std::vector<TimingEvent>& events_;
  std::size_t character_ = 0;
  std::size_t code_ = 0;
};

}  // namespace

int GameLineWidth(std::string_view line, const GameCodeValues& values, const TTextRasterizer& font) {
  return steps::ParseGameText({std::string(line)}, values, font).maxWidth;
}

std::vector<TimingEvent> PageTiming(const std::vector<std::string>& lines, const WindowExtras& extras,
                                    const TTextRasterizer& font) {
  std::vector<TimingEvent> events;
  int colour = 0;
  for (const std::string& source : lines) {
    if (!extras.gameCodes) {
      const ParsedLine line = ParseMarkupLine(source, colour);
      TPieceTiming(line, font, events).Rest();
      events.push_back({TimingKind::kLineEnd});
      continue;
    }
    const ScannedLine scanned = ScanGameCodes(source, extras.gameValues);
    std::size_t mark = 0;
    for (std::size_t i = 0; i < scanned.pieces.size(); ++i) {
      const int start = colour;
      const ParsedLine piece = ParseMarkupLine(scanned.pieces[i], colour);
      TPieceTiming timing(piece, font, events);
      for (; mark < scanned.marks.size() && scanned.marks[mark].piece == i; ++mark) {
        // The code stands after what the markup before it makes.
        int prefixColour = start;
        const std::string_view text = std::string_view(scanned.pieces[i]).substr(0, scanned.marks[mark].offset);
        const ParsedLine before = ParseMarkupLine(text, prefixColour);
        timing.Upto(std::min(piece.Length(), before.Length()),
                    std::min(piece.ColourCodeAt.size(), before.ColourCodeAt.size()));
        events.push_back(scanned.marks[mark].event);
      }
      timing.Rest();
    }
    events.push_back({TimingKind::kLineEnd});
  }
  return events;
}

std::optional<TBitmap> ComposeWindow(const ComposeInput& input, const WindowExtras& extras) {
  if (!extras.InUse()) return ComposeWindow(input);
  if (extras.layout.on) return steps::ComposeGameWindows(input, extras);
  return steps::ComposeWindowPart(input, extras, {0, 0}, SIZE_MAX);
}

void RequireWindowFits(std::size_t lineCount, const std::function<std::optional<std::string>(std::size_t)>& lineAt,
                       const ComposeInput& input, const WindowExtras& extras) {
  steps::CheckRanges(input);
  // The window of the lines without their text; only the text's width is left to find.
  WindowSize frame = steps::SizeOf(0, lineCount, input);
  if (extras.faceSheet != nullptr) {
    frame.width += face::kShift;
    frame.height = std::max(frame.height, face::kMinHeight + 2 * input.padRound);
  }
  if (frame.height <= 0) return;  // a window without height, refused when composed
  steps::RequireWindowFits(frame.width, frame.height);
  // A text of this width or less leaves the window within the limit.
  const std::int64_t widest = kMaxBitmapPixels / frame.height - frame.width;
  std::optional<TTextRasterizer> local;
  const TTextRasterizer& font = steps::FontFor(input, local);
  for (std::size_t i = 0; i < lineCount; ++i) {
    const std::optional<std::string> line = lineAt(i);
    if (!line) return;
    const std::vector<std::string> one = {*line};
    const int width = extras.gameCodes ? steps::ParseGameText(one, extras.gameValues, font).maxWidth
                                       : steps::ParseAndMeasure(one, font).maxWidth;
    if (width > widest) steps::RequireWindowFits(frame.width + std::int64_t{width}, frame.height);
  }
}

}  // namespace pw
