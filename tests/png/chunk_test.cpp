// The chunk stream: signature, header tests, chunk acceptance, ancillary chunks, reader limits,
// the reader's buffering and the stream position after a read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "png/messages.h"
#include "tests/png/png_test_util.h"

namespace pw::test {
namespace {

namespace m = kropng_msg;

// A 2x2 8-bit grey image with pixel values 10, 20, 30, 40.
RawImage Grey2x2() { return RawImage{2, 2, 8, {{10}, {20}, {30}, {40}}}; }
Bytes Grey2x2Idat() { return Deflate(Scanlines(Grey2x2(), false)); }

TEST(KroPNGSignature, ShortOrWrongStartIsNotPng) {
  const Bytes good = MakePng(Grey2x2(), 8, 0, false);
  for (std::size_t n = 0; n < 8; ++n)
    EXPECT_EQ(LoadError(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), m::kNotPng) << n;
  for (std::size_t i = 0; i < 8; ++i) {
    Bytes bad = good;
    bad[i] ^= 0x20;
    EXPECT_EQ(LoadError(bad), m::kNotPng) << "byte " << i;
  }
}

// The size a header chunk claims is read without decoding and without moving the stream.
TEST(KroPNGSize, ReadFromTheHeaderChunkAlone) {
  PngBuilder big;
  big.Ihdr(16384, 16384, 8, 6);  // nothing after the header chunk
  const Bytes good = MakePng(Grey2x2(), 8, 0, false);
  Bytes macBinary(128, 0);
  macBinary.insert(macBinary.end(), good.begin(), good.end());
  Bytes wrongType = good;
  wrongType[12] = 'i';
  PngBuilder empty;
  empty.Ihdr(0, 3, 8, 0);
  struct Case {
    const char* name;
    Bytes bytes;
    std::optional<std::pair<int, int>> size;
  };
  const Case cases[] = {
      {"header chunk only", big.Get(), std::pair{16384, 16384}},
      {"whole file", good, std::pair{2, 2}},
      {"after a MacBinary header", macBinary, std::pair{2, 2}},
      {"cut in the header chunk", Bytes(good.begin(), good.begin() + 23), std::nullopt},
      {"not a header chunk first", wrongType, std::nullopt},
      {"no width", empty.Get(), std::nullopt},
  };
  for (const Case& c : cases) {
    TMemoryStream stream(c.bytes);
    stream.SetPosition(0);
    EXPECT_EQ(ReadPngSize(stream), c.size) << c.name;
    EXPECT_EQ(stream.GetPosition(), 0) << c.name;
  }
}

struct HeaderCase {
  int colorType, compression, filter, interlace;
  const char* error;  // "" when the header is accepted
};

TEST(KroPNGHeader, FieldTests) {
  const HeaderCase cases[] = {
      {8, 0, 0, 0, ""},                     // low three bits: grey
      {1, 0, 0, 0, m::kColorType},
      {5, 0, 0, 0, m::kColorType},
      {7, 0, 0, 0, m::kColorType},
      {9, 0, 0, 0, m::kColorType},
      {0, 1, 0, 0, ""},                     // compression 1 passes
      {0, 2, 0, 0, m::kCompression},
      {0, 0, 1, 0, ""},                     // filter method 1 passes
      {0, 0, 2, 0, m::kFilter},
      {0, 0, 0, 2, m::kInterlace},
  };
  for (const HeaderCase& c : cases) {
    PngBuilder b;
    b.Ihdr(2, 2, 8, c.colorType, c.interlace, c.compression, c.filter).Idat(Grey2x2Idat()).Iend();
    EXPECT_EQ(LoadError(b.Get()), c.error) << c.colorType << " " << c.compression << " " << c.filter << " " << c.interlace;
  }
}

TEST(KroPNGHeader, ColourType14ReadsAsRgbWithAlpha) {
  RawImage image{1, 1, 32, {{1, 2, 3, 200}}};
  PngBuilder b;
  b.Ihdr(1, 1, 8, 14).Idat(Deflate(Scanlines(image, false))).Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(png.AlphaMask().ScanLine(0)[0], 55);
  EXPECT_TRUE(png.Description().HasAlpha);
}

TEST(KroPNGHeader, SecondIhdrFails) {
  PngBuilder b;
  b.Ihdr(2, 2, 8, 0).Ihdr(2, 2, 8, 0).Idat(Grey2x2Idat()).Iend();
  EXPECT_EQ(LoadError(b.Get()), m::kTwoIhdr);
}

TEST(KroPNGHeader, BitDepthTestedAtImageData) {
  struct Case { int depth, colorType; const char* error; } cases[] = {
      {3, 0, m::kGreyBitDepth}, {16, 3, m::kBitDepth}, {4, 4, m::kGreyAlpha}, {4, 2, m::kBitDepth},
      {0, 2, m::kBitDepth},     {99, 6, m::kBitDepth}, {3, 4, m::kGreyBitDepth},
  };
  for (const Case& c : cases) {
    PngBuilder b;
    b.Ihdr(2, 2, c.depth, c.colorType).Plte({0, 0xFFFFFF}).Idat(Grey2x2Idat()).Iend();
    EXPECT_EQ(LoadError(b.Get()), c.error) << c.depth << "/" << c.colorType;
    // Without image data the depth is never looked at.
    PngBuilder header;
    header.Ihdr(2, 2, c.depth, c.colorType).Iend();
    EXPECT_EQ(LoadError(header.Get()), "");
  }
}

TEST(KroPNGChunks, FileEndingBeforeImageDataLeavesEmptyBitmap) {
  PngBuilder header;
  header.Ihdr(4, 4, 8, 3);
  PngBuilder palette = header;
  palette.Plte({0xFF0000});
  for (const Bytes& data : {header.Get(), palette.Get()}) {
    TKroPNG png;
    ASSERT_NO_THROW(Load(png, data));
    EXPECT_TRUE(png.GetEmpty());
  }
}

TEST(KroPNGChunks, WrongCrcIsNotChecked) {
  Bytes data = MakePng(Grey2x2(), 8, 0, false);
  data[8 + 8 + 13] ^= 0xFF;  // IHDR's CRC
  data[data.size() - 1] ^= 0xFF;  // IEND's CRC
  TKroPNG png;
  Load(png, data);
  EXPECT_EQ(png.Bitmap().GetPixelColor(1, 1), RGB(40, 40, 40));
}

TEST(KroPNGChunks, ImageDataBeforeHeaderGivesEmptyImage) {
  PngBuilder b;
  b.Idat(Grey2x2Idat()).Ihdr(2, 2, 8, 0).Iend();
  TKroPNG png;
  ASSERT_NO_THROW(Load(png, b.Get()));
  EXPECT_TRUE(png.GetEmpty());
  EXPECT_EQ(png.Bitmap().GetPixelFormat(), TPixelFormat::pf24bit);
}

// A 4x1 8-bit palette image with indices 0..3 and the palette red, green, blue, white.
RawImage Indices4() { return RawImage{4, 1, 8, {{0}, {1}, {2}, {3}}}; }
const std::vector<std::uint32_t> kRgbw = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

TEST(KroPNGPalette, AcceptanceRules) {
  const Bytes idat = Deflate(Scanlines(Indices4(), false));
  // A second PLTE and one after the image data are skipped.
  PngBuilder b;
  b.Ihdr(4, 1, 8, 3).Plte(kRgbw).Plte({0x123456, 0x123456, 0x123456, 0x123456}).Idat(idat).Plte({0, 0, 0, 0}).Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Bitmap().GetPalette().size(), 4u);
  EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(png.Bitmap().GetPixelColor(2, 0), RGB(0, 0, 255));

