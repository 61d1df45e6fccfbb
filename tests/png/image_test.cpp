// Image reconstruction: pixel layouts, Adam7, filters, the IDAT sequence, palettes, and the
// graphic class around the decoder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "png/messages.h"
#include "tests/png/png_test_util.h"
#include "toolkit/picture.h"

namespace pw::test {
namespace {

namespace m = kropng_msg;

Bytes Row(const TBitmap& bitmap, int y, std::size_t n) { return Bytes(bitmap.ScanLine(y), bitmap.ScanLine(y) + n); }

TEST(KroPNGLayout, TwoBitGreyBecomesFourBitIndices) {
  RawImage image{5, 1, 2, {{0}, {1}, {2}, {3}, {1}}};
  TKroPNG png;
  Load(png, MakePng(image, 2, 0, false));
  const TBitmap& b = png.Bitmap();
  EXPECT_EQ(b.GetPixelFormat(), TPixelFormat::pf4bit);
  EXPECT_EQ(Row(b, 0, 3), (Bytes{0x01, 0x23, 0x10}));
  const TPaletteEntries ramp = {{0, 0, 0, 0}, {85, 85, 85, 0}, {170, 170, 170, 0}, {255, 255, 255, 0}};
  EXPECT_EQ(b.GetPalette(), ramp);
  EXPECT_EQ(png.Description().BitDepth, 2);
  EXPECT_TRUE(png.Description().Greyscale);
}

struct LayoutCase {
  const char* name;
  int depth, colorType;
  Pixel pixel;
  TPixelFormat format;
  std::size_t paletteSize;
  TColor color;
  int maskByte;  // -1: no mask
};

TEST(KroPNGLayout, OnePixelPerLayout) {
  const LayoutCase cases[] = {
      {"grey 1", 1, 0, {1}, TPixelFormat::pf1bit, 2, RGB(255, 255, 255), -1},
      {"grey 4", 4, 0, {3}, TPixelFormat::pf4bit, 16, RGB(51, 51, 51), -1},
      {"grey 8", 8, 0, {0x7E}, TPixelFormat::pf8bit, 256, RGB(0x7E, 0x7E, 0x7E), -1},
      {"grey 16 keeps the high byte", 16, 0, {0xAB, 0xCD}, TPixelFormat::pf8bit, 256, RGB(0xAB, 0xAB, 0xAB), -1},
      {"grey alpha 8", 8, 4, {0x40, 0xC0}, TPixelFormat::pf8bit, 256, RGB(0x40, 0x40, 0x40), 0x3F},
      {"grey alpha 16", 16, 4, {0x40, 0x01, 0xC0, 0xFF}, TPixelFormat::pf8bit, 256, RGB(0x40, 0x40, 0x40), 0x3F},
      {"RGB 8", 8, 2, {1, 2, 3}, TPixelFormat::pf24bit, 0, RGB(1, 2, 3), -1},
      {"RGB 16 keeps high bytes", 16, 2, {1, 9, 2, 9, 3, 9}, TPixelFormat::pf24bit, 0, RGB(1, 2, 3), -1},
      {"RGBA 8 keeps transparent colours", 8, 6, {1, 2, 3, 0}, TPixelFormat::pf24bit, 0, RGB(1, 2, 3), 255},
      {"RGBA 16", 16, 6, {1, 9, 2, 9, 3, 9, 0x10, 0xFF}, TPixelFormat::pf24bit, 0, RGB(1, 2, 3), 0xEF},
  };
  for (const LayoutCase& c : cases) {
    const int bits = c.depth < 8 ? c.depth : static_cast<int>(8 * c.pixel.size());
    RawImage image{1, 1, bits, {c.pixel}};
    TKroPNG png;
    Load(png, MakePng(image, c.depth, c.colorType, false));
    SCOPED_TRACE(c.name);
    EXPECT_EQ(png.Bitmap().GetPixelFormat(), c.format);
    EXPECT_EQ(png.Bitmap().GetPalette().size(), c.paletteSize);
    EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), c.color);
    EXPECT_FALSE(png.Bitmap().GetTransparent());
    if (c.maskByte < 0) {
      EXPECT_TRUE(png.AlphaMask().GetEmpty());
    } else {
      ASSERT_FALSE(png.AlphaMask().GetEmpty());
      EXPECT_EQ(png.AlphaMask().ScanLine(0)[0], c.maskByte);
      EXPECT_EQ(png.AlphaMask().GetPalette().size(), 256u);
    }
  }
}

