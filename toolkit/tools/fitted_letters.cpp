#include "toolkit/tools/fitted_letters.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "toolkit/world_glyphs.h"

namespace pw::fitting {
namespace {

using Row = std::uint16_t;

// The built-in heights in the 12-row cell: x-height top, last row above the baseline (capitals
// start at row 1).
constexpr int kXTop = 3;
constexpr int kLastRow = 9;
constexpr int kBaseline = kLastRow + 1;  // as FreeType places it: ink ends on the row above

// The 6x13 font is drawn into a taller cell so that the marks above its capitals stay whole; its
// rows sit kShift rows lower than in the 12-row cell.
constexpr int kTall = 16;
constexpr int kShift = 3;
constexpr int kTallXTop = kXTop + kShift + 1;  // its x-height is one row less
constexpr int kHalfWidth = 6;
using TallRows = std::array<Row, kTall>;

struct Range {
  char32_t first;
  char32_t last;
};
constexpr Range kLowerCase[] = {
#include "toolkit/tools/lower_case.inc"
};

struct ComposePair {
  char32_t letter;
  char32_t mark;
  char32_t composed;
};
constexpr ComposePair kComposePairs[] = {
#include "toolkit/compose_pairs.inc"
};

// Letters of other scripts drawn as the built-in letters they look like.
constexpr std::pair<char32_t, char32_t> kLookAlikes[] = {
    {0x110, 0xD0},   // Đ as Ð
    {0x391, 'A'}, {0x392, 'B'}, {0x395, 'E'}, {0x396, 'Z'}, {0x397, 'H'}, {0x399, 'I'}, {0x39A, 'K'},
    {0x39C, 'M'}, {0x39D, 'N'}, {0x39F, 'O'}, {0x3A1, 'P'}, {0x3A4, 'T'}, {0x3A5, 'Y'}, {0x3A7, 'X'},
    {0x3BF, 'o'},
    {0x405, 'S'}, {0x406, 'I'}, {0x408, 'J'}, {0x410, 'A'}, {0x412, 'B'}, {0x415, 'E'}, {0x41A, 'K'},
    {0x41C, 'M'}, {0x41D, 'H'}, {0x41E, 'O'}, {0x420, 'P'}, {0x421, 'C'}, {0x422, 'T'}, {0x425, 'X'},
    {0x430, 'a'}, {0x435, 'e'}, {0x43E, 'o'}, {0x440, 'p'}, {0x441, 'c'}, {0x443, 'y'}, {0x445, 'x'},
    {0x455, 's'}, {0x456, 'i'}, {0x458, 'j'}, {0x51A, 'Q'}, {0x51B, 'q'}, {0x51C, 'W'}, {0x51D, 'w'},
};

// Letters drawn as a built-in letter with the stroke of the 6x13 font's glyph laid over it.
constexpr std::pair<char32_t, char32_t> kStroked[] = {
    {0x126, 'H'}, {0x127, 'h'}, {0x141, 'L'}, {0x142, 'l'}, {0x166, 'T'}, {0x167, 't'}, {0x111, 'd'},
    {0x180, 'b'}, {0x197, 'I'}, {0x1B5, 'Z'}, {0x1B6, 'z'}, {0x1E4, 'G'}, {0x1E5, 'g'}, {0x268, 'i'},
};

// Letters without dot, and the letters that lose their dot under a mark.
constexpr std::pair<char32_t, char32_t> kDotless[] = {{0x131, 'i'}, {0x237, 'j'}};
constexpr char32_t kSoftDotted[] = {'i', 'j', 0x456, 0x458};

constexpr char32_t kHorn = 0x31B;
constexpr char32_t kCaron = 0x30C;
constexpr char32_t kRing = 0x30A;
constexpr char32_t kApostropheCaron[] = {'d', 'l', 't', 'L'};
// Reference letters whose 6x13 forms with marks give the marks' ink.
constexpr char32_t kMarkReferences[] = {'a', 'e', 'o', 'u', 'c', 'y', 'n'};

bool IsLower(char32_t c) {
  const auto after = std::upper_bound(std::begin(kLowerCase), std::end(kLowerCase), c,
                                      [](char32_t code, const Range& r) { return code < r.first; });
  return after != std::begin(kLowerCase) && c <= std::prev(after)->last;
}

bool IsBelowMark(char32_t mark) {
  return (mark >= 0x316 && mark <= 0x319) || (mark >= 0x31C && mark <= 0x333) || (mark >= 0x339 && mark <= 0x33C);
}

template <typename Table>
std::optional<char32_t> Lookup(const Table& table, char32_t c) {
  for (const auto& [from, to] : table) {
    if (from == c) return to;
  }
  return std::nullopt;
}

char32_t ComposeTwo(char32_t letter, char32_t mark) {
  for (const ComposePair& p : kComposePairs) {
    if (p.letter == letter && p.mark == mark) return p.composed;
  }
  return 0;
}

// The canonical decomposition of c into a base letter and its marks; no marks when it has none.
std::pair<char32_t, std::vector<char32_t>> Decompose(char32_t c) {
  std::vector<char32_t> marks;
  for (bool more = true; more;) {
    more = false;
    for (const ComposePair& p : kComposePairs) {
      if (p.composed != c) continue;
      marks.insert(marks.begin(), p.mark);
      c = p.letter;
      more = true;
      break;
    }
  }
  return {c, marks};
}

template <typename Rows>
int TopRow(const Rows& rows) {
  for (std::size_t y = 0; y < rows.size(); ++y) {
    if (rows[y]) return static_cast<int>(y);
  }
  return -1;
}

template <typename Rows>
int BottomRow(const Rows& rows) {
  for (std::size_t y = rows.size(); y-- > 0;) {
    if (rows[y]) return static_cast<int>(y);
  }
  return -1;
}

// The row whose doubling or removal changes the look least: one of a run of equal rows (a
// straight stem), the longest run first; else a row much like its neighbours; rows near the
// middle before rows at the ends.
std::size_t LeastVisibleRow(const std::vector<Row>& rows) {
  const int n = static_cast<int>(rows.size());
  std::size_t best = 0;
  int bestCost = 0;
  for (int i = 0; i < n; ++i) {
    int run = 1;
    for (int j = i - 1; j >= 0 && rows[j] == rows[i]; --j) ++run;
    for (int j = i + 1; j < n && rows[j] == rows[i]; ++j) ++run;
    int change = 9;
    if (i > 0) change = std::min(change, std::popcount(static_cast<unsigned>(rows[i] ^ rows[i - 1])));
    if (i + 1 < n) change = std::min(change, std::popcount(static_cast<unsigned>(rows[i] ^ rows[i + 1])));
    const int cost = 2 * ((run > 1 ? 0 : 100) - 10 * run + 3 * change + std::popcount(unsigned{rows[i]})) +
                     std::abs(2 * i - (n - 1));
    if (i == 0 || cost < bestCost) {
      best = static_cast<std::size_t>(i);
      bestCost = cost;
    }
  }
  return best;
}

// rows made n rows tall by doubling or dropping the least visible rows one at a time.
std::vector<Row> Resized(std::vector<Row> rows, std::size_t n) {
  while (!rows.empty() && rows.size() < n) {
    const std::size_t i = LeastVisibleRow(rows);
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i), rows[i]);
  }
  while (rows.size() > n) rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(LeastVisibleRow(rows)));
  rows.resize(n);
  return rows;
}