  // A PLTE in a grey image is skipped: the grey ramp stays.
  PngBuilder grey;
  grey.Ihdr(2, 2, 8, 0).Plte(kRgbw).Idat(Grey2x2Idat()).Iend();
  Load(png, grey.Get());
  EXPECT_EQ(png.Bitmap().GetPalette().size(), 256u);
  EXPECT_EQ(png.Bitmap().GetPixelColor(0, 0), RGB(10, 10, 10));
}

TEST(KroPNGPalette, LongPaletteGives256Entries) {
  std::vector<std::uint32_t> entries(770);
  for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = static_cast<std::uint32_t>(i * 0x010203);
  PngBuilder b;
  b.Ihdr(4, 1, 8, 3).Plte(entries).Idat(Deflate(Scanlines(Indices4(), false))).Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Bitmap().GetPalette().size(), 256u);
  EXPECT_EQ(png.Bitmap().GetPixelColor(3, 0), RGB(3, 6, 9));
}

// tRNS cases for the 4-entry palette image; expected transparent colour (-1: none) and mask.
struct PaletteAlphaCase {
  const char* name;
  Bytes alpha;
  std::int32_t transparentColor;
  Bytes mask;  // per pixel (index 0..3); empty: no mask
};

TEST(KroPNGTransparency, PaletteAlpha) {
  const PaletteAlphaCase cases[] = {
      {"entry 1 transparent", {255, 0, 255, 255}, RGB(0, 255, 0), {0, 255, 0, 0}},
      {"short tRNS leaves the rest opaque", {255, 0}, RGB(0, 255, 0), {0, 255, 0, 0}},
      {"two transparent entries", {0, 255, 255, 0}, -1, {255, 0, 0, 255}},
      {"all opaque", {255, 255, 255, 255}, -1, {0, 0, 0, 0}},
      {"partial alpha", {255, 128, 0, 255}, -1, {0, 127, 255, 0}},
      {"longer than the palette", {0, 255, 255, 255, 7, 7}, RGB(255, 0, 0), {255, 0, 0, 0}},
  };
  for (const PaletteAlphaCase& c : cases) {
    PngBuilder b;
    b.Ihdr(4, 1, 8, 3).Plte(kRgbw).Chunk("tRNS", c.alpha).Idat(Deflate(Scanlines(Indices4(), false))).Iend();
    TKroPNG png;
    Load(png, b.Get());
    SCOPED_TRACE(c.name);
    EXPECT_EQ(png.Bitmap().GetTransparent(), c.transparentColor != -1);
    EXPECT_EQ(png.Description().TransparentColor, c.transparentColor);
    if (c.transparentColor != -1) {
      EXPECT_EQ(png.Bitmap().GetTransparentColor(), c.transparentColor);
    }
    const bool masked = c.transparentColor == -1;
    ASSERT_EQ(png.AlphaMask().GetEmpty(), !masked);
    EXPECT_EQ(png.Description().HasAlpha, masked);
    if (masked) {
      EXPECT_EQ(Bytes(png.AlphaMask().ScanLine(0), png.AlphaMask().ScanLine(0) + 4), c.mask);
    }
  }
}

