// The DIB image's BMP stream reader and writer, and the packed DIB of the clipboard.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "dib/messages.h"
#include "dib/qvdib.h"
#include "tests/dib/codec_test_util.h"
#include "toolkit/byte_reader.h"

namespace pw {
namespace {

using test::BmpFile;
using test::Bytes;
using test::Info;

std::uint32_t U32At(const Bytes& b, std::size_t at) { return ByteReader(b.data() + at, 4).U32LE(); }

// Pixel bytes of picture row y of a loaded image.
Bytes RowBytes(const TQvDIB& image, int y, std::size_t count) {
  const std::uint8_t* row = test::Infos(image).Row(y);
  return Bytes(row, row + count);
}

// --- writer ---------------------------------------------------------------------------------

TEST(DibStreamWriter, OnePixel24BitIs58Bytes) {
  TQvDIB image;
  image.SetBitCount(24);
  image.SetPixels(0, 0, 0x00102030);
  const Bytes file = test::Save(image);
  ASSERT_EQ(file.size(), 58u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(U32At(file, 2), 58u);   // bfSize
  EXPECT_EQ(U32At(file, 10), 54u);  // bfOffBits
  EXPECT_EQ(U32At(file, 14), 40u);  // biSize
  EXPECT_EQ(U32At(file, 46), 0u);   // biClrUsed
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), (Bytes{0x10, 0x20, 0x30, 0x00}));
}

TEST(DibStreamWriter, FullColourTableMovesPixelsTo1078) {
  TQvDIB image;  // 8 bits with 256 entries
  const Bytes file = test::Save(image);
  EXPECT_EQ(U32At(file, 10), 1078u);
  EXPECT_EQ(U32At(file, 2), 1078u + 4u);
  EXPECT_EQ(file.size(), 1082u);
}

// Write, read back, compare: header, colour table and pixels at odd widths.
TEST(DibStreamWriter, RoundTripKeepsEverything) {
  for (const int bits : {1, 4, 8, 24})
    for (const int width : {1, 3, 5, 7, 33}) {
      TQvDIB image;
      image.SetBitCount(bits);
      image.SetWidth(width);
      image.SetHeight(3);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x) image.SetPixels(x, y, bits == 24 ? 0x010203 * (x + 7 * y) : (x + y) % (1 << std::min(bits, 8)));
      TQvDIB copy;
      test::Load(copy, test::Save(image));
      const TQvDIBInfos& a = test::Infos(image);
      const TQvDIBInfos& b = test::Infos(copy);
      SCOPED_TRACE("bits " + std::to_string(bits) + " width " + std::to_string(width));
      EXPECT_EQ(std::memcmp(&a.header, &b.header, sizeof a.header), 0);
      EXPECT_EQ(std::memcmp(a.colorTable.data(), b.colorTable.data(), 256 * 4), 0);
      ASSERT_EQ(a.BitsSize(), b.BitsSize());
      EXPECT_EQ(std::memcmp(a.Bits(), b.Bits(), a.BitsSize()), 0);
      EXPECT_EQ(copy.GetWidth(), width);
      EXPECT_EQ(copy.GetHeight(), 3);
    }
}

// --- reader: layout ---------------------------------------------------------------------------

TEST(DibStreamReader, ExtraBytesAfterThePixelsAreKeptAndWrittenBack) {
  BmpFile f{Info(3, 2, 24), {}, {}, {}};
  f.info.biXPelsPerMeter = f.info.biYPelsPerMeter = 3780;  // as the reader would make them
  f.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 0, 0, 0xAA, 0xBB, 0xCC};
  const Bytes file = f.Build();
  TQvDIB image;
  test::Load(image, file);
  EXPECT_EQ(test::Infos(image).BitsSize(), 27u);
  EXPECT_EQ(image.GetPixels(0, 1), 0x00010203);  // bottom-up: the first stored row is the last
  EXPECT_EQ(test::Save(image), file);
}

