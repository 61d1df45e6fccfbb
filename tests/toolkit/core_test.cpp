// Streams, bitmaps, the picture registry and the toolkit's messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;

TEST(Messages, FileErrorsNameTheFileWithTheToolkitWording) {
  EXPECT_STREQ(EFOpenError("a.bmp").what(), "File a.bmp  isn't opened.");
  EXPECT_STREQ(EFCreateError("/x/y.bmp").what(), "File /x/y.bmp can't be made.");
  EXPECT_STREQ(ERangeError().what(), "Range check error");
  EXPECT_STREQ(EReadError().what(), "Stream read error");
  EXPECT_EQ(FormatMessage("%s-%s-%s", {"a", "b"}), "a-b-%s");
}

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
  m.WriteBuffer(bytes, 5);
  EXPECT_EQ(m.GetSize(), 5);
  m.SetPosition(3);
  std::uint8_t out[2] = {};
  m.ReadBuffer(out, 2);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 5);
  EXPECT_THROW(m.ReadBuffer(out, 1), EReadError);  // at the end
  m.Seek(-4, TSeekOrigin::soEnd);
  EXPECT_EQ(m.GetPosition(), 1);
  m.Seek(10, TSeekOrigin::soBeginning);
  m.WriteBuffer(bytes, 1);  // writing past the end grows the stream with zeros
  EXPECT_EQ(m.GetSize(), 11);
  EXPECT_EQ(m.Bytes()[7], 0);
}

TEST(Streams, FileStreamsReportOpenAndCreateFailures) {
  const fs::path dir = fs::temp_directory_path() / "pw_core_test";
  fs::create_directories(dir);
  const std::string missing = (dir / "missing.bin").string();
  try {
    TFileStream f(missing, TFileMode::fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + missing + "  isn't opened.");
  }
  EXPECT_THROW(TFileStream((dir / "no" / "such.bin").string(), TFileMode::fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.string(), TFileMode::fmOpenRead), EFOpenError);  // a folder is no file

  const std::string path = (dir / "data.bin").string();
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.WriteBuffer("abc", 3);
  }
  EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{'a', 'b', 'c'}));
  fs::remove_all(dir);
}

TEST(Bitmap, CopiesShareUntilOneWrites) {
  TBitmap a;
  a.SetPixelFormat(TPixelFormat::pf24bit);
  a.SetSize(3, 2);
  a.SetPixelColor(1, 1, 0x123456);
  TBitmap b = a;
  b.SetPixelColor(1, 1, 0x654321);
  EXPECT_EQ(a.GetPixelColor(1, 1), 0x123456);
  EXPECT_EQ(b.GetPixelColor(1, 1), 0x654321);
}

TEST(Bitmap, AssignTakesTheTransparencyAttributes) {
  TBitmap a;
  a.SetPixelFormat(TPixelFormat::pf8bit);
  a.SetSize(2, 2);
  a.SetTransparent(true);
  a.SetTransparentColor(0x00FF00);
  TBitmap b;
  b.Assign(&a);
  EXPECT_TRUE(b.GetTransparent());
  EXPECT_EQ(b.GetTransparentColor(), 0x00FF00);
  EXPECT_EQ(b.GetTransparentMode(), TTransparentMode::tmFixed);
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf8bit);
  b.Assign(nullptr);
  EXPECT_TRUE(b.GetEmpty());
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pfDevice);
}

struct FormatCase {
  TPixelFormat format;
  int bits;
  std::size_t strideFor5;
};

class BitmapFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(BitmapFormats, RowsArePaddedAndColoursSurviveTheDirectFormats) {
  const FormatCase c = GetParam();
  TBitmap b;
  b.SetPixelFormat(c.format);
  b.SetSize(5, 3);
  EXPECT_EQ(b.GetBitsPerPixel(), c.bits);
  EXPECT_EQ(b.GetStride(), c.strideFor5);
  b.SetPixelColor(4, 2, 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(4, 2), 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0x000000);
  EXPECT_EQ(b.GetPixelColor(5, 0), -1);
}

INSTANTIATE_TEST_SUITE_P(
    AllFormats, BitmapFormats,
    ::testing::Values(FormatCase{TPixelFormat::pf1bit, 1, 4}, FormatCase{TPixelFormat::pf4bit, 4, 4},
                      FormatCase{TPixelFormat::pf8bit, 8, 8}, FormatCase{TPixelFormat::pf15bit, 16, 12},
                      FormatCase{TPixelFormat::pf16bit, 16, 12}, FormatCase{TPixelFormat::pf24bit, 24, 16},
                      FormatCase{TPixelFormat::pf32bit, 32, 20}));

TEST(Bitmap, FormatChangesConvertByColour) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(2, 1);
  b.SetPixelColor(0, 0, 0xFFFFFF);
  b.SetPixelColor(1, 0, 0x000010);
  b.SetPixelFormat(TPixelFormat::pf1bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0xFFFFFF);
  EXPECT_EQ(b.GetPixelColor(1, 0), 0x000000);
  b.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), 0xFFFFFF);
}

TEST(Bitmap, ResizingKeepsTheOverlap) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf8bit);
  b.SetSize(4, 4);
  b.ScanLine(1)[1] = 7;
  b.SetSize(2, 2);
  EXPECT_EQ(b.ScanLine(1)[1], 7);
  b.SetSize(6, 3);
  EXPECT_EQ(b.ScanLine(1)[1], 7);
  EXPECT_EQ(b.ScanLine(2)[5], 0);
}

TEST(Picture, RegistryFindsFormatsByExtension) {
  EXPECT_NE(TPicture::FindFormat("x.BMP"), nullptr);
  EXPECT_EQ(TPicture::FindFormat("x.test"), nullptr);
  {
    TFileFormatRegistration reg("test", "Test pictures", [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); });
    const TFileFormat* f = TPicture::FindFormat("dir.bmp/picture.TeSt");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->description, "Test pictures");
  }
  EXPECT_EQ(TPicture::FindFormat("x.test"), nullptr);
  EXPECT_EQ(FileExtension("dir.x/file"), "");
  EXPECT_EQ(FileExtension("dir/.PNG"), "png");  // a name of a dot and an extension has that extension
  TPicture picture;
  EXPECT_THROW(picture.LoadFromFile("picture.unknown"), EInvalidGraphic);
}

}  // namespace
}  // namespace pw
