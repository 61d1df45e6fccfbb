// The PNG writer: pictures of every pixel format written and read back by the reader, by
// pngcheck, by Pillow and by libpng where they are installed; chunk layout, transparency and
// file failures.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <zlib.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(PW_TEST_LIBPNG)
#include <png.h>
#endif

#include "png/kropng.h"
#include "png/messages.h"
#include "png/png_writer.h"
#include "tests/png/external_readers.h"
#include "tests/png/png_test_util.h"
#include "toolkit/errors.h"
#include "toolkit/packed_pixels.h"
#include "toolkit/stream.h"

namespace pw::test {
namespace {

namespace fs = std::filesystem;

Bytes Encode(const TBitmap& bitmap) {
  TMemoryStream stream;
  WritePng(bitmap, stream);
  return stream.Bytes();
}

TBitmap Decode(const Bytes& data) {
  TKroPNG png;
  Load(png, data);
  TBitmap bitmap;
  bitmap.Assign(&png);
  return bitmap;
}

std::vector<TColor> Colours(const TBitmap& bitmap) {
  std::vector<TColor> colours;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) colours.push_back(bitmap.GetPixelColor(x, y));
  return colours;
}

// The chunk types of a datastream in order, and the data of each.
struct Chunk {
  std::string type;
  Bytes data;
};
std::vector<Chunk> Chunks(const Bytes& png) {
  std::vector<Chunk> chunks;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::size_t length = (std::size_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
    chunks.push_back({std::string(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8),
                      Bytes(png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length))});
    at += 12 + length;
  }
  return chunks;
}

const Chunk* Find(const std::vector<Chunk>& chunks, const std::string& type) {
  for (const Chunk& c : chunks)
    if (c.type == type) return &c;
  return nullptr;
}

// A picture whose pixels vary over x and y; indexed pictures use every entry of a palette of
// `entries` colours.
TBitmap Picture(int width, int height, TPixelFormat format, int entries = 0) {
  TBitmap b;
  b.SetPixelFormat(format);
  if (entries > 0) {
    TPaletteEntries palette;
    for (int i = 0; i < entries; ++i)
      palette.push_back({static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                         static_cast<std::uint8_t>(i * 5 + 3), 0});
    b.SetPalette(palette);
  }
  b.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const unsigned v = static_cast<unsigned>(x * 7 + y * 13 + (x * y) / 3);
      if (entries > 0) WritePackedIndex(row, x, b.GetBitsPerPixel(), v % static_cast<unsigned>(entries));
      else b.SetPixelColor(x, y, RGB(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v * 3 + y),
                                     static_cast<std::uint8_t>(x * 29)));
    }
  }
  return b;
}

// A 24-bit picture of random bytes: it hardly compresses.
TBitmap Noise(int width, int height) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(width, height);
  std::minstd_rand random(7);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < width * 3; ++i) row[i] = static_cast<std::uint8_t>(random() >> 8);
  }
  return b;
}

// A 24-bit picture whose rows each suit one filter type best, by the sum of the filtered bytes'
// magnitudes: a black row (None), a flat row below it (Sub), the same flat row again (Up), a
// row half noise and half flat, then that noise above a flat row of another value (Paeth), and
// last a row that is the floored mean of its left neighbour and the row above (Average, where
// most pairs have an odd sum).
TBitmap OneRowPerFilter() {
  constexpr int kWidth = 64;
  std::vector<std::vector<std::uint8_t>> rows(6, std::vector<std::uint8_t>(kWidth * 3, 0));
  std::fill(rows[1].begin(), rows[1].end(), 100);
  rows[2] = rows[1];
  std::minstd_rand random(3);
  for (int i = 0; i < kWidth * 3; ++i) rows[3][i] = i < kWidth * 3 / 2 ? static_cast<std::uint8_t>(random() >> 8) : 40;
  for (int i = 0; i < kWidth * 3; ++i) rows[4][i] = i < kWidth * 3 / 2 ? rows[3][i] : 200;
  for (int i = 0; i < kWidth * 3; ++i)
    rows[5][i] = static_cast<std::uint8_t>(((i >= 3 ? rows[5][i - 3] : 0) + rows[4][i]) >> 1);
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(kWidth, static_cast<int>(rows.size()));
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < kWidth; ++x) {
      const std::uint8_t* p = rows[static_cast<std::size_t>(y)].data() + 3 * x;
      b.SetPixelColor(x, y, RGB(p[0], p[1], p[2]));
    }
  return b;
}