// Masks named at depths that keep their pixels as read stay ahead of the colour entries, and
// a file or packed DIB written from such an image reads again to the same bytes.
TEST(DibStreamReader, MasksAtOtherDepthsAreWrittenBack) {
  const struct {
    int bits;
    std::uint32_t colours;
    Bytes pixels;
  } rows[] = {{1, 2, {0x80, 0, 0, 0}}, {4, 16, {0x10, 0, 0, 0}}, {8, 3, {2, 0, 0, 0}}, {24, 0, {1, 2, 3, 0}}};
  for (const auto& row : rows) {
    SCOPED_TRACE("bits " + std::to_string(row.bits));
    Bytes table;
    for (const std::uint32_t m : {0xFF0000u, 0x00FF00u, 0x0000FFu}) test::PutU32(table, m);
    const Bytes entries = test::Ramp(static_cast<int>(row.colours));
    table.insert(table.end(), entries.begin(), entries.end());
    BmpFile f{Info(1, 1, row.bits, BI_BITFIELDS, row.colours), table, {}, row.pixels};
    f.info.biXPelsPerMeter = f.info.biYPelsPerMeter = 3780;
    const Bytes file = f.Build();
    TQvDIB image;
    test::Load(image, file);
    EXPECT_EQ(test::Save(image), file);
    std::uint16_t format = 0;
    std::vector<std::uint8_t> packed;
    HPALETTE palette;
    image.SaveToClipboardFormat(format, packed, palette);
    EXPECT_EQ(packed, Bytes(file.begin() + 14, file.end()));
    TQvDIB copy;
    copy.LoadFromClipboardFormat(format, &packed, palette);
    EXPECT_EQ(test::Save(copy), file);
  }
}

TEST(DibStreamReader, PixelsStartAtOffBitsAfterAGap) {
  BmpFile f{Info(1, 1, 8, 0, 2), test::Ramp(2), {9, 9, 9, 9, 9, 9}, {1, 0, 0, 0}};
  TQvDIB image;
  test::Load(image, f.Build());
  EXPECT_EQ(image.GetPixels(0, 0), 1);
  EXPECT_EQ(test::Infos(image).BitsSize(), 4u);
}

TEST(DibStreamReader, DefaultsFilledIn) {
  BmpFile f{Info(2, 1, 4), test::Ramp(16), {}, {0x12, 0, 0, 0}};
  TQvDIB image;
  test::Load(image, f.Build());
  const TBitmapInfoHeader& h = test::Infos(image).header;
  EXPECT_EQ(h.biClrUsed, 16u);  // 0 means the full table
  EXPECT_EQ(h.biXPelsPerMeter, 3780);
  EXPECT_EQ(h.biYPelsPerMeter, 3780);
  EXPECT_EQ(image.GetPixels(1, 0), 2);
  EXPECT_EQ(image.GetPixelFormat(), qvPf4Bit);
}

TEST(DibStreamReader, OversizedColourTableKeeps256Entries) {
  BmpFile f{Info(1, 1, 8, 0, 300), test::Ramp(300), {}, {7, 0, 0, 0}};
  TQvDIB image;
  test::Load(image, f.Build());
  const TQvDIBInfos& d = test::Infos(image);
  EXPECT_EQ(d.header.biClrUsed, 256u);
  EXPECT_EQ(d.colorTable[255], (TRGBQuad{255, 0, 1, 0}));
  EXPECT_EQ(d.colorTable[256], TRGBQuad{});
  EXPECT_EQ(image.GetPixels(0, 0), 7);  // the 44 extra entries were skipped
}