TEST(KroPNGLayout, RgbImageCarriesItsSuggestedPalette) {
  PngBuilder b;
  b.Ihdr(1, 1, 8, 2).Plte({0x102030, 0x405060}).Idat(Deflate(Scanlines(RawImage{1, 1, 24, {{7, 8, 9}}}, false))).Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Bitmap().GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(png.Bitmap().GetPalette().size(), 2u);
  EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), RGB(7, 8, 9));
}

TEST(KroPNGLayout, PaletteWithoutPlteGetsGreyRampAndShortPaletteClamps) {
  RawImage indices{4, 1, 4, {{0}, {5}, {15}, {1}}};
  PngBuilder noPalette;
  noPalette.Ihdr(4, 1, 4, 3).Idat(Deflate(Scanlines(indices, false))).Iend();
  TKroPNG png;
  Load(png, noPalette.Get());
  EXPECT_EQ(png.Bitmap().GetPalette().size(), 16u);
  EXPECT_EQ(png.Bitmap().GetPixelColor(1, 0), RGB(85, 85, 85));

  for (const bool adam7 : {false, true}) {
    PngBuilder shortPalette;
    shortPalette.Ihdr(4, 1, 4, 3, adam7 ? 1 : 0).Plte({0x000001, 0x000002})
        .Idat(Deflate(Scanlines(indices, adam7))).Iend();
    Load(png, shortPalette.Get());
    EXPECT_EQ(Row(png.Bitmap(), 0, 2), (Bytes{0x01, 0x11})) << adam7;
    EXPECT_EQ(png.Bitmap().GetPixelColor(2, 0), RGB(0, 0, 2));
  }
}

struct FormatCase {
  int depth, colorType, bits, bytesPerPixel;
};

// Every layout, interlaced and not, at every size from 1x1 to 8x8: the same picture.
TEST(KroPNGInterlace, Adam7EqualsPlainForSmallSizes) {
  const FormatCase formats[] = {{1, 0, 1, 1}, {2, 0, 2, 1},  {4, 3, 4, 1}, {8, 3, 8, 1}, {2, 3, 2, 1},
                                {16, 0, 16, 2}, {8, 4, 16, 2}, {8, 2, 24, 3}, {16, 6, 64, 8}};
  std::vector<std::uint32_t> palette(256);
  for (std::size_t i = 0; i < palette.size(); ++i) palette[i] = static_cast<std::uint32_t>(i * 0x030507);
  for (const FormatCase& f : formats) {
    const std::vector<std::uint32_t> plte = f.colorType == 3 ? std::vector<std::uint32_t>(palette.begin(), palette.begin() + (1 << f.depth))
                                                             : std::vector<std::uint32_t>{};
    for (int w = 1; w <= 8; ++w)
      for (int h = 1; h <= 8; ++h) {
        const RawImage image = Pattern(w, h, f.bits < 8 ? f.bits : 8, f.bytesPerPixel);
        TKroPNG plain, adam7;
        Load(plain, MakePng(image, f.depth, f.colorType, false, plte));
        Load(adam7, MakePng(image, f.depth, f.colorType, true, plte));
        SCOPED_TRACE(testing::Message() << f.depth << "/" << f.colorType << " " << w << "x" << h);
        ASSERT_EQ(adam7.GetWidth(), w);
        ASSERT_EQ(adam7.GetHeight(), h);
        EXPECT_EQ(adam7.Description().InterlaceMethod, 1);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            ASSERT_EQ(adam7.Bitmap().GetPixelColor(x, y), plain.Bitmap().GetPixelColor(x, y)) << x << "," << y;
            if (!plain.AlphaMask().GetEmpty()) {
              ASSERT_EQ(adam7.AlphaMask().ScanLine(y)[x], plain.AlphaMask().ScanLine(y)[x]);
            }
          }
      }
  }
}