template <typename Rows>
std::vector<Row> Slice(const Rows& rows, int first, int last) {
  return {rows.begin() + first, rows.begin() + last + 1};
}

void Put(Glyph& glyph, int first, const std::vector<Row>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int y = first + static_cast<int>(i);
    if (y >= 0 && y < kGlyphCell) glyph.rows[static_cast<std::size_t>(y)] = rows[i];
  }
}

std::optional<TallRows> RenderTall(const TFreeTypeFace& face, char32_t c) {
  TallRows rows{};
  if (!face.RenderRows(c, kBaseline + kShift, rows)) return std::nullopt;
  return rows;
}

Glyph HalfWidth() {
  Glyph glyph;
  glyph.advance = kHalfWidth;
  return glyph;
}

// The marks' ink: rows above the reference letter (trimmed of empty rows) and rows below its
// baseline (placed as they are).
struct Marks {
  std::vector<Row> above;
  std::array<Row, kGlyphCell> below{};
};

// The marks as the 6x13 font sets them on a reference letter, or nullopt when it has no letter
// with exactly these marks.
std::optional<Marks> MarksOf(const TFreeTypeFace& fixed13, const std::vector<char32_t>& above,
                             const std::vector<char32_t>& below) {
  for (const char32_t reference : kMarkReferences) {
    char32_t composed = reference;
    for (const char32_t mark : below) composed = composed ? ComposeTwo(composed, mark) : 0;
    for (const char32_t mark : above) composed = composed ? ComposeTwo(composed, mark) : 0;
    if (!composed) continue;
    const auto marked = RenderTall(fixed13, composed);
    const auto plain = RenderTall(fixed13, reference);
    if (!marked || !plain) continue;
    Marks marks;
    const int top = TopRow(*plain);
    const int bottom = BottomRow(*plain);
    for (int y = 0; y < top; ++y) marks.above.push_back(static_cast<Row>((*marked)[y] & ~(*plain)[y]));
    while (!marks.above.empty() && !marks.above.front()) marks.above.erase(marks.above.begin());
    while (!marks.above.empty() && !marks.above.back()) marks.above.pop_back();
    for (int y = bottom + 1; y < kTall; ++y) {
      if (y - kShift < kGlyphCell) marks.below[static_cast<std::size_t>(y - kShift)] = (*marked)[y] & ~(*plain)[y];
    }
    if (above.empty() != marks.above.empty()) continue;
    return marks;
  }
  return std::nullopt;
}