TEST(DibStreamReader, CoreHeaderBecomesAnInfoHeader) {
  Bytes file;
  bmp::FileHeader fh;
  fh.bfOffBits = 14 + 12 + 256 * 3;
  fh.bfSize = fh.bfOffBits + 8;
  bmp::WriteFileHeader(file, fh);
  test::PutU32(file, 12);
  test::PutU16(file, 3);  // width
  test::PutU16(file, 2);  // height
  test::PutU16(file, 1);
  test::PutU16(file, 8);
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {std::uint8_t(i), 0x40, 0x80});  // blue, green, red
  file.insert(file.end(), {1, 2, 3, 0, 4, 5, 6, 0});
  TQvDIB image;
  test::Load(image, file);
  const TQvDIBInfos& d = test::Infos(image);
  EXPECT_EQ(d.header.biSize, 40u);
  EXPECT_EQ(d.header.biClrUsed, 256u);
  EXPECT_EQ(d.header.biHeight, 2);
  EXPECT_EQ(d.header.biXPelsPerMeter, 3780);
  EXPECT_EQ(d.colorTable[5], (TRGBQuad{5, 0x40, 0x80, 0}));
  EXPECT_EQ(RowBytes(image, 0, 3), (Bytes{4, 5, 6}));
}

TEST(DibStreamReader, RleDataShorterThanThePixelsIsKeptAsRead) {
  BmpFile f{Info(8, 8, 8, BI_RLE8), test::Ramp(256), {}, {8, 3, 0, 1}};
  TQvDIB image;
  test::Load(image, f.Build());
  EXPECT_EQ(image.GetPixelFormat(), qvPf8BitRLE);
  EXPECT_EQ(test::Infos(image).BitsSize(), 4u);
  image.SetPixelFormat(qvPf8Bit);
  EXPECT_EQ(image.GetPixels(0, 7), 3);
  EXPECT_EQ(image.GetPixels(7, 7), 3);
  EXPECT_EQ(image.GetPixels(0, 0), 0);
}

// AssignTo and Draw hand RLE data on as it is: on the same bytes the picture is exactly what
// the toolkit's BMP reader makes of them, also when the data ends without end of bitmap, and
// codes that leave the picture are refused by both.
TEST(DibStreamReader, RleDataDrawsAndAssignsAsTheBitmapReaderReadsIt) {
  const struct {
    const char* name;
    int bits, width;
    Bytes data;
    bool refused;
  } cases[] = {
      {"rle8 complete", 8, 8, {4, 1, 0, 0, 2, 3, 0, 1}, false},
      {"rle8 ends after a run", 8, 8, {3, 7}, false},
      {"rle8 ends after an end of line", 8, 8, {2, 5, 0, 0, 1, 9}, false},
      {"rle8 ends inside an absolute run", 8, 8, {1, 4, 0, 5, 1, 2}, false},
      {"rle8 ends inside a delta", 8, 8, {2, 4, 0, 2, 1}, false},
      {"rle8 empty", 8, 8, {}, false},
      {"rle4 ends after a run", 4, 5, {3, 0x12}, false},
      {"rle4 ends inside an absolute run", 4, 5, {0, 5, 0x12}, false},
      {"rle8 run past the row", 8, 8, {9, 1, 0, 1}, true},
      {"rle4 end of line below the picture", 4, 5, {0, 0, 0, 0, 0, 0}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file =
        BmpFile{Info(c.width, 2, c.bits, c.bits == 8 ? BI_RLE8 : BI_RLE4), test::Ramp(1 << c.bits), {}, c.data}.Build();
    TQvDIB image;
    test::Load(image, file);
    TBitmap read, assigned;
    TMemoryStream stream(file);
    if (c.refused) {
      EXPECT_THROW(read.LoadFromStream(stream), EInvalidGraphic);
      EXPECT_THROW(image.AssignTo(assigned), EQvDIBInvalidDIB);
      continue;
    }
    read.LoadFromStream(stream);
    image.AssignTo(assigned);
    TBitmap drawn;
    drawn.SetPixelFormat(TPixelFormat::pf24bit);
    drawn.SetSize(c.width, 2);
    drawn.Fill(clWhite);
    image.Draw(drawn, TRect{0, 0, c.width, 2});
    EXPECT_EQ(assigned.GetBitsPerPixel(), c.bits);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < c.width; ++x) {
        EXPECT_EQ(assigned.GetPixelColor(x, y), read.GetPixelColor(x, y)) << x << "," << y;
        EXPECT_EQ(drawn.GetPixelColor(x, y), read.GetPixelColor(x, y)) << x << "," << y;
      }
  }
}