// Rows filtered by hand with each filter type, one type per row and pixel size.
TEST(KroPNGFilters, EveryFilterTypeRoundTrips) {
  for (const int bpp : {1, 2, 3, 4, 6, 8}) {
    const int width = 7, height = 6;
    const RawImage image = Pattern(width, height, 8, bpp);
    const std::size_t rowBytes = static_cast<std::size_t>(width * bpp);
    Bytes filtered, prior(rowBytes, 0);
    for (int y = 0; y < height; ++y) {
      const int type = y % 5;
      Bytes row;
      for (int x = 0; x < width; ++x) row.insert(row.end(), image.At(x, y).begin(), image.At(x, y).end());
      filtered.push_back(static_cast<std::uint8_t>(type));
      for (std::size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
        const int b = prior[i];
        const int c = i >= static_cast<std::size_t>(bpp) ? prior[i - bpp] : 0;
        int predictor = 0;
        if (type == 1) predictor = a;
        if (type == 2) predictor = b;
        if (type == 3) predictor = (a + b) / 2;
        if (type == 4) {
          const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        }
        filtered.push_back(static_cast<std::uint8_t>(row[i] - predictor));
      }
      prior = row;
    }
    // grey, grey with alpha, RGB, RGBA at 8 bits; RGB, RGBA at 16 bits
    const int colorType = bpp == 1 ? 0 : bpp == 2 ? 4 : (bpp == 3 || bpp == 6) ? 2 : 6;
    const int depth = bpp >= 6 ? 16 : 8;
    PngBuilder b;
    b.Ihdr(width, height, depth, colorType).Idat(Deflate(filtered)).Iend();
    TKroPNG png;
    Load(png, b.Get());
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const Pixel& p = image.At(x, y);
        const TColor expected = bpp <= 2 ? RGB(p[0], p[0], p[0]) : bpp >= 6 ? RGB(p[0], p[2], p[4]) : RGB(p[0], p[1], p[2]);
        ASSERT_EQ(png.Bitmap().GetPixelColor(x, y), expected) << "bpp " << bpp << " at " << x << "," << y;
      }
  }
}

// Paeth ties between the left and the upper-left neighbour go to the left one, ties between
// the upper and the upper-left one go to the upper one. Each case is a 2x2 image whose bottom
// row is Paeth-filtered: the bottom-right pixel has a on its left, b above and c above-left,
// and every byte of a pixel holds the same value, so each byte of a 2-byte pixel ties too.
TEST(KroPNGFilters, PaethTiesInOneAndTwoBytePixels) {
  const struct Tie { const char* name; std::uint8_t a, b, c, winner; } ties[] = {
      {"a and c tie: a", 30, 60, 50, 30},  // distances: a 10, b 20, c 10
      {"b and c tie: b", 60, 30, 50, 30},  // distances: a 20, b 10, c 10
  };
  const struct Kind { const char* name; int colorType, depth, bytesPerPixel; } kinds[] = {
      {"8-bit grey", 0, 8, 1}, {"8-bit palette", 3, 8, 1}, {"16-bit grey", 0, 16, 2}, {"grey with alpha", 4, 8, 2},
  };
  constexpr std::uint8_t kWanted = 7;
  std::vector<std::uint32_t> palette(256);
  for (std::uint32_t i = 0; i < 256; ++i) palette[i] = i * 0x010101;
  for (const Kind& k : kinds)
    for (const Tie& t : ties) {
      const auto pixel = [&](int value) { return Bytes(static_cast<std::size_t>(k.bytesPerPixel), static_cast<std::uint8_t>(value)); };
      Bytes rows = {0};
      for (const Bytes& p : {pixel(t.c), pixel(t.b)}) rows.insert(rows.end(), p.begin(), p.end());
      rows.push_back(4);
      // The first pixel has only b above it (a = c = 0), which is the top row's c.
      for (const Bytes& p : {pixel(t.a - t.c), pixel(kWanted - t.winner)}) rows.insert(rows.end(), p.begin(), p.end());
      PngBuilder b;
      b.Ihdr(2, 2, k.depth, k.colorType);
      if (k.colorType == 3) b.Plte(palette);
      b.Idat(Deflate(rows)).Iend();
      TKroPNG png;
      Load(png, b.Get());
      SCOPED_TRACE(std::string(k.name) + ", " + t.name);
      // Every layout here is 8 bits per pixel in the bitmap: the grey value or the index.
      EXPECT_EQ(Row(png.Bitmap(), 0, 2), (Bytes{t.c, t.b}));
      EXPECT_EQ(Row(png.Bitmap(), 1, 2), (Bytes{t.a, kWanted}));
      if (k.colorType == 4) {
        EXPECT_EQ(png.AlphaMask().ScanLine(1)[1], 255 - kWanted);
      }
    }
}

