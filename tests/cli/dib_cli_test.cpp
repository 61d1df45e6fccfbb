// panelwright-cli convert through the DIB stream codec: .dib files written and read, --rle.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"
#include "toolkit/bitmap.h"
#include "toolkit/byte_reader.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using clitest::Outcome;

class DibCli : public clitest::CliTest {};

// A 24-bit picture of flat bands (compressible) with a few odd pixels, width odd.
TBitmap Bands() {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(61, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 61; ++x) b.SetPixelColor(x, y, x < 30 ? RGB(255, 0, 0) : y < 4 ? RGB(0, 0, 255) : RGB(0, 128, 0));
  b.SetPixelColor(7, 3, RGB(255, 255, 255));
  return b;
}

std::vector<TColor> Colours(const TBitmap& b) {
  std::vector<TColor> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetPixelColor(x, y));
  return out;
}

TEST_F(DibCli, RleDibFilesAreWrittenAndReadBack) {
  TBitmap original = Bands();
  original.SaveToFile(Path("bands.bmp"));
  const struct {
    const char* depth;
    std::uint16_t bits;
    std::uint32_t compression;
  } cases[] = {{"8", 8, 1}, {"4", 4, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.depth);
    const Outcome written = Run({"convert", Path("bands.bmp"), Path("bands.dib"), "--depth", c.depth, "--rle"});
    ASSERT_EQ(written.exitCode, 0) << written.err;
    const Bytes file = ReadFileBytes(Path("bands.dib"));
    ByteReader in(file.data(), file.size());
    in.Skip(2);
    const std::uint32_t size = in.U32LE();
    in.Skip(4);
    const std::uint32_t offBits = in.U32LE();
    in.Skip(14);
    EXPECT_EQ(in.U16LE(), c.bits);
    EXPECT_EQ(in.U32LE(), c.compression);
    EXPECT_EQ(in.U32LE(), size - offBits);  // biSizeImage: the encoded length
    EXPECT_EQ(size, file.size());
    EXPECT_LT(size - offBits, 9u * 61u * c.bits / 8u);

    const Outcome read = Run({"convert", Path("bands.dib"), Path("back.bmp")});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    TBitmap back;
    back.LoadFromFile(Path("back.bmp"));
    EXPECT_EQ(Colours(back), Colours(original));
  }
}

TEST_F(DibCli, BrokenDibFilesReportTheReadersMessage) {
  // A 1x1 24-bit stream whose header size is made 108 (a later header version).
  Bytes file = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 108, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  file.resize(58, 0);
  TMemoryStream(file).SaveToFile(Path("v4.dib"));
  Outcome o = Run({"convert", Path("v4.dib"), Path("out.bmp")});
  EXPECT_EQ(o.exitCode, 1);
  // The file ends inside the 108 bytes its header claims.
  EXPECT_EQ(o.err, "panelwright-cli: " + Path("v4.dib") +
                       ": TQvInternalDIB.LoadFromStream: Invalid Bitmap Header Size; the file is cut short\n");

  // RLE8 data whose run runs past the row.
  file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 1, 0};
  file.resize(46, 0);
  file.insert(file.end(), {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // biClrUsed 2, two entries
  file.insert(file.end(), {3, 5, 0, 1});
  file[2] = static_cast<std::uint8_t>(file.size());
  TMemoryStream(file).SaveToFile(Path("badrle.dib"));
  o = Run({"convert", Path("badrle.dib"), Path("out.bmp"), "--depth", "24"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.err, "panelwright-cli: " + Path("badrle.dib") + ": Convert8BitRLETo8BitRGB: Bad RLE Data 4\n");
  EXPECT_FALSE(fs::exists(Path("out.bmp")));
}

}  // namespace
}  // namespace pw