// --- reader: 16 and 32 bits -----------------------------------------------------------------

TEST(DibStreamReader, SixteenBitDefaultMasks) {
  BmpFile f{Info(2, 1, 16), {}, {}, {}};
  test::PutU16(f.pixels, 0x7FFF);
  test::PutU16(f.pixels, 0x0421);
  TQvDIB image;
  test::Load(image, f.Build());
  EXPECT_EQ(image.GetPixelFormat(), qvPf24Bit);
  EXPECT_EQ(image.GetPixels(0, 0), 0x00FFFFFF);
  EXPECT_EQ(image.GetPixels(1, 0), 0x00080808);
  EXPECT_EQ(test::Infos(image).BitsSize(), 8u);
  EXPECT_EQ(test::Infos(image).header.biSizeImage, 0u);
}

TEST(DibStreamReader, BitFieldsMasksAndTheTableMovesUp) {
  // 5-6-5 masks, then two colour entries of an optional table.
  Bytes table;
  for (const std::uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) test::PutU32(table, m);
  const Bytes entries = test::Ramp(2);
  table.insert(table.end(), entries.begin(), entries.end());
  BmpFile f{Info(1, 1, 16, BI_BITFIELDS, 2), table, {}, {}};
  test::PutU16(f.pixels, 0xF81F);  // red and blue full, green 0
  test::PutU16(f.pixels, 0);
  TQvDIB image;
  test::Load(image, f.Build());
  const TQvDIBInfos& d = test::Infos(image);
  EXPECT_EQ(image.GetPixels(0, 0), 0x00FF00FF);
  EXPECT_EQ(d.header.biCompression, BI_RGB);
  EXPECT_EQ(d.header.biClrUsed, 2u);
  EXPECT_EQ(d.colorTable[0], (TRGBQuad{0, 1, 2, 0}));
  EXPECT_EQ(d.colorTable[1], (TRGBQuad{1, 2, 3, 0}));
}

TEST(DibStreamReader, ThirtyTwoBitsAndTopDown) {
  BmpFile f{Info(1, -2, 32), {}, {}, {}};
  test::PutU32(f.pixels, 0x00112233);  // top row
  test::PutU32(f.pixels, 0x00445566);
  TQvDIB image;
  test::Load(image, f.Build());
  EXPECT_EQ(test::Infos(image).header.biHeight, -2);
  EXPECT_EQ(image.GetPixels(0, 0), 0x00332211);
  EXPECT_EQ(image.GetPixels(0, 1), 0x00665544);
}

// --- reader: failures -------------------------------------------------------------------------

struct BadFile {
  const char* name;
  Bytes bytes;
  std::string message;
};

Bytes WithHeaderSize(std::uint32_t size) {
  Bytes b = BmpFile{Info(1, 1, 24), {}, {}, {0, 0, 0, 0}}.Build();
  b[14] = static_cast<std::uint8_t>(size);
  return b;
}

Bytes CoreWithBitCount(std::uint16_t bits) {
  Bytes file;
  bmp::WriteFileHeader(file, bmp::FileHeader{0x4D42, 100, 0, 0, 26});
  test::PutU32(file, 12);
  for (const std::uint16_t v : {std::uint16_t{1}, std::uint16_t{1}, std::uint16_t{1}, bits}) test::PutU16(file, v);
  return file;
}

