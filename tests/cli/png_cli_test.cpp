// panelwright-cli info and convert on PNG files built here, and PNG output of compose and
// convert checked against their BMP output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "png/kropng.h"
#include "png/messages.h"
#include "tests/cli/cli_fixture.h"
#include "tests/png/external_readers.h"
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

  // The PNG file, valid for pngcheck and read by Pillow where installed, gives the BMP file's
  // picture: same size, pixel format and colours.
  void ExpectPngLikeBmp(const std::string& pngName, const std::string& bmpName) const {
    SCOPED_TRACE(pngName);
    TBitmap png, bmp;
    LoadPngFile(Path(pngName), png);
    bmp.LoadFromFile(Path(bmpName));
    ASSERT_EQ(png.GetWidth(), bmp.GetWidth());
    ASSERT_EQ(png.GetHeight(), bmp.GetHeight());
    EXPECT_EQ(png.GetPixelFormat(), bmp.GetPixelFormat());
    EXPECT_FALSE(png.GetTransparent());  // no tRNS: the windows are opaque, as their BMPs
    std::vector<TColor> colours;
    for (int y = 0; y < bmp.GetHeight(); ++y)
      for (int x = 0; x < bmp.GetWidth(); ++x) {
        colours.push_back(bmp.GetPixelColor(x, y));
        ASSERT_EQ(png.GetPixelColor(x, y), colours.back()) << x << "," << y;
      }
    if (const auto complaint = PngcheckComplaint(Path(pngName))) {
      EXPECT_EQ(*complaint, "");
    }
    if (HasPillow()) {
      EXPECT_EQ(PillowPixels(Path(pngName)), colours);
    }
  }

  std::vector<Bytes> Files(const std::vector<std::string>& names) const {
    std::vector<Bytes> files;
    for (const std::string& name : names) files.push_back(fs::exists(Path(name)) ? ReadFileBytes(Path(name)) : Bytes{});
    return files;
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

// A face from a PNG with alpha is cut out where alpha is below 128: there the window is what it
// is under a wholly transparent face.
TEST_F(PngCli, FaceOfAnAlphaPngIsCutOut) {
  const auto sheet = [](std::uint8_t left, std::uint8_t right) {
    RawImage image{48, 48, 32, {}};
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 48; ++x) image.pixels.push_back({200, 0, 1, x < 24 ? left : right});
    return MakePng(image, 8, 6, false);
  };
  const std::string half = Write("half.png", sheet(127, 128));
  const std::string clear = Write("clear.png", sheet(0, 0));
  for (const auto& [face, out] : {std::pair{half, "half.bmp"}, std::pair{clear, "clear.bmp"}}) {
    const Outcome o = Run({"compose", "--text", "a", "--face", face, "-o", Path(out)});
    ASSERT_EQ(o.exitCode, 0) << o.err;
  }
  TBitmap cut, under;
  cut.LoadFromFile(Path("half.bmp"));
  under.LoadFromFile(Path("clear.bmp"));
  for (int y = 8; y < 56; ++y) {
    for (int x = 8; x < 56; ++x) {
      ASSERT_NE(under.GetPixelColor(x, y), RGB(200, 0, 1)) << x << "," << y;  // no face pixel shows
      ASSERT_EQ(cut.GetPixelColor(x, y), x < 8 + 24 ? under.GetPixelColor(x, y) : RGB(200, 0, 1)) << x << "," << y;
    }
  }
}

// Every picture compose and the colour-depth options make, written as PNG, is the BMP's picture.
TEST_F(PngCli, ComposeAndConvertWritePngLikeBmp) {
  const std::vector<std::vector<std::string>> depths = {{}, {"--depth", "1"}, {"--depth", "4"}, {"--depth", "8"}};
  for (const auto& depth : depths) {
    for (const char* out : {"win.png", "win.bmp"}) {
      std::vector<std::string> args = {"compose", "--text", "Hello, \\C[2]world\\C[0]! $A", "--margin", "3", "-o", out};
      args.insert(args.end(), depth.begin(), depth.end());
      const Outcome o = Run(args);
      ASSERT_EQ(o.exitCode, 0) << o.err;
    }
    ExpectPngLikeBmp("win.png", "win.bmp");
  }
  ASSERT_EQ(Run({"compose", "--text", "Halftone\nwindow $b", "-o", "w24.bmp"}).exitCode, 0);
  for (const char* depth : {"halftone", "halftone-bw", "8", "4"}) {
    for (const char* out : {"c.PNG", "c.bmp"}) {
      const Outcome o = Run({"convert", "w24.bmp", out, "--depth", depth});
      ASSERT_EQ(o.exitCode, 0) << o.err;
    }
    ExpectPngLikeBmp("c.PNG", "c.bmp");
  }
  ASSERT_EQ(Run({"convert", "c.PNG", "again.png"}).exitCode, 0);  // PNG to PNG keeps the picture
  ExpectPngLikeBmp("again.png", "c.bmp");
  EXPECT_EQ(Run({"convert", "w24.bmp", "r.png", "--depth", "8", "--rle"}).exitCode, 2);
}

// A batch makes the same files, numbered the same, on one thread or several; a failing block
// leaves the files before it and none after it.
TEST_F(PngCli, BatchFilesDoNotDependOnTheThreads) {
  std::string text;
  for (int i = 0; i < 24; ++i) text += "window " + std::to_string(i) + "\n\\C[" + std::to_string(i % 20) + "]$a\n---\n";
  std::ofstream(folder_ / "batch.txt") << text;
  std::ofstream(folder_ / "broken.txt") << "a\n---\nb\n---\n---\nd\n---\ne\n";  // block 3 is empty
  fs::create_directories(folder_ / "one");
  fs::create_directories(folder_ / "many");
  std::vector<std::string> names;
  for (int i = 1; i <= 25; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "w-%03d.png", i);
    names.emplace_back(name);
  }
  for (const char* format : {".png", ".bmp"}) {
    SCOPED_TRACE(format);
    for (const char* folder : {"one", "many"}) {
      const std::string jobs = std::string(folder) == "one" ? "1" : "5";
      const Outcome o = Run({"compose", "--batch", "batch.txt", "--jobs", jobs, "--depth", "8",
                             "-o", std::string(folder) + "/w" + format});
      ASSERT_EQ(o.exitCode, 0) << o.err;
    }
    std::vector<std::string> one, many;
    for (std::string name : names) {
      name.replace(name.size() - 4, 4, format);
      one.push_back("one/" + name);
      many.push_back("many/" + name);
    }
    const std::vector<Bytes> serial = Files(one);
    EXPECT_EQ(Files(many), serial);
    for (std::size_t i = 0; i < 24; ++i) EXPECT_FALSE(serial[i].empty()) << one[i];
    EXPECT_TRUE(serial[24].empty());
  }
  for (const char* jobs : {"1", "4"}) {
    SCOPED_TRACE(jobs);
    const std::string folder = std::string("broken") + jobs;
    fs::create_directories(folder_ / folder);
    const Outcome o = Run({"compose", "--batch", "broken.txt", "--line-gap", "20", "--jobs", jobs, "-o", folder + "/b.png"});
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("block 3 (" + folder + "/b-003.png): "), std::string::npos) << o.err;
    std::vector<std::string> written;
    for (const auto& entry : fs::directory_iterator(folder_ / folder)) written.push_back(entry.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"b-001.png", "b-002.png"}));
  }
}

}  // namespace
}  // namespace pw::test