TEST(KroPNGTransparency, SkippedOrEmptyTrnsChangesNothing) {
  const Bytes idat = Deflate(Scanlines(Indices4(), false));
  PngBuilder beforePalette, empty;
  beforePalette.Ihdr(4, 1, 8, 3).Chunk("tRNS", {0}).Plte(kRgbw).Idat(idat).Iend();
  empty.Ihdr(4, 1, 8, 3).Plte(kRgbw).Chunk("tRNS", {}).Idat(idat).Iend();
  for (const Bytes& data : {beforePalette.Get(), empty.Get()}) {
    TKroPNG png;
    Load(png, data);
    EXPECT_EQ(png.GetWidth(), 4);  // an empty tRNS must not end the read before the image
    EXPECT_FALSE(png.Bitmap().GetTransparent());
    EXPECT_EQ(png.Description().TransparentColor, -1);
    EXPECT_TRUE(png.AlphaMask().GetEmpty());
  }
}

struct ColourKeyCase {
  const char* name;
  int depth, colorType;
  Bytes trns;
  std::int32_t expected;
};

TEST(KroPNGTransparency, ColourKeys) {
  const ColourKeyCase cases[] = {
      {"16-bit RGB takes high bytes", 16, 2, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}, 0x9A5612},
      {"8-bit RGB takes low bytes", 8, 2, {0x00, 0x11, 0x00, 0x22, 0x00, 0x33}, 0x332211},
      {"8-bit grey", 8, 0, {0x00, 0x40}, 0x404040},
      {"16-bit grey takes the high byte", 16, 0, {0xAB, 0xCD}, 0xABABAB},
      // Low-depth grey pixels carry the ramp's grey level, and so does their key.
      {"2-bit grey sample 2 is grey 170", 2, 0, {0x00, 0x02}, 0xAAAAAA},
      {"4-bit grey sample 1 is grey 17", 4, 0, {0x00, 0x01}, 0x111111},
      {"1-bit grey sample 1 is white", 1, 0, {0x00, 0x01}, 0xFFFFFF},
  };
  for (const ColourKeyCase& c : cases) {
    const int bpp = c.colorType == 2 ? 3 * c.depth : c.depth;
    const RawImage image = Pattern(3, 2, c.depth < 8 ? c.depth : 8, bpp / 8);
    PngBuilder b;
    b.Ihdr(3, 2, c.depth, c.colorType).Chunk("tRNS", c.trns).Idat(Deflate(Scanlines(image, false))).Iend();
    TKroPNG png;
    Load(png, b.Get());
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(png.Bitmap().GetTransparent());
    EXPECT_EQ(png.Bitmap().GetTransparentColor(), c.expected);
    EXPECT_EQ(png.Bitmap().GetTransparentMode(), TTransparentMode::tmFixed);
    EXPECT_EQ(png.Description().TransparentColor, c.expected);
  }
}