std::vector<BadFile> BadFiles() {
  std::vector<BadFile> cases;
  Bytes notBm = BmpFile{Info(1, 1, 24), {}, {}, {0, 0, 0, 0}}.Build();
  notBm[1] = 'A';
  cases.push_back({"signature", notBm, qvmsg::kLoadFileTypeInvalid});
  cases.push_back({"header size 56", WithHeaderSize(56), qvmsg::kLoadInvalidHeaderSize});
  cases.push_back({"header size 108", WithHeaderSize(108), qvmsg::kLoadInvalidHeaderSize});
  cases.push_back({"bit count 2", BmpFile{Info(1, 1, 2), {}, {}, {0, 0, 0, 0}}.Build(), qvmsg::kLoadInvalidBitCout});
  cases.push_back({"core bit count 16", CoreWithBitCount(16), qvmsg::kLoadInvalidBitCount});
  cases.push_back({"core bit count 32", CoreWithBitCount(32), qvmsg::kLoadInvalidBitCount});
  BmpFile offBits{Info(1, 1, 8, 0, 2), test::Ramp(2), {}, {0, 0, 0, 0}};
  offBits.bfOffBits = 14 + 40 + 7;
  cases.push_back({"bfOffBits inside the table", offBits.Build(), qvmsg::kLoadOffBitsTooSmall});
  BmpFile masksOff{Info(1, 1, 16, BI_BITFIELDS), Bytes(12, 0xFF), {}, {0, 0, 0, 0}};
  masksOff.bfOffBits = 14 + 40 + 8;
  cases.push_back({"bfOffBits inside the masks", masksOff.Build(), qvmsg::kLoadOffBitsTooSmall});
  cases.push_back({"width 0", BmpFile{Info(0, 1, 24), {}, {}, {}}.Build(), qvmsg::kLoadInvalidWidthHeight});
  cases.push_back({"width -1", BmpFile{Info(-1, 1, 24), {}, {}, {0, 0, 0, 0}}.Build(), qvmsg::kLoadInvalidWidthHeight});
  cases.push_back({"height 0", BmpFile{Info(1, 0, 24), {}, {}, {}}.Build(), qvmsg::kLoadInvalidWidthHeight});
  cases.push_back({"height INT_MIN", BmpFile{Info(1, INT_MIN, 24), {}, {}, {0, 0, 0, 0}}.Build(), qvmsg::kLoadInvalidWidthHeight});
  Bytes zeroMask;
  for (const std::uint32_t m : {0xF800u, 0u, 0x1Fu}) test::PutU32(zeroMask, m);
  cases.push_back({"zero mask", BmpFile{Info(1, 1, 16, BI_BITFIELDS), zeroMask, {}, {0, 0, 0, 0}}.Build(), qvmsg::kLoadInvalidMasks});
  BmpFile shortBits{Info(2, 2, 24), {}, {}, Bytes(16, 0)};
  shortBits.bfSize = 14 + 40 + 15;
  cases.push_back({"bits size below the plain size", shortBits.Build(), qvmsg::kLoadPixelDataTooSmall});
  BmpFile negative{Info(1, 1, 24), {}, {}, {0, 0, 0, 0}};
  negative.bfSize = 10;
  cases.push_back({"bfSize below bfOffBits", negative.Build(), qvmsg::kLoadPixelDataTooSmall});
  BmpFile huge{Info(1000, 1000, 8), test::Ramp(256), {}, {0, 0, 0, 0}};
  huge.bfSize = 0xFFFFFFFF;
  cases.push_back({"pixels claimed past the end", huge.Build(), msg::kStreamReadError});
  cases.push_back({"huge 16-bit image", BmpFile{Info(30000, 30000, 16), {}, {}, {0, 0, 0, 0}}.Build(), msg::kStreamReadError});
  cases.push_back({"truncated header", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0}, msg::kStreamReadError});
  BmpFile table{Info(1, 1, 8, 0, 0x40000000), Bytes(16, 0), {}, {}};
  cases.push_back({"colour table past the end", table.Build(), msg::kStreamReadError});
  return cases;
}

