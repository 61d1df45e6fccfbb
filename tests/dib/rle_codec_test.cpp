// RLE8 and RLE4 decoding and encoding of DIB blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dib/convert.h"
#include "dib/messages.h"
#include "dib/rle_codec.h"
#include "tests/dib/codec_test_util.h"

namespace pw {
namespace {

using test::Bytes;

const TQvConvertContext kContext;

// An RLE block of width x height (bottom-up) holding data.
TQvDIBInfos RleBlock(int bits, int width, int height, const Bytes& data) {
  TQvDIBInfos d;
  d.header.biWidth = width;
  d.header.biHeight = height;
  d.header.biBitCount = static_cast<std::uint16_t>(bits);
  d.header.biCompression = bits == 8 ? BI_RLE8 : BI_RLE4;
  d.header.biSizeImage = static_cast<std::uint32_t>(data.size());
  d.memory = TQvPixelMemory::Get(data.size(), false);
  if (!data.empty()) std::memcpy(d.Bits(), data.data(), data.size());
  return d;
}

TQvDIBInfos Decode(const TQvDIBInfos& d) {
  return d.header.biBitCount == 8 ? Convert8BitRLETo8BitRGB(d, false, kContext) : Convert4BitRLETo4BitRGB(d, false, kContext);
}

Bytes Memory(const TQvDIBInfos& d) { return Bytes(d.Bits(), d.Bits() + d.BitsSize()); }

// Encodes with a work buffer big enough for any row, to see the codes themselves.
Bytes EncodeAmple(TRleFormat format, const TQvDIBInfos& source) {
  Bytes out(4096);
  const auto length = EncodeRle(format, source, out.data(), out.size());
  EXPECT_TRUE(length.has_value());
  out.resize(length.value_or(0));
  return out;
}

TQvDIBInfos Row8(const Bytes& pixels) {
  return test::MakeBlock(static_cast<int>(pixels.size()), 1, 8, false, [&](int x, int) { return pixels[x]; });
}

// --- decoding ---------------------------------------------------------------------------------

TEST(RleDecode, Rle8RunFillsTheRow) {
  const TQvDIBInfos out = Decode(RleBlock(8, 2, 1, {0x02, 0x05, 0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(Memory(out), (Bytes{5, 5, 0, 0}));
  EXPECT_EQ(out.header.biCompression, BI_RGB);
  EXPECT_EQ(out.header.biSizeImage, 0u);
}

TEST(RleDecode, Rle8AllCodes) {
  // Row 0: absolute 1 2 3 (padded), end of line; row 1: delta (1, 1) to row 2, run of 2.
  const Bytes data{0x00, 0x03, 1, 2, 3, 0, 0x00, 0x00, 0x00, 0x02, 1, 1, 0x02, 9, 0x00, 0x01};
  const TQvDIBInfos out = Decode(RleBlock(8, 3, 3, data));
  EXPECT_EQ(Memory(out), (Bytes{1, 2, 3, 0, 0, 0, 0, 0, 0, 9, 9, 0}));
}

TEST(RleDecode, Rle4DeltaLandsInTheLowNibble) {
  const Bytes data{0x00, 0x02, 3, 0, 0x01, 0xF0, 0x00, 0x01};
  const TQvDIBInfos out = Decode(RleBlock(4, 6, 1, data));
  EXPECT_EQ(Memory(out), (Bytes{0x00, 0x0F, 0x00, 0x00}));
}

TEST(RleDecode, Rle4RunsAndAbsoluteRuns) {
  // Run of 5 alternating 1 and 2; absolute run of 3 nibbles 7 8 9 in 2 bytes plus padding.
  const Bytes data{0x05, 0x12, 0x00, 0x03, 0x78, 0x90, 0x00, 0x01};
  const TQvDIBInfos out = Decode(RleBlock(4, 8, 1, data));
  EXPECT_EQ(Memory(out), (Bytes{0x12, 0x12, 0x17, 0x89}));
}

TEST(RleDecode, BadDataFailsWithItsNumberAndDataThatEndsEarlyWithItsOwnText) {
  const struct {
    const char* name;
    int bits, width, height;
    Bytes data;
    const char* message;
  } cases[] = {
      {"rle8 run past the row", 8, 2, 1, {0x03, 0x05, 0x00, 0x01}, qvmsg::kBadRleData4},
      {"rle8 run below the image", 8, 2, 1, {0x00, 0x00, 0x01, 0x05, 0x00, 0x01}, qvmsg::kBadRleData4},
      {"rle8 end of line past the end", 8, 2, 1, {0x00, 0x00, 0x00, 0x00, 0x00, 0x01}, qvmsg::kBadRleData1},
      {"rle8 delta right", 8, 2, 1, {0x00, 0x02, 3, 0, 0x00, 0x01}, qvmsg::kBadRleData2},
      {"rle8 delta up", 8, 2, 1, {0x00, 0x02, 0, 2, 0x00, 0x01}, qvmsg::kBadRleData2},
      {"rle8 absolute past the row", 8, 2, 1, {0x00, 0x03, 1, 2, 3, 0, 0x00, 0x01}, qvmsg::kBadRleData3},
      {"rle8 no end of bitmap", 8, 2, 1, {0x02, 0x05}, qvmsg::kRle8DataEnded},
      {"rle8 empty", 8, 2, 1, {}, qvmsg::kRle8DataEnded},
      {"rle8 cut absolute run", 8, 8, 1, {0x00, 0x05, 1, 2}, qvmsg::kRle8DataEnded},
      {"rle8 cut delta", 8, 8, 2, {0x00, 0x02, 1}, qvmsg::kRle8DataEnded},
      {"rle4 run past the row", 4, 3, 1, {0x05, 0x11, 0x00, 0x01}, qvmsg::kBadRleData8},
      {"rle4 end of line past the end", 4, 2, 1, {0x00, 0x00, 0x00, 0x00, 0x00, 0x01}, qvmsg::kBadRleData5},
      {"rle4 delta right", 4, 3, 1, {0x00, 0x02, 5, 0, 0x00, 0x01}, qvmsg::kBadRleData6},
      {"rle4 absolute past the row", 4, 2, 1, {0x00, 0x03, 0x12, 0x30, 0x00, 0x01}, qvmsg::kBadRleData7},
      {"rle4 no end of bitmap", 4, 2, 1, {0x02, 0x11, 0x00}, qvmsg::kRle4DataEnded},
      {"rle4 cut absolute run", 4, 8, 1, {0x00, 0x05, 0x12}, qvmsg::kRle4DataEnded},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      Decode(RleBlock(c.bits, c.width, c.height, c.data));
      ADD_FAILURE() << "no error";
    } catch (const EQvDIBInvalidDIB& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(RleDecode, Rle4ColumnLimitIsTheEvenWidth) {
  // Width 3: a run of 4 fits (the 4th nibble is the row's spare nibble).
  const TQvDIBInfos out = Decode(RleBlock(4, 3, 1, {0x04, 0x56, 0x00, 0x01}));
  EXPECT_EQ(Memory(out), (Bytes{0x56, 0x56, 0, 0}));
}

// --- encoding -------------------------------------------------------------------------------

TEST(RleEncode, Rle8RowCodes) {
  const struct {
    const char* name;
    Bytes row;
    Bytes codes;
  } cases[] = {
      {"one run", Bytes(8, 7), {0x08, 7, 0, 0, 0, 1}},
      {"literal", {1, 2, 3, 4}, {0x00, 0x04, 1, 2, 3, 4, 0, 0, 0, 1}},
      {"odd literal is padded", {1, 2, 3}, {0x00, 0x03, 1, 2, 3, 0, 0, 0, 0, 1}},
      {"two bytes as runs", {1, 2}, {0x01, 1, 0x01, 2, 0, 0, 0, 1}},
      {"one byte", {9}, {0x01, 9, 0, 0, 0, 1}},
      {"literal ending in a run", {1, 2, 3, 3}, {0x01, 1, 0x01, 2, 0x02, 3, 0, 0, 0, 1}},
      {"run then literal", {5, 5, 5, 1, 2, 3}, {0x03, 5, 0x00, 0x03, 1, 2, 3, 0, 0, 0, 0, 1}},
      {"run then single", {5, 5, 6}, {0x02, 5, 0x01, 6, 0, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EncodeAmple(TRleFormat::kRle8, Row8(c.row)), c.codes);
  }
}

TEST(RleEncode, Rle8LongRunsAndLiteralsAreSplit) {
  Bytes codes = EncodeAmple(TRleFormat::kRle8, Row8(Bytes(300, 4)));
  EXPECT_EQ(codes, (Bytes{0xFF, 4, 45, 4, 0, 0, 0, 1}));

  Bytes ramp(300);
  for (int i = 0; i < 300; ++i) ramp[i] = static_cast<std::uint8_t>(i);
  codes = EncodeAmple(TRleFormat::kRle8, Row8(ramp));
  ASSERT_EQ(codes.size(), 2 + 255 + 1 + 2 + 45 + 1 + 4u);
  EXPECT_EQ(codes[0], 0);
  EXPECT_EQ(codes[1], 255);
  EXPECT_EQ(codes[2 + 255], 0);  // padding of the odd literal
  EXPECT_EQ(codes[258], 0);
  EXPECT_EQ(codes[259], 45);
  EXPECT_EQ(codes[260], 255);  // the literal goes on with byte 255
}

TEST(RleEncode, Rle4CountsPixels) {
  const struct {
    const char* name;
    Bytes pixels;
    Bytes codes;
  } cases[] = {
      {"odd run", {7, 7, 7, 7, 7}, {0x04, 0x77, 0x01, 0x70, 0, 0, 0, 1}},
      {"literal cut at the width", {1, 2, 3, 4, 5}, {0x00, 0x05, 0x12, 0x34, 0x50, 0, 0, 0, 0, 1}},
      {"one byte", {1, 2}, {0x02, 0x12, 0, 0, 0, 1}},
      {"one pixel", {3}, {0x01, 0x30, 0, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TQvDIBInfos d =
        test::MakeBlock(static_cast<int>(c.pixels.size()), 1, 4, false, [&](int x, int) { return c.pixels[x]; });
    EXPECT_EQ(EncodeAmple(TRleFormat::kRle4, d), c.codes);
  }
}

TEST(RleEncode, OneValue8x1GivesSixBytes) {
  const TQvDIBInfos d = test::MakeBlock(8, 1, 8, true, [](int, int) { return 0x42; });
  const TQvDIBInfos out = Convert8BitRGBTo8BitRLE(d, false, kContext);
  EXPECT_EQ(Memory(out), (Bytes{0x08, 0x42, 0, 0, 0, 1}));
  EXPECT_EQ(out.header.biCompression, BI_RLE8);
  EXPECT_EQ(out.header.biSizeImage, 6u);
  EXPECT_EQ(out.header.biHeight, 1);  // RLE data is bottom-up
}

TEST(RleEncode, BottomRowComesFirst) {
  for (const bool topDown : {false, true}) {
    const TQvDIBInfos d = test::MakeBlock(8, 2, 8, topDown, [](int, int y) { return y == 0 ? 1 : 2; });
    EXPECT_EQ(Memory(Convert8BitRGBTo8BitRLE(d, false, kContext)), (Bytes{0x08, 2, 0, 0, 0x08, 1, 0, 0, 0, 1}));
  }
}

TEST(RleEncode, NoRoomMeansCompressionFailed) {
  const TQvDIBInfos one8 = test::MakeBlock(1, 1, 8, false, [](int, int) { return 1; });
  EXPECT_THROW(
      {
        try {
          Convert8BitRGBTo8BitRLE(one8, false, kContext);
        } catch (const EQvDIBCompressionFailed& e) {
          EXPECT_STREQ(e.what(), qvmsg::kRle8CompressionFailed);
          throw;
        }
      },
      EQvDIBCompressionFailed);
  const TQvDIBInfos noisy4 = test::MakeBlock(8, 2, 4, false, [](int x, int y) { return x + y; });
  try {
    Convert4BitRGBTo4BitRLE(noisy4, false, kContext);
    ADD_FAILURE() << "no error";
  } catch (const EQvDIBCompressionFailed& e) {
    EXPECT_STREQ(e.what(), qvmsg::kRle4CompressionFailed);
  }
}

TEST(RleCodec, WrongSourceIsRefused) {
  const TQvDIBInfos plain8 = test::MakeBlock(2, 1, 8, false, [](int, int) { return 0; });
  const TQvDIBInfos plain4 = test::MakeBlock(2, 1, 4, false, [](int, int) { return 0; });
  const TQvDIBInfos rle8 = RleBlock(8, 2, 1, {0, 1});
  const TQvDIBInfos rle4 = RleBlock(4, 2, 1, {0, 1});
  const struct {
    TQvConvertRoutine routine;
    const TQvDIBInfos* source;
    const char* message;
  } cases[] = {
      {Convert8BitRLETo8BitRGB, &plain8, qvmsg::kRle8DecodeBad}, {Convert8BitRLETo8BitRGB, &rle4, qvmsg::kRle8DecodeBad},
      {Convert4BitRLETo4BitRGB, &plain4, qvmsg::kRle4DecodeBad}, {Convert4BitRLETo4BitRGB, &rle8, qvmsg::kRle4DecodeBad},
      {Convert8BitRGBTo8BitRLE, &rle8, qvmsg::kRle8EncodeBad},   {Convert8BitRGBTo8BitRLE, &plain4, qvmsg::kRle8EncodeBad},
      {Convert4BitRGBTo4BitRLE, &rle4, qvmsg::kRle4EncodeBad},   {Convert4BitRGBTo4BitRLE, &plain8, qvmsg::kRle4EncodeBad},
  };
  for (const auto& c : cases) {
    try {
      c.routine(*c.source, false, kContext);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EQvDIBBadDIBType& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

// Encoding then decoding gives the picture back, at odd widths, both row orders and both depths.
TEST(RleCodec, RoundTrips) {
  struct Pattern {
    std::string name;
    std::vector<int> widths;
    std::function<int(int, int)> value;
    bool mustEncode;  // false: small images may leave no room (that failure is tested above)
  };
  std::vector<Pattern> patterns = {
      // Flat stretches and short literals.
      {"mixed",
       {1, 2, 3, 5, 7, 9, 31, 257, 600},
       [](int x, int y) { return (x / 6 + y) % 4 == 0 ? (x * 7 + y) % 16 : (x < 300 ? 2 : 3); },
       false},
  };
  // Runs and literals that reach and cross the code limits (RLE8: 255 bytes; RLE4: 127 bytes,
  // 254 pixels), starting on even and odd columns of 300-pixel rows.
  for (const int length : {126, 127, 128, 254, 255, 256})
    for (const int start : {0, 1}) {
      const auto inside = [start, length](int x) { return x >= start && x < start + length; };
      const std::string where = std::to_string(length) + " from " + std::to_string(start);
      // A run of 5 among a literal of 8..11.
      patterns.push_back({"run " + where, {300}, [inside](int x, int) { return inside(x) ? 5 : 8 + x % 4; }, true});
      // A literal of 0..4 (neither equal neighbouring pixels nor equal neighbouring pixel pairs)
      // between runs of 12.
      patterns.push_back({"literal " + where, {300}, [inside](int x, int) { return inside(x) ? x % 5 : 12; }, true});
    }

  int encoded = 0;
  for (const Pattern& pattern : patterns)
    for (const int bits : {8, 4})
      for (const bool topDown : {false, true})
        for (const int width : pattern.widths)
          for (const int height : {1, 2, 7}) {
            SCOPED_TRACE(pattern.name + ", bits " + std::to_string(bits) + " width " + std::to_string(width) +
                         " height " + std::to_string(height) + (topDown ? " top-down" : ""));
            const TQvDIBInfos source = test::MakeBlock(width, height, bits, topDown, pattern.value);
            TQvDIBInfos rle;
            try {
              rle = bits == 8 ? Convert8BitRGBTo8BitRLE(source, false, kContext)
                              : Convert4BitRGBTo4BitRLE(source, false, kContext);
            } catch (const EQvDIBCompressionFailed&) {
              ASSERT_FALSE(pattern.mustEncode) << "no room";
              continue;
            }
            ++encoded;
            const TQvDIBInfos back = Decode(rle);
            ASSERT_EQ(back.Height(), height);
            for (int y = 0; y < height; ++y)
              for (int x = 0; x < width; ++x)
                ASSERT_EQ(test::IndexAt(back, x, y), pattern.value(x, y)) << x << "," << y;
          }
  EXPECT_GT(encoded, 30);
}

TEST(RleCodec, PixelFormatSetterRunsTheRleSteps) {
  TQvDIB image;
  auto palette = std::make_shared<TQvLogPalette>();
  palette->entries.resize(256);
  palette->entries[3] = {255, 0, 0, 0};    // red
  palette->entries[200] = {0, 0, 255, 0};  // blue
  image.SetWidth(40);
  image.SetHeight(5);
  image.SetPalette(palette);  // after the size: a new size starts a blank storage
  for (int x = 0; x < 40; ++x) image.SetPixels(x, 2, x < 20 ? 3 : 200);
  image.SetPixelFormat(qvPf8BitRLE);
  EXPECT_EQ(image.GetPixelFormat(), qvPf8BitRLE);
  EXPECT_LT(test::Infos(image).BitsSize(), 200u);
  image.SetPixelFormat(qvPf4BitRLE);
  EXPECT_EQ(test::Infos(image).header.biCompression, BI_RLE4);
  image.SetPixelFormat(qvPf8Bit);
  const TQvDIBInfos& d = test::Infos(image);
  EXPECT_EQ(d.colorTable[image.GetPixels(0, 2)], (TRGBQuad{0, 0, 255, 0}));
  EXPECT_EQ(d.colorTable[image.GetPixels(39, 2)], (TRGBQuad{255, 0, 0, 0}));
  EXPECT_EQ(d.colorTable[image.GetPixels(5, 4)], (TRGBQuad{0, 0, 0, 0}));
}

}  // namespace
}  // namespace pw
