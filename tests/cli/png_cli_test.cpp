// panelwright-cli info and convert on PNG files built here.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "png/messages.h"
#include "tests/cli/cli_fixture.h"
#include "tests/png/png_builder.h"
#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw::test {
namespace {

namespace fs = std::filesystem;
using clitest::Outcome;

class PngCli : public clitest::CliTest {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) const {
    const std::string path = (folder_ / name).string();
    TMemoryStream(bytes).SaveToFile(path);
    return path;
  }
};

TEST_F(PngCli, InfoDescribesThePictureAsTheProgramReadsIt) {
  PngBuilder palette;
  palette.Ihdr(4, 1, 8, 3).Plte({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}).Chunk("tRNS", {255, 255, 0})
      .Idat(Deflate(Scanlines(RawImage{4, 1, 8, {{0}, {1}, {2}, {3}}}, false))).Iend();
  const RawImage grey{3, 2, 2, {{0}, {1}, {2}, {3}, {2}, {1}}};
  const RawImage rgba{2, 1, 32, {{1, 2, 3, 0}, {4, 5, 6, 255}}};
  struct Case { std::string name; Bytes data; std::string line; } cases[] = {
      {"palette.png", palette.Get(), "4 1 8 none 4 0000FF\n"},
      {"grey2.PNG", MakePng(grey, 2, 0, true), "3 2 4 none 4 -\n"},
      {"rgba.png", MakePng(rgba, 8, 6, false), "2 1 24 none 0 -\n"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run({"info", Write(c.name, c.data)});
    EXPECT_EQ(o.exitCode, 0) << c.name << ": " << o.err;
    EXPECT_EQ(o.out, c.line) << c.name;
  }
}

TEST_F(PngCli, ConvertWritesTheDecodedPixels) {
  const RawImage rgb{2, 2, 24, {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}}};
  const std::string in = Write("in.png", MakePng(rgb, 8, 2, true));
  const std::string out = (folder_ / "out.bmp").string();
  const Outcome o = Run({"convert", in, out});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  TBitmap bmp;
  bmp.LoadFromFile(out);
  EXPECT_EQ(bmp.GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(bmp.GetPixelColor(1, 0), RGB(40, 50, 60));
  EXPECT_EQ(bmp.GetPixelColor(0, 1), RGB(70, 80, 90));
}

TEST_F(PngCli, BrokenPngFailsWithTheReadersMessage) {
  PngBuilder bad;
  bad.Ihdr(2, 2, 8, 7).Iend();
  const Outcome o = Run({"info", Write("bad.png", bad.Get())});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find(kropng_msg::kColorType), std::string::npos) << o.err;
  EXPECT_TRUE(o.out.empty());
}

}  // namespace
}  // namespace pw::test
