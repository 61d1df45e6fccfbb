// Colour reduction, the key-colour rule and halftone: hand-worked tiny images, a differential
// check of the division against a literal slow transcription, progress counts and failure
// atomicity through the pixel-format setter.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "dib/color_division.h"
#include "dib/convert.h"
#include "dib/extended.h"
#include "dib/messages.h"
#include "dib/qvdib.h"

namespace pw {
namespace {

struct Rgb {
  std::uint8_t r, g, b;
};

TQvDIBInfos MakeInfos(int width, int height, int bitCount) {
  TQvDIBInfos infos;
  infos.header.biWidth = width;
  infos.header.biHeight = height;
  infos.header.biBitCount = static_cast<std::uint16_t>(bitCount);
  infos.header.biClrUsed = bitCount == 24 ? 0 : (1u << bitCount);
  infos.memory = TQvPixelMemory::Get(DIBStride(width, bitCount) * static_cast<std::size_t>(infos.Height()), false);
  return infos;
}

void Put24(TQvDIBInfos& infos, int x, int y, Rgb c) {
  std::uint8_t* p = infos.Row(y) + 3 * x;
  p[0] = c.b;
  p[1] = c.g;
  p[2] = c.r;
}

// A 24-bit image from picture rows (top first).
TQvDIBInfos Image24(const std::vector<std::vector<Rgb>>& rows, bool topDown = false) {
  const int h = static_cast<int>(rows.size()), w = static_cast<int>(rows[0].size());
  TQvDIBInfos infos = MakeInfos(w, topDown ? -h : h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Put24(infos, x, y, rows[y][x]);
  return infos;
}

TQvDIBInfos Uniform24(int w, int h, Rgb c) { return Image24(std::vector<std::vector<Rgb>>(h, std::vector<Rgb>(w, c))); }

unsigned IndexAt(const TQvDIBInfos& infos, int x, int y) {
  const std::uint8_t* row = infos.Row(y);
  switch (infos.header.biBitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4: return x % 2 ? row[x / 2] & 15u : row[x / 2] >> 4u;
    default: return row[x];
  }
}

void PutIndex(TQvDIBInfos& infos, int x, int y, unsigned v) {
  std::uint8_t* row = infos.Row(y);
  switch (infos.header.biBitCount) {
    case 1: row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (v & 1u) << (7 - x % 8)); break;
    case 4: row[x / 2] = static_cast<std::uint8_t>(row[x / 2] | (x % 2 ? v & 15u : (v & 15u) << 4)); break;
    default: row[x] = static_cast<std::uint8_t>(v); break;
  }
}

TRGBQuad Quad(Rgb c) { return TRGBQuad{c.b, c.g, c.r, 0}; }

// Colour of a pixel of an indexed result, through its colour table.
TRGBQuad ColorAt(const TQvDIBInfos& infos, int x, int y) { return infos.colorTable[IndexAt(infos, x, y)]; }

struct Counting {
  int steps = 0;
  TQvConvertContext Context(TQvConvertMode mode = qvCmLow, TColor key = clWhite) {
    return TQvConvertContext{mode, key, [this] { ++steps; }};
  }
};

// ---------------------------------------------------------------------------------------------
// A literal, slow transcription of the division: extended-precision means and variances,
// the two-index exchange partition, and leaf indices handed to the items themselves.

struct RefItem {
  long double v[3];
  long double weight;
  std::size_t key;
  unsigned index = 0;
};

struct RefDivision {
  int depth;
  std::vector<TRGBQuad> palette;
  int steps = 0;