TEST(KroPNGTransparency, AlphaImagesSkipTrnsAndMissingIendDropsTheKey) {
  RawImage rgba{1, 1, 32, {{1, 2, 3, 4}}};
  PngBuilder alpha;
  alpha.Ihdr(1, 1, 8, 6).Chunk("tRNS", {0, 1, 0, 2, 0, 3}).Idat(Deflate(Scanlines(rgba, false))).Iend();
  TKroPNG png;
  Load(png, alpha.Get());
  EXPECT_FALSE(png.Bitmap().GetTransparent());
  EXPECT_EQ(png.Description().TransparentColor, -1);

  PngBuilder noEnd;
  noEnd.Ihdr(2, 2, 8, 0).Chunk("tRNS", {0, 10}).Idat(Grey2x2Idat());
  Load(png, noEnd.Get());
  EXPECT_EQ(png.Bitmap().GetPixelColor(1, 1), RGB(40, 40, 40));
  EXPECT_FALSE(png.Bitmap().GetTransparent());
}

TEST(KroPNGChunks, CommentTextsAreJoined) {
  PngBuilder b;
  b.Text("Comment", "first").Ihdr(2, 2, 8, 0).Text("comment", "wrong case").Text("Title", "other")
      .Text("Comment", "").Idat(Grey2x2Idat()).Text("Comment", "second").Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Description().Comment, "first\r\n\r\nsecond\r\n");
}

