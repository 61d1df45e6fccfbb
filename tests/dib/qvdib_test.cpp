#include "dib/qvdib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "dib/messages.h"

namespace pw {
namespace {

// Expects the call to throw exactly type E with exactly message.
template <typename E, typename F>
void ExpectThrowMessage(F&& f, const std::string& message) {
  try {
    f();
    FAIL() << "expected an exception with \"" << message << "\"";
  } catch (const E& e) {
    EXPECT_EQ(e.what(), message);
  }
}

TEST(QvDIB, NewImageIsBlankOnePixelEightBits) {
  TQvDIB dib;
  EXPECT_EQ(dib.GetWidth(), 1);
  EXPECT_EQ(dib.GetHeight(), 1);
  EXPECT_EQ(dib.GetBitCount(), 8);
  EXPECT_EQ(dib.GetPixelFormat(), qvPf8Bit);
  EXPECT_EQ(dib.GetPixels(0, 0), 0);
  EXPECT_FALSE(dib.GetEmpty());
  const TBitmapInfoHeader& h = dib.Internal().DIBInfos.header;
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biXPelsPerMeter, 3780);
  EXPECT_EQ(h.biSizeImage, 0u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(dib.Internal().DIBInfos.colorTable[i], TRGBQuad{});
  EXPECT_EQ(dib.ConvertMode, qvCmLow);
  EXPECT_EQ(dib.MonoKeyColor, 0xFFFFFF);
  EXPECT_EQ(dib.HalftoneMode, qvHmNone);
  EXPECT_TRUE(dib.PaletteModified);
  EXPECT_EQ(dib.RefCount(), 1);
}

TEST(QvDIB, TrueColorPixelBytesAreBlueGreenRed) {
  TQvDIB dib;
  dib.SetBitCount(24);
  dib.SetPixels(0, 0, 0x00102030);
  const std::uint8_t* bits = dib.Internal().DIBInfos.Bits();
  EXPECT_EQ(bits[0], 0x10);
  EXPECT_EQ(bits[1], 0x20);
  EXPECT_EQ(bits[2], 0x30);
  EXPECT_EQ(dib.GetPixels(0, 0), 0x00102030);
}

struct OrientationCase {
  int height;
  std::size_t expectedRowInMemory;  // where picture row 0 lives
};

class Orientation : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(Orientation, PictureRowZeroLivesWhereTheHeaderSays) {
  TQvDIB dib;
  dib.SetBitCount(8);
  dib.SetWidth(4);
  dib.SetHeight(GetParam().height);
  dib.SetPixels(0, 0, 0xAB);
  const std::uint8_t* bits = dib.Internal().DIBInfos.Bits();
  EXPECT_EQ(bits[GetParam().expectedRowInMemory * 4], 0xAB);
  EXPECT_EQ(dib.GetHeight(), 10);
}

INSTANTIATE_TEST_SUITE_P(BottomUpAndTopDown, Orientation,
                         ::testing::Values(OrientationCase{10, 9}, OrientationCase{-10, 0}));

struct PixelCase {
  int bitCount;
  std::int32_t written;
  std::int32_t read;
  std::int32_t before = 0;  // written first to the pixels and a neighbour
  std::int32_t beforeRead = 0;
};

class PixelValues : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PixelValues, StoredAsThePixelCellAllows) {
  const PixelCase c = GetParam();
  TQvDIB dib;
  dib.SetBitCount(c.bitCount);
  dib.SetWidth(9);
  dib.SetHeight(3);
  for (int x : {0, 1, 2, 7, 8}) dib.SetPixels(x, 1, c.before);
  for (int x : {0, 1, 7, 8}) {
    dib.SetPixels(x, 1, c.written);
    EXPECT_EQ(dib.GetPixels(x, 1), c.read) << "x=" << x;
  }
  // Neighbours are untouched.
  EXPECT_EQ(dib.GetPixels(2, 1), c.beforeRead);
  EXPECT_EQ(dib.GetPixels(3, 1), 0);
  EXPECT_EQ(dib.GetPixels(0, 0), 0);
}

// 1 bit: any value other than 0 sets the bit (even ones too), 0 clears it.
INSTANTIATE_TEST_SUITE_P(AllDepths, PixelValues,
                         ::testing::Values(PixelCase{1, 1, 1}, PixelCase{1, 5, 1}, PixelCase{1, 2, 1},
                                           PixelCase{1, 0x100, 1}, PixelCase{1, 0, 0, 1, 1}, PixelCase{1, 2, 1, 1, 1},
                                           PixelCase{4, 17, 1}, PixelCase{4, 15, 15}, PixelCase{4, 16, 0, 15, 15},
                                           PixelCase{8, 255, 255}, PixelCase{24, 0x123456, 0x123456},
                                           PixelCase{24, 0x01FFFFFF, 0xFFFFFF}));

TEST(QvDIB, PixelPositionsOutsideAreRefused) {
  TQvDIB dib;
  dib.SetBitCount(24);
  dib.SetWidth(3);
  dib.SetHeight(2);
  for (const auto& position : {std::pair{3, 0}, std::pair{0, -1}, std::pair{-1, 0}, std::pair{0, 2}}) {
    const int x = position.first, y = position.second;
    ExpectThrowMessage<EQvDIBPixelPositionRange>([&] { dib.GetPixels(x, y); }, qvmsg::kGetPixelsRange);
    ExpectThrowMessage<EQvDIBPixelPositionRange>([&] { dib.SetPixels(x, y, 0xFFFFFF); }, qvmsg::kSetPixelsRange);
  }
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(dib.GetPixels(x, y), 0);
}

TEST(QvDIB, ValuesOutsideTheCellRaiseTheRangeError) {
  TQvDIB eight;
  ExpectThrowMessage<ERangeError>([&] { eight.SetPixels(0, 0, 256); }, "Range check error");
  ExpectThrowMessage<ERangeError>([&] { eight.SetPixels(0, 0, -1); }, "Range check error");
  EXPECT_EQ(eight.GetPixels(0, 0), 0);
  TQvDIB rgb;
  rgb.SetBitCount(24);
  ExpectThrowMessage<ERangeError>([&] { rgb.SetPixels(0, 0, clBtnFace); }, "Range check error");
  EXPECT_EQ(rgb.GetPixels(0, 0), 0);
}

TEST(QvDIB, CompressedPixelsCannotBeAddressed) {
  TQvDIB dib;
  dib.InternalForWrite().DIBInfos.header.biCompression = BI_RLE8;
  ExpectThrowMessage<EQvDIBBadDIBType>([&] { dib.GetPixels(0, 0); }, qvmsg::kGetPixelsBadType);
  ExpectThrowMessage<EQvDIBBadDIBType>([&] { dib.SetPixels(0, 0, 1); }, qvmsg::kSetPixelsBadType);
  EXPECT_EQ(dib.GetPixelFormat(), qvPf8BitRLE);
}

TEST(QvDIB, InvalidHeaderCombinationsAreNamedByBitCount) {
  struct Case {
    std::uint16_t bits;
    std::uint32_t compression;
    const char* message;
  };
  for (const Case& c : {Case{1, BI_RLE8, qvmsg::kInvalidDIB1Bit}, Case{4, BI_RLE8, qvmsg::kInvalidDIB4Bit},
                        Case{8, BI_RLE4, qvmsg::kInvalidDIB8Bit}, Case{24, BI_RLE8, qvmsg::kInvalidDIB24Bit}}) {
    TQvDIB dib;
    auto& h = dib.InternalForWrite().DIBInfos.header;
    h.biBitCount = c.bits;
    h.biCompression = c.compression;
    ExpectThrowMessage<EQvDIBInvalidDIB>([&] { dib.GetPixelFormat(); }, c.message);
  }
}

TEST(QvDIB, AssignedImagesShareUntilOneIsWritten) {
  TQvDIB a;
  a.SetBitCount(24);
  a.SetPixels(0, 0, 0x112233);
  TQvDIB b;
  b.Assign(&a);
  EXPECT_EQ(a.RefCount(), 2);
  EXPECT_EQ(&a.Internal(), &b.Internal());
  a.PaletteModified = b.PaletteModified = false;
  b.SetPixels(0, 0, 0x445566);
  // The private copy is a new storage: its colour table counts as changed.
  EXPECT_TRUE(b.PaletteModified);
  EXPECT_FALSE(a.PaletteModified);
  EXPECT_EQ(a.RefCount(), 1);
  EXPECT_EQ(b.RefCount(), 1);
  EXPECT_EQ(a.GetPixels(0, 0), 0x112233);
  EXPECT_EQ(b.GetPixels(0, 0), 0x445566);
}

TEST(QvDIB, AssignCopiesTheConversionSettings) {
  TQvDIB a;
  a.ConvertMode = qvCmHigh;
  a.MonoKeyColor = 0x123456;
  a.HalftoneMode = qvHmBW;
  TQvDIB b;
  b.Assign(&a);
  EXPECT_EQ(b.ConvertMode, qvCmHigh);
  EXPECT_EQ(b.MonoKeyColor, 0x123456);
  EXPECT_EQ(b.HalftoneMode, qvHmBW);
}

TEST(QvDIB, SizeSettersMakeABlankImage) {
  TQvDIB dib;
  dib.SetBitCount(4);
  dib.SetWidth(5);
  dib.SetPixels(4, 0, 7);
  dib.SetWidth(5);  // same width keeps the pixels
  EXPECT_EQ(dib.GetPixels(4, 0), 7);
  dib.SetWidth(6);
  EXPECT_EQ(dib.GetWidth(), 6);
  EXPECT_EQ(dib.GetBitCount(), 4);
  EXPECT_EQ(dib.Internal().DIBInfos.header.biClrUsed, 16u);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(dib.GetPixels(x, 0), 0);

  dib.SetHeight(-5);
  EXPECT_EQ(dib.GetHeight(), 5);
  EXPECT_EQ(dib.Internal().DIBInfos.header.biHeight, -5);
  ExpectThrowMessage<EQvDIBInvalidDIBPara>([&] { dib.SetHeight(0); }, qvmsg::kSetHeightInvalid);
  ExpectThrowMessage<EQvDIBInvalidDIBPara>([&] { dib.SetWidth(0); }, qvmsg::kSetWidthInvalid);
  ExpectThrowMessage<EQvDIBInvalidDIBPara>([&] { dib.SetBitCount(16); }, qvmsg::kSetBitCountInvalid);
  EXPECT_EQ(dib.GetWidth(), 6);
  EXPECT_EQ(dib.GetHeight(), 5);
  EXPECT_EQ(dib.GetBitCount(), 4);
  dib.SetBitCount(8);  // a new bit count gives a bottom-up image of the same size
  EXPECT_EQ(dib.Internal().DIBInfos.header.biHeight, 5);
  EXPECT_EQ(dib.GetWidth(), 6);
}

TEST(QvDIB, SetBitCountGivesTheFullColourCount) {
  for (auto [bits, colours] : {std::pair{1, 2u}, std::pair{4, 16u}, std::pair{24, 0u}}) {
    TQvDIB dib;
    dib.SetBitCount(bits);
    EXPECT_EQ(dib.Internal().DIBInfos.header.biClrUsed, colours);
  }
}

TEST(QvDIB, CreateDIBRefusesBadParameters) {
  TQvInternalDIB storage(false);
  for (const auto& p : {std::tuple{0, 1, 0, 8}, std::tuple{1, 0, 0, 8}, std::tuple{1, 1, 257, 8},
                        std::tuple{1, 1, -1, 8}, std::tuple{1, 1, 0, 16}}) {
    ExpectThrowMessage<EQvDIBInvalidDIBPara>([&] { std::apply([&](auto... a) { storage.CreateDIB(a...); }, p); },
                                             qvmsg::kCreateDIBInvalidParameters);
  }
  EXPECT_EQ(storage.Width, 1);  // unchanged after the failures
}

TEST(QvDIB, AssignFromBitmapKeepsIndicesAndColourTable) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf8bit);
  bitmap.SetSize(3, 2);
  bitmap.SetPalette({{10, 20, 30, 0}, {40, 50, 60, 0}});
  bitmap.ScanLine(1)[2] = 1;
  TQvDIB dib;
  dib.Assign(&bitmap);
  EXPECT_EQ(dib.GetPixelFormat(), qvPf8Bit);
  EXPECT_EQ(dib.GetPixels(2, 1), 1);
  EXPECT_EQ(dib.GetPixels(0, 0), 0);
  EXPECT_EQ(dib.Internal().DIBInfos.header.biClrUsed, 256u);
  EXPECT_EQ(dib.Internal().DIBInfos.colorTable[1], (TRGBQuad{60, 50, 40, 0}));
}