  void Divide(std::vector<RefItem>& items, std::size_t lo, std::size_t hi, int level) {
    if (lo == hi) {
      if (level == depth) {
        ++steps;
      } else {
        Divide(items, lo, hi, level + 1);
        Divide(items, lo, hi, level + 1);
      }
      return;
    }
    long double n = 0, s[3] = {}, q[3] = {};
    for (std::size_t i = lo; i < hi; ++i) {
      n += items[i].weight;
      for (int c = 0; c < 3; ++c) {
        s[c] += items[i].weight * items[i].v[c];
        q[c] += items[i].weight * items[i].v[c] * items[i].v[c];
      }
    }
    long double m[3], var[3];
    for (int c = 0; c < 3; ++c) {
      m[c] = s[c] / n;
      var[c] = q[c] / n - m[c] * m[c];
    }
    if (level == depth) {
      const unsigned index = static_cast<unsigned>(palette.size());
      palette.push_back(TRGBQuad{static_cast<std::uint8_t>(std::nearbyintl(m[2])),
                                 static_cast<std::uint8_t>(std::nearbyintl(m[1])),
                                 static_cast<std::uint8_t>(std::nearbyintl(m[0])), 0});
      for (std::size_t i = lo; i < hi; ++i) items[i].index = index;
      ++steps;
      return;
    }
    int c = 1;
    if (3 * var[0] >= 4 * var[1] && 3 * var[0] >= 2 * var[2])
      c = 0;
    else if (3 * var[0] > 4 * var[1] || 2 * var[2] > 4 * var[1])
      c = 2;
    std::size_t i = lo, j = hi;  // j is one past the downward index
    for (;;) {
      while (i < j && items[i].v[c] <= m[c]) ++i;
      while (i < j && items[j - 1].v[c] > m[c]) --j;
      if (i >= j) break;
      std::swap(items[i], items[j - 1]);
    }
    Divide(items, i, hi, level + 1);
    Divide(items, lo, i, level + 1);
  }
};

// The expected Low result: palette, and palette index per pixel in storage order.
struct RefResult {
  std::vector<TRGBQuad> palette;
  std::vector<unsigned> indices;
  int steps;
};

RefResult ReferenceTrueColor(const TQvDIBInfos& src, int depth, bool high) {
  const int w = src.Width(), h = src.Height();
  std::vector<RefItem> items;
  std::vector<std::size_t> keyOfPixel;
  if (high) {
    for (int r = 0; r < h; ++r)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = src.Bits() + src.Stride() * r + 3 * x;
        items.push_back(RefItem{{(long double)p[2], (long double)p[1], (long double)p[0]}, 1, items.size()});
        keyOfPixel.push_back(keyOfPixel.size());
      }
  } else {
    std::vector<long long> count(65536), sr(65536), sg(65536), sb(65536);
    for (int r = 0; r < h; ++r)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = src.Bits() + src.Stride() * r + 3 * x;
        const std::size_t cell = (p[2] / 8) * 2048 + (p[1] / 4) * 32 + p[0] / 8;
        ++count[cell];
        sr[cell] += p[2] % 8;
        sg[cell] += p[1] % 4;
        sb[cell] += p[0] % 8;
        keyOfPixel.push_back(cell);
      }
    for (std::size_t k = 0; k < 65536; ++k)
      if (count[k] != 0)
        items.push_back(RefItem{{(long double)((k / 2048) * 8 + sr[k] / count[k]),
                                 (long double)(((k / 32) % 64) * 4 + sg[k] / count[k]),
                                 (long double)((k % 32) * 8 + sb[k] / count[k])},
                                (long double)count[k], k});
  }
  RefDivision division{depth, {}, 0};
  division.Divide(items, 0, items.size(), 0);
  std::vector<unsigned> indexOfKey(high ? items.size() : 65536);
  for (const RefItem& item : items) indexOfKey[item.key] = item.index;
  RefResult result{division.palette, {}, division.steps};
  for (std::size_t key : keyOfPixel) result.indices.push_back(indexOfKey[key]);
  return result;
}

// Smooth gradients, a few flat patches and noise: many colours, many shared cells.
TQvDIBInfos PhotoLike(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-6, 6);
  TQvDIBInfos img = MakeInfos(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto clamp = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
      int r = 255 * x / w, g = 255 * y / h, b = 128 + 100 * ((x + y) % 7 - 3) / 3;
      if ((x / 8 + y / 8) % 5 == 0) r = g = b = 200;  // flat patches
      Put24(img, x, y, {clamp(r + noise(rng)), clamp(g + noise(rng)), clamp(b + noise(rng))});
    }
  return img;
}

// ---------------------------------------------------------------------------------------------
// The worked examples of the division.

struct TrueColorCase {
  const char* name;
  TQvConvertRoutine routine;
  int depth;
};

const TrueColorCase kTrueColorCases[] = {
    {"Low8", ConvertTrueColorTo8BitRGBLow, 8},
    {"Low4", ConvertTrueColorTo4BitRGBLow, 4},
    {"High8", ConvertTrueColorTo8BitRGBHigh, 8},
    {"High4", ConvertTrueColorTo4BitRGBHigh, 4},
};

TEST(ColourDivision, OneColourGivesOneEntryAndAStepPerLeafPosition) {
  for (const TrueColorCase& c : kTrueColorCases) {
    SCOPED_TRACE(c.name);
    Counting counting;
    const TQvDIBInfos src = Uniform24(5, 3, {13, 200, 77});
    const TQvDIBInfos out = c.routine(src, false, counting.Context());
    EXPECT_EQ(out.header.biBitCount, c.depth);
    EXPECT_EQ(out.header.biClrUsed, 1u);
    EXPECT_EQ(out.colorTable[0], Quad({13, 200, 77}));
    EXPECT_EQ(counting.steps, 1 << c.depth);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(IndexAt(out, x, y), 0u);
  }
}

TEST(ColourDivision, ColoursAboveTheMeanTakeTheLowerIndices) {
  for (const TrueColorCase& c : kTrueColorCases) {
    SCOPED_TRACE(c.name);
    const TQvDIBInfos src = Image24({{{0, 0, 0}, {255, 255, 255}, {0, 0, 0}}, {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}}});
    const TQvDIBInfos out = c.routine(src, false, {});
    ASSERT_EQ(out.header.biClrUsed, 2u);
    EXPECT_EQ(out.colorTable[0], Quad({255, 255, 255}));
    EXPECT_EQ(out.colorTable[1], Quad({0, 0, 0}));
    EXPECT_EQ(IndexAt(out, 1, 0), 0u);
    EXPECT_EQ(IndexAt(out, 0, 1), 0u);
    EXPECT_EQ(IndexAt(out, 0, 0), 1u);
    EXPECT_EQ(IndexAt(out, 2, 1), 1u);
  }
}