struct RoundTrip {
  const char* name;
  TBitmap picture;
  TPixelFormat readBack;
  std::size_t minIdats = 1;   // IDAT chunks the datastream has at least
  bool everyFilter = false;   // every filter type is chosen for some row
};

std::vector<RoundTrip> RoundTrips() {
  return {
      {"1bit_1x1", Picture(1, 1, TPixelFormat::pf1bit, 2), TPixelFormat::pf1bit},
      {"1bit_odd_width", Picture(13, 3, TPixelFormat::pf1bit, 2), TPixelFormat::pf1bit},
      {"4bit_odd_width", Picture(5, 4, TPixelFormat::pf4bit, 16), TPixelFormat::pf4bit},
      {"4bit_few_entries", Picture(9, 2, TPixelFormat::pf4bit, 3), TPixelFormat::pf4bit},
      {"8bit", Picture(7, 5, TPixelFormat::pf8bit, 256), TPixelFormat::pf8bit},
      // Past the size up to which both filterings are tried in full: decided on a sample.
      {"8bit_large", Picture(1100, 1000, TPixelFormat::pf8bit, 200), TPixelFormat::pf8bit},
      {"24bit_1x1", Picture(1, 1, TPixelFormat::pf24bit), TPixelFormat::pf24bit},
      {"24bit", Picture(31, 17, TPixelFormat::pf24bit), TPixelFormat::pf24bit},
      {"32bit_as_rgb", Picture(6, 3, TPixelFormat::pf32bit), TPixelFormat::pf24bit},
      {"16bit_as_rgb", Picture(6, 3, TPixelFormat::pf16bit), TPixelFormat::pf24bit},
      {"15bit_as_rgb", Picture(6, 3, TPixelFormat::pf15bit), TPixelFormat::pf24bit},
      // Compressed data over 256 KiB is split into IDAT chunks of 256 KiB.
      {"24bit_two_idats", Noise(320, 300), TPixelFormat::pf24bit, 2},
      // Over 8 MiB: past the compressor's first output buffer, which grows.
      {"24bit_past_first_buffer", Noise(1800, 1700), TPixelFormat::pf24bit, 33},
      {"24bit_every_filter", OneRowPerFilter(), TPixelFormat::pf24bit, 1, true},
  };
}

class PngWriterFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("pw-png-writer-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), {})); }
  fs::path folder_;
};

#if defined(PW_TEST_LIBPNG)
// The filter type of each row: the first byte of each row of the inflated IDAT data.
// The IDAT data inflated by zlib, which also checks the Adler-32 value behind it; nullopt when
// that fails. Room for rows of up to four bytes a pixel.
std::optional<Bytes> ImageData(const std::vector<Chunk>& chunks, const TBitmap& picture) {
  Bytes compressed;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") compressed.insert(compressed.end(), c.data.begin(), c.data.end());
  Bytes rows((1 + static_cast<std::size_t>(picture.GetWidth()) * 4) * static_cast<std::size_t>(picture.GetHeight()));
  uLongf size = static_cast<uLongf>(rows.size());
  if (uncompress(rows.data(), &size, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK) return std::nullopt;
  rows.resize(size);
  return rows;
}

std::set<int> RowFilterTypes(const Bytes& rows, const TBitmap& picture) {
  const std::size_t rowBytes = 1 + static_cast<std::size_t>(picture.GetWidth()) * 3;
  std::set<int> types;
  for (std::size_t at = 0; at < rows.size(); at += rowBytes) types.insert(rows[at]);
  return types;
}

// libpng's simplified reader, every picture as 8-bit RGB.
std::optional<std::vector<TColor>> LibpngPixels(const Bytes& data) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  Bytes rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return std::nullopt;
  std::vector<TColor> pixels;
  for (std::size_t i = 0; i + 3 <= rgb.size(); i += 3) pixels.push_back(RGB(rgb[i], rgb[i + 1], rgb[i + 2]));
  return pixels;
}
#endif

