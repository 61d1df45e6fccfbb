// The public PNG test suite against its reference decodings (8-bit RGB as stored). Skipped
// when ../shared/conformance is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "png/messages.h"
#include "tests/png/png_test_util.h"

namespace pw::test {
namespace {

const std::filesystem::path kSuite = "../shared/conformance";

struct Ppm {
  int width = 0, height = 0;
  Bytes rgb;
};

// Binary PPM (P6, maxval 255).
Ppm ReadPpm(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Ppm ppm;
  in >> magic >> ppm.width >> ppm.height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return {};
  ppm.rgb.resize(static_cast<std::size_t>(ppm.width) * static_cast<std::size_t>(ppm.height) * 3);
  in.read(reinterpret_cast<char*>(ppm.rgb.data()), static_cast<std::streamsize>(ppm.rgb.size()));
  return in ? ppm : Ppm{};
}

struct Row {
  std::string file, refPath;
};

std::vector<Row> PngSuiteRows() {
  std::ifstream in(kSuite / "manifest.csv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream cells(line);
    for (std::string cell; fields.size() < 9 && std::getline(cells, cell, ',');) fields.push_back(cell);
    if (fields.size() >= 9 && fields[0] == "pngsuite") rows.push_back({fields[2], fields[8]});
  }
  return rows;
}

// Corrupt files of the suite and what this reader makes of them. Files with a wrong CRC load
// like their corrected copies (CRCs are not checked), and a file without image data loads as
// an empty picture without an error, as a file that ends before its image data does.
const std::map<std::string, std::string> kCorrupt = {
    {"xc1n0g08.png", kropng_msg::kColorType},  {"xc9n2c08.png", kropng_msg::kColorType},
    {"xcrn0g04.png", kropng_msg::kNotPng},     {"xlfn0g04.png", kropng_msg::kNotPng},
    {"xs1n0g01.png", kropng_msg::kNotPng},     {"xs2n0g01.png", kropng_msg::kNotPng},
    {"xs4n0g01.png", kropng_msg::kNotPng},     {"xs7n0g01.png", kropng_msg::kNotPng},
    {"xd0n2c08.png", kropng_msg::kBitDepth},   {"xd3n2c08.png", kropng_msg::kBitDepth},
    {"xd9n2c08.png", kropng_msg::kBitDepth},   {"xdtn0g01.png", ""},
    {"xcsn0g01.png", ""},                      {"xhdn0g08.png", ""},
};

TEST(KroPNGConformance, PngSuiteMatchesReferences) {
  if (!std::filesystem::exists(kSuite / "manifest.csv")) GTEST_SKIP() << "no conformance suite at " << kSuite;
  const std::vector<Row> rows = PngSuiteRows();
  ASSERT_GE(rows.size(), 170u);
  int compared = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    const Bytes data = ReadFileBytes((kSuite / "pngsuite" / row.file).string());
    const auto corrupt = kCorrupt.find(row.file);
    if (row.file[0] == 'x') {
      ASSERT_NE(corrupt, kCorrupt.end()) << "corrupt file without an expectation";
    }
    if (corrupt != kCorrupt.end()) {
      EXPECT_EQ(LoadError(data), corrupt->second);
    }
    if (row.refPath.empty()) continue;

    const Ppm ref = ReadPpm(kSuite / row.refPath);
    // From memory, and from the file as it is read, which goes through the row-by-row inflater.
    for (const bool fromFile : {false, true}) {
      SCOPED_TRACE(fromFile ? "from the file" : "from memory");
      TKroPNG png;
      if (fromFile) {
        ASSERT_NO_THROW(png.LoadFromFile((kSuite / "pngsuite" / row.file).string()));
      } else {
        ASSERT_NO_THROW(Load(png, data));
      }
      ASSERT_EQ(png.GetWidth(), ref.width);
      ASSERT_EQ(png.GetHeight(), ref.height);
      int differing = 0;
      for (int y = 0; y < ref.height; ++y)
        for (int x = 0; x < ref.width; ++x) {
          const std::uint8_t* p = &ref.rgb[3 * (static_cast<std::size_t>(y) * ref.width + x)];
          const TColor got = png.Bitmap().GetPixelColor(x, y);
          if (got != RGB(p[0], p[1], p[2]) && differing++ == 0)
            ADD_FAILURE() << "first difference at " << x << "," << y << ": " << std::hex << got;
        }
      EXPECT_EQ(differing, 0);
    }
    ++compared;
  }
  EXPECT_GE(compared, 160);
}

}  // namespace
}  // namespace pw::test