TEST(QvDIB, AssignFromThirtyTwoBitBitmapGivesTrueColour) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf32bit);
  bitmap.SetSize(2, 2);
  bitmap.SetPixelColor(1, 0, 0x00ABCDEF);
  TQvDIB dib;
  dib.Assign(&bitmap);
  EXPECT_EQ(dib.GetBitCount(), 24);
  EXPECT_EQ(dib.GetPixels(1, 0), 0x00ABCDEF);
  EXPECT_EQ(dib.Internal().DIBInfos.header.biClrUsed, 0u);
}

TEST(QvDIB, AssignToBitmapRoundTripsEveryDepth) {
  for (int bits : {1, 4, 8, 24}) {
    TQvDIB dib;
    dib.SetBitCount(bits);
    dib.SetWidth(7);
    dib.SetHeight(3);
    const std::int32_t value = bits == 24 ? 0x00C0FFEE : (1 << bits) - 1;
    dib.SetPixels(6, 2, value);
    TBitmap bitmap;
    dib.AssignTo(bitmap);
    EXPECT_EQ(bitmap.GetBitsPerPixel(), bits);
    EXPECT_EQ(bitmap.GetWidth(), 7);
    TQvDIB back;
    back.Assign(&bitmap);
    EXPECT_EQ(back.GetPixels(6, 2), value) << bits;
    EXPECT_EQ(back.GetPixels(0, 0), 0) << bits;
  }
}

