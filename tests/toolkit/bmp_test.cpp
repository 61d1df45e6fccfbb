#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// --- building input files by hand --------------------------------------------------------

void Put16(Bytes& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
unsigned Get16(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }

// The parts of a BMP file; Build() lays them out in order.
struct BmpRecipe {
  std::uint32_t headerSize = 40;
  std::int32_t width = 2;
  std::int32_t height = 2;
  unsigned planes = 1;
  unsigned bitCount = 8;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::uint32_t clrUsed = 0;
  Bytes masks;       // written after a 40-byte header, or inside a longer one
  Bytes table;       // colour table as stored
  std::size_t gap = 0;  // bytes between the table and the pixels
  std::int64_t offBits = -1;  // -1: right after the table and the gap
  Bytes pixels;

  Bytes Build() const {
    Bytes header;
    if (headerSize == 12) {
      Put32(header, 12);
      Put16(header, static_cast<unsigned>(width));
      Put16(header, static_cast<unsigned>(height));
      Put16(header, planes);
      Put16(header, bitCount);
    } else {
      Put32(header, headerSize);
      Put32(header, static_cast<std::uint32_t>(width));
      Put32(header, static_cast<std::uint32_t>(height));
      Put16(header, planes);
      Put16(header, bitCount);
      Put32(header, compression);
      Put32(header, sizeImage);
      Put32(header, 2835);
      Put32(header, 2835);
      Put32(header, clrUsed);
      Put32(header, 0);
      if (headerSize > 40) {
        Bytes extra(headerSize - 40, 0);
        std::copy(masks.begin(), masks.end(), extra.begin());
        header.insert(header.end(), extra.begin(), extra.end());
      } else {
        header.insert(header.end(), masks.begin(), masks.end());
      }
    }
    const std::size_t pixelStart = 14 + header.size() + table.size() + gap;
    Bytes file = {'B', 'M'};
    Put32(file, static_cast<std::uint32_t>(pixelStart + pixels.size()));
    Put32(file, 0);
    Put32(file, static_cast<std::uint32_t>(offBits < 0 ? pixelStart : offBits));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), gap, 0x55);
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
  }
};

// A colour table of 4-byte entries (blue, green, red, 0) for the given colours.
Bytes Table(std::initializer_list<TColor> colours) {
  Bytes out;
  for (TColor c : colours) out.insert(out.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
  return out;
}

TBitmap Load(const Bytes& file) {
  TMemoryStream stream(file);
  TBitmap b;
  b.LoadFromStream(stream);
  return b;
}

Bytes Save(TBitmap& b) {
  TMemoryStream stream;
  b.SaveToStream(stream);
  return stream.Bytes();
}

std::vector<TColor> Colours(const TBitmap& b) {
  std::vector<TColor> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetPixelColor(x, y));
  return out;
}

std::string Message(const Bytes& file) {
  try {
    Load(file);
  } catch (const Exception& e) {
    return e.what();
  }
  return "loaded";
}

const TColor kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

// A 2x2 8-bit picture, rows bottom-up in the file: top row red green, bottom row blue red.
BmpRecipe EightBit2x2() {
  BmpRecipe s;
  s.clrUsed = 3;
  s.table = Table({kRed, kGreen, kBlue});
  s.pixels = {2, 0, 0, 0, 0, 1, 0, 0};
  return s;
}
const std::vector<TColor> kExpected2x2 = {kRed, kGreen, kBlue, kRed};

// --- reading -------------------------------------------------------------------------------

