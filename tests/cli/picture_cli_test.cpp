// panelwright-cli info and convert, run as a program.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"
#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using clitest::Outcome;
using clitest::ReadText;

class PictureCli : public clitest::CliTest {
 protected:
  // A 5x3 picture at the format with a pattern of colours, saved under name.
  TBitmap Save(const std::string& name, TPixelFormat format) const {
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetSize(5, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        b.SetPixelColor(x, y, RGB(static_cast<std::uint8_t>(x * 60), static_cast<std::uint8_t>(y * 120), 200));
    b.SaveToFile(Path(name));
    return b;
  }

  void WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    TMemoryStream(bytes).SaveToFile(Path(name));
  }
};

std::vector<TColor> Colours(const TBitmap& b) {
  std::vector<TColor> out;
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) out.push_back(b.GetPixelColor(x, y));
  return out;
}

TBitmap LoadBmp(const std::string& path) {
  TBitmap b;
  b.LoadFromFile(path);
  return b;
}

// A BMP of one 40-byte header, optional masks, a colour table of 4-byte entries and pixels.
std::vector<std::uint8_t> HandMade(int width, int height, int bits, std::uint32_t compression,
                                   std::vector<std::uint32_t> masks, int entries, std::vector<std::uint8_t> pixels) {
  std::vector<std::uint8_t> f = {'B', 'M'};
  auto put = [&f](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) f.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  const std::uint32_t off = 54 + 4 * static_cast<std::uint32_t>(masks.size() + entries);
  put(off + static_cast<std::uint32_t>(pixels.size()), 4), put(0, 4), put(off, 4);
  put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(bits, 2), put(compression, 4);
  put(static_cast<std::uint32_t>(pixels.size()), 4), put(0, 4), put(0, 4), put(entries, 4), put(0, 4);
  for (auto m : masks) put(m, 4);
  for (int i = 0; i < entries; ++i) put(0x00102030u * i, 4);
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

TEST_F(PictureCli, InfoDescribesEachKindOfFile) {
  Save("one.bmp", TPixelFormat::pf1bit);
  Save("four.bmp", TPixelFormat::pf4bit);
  Save("eight.bmp", TPixelFormat::pf8bit);
  Save("rgb.bmp", TPixelFormat::pf24bit);
  WriteBytes("rgb555.bmp", HandMade(2, 1, 16, 0, {}, 0, {0xFF, 0x7F, 0, 0}));
  WriteBytes("rgb565.bmp", HandMade(2, 1, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, {0, 0xF8, 0, 0}));
  WriteBytes("rgb32.bmp", HandMade(1, 1, 32, 0, {}, 0, {1, 2, 3, 0}));
  WriteBytes("rle8.bmp", HandMade(4, 2, 8, 1, {}, 4, {4, 1, 0, 0, 2, 3, 0, 1}));
  WriteBytes("rle4.bmp", HandMade(3, 1, 4, 2, {}, 3, {3, 0x12, 0, 1}));
  WriteBytes("UPPER.BMP", HandMade(1, 1, 24, 0, {}, 0, {1, 2, 3, 0}));
  struct Case {
    const char* file;
    const char* line;
  };
  const Case cases[] = {
      {"one.bmp", "5 3 1 none 2 -\n"},           {"four.bmp", "5 3 4 none 16 -\n"},
      {"eight.bmp", "5 3 8 none 256 -\n"},       {"rgb.bmp", "5 3 24 none 0 -\n"},
      {"rgb555.bmp", "2 1 15 none 0 -\n"},       {"rgb565.bmp", "2 1 16 bitfields 0 -\n"},
      {"rgb32.bmp", "1 1 32 none 0 -\n"},        {"rle8.bmp", "4 2 8 rle8 4 -\n"},
      {"rle4.bmp", "3 1 4 rle4 3 -\n"},          {"UPPER.BMP", "1 1 24 none 0 -\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Outcome o = Run({"info", Path(c.file)});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, c.line);
  }
}

TEST_F(PictureCli, InfoShowsThePngTransparentColour) {
  const fs::path png = fs::absolute("../shared/conformance/pngsuite/tbrn2c08.png");
  if (!fs::exists(png)) GTEST_SKIP() << "no conformance suite";
  const Outcome o = Run({"info", png.string()});
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.out, "32 32 24 none 0 FFFFFF\n");
}

TEST_F(PictureCli, ConvertRoundTripsThroughBmpAndDib) {
  for (TPixelFormat format : {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit, TPixelFormat::pf24bit}) {
    SCOPED_TRACE(static_cast<int>(format));
    const TBitmap original = Save("in.bmp", format);
    ASSERT_EQ(Run({"convert", Path("in.bmp"), Path("copy.bmp")}).exitCode, 0);
    ASSERT_EQ(Run({"convert", Path("in.bmp"), Path("in.dib")}).exitCode, 0);
    ASSERT_EQ(Run({"convert", Path("in.dib"), Path("back.bmp")}).exitCode, 0);
    for (const char* name : {"copy.bmp", "back.bmp"}) {
      const TBitmap b = LoadBmp(Path(name));
      EXPECT_EQ(b.GetPixelFormat(), format) << name;
      EXPECT_EQ(Colours(b), Colours(original)) << name;
    }
    // Without options the file is written again byte for byte.
    EXPECT_EQ(ReadFileBytes(Path("copy.bmp")), ReadFileBytes(Path("in.bmp")));
  }
}

TEST_F(PictureCli, ConvertKeepsRleBytesAndChangesDepth) {
  const auto rle = HandMade(4, 2, 8, 1, {}, 4, {4, 1, 0, 0, 2, 3, 0, 1});
  WriteBytes("rle8.bmp", rle);
  ASSERT_EQ(Run({"convert", Path("rle8.bmp"), Path("same.bmp")}).exitCode, 0);
  EXPECT_EQ(Run({"info", Path("same.bmp")}).out, "4 2 8 rle8 256 -\n");
  const auto written = ReadFileBytes(Path("same.bmp"));
  EXPECT_EQ(std::vector<std::uint8_t>(written.end() - 8, written.end()),
            std::vector<std::uint8_t>(rle.end() - 8, rle.end()));

  // Through a DIB file and back, the RLE bytes stay the same.
  ASSERT_EQ(Run({"convert", Path("rle8.bmp"), Path("same.dib")}).exitCode, 0);
  ASSERT_EQ(Run({"convert", Path("same.dib"), Path("again.bmp")}).exitCode, 0);
  EXPECT_EQ(Run({"info", Path("again.bmp")}).out, "4 2 8 rle8 256 -\n");
  const auto again = ReadFileBytes(Path("again.bmp"));
  EXPECT_EQ(std::vector<std::uint8_t>(again.end() - 8, again.end()), std::vector<std::uint8_t>(rle.end() - 8, rle.end()));

  Save("rgb.bmp", TPixelFormat::pf24bit);
  ASSERT_EQ(Run({"convert", Path("rgb.bmp"), Path("mono.bmp"), "--depth", "1"}).exitCode, 0);
  EXPECT_EQ(Run({"info", Path("mono.bmp")}).out, "5 3 1 none 2 -\n");
  // 5x3 pictures are too small to gain from RLE: the compression error is reported.
  const Outcome small = Run({"convert", Path("rgb.bmp"), Path("small.bmp"), "--depth", "8", "--rle"});
  EXPECT_EQ(small.exitCode, 1);
  EXPECT_EQ(small.err, "panelwright-cli: Convert8BitRGBTo8BitRLE: Compression Failed\n");
  EXPECT_FALSE(fs::exists(Path("small.bmp")));
}

TEST_F(PictureCli, ConvertCompressesAPlainPicture) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(64, 8);
  b.Fill(RGB(10, 200, 30));
  b.SaveToFile(Path("flat.bmp"));
  ASSERT_EQ(Run({"convert", Path("flat.bmp"), Path("flat8.bmp"), "--depth", "8", "--rle"}).exitCode, 0);
  EXPECT_EQ(Run({"info", Path("flat8.bmp")}).out.substr(0, 12), "64 8 8 rle8 ");
  EXPECT_EQ(Colours(LoadBmp(Path("flat8.bmp"))), Colours(LoadBmp(Path("flat.bmp"))));
}