// Sets marks above a letter. Over an x-height letter they keep a row of space where they leave
// room; over a capital (or any letter reaching the capital height) the letter is shortened from
// the top as the built-in accented capitals are, keeping one row of space under a one-row mark.
// A mark is at most two rows over a capital and three over an x-height letter, a ring or two
// marks (a tone beside or over a circumflex) one more, for which an x-height letter is shortened.
void SetAbove(Glyph& glyph, std::vector<Row> mark, bool capital, bool tall) {
  const std::size_t most = (capital ? 2 : 3) + (tall ? 1 : 0);
  if (mark.size() > most) mark = Resized(std::move(mark), most);
  const int height = static_cast<int>(mark.size());
  const int top = TopRow(glyph.rows);
  if (!capital && height < top) {
    Put(glyph, top - height - (height + 1 <= top ? 1 : 0), mark);
    return;
  }
  const int newTop = std::max(top, height + (capital && height == 1 ? 1 : 0));
  if (newTop > top) {
    const auto body = Resized(Slice(glyph.rows, top, kLastRow), static_cast<std::size_t>(kLastRow + 1 - newTop));
    std::fill_n(glyph.rows.begin(), newTop, Row{0});
    Put(glyph, newTop, body);
  }
  Put(glyph, newTop - height - (capital && height == 1 ? 1 : 0), mark);
}

// The caron of ď, ľ, ť and Ľ, drawn as an apostrophe beside the stem as these letters are
// written: two rows of ink two columns right of the letter's top (one, at the cell's edge),
// raised a row where it would touch the letter below it or beside it.
void SetApostrophe(Glyph& glyph) {
  const int top = TopRow(glyph.rows);
  const auto row = [&](int y) { return unsigned{glyph.rows[static_cast<std::size_t>(y)]}; };
  const int right = std::bit_width(row(top)) - 1;
  const int x = std::min(right + 2, kHalfWidth - 1);
  const bool touches = (row(top + 2) >> x & 1) || x == right + 1;
  const int first = touches ? top - 1 : top;
  for (int y = first; y < first + 2; ++y) glyph.rows[static_cast<std::size_t>(y)] |= static_cast<Row>(1u << x);
}

}  // namespace

bool AtBuiltInHeights(char32_t c) { return world::IsInternationalLetter(c) || (c >= 0x1F00 && c <= 0x1FFF); }

TFittedLetters::TFittedLetters(const TFreeTypeFace& builtIn, const TFreeTypeFace& fixed13)
    : builtIn_(builtIn), fixed13_(fixed13) {}

std::optional<Glyph> TFittedLetters::Find(char32_t c) {
  if (const auto it = found_.find(c); it != found_.end()) return it->second;
  std::optional<Glyph> glyph;
  if (c < 0x80) {
    glyph = HalfWidth();
    builtIn_.RenderAt(c, kBaseline, *glyph);
    glyph->advance = kHalfWidth;
  } else if (const auto alike = Lookup(kLookAlikes, c)) {
    glyph = Find(*alike);
  } else if (const auto dotted = Lookup(kDotless, c)) {
    glyph = Find(*dotted);
    if (glyph) std::fill_n(glyph->rows.begin(), kXTop, Row{0});
  } else {
    glyph = Compose(c);
    if (!glyph) glyph = Stroked(c);
    if (!glyph && c <= 0xFF && builtIn_.Holds(c)) {
      glyph = HalfWidth();
      builtIn_.RenderAt(c, kBaseline, *glyph);
      glyph->advance = kHalfWidth;
    }
    if (!glyph) glyph = Fitted(c);
  }
  found_.emplace(c, glyph);
  return glyph;
}