TEST(BmpRead, HeaderVariantsLoadAlike) {
  struct Case {
    const char* name;
    BmpRecipe recipe;
  };
  BmpRecipe core = EightBit2x2();
  core.headerSize = 12;
  core.table.clear();
  for (TColor c : {kRed, kGreen, kBlue}) core.table.insert(core.table.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
  core.table.resize(256 * 3, 0);  // a core header always has the full table
  BmpRecipe coreShortTable = core;  // ... unless bfOffBits ends it early
  coreShortTable.table.resize(3 * 3);
  coreShortTable.offBits = 14 + 12 + 3 * 3;
  BmpRecipe v4 = EightBit2x2();
  v4.headerSize = 108;
  BmpRecipe v5 = EightBit2x2();
  v5.headerSize = 124;
  BmpRecipe topDown = EightBit2x2();
  topDown.height = -2;
  topDown.pixels = {0, 1, 0, 0, 2, 0, 0, 0};
  BmpRecipe fullTable = EightBit2x2();  // biClrUsed 0: 256 entries
  fullTable.clrUsed = 0;
  fullTable.table.resize(256 * 4, 0);
  BmpRecipe sized = EightBit2x2();
  sized.sizeImage = 8;
  BmpRecipe gap = EightBit2x2();  // bfOffBits points past a gap after the table
  gap.gap = 6;
  BmpRecipe gapIgnored = EightBit2x2();  // bfOffBits inside the table: pixels follow the table
  gapIgnored.offBits = 20;
  BmpRecipe pastEnd = EightBit2x2();  // bfOffBits beyond the file: pixels follow the table
  pastEnd.offBits = 100000;
  const Case cases[] = {{"core", core}, {"core_offbits_inside_table", coreShortTable}, {"v4", v4}, {"v5", v5}, {"topdown", topDown}, {"fulltable", fullTable},
                        {"sizeimage", sized}, {"gap", gap}, {"offbits_inside_table", gapIgnored},
                        {"offbits_past_end", pastEnd}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TBitmap b = Load(c.recipe.Build());
    EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(Colours(b), kExpected2x2);
  }
}

// The pixel bytes read are the smaller of biSizeImage and what the file still holds; rows
// they do not reach, and the rest of a row they end in, stay 0 (index 0 is red here).
TEST(BmpRead, ShortPixelDataLeavesTheRestZero) {
  struct Case {
    const char* name;
    BmpRecipe recipe;
    std::vector<TColor> colours;  // top row first
  };
  BmpRecipe bottomRow = EightBit2x2();
  bottomRow.pixels = {2, 0, 0, 0};
  BmpRecipe partRow = EightBit2x2();
  partRow.pixels = {2, 1, 0, 0, 1};
  BmpRecipe sized = EightBit2x2();  // all the bytes are there, biSizeImage counts only 4
  sized.sizeImage = 4;
  BmpRecipe topDown = EightBit2x2();
  topDown.height = -2;
  topDown.pixels = {1};
  BmpRecipe rgb;  // 1x2, 24 bits: the top row holds only its blue byte
  rgb.width = 1;
  rgb.bitCount = 24;
  rgb.pixels = {0x10, 0x20, 0x30, 0, 0x01};
  BmpRecipe fields;  // 2x2 of 2-3-1 bit fields: the top row ends inside its first pixel
  fields.bitCount = 16;
  fields.compression = 3;
  for (std::uint32_t m : {0x30u, 0x0Eu, 0x01u}) Put32(fields.masks, m);
  fields.pixels = {0x1B, 0x00, 0x01, 0x00, 0x01};
  const TColor fieldColour = RGB(85, 182, 255);
  const Case cases[] = {
      {"bottom_row_only", bottomRow, {kRed, kRed, kBlue, kRed}},
      {"ends_inside_a_row", partRow, {kGreen, kRed, kBlue, kGreen}},
      {"size_image_smaller", sized, {kRed, kRed, kBlue, kRed}},
      {"top_down", topDown, {kGreen, kRed, kRed, kRed}},
      {"24_bits", rgb, {RGB(0, 0, 1), RGB(0x30, 0x20, 0x10)}},
      {"bit_fields", fields, {RGB(0, 0, 255), clBlack, fieldColour, RGB(0, 0, 255)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Colours(Load(c.recipe.Build())), c.colours);
  }
}

// A memory stream's buffer taken over by the picture gives the same rows, padding included,
// as a copy; the stream is left empty only when its buffer was taken.
TEST(BmpRead, TakingTheStreamsBufferGivesTheSameRows) {
  struct Case {
    const char* name;
    BmpRecipe recipe;
    std::size_t prefix;  // bytes before the file, where the stream starts reading
    bool taken;
  };
  BmpRecipe topDown = EightBit2x2();
  topDown.height = -2;
  topDown.pixels = {0, 1, 7, 7, 2, 0, 9, 9};
  BmpRecipe odd;  // 1x3, 24 bits: a middle row that stays, padding bytes that are kept
  odd.width = 1;
  odd.height = 3;
  odd.bitCount = 24;
  odd.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  BmpRecipe four = odd;  // an even number of rows, with a gap before them
  four.height = 4;
  four.gap = 5;
  four.pixels.insert(four.pixels.end(), {13, 14, 15, 16});
  BmpRecipe wide = EightBit2x2();  // rows without padding: saved as one piece
  wide.width = 4;
  wide.height = 3;
  wide.pixels = {0, 1, 2, 0, 2, 2, 1, 0, 1, 0, 0, 2};
  BmpRecipe shortData = odd;  // a row missing: read as usual, the stream kept
  shortData.pixels.resize(8);
  BmpRecipe rle = EightBit2x2();
  rle.compression = 1;
  rle.pixels = {2, 1, 0, 0, 2, 2, 0, 1};
  const Case cases[] = {{"bottom_up", EightBit2x2(), 0, true}, {"top_down", topDown, 0, true},
                        {"odd_rows", odd, 0, true},         {"even_rows_after_a_gap", four, 0, true},
                        {"after_other_bytes", odd, 3, true}, {"unpadded", wide, 0, true},
                        {"short_data", shortData, 0, false},
                        {"rle", rle, 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file(c.prefix, 0xEE);
    const Bytes bmp = c.recipe.Build();
    file.insert(file.end(), bmp.begin(), bmp.end());
    TMemoryStream copied(file), taken(file);
    copied.SetPosition(static_cast<std::int64_t>(c.prefix));
    taken.SetPosition(static_cast<std::int64_t>(c.prefix));
    TBitmap expected, b;
    expected.LoadFromStream(copied);
    b.LoadFromMemoryStream(taken);
    ASSERT_EQ(b.GetHeight(), expected.GetHeight());
    ASSERT_EQ(b.GetStride(), expected.GetStride());
    for (int y = 0; y < b.GetHeight(); ++y)
      EXPECT_EQ(Bytes(b.ScanLine(y), b.ScanLine(y) + b.GetStride()),
                Bytes(expected.ScanLine(y), expected.ScanLine(y) + expected.GetStride()))
          << "row " << y;
    EXPECT_EQ(Colours(b), Colours(expected));
    EXPECT_EQ(taken.GetSize() == 0, c.taken);
    // Saved, grown and written to, a taken picture behaves as a copied one.
    TMemoryStream savedTaken, savedCopied;
    b.SaveToStream(savedTaken);
    expected.SaveToStream(savedCopied);
    EXPECT_EQ(savedTaken.Bytes(), savedCopied.Bytes());
    TBitmap grown = b;
    grown.SetSize(b.GetWidth() + 1, b.GetHeight() + 1);
    grown.SetPixelColor(0, 0, RGB(255, 255, 255));
    expected.SetSize(b.GetWidth() + 1, b.GetHeight() + 1);
    expected.SetPixelColor(0, 0, RGB(255, 255, 255));
    EXPECT_EQ(Colours(grown), Colours(expected));
  }
}

TEST(BmpRead, PaletteSizeFollowsClrUsedUpToTheDepth) {
  BmpRecipe s = EightBit2x2();
  EXPECT_EQ(Load(s.Build()).GetPalette().size(), 3u);
  // 300 entries in an 8-bit file: 256 kept, the rest skipped before the pixels.
  s.clrUsed = 300;
  s.table.resize(300 * 4, 0);
  const TBitmap b = Load(s.Build());
  EXPECT_EQ(b.GetPalette().size(), 256u);
  EXPECT_EQ(Colours(b), kExpected2x2);
}

TEST(BmpRead, LowDepthsAndTwentyFourBits) {
  BmpRecipe one;  // 9x1, 1 bit: pattern 1 0 1 1 0 0 0 0 1
  one.width = 9;
  one.height = 1;
  one.bitCount = 1;
  one.table = Table({clBlack, clWhite});
  one.pixels = {0xB0, 0x80, 0, 0};
  EXPECT_EQ(Colours(Load(one.Build())),
            (std::vector<TColor>{clWhite, clBlack, clWhite, clWhite, clBlack, clBlack, clBlack, clBlack, clWhite}));

  BmpRecipe four;  // 3x1, 4 bits: indexes 1 2 0
  four.width = 3;
  four.height = 1;
  four.bitCount = 4;
  four.clrUsed = 3;
  four.table = Table({kRed, kGreen, kBlue});
  four.pixels = {0x12, 0x00, 0, 0};
  EXPECT_EQ(Colours(Load(four.Build())), (std::vector<TColor>{kGreen, kBlue, kRed}));

  BmpRecipe rgb;  // 1x2, 24 bits, bottom-up
  rgb.width = 1;
  rgb.bitCount = 24;
  rgb.pixels = {0x10, 0x20, 0x30, 0, 0x01, 0x02, 0x03, 0};
  const TBitmap b = Load(rgb.Build());
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(Colours(b), (std::vector<TColor>{RGB(3, 2, 1), RGB(0x30, 0x20, 0x10)}));
}

TEST(BmpRead, SixteenAndThirtyTwoBitFormats) {
  struct Case {
    const char* name;
    unsigned bits;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    Bytes pixel;  // one pixel, padded to 4 bytes
    TPixelFormat format;
    TColor colour;
  };
  const Case cases[] = {
      {"555_white", 16, 0, {}, {0xFF, 0x7F, 0, 0}, TPixelFormat::pf15bit, RGB(255, 255, 255)},
      {"555_ones", 16, 0, {}, {0x21, 0x04, 0, 0}, TPixelFormat::pf15bit, RGB(8, 8, 8)},
      {"555_fields", 16, 3, {0x7C00, 0x03E0, 0x001F}, {0x00, 0x7C, 0, 0}, TPixelFormat::pf15bit, RGB(255, 0, 0)},
      {"565", 16, 3, {0xF800, 0x07E0, 0x001F}, {0xE0, 0x07, 0, 0}, TPixelFormat::pf16bit, RGB(0, 255, 0)},
      {"8888", 32, 0, {}, {0x01, 0x02, 0x03, 0x99}, TPixelFormat::pf32bit, RGB(3, 2, 1)},
      {"8888_fields", 32, 3, {0xFF0000, 0xFF00, 0xFF}, {0x01, 0x02, 0x03, 0}, TPixelFormat::pf32bit, RGB(3, 2, 1)},
      // 2-3-1 bits: red 1 of 3 -> 85, green 5 of 7 -> 182, blue 1 of 1 -> 255.
      {"231", 16, 3, {0x30, 0x0E, 0x01}, {0x1B, 0x00, 0, 0}, TPixelFormat::pf32bit, RGB(85, 182, 255)},
      // Blue stored in the top byte, red at the bottom.
      {"xbgr", 32, 3, {0xFF, 0xFF00, 0xFF000000}, {0x11, 0x22, 0x00, 0x33}, TPixelFormat::pf32bit,
       RGB(0x11, 0x22, 0x33)},
      // A channel without bits reads 0.
      {"no_blue", 16, 3, {0xFF00, 0x00FF, 0}, {0x40, 0x80, 0, 0}, TPixelFormat::pf32bit, RGB(0x80, 0x40, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpRecipe s;
    s.width = 1;
    s.height = 1;
    s.bitCount = c.bits;
    s.compression = c.compression;
    for (std::uint32_t m : c.masks) Put32(s.masks, m);
    s.pixels = c.pixel;
    const TBitmap b = Load(s.Build());
    EXPECT_EQ(b.GetPixelFormat(), c.format);
    EXPECT_EQ(b.GetPixelColor(0, 0), c.colour);
    EXPECT_EQ(b.GetFileCompression(), c.compression);
    // The same masks inside a longer header.
    if (!c.masks.empty()) {
      s.headerSize = 56;
      EXPECT_EQ(Load(s.Build()).GetPixelColor(0, 0), c.colour);
    }
  }
}

// A 4x2 RLE8 picture: bottom row 1 1 1 1, top row 0 2 3 0 (index 0 skipped by a delta).
BmpRecipe Rle8File() {
  BmpRecipe s;
  s.width = 4;
  s.compression = 1;
  s.clrUsed = 4;
  s.table = Table({clBlack, kRed, kGreen, kBlue});
  s.pixels = {4, 1, 0, 0, 0, 2, 1, 0, 1, 2, 1, 3, 0, 0, 0, 1};
  s.sizeImage = static_cast<std::uint32_t>(s.pixels.size());
  return s;
}

TEST(BmpRead, RleFilesDecodeAndSaveBackTheirBytes) {
  const BmpRecipe rle8 = Rle8File();
  BmpRecipe rle4;  // 3x1 RLE4: indexes 1 2 1
  rle4.width = 3;
  rle4.height = 1;
  rle4.bitCount = 4;
  rle4.compression = 2;
  rle4.clrUsed = 3;
  rle4.table = Table({clBlack, kRed, kGreen});
  rle4.pixels = {3, 0x12, 0, 1};
  struct Case {
    const BmpRecipe& recipe;
    std::vector<TColor> colours;
  };
  const Case cases[] = {{rle8, {clBlack, kGreen, kBlue, clBlack, kRed, kRed, kRed, kRed}},
                        {rle4, {kRed, kGreen, kRed}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.recipe.compression);
    TBitmap b = Load(c.recipe.Build());
    EXPECT_EQ(Colours(b), c.colours);
    EXPECT_EQ(b.GetFileCompression(), c.recipe.compression);
    ASSERT_NE(b.GetEncodedBits(), nullptr);
    const Bytes saved = Save(b);
    const std::uint32_t offBits = Get32(saved, 10);
    EXPECT_EQ(offBits, 54u + 4u * (1u << c.recipe.bitCount));
    EXPECT_EQ(Get32(saved, 30), c.recipe.compression);
    EXPECT_EQ(Get32(saved, 34), c.recipe.pixels.size());
    EXPECT_EQ(Bytes(saved.begin() + offBits, saved.end()), c.recipe.pixels);
    EXPECT_EQ(Colours(Load(saved)), c.colours);
  }
}

TEST(BmpRead, WritingAPixelOfAnRlePictureSavesItUncompressed) {
  TBitmap b = Load(Rle8File().Build());
  b.SetPixelColor(0, 0, kRed);
  const Bytes saved = Save(b);
  EXPECT_EQ(Get32(saved, 30), 0u);
  EXPECT_EQ(Colours(Load(saved)), (std::vector<TColor>{kRed, kGreen, kBlue, clBlack, kRed, kRed, kRed, kRed}));
}

TEST(BmpRead, RleDataEndingEarlyIsKeptAsFarAsItGoesCodesLeavingThePictureAreRefused) {
  BmpRecipe cut = Rle8File();
  cut.pixels = {4, 1, 0, 0, 2, 3};  // no end of bitmap
  cut.sizeImage = 0;
  EXPECT_EQ(Colours(Load(cut.Build())), (std::vector<TColor>{kBlue, kBlue, clBlack, clBlack, kRed, kRed, kRed, kRed}));
  // Codes that leave the picture make the file unreadable.
  const Bytes outside[] = {{5, 2, 0, 1}, {0, 2, 5, 0, 0, 1}, {0, 0, 0, 0, 1, 1, 0, 1}, {0, 0, 0, 0, 0, 0}};
  for (const Bytes& pixels : outside) {
    BmpRecipe s = Rle8File();
    s.pixels = pixels;
    s.sizeImage = 0;
    EXPECT_EQ(Message(s.Build()), msg::kBitmapIllegal);
  }
}

// Memory is bounded by the picture's size, not by how well its data compresses: two bytes
// may fill a large picture with index 0, and only a picture beyond the pixel limit is refused.
TEST(BmpRead, RlePicturesAreBoundedByTheirSizeNotTheirCompression) {
  BmpRecipe s = Rle8File();
  s.width = 5000;
  s.height = 4000;
  s.pixels = {0, 1};
  s.sizeImage = 2;
  const TBitmap b = Load(s.Build());
  EXPECT_EQ(b.GetWidth(), 5000);
  EXPECT_EQ(b.GetHeight(), 4000);
  EXPECT_EQ(b.GetPixelColor(4999, 0), clBlack);
  EXPECT_EQ(b.GetPixelColor(0, 3999), clBlack);
  s.width = 16385;
  s.height = 16384;  // one row more than kMaxBitmapPixels allows
  EXPECT_EQ(Message(s.Build()), msg::kBitmapIllegal);
  // At 4 bits, exactly kMaxBitmapPixels is 128 MiB; one pixel more is refused.
  s.bitCount = 4;
  s.compression = 2;
  const struct {
    std::int32_t width, height;
    const char* message;
  } limits[] = {{1 << 14, 1 << 14, "loaded"}, {(1 << 28) + 1, 1, msg::kBitmapIllegal}};
  for (const auto& l : limits) {
    s.width = l.width;
    s.height = l.height;
    EXPECT_EQ(Message(s.Build()), l.message) << l.width << "x" << l.height;
  }
}

TEST(BmpRead, ZeroBytesGiveAnEmptyBitmap) {
  TBitmap b = Load(EightBit2x2().Build());
  TMemoryStream empty;
  b.LoadFromStream(empty);
  EXPECT_EQ(b.GetWidth(), 0);
  EXPECT_EQ(b.GetHeight(), 0);
  EXPECT_TRUE(b.GetEmpty());
  EXPECT_TRUE(Save(b).empty());
}

TEST(BmpRead, MalformedFilesAreRefused) {
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  auto with = [](auto change) {
    BmpRecipe s = EightBit2x2();
    change(s);
    return s.Build();
  };
  Bytes png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  Bytes truncatedTable = EightBit2x2().Build();
  truncatedTable.resize(14 + 40 + 5);
  Bytes hugeHeader = EightBit2x2().Build();
  hugeHeader[14 + 3] = 0xFF;  // biSize about 4 GB
  const Case cases[] = {
      {"not_bm", png, msg::kBitmapIllegal},
      {"one_byte", {'B'}, msg::kBitmapIllegal},
      {"signature_only", {'B', 'M'}, msg::kStreamReadError},
      {"file_header_only", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, msg::kStreamReadError},
      {"planes_2", with([](BmpRecipe& s) { s.planes = 2; }), msg::kBitmapIllegal},
      {"header_16", with([](BmpRecipe& s) { s.headerSize = 16; }), msg::kBitmapIllegal},
      {"header_huge", hugeHeader, msg::kStreamReadError},
      {"bits_2", with([](BmpRecipe& s) { s.bitCount = 2; }), msg::kBitmapIllegal},
      {"bits_64", with([](BmpRecipe& s) { s.bitCount = 64; }), msg::kBitmapIllegal},
      {"jpeg", with([](BmpRecipe& s) { s.compression = 4; }), msg::kBitmapIllegal},
      {"rle4_with_8_bits", with([](BmpRecipe& s) { s.compression = 2; }), msg::kBitmapIllegal},
      {"fields_with_8_bits", with([](BmpRecipe& s) { s.compression = 3; }), msg::kBitmapIllegal},
      {"width_0", with([](BmpRecipe& s) { s.width = 0; }), msg::kBitmapIllegal},
      {"width_negative", with([](BmpRecipe& s) { s.width = -2; }), msg::kBitmapIllegal},
      {"height_0", with([](BmpRecipe& s) { s.height = 0; }), msg::kBitmapIllegal},
      {"height_min", with([](BmpRecipe& s) { s.height = INT_MIN; }), msg::kBitmapIllegal},
      {"rle_top_down", with([](BmpRecipe& s) { s.compression = 1, s.height = -2; }), msg::kBitmapIllegal},
      {"table_cut", truncatedTable, msg::kStreamReadError},
      {"huge_table", with([](BmpRecipe& s) { s.clrUsed = 0x40000000; }), msg::kStreamReadError},
      {"huge_picture", with([](BmpRecipe& s) { s.width = 0x7FFFFFFF, s.height = 0x7FFFFFFF; }), msg::kBitmapIllegal},
      {"core_table_cut", with([](BmpRecipe& s) { s.headerSize = 12, s.table.resize(100 * 3), s.offBits = 0; }), msg::kStreamReadError},
      {"huge_rle", with([](BmpRecipe& s) { s.compression = 1, s.width = 100000, s.height = 100000, s.pixels = {0, 1}; }),
       msg::kBitmapIllegal},
      {"core_planes_0", with([](BmpRecipe& s) { s.headerSize = 12, s.planes = 0; }), msg::kBitmapIllegal},
      {"core_16_bits", with([](BmpRecipe& s) { s.headerSize = 12, s.bitCount = 16; }), msg::kBitmapIllegal},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Message(c.file), c.message);
  }
}

TEST(BmpRead, AFailedLoadLeavesTheBitmapAsItWas) {
  TBitmap b = Load(EightBit2x2().Build());
  Bytes broken = EightBit2x2().Build();
  broken.resize(14 + 40 + 5);  // inside the colour table
  TMemoryStream stream(broken);
  EXPECT_THROW(b.LoadFromStream(stream), EReadError);
  EXPECT_EQ(Colours(b), kExpected2x2);
  EXPECT_EQ(b.GetPalette().size(), 3u);
}

TEST(BmpRead, PackedDibHasNoFileHeader) {
  const Bytes file = EightBit2x2().Build();
  TBitmap b;
  b.LoadFromPackedDib(file.data() + 14, file.size() - 14);
  EXPECT_EQ(Colours(b), kExpected2x2);
  EXPECT_THROW(b.LoadFromPackedDib(file.data() + 14, 20), EReadError);
}

TEST(BmpRead, FilesThatCannotBeOpenedNameThemselves) {
  TBitmap b;
  try {
    b.LoadFromFile("no/such/folder/x.bmp");
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_STREQ(e.what(), "File no/such/folder/x.bmp  isn't opened.");
  }
}

// --- writing -------------------------------------------------------------------------------

// A bitmap of the format whose pixels show a pattern that depends on x and y.
// The size a header claims is read without decoding and without moving the stream.
TEST(BmpSize, ReadFromTheHeaderAlone) {
  const auto recipe = [](std::uint32_t headerSize, std::int32_t width, std::int32_t height) {
    BmpRecipe r;
    r.headerSize = headerSize;
    r.width = width;
    r.height = height;
    return r.Build();
  };
  const Bytes info = recipe(40, 16384, 16384);
  struct Case {
    const char* name;
    Bytes bytes;
    std::optional<std::pair<int, int>> size;
  };
  const Case cases[] = {
      {"info header", info, std::pair{16384, 16384}},
      {"header only, no pixels", Bytes(info.begin(), info.begin() + 54), std::pair{16384, 16384}},
      {"top-down rows", recipe(40, 3, -5), std::pair{3, 5}},
      {"core header", recipe(12, 160, 80), std::pair{160, 80}},
      {"longer header", recipe(124, 7, 9), std::pair{7, 9}},
      {"cut in the info header", Bytes(info.begin(), info.begin() + 40), std::nullopt},
      {"no size", recipe(40, 0, 4), std::nullopt},
      {"negative width", recipe(40, -3, 4), std::nullopt},
      {"not a BMP", Bytes{'G', 'I', 'F', '8', '9', 'a'}, std::nullopt},
  };
  for (const Case& c : cases) {
    TMemoryStream stream(c.bytes);
    stream.SetPosition(0);
    EXPECT_EQ(ReadBmpSize(stream), c.size) << c.name;
    EXPECT_EQ(stream.GetPosition(), 0) << c.name;
  }
}

TBitmap Pattern(int width, int height, TPixelFormat format) {
  TBitmap b;
  b.SetPixelFormat(format);
  b.SetSize(width, height);
  const int bits = b.GetBitsPerPixel();
  if (bits <= 8) {
    TPaletteEntries palette;
    for (int i = 0; i < (bits == 8 ? 7 : bits == 4 ? 5 : 2); ++i)
      palette.push_back({static_cast<std::uint8_t>(40 * i), static_cast<std::uint8_t>(255 - 30 * i),
                         static_cast<std::uint8_t>(i * i), 0});
    b.SetPalette(palette);
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int v = x * 3 + y * 5;
      b.SetPixelColor(x, y, RGB(static_cast<std::uint8_t>(v * 11), static_cast<std::uint8_t>(255 - v * 7),
                                static_cast<std::uint8_t>(v * v)));
    }
  return b;
}

TEST(BmpWrite, RoundTripsAtOddWidthsWithTheWrittenHeader) {
  struct Depth {
    TPixelFormat format;
    unsigned bits;
    std::uint32_t compression;
    std::uint32_t offBits;  // 14 + 40, + 4 x the full table, + 12 for the three masks
    std::uint32_t clrUsed;
  };
  const Depth depths[] = {{TPixelFormat::pf1bit, 1, 0, 62, 2},       {TPixelFormat::pf4bit, 4, 0, 118, 16},
                          {TPixelFormat::pf8bit, 8, 0, 1078, 256},   {TPixelFormat::pf15bit, 16, 0, 54, 0},
                          {TPixelFormat::pf16bit, 16, 3, 66, 0},     {TPixelFormat::pf24bit, 24, 0, 54, 0},
                          {TPixelFormat::pf32bit, 32, 0, 54, 0}};
  for (const Depth& d : depths)
    for (int width = 1; width <= 9; ++width)
      for (int height : {1, 3}) {
        SCOPED_TRACE(testing::Message() << d.bits << " bits " << width << "x" << height);
        TBitmap b = Pattern(width, height, d.format);
        const Bytes file = Save(b);
        const std::uint32_t stride = (width * d.bits + 31) / 32 * 4;
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(Get32(file, 2), file.size());
        EXPECT_EQ(Get32(file, 6), 0u);
        EXPECT_EQ(Get32(file, 10), d.offBits);
        EXPECT_EQ(Get32(file, 14), 40u);
        EXPECT_EQ(Get32(file, 18), static_cast<std::uint32_t>(width));
        EXPECT_EQ(Get32(file, 22), static_cast<std::uint32_t>(height));
        EXPECT_EQ(Get16(file, 26), 1u);
        EXPECT_EQ(Get16(file, 28), d.bits);
        EXPECT_EQ(Get32(file, 30), d.compression);
        EXPECT_EQ(Get32(file, 34), stride * height);
        EXPECT_EQ(Get32(file, 38), 0u);
        EXPECT_EQ(Get32(file, 42), 0u);
        EXPECT_EQ(Get32(file, 46), d.clrUsed);
        EXPECT_EQ(Get32(file, 50), 0u);
        if (d.compression == 3) {  // red, green and blue masks of 5-6-5 pixels
          EXPECT_EQ(Get32(file, 54), 0xF800u);
          EXPECT_EQ(Get32(file, 58), 0x07E0u);
          EXPECT_EQ(Get32(file, 62), 0x001Fu);
        }
        EXPECT_EQ(file.size(), d.offBits + stride * height);
        const TBitmap back = Load(file);
        EXPECT_EQ(back.GetPixelFormat(), d.format);
        EXPECT_EQ(Colours(back), Colours(b));
      }
}

TEST(BmpWrite, HandWorkedSizes) {
  // 5x3 at 24 bits: rows of 15 bytes padded to 16, so 48 pixel bytes and 102 in all.
  TBitmap b = Pattern(5, 3, TPixelFormat::pf24bit);
  Bytes file = Save(b);
  EXPECT_EQ(file.size(), 102u);
  EXPECT_EQ(Get32(file, 34), 48u);
  // 1x1 at 24 bits: 58 bytes.
  b = Pattern(1, 1, TPixelFormat::pf24bit);
  EXPECT_EQ(Save(b).size(), 58u);
  // 9x2 at 1 bit: 2 bytes a row padded to 4; 62 + 8.
  b = Pattern(9, 2, TPixelFormat::pf1bit);
  EXPECT_EQ(Save(b).size(), 70u);
}

TEST(BmpWrite, RowsAreBottomUpAndPaddedWithZeros) {
  TBitmap b = Pattern(1, 2, TPixelFormat::pf24bit);
  // Garbage in the padding bytes of the rows in memory must not reach the file.
  b.ScanLine(0)[3] = 0xAB;
  b.ScanLine(1)[3] = 0xCD;
  const Bytes file = Save(b);
  const Bytes bottom(file.begin() + 54, file.begin() + 58), top(file.begin() + 58, file.end());
  EXPECT_EQ(bottom, (Bytes{b.ScanLine(1)[0], b.ScanLine(1)[1], b.ScanLine(1)[2], 0}));
  EXPECT_EQ(top, (Bytes{b.ScanLine(0)[0], b.ScanLine(0)[1], b.ScanLine(0)[2], 0}));
}

TEST(BmpWrite, ColourTablesHoldTheImageEntriesFirstThenZeros) {
  TBitmap b = Pattern(3, 1, TPixelFormat::pf8bit);
  const Bytes file = Save(b);
  const TPaletteEntries& palette = b.GetPalette();
  ASSERT_EQ(palette.size(), 7u);
  for (std::size_t i = 0; i < 256; ++i) {
    const std::size_t at = 54 + 4 * i;
    const Bytes entry(file.begin() + at, file.begin() + at + 4);
    if (i < palette.size())
      EXPECT_EQ(entry, (Bytes{palette[i].peBlue, palette[i].peGreen, palette[i].peRed, 0}));
    else
      EXPECT_EQ(entry, (Bytes{0, 0, 0, 0})) << i;
  }
}

TEST(BmpWrite, TwentyFourBitsWithAPaletteWriteItAsAnOptionalTable) {
  TBitmap b = Pattern(2, 2, TPixelFormat::pf24bit);
  b.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}});
  const Bytes file = Save(b);
  EXPECT_EQ(Get32(file, 10), 54u + 12u);
  EXPECT_EQ(Get32(file, 46), 3u);
  EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 58), (Bytes{3, 2, 1, 0}));
  const TBitmap back = Load(file);
  EXPECT_EQ(back.GetPalette(), b.GetPalette());
  EXPECT_EQ(Colours(back), Colours(b));
}