TEST(ColourDivision, LowMergesOneCellIntoItsTruncatedMean) {
  // (8,4,8) three times and (15,7,15) once share one 5-6-5 cell: remainders 7/4, 3/4, 7/4.
  const TQvDIBInfos src = Image24({{{8, 4, 8}, {15, 7, 15}, {8, 4, 8}, {8, 4, 8}}});
  for (TQvConvertRoutine routine : {ConvertTrueColorTo8BitRGBLow, ConvertTrueColorTo4BitRGBLow}) {
    const TQvDIBInfos out = routine(src, false, {});
    ASSERT_EQ(out.header.biClrUsed, 1u);
    EXPECT_EQ(out.colorTable[0], Quad({9, 4, 9}));
  }
  // The High reduction keeps them apart.
  const TQvDIBInfos high = ConvertTrueColorTo8BitRGBHigh(src, false, {});
  ASSERT_EQ(high.header.biClrUsed, 2u);
  EXPECT_EQ(ColorAt(high, 1, 0), Quad({15, 7, 15}));
  EXPECT_EQ(ColorAt(high, 0, 0), Quad({8, 4, 8}));
}

TEST(ColourDivision, EightBitImageKeepsItsColoursWhenFewAreUsed) {
  TQvDIBInfos src = MakeInfos(7, 2, 8);
  for (int i = 0; i < 256; ++i) src.colorTable[i] = Quad({static_cast<std::uint8_t>(i), 9, 99});
  src.colorTable[3] = Quad({10, 20, 30});
  src.colorTable[7] = Quad({200, 100, 50});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 7; ++x) PutIndex(src, x, y, (x + y) % 3 ? 3 : 7);
  Counting counting;
  const TQvDIBInfos out = Convert8BitRGBTo4BitRGB(src, false, counting.Context());
  EXPECT_EQ(out.header.biBitCount, 4);
  EXPECT_EQ(out.header.biClrUsed, 2u);
  EXPECT_EQ(counting.steps, 16);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(ColorAt(out, x, y), src.colorTable[IndexAt(src, x, y)]) << x << "," << y;
}

TEST(ColourDivision, MatchesTheLiteralDivisionOnManyColours) {
  std::fesetround(FE_TONEAREST);
  const TQvDIBInfos src = PhotoLike(61, 37, 7);
  for (const TrueColorCase& c : kTrueColorCases) {
    SCOPED_TRACE(c.name);
    const bool high = c.routine == ConvertTrueColorTo8BitRGBHigh || c.routine == ConvertTrueColorTo4BitRGBHigh;
    const RefResult expected = ReferenceTrueColor(src, c.depth, high);
    Counting counting;
    const TQvDIBInfos out = c.routine(src, false, counting.Context());
    EXPECT_EQ(counting.steps, expected.steps);
    ASSERT_EQ(out.header.biClrUsed, expected.palette.size());
    for (std::size_t i = 0; i < expected.palette.size(); ++i) EXPECT_EQ(out.colorTable[i], expected.palette[i]) << i;
    std::size_t k = 0;
    for (int r = 0; r < src.Height(); ++r)
      for (int x = 0; x < src.Width(); ++x, ++k) {
        const int y = src.Height() - 1 - r;  // storage row r of a bottom-up image
        ASSERT_EQ(IndexAt(out, x, y), expected.indices[k]) << x << "," << y;
      }
  }
}

TEST(ColourDivision, EightToFourMatchesTheLiteralDivision) {
  std::fesetround(FE_TONEAREST);
  TQvDIBInfos src = MakeInfos(33, 9, 8);
  std::mt19937 rng(3);
  for (int i = 0; i < 256; ++i)
    src.colorTable[i] = Quad({static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())});
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 33; ++x) PutIndex(src, x, y, (rng() % 40) * (rng() % 6));  // uneven weights, unused entries
  std::vector<RefItem> items;
  std::vector<long double> uses(256);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 33; ++x) uses[IndexAt(src, x, y)] += 1;
  for (std::size_t i = 0; i < 256; ++i)
    if (uses[i] > 0) {
      const TRGBQuad c = src.colorTable[i];
      items.push_back(RefItem{{(long double)c.rgbRed, (long double)c.rgbGreen, (long double)c.rgbBlue}, uses[i], i});
    }
  RefDivision reference{4, {}, 0};
  reference.Divide(items, 0, items.size(), 0);
  std::vector<unsigned> newIndex(256);
  for (const RefItem& item : items) newIndex[item.key] = item.index;

  const TQvDIBInfos out = Convert8BitRGBTo4BitRGB(src, false, {});
  ASSERT_EQ(out.header.biClrUsed, reference.palette.size());
  for (std::size_t i = 0; i < reference.palette.size(); ++i) EXPECT_EQ(out.colorTable[i], reference.palette[i]);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 33; ++x) EXPECT_EQ(IndexAt(out, x, y), newIndex[IndexAt(src, x, y)]);
}