TEST(KroPNGImageData, SplitOverManyChunksWithEmptyOnes) {
  const RawImage image = Pattern(13, 11, 8, 3);
  const Bytes idat = Deflate(Scanlines(image, false));
  PngBuilder b;
  b.Ihdr(13, 11, 8, 2).Idat({});
  for (std::size_t at = 0; at < idat.size(); at += 5) {
    b.Idat(Bytes(idat.begin() + static_cast<std::ptrdiff_t>(at), idat.begin() + static_cast<std::ptrdiff_t>(std::min(idat.size(), at + 5))));
    b.Idat({});
  }
  b.Idat({1, 2, 3}).Text("Comment", "after").Iend();  // surplus data after the last row is skipped
  for (const Source source : kAllSources) {
    SCOPED_TRACE(SourceName(source));
    TKroPNG png;
    Load(png, b.Get(), source);
    EXPECT_EQ(png.Description().Comment, "after\r\n");
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 13; ++x) {
        const Pixel& p = image.At(x, y);
        ASSERT_EQ(png.Bitmap().GetPixelColor(x, y), RGB(p[0], p[1], p[2]));
      }
  }
}

// Streams that the one-call inflater refuses but the reader has always accepted: more data
// than the rows, and a wrong Adler-32 value, which is never checked. Split over four chunks and
// an empty one, they are also read back from a disposable source after it was joined in place
// and put back, and from a file.
TEST(KroPNGImageData, StreamsBeyondTheRowsLoad) {
  const RawImage image = Pattern(9, 7, 8, 3);
  struct Case {
    const char* name;
    bool adam7;
    bool surplus;
    bool badAdler;
  };
  for (const Case& c : {Case{"surplus", false, true, false}, Case{"surplus adam7", true, true, false},
                        Case{"bad adler", false, false, true}, Case{"bad adler adam7", true, false, true}}) {
    for (const Source source : kAllSources) {
      SCOPED_TRACE(std::string(c.name) + ", " + SourceName(source));
      Bytes rows = Scanlines(image, c.adam7);
      if (c.surplus) rows.insert(rows.end(), 100, 7);
      Bytes idat = Deflate(rows);
      if (c.badAdler) idat.back() ^= 0x55;
      const auto at = [&idat](int quarter) { return idat.begin() + static_cast<std::ptrdiff_t>(idat.size() * quarter / 4); };
      PngBuilder b;
      b.Ihdr(9, 7, 8, 2, c.adam7 ? 1 : 0).Idat(Bytes(at(0), at(1))).Idat({}).Idat(Bytes(at(1), at(2)));
      b.Idat(Bytes(at(2), at(3))).Idat(Bytes(at(3), at(4))).Iend();
      TKroPNG png;
      Load(png, b.Get(), source);
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x) {
          const Pixel& p = image.At(x, y);
          ASSERT_EQ(png.Bitmap().GetPixelColor(x, y), RGB(p[0], p[1], p[2])) << x << "," << y;
        }
    }
  }
}