TEST(KroPNGChunks, StoredDescription) {
  Bytes phys, gama, time = {0x07, 0xE8, 2, 29, 23, 59, 58};
  PutU32(phys, 3780);
  PutU32(phys, 2835);
  phys.push_back(1);
  PutU32(gama, 45455);
  PngBuilder b;
  b.Ihdr(2, 2, 8, 2).Chunk("gAMA", gama).Chunk("sBIT", {5, 6, 7}).Chunk("pHYs", phys)
      .Chunk("bKGD", {0, 1, 0, 2, 0, 3}).Idat(Deflate(Scanlines(Pattern(2, 2, 8, 3), false)))
      .Chunk("tIME", time).Chunk("gAMA", {0, 0, 0, 1}).Iend();
  TKroPNG png;
  Load(png, b.Get());
  const TKroPNGDescription& d = png.Description();
  EXPECT_DOUBLE_EQ(d.Gamma, 0.45455);  // the later gAMA is behind the image data
  EXPECT_EQ(d.SignificantBits, 0x070605u);
  EXPECT_EQ(d.PixelsPerUnitX, 3780u);
  EXPECT_EQ(d.PixelsPerUnitY, 2835u);
  EXPECT_EQ(d.PhysicalUnit, 1);
  EXPECT_EQ(d.BackgroundColor, 0x030201);
  EXPECT_EQ(d.BitDepth, 24);
  EXPECT_FALSE(d.Greyscale);
  EXPECT_EQ(png.Time.Year, 2024);
  EXPECT_EQ(png.Time.Second, 58);
}

// The grey sample of bKGD in all three channels, without the ramp scaling of tRNS keys; the
// high byte of a 16-bit sample.
TEST(KroPNGChunks, GreyBackgroundIsTheSampleInEveryChannel) {
  const struct Case { int depth; Bytes bkgd; std::int32_t expected; } cases[] = {
      {1, {0x00, 0x01}, 0x010101}, {2, {0x00, 0x02}, 0x020202}, {4, {0x00, 0x0F}, 0x0F0F0F},
      {8, {0x00, 0x80}, 0x808080}, {16, {0xAB, 0xCD}, 0xABABAB},
  };
  for (const Case& c : cases) {
    const RawImage image = Pattern(3, 2, c.depth < 8 ? c.depth : 8, c.depth / 8);
    PngBuilder b;
    b.Ihdr(3, 2, c.depth, 0).Chunk("bKGD", c.bkgd).Idat(Deflate(Scanlines(image, false))).Iend();
    TKroPNG png;
    Load(png, b.Get());
    EXPECT_EQ(png.Description().BackgroundColor, c.expected) << c.depth;
  }
}

TEST(KroPNGChunks, PaletteBackgroundBecomesEntryColour) {
  PngBuilder b;
  b.Ihdr(4, 1, 8, 3).Plte(kRgbw).Chunk("bKGD", {2}).Idat(Deflate(Scanlines(Indices4(), false))).Iend();
  TKroPNG png;
  Load(png, b.Get());
  EXPECT_EQ(png.Description().BackgroundColor, RGB(0, 0, 255));
}

// Limits of this reader: chunk lengths and image sizes.
TEST(KroPNGLimits, ChunkLengths) {
  PngBuilder huge;
  huge.Ihdr(2, 2, 8, 0);
  Bytes raw;
  PutU32(raw, 0x80000000u);
  raw.insert(raw.end(), {'z', 'z', 'Z', 'z', 0, 0, 0, 0});
  huge.Raw(raw);
  EXPECT_EQ(LoadError(huge.Get()), m::kChunkLength);

  PngBuilder shortHeader;
  shortHeader.Chunk("IHDR", {0, 0, 0, 2, 0, 0, 0, 2, 8, 0}).Idat(Grey2x2Idat()).Iend();
  EXPECT_EQ(LoadError(shortHeader.Get()), m::kChunkLength);

}

