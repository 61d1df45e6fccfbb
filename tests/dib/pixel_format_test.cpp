#include <gtest/gtest.h>

#include "dib/convert.h"
#include "dib/messages.h"
#include "dib/qvdib.h"

namespace pw {
namespace {

// An image of the given depth and height sign whose pixel (x, y) holds (x + 2y) mod 2^bits and
// whose colour table gives index i the colour (i, 255 - i, 3i mod 256).
void Fill(TQvDIB& dib, int bits, int width, int height) {
  dib.SetBitCount(bits);
  dib.SetWidth(width);
  dib.SetHeight(height);
  auto palette = std::make_shared<TQvLogPalette>();
  for (int i = 0; i < (1 << bits); ++i)
    palette->entries.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                                static_cast<std::uint8_t>(3 * i), 0});
  dib.SetPalette(palette);
  for (int y = 0; y < dib.GetHeight(); ++y)
    for (int x = 0; x < width; ++x) dib.SetPixels(x, y, (x + 2 * y) % (1 << bits));
}

struct WidenCase {
  int fromBits;
  TQvPixelFormat to;
  int height;
};

class Widening : public ::testing::TestWithParam<WidenCase> {};

TEST_P(Widening, KeepsEveryColourAndTheRowOrder) {
  const WidenCase c = GetParam();
  TQvDIB dib;
  Fill(dib, c.fromBits, 11, c.height);
  const std::uint32_t colours = dib.Internal().DIBInfos.header.biClrUsed;
  const auto table = dib.Internal().DIBInfos.colorTable;
  int notifications = 0;
  dib.OnProgress = [&](TGraphic&, TProgressStage, std::uint8_t, bool, const TRect&, const std::string&) { ++notifications; };

  dib.SetPixelFormat(c.to);

  EXPECT_EQ(dib.GetPixelFormat(), c.to);
  EXPECT_EQ(notifications, 0);  // widening runs no colour division
  const TQvDIBInfos& d = dib.Internal().DIBInfos;
  EXPECT_EQ(d.header.biHeight, c.height);
  EXPECT_EQ(d.header.biClrUsed, colours);
  EXPECT_EQ(d.header.biSizeImage, 0u);
  EXPECT_EQ(d.colorTable, table);
  for (int y = 0; y < dib.GetHeight(); ++y)
    for (int x = 0; x < 11; ++x) {
      const int index = (x + 2 * y) % (1 << c.fromBits);
      const std::int32_t expected = c.to == qvPf24Bit ? RGB(index, 255 - index, 3 * index) : index;
      ASSERT_EQ(dib.GetPixels(x, y), expected) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryWideningStep, Widening,
    ::testing::Values(WidenCase{1, qvPf4Bit, 5}, WidenCase{1, qvPf8Bit, 5}, WidenCase{1, qvPf24Bit, 5},
                      WidenCase{4, qvPf8Bit, 5}, WidenCase{4, qvPf24Bit, 5}, WidenCase{8, qvPf24Bit, 5},
                      WidenCase{1, qvPf4Bit, -5}, WidenCase{4, qvPf24Bit, -5}, WidenCase{8, qvPf24Bit, -5}));

TEST(PixelFormat, BlackAndWhiteOneBitBecomesPureBlackAndWhite) {
  TQvDIB dib;
  dib.SetBitCount(1);
  dib.SetWidth(2);
  auto bw = std::make_shared<TQvLogPalette>();
  bw->entries = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  dib.SetPalette(bw);
  dib.SetPixels(1, 0, 1);
  dib.SetPixelFormat(qvPf24Bit);
  EXPECT_EQ(dib.GetPixels(0, 0), 0x000000);
  EXPECT_EQ(dib.GetPixels(1, 0), 0xFFFFFF);
}

TEST(PixelFormat, SameFormatDoesNothing) {
  TQvDIB dib;
  dib.SetBitCount(24);
  dib.SetPixels(0, 0, 0x123456);
  bool changed = false;
  int notifications = 0;
  dib.OnChange = [&](TGraphic&) { changed = true; };
  dib.OnProgress = [&](TGraphic&, TProgressStage, std::uint8_t, bool, const TRect&, const std::string&) { ++notifications; };
  const TQvInternalDIB* before = &dib.Internal();
  dib.SetPixelFormat(qvPf24Bit);
  EXPECT_FALSE(changed);
  EXPECT_EQ(notifications, 0);
  EXPECT_EQ(&dib.Internal(), before);
}

TEST(PixelFormat, ConversionOfSharedStorageLeavesTheOtherImage) {
  TQvDIB a;
  Fill(a, 4, 3, 2);
  TQvDIB b;
  b.Assign(&a);
  b.SetPixelFormat(qvPf24Bit);
  EXPECT_EQ(a.GetPixelFormat(), qvPf4Bit);
  EXPECT_EQ(b.GetPixelFormat(), qvPf24Bit);
  EXPECT_EQ(a.RefCount(), 1);
}

TEST(PixelFormat, WideningRoutinesRefuseOtherSources) {
  struct Case {
    TQvConvertRoutine routine;
    int acceptedBits;
    const char* message;
  };
  const Case cases[] = {{Convert1BitRGBTo4BitRGB, 1, qvmsg::kConvert1To4Bad},
                        {Convert1BitRGBTo8BitRGB, 1, qvmsg::kConvert1To8Bad},
                        {Convert4BitRGBTo8BitRGB, 4, qvmsg::kConvert4To8Bad},
                        {Convert1BitRGBToTrueColor, 1, qvmsg::kConvert1To24Bad},
                        {Convert4BitRGBToTrueColor, 4, qvmsg::kConvert4To24Bad},
                        {Convert8BitRGBToTrueColor, 8, qvmsg::kConvert8To24Bad}};
  for (const Case& c : cases) {
    TQvInternalDIB wrongDepth(false);
    wrongDepth.CreateDIB(2, 2, 0, c.acceptedBits == 8 ? 4 : 8);
    TQvInternalDIB compressed(false);
    compressed.CreateDIB(2, 2, 0, c.acceptedBits);
    compressed.DIBInfos.header.biCompression = c.acceptedBits == 4 ? BI_RLE4 : BI_RLE8;
    for (const TQvInternalDIB* source : {&wrongDepth, &compressed}) {
      try {
        c.routine(source->DIBInfos, false, {});
        ADD_FAILURE() << c.message;
      } catch (const EQvDIBBadDIBType& e) {
        EXPECT_STREQ(e.what(), c.message);
      }
    }
  }
}

}  // namespace
}  // namespace pw