TEST(DibStreamReader, BadFilesFailWithTheirMessageAndLeaveTheImageAlone) {
  for (const BadFile& c : BadFiles()) {
    SCOPED_TRACE(c.name);
    TQvDIB image;
    image.SetBitCount(24);
    image.SetPixels(0, 0, 0x123456);
    try {
      test::Load(image, c.bytes);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(image.GetBitCount(), 24);
    EXPECT_EQ(image.GetPixels(0, 0), 0x123456);
  }
}

TEST(DibStreamReader, ErrorClasses) {
  TQvDIB image;
  Bytes notBm = BmpFile{Info(1, 1, 24), {}, {}, {0, 0, 0, 0}}.Build();
  notBm[0] = 'X';
  EXPECT_THROW(test::Load(image, notBm), EQvDIBInvalidDIBFile);
  EXPECT_THROW(test::Load(image, WithHeaderSize(64)), EQvDIBInvalidDIB);
  EXPECT_THROW(test::Load(image, Bytes{'B', 'M'}), EReadError);
}

// --- clipboard --------------------------------------------------------------------------------

Bytes Packed(const BmpFile& f) {
  const Bytes file = f.Build();
  return Bytes(file.begin() + 14, file.end());
}

TEST(DibClipboard, PackedDibRoundTrip) {
  TQvDIB image;
  image.SetWidth(3);
  image.SetPixels(2, 0, 200);
  std::uint16_t format = 0;
  std::vector<std::uint8_t> data;
  HPALETTE palette;
  image.SaveToClipboardFormat(format, data, palette);
  TQvDIB copy;
  copy.LoadFromClipboardFormat(format, &data, palette);
  EXPECT_EQ(copy.GetWidth(), 3);
  EXPECT_EQ(copy.GetPixels(2, 0), 200);
  EXPECT_EQ(test::Infos(copy).header.biClrUsed, 256u);
}

TEST(DibClipboard, SixteenBitsAreConverted) {
  BmpFile f{Info(2, 1, 16), {}, {}, {}};
  test::PutU16(f.pixels, 0x7FFF);
  test::PutU16(f.pixels, 0x0421);
  const Bytes data = Packed(f);
  TQvDIB image;
  image.LoadFromClipboardFormat(CF_DIB, &data, nullptr);
  EXPECT_EQ(image.GetPixels(0, 0), 0x00FFFFFF);
  EXPECT_EQ(image.GetPixels(1, 0), 0x00080808);
}

TEST(DibClipboard, BadDataFailsWithItsMessage) {
  const struct {
    const char* name;
    Bytes data;
    const char* message;
  } cases[] = {
      {"bit count 2", Packed({Info(1, 1, 2), {}, {}, {0, 0, 0, 0}}), qvmsg::kClipboardInvalidBitCount},
      {"header size 108", Bytes{108, 0, 0, 0, 1, 0, 0, 0}, qvmsg::kClipboardInvalidData},
      {"short pixels", Packed({Info(4, 4, 24), {}, {}, Bytes(10, 0)}), qvmsg::kClipboardInvalidData},
      {"short 16-bit pixels", Packed({Info(4, 4, 16), {}, {}, Bytes(10, 0)}), qvmsg::kClipboardInvalidData},
      {"short table", Packed({Info(1, 1, 8), Bytes(20, 0), {}, {}}), qvmsg::kClipboardInvalidData},
      {"zero width", Packed({Info(0, 1, 24), {}, {}, {0, 0, 0, 0}}), qvmsg::kLoadInvalidWidthHeight},
      {"zero mask", Packed({Info(1, 1, 32, BI_BITFIELDS), Bytes(12, 0), {}, {0, 0, 0, 0}}), qvmsg::kLoadInvalidMasks},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TQvDIB image;
    try {
      image.LoadFromClipboardFormat(CF_DIB, &c.data, nullptr);
      ADD_FAILURE() << "no error";
    } catch (const EQvDIBInvalidDIB& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    EXPECT_EQ(image.GetWidth(), 1);
  }
}

}  // namespace
}  // namespace pw