// An ancillary chunk too short for its fixed fields is passed over as if it were absent, and
// the chunks behind it are read as usual.
TEST(KroPNGChunks, ShortAncillaryChunksArePassedOver) {
  const struct Case {
    const char* type;
    std::size_t length;  // one byte short of the fields its handler reads
  } cases[] = {{"tRNS", 5}, {"bKGD", 5}, {"gAMA", 3}, {"sBIT", 2}, {"pHYs", 8}, {"cHRM", 31}, {"tIME", 6}, {"gIFg", 3}};
  const RawImage image = Pattern(2, 2, 8, 3);
  for (const Case& c : cases) {
    PngBuilder b;
    b.Ihdr(2, 2, 8, 2).Chunk(c.type, Bytes(c.length, 0x41)).Text("Comment", "behind")
        .Idat(Deflate(Scanlines(image, false))).Iend();
    TKroPNG png;
    png.Time.Year = 1999;
    png.GifExtension.Bytes[0] = 9;
    SCOPED_TRACE(c.type);
    ASSERT_NO_THROW(Load(png, b.Get()));
    EXPECT_EQ(png.Bitmap().GetPixelColor(1, 1), RGB(image.At(1, 1)[0], image.At(1, 1)[1], image.At(1, 1)[2]));
    const TKroPNGDescription& d = png.Description();
    EXPECT_EQ(d.Comment, "behind\r\n");
    EXPECT_EQ(d.TransparentColor, -1);
    EXPECT_FALSE(png.Bitmap().GetTransparent());
    EXPECT_EQ(d.BackgroundColor, -1);
    EXPECT_EQ(d.Gamma, 0.0);
    EXPECT_EQ(d.SignificantBits, 0u);
    EXPECT_EQ(d.PixelsPerUnitX, 0u);
    EXPECT_EQ(d.PhysicalUnit, 0);
    EXPECT_EQ(png.Chromaticities.WhiteX, 0u);
    // Records are cleared at the start of every read and filled only by a whole chunk.
    EXPECT_EQ(png.Time.Year, 0);
    EXPECT_EQ(png.GifExtension.Bytes[0], 0);
  }
  // A short chunk that is skipped anyway passes too.
  PngBuilder skipped;
  skipped.Ihdr(2, 2, 8, 0).Chunk("sBIT", {1}).Idat(Grey2x2Idat()).Chunk("tRNS", {1}).Iend();
  EXPECT_EQ(LoadError(skipped.Get()), "");
}

// Bytes behind a complete image without IEND that read as a chunk length of 2^31 or more end
// the read quietly, as running out of data does (no transparent colour is applied then).
TEST(KroPNGChunks, TrailingBytesAfterCompleteImageEndTheRead) {
  for (const Bytes& trailer : {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'j', 'u', 'n', 'k', 1, 2, 3, 4, 5},
                               Bytes{0x80, 0, 0, 0, 'I', 'E', 'N', 'D'}}) {
    PngBuilder b;
    b.Ihdr(2, 2, 8, 0).Chunk("tRNS", {0, 10}).Idat(Grey2x2Idat()).Raw(trailer);
    TKroPNG png;
    ASSERT_NO_THROW(Load(png, b.Get()));
    EXPECT_EQ(png.Bitmap().GetPixelColor(1, 1), RGB(40, 40, 40));
    EXPECT_FALSE(png.Bitmap().GetTransparent());
  }
}

TEST(KroPNGLimits, ImageSizes) {
  struct Case { std::uint32_t width, height; } cases[] = {{0, 2}, {2, 0}, {0x80000000u, 1}, {65536, 65536}, {1u << 28, 2}};
  for (const Case& c : cases) {
    PngBuilder b;
    b.Ihdr(c.width, c.height, 8, 0).Idat(Grey2x2Idat()).Iend();
    EXPECT_EQ(LoadError(b.Get()), m::kImageSize) << c.width << "x" << c.height;
  }
  // A size the source could never fill fails before the bitmap is allocated.
  PngBuilder b;
  b.Ihdr(16384, 16384, 8, 2).Idat(Grey2x2Idat()).Iend();
  EXPECT_EQ(LoadError(b.Get()), m::kReadError);
}

// A stream that is not a TMemoryStream, so the reader goes through its buffer and seeks.
class PlainStream : public TStream {
 public:
  explicit PlainStream(Bytes data) : data_(std::move(data)) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, data_.size() - static_cast<std::size_t>(pos_));
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += static_cast<std::int64_t>(n);
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    pos_ = (origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? pos_ : static_cast<std::int64_t>(data_.size())) + offset;
    return pos_;
  }
  void SetSize(std::int64_t) override {}

 private:
  Bytes data_;
  std::int64_t pos_ = 0;
};

