// The public BMP suite through the DIB stream reader: files it accepts must decode to their
// reference pictures, the others must fail with one of the reader's own messages; RLE files
// must survive decode, encode, decode. Skipped when the suite is not next to the project.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dib/convert.h"
#include "dib/messages.h"
#include "tests/dib/codec_test_util.h"

namespace pw {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

const fs::path kSuite = "../shared/conformance";

struct Row {
  std::string set, file, refPath, notes;
};

// manifest.csv: plain comma-separated fields, the last one (notes) quoted.
std::vector<Row> BmpRows() {
  std::ifstream in(kSuite / "manifest.csv");
  std::vector<Row> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (fields.size() < 9) {
      const std::size_t comma = line.find(',', at);
      fields.push_back(line.substr(at, comma - at));
      at = comma + 1;
    }
    if (fields[0] != "bmpsuite") continue;
    rows.push_back({fields[1], fields[2], fields[8], line.substr(at)});
  }
  return rows;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Picture {
  int width = 0, height = 0;
  Bytes rgb;  // top row first
};

Picture ReadPpm(const fs::path& path) {
  const Bytes bytes = ReadFile(path);
  std::istringstream head(std::string(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 64)));
  std::string magic;
  int maxval = 0;
  Picture p;
  head >> magic >> p.width >> p.height >> maxval;
  const std::size_t start = static_cast<std::size_t>(head.tellg()) + 1;
  EXPECT_EQ(magic, "P6");
  EXPECT_EQ(maxval, 255);
  p.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end());
  return p;
}

// The colours of a plain block, top row first.
Picture ToPicture(const TQvDIBInfos& d) {
  Picture p{d.Width(), d.Height(), {}};
  for (int y = 0; y < d.Height(); ++y) {
    const std::uint8_t* row = d.Row(y);
    for (int x = 0; x < d.Width(); ++x) {
      if (d.header.biBitCount == 24) {
        p.rgb.insert(p.rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      int index = 0;
      switch (d.header.biBitCount) {
        case 1: index = (row[x / 8] >> (7 - x % 8)) & 1; break;
        case 4: index = (x & 1) ? row[x / 2] & 0x0F : row[x / 2] >> 4; break;
        default: index = row[x]; break;
      }
      const TRGBQuad& q = d.colorTable[static_cast<std::size_t>(index)];
      p.rgb.insert(p.rgb.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
    }
  }
  return p;
}

int MaxDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) return 256;
  int worst = 0;
  for (std::size_t i = 0; i < a.rgb.size(); ++i) worst = std::max(worst, std::abs(a.rgb[i] - b.rgb[i]));
  return worst;
}

bool IsRle(const TQvDIBInfos& d) {
  return (d.header.biBitCount == 8 && d.header.biCompression == BI_RLE8) ||
         (d.header.biBitCount == 4 && d.header.biCompression == BI_RLE4);
}

TQvDIBInfos DecodeRle(const TQvDIBInfos& d) {
  const TQvConvertContext context;
  return d.header.biBitCount == 8 ? Convert8BitRLETo8BitRGB(d, false, context) : Convert4BitRLETo4BitRGB(d, false, context);
}

// Decode, encode, decode: the same pixels (or an encoding that would not be smaller).
void ExpectRleRoundTrip(const TQvDIBInfos& plain) {
  const TQvConvertContext context;
  try {
    const TQvDIBInfos rle = plain.header.biBitCount == 8 ? Convert8BitRGBTo8BitRLE(plain, false, context)
                                                         : Convert4BitRGBTo4BitRLE(plain, false, context);
    EXPECT_EQ(MaxDifference(ToPicture(DecodeRle(rle)), ToPicture(plain)), 0) << "RLE round trip";
  } catch (const EQvDIBCompressionFailed&) {
  }
}

// Every message with which the reader or an RLE decoder may refuse a file.
const std::set<std::string>& RefusalMessages() {
  static const std::set<std::string> texts = {
      qvmsg::kLoadFileTypeInvalid, qvmsg::kLoadInvalidBitCout,     qvmsg::kLoadInvalidBitCount,
      qvmsg::kLoadOffBitsTooSmall, qvmsg::kLoadInvalidHeaderSize,  qvmsg::kLoadInvalidWidthHeight,
      qvmsg::kLoadInvalidMasks,    qvmsg::kLoadPixelDataTooSmall,  msg::kStreamReadError,
      qvmsg::kBadRleData1,         qvmsg::kBadRleData2,            qvmsg::kBadRleData3,
      qvmsg::kBadRleData4,         qvmsg::kBadRleData5,            qvmsg::kBadRleData6,
      qvmsg::kBadRleData7,         qvmsg::kBadRleData8,            qvmsg::kRle8DataEnded,
      qvmsg::kRle4DataEnded,
  };
  return texts;
}

TEST(DibStreamConformance, BmpSuite) {
  if (!fs::exists(kSuite / "manifest.csv")) GTEST_SKIP() << "no conformance suite at " << kSuite;
  int accepted = 0, refused = 0;
  std::set<std::string> acceptedNames;
  for (const Row& row : BmpRows()) {
    SCOPED_TRACE(row.set + "/" + row.file);
    const Bytes file = ReadFile(kSuite / "bmpsuite" / row.set / row.file);
    TQvDIB image;
    TQvDIBInfos plain;
    try {
      test::Load(image, file);
      const TQvDIBInfos& loaded = test::Infos(image);
      if (IsRle(loaded)) {
        plain = DecodeRle(loaded);
        ExpectRleRoundTrip(plain);
      } else {
        plain = loaded.CloneLayout(loaded.BitsSize(), false);
        std::copy(loaded.Bits(), loaded.Bits() + loaded.BitsSize(), plain.Bits());
      }
    } catch (const Exception& e) {
      EXPECT_TRUE(RefusalMessages().count(e.Message())) << "unexpected message: " << e.Message();
      ++refused;
      continue;
    }
    ++accepted;
    acceptedNames.insert(row.set + "/" + row.file);
    ASSERT_FALSE(row.refPath.empty()) << "accepted a file that has no reference";
    // Channels of other than 8 bits are scaled by a rule of their own here (within 1).
    const int tolerance = row.notes.find("UNCERTAIN(scaling)") != std::string::npos ? 1 : 0;
    EXPECT_LE(MaxDifference(ToPicture(plain), ReadPpm(kSuite / row.refPath)), tolerance);
  }
  // The plain files with 40- and 12-byte headers that every reader of this kind must take.
  for (const char* name : {"g/pal1.bmp", "g/pal4.bmp", "g/pal4rle.bmp", "g/pal8.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp",
                           "g/pal8topdown.bmp", "g/pal8w125.bmp", "g/rgb16.bmp", "g/rgb16-565.bmp", "g/rgb24.bmp",
                           "g/rgb32.bmp", "g/rgb32bf.bmp", "q/pal8offs.bmp", "q/rgb16-231.bmp"})
    EXPECT_TRUE(acceptedNames.count(name)) << name << " was refused";
  std::printf("BMP suite through the DIB reader: %d accepted, %d refused\n", accepted, refused);
}

}  // namespace
}  // namespace pw