TEST(ColourDivision, ChannelRuleAndRoundingAreExact) {
  using division::TChannelSums;
  // Sums of n pixels with mean 100 on every channel and N^2 x variance = n^2 x v per channel.
  auto sums = [](std::uint64_t n, std::array<std::uint64_t, 3> v) {
    TChannelSums s;
    s.weight = n;
    for (int c = 0; c < 3; ++c) {
      s.sum[c] = n * 100;
      s.square[c] = n * (100 * 100 + v[c]);
    }
    return s;
  };
  struct Case {
    std::array<std::uint64_t, 3> variance;  // weighted 3, 4, 2
    division::TDivideID expected;
  };
  const Case cases[] = {
      {{4, 3, 6}, division::kDivideRed},    // 12, 12, 12: red wins its ties
      {{4, 2, 6}, division::kDivideRed},    // 12, 8, 12
      {{4, 4, 4}, division::kDivideGreen},  // 12, 16, 8
      {{4, 2, 7}, division::kDivideBlue},   // 12, 8, 14: red beats green, blue beats red
      {{1, 2, 5}, division::kDivideBlue},   // 3, 8, 10
      {{0, 2, 4}, division::kDivideGreen},  // 0, 8, 8: green wins a tie with blue
      {{0, 0, 0}, division::kDivideRed},    // one colour
  };
  for (std::uint64_t n : {std::uint64_t{1}, std::uint64_t{(1u << 31) - 1}})
    for (const Case& c : cases) {
      EXPECT_EQ(division::ChooseChannel(sums(n, c.variance)), c.expected) << n;
      EXPECT_EQ(division::ChooseChannelIn<TSoftExtended>(sums(n, c.variance)), c.expected) << n;
    }

  // Palette entries: the nearest integer, exact halves to the even neighbour.
  struct Mean {
    std::uint64_t sum, weight;
    unsigned expected;
  };
  for (const Mean m : {Mean{5, 2, 2}, Mean{7, 2, 4}, Mean{3, 2, 2}, Mean{10, 4, 2}, Mean{11, 4, 3}, Mean{9, 4, 2},
                       Mean{1, 3, 0}, Mean{509, 2, 254}, Mean{255ull * 4000000000ull, 4000000000ull, 255}}) {
    TChannelSums s;
    s.weight = m.weight;
    s.sum[0] = m.sum;
    EXPECT_EQ(division::RoundedMean(s, 0), m.expected) << m.sum << "/" << m.weight;
  }
}

// Exact ties of the weighted variances that the rounding of the extended-precision steps
// breaks: the result follows the rounded values, not the exact ones.
TEST(ColourDivision, VarianceTiesFollowTheExtendedPrecisionSteps) {
  struct Case {
    const char* name;
    std::vector<Rgb> pixels;  // one row
    std::vector<Rgb> palette;
    std::vector<unsigned> indices;
  };
  const Case cases[] = {
      // The second level holds (0,32,24) x2, (0,40,32) x2, (24,40,0): 3 x varR and 2 x varB
      // are both 6912/25 exactly, but blue comes out the larger.
      {"3varR = 2varB",
       {{0, 32, 24}, {0, 32, 24}, {0, 40, 32}, {0, 40, 32}, {24, 40, 0}, {24, 40, 56}, {24, 40, 56}},
       {{24, 40, 56}, {0, 40, 32}, {0, 32, 24}, {24, 40, 0}},
       {2, 2, 1, 1, 3, 0, 0}},
  };
  for (const Case& t : cases) {
    const TQvDIBInfos src = Image24({t.pixels});
    for (const TrueColorCase& c : kTrueColorCases) {
      SCOPED_TRACE(std::string(t.name) + " " + c.name);
      const TQvDIBInfos out = c.routine(src, false, {});
      ASSERT_EQ(out.header.biClrUsed, t.palette.size());
      for (std::size_t i = 0; i < t.palette.size(); ++i) EXPECT_EQ(out.colorTable[i], Quad(t.palette[i])) << i;
      for (int x = 0; x < src.Width(); ++x) EXPECT_EQ(IndexAt(out, x, 0), t.indices[x]) << x;
    }
  }
}

