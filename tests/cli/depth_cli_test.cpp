// Colour-depth changes of panelwright-cli: the shared helper on bitmaps, and convert and
// compose --depth run as a program, checked in the BMP files they write.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "io/depth.h"
#include "tests/cli/cli_fixture.h"
#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

// A 24-bit bitmap of one row holding the given colours.
TBitmap Row24(const std::vector<TColor>& colours) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(static_cast<int>(colours.size()), 1);
  for (std::size_t x = 0; x < colours.size(); ++x) b.SetPixelColor(static_cast<int>(x), 0, colours[x]);
  return b;
}

std::set<TColor> DistinctColours(const TBitmap& b) {
  std::set<TColor> colours;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) colours.insert(b.GetPixelColor(x, y));
  return colours;
}

const std::vector<TColor> kColours = {RGB(255, 255, 255), RGB(255, 255, 254), RGB(200, 10, 10), RGB(10, 200, 10),
                                      RGB(10, 10, 200),   RGB(0, 0, 0),       RGB(255, 255, 255)};
// Five colours in different 5-6-5 cells: four levels of halving always set them apart, so
// every division keeps them as they are.
const std::vector<TColor> kDistinct = {RGB(255, 255, 255), RGB(200, 10, 10), RGB(10, 200, 10), RGB(10, 10, 200),
                                       RGB(0, 0, 0),       RGB(200, 10, 10), RGB(0, 0, 0)};

TEST(ReduceDepth, OneBitKeepsOnlyPureWhite) {
  TBitmap b = Row24(kColours);
  io::ReduceDepth(b, qvPf1Bit, false);
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf1bit);
  ASSERT_EQ(b.GetPalette().size(), 2u);
  for (std::size_t x = 0; x < kColours.size(); ++x)
    EXPECT_EQ(b.GetPixelColor(static_cast<int>(x), 0), kColours[x] == clWhite ? clWhite : clBlack) << x;
}

TEST(ReduceDepth, FewColoursSurviveFourAndEightBitsExactly) {
  struct Case {
    TQvPixelFormat depth;
    bool high;
    TPixelFormat expected;
  };
  for (const Case c : {Case{qvPf8Bit, false, TPixelFormat::pf8bit}, Case{qvPf8Bit, true, TPixelFormat::pf8bit},
                       Case{qvPf4Bit, false, TPixelFormat::pf4bit}, Case{qvPf4Bit, true, TPixelFormat::pf4bit}}) {
    TBitmap b = Row24(kDistinct);
    io::ReduceDepth(b, c.depth, c.high);
    EXPECT_EQ(b.GetPixelFormat(), c.expected);
    for (std::size_t x = 0; x < kDistinct.size(); ++x) EXPECT_EQ(b.GetPixelColor(static_cast<int>(x), 0), kDistinct[x]) << x;
  }
}

TEST(ReduceDepth, HighKeepsApartWhatLowMergesInOneCell) {
  const std::vector<TColor> sameCell = {RGB(8, 4, 8), RGB(15, 7, 15), RGB(8, 4, 8), RGB(8, 4, 8)};
  TBitmap low = Row24(sameCell), high = Row24(sameCell);
  io::ReduceDepth(low, qvPf8Bit, false);
  io::ReduceDepth(high, qvPf8Bit, true);
  EXPECT_EQ(DistinctColours(low), (std::set<TColor>{RGB(9, 4, 9)}));
  EXPECT_EQ(DistinctColours(high), (std::set<TColor>{RGB(8, 4, 8), RGB(15, 7, 15)}));
}

// ---------------------------------------------------------------------------------------------
// As a program.

class DepthCli : public clitest::CliTest {
 protected:
  // Exit status of panelwright-cli with the arguments.
  int Status(const std::vector<std::string>& args) const { return Run(args).exitCode; }
};

struct BmpTable {
  int bitCount = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t entries = 0;  // colour-table entries between the headers and the pixels
};

BmpTable ReadTable(const std::string& path) {
  const std::vector<std::uint8_t> b = ReadFileBytes(path);
  auto u32 = [&](std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24; };
  if (b.size() < 54) return {};
  return BmpTable{b[28] | b[29] << 8, u32(46), (u32(10) - 14 - u32(14)) / 4};
}

TEST_F(DepthCli, ConvertWritesFullColourTables) {
  Row24(kDistinct).SaveToFile(Path("in.bmp"));
  Row24(kColours).SaveToFile(Path("key.bmp"));
  struct Case {
    std::vector<std::string> options;
    int bitCount;
    std::uint32_t entries;
  };
  const Case cases[] = {
      {{"--depth", "1"}, 1, 2},          {{"--depth", "4"}, 4, 16},         {{"--depth", "8"}, 8, 256},
      {{"--depth", "8", "--high"}, 8, 256}, {{"--depth", "4", "--high"}, 4, 16}, {{"--depth", "halftone"}, 8, 256},
      {{"--depth", "halftone-bw"}, 1, 2}, {{"--depth", "24"}, 24, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"convert", Path("in.bmp"), Path("out.bmp")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    SCOPED_TRACE(c.options.front() + " " + c.options[1]);
    ASSERT_EQ(Status(args), 0);
    const BmpTable table = ReadTable(Path("out.bmp"));
    EXPECT_EQ(table.bitCount, c.bitCount);
    EXPECT_EQ(table.entries, c.entries);
    TBitmap out;
    out.LoadFromFile(Path("out.bmp"));
    if (c.bitCount == 4 || (c.bitCount == 8 && c.options[1] != "halftone") || c.bitCount == 24) {
      for (std::size_t x = 0; x < kDistinct.size(); ++x) EXPECT_EQ(out.GetPixelColor(static_cast<int>(x), 0), kDistinct[x]);
    }
  }
  ASSERT_EQ(Status({"convert", Path("key.bmp"), Path("one.bmp"), "--depth", "1"}), 0);
  TBitmap one;
  one.LoadFromFile(Path("one.bmp"));
  EXPECT_EQ(one.GetPixelColor(0, 0), clWhite);
  EXPECT_EQ(one.GetPixelColor(1, 0), clBlack) << "(255,255,254) is not the key colour";
}

TEST_F(DepthCli, ComposeReducesTheWindow) {
  for (const auto& [depth, bitCount, entries] : {std::tuple{"1", 1, 2u}, std::tuple{"4", 4, 16u}, std::tuple{"8", 8, 256u}}) {
    SCOPED_TRACE(depth);
    ASSERT_EQ(Status({"compose", "--text", "Hi", "--depth", depth, "-o", Path("win.bmp")}), 0);
    const BmpTable table = ReadTable(Path("win.bmp"));
    EXPECT_EQ(table.bitCount, bitCount);
    EXPECT_EQ(table.entries, entries);
    EXPECT_GE(table.clrUsed, 1u);
    EXPECT_LE(table.clrUsed, entries);
  }
}

}  // namespace
}  // namespace pw