TEST(BmpWrite, SixteenAndThirtyTwoBitPicturesKeepTheirFormat) {
  for (TPixelFormat format : {TPixelFormat::pf15bit, TPixelFormat::pf16bit, TPixelFormat::pf32bit}) {
    SCOPED_TRACE(static_cast<int>(format));
    TBitmap b = Pattern(3, 2, format);
    const TBitmap back = Load(Save(b));
    EXPECT_EQ(back.GetPixelFormat(), format);
    EXPECT_EQ(Colours(back), Colours(b));
  }
}

// --- files -----------------------------------------------------------------------------------

class BmpFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("pw_bmp_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const char* name) const { return (folder_ / name).string(); }
  std::size_t Entries() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_), {}));
  }
  std::filesystem::path folder_;
};

// A file holds the bytes SaveToStream makes, at every depth and with row padding.
TEST_F(BmpFiles, AFileHoldsWhatTheStreamHolds) {
  const struct {
    int width;
    TPixelFormat format;
  } rows[] = {{7, TPixelFormat::pf1bit}, {7, TPixelFormat::pf4bit}, {5, TPixelFormat::pf8bit},
              {3, TPixelFormat::pf15bit}, {3, TPixelFormat::pf16bit}, {3, TPixelFormat::pf24bit},
              {4, TPixelFormat::pf24bit}, {3, TPixelFormat::pf32bit}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.width << " pixels, format " << static_cast<int>(row.format));
    TBitmap b = Pattern(row.width, 3, row.format);
    TMemoryStream stream;
    b.SaveToStream(stream);
    b.SaveToFile(Path("out.bmp"));
    EXPECT_EQ(ReadFileBytes(Path("out.bmp")), stream.Bytes());
    // Read straight from the rows in uneven steps, from the start and from a seek within.
    TGatherStream gathered = b.FileStream();
    EXPECT_EQ(gathered.GetSize(), static_cast<std::int64_t>(stream.Bytes().size()));
    for (const std::size_t from : {std::size_t{0}, std::size_t{57}}) {
      gathered.SetPosition(static_cast<std::int64_t>(from));
      Bytes read(stream.Bytes().size() + 5);
      std::size_t got = from;
      for (std::size_t step = 1, n = 1; n > 0; step = step * 2 + 1) got += n = gathered.Read(read.data() + got, step);
      read.resize(got);
      EXPECT_EQ(Bytes(read.begin() + static_cast<std::ptrdiff_t>(from), read.end()),
                Bytes(stream.Bytes().begin() + static_cast<std::ptrdiff_t>(from), stream.Bytes().end()));
    }
  }
}