TEST(QvDIB, AssignToBitmapWithoutColourTableLeavesNoPalette) {
  TQvDIB dib;
  dib.SetBitCount(24);
  TBitmap bitmap;
  dib.AssignTo(bitmap);
  EXPECT_FALSE(bitmap.HasPalette());
}

TEST(QvDIB, PalettesRoundTripAndRefuseEmpty) {
  TQvDIB dib;
  auto palette = std::make_shared<TQvLogPalette>();
  palette->entries = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
  dib.SetPalette(palette);
  EXPECT_EQ(dib.Internal().DIBInfos.header.biClrUsed, 3u);
  EXPECT_EQ(dib.Internal().DIBInfos.colorTable[2], (TRGBQuad{9, 8, 7, 0}));
  EXPECT_EQ(dib.GetPalette()->entries, palette->entries);
  ExpectThrowMessage<EQvDIBInvalidPalette>([&] { dib.SetPalette(std::make_shared<TQvLogPalette>()); },
                                           qvmsg::kSetPaletteInvalid);
  dib.SetPalette(nullptr);
  EXPECT_EQ(dib.GetPalette(), nullptr);
  dib.HalftoneMode = qvHmColor;
  EXPECT_EQ(dib.GetPalette()->entries.size(), 215u);
  dib.HalftoneMode = qvHmBW;
  EXPECT_EQ(dib.GetPalette()->entries.size(), 2u);
}