TEST(KroPNGReader, ChunkHeaderStraddlingTheBufferBoundary) {
  // A filler chunk moves the following chunk header across offset 65,536 step by step; a
  // large comment then takes the path around the buffer.
  const std::string bigText(200000, 'x');
  for (int shift = -9; shift <= 1; ++shift) {
    PngBuilder b;
    b.Ihdr(2, 2, 8, 0);
    const std::size_t fillerData = static_cast<std::size_t>(65536 + shift) - b.Get().size() - 12;
    b.Chunk("fILl", Bytes(fillerData, 0x55)).Chunk("tRNS", {0, 20}).Text("Comment", bigText);
    b.IdatSplit(Grey2x2Idat(), 3).Iend();
    for (int kind = 0; kind < 2; ++kind) {
      TKroPNG png;
      if (kind == 0) {
        PlainStream stream(b.Get());
        png.LoadFromStream(stream);
        EXPECT_EQ(stream.GetPosition(), static_cast<std::int64_t>(b.Get().size()));
      } else {
        Load(png, b.Get());
      }
      SCOPED_TRACE(shift);
      EXPECT_EQ(png.Bitmap().GetPixelColor(0, 1), RGB(30, 30, 30));
      EXPECT_EQ(png.Bitmap().GetTransparentColor(), RGB(20, 20, 20));
      EXPECT_EQ(png.Description().Comment, bigText + "\r\n");
    }
  }
}

TEST(KroPNGReader, PositionAfterReadAndMacBinary) {
  const Bytes png = MakePng(Grey2x2(), 8, 0, false);
  Bytes macBinary(128, 0x41);
  macBinary[0] = macBinary[74] = 0;
  for (const bool withHeader : {false, true}) {
    Bytes data = {1, 2, 3};
    if (withHeader) data.insert(data.end(), macBinary.begin(), macBinary.end());
    data.insert(data.end(), png.begin(), png.end());
    const std::size_t end = data.size();
    data.insert(data.end(), {9, 9, 9, 9, 9});
    for (int kind = 0; kind < 2; ++kind) {
      TMemoryStream memory(data);
      PlainStream plain(data);
      TStream& stream = kind == 0 ? static_cast<TStream&>(memory) : plain;
      stream.SetPosition(3);
      TKroPNG image;
      image.LoadFromStream(stream);
      EXPECT_EQ(image.Bitmap().GetPixelColor(1, 0), RGB(20, 20, 20));
      EXPECT_EQ(stream.GetPosition(), static_cast<std::int64_t>(end));
    }
  }
  // With the option off the header is not looked for.
  Bytes data = macBinary;
  data.insert(data.end(), png.begin(), png.end());
  TKroPNG image;
  image.MacBinary = false;
  TMemoryStream stream(data);
  EXPECT_THROW(image.LoadFromStream(stream), EKroPNG);
}

TEST(KroPNGReader, ProgressRunsFromStartToEnd) {
  RawImage image = Pattern(16, 40, 8);
  TKroPNG png;
  std::vector<std::pair<TProgressStage, int>> events;
  png.OnProgress = [&](TGraphic& sender, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                       const std::string&) {
    EXPECT_EQ(&sender, &png);
    events.emplace_back(stage, percent);
  };
  Load(png, MakePng(image, 8, 0, true));
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), std::make_pair(TProgressStage::psStarting, 0));
  EXPECT_EQ(events.back(), std::make_pair(TProgressStage::psEnding, 100));
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i].first, TProgressStage::psRunning);
    EXPECT_GT(events[i].second, events[i - 1].second);
    EXPECT_LT(events[i].second, 100);
  }
}

}  // namespace
}  // namespace pw::test