TEST(KroPNGImageData, BrokenImageDataFails) {
  const RawImage image = Pattern(8, 8, 8);
  const Bytes rows = Scanlines(image, false);
  const Bytes idat = Deflate(rows);
  const Bytes half(idat.begin(), idat.begin() + static_cast<std::ptrdiff_t>(idat.size() / 2));
  Bytes badFilter = rows;
  badFilter[9 * 3] = 5;  // filter type of the fourth row
  const Bytes shortRows(rows.begin(), rows.end() - 9);

  // A zlib header that names a 64 KiB window (CINFO 8), which PNG data may not use.
  Bytes wideWindow = idat;
  wideWindow[0] = 0x88;
  wideWindow[1] = 0x1C;  // (0x88 * 256 + 0x1C) % 31 == 0, no preset dictionary

  PngBuilder interrupted, filter5, endsEarly, truncated, garbage, window;
  interrupted.Ihdr(8, 8, 8, 0).Idat(half).Text("Comment", "x").Idat(Bytes(idat.begin() + static_cast<std::ptrdiff_t>(idat.size() / 2), idat.end())).Iend();
  filter5.Ihdr(8, 8, 8, 0).Idat(Deflate(badFilter)).Iend();
  endsEarly.Ihdr(8, 8, 8, 0).Idat(Deflate(shortRows)).Iend();
  truncated.Ihdr(8, 8, 8, 0).Idat(idat);
  Bytes cut = truncated.Get();
  cut.resize(cut.size() - 4 - idat.size() / 2);
  garbage.Ihdr(8, 8, 8, 0).Idat(Bytes(40, 0xFF)).Iend();
  window.Ihdr(8, 8, 8, 0).Idat(wideWindow).Iend();
  const std::pair<const char*, Bytes> cases[] = {{"interrupted", interrupted.Get()}, {"filter 5", filter5.Get()},
                                                 {"ends early", endsEarly.Get()},  {"cut", cut},
                                                 {"garbage", garbage.Get()},       {"64 KiB window", window.Get()}};
  for (const auto& [name, data] : cases) {
    for (const Source source : kAllSources) {
      EXPECT_EQ(LoadError(data, source), m::kReadError) << name << ", " << SourceName(source);
    }
  }
}

// A load that fails, or that ends before any image data, leaves the picture, its mask and its
// description as they were; a failed load leaves the records as they were too.
TEST(KroPNGGraphic, FailedOrImagelessLoadKeepsThePicture) {
  Bytes chrm, time = {0x07, 0xD0, 1, 2, 3, 4, 5};
  for (std::uint32_t v = 1; v <= 8; ++v) PutU32(chrm, v);
  PngBuilder broken, imageless;
  broken.Ihdr(8, 8, 8, 0).Chunk("cHRM", chrm).Chunk("tIME", time).Chunk("gIFg", {1, 2, 3, 4})
      .Idat(Deflate(Bytes(10, 0))).Iend();
  imageless.Ihdr(8, 8, 8, 0).Chunk("tIME", time).Iend();
  for (const Bytes* data : {&broken.Get(), &imageless.Get()}) {
    const bool fails = data == &broken.Get();
    TKroPNG png;
    Load(png, MakePng(RawImage{1, 1, 32, {{5, 6, 7, 100}}}, 8, 6, false));
    png.Time.Year = 1999;
    png.Chromaticities.BlueY = 77;
    png.GifExtension.Bytes[3] = 66;
    SCOPED_TRACE(fails ? "failed load" : "load without image data");
    if (fails) {
      EXPECT_THROW(Load(png, *data), EKroPNG);
    } else {
      EXPECT_NO_THROW(Load(png, *data));
    }
    EXPECT_EQ(png.GetWidth(), 1);
    EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), RGB(5, 6, 7));
    EXPECT_EQ(png.AlphaMask().ScanLine(0)[0], 155);
    EXPECT_EQ(png.Description().BitDepth, 24);
    EXPECT_TRUE(png.Description().HasAlpha);
    // The records belong to the load: untouched by a failed one, taken over from one that ends
    // early (its tIME was read; the missing cHRM and gIFg leave theirs cleared).
    EXPECT_EQ(png.Time.Year, fails ? 1999 : 2000);
    EXPECT_EQ(png.Chromaticities.BlueY, fails ? 77u : 0u);
    EXPECT_EQ(png.GifExtension.Bytes[3], fails ? 66 : 0);
  }
}