TEST(QvDIB, HalftoneAndBlackWhitePalettesAreOneHandleEach) {
  TQvDIB a, b;
  for (TQvHalftoneMode mode : {qvHmColor, qvHmBW}) {
    a.HalftoneMode = b.HalftoneMode = mode;
    const HPALETTE first = a.GetPalette();
    EXPECT_EQ(a.GetPalette(), first) << int{mode};
    EXPECT_EQ(b.GetPalette(), first) << int{mode};
  }
  EXPECT_NE(a.GetPalette(), (b.HalftoneMode = qvHmColor, b.GetPalette()));
}

TEST(QvDIB, HalftonePaletteLayout) {
  const auto& p = HalftonePalette().entries;
  ASSERT_EQ(p.size(), 215u);
  EXPECT_EQ(p[5 * 35 + 6 * 5 + 4], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(p[1 * 35 + 2 * 5 + 3], (TPaletteEntry{51, 85, 192, 0}));
  EXPECT_EQ(p[210], (TPaletteEntry{0x80, 0, 0, 0}));  // $000080: red in the low byte
  EXPECT_EQ(p[214], (TPaletteEntry{0x80, 0x80, 0x80, 0}));
}

TEST(QvDIB, ClipboardFormatIsAPackedDib) {
  TQvDIB dib;
  dib.SetBitCount(4);
  dib.SetWidth(3);
  std::uint16_t format = 0;
  std::vector<std::uint8_t> data;
  HPALETTE palette;
  dib.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_EQ(palette, nullptr);
  EXPECT_EQ(data.size(), 40u + 16 * 4 + 4);
  ExpectThrowMessage<EInvalidGraphic>([&] { dib.LoadFromClipboardFormat(2, &data, nullptr); },
                                      qvmsg::kClipboardInvalidFormat);
}

TEST(QvDIB, CanvasNeedsSharedMemory) {
  DefaultUseFMO = false;
  TQvDIB heap;
  DefaultUseFMO = true;
  EXPECT_FALSE(heap.UseFMO());
  ExpectThrowMessage<EQvDIBCanvasFailed>([&] { TQvDIBCanvas canvas(heap); }, qvmsg::kCanvasFailed);
  TQvDIB mapped;
  EXPECT_TRUE(mapped.UseFMO());
  EXPECT_NO_THROW(TQvDIBCanvas canvas(mapped));
}

TEST(QvDIB, HeapAndMappedMemoryBehaveAlike) {
  for (bool fmo : {false, true}) {
    TQvPixelMemory m = TQvPixelMemory::Get(4096 + 3, fmo);
    EXPECT_EQ(m.IsMapped(), fmo);
    ASSERT_EQ(m.Size(), 4099u);
    for (std::size_t i = 0; i < m.Size(); ++i) ASSERT_EQ(m.Bits()[i], 0);
    m.Bits()[4098] = 9;
    TQvPixelMemory moved = std::move(m);
    EXPECT_EQ(moved.Bits()[4098], 9);
    EXPECT_EQ(m.Bits(), nullptr);
  }
}

}  // namespace
}  // namespace pw

