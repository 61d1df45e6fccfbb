// The public BMP test suite against its reference decodings: good files decode to their
// reference, files outside what the reader accepts are refused with a toolkit error, and the
// questionable ones do what the reading rules say. Skips itself without the suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"

namespace pw {
namespace {

const std::filesystem::path kSuite = "../shared/conformance";

enum class Expect {
  kMatches,  // decodes to the reference
  kRefused,  // fails with a toolkit error
  kLoads,    // loads at its header's size; the suite has no reference for it
};

// What the reader does with every BMP of the suite, by set/file.
const std::map<std::string, Expect> kExpected = {
    // Outside the accepted headers, depths and compressions.
    {"q/pal1huffmsb.bmp", Expect::kRefused},
    {"q/pal2.bmp", Expect::kRefused},
    {"q/pal2color.bmp", Expect::kRefused},
    {"q/pal8os2v2-16.bmp", Expect::kRefused},
    {"q/rgb24jpeg.bmp", Expect::kRefused},
    {"q/rgb24png.bmp", Expect::kRefused},
    {"q/rgb24rle24.bmp", Expect::kRefused},
    {"q/rgba32abf.bmp", Expect::kRefused},
    {"q/rgba64.bmp", Expect::kRefused},
    // Broken beyond reading.
    {"b/badbitcount.bmp", Expect::kRefused},
    {"b/badpalettesize.bmp", Expect::kRefused},
    {"b/badplanes.bmp", Expect::kRefused},
    {"b/badwidth.bmp", Expect::kRefused},
    {"b/badrle.bmp", Expect::kRefused},  // RLE codes that leave the picture
    {"b/badrlebis.bmp", Expect::kRefused},
    {"b/badrleter.bmp", Expect::kRefused},
    {"b/badrle4.bmp", Expect::kRefused},
    {"b/badrle4bis.bmp", Expect::kRefused},
    {"b/badrle4ter.bmp", Expect::kRefused},
    {"b/reallybig.bmp", Expect::kRefused},
    {"b/rletopdown.bmp", Expect::kRefused},
    // Pixel data that ends early: the rest of the picture stays 0.
    {"b/shortfile.bmp", Expect::kLoads},
    // The other b/ files break only fields that reading does not use (bfSize, biSizeImage
    // beyond the file, resolution), use indexes past the palette (black), have a header of 66
    // bytes (40 or more are accepted) or a bit mask of 0 (a channel of 0): they decode to
    // their reference.
};

struct Row {
  std::string set, file, refPath, notes;
};

// Splits one CSV line; fields may be quoted and contain commas.
std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    else if (c == ',' && !quoted) fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

std::vector<Row> BmpRows() {
  std::ifstream in(kSuite / "manifest.csv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    const auto f = SplitCsv(line);
    if (f.size() >= 10 && f[0] == "bmpsuite") rows.push_back({f[1], f[2], f[8], f[9]});
  }
  return rows;
}

struct Ppm {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

Ppm ReadPpm(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Ppm p;
  in >> magic >> p.width >> p.height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return {};
  p.rgb.resize(static_cast<std::size_t>(p.width) * p.height * 3);
  in.read(reinterpret_cast<char*>(p.rgb.data()), static_cast<std::streamsize>(p.rgb.size()));
  return p;
}

// Number of pixels whose channels differ from the reference by more than tolerance.
int CountDifferences(const TBitmap& b, const Ppm& ref, int tolerance) {
  int differing = 0;
  for (int y = 0; y < ref.height; ++y)
    for (int x = 0; x < ref.width; ++x) {
      const TColor c = b.GetPixelColor(x, y);
      const std::uint8_t* r = &ref.rgb[(static_cast<std::size_t>(y) * ref.width + x) * 3];
      if (std::abs(GetRValue(c) - r[0]) > tolerance || std::abs(GetGValue(c) - r[1]) > tolerance ||
          std::abs(GetBValue(c) - r[2]) > tolerance)
        ++differing;
    }
  return differing;
}

class BmpSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kSuite / "manifest.csv")) GTEST_SKIP() << "no conformance suite at " << kSuite;
  }
};

TEST_F(BmpSuite, EveryFileBehavesAsExpected) {
  const auto rows = BmpRows();
  ASSERT_EQ(rows.size(), 90u);
  for (const Row& row : rows) {
    const std::string key = row.set + "/" + row.file;
    SCOPED_TRACE(key);
    const auto it = kExpected.find(key);
    const Expect expect = it == kExpected.end() ? Expect::kMatches : it->second;
    TBitmap b;
    std::string error;
    try {
      b.LoadFromFile((kSuite / "bmpsuite" / row.set / row.file).string());
    } catch (const Exception& e) {
      error = e.what();
    }
    if (expect == Expect::kRefused) {
      EXPECT_FALSE(error.empty()) << "loaded as " << b.GetWidth() << "x" << b.GetHeight();
      continue;
    }
    ASSERT_EQ(error, "");
    if (expect == Expect::kLoads) {
      EXPECT_FALSE(b.GetEmpty());
      continue;
    }
    ASSERT_FALSE(row.refPath.empty());
    const Ppm ref = ReadPpm(kSuite / row.refPath);
    ASSERT_EQ(b.GetWidth(), ref.width);
    ASSERT_EQ(b.GetHeight(), ref.height);
    const int tolerance = row.notes.find("UNCERTAIN(scaling)") != std::string::npos ? 1 : 0;
    EXPECT_EQ(CountDifferences(b, ref, tolerance), 0);
  }
}

TEST_F(BmpSuite, RefusalsAreTheToolkitsErrors) {
  struct Case {
    const char* file;
    const char* message;
  };
  const Case cases[] = {
      {"b/badplanes.bmp", msg::kBitmapIllegal},   {"b/badbitcount.bmp", msg::kBitmapIllegal},
      {"b/badwidth.bmp", msg::kBitmapIllegal},    {"q/rgb24jpeg.bmp", msg::kBitmapIllegal},
      {"b/reallybig.bmp", msg::kBitmapIllegal},
      {"b/badpalettesize.bmp", msg::kStreamReadError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TBitmap b;
    try {
      b.LoadFromFile((kSuite / "bmpsuite" / c.file).string());
      ADD_FAILURE() << "loaded";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST_F(BmpSuite, FilesWithBitFieldsReportTheirPixelFormat) {
  struct Case {
    const char* file;
    TPixelFormat format;
    std::uint32_t compression;
  };
  const Case cases[] = {
      {"g/rgb16.bmp", TPixelFormat::pf15bit, 0},       {"g/rgb16bfdef.bmp", TPixelFormat::pf15bit, 3},
      {"g/rgb16-565.bmp", TPixelFormat::pf16bit, 3},   {"g/rgb32.bmp", TPixelFormat::pf32bit, 0},
      {"g/rgb32bf.bmp", TPixelFormat::pf32bit, 3},     {"q/rgb16-231.bmp", TPixelFormat::pf32bit, 3},
      {"g/pal8rle.bmp", TPixelFormat::pf8bit, 1},      {"g/pal4rle.bmp", TPixelFormat::pf4bit, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TBitmap b;
    b.LoadFromFile((kSuite / "bmpsuite" / c.file).string());
    EXPECT_EQ(b.GetPixelFormat(), c.format);
    EXPECT_EQ(b.GetFileCompression(), c.compression);
  }
}

}  // namespace
}  // namespace pw