TEST_F(PngWriterFiles, EveryFormatReadsBackWithTheSamePixels) {
  for (const RoundTrip& c : RoundTrips()) {
    SCOPED_TRACE(c.name);
    const Bytes png = Encode(c.picture);
    const TBitmap back = Decode(png);
    ASSERT_EQ(back.GetWidth(), c.picture.GetWidth());
    ASSERT_EQ(back.GetHeight(), c.picture.GetHeight());
    EXPECT_EQ(back.GetPixelFormat(), c.readBack);
    EXPECT_FALSE(back.GetTransparent());
    const auto chunks = Chunks(png);
    EXPECT_GE(std::count_if(chunks.begin(), chunks.end(), [](const Chunk& k) { return k.type == "IDAT"; }),
              static_cast<long>(c.minIdats));
    // Big pictures are deflated in bands joined into one stream: zlib must read it whole.
    const std::optional<Bytes> rows = ImageData(chunks, c.picture);
    ASSERT_TRUE(rows.has_value());
    if (c.everyFilter) {
      EXPECT_EQ(RowFilterTypes(*rows, c.picture), (std::set<int>{0, 1, 2, 3, 4}));
    }
    const std::vector<TColor> colours = Colours(c.picture);
    EXPECT_EQ(Colours(back), colours);
    if (c.readBack != TPixelFormat::pf24bit) {  // the same indices, not only the same colours
      for (int y = 0; y < back.GetHeight(); ++y)
        EXPECT_EQ(std::memcmp(back.ScanLine(y), c.picture.ScanLine(y), (back.GetWidth() * back.GetBitsPerPixel()) / 8), 0);
    }

    const std::string file = Path(std::string(c.name) + ".png");
    SavePngFile(c.picture, file);
    EXPECT_EQ(ReadFileBytes(file), png);
    if (const auto complaint = PngcheckComplaint(file)) {
      EXPECT_EQ(*complaint, "");
    }
    if (HasPillow()) {
      EXPECT_EQ(PillowPixels(file), colours);
    }
#if defined(PW_TEST_LIBPNG)
    EXPECT_EQ(LibpngPixels(png), colours);
#endif
  }
  if (!HasPngcheck() || !HasPillow()) GTEST_SKIP() << "pngcheck or Pillow is not installed: their checks were skipped";
}

// Tiny pictures worked out by hand: the chunks written and what they hold.
TEST(PngWriter, ChunksOfTinyPictures) {
  TBitmap twoOfMany = Picture(2, 1, TPixelFormat::pf8bit, 256);
  twoOfMany.ScanLine(0)[0] = 0;
  twoOfMany.ScanLine(0)[1] = 2;  // entries 0..2 are written, 3..255 are not
  TBitmap second = Picture(1, 1, TPixelFormat::pf1bit, 2);
  second.ScanLine(0)[0] = 0x80;  // index 1
  TBitmap rgb = Picture(3, 2, TPixelFormat::pf24bit);
  const struct {
    const char* name;
    TBitmap picture;
    Bytes ihdrTail;  // bit depth, colour type, compression, filter, interlace
    std::size_t plteSize;
  } cases[] = {
      {"8-bit, highest index 2", twoOfMany, {8, 3, 0, 0, 0}, 9},
      {"1-bit, index 1", second, {1, 3, 0, 0, 0}, 6},
      {"24-bit", rgb, {8, 2, 0, 0, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes png = Encode(c.picture);
    ASSERT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}));
    const auto chunks = Chunks(png);
    std::vector<std::string> types;
    for (const Chunk& chunk : chunks) types.push_back(chunk.type);
    const std::vector<std::string> expected =
        c.plteSize > 0 ? std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}
                       : std::vector<std::string>{"IHDR", "IDAT", "IEND"};
    EXPECT_EQ(types, expected);
    const Bytes& ihdr = chunks[0].data;
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(Bytes(ihdr.begin(), ihdr.begin() + 8),
              (Bytes{0, 0, 0, static_cast<std::uint8_t>(c.picture.GetWidth()), 0, 0, 0,
                     static_cast<std::uint8_t>(c.picture.GetHeight())}));
    EXPECT_EQ(Bytes(ihdr.begin() + 8, ihdr.end()), c.ihdrTail);
    if (const Chunk* plte = Find(chunks, "PLTE")) {
      EXPECT_EQ(plte->data.size(), c.plteSize);
    }
  }
  // The palette's entries as the bitmap has them, red, green, blue.
  EXPECT_EQ(Find(Chunks(Encode(second)), "PLTE")->data, (Bytes{0, 255, 3, 37, 244, 8}));
}

