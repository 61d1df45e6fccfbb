// The embedded glyph sheet and sample skins, and the art parser that builds the sheet.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "resources/tools/glyph_art.h"

namespace pw::resources {
namespace {

std::uint32_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

// Reads a pixel of the packed sheet straight from its bytes: rows bottom-up, 20 bytes each, most
// significant bit leftmost; the colour table says bit 0 is black, i.e. ink.
bool SheetInk(std::span<const std::uint8_t> dib, int x, int y) {
  const std::size_t row = 48 + 20 * static_cast<std::size_t>(47 - y);
  return ((dib[row + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1) == 0;
}

// ---------------------------------------------------------------------------------------------
// The embedded sheet

TEST(Gaizi01, IsTheExact1008ByteDib) {
  const auto dib = Gaizi01();
  ASSERT_EQ(dib.size(), 1008u);
  ASSERT_EQ(dib.size(), kGaizi01Size);
  struct Field { const char* name; std::size_t offset; int size; std::uint32_t value; };
  const Field fields[] = {
      {"biSize", 0, 4, 40},         {"biWidth", 4, 4, 156},      {"biHeight", 8, 4, 48},
      {"biPlanes", 12, 2, 1},       {"biBitCount", 14, 2, 1},    {"biCompression", 16, 4, 0},
      {"biSizeImage", 20, 4, 960},  {"biXPelsPerMeter", 24, 4, 0}, {"biYPelsPerMeter", 28, 4, 0},
      {"biClrUsed", 32, 4, 2},      {"biClrImportant", 36, 4, 0},
  };
  for (const Field& f : fields) {
    EXPECT_EQ(f.size == 2 ? U16(dib, f.offset) : U32(dib, f.offset), f.value) << f.name;
  }
  // Colour table: entry 0 black, entry 1 white, as B, G, R, reserved.
  const std::vector<std::uint8_t> table(dib.begin() + 40, dib.begin() + 48);
  EXPECT_EQ(table, (std::vector<std::uint8_t>{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
}

TEST(Gaizi01, EveryCellHasInkOnlyInItsTopLeft11x11) {
  const auto dib = Gaizi01();
  ASSERT_EQ(dib.size(), 1008u);
  for (int n = 0; n < 52; ++n) {
    const int x0 = 12 * (n % 13), y0 = 12 * (n / 13);
    int ink = 0;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 12; ++x) {
        if (!SheetInk(dib, x0 + x, y0 + y)) continue;
        ++ink;
        EXPECT_TRUE(x < 11 && y < 11) << "glyph " << n << " has ink at (" << x << ", " << y << ")";
      }
    }
    EXPECT_GT(ink, 0) << "glyph " << n << " is empty";
  }
}

TEST(Gaizi01, UnusedBitsAtTheRowEndsArePaper) {
  const auto dib = Gaizi01();
  ASSERT_EQ(dib.size(), 1008u);
  for (int row = 0; row < 48; ++row) {
    EXPECT_EQ(dib[48 + 20 * static_cast<std::size_t>(row) + 19] & 0x0F, 0x0F) << "row " << row;
  }
}

TEST(Gaizi01, MatchesTheArtFile) {
  std::ifstream in("resources/gaizi01.txt", std::ios::binary);
  ASSERT_TRUE(in) << "run from the project root";
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const GlyphSheet sheet = ParseGlyphArt(text);
  const auto dib = Gaizi01();
  ASSERT_EQ(dib.size(), 1008u);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 156; ++x) {
      ASSERT_EQ(SheetInk(dib, x, y), sheet.ink[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)])
          << "pixel (" << x << ", " << y << ")";
    }
  }
  EXPECT_EQ(sheet.names[0], "sword");
  EXPECT_EQ(sheet.names[51], "arrow up-left");
}

// ---------------------------------------------------------------------------------------------
// The art parser and packer

// A valid sheet text in which glyph n has one ink pixel at (n mod 11, n div 11 mod 11).
std::vector<std::string> ValidArtLines() {
  std::vector<std::string> lines{"; test sheet", ""};
  for (int n = 0; n < 52; ++n) {
    lines.push_back("# " + std::to_string(n) + " glyph" + std::to_string(n));
    for (int y = 0; y < 12; ++y) {
      std::string row(12, '.');
      if (y == (n / 11) % 11) row[static_cast<std::size_t>(n % 11)] = '#';
      lines.push_back(row);
    }
  }
  return lines;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Line index (0-based) of row `row` of glyph `n` in ValidArtLines().
std::size_t RowLine(int n, int row) { return 2 + 13 * static_cast<std::size_t>(n) + 1 + static_cast<std::size_t>(row); }

TEST(GlyphArt, PacksKnownPixelsAtWorkedOutBytes) {
  const GlyphSheet sheet = ParseGlyphArt(Join(ValidArtLines()));
  const std::vector<std::uint8_t> dib = PackGlyphSheet(sheet);
  ASSERT_EQ(dib.size(), 1008u);
  // Glyph 0's pixel (0, 0) is sheet pixel (0, 0): the top row, stored last, first byte, top bit.
  EXPECT_EQ(dib[48 + 47 * 20 + 0], 0x7F);
  // Glyph 1's pixel (1, 0) is sheet pixel (13, 0): byte 1, bit 5 from the top.
  EXPECT_EQ(dib[48 + 47 * 20 + 1], 0xFB);
  // Glyph 51's pixel (7, 4) is sheet pixel (151, 40): row 40 stored at index 7, byte 18, bit 7-7.
  EXPECT_EQ(dib[48 + 7 * 20 + 18], 0xFE);
  // A row without ink is all paper, including the four unused bits.
  EXPECT_EQ(dib[48 + 0 * 20 + 19], 0xFF);
  EXPECT_TRUE(std::all_of(dib.begin() + 48, dib.begin() + 68, [](std::uint8_t b) { return b == 0xFF; }));
}

TEST(GlyphArt, RoundTripsThroughThePackedBits) {
  const GlyphSheet sheet = ParseGlyphArt(Join(ValidArtLines()));
  const std::vector<std::uint8_t> dib = PackGlyphSheet(sheet);
  int ink = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 156; ++x) {
      EXPECT_EQ(SheetInk(dib, x, y), sheet.ink[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
      ink += SheetInk(dib, x, y) ? 1 : 0;
    }
  }
  EXPECT_EQ(ink, 52);
}

TEST(GlyphArt, AcceptsCrLfLineEnds) {
  std::string text;
  for (const std::string& line : ValidArtLines()) text += line + "\r\n";
  EXPECT_EQ(ParseGlyphArt(text).ink, ParseGlyphArt(Join(ValidArtLines())).ink);
}

TEST(GlyphArt, RejectsMalformedArt) {
  struct Case {
    const char* what;
    std::size_t line;   // 0-based index into ValidArtLines()
    std::string replacement;
    bool erase;
    ArtFault fault;
  };
  const Case cases[] = {
      {"ink in column 11", RowLine(3, 2), "...........#", false, ArtFault::kInkOutsideArea},
      {"ink in row 11", RowLine(40, 11), "#...........", false, ArtFault::kInkOutsideArea},
      {"short row", RowLine(5, 5), "...........", false, ArtFault::kRowLength},
      {"long row", RowLine(5, 5), ".............", false, ArtFault::kRowLength},
      {"stray character", RowLine(7, 0), "....x.......", false, ArtFault::kBadCharacter},
      {"missing row", RowLine(9, 11), "", true, ArtFault::kTooFewRows},
      {"extra row", RowLine(9, 11), "............\n............", false, ArtFault::kTooManyRows},
      {"header out of order", RowLine(12, 0) - 1, "# 13 x", false, ArtFault::kGlyphOutOfOrder},
      {"header without number", RowLine(12, 0) - 1, "# twelve", false, ArtFault::kBadHeader},
      {"header with junk after number", RowLine(12, 0) - 1, "# 12x", false, ArtFault::kBadHeader},
      {"row before any header", 0, "............", false, ArtFault::kRowBeforeHeader},
      {"empty glyph", RowLine(0, 0), "............", false, ArtFault::kEmptyGlyph},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = ValidArtLines();
    if (c.erase) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(c.line));
    } else {
      lines[c.line] = c.replacement;
    }
    try {
      ParseGlyphArt(Join(lines));
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ArtError& e) {
      EXPECT_EQ(e.fault(), c.fault) << c.what << ": " << e.what();
    }
  }
}

TEST(GlyphArt, RejectsWrongGlyphCount) {
  std::vector<std::string> lines = ValidArtLines();
  lines.resize(RowLine(51, 0) - 1);  // drop glyph 51
  EXPECT_THROW(ParseGlyphArt(Join(lines)), ArtError);
  lines = ValidArtLines();
  lines.push_back("# 52 extra");
  EXPECT_THROW(ParseGlyphArt(Join(lines)), ArtError);
  EXPECT_THROW(ParseGlyphArt(""), ArtError);
}

TEST(GlyphArt, ErrorNamesTheLine) {
  std::vector<std::string> lines = ValidArtLines();
  lines[RowLine(2, 3)] = "...........#";
  try {
    ParseGlyphArt(Join(lines));
    FAIL() << "accepted";
  } catch (const ArtError& e) {
    EXPECT_EQ(e.line(), static_cast<int>(RowLine(2, 3)) + 1);
    EXPECT_NE(std::string(e.what()).find("line " + std::to_string(e.line()) + ":"), std::string::npos);
  }
}

// ---------------------------------------------------------------------------------------------
// Sample skins

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
  int Luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

// Pixel (x, y), top-down, of a 160x80 24-bit bottom-up BMP file.
Rgb SkinPixel(std::span<const std::uint8_t> bmp, int x, int y) {
  const std::size_t at = 54 + 480 * static_cast<std::size_t>(79 - y) + 3 * static_cast<std::size_t>(x);
  return {bmp[at + 2], bmp[at + 1], bmp[at]};
}

std::uint32_t BigEndian32(std::span<const std::uint8_t> b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

TEST(SampleSkins, AreListedAndFoundByName) {
  const auto skins = SampleSkins();
  ASSERT_GE(skins.size(), 2u);
  std::set<std::string_view> names;
  for (const SampleSkin& skin : skins) {
    EXPECT_TRUE(names.insert(skin.name).second) << "duplicate " << skin.name;
    EXPECT_EQ(FindSampleSkin(skin.name), &skin);
  }
  EXPECT_EQ(FindSampleSkin(""), nullptr);
  EXPECT_EQ(FindSampleSkin("no such skin"), nullptr);
}

TEST(SampleSkins, BmpIs160x80At24BitsBottomUp) {
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    const auto bmp = skin.bmp;
    ASSERT_EQ(bmp.size(), 54u + 480u * 80u);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(U32(bmp, 2), bmp.size());   // bfSize
    EXPECT_EQ(U32(bmp, 10), 54u);         // bfOffBits
    EXPECT_EQ(U32(bmp, 14), 40u);         // biSize
    EXPECT_EQ(U32(bmp, 18), 160u);        // biWidth
    EXPECT_EQ(U32(bmp, 22), 80u);         // biHeight, positive: bottom-up
    EXPECT_EQ(U16(bmp, 26), 1u);          // biPlanes
    EXPECT_EQ(U16(bmp, 28), 24u);         // biBitCount
    EXPECT_EQ(U32(bmp, 30), 0u);          // biCompression
  }
}

TEST(SampleSkins, PngHeaderIs160x80EightBitNonInterlaced) {
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    const auto png = skin.png;
    ASSERT_GE(png.size(), 33u);
    const std::vector<std::uint8_t> signature(png.begin(), png.begin() + 8);
    EXPECT_EQ(signature, (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(BigEndian32(png, 8), 13u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(BigEndian32(png, 16), 160u);
    EXPECT_EQ(BigEndian32(png, 20), 80u);
    EXPECT_EQ(png[24], 8);                                  // bit depth
    EXPECT_TRUE(png[25] == 2 || png[25] == 3) << int(png[25]);  // RGB or palette
    EXPECT_EQ(png[28], 0);                                  // not interlaced
  }
}

TEST(SampleSkins, SwatchesShadeFromTopToBottom) {
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    ASSERT_EQ(skin.bmp.size(), 54u + 480u * 80u);
    std::set<std::uint32_t> tops;
    for (int n = 0; n < 20; ++n) {
      const int x0 = 16 * (n % 10), y0 = 48 + 16 * (n / 10);
      const Rgb top = SkinPixel(skin.bmp, x0 + 8, y0);
      EXPECT_FALSE(top == SkinPixel(skin.bmp, x0 + 8, y0 + 15)) << "swatch " << n;
      tops.insert((top.r << 16) | (top.g << 8) | top.b);
      for (int x = 0; x < 16; ++x) {  // each row is one colour
        EXPECT_EQ(SkinPixel(skin.bmp, x0 + x, y0 + 9), SkinPixel(skin.bmp, x0, y0 + 9)) << "swatch " << n;
      }
    }
    EXPECT_GE(tops.size(), 18u) << "swatches should have distinct hues";
  }
}

TEST(SampleSkins, ShadowIsVisibleAndUnlikeTextColourZero) {
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    ASSERT_EQ(skin.bmp.size(), 54u + 480u * 80u);
    const Rgb shadow = SkinPixel(skin.bmp, 16, 32);
    // Black would equal the start-up transparent colour and switch the shadow off.
    EXPECT_FALSE(shadow == (Rgb{0, 0, 0}));
    int text_luma = 0, wall_luma = 0;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 12; ++x) {
        const Rgb text = SkinPixel(skin.bmp, 2 + x, 52 + y);  // where colour 0 is sampled
        EXPECT_FALSE(text == shadow);
        text_luma += text.Luma();
      }
    }
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) wall_luma += SkinPixel(skin.bmp, x, y).Luma();
    }
    // Colour 0 is a light text colour that stands out from the wallpaper.
    EXPECT_GT(text_luma / 144, wall_luma / 1024 + 80);
  }
}