// The software extended type against the x87 unit, operation by operation and on whole
// channel choices over sums that tie often (few values, small weights).
TEST(ExtendedPrecision, SoftwareArithmeticMatchesTheX87Unit) {
  if constexpr (!kNativeExtended) {
    GTEST_SKIP() << "long double is not the x87 extended format here";
  } else {
    std::fesetround(FE_TONEAREST);
    // Mantissa and exponent of a native value in the software type's form.
    auto same = [](long double native, const TSoftExtended& soft) {
      if (native == 0) return soft.IsZero();
      int e = 0;
      const long double f = std::frexp(std::fabs(native), &e);  // [0.5, 1)
      const auto mantissa = static_cast<std::uint64_t>(std::ldexp(f, 64));
      return soft.Negative() == (native < 0) && soft.Mantissa() == mantissa && soft.Exponent() == e - 64;
    };
    std::mt19937_64 rng(11);
    auto integer = [&rng] { return rng() >> (rng() % 64); };
    for (int i = 0; i < 200000; ++i) {
      const std::uint64_t a = integer(), b = integer() | 1, c = integer() | 1, d = integer() | 1;
      const long double x = static_cast<long double>(a) / static_cast<long double>(b);
      const long double y = static_cast<long double>(c) / static_cast<long double>(d);
      const TSoftExtended sx = TSoftExtended(a) / TSoftExtended(b), sy = TSoftExtended(c) / TSoftExtended(d);
      ASSERT_TRUE(same(x, sx)) << a << "/" << b;
      ASSERT_TRUE(same(x * y, sx * sy)) << i;
      ASSERT_TRUE(same(x - y, sx - sy)) << i;
      ASSERT_TRUE(same(x + y, sx + sy)) << i;
      ASSERT_TRUE(same(x / y, sx / sy)) << i;
      ASSERT_TRUE(same(x - x * y, sx - sx * sy)) << i;
      ASSERT_EQ(x < y, sx < sy) << i;
    }

    std::uniform_int_distribution<int> count(1, 9), weight(1, 3), level(0, 4);
    int brokenTies = 0;
    for (int i = 0; i < 100000; ++i) {
      division::TChannelSums s;
      for (int k = count(rng); k > 0; --k)
        s.Add(static_cast<std::uint64_t>(weight(rng)), 8u * level(rng) * 3, 4u * level(rng) * 5, 8u * level(rng) * 7);
      const division::TDivideID native = division::ChooseChannelIn<long double>(s);
      ASSERT_EQ(division::ChooseChannelIn<TSoftExtended>(s), native) << i;
      // The exact rule on N^2 x variance, to count the ties that rounding broke.
      auto scaled = [&s](int c) {
        return static_cast<__int128>(static_cast<unsigned __int128>(s.weight) * s.square[c] -
                                     static_cast<unsigned __int128>(s.sum[c]) * s.sum[c]);
      };
      const __int128 red = 3 * scaled(0), green = 4 * scaled(1), blue = 2 * scaled(2);
      const division::TDivideID exact = red >= green && red >= blue            ? division::kDivideRed
                                        : red > green || blue > green          ? division::kDivideBlue
                                                                               : division::kDivideGreen;
      brokenTies += exact != native ? 1 : 0;
    }
    EXPECT_GT(brokenTies, 0) << "the sums never met a tie that rounding breaks";
  }
}

// ---------------------------------------------------------------------------------------------
// Key-colour rule.