// A save that fails part-way (here a file-size limit, as a full disk would) keeps the old file
// whole, leaves no temporary file and names the file, whatever the output's format.
TEST_F(PictureCli, AFailedSaveKeepsTheOldFile) {
  TBitmap noise;
  noise.SetPixelFormat(TPixelFormat::pf24bit);
  noise.SetSize(64, 64);  // 12 kB of pixels that do not compress to 4 kB
  std::uint32_t seed = 1;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      seed = seed * 1103515245u + 12345u;
      noise.SetPixelColor(x, y, static_cast<TColor>(seed >> 8 & 0xFFFFFF));
    }
  noise.SaveToFile(Path("noise.bmp"));
  const std::vector<std::vector<std::string>> cases = {
      {"old.bmp"}, {"old.png"}, {"old.dib"}, {"old.dib", "--depth", "8"}, {"old.bmp", "--depth", "8"}};
  const std::vector<std::uint8_t> old(3000, 'o');
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size() > 1 ? c[0] + " " + c[2] : c[0]);
    WriteBytes(c[0], old);
    std::vector<std::string> args = {"convert", "noise.bmp", c[0]};
    args.insert(args.end(), c.begin() + 1, c.end());
    std::signal(SIGXFSZ, SIG_IGN);  // kept by the program: a write past the limit fails
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Outcome o = Run(args);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_EQ(o.err, "panelwright-cli: File " + c[0] + " can't be made.\n");
    EXPECT_TRUE(ReadText(Path(c[0])) == std::string(old.begin(), old.end()));
    for (const auto& entry : fs::directory_iterator(folder_))
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
  }
}