// A transparent colour becomes tRNS: for palette pictures alpha 0 on its entry, for colour
// pictures the colour itself. The reader then gives the same transparent colour back.
TEST(PngWriter, TransparentColourBecomesTrns) {
  TBitmap palette = Picture(4, 4, TPixelFormat::pf4bit, 5);
  const TPaletteEntry third = palette.GetPalette()[2];
  const TColor thirdColour = RGB(third.peRed, third.peGreen, third.peBlue);
  TBitmap twice = palette;  // entry 4 repeats entry 2
  TPaletteEntries repeated = palette.GetPalette();
  repeated[4] = third;
  twice.SetPalette(repeated);
  TBitmap rgb = Picture(4, 4, TPixelFormat::pf24bit);
  const TColor rgbColour = rgb.GetPixelColor(1, 1);
  const struct {
    const char* name;
    TBitmap picture;
    TColor colour;
    Bytes trns;
    bool colourBack = true;  // false: the reader takes several transparent entries as alpha per entry
  } cases[] = {
      {"palette entry 2", palette, thirdColour, {255, 255, 0}},
      {"palette entries 2 and 4", twice, thirdColour, {255, 255, 0, 255, 0}, false},
      {"colour", rgb, rgbColour,
       {0, GetRValue(rgbColour), 0, GetGValue(rgbColour), 0, GetBValue(rgbColour)}},
      {"palette colour absent", palette, RGB(1, 2, 3), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap picture = c.picture;
    picture.SetTransparent(true);
    picture.SetTransparentColor(c.colour);
    const Bytes png = Encode(picture);
    const auto chunks = Chunks(png);
    const Chunk* trns = Find(chunks, "tRNS");
    if (c.trns.empty()) {
      EXPECT_EQ(trns, nullptr);
      continue;
    }
    ASSERT_NE(trns, nullptr);
    EXPECT_EQ(trns->data, c.trns);
    const TBitmap back = Decode(png);
    if (c.colourBack) {
      EXPECT_TRUE(back.GetTransparent());
      EXPECT_EQ(back.GetTransparentColor(), c.colour);
    }
    EXPECT_EQ(Colours(back), Colours(picture));
  }
  // Without the transparency flag the colour is not written.
  TBitmap opaque = Picture(4, 4, TPixelFormat::pf24bit);
  opaque.SetTransparentColor(rgbColour);
  EXPECT_EQ(Find(Chunks(Encode(opaque)), "tRNS"), nullptr);
}

TEST(PngWriter, APictureWithoutPixelsIsRefused) {
  TBitmap empty;
  TMemoryStream stream;
  try {
    WritePng(empty, stream);
    ADD_FAILURE();
  } catch (const EKroPNG& e) {
    EXPECT_STREQ(e.what(), kropng_msg::kEmptyImage);
  }
  EXPECT_EQ(stream.GetSize(), 0);
}

TEST_F(PngWriterFiles, FailedSavesKeepTheExistingFile) {
  const TBitmap picture = Picture(200, 200, TPixelFormat::pf24bit);
  const std::string missing = Path("no-such-folder/w.png");
  try {
    SavePngFile(picture, missing);
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + missing + " can't be made.");
  }
  const Bytes old = {'o', 'l', 'd'};
  TMemoryStream(old).SaveToFile(Path("keep.png"));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 4096;  // the picture's PNG is larger: the write fails part-way
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  try {
    SavePngFile(picture, Path("keep.png"));
    ADD_FAILURE();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(std::string(e.what()), "File " + Path("keep.png") + " can't be made.");
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(ReadFileBytes(Path("keep.png")), old);
  EXPECT_EQ(Entries(), 1u);
}

TEST(PngWriter, PictureFilesChooseTheFormatByName) {
  for (const char* name : {"a.png", "b.PNG", "dir.png/c.Png", ".png", "dir/.PNG"}) EXPECT_TRUE(IsPngFileName(name)) << name;
  for (const char* name : {"a.bmp", "png", "a.png.bmp", "a.pngx", "dir.png/c"}) EXPECT_FALSE(IsPngFileName(name)) << name;
}

}  // namespace
}  // namespace pw::test