// Pieces of the frame block as (x, y) origins, with their sizes.
struct Piece { const char* name; int x, y, w, h; };
constexpr Piece kCorners[] = {{"top-left", 32, 0, 8, 8}, {"top-right", 56, 0, 8, 8},
                              {"bottom-left", 32, 24, 8, 8}, {"bottom-right", 56, 24, 8, 8}};
constexpr Piece kEdges[] = {{"top", 40, 0, 16, 8}, {"bottom", 40, 24, 16, 8},
                            {"left", 32, 8, 8, 16}, {"right", 56, 8, 8, 16}};

TEST(SampleSkins, CornersDifferFromEdgesAndEdgesShowTheirPeriod) {
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    ASSERT_EQ(skin.bmp.size(), 54u + 480u * 80u);
    for (const Piece& corner : kCorners) {
      // Compare each corner with the first 8x8 of the edges next to it.
      for (const Piece& edge : kEdges) {
        bool differs = false;
        for (int y = 0; y < 8; ++y) {
          for (int x = 0; x < 8; ++x) {
            differs |= !(SkinPixel(skin.bmp, corner.x + x, corner.y + y) == SkinPixel(skin.bmp, edge.x + x, edge.y + y));
          }
        }
        EXPECT_TRUE(differs) << corner.name << " corner looks like the " << edge.name << " edge";
      }
    }
    for (const Piece& edge : kEdges) {
      // Along its length an edge piece must not be uniform, or a phase error would not show.
      const bool horizontal = edge.w == 16;
      bool varies = false;
      for (int t = 1; t < 16; ++t) {
        for (int d = 0; d < 8; ++d) {
          const Rgb a = horizontal ? SkinPixel(skin.bmp, edge.x, edge.y + d) : SkinPixel(skin.bmp, edge.x + d, edge.y);
          const Rgb b = horizontal ? SkinPixel(skin.bmp, edge.x + t, edge.y + d) : SkinPixel(skin.bmp, edge.x + d, edge.y + t);
          varies |= !(a == b);
        }
      }
      EXPECT_TRUE(varies) << edge.name << " edge";
    }
  }
}

TEST(SampleSkins, KeyColourAppearsOnlyInTheFrame) {
  const Rgb key{0xFF, 0x00, 0xFF};
  int skins_with_key = 0;
  for (const SampleSkin& skin : SampleSkins()) {
    SCOPED_TRACE(std::string(skin.name));
    ASSERT_EQ(skin.bmp.size(), 54u + 480u * 80u);
    bool in_frame = false, elsewhere = false;
    for (int y = 0; y < 80; ++y) {
      for (int x = 0; x < 160; ++x) {
        if (!(SkinPixel(skin.bmp, x, y) == key)) continue;
        const bool arrow = x >= 40 && x < 56 && y >= 16 && y < 24;  // the pause arrow's block
        const bool frame = x >= 32 && x < 64 && y < 32 && (arrow || !(x >= 40 && x < 56 && y >= 8 && y < 24));
        (frame ? in_frame : elsewhere) = true;
      }
    }
    EXPECT_FALSE(elsewhere) << "picking the key colour would also hide wallpaper or text";
    skins_with_key += in_frame ? 1 : 0;
  }
  EXPECT_GE(skins_with_key, 1);
}

}  // namespace
}  // namespace pw::resources