// A letter that Unicode decomposes, from its base letter and the 6x13 font's marks. Letters with
// a horn keep it as part of the base (ơ, ư); letters reaching above the x-height that are not
// capitals (ď, ĺ) and letters with a descender under a mark (ģ) keep the 6x13 font's design.
std::optional<Glyph> TFittedLetters::Compose(char32_t c) {
  auto [base, marks] = Decompose(c);
  if (const auto horn = std::find(marks.begin(), marks.end(), kHorn); horn != marks.end()) {
    base = ComposeTwo(base, kHorn);
    marks.erase(horn);
  }
  if (marks.empty() || base == 0 || base == c) return std::nullopt;
  std::vector<char32_t> above;
  std::vector<char32_t> below;
  for (const char32_t mark : marks) (IsBelowMark(mark) ? below : above).push_back(mark);
  const auto ink = MarksOf(fixed13_, above, below);
  auto glyph = Find(base);
  if (!ink || !glyph) return std::nullopt;
  if (!above.empty() && std::find(std::begin(kSoftDotted), std::end(kSoftDotted), base) != std::end(kSoftDotted)) {
    std::fill_n(glyph->rows.begin(), kXTop, Row{0});
  }
  const int top = TopRow(glyph->rows);
  if (top < 0) return std::nullopt;
  const bool xHeight = top >= kXTop;
  const bool apostrophe = above == std::vector{kCaron} &&
                          std::find(std::begin(kApostropheCaron), std::end(kApostropheCaron), base) != std::end(kApostropheCaron);
  if (apostrophe) {
    SetApostrophe(*glyph);
  } else if (!above.empty()) {
    if (!xHeight && IsLower(base)) return std::nullopt;
    const bool tall = above.size() > 1 || (above.size() == 1 && above[0] == kRing);
    SetAbove(*glyph, ink->above, !xHeight, tall);
  }
  if (!below.empty()) {
    if (BottomRow(glyph->rows) > kLastRow) return std::nullopt;
    for (int y = kLastRow + 1; y < kGlyphCell; ++y) glyph->rows[static_cast<std::size_t>(y)] |= ink->below[static_cast<std::size_t>(y)];
  }
  return glyph;
}

// A built-in letter with the pixels the 6x13 font adds to it for this letter, where its glyph
// is the plain letter's plus a stroke.
std::optional<Glyph> TFittedLetters::Stroked(char32_t c) {
  const auto base = Lookup(kStroked, c);
  if (!base) return std::nullopt;
  const auto stroked = RenderTall(fixed13_, c);
  const auto plain = RenderTall(fixed13_, *base);
  auto glyph = Find(*base);
  if (!stroked || !plain || !glyph) return std::nullopt;
  for (int y = 0; y < kTall; ++y) {
    const Row extra = static_cast<Row>((*stroked)[y] & ~(*plain)[y]);
    if (((*stroked)[y] & (*plain)[y]) != (*plain)[y]) return std::nullopt;
    if (!extra) continue;
    if (y < kShift || y - kShift >= kGlyphCell) return std::nullopt;
    glyph->rows[static_cast<std::size_t>(y - kShift)] |= extra;
  }
  return glyph;
}

// The 6x13 font's glyph on the built-in baseline. Capitals and other characters keep their rows
// (squeezed only when ink would pass the top of the cell); lower-case letters gain a row of
// x-height and give a row of what stands above it.
std::optional<Glyph> TFittedLetters::Fitted(char32_t c) const {
  const auto tall = RenderTall(fixed13_, c);
  if (!tall) return std::nullopt;
  Glyph glyph = HalfWidth();
  const int top = TopRow(*tall);
  if (top < 0) return glyph;
  if (IsLower(c)) {
    Put(glyph, kXTop, Resized(Slice(*tall, kTallXTop, kLastRow + kShift), kLastRow + 1 - kXTop));
    const int upper = std::min(top, kShift);
    if (upper < kTallXTop) Put(glyph, 0, Resized(Slice(*tall, upper, kTallXTop - 1), kXTop));
  } else if (top < kShift) {
    Put(glyph, 0, Resized(Slice(*tall, top, kLastRow + kShift), kLastRow + 1));
  } else {
    Put(glyph, 0, Slice(*tall, kShift, kLastRow + kShift));
  }
  Put(glyph, kLastRow + 1, Slice(*tall, kLastRow + kShift + 1, kTall - 1));
  return glyph;
}

}  // namespace pw::fitting