namespace pw {
namespace {

TEST(QvDIBDraw, StretchesWithNearestNeighbour) {
  TQvDIB dib;
  dib.SetBitCount(24);
  dib.SetWidth(2);
  dib.SetPixels(1, 0, 0x0000FF);
  TBitmap target;
  target.SetPixelFormat(TPixelFormat::pf24bit);
  target.SetSize(6, 3);
  dib.Draw(target, TRect{1, 1, 5, 3});
  const TColor expected[3][6] = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0xFF, 0xFF, 0}, {0, 0, 0, 0xFF, 0xFF, 0}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(target.GetPixelColor(x, y), expected[y][x]) << x << "," << y;
}

TEST(QvDIBDraw, HalftoneModesDrawOnlyTheirPaletteColours) {
  TQvDIB dib;
  dib.SetBitCount(24);
  dib.SetWidth(8);
  dib.SetHeight(8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) dib.SetPixels(x, y, RGB(x * 32, y * 32, 100));
  for (TQvHalftoneMode mode : {qvHmColor, qvHmBW}) {
    dib.HalftoneMode = mode;
    TBitmap target;
    target.SetPixelFormat(TPixelFormat::pf24bit);
    target.SetSize(16, 16);
    dib.Draw(target, TRect{0, 0, 16, 16});
    const auto& palette = (mode == qvHmColor ? HalftonePalette() : BlackWhitePalette()).entries;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const TColor c = target.GetPixelColor(x, y);
        const bool inPalette = std::any_of(palette.begin(), palette.end(), [&](const TPaletteEntry& e) {
          return RGB(e.peRed, e.peGreen, e.peBlue) == c;
        });
        ASSERT_TRUE(inPalette) << "mode " << int(mode) << " at " << x << "," << y;
      }
  }
  EXPECT_EQ(dib.GetPixelFormat(), qvPf24Bit);  // drawing never changes the image
}

}  // namespace
}  // namespace pw