TEST_F(BmpFiles, SaveAndLoadAFile) {
  TBitmap b = Pattern(7, 3, TPixelFormat::pf4bit);
  b.SaveToFile(Path("out.bmp"));
  b.SaveToFile(Path("out.bmp"));  // over an existing file
  TBitmap back;
  back.LoadFromFile(Path("out.bmp"));
  EXPECT_EQ(Colours(back), Colours(b));
  EXPECT_EQ(Entries(), 1u);  // no temporary file left behind
}

TEST_F(BmpFiles, ATargetThatCannotBeMadeIsNamed) {
  TBitmap b = Pattern(2, 2, TPixelFormat::pf24bit);
  const std::string missing = Path("no-such-folder/out.bmp");
  try {
    b.SaveToFile(missing);
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + missing + " can't be made.");
  }
  std::filesystem::create_directory(Path("folder"));
  EXPECT_THROW(b.SaveToFile(Path("folder")), EFCreateError);
  EXPECT_TRUE(std::filesystem::is_directory(Path("folder")));
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(BmpFiles, AFailedSaveKeepsTheExistingFile) {
  const Bytes old = {'o', 'l', 'd'};
  TMemoryStream(old).SaveToFile(Path("keep.bmp"));
  // Let the file system refuse everything past 4 KB, so the save fails half-way.
  signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  TBitmap b = Pattern(100, 100, TPixelFormat::pf24bit);
  EXPECT_THROW(b.SaveToFile(Path("keep.bmp")), EFCreateError);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(ReadFileBytes(Path("keep.bmp")), old);
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(BmpFiles, AZeroByteFileIsAnEmptyBitmap) {
  TMemoryStream().SaveToFile(Path("empty.bmp"));
  TBitmap b = Pattern(2, 2, TPixelFormat::pf24bit);
  b.LoadFromFile(Path("empty.bmp"));
  EXPECT_TRUE(b.GetEmpty());
}

}  // namespace
}  // namespace pw