TEST(KeyColour, OnlyTheExactKeyColourBecomesWhite) {
  const std::vector<Rgb> colours = {{255, 255, 255}, {255, 255, 254}, {254, 255, 255}, {0, 0, 0}, {255, 0, 0},
                                    {255, 255, 255}, {128, 128, 128}, {255, 255, 255}, {0, 255, 255}};
  struct Key {
    TColor key;
    Rgb white;
  };
  for (const Key k : {Key{clWhite, {255, 255, 255}}, Key{RGB(255, 0, 0), {255, 0, 0}}}) {
    // The same nine colours as 24-bit pixels, as 8-bit indices and as 4-bit indices.
    TQvDIBInfos src24 = MakeInfos(9, 1, 24), src8 = MakeInfos(9, 1, 8), src4 = MakeInfos(9, 1, 4);
    for (int x = 0; x < 9; ++x) {
      Put24(src24, x, 0, colours[x]);
      src8.colorTable[x + 5] = src4.colorTable[x + 5] = Quad(colours[x]);
      PutIndex(src8, x, 0, x + 5);
      PutIndex(src4, x, 0, x + 5);
    }
    struct Source {
      const TQvDIBInfos& infos;
      TQvConvertRoutine routine;
    };
    for (const Source s : {Source{src24, ConvertTrueColorTo1BitRGB}, Source{src8, Convert8BitTo1BitRGB},
                           Source{src4, Convert4BitRGBTo1BitRGB}}) {
      SCOPED_TRACE(s.infos.header.biBitCount);
      const TQvDIBInfos out = s.routine(s.infos, false, TQvConvertContext{qvCmLow, k.key, {}});
      EXPECT_EQ(out.header.biBitCount, 1);
      EXPECT_EQ(out.header.biClrUsed, 2u);
      EXPECT_EQ(out.colorTable[0], Quad({0, 0, 0}));
      EXPECT_EQ(out.colorTable[1], Quad({255, 255, 255}));
      for (int x = 0; x < 9; ++x) {
        const Rgb c = colours[x];
        const unsigned white = c.r == k.white.r && c.g == k.white.g && c.b == k.white.b;
        EXPECT_EQ(IndexAt(out, x, 0), white) << x;
      }
      EXPECT_EQ(out.Row(0)[1] & 0x7F, 0) << "spare bits of the row stay 0";
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Halftone.

TEST(Halftone, FixedLevelRangesOnSinglePixels) {
  struct Case {
    Rgb colour;
    unsigned r, g, b;
  };
  const Case cases[] = {
      {{25, 21, 31}, 0, 0, 0},      {{26, 22, 32}, 1, 1, 1},      {{76, 63, 95}, 1, 1, 1},
      {{77, 64, 96}, 2, 2, 2},      {{127, 106, 159}, 2, 2, 2},   {{128, 107, 160}, 3, 3, 3},
      {{178, 149, 223}, 3, 3, 3},   {{179, 150, 224}, 4, 4, 4},   {{230, 192, 255}, 4, 4, 4},
      {{231, 193, 0}, 5, 5, 0},     {{255, 233, 0}, 5, 5, 0},     {{0, 234, 0}, 0, 6, 0},
  };
  for (const Case& c : cases) {
    const TQvDIBInfos out = ConvertToHalfTone(Uniform24(1, 1, c.colour), false, {});
    EXPECT_EQ(IndexAt(out, 0, 0), c.r * 35 + c.g * 5 + c.b) << int(c.colour.r) << "," << int(c.colour.g) << "," << int(c.colour.b);
  }
  const TQvDIBInfos out = ConvertToHalfTone(Uniform24(1, 1, {0, 0, 0}), false, {});
  EXPECT_EQ(out.header.biBitCount, 8);
  EXPECT_EQ(out.header.biClrUsed, 215u);
  for (std::size_t i = 0; i < 215; ++i) {
    const TPaletteEntry& e = HalftonePalette().entries[i];
    EXPECT_EQ(out.colorTable[i], (TRGBQuad{e.peBlue, e.peGreen, e.peRed, 0}));
  }
}

TEST(Halftone, BlackAndWhiteThresholdOnTheChannelSum) {
  struct Case {
    Rgb colour;
    unsigned bit;
  };
  for (const Case c : {Case{{128, 128, 128}, 1}, Case{{128, 128, 127}, 0}, Case{{255, 129, 0}, 1}, Case{{0, 0, 0}, 0}}) {
    const TQvDIBInfos out = ConvertToHalfToneBW(Uniform24(1, 1, c.colour), false, {});
    EXPECT_EQ(out.header.biBitCount, 1);
    EXPECT_EQ(out.header.biClrUsed, 2u);
    EXPECT_EQ(IndexAt(out, 0, 0), c.bit);
  }
}

TEST(Halftone, ErrorDiffusesAlongTheSerpentineAndTruncatesTowardZero) {
  // Green only (red and blue 0 stay at level 0 with no error). Worked by hand:
  // row 0 left to right: 100 -> level 85, error -15; 101 - trunc(-180/32) = 106 -> 85, error -21.
  // row 1 right to left: x=1: 100 - trunc(12*-21/32) = 107 -> 128, error 21;
  //                      x=0: 105 - trunc((12*-15 + 12*21 + 5*-21)/32) = 106 -> 85.
  const TQvDIBInfos src = Image24({{{0, 100, 0}, {0, 101, 0}}, {{0, 105, 0}, {0, 100, 0}}}, /*topDown=*/true);
  const TQvDIBInfos out = ConvertToHalfTone(src, false, {});
  EXPECT_LT(out.header.biHeight, 0) << "row order is kept";
  EXPECT_EQ(IndexAt(out, 0, 0), 2u * 5);
  EXPECT_EQ(IndexAt(out, 1, 0), 2u * 5);
  EXPECT_EQ(IndexAt(out, 1, 1), 3u * 5);
  EXPECT_EQ(IndexAt(out, 0, 1), 2u * 5);
}

// Halftone as read from its description: every error kept in a full table, neighbours found
// by coordinates. Returns the output index per pixel, storage rows first.
std::vector<unsigned> ReferenceHalftone(const TQvDIBInfos& src, bool bw) {
  const int w = src.Width(), h = src.Height();
  std::vector<std::array<int, 3>> error(static_cast<std::size_t>(w * h));
  auto errorAt = [&](int r, int x, int c) { return r < 0 || x < 0 || x >= w ? 0 : error[r * w + x][c]; };
  auto level = [](int v, std::initializer_list<int> uppers) {
    int l = 0;
    for (int u : uppers) l += v > u;
    return l;
  };
  std::vector<unsigned> out(static_cast<std::size_t>(w * h));
  for (int r = 0; r < h; ++r)
    for (int n = 0; n < w; ++n) {
      const bool leftToRight = r % 2 == 0;
      const int x = leftToRight ? n : w - 1 - n, cameFrom = leftToRight ? x - 1 : x + 1;
      const std::uint8_t* p = src.Bits() + src.Stride() * r + 3 * x;
      const int colour[3] = {p[2], p[1], p[0]};
      int v[3];
      for (int c = 0; c < 3; ++c) {
        const int done = n == 0 ? 0 : errorAt(r, cameFrom, c);
        v[c] = colour[c] - (12 * errorAt(r - 1, x, c) + 12 * done + 5 * errorAt(r - 1, cameFrom, c)) / 32;
      }
      if (bw) {
        const int target = v[0] + v[1] + v[2] < 384 ? 0 : 255;
        for (int c = 0; c < 3; ++c) error[r * w + x][c] = target - v[c];
        out[r * w + x] = target == 255;
      } else {
        const int lr = level(v[0], {25, 76, 127, 178, 230}), lg = level(v[1], {21, 63, 106, 149, 192, 233}),
                  lb = level(v[2], {31, 95, 159, 223});
        error[r * w + x] = {kHalftoneRed[lr] - v[0], kHalftoneGreen[lg] - v[1], kHalftoneBlue[lb] - v[2]};
        out[r * w + x] = static_cast<unsigned>(lr * 35 + lg * 5 + lb);
      }
    }
  return out;
}

TEST(Halftone, MatchesTheDescriptionOnAPhotoLikeImage) {
  const TQvDIBInfos src = PhotoLike(23, 11, 9);
  for (const bool bw : {false, true}) {
    const TQvDIBInfos out = bw ? ConvertToHalfToneBW(src, false, {}) : ConvertToHalfTone(src, false, {});
    const std::vector<unsigned> expected = ReferenceHalftone(src, bw);
    for (int r = 0; r < src.Height(); ++r)
      for (int x = 0; x < src.Width(); ++x)
        ASSERT_EQ(IndexAt(out, x, src.Height() - 1 - r), expected[r * src.Width() + x]) << bw << " " << x << "," << r;
  }
}

TEST(Halftone, PaletteSourcesAreReadThroughTheirColourTable) {
  TQvDIBInfos src = MakeInfos(3, 1, 4);
  src.colorTable[9] = Quad({255, 255, 255});
  PutIndex(src, 1, 0, 9);
  const TQvDIBInfos colour = ConvertToHalfTone(src, false, {});
  EXPECT_EQ(IndexAt(colour, 1, 0), 5u * 35 + 6 * 5 + 4);
  const TQvDIBInfos bw = ConvertToHalfToneBW(src, false, {});
  EXPECT_EQ(IndexAt(bw, 0, 0), 0u);
  EXPECT_EQ(IndexAt(bw, 1, 0), 1u);
}

// ---------------------------------------------------------------------------------------------
// Wrong sources.

TEST(Reduction, WrongSourcesAreRefusedWithTheirMessage) {
  TQvDIBInfos rle8 = MakeInfos(4, 4, 8);
  rle8.header.biCompression = BI_RLE8;
  const TQvDIBInfos plain8 = MakeInfos(4, 4, 8), plain24 = MakeInfos(4, 4, 24), plain16 = [] {
    TQvDIBInfos i = MakeInfos(4, 4, 8);
    i.header.biBitCount = 16;
    return i;
  }();
  struct Case {
    TQvConvertRoutine routine;
    const TQvDIBInfos& source;
    const char* message;
  };
  const Case cases[] = {
      {Convert4BitRGBTo1BitRGB, plain8, qvmsg::kConvert4To1Bad},
      {Convert8BitTo1BitRGB, rle8, qvmsg::kConvert8To1Bad},
      {Convert8BitTo1BitRGB, plain24, qvmsg::kConvert8To1Bad},
      {ConvertTrueColorTo1BitRGB, plain8, qvmsg::kConvert24To1Bad},
      {Convert8BitRGBTo4BitRGB, rle8, qvmsg::kConvert8To4Bad},
      {ConvertTrueColorTo8BitRGBLow, plain8, qvmsg::kConvert24To8LowBad},
      {ConvertTrueColorTo4BitRGBLow, plain8, qvmsg::kConvert24To4LowBad},
      {ConvertTrueColorTo8BitRGBHigh, plain8, qvmsg::kConvert24To8HighBad},
      {ConvertTrueColorTo4BitRGBHigh, plain8, qvmsg::kConvert24To4HighBad},
      {ConvertToHalfTone, rle8, qvmsg::kHalftoneBad},
      {ConvertToHalfToneBW, plain16, qvmsg::kHalftoneBWBad},
  };
  for (const Case& c : cases) {
    try {
      c.routine(c.source, false, {});
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const EQvDIBBadDIBType& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  // A block whose pixel memory is shorter than its rows is refused rather than read past.
  TQvDIBInfos shortBlock = MakeInfos(4, 4, 24);
  shortBlock.header.biHeight = 5;
  EXPECT_THROW(ConvertTrueColorTo8BitRGBLow(shortBlock, false, {}), EQvDIBBadDIBType);
}

// ---------------------------------------------------------------------------------------------
// Through the pixel-format setter.

struct Notification {
  TProgressStage stage;
  int percent;
  std::string message;
};

void Listen(TQvDIB& dib, std::vector<Notification>& log) {
  dib.OnProgress = [&log](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                          const std::string& message) { log.push_back({stage, percent, message}); };
}

void Load(TQvDIB& dib, TQvDIBInfos infos) { dib.InternalForWrite().Install(std::move(infos)); }

int Count(const std::vector<Notification>& log, TProgressStage stage) {
  int n = 0;
  for (const Notification& e : log) n += e.stage == stage;
  return n;
}

TEST(SetPixelFormatReduction, ProgressOfOneColour) {
  struct Case {
    TQvPixelFormat target;
    TQvConvertMode mode;
    int running;
    const char* message;
  };
  for (const Case c : {Case{qvPf8Bit, qvCmLow, 255, "PixelFormat 24Bit -> 8Bit"},
                       Case{qvPf4Bit, qvCmLow, 15, "PixelFormat 24Bit -> 4Bit"},
                       Case{qvPf8Bit, qvCmHigh, 255, "PixelFormat 24Bit -> 8Bit"}}) {
    TQvDIB dib;
    Load(dib, Uniform24(3, 2, {1, 2, 3}));
    dib.ConvertMode = c.mode;
    std::vector<Notification> log;
    Listen(dib, log);
    dib.SetPixelFormat(c.target);
    EXPECT_EQ(dib.GetPixelFormat(), c.target);
    ASSERT_EQ(log.size(), static_cast<std::size_t>(c.running + 2));
    EXPECT_EQ(log.front().stage, TProgressStage::psStarting);
    EXPECT_EQ(log.back().stage, TProgressStage::psEnding);
    EXPECT_EQ(Count(log, TProgressStage::psRunning), c.running);
    EXPECT_EQ(log[1].percent, 100 / (c.running + 1));
    EXPECT_EQ(log[log.size() - 2].percent, c.running * 100 / (c.running + 1));
    for (const Notification& e : log) EXPECT_EQ(e.message, c.message);
  }
}

// The setter reduces 24 bits with the routine that ConvertMode names: on (8,4,8) x3 and
// (15,7,15), which share one 5-6-5 cell, Low gives their truncated mean, High keeps both.
TEST(SetPixelFormatReduction, TwentyFourBitsFollowConvertMode) {
  struct Case {
    TQvPixelFormat target;
    TQvConvertMode mode;
    std::vector<Rgb> palette;
    std::vector<unsigned> indices;
  };
  const std::vector<Rgb> low = {{9, 4, 9}}, high = {{15, 7, 15}, {8, 4, 8}};
  const Case cases[] = {
      {qvPf4Bit, qvCmLow, low, {0, 0, 0, 0}},
      {qvPf4Bit, qvCmHigh, high, {1, 0, 1, 1}},
      {qvPf8Bit, qvCmLow, low, {0, 0, 0, 0}},
      {qvPf8Bit, qvCmHigh, high, {1, 0, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.target) + (c.mode == qvCmHigh ? " High" : " Low"));
    TQvDIB dib;
    Load(dib, Image24({{{8, 4, 8}, {15, 7, 15}, {8, 4, 8}, {8, 4, 8}}}));
    dib.ConvertMode = c.mode;
    dib.SetPixelFormat(c.target);
    ASSERT_EQ(dib.GetPixelFormat(), c.target);
    const TQvDIBInfos& out = dib.Internal().DIBInfos;
    ASSERT_EQ(out.header.biClrUsed, c.palette.size());
    for (std::size_t i = 0; i < c.palette.size(); ++i) EXPECT_EQ(out.colorTable[i], Quad(c.palette[i])) << i;
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dib.GetPixels(x, 0), static_cast<std::int32_t>(c.indices[x])) << x;
  }
}

TEST(SetPixelFormatReduction, HalftoneTargetsReadBackAsPlainFormats) {
  TQvDIB colour, bw;
  Load(colour, PhotoLike(9, 5, 1));
  Load(bw, PhotoLike(9, 5, 1));
  std::vector<Notification> log;
  Listen(colour, log);
  colour.SetPixelFormat(qvPfHalftone);
  bw.SetPixelFormat(qvPfHalftoneBW);
  EXPECT_EQ(colour.GetPixelFormat(), qvPf8Bit);
  EXPECT_EQ(colour.Internal().DIBInfos.header.biClrUsed, 215u);
  EXPECT_EQ(bw.GetPixelFormat(), qvPf1Bit);
  EXPECT_TRUE(log.empty()) << "halftone runs no colour division";
}

TEST(SetPixelFormatReduction, FailureLeavesTheImageAsItWasAndStillEnds) {
  for (const TQvConvertMode mode : {qvCmLow, qvCmHigh}) {
    TQvDIB dib;
    Load(dib, PhotoLike(13, 7, 5));
    const TQvDIBInfos& before = dib.Internal().DIBInfos;
    const TBitmapInfoHeader header = before.header;
    const auto table = before.colorTable;
    const std::vector<std::uint8_t> pixels(before.Bits(), before.Bits() + before.BitsSize());
    dib.ConvertMode = mode;
    std::vector<Notification> log;
    dib.OnProgress = [&log](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                            const std::string& message) {
      log.push_back({stage, percent, message});
      if (stage == TProgressStage::psRunning && log.size() == 5) throw std::runtime_error("cancelled");
    };
    EXPECT_THROW(dib.SetPixelFormat(qvPf8Bit), std::runtime_error);
    const TQvDIBInfos& after = dib.Internal().DIBInfos;
    EXPECT_EQ(dib.GetPixelFormat(), qvPf24Bit);
    EXPECT_EQ(std::memcmp(&after.header, &header, sizeof header), 0);
    EXPECT_TRUE(after.colorTable == table);
    ASSERT_EQ(after.BitsSize(), pixels.size());
    EXPECT_EQ(std::memcmp(after.Bits(), pixels.data(), pixels.size()), 0);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().stage, TProgressStage::psEnding);
    EXPECT_EQ(Count(log, TProgressStage::psEnding), 1);
  }
}

}  // namespace
}  // namespace pw
