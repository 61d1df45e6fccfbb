#include "compose/markup.h"

#include "toolkit/sjis.h"

namespace pw {

namespace {

using Chars = std::vector<std::string>;

bool CharIs(const Chars& t, std::size_t i, char c) { return i < t.size() && t[i].size() == 1 && t[i][0] == c; }

// The digit at t[i], or -1.
int DigitAt(const Chars& t, std::size_t i) {
  if (i >= t.size() || t[i].size() != 1 || t[i][0] < '0' || t[i][0] > '9') return -1;
  return t[i][0] - '0';
}

// "\C[n]" or "\c[n]" at i with n 0..19 written without leading zeros: the colour and the code's
// length in characters, or -1.
int MatchColourCode(const Chars& t, std::size_t i, std::size_t& length) {
  if (!CharIs(t, i, '\\') || !(CharIs(t, i + 1, 'c') || CharIs(t, i + 1, 'C')) || !CharIs(t, i + 2, '[')) return -1;
  const int first = DigitAt(t, i + 3);
  if (first < 0) return -1;
  const int second = DigitAt(t, i + 4);
  if (second < 0 || first == 0) {  // one digit, or a leading zero that only "0" itself may have
    if (!CharIs(t, i + 4, ']')) return -1;
    length = 5;
    return first;
  }
  const int n = first * 10 + second;
  if (n > 19 || !CharIs(t, i + 5, ']')) return -1;
  length = 6;
  return n;
}

// Glyph number of "$" followed by t[i + 1], or -1.
int MatchGlyphCode(const Chars& t, std::size_t i) {
  if (!CharIs(t, i, '$') || i + 1 >= t.size() || t[i + 1].size() != 1) return -1;
  const char c = t[i + 1][0];
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  return -1;
}

void AppendTwoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

}  // namespace

int ParsedLine::ColourAt(std::size_t k) const { return (ColourCodes[2 * k] - '0') * 10 + (ColourCodes[2 * k + 1] - '0'); }

int ParsedLine::GlyphAt(std::size_t k) const { return (GlyphCodes[2 * k] - '0') * 10 + (GlyphCodes[2 * k + 1] - '0'); }

ParsedLine ParseMarkupLine(std::string_view line, int& currentColour) {
  Chars t;
  for (std::string_view c : sjis::SplitCharacters(line)) t.emplace_back(c);

  ParsedLine out;
  // The text shrinks while it is scanned; a removed code makes the same position scanned again.
  for (std::size_t i = 0; i < t.size(); ++i) {
    int glyph = 0;
    bool fromGlyph = false;
    if (CharIs(t, i, '\\')) {
      std::size_t length = 0;
      const int colour = MatchColourCode(t, i, length);
      if (colour >= 0) {
        currentColour = colour;
        out.ColourCodeAt.push_back(out.FromGlyphCode.size());
        t.erase(t.begin() + static_cast<std::ptrdiff_t>(i), t.begin() + static_cast<std::ptrdiff_t>(i + length));
        --i;  // wraps for i == 0; the loop's increment brings it back
        continue;
      }
      if (CharIs(t, i + 1, '\\')) t.erase(t.begin() + static_cast<std::ptrdiff_t>(i));  // escaped backslash
    } else if (CharIs(t, i, '$')) {
      glyph = MatchGlyphCode(t, i);
      if (glyph >= 0) {
        t[i] = std::string(kGlyphPlaceholder);
        t.erase(t.begin() + static_cast<std::ptrdiff_t>(i + 1));
        fromGlyph = true;
      } else {
        glyph = 0;
        if (CharIs(t, i + 1, '$')) t.erase(t.begin() + static_cast<std::ptrdiff_t>(i));  // escaped dollar
      }
    }
    AppendTwoDigits(out.ColourCodes, currentColour);
    AppendTwoDigits(out.GlyphCodes, glyph);
    out.FromGlyphCode.push_back(fromGlyph);
  }
  for (const std::string& c : t) out.DisplayText += c;
  out.Characters = std::move(t);
  return out;
}

std::vector<std::string_view> SplitLineViews(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = last ? text.size() : end + 1;
  }
  return lines;
}

std::vector<std::string> SplitLines(std::string_view text) {
  const std::vector<std::string_view> views = SplitLineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

}  // namespace pw
