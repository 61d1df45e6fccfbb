#include "resources/tools/glyph_art.h"

#include <charconv>
#include <string>

namespace pw::resources {

std::string_view ArtFaultMessage(ArtFault fault) {
  switch (fault) {
    case ArtFault::kBadHeader: return "glyph header must read \"# NUMBER name\"";
    case ArtFault::kGlyphOutOfOrder: return "glyph number out of order";
    case ArtFault::kRowBeforeHeader: return "pixel row before the first glyph header";
    case ArtFault::kRowLength: return "pixel row must be 12 characters";
    case ArtFault::kBadCharacter: return "pixel row may hold only '#' and '.'";
    case ArtFault::kTooManyRows: return "glyph has more than 12 rows";
    case ArtFault::kTooFewRows: return "glyph has fewer than 12 rows";
    case ArtFault::kInkOutsideArea: return "ink in column 11 or row 11 of a glyph";
    case ArtFault::kEmptyGlyph: return "glyph has no ink";
    case ArtFault::kGlyphCount: return "the sheet needs exactly 52 glyphs";
  }
  return "unknown fault";
}

namespace {

std::string FaultText(ArtFault fault, int line) {
  std::string text = line > 0 ? "line " + std::to_string(line) + ": " : std::string();
  return text + std::string(ArtFaultMessage(fault));
}

// Reads "# N name"; returns N and stores the name.
int ParseHeader(std::string_view line, int line_number, std::string& name) {
  std::string_view rest = line.substr(2);
  int number = -1;
  auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
  if (error != std::errc() || end == rest.data()) throw ArtError(ArtFault::kBadHeader, line_number);
  std::string_view tail(end, rest.data() + rest.size() - end);
  if (!tail.empty() && tail.front() != ' ') throw ArtError(ArtFault::kBadHeader, line_number);
  while (!tail.empty() && tail.front() == ' ') tail.remove_prefix(1);
  name = std::string(tail);
  return number;
}

// Parses one pixel row of glyph `glyph` into the sheet at cell row `row`.
void ParseRow(std::string_view line, int line_number, int glyph, int row, GlyphSheet& sheet) {
  if (line.size() != kGlyphCell) throw ArtError(ArtFault::kRowLength, line_number);
  const int x0 = kGlyphCell * (glyph % kGlyphColumns);
  const int y = kGlyphCell * (glyph / kGlyphColumns) + row;
  for (int x = 0; x < kGlyphCell; ++x) {
    const char c = line[static_cast<std::size_t>(x)];
    if (c != '#' && c != '.') throw ArtError(ArtFault::kBadCharacter, line_number);
    if (c == '#' && (x >= kGlyphInkArea || row >= kGlyphInkArea)) {
      throw ArtError(ArtFault::kInkOutsideArea, line_number);
    }
    sheet.ink[static_cast<std::size_t>(y)][static_cast<std::size_t>(x0 + x)] = (c == '#');
  }
}

bool GlyphHasInk(const GlyphSheet& sheet, int glyph) {
  const int x0 = kGlyphCell * (glyph % kGlyphColumns);
  const int y0 = kGlyphCell * (glyph / kGlyphColumns);
  for (int y = y0; y < y0 + kGlyphCell; ++y) {
    for (int x = x0; x < x0 + kGlyphCell; ++x) {
      if (sheet.ink[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]) return true;
    }
  }
  return false;
}

// Closes the glyph that is being read: it must be complete and have ink.
void FinishGlyph(const GlyphSheet& sheet, int glyph, int rows, int header_line, int line_number) {
  if (glyph < 0) return;
  if (rows < kGlyphCell) throw ArtError(ArtFault::kTooFewRows, line_number);
  if (!GlyphHasInk(sheet, glyph)) throw ArtError(ArtFault::kEmptyGlyph, header_line);
}

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void PutU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  PutU16(out, at, value & 0xFFFF);
  PutU16(out, at + 2, value >> 16);
}

}  // namespace

ArtError::ArtError(ArtFault fault, int line)
    : std::runtime_error(FaultText(fault, line)), fault_(fault), line_(line) {}

GlyphSheet ParseGlyphArt(std::string_view text) {
  GlyphSheet sheet;
  int glyph = -1;
  int rows = 0;
  int header_line = 0;
  int line_number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == ';') continue;
    if (line.starts_with("# ")) {
      FinishGlyph(sheet, glyph, rows, header_line, line_number);
      std::string name;
      const int number = ParseHeader(line, line_number, name);
      if (number != glyph + 1 || number >= kGlyphCount) {
        throw ArtError(ArtFault::kGlyphOutOfOrder, line_number);
      }
      glyph = number;
      sheet.names[static_cast<std::size_t>(glyph)] = std::move(name);
      rows = 0;
      header_line = line_number;
      continue;
    }
    if (glyph < 0) throw ArtError(ArtFault::kRowBeforeHeader, line_number);
    if (rows == kGlyphCell) throw ArtError(ArtFault::kTooManyRows, line_number);
    ParseRow(line, line_number, glyph, rows, sheet);
    ++rows;
  }
  FinishGlyph(sheet, glyph, rows, header_line, line_number + 1);
  if (glyph != kGlyphCount - 1) throw ArtError(ArtFault::kGlyphCount, 0);
  return sheet;
}

std::vector<std::uint8_t> PackGlyphSheet(const GlyphSheet& sheet) {
  std::vector<std::uint8_t> out(kPackedSheetSize, 0);
  PutU32(out, 0, kDibInfoHeaderSize);
  PutU32(out, 4, kSheetWidth);
  PutU32(out, 8, kSheetHeight);            // positive: rows stored bottom-up
  PutU16(out, 12, 1);                      // planes
  PutU16(out, 14, 1);                      // bits per pixel
  PutU32(out, 16, 0);                      // no compression
  PutU32(out, 20, kDibImageSize);
  PutU32(out, 24, 0);                      // no resolution given
  PutU32(out, 28, 0);
  PutU32(out, 32, 2);                      // colours used
  PutU32(out, 36, 0);                      // all colours important
  PutU32(out, 40, 0x00000000);             // entry 0: black (B, G, R, reserved)
  PutU32(out, 44, 0x00FFFFFF);             // entry 1: white
  for (int y = 0; y < kSheetHeight; ++y) {
    const std::size_t row = kDibBitsOffset + kDibRowBytes * static_cast<std::size_t>(kSheetHeight - 1 - y);
    for (std::size_t x = 0; x < kDibRowBytes * 8; ++x) {
      const bool ink = x < kSheetWidth && sheet.ink[static_cast<std::size_t>(y)][x];
      if (!ink) out[row + x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    }
  }
  return out;
}

}  // namespace pw::resources