TEST_F(PictureCli, ErrorsAndUsage) {
  WriteBytes("fake.bmp", {0x89, 'P', 'N', 'G', 13, 10, 26, 10});
  WriteBytes("short.bmp", {'B', 'M', 1, 2});
  // A PNG signature and header chunk (1x1 pixel, 8-bit grey) with no image data after them.
  WriteBytes("cut.png", {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1, 0, 0, 0, 1,
                         8, 0, 0, 0, 0, 0x3A, 0x7E, 0x9B, 0x55});
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // exact standard error, or empty to check only the exit code
  };
  const Case cases[] = {
      {{"info", Path("fake.bmp")}, 1, "panelwright-cli: " + Path("fake.bmp") + ": A bitmap image is illegal.\n"},
      {{"info", Path("short.bmp")}, 1, "panelwright-cli: " + Path("short.bmp") + ": Stream read error; the file is cut short\n"},
      {{"info", Path("missing.bmp")}, 1, "panelwright-cli: File " + Path("missing.bmp") + "  isn't opened.\n"},
      {{"info", Path("picture.gif")}, 1, ""},
      {{"convert", Path("fake.bmp"), Path("out.bmp")}, 1, "panelwright-cli: " + Path("fake.bmp") + ": A bitmap image is illegal.\n"},
      {{"info", Path("cut.png")}, 1, "panelwright-cli: " + Path("cut.png") + " holds no image; the file may be cut short\n"},
      {{"convert", Path("cut.png"), Path("out.bmp")}, 1,
       "panelwright-cli: " + Path("cut.png") + " holds no image; the file may be cut short\n"},
      {{"info"}, 2, ""},
      {{"info", "a.bmp", "b.bmp"}, 2, ""},
      {{"info", "--what", "a.bmp"}, 2, ""},
      {{"convert", "a.bmp"}, 2, ""},
      {{"convert", "a.bmp", "b.gif"}, 2, ""},  // .png is an output since PNG writing
      {{"convert", "a.bmp", "b.bmp", "--depth", "7"}, 2, ""},
      {{"convert", "a.bmp", "b.bmp", "--depth", "24", "--rle"}, 2, ""},
      {{"convert", "a.bmp", "b.bmp", "--depth"}, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.exitCode, c.exitCode);
    EXPECT_TRUE(o.out.empty());
    if (!c.err.empty()) {
      EXPECT_EQ(o.err, c.err);
    } else {
      EXPECT_FALSE(o.err.empty());
    }
  }
  EXPECT_FALSE(fs::exists(Path("out.bmp")));
}

}  // namespace
}  // namespace pw