// An owner's colour target receives the picture, and assigning the graphic hands that on.
TEST(KroPNGGraphic, AssignToHandsOnTheOwnersColourTarget) {
  TBitmap owned;
  TKroPNG png;
  png.ColorTarget = &owned;
  Load(png, MakePng(RawImage{2, 1, 24, {{5, 6, 7}, {8, 9, 10}}}, 8, 2, false));
  TBitmap dest;
  dest.Assign(&png);
  EXPECT_EQ(dest.GetWidth(), 2);
  EXPECT_EQ(dest.GetPixelColor(1, 0), RGB(8, 9, 10));
}

TEST(KroPNGGraphic, AssignedBitmapOutlivesTheGraphic) {
  PngBuilder b;
  b.Ihdr(4, 1, 8, 3).Plte({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}).Chunk("tRNS", {255, 255, 0})
      .Idat(Deflate(Scanlines(RawImage{4, 1, 8, {{0}, {1}, {2}, {3}}}, false))).Iend();
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "kropng_assign_test.png";
  TMemoryStream(b.Get()).SaveToFile(file.string());
  TBitmap bitmap;
  LoadPngFile(file.string(), bitmap);
  std::filesystem::remove(file);
  EXPECT_EQ(bitmap.GetWidth(), 4);
  EXPECT_EQ(bitmap.GetPixelFormat(), TPixelFormat::pf8bit);
  EXPECT_TRUE(bitmap.GetTransparent());
  EXPECT_EQ(bitmap.GetTransparentColor(), RGB(0, 0, 255));
  EXPECT_EQ(bitmap.GetPixelColor(1, 0), RGB(0, 255, 0));
  EXPECT_THROW(LoadPngFile(file.string(), bitmap), EStreamError);
}

// A regular file is decoded from the file as it is read; a named pipe, which cannot tell its
// size, is read whole first. Both give the picture.
TEST(KroPNGGraphic, LoadsFromAFileAndFromANamedPipe) {
  const RawImage image = Pattern(6, 5, 8, 3);
  const Bytes data = MakePng(image, 8, 2, true);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("pw-png-files-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  for (const bool pipe : {false, true}) {
    SCOPED_TRACE(pipe ? "named pipe" : "file");
    const std::string name = (dir / (pipe ? "pipe.png" : "file.png")).string();
    const auto write = [name, &data] {
      std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                  static_cast<std::streamsize>(data.size()));
    };
    std::optional<std::thread> writer;
    if (pipe) {
      ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
      writer.emplace(write);
    } else {
      write();
    }
    TKroPNG png;
    EXPECT_NO_THROW(png.LoadFromFile(name));
    if (writer) writer->join();
    ASSERT_EQ(png.GetWidth(), 6);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 6; ++x) {
        const Pixel& p = image.At(x, y);
        EXPECT_EQ(png.Bitmap().GetPixelColor(x, y), RGB(p[0], p[1], p[2])) << x << "," << y;
      }
  }
  std::filesystem::remove_all(dir);
}

TEST(KroPNGGraphic, RegisteredForPngWhileTheRegistrationLives) {
  {
    const auto registration = RegisterKroPNG();
    const TFileFormat* format = TPicture::FindFormat("skin.PNG");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->description, "PNG Format");
    EXPECT_STREQ(format->create()->ClassName(), "TKroPNG");
  }
  EXPECT_EQ(TPicture::FindFormat("skin.png"), nullptr);
}

TEST(KroPNGGraphic, AssignFromAnotherPngCopiesMaskAndDescription) {
  TKroPNG source, copy;
  Load(source, MakePng(RawImage{1, 1, 32, {{1, 2, 3, 4}}}, 8, 6, false));
  copy.Assign(&source);
  EXPECT_EQ(copy.Bitmap().GetPixelColor(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(copy.AlphaMask().ScanLine(0)[0], 251);
  EXPECT_TRUE(copy.Description().HasAlpha);
}

}  // namespace
}  // namespace pw::test
