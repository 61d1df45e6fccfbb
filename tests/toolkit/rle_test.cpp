#include "toolkit/rle.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "toolkit/errors.h"

namespace pw {
namespace {

constexpr std::uint8_t kGuard = 0xEE;

// Rows of a small picture in one buffer, storage row 0 first, with guard bytes around it
// and after each row's used bytes, so that any write outside the picture shows.
struct Canvas {
  Canvas(int width, int height, int bits, std::uint8_t fill = 0)
      : width(width), height(height), rowBytes((width * bits + 7) / 8), stride(rowBytes + 3),
        bytes(16 + stride * height + 16, kGuard) {
    for (int y = 0; y < height; ++y)
      for (int i = 0; i < rowBytes; ++i) Row(y)[i] = fill;
  }
  std::uint8_t* Row(int y) { return bytes.data() + 16 + stride * y; }
  TRleTarget Target() { return {Row(0), stride, width, height}; }
  std::vector<std::uint8_t> RowBytes(int y) { return {Row(y), Row(y) + rowBytes}; }
  bool GuardsIntact() const {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::size_t inside = i < 16 ? stride : (i - 16) % stride;
      const bool picture = i >= 16 && i < 16 + static_cast<std::size_t>(stride * height) &&
                           inside < static_cast<std::size_t>(rowBytes);
      if (!picture && bytes[i] != kGuard) return false;
    }
    return true;
  }
  int width, height, rowBytes, stride;
  std::vector<std::uint8_t> bytes;
};

using Bytes = std::vector<std::uint8_t>;

struct RleCase {
  const char* name;
  TRleFormat format;
  int width, height;
  Bytes input;
  TRleResult result;
  int badNumber;        // "Bad RLE Data N", 0 for none
  Bytes row0, row1;     // expected storage rows (row1 only for two-row pictures)
};

class RleDecoding : public ::testing::TestWithParam<RleCase> {};

TEST_P(RleDecoding, FollowsThePositionRules) {
  const RleCase& c = GetParam();
  const int bits = c.format == TRleFormat::kRle8 ? 8 : 4;
  Canvas canvas(c.width, c.height, bits);
  const TRleResult result = DecodeRle(c.format, c.input, canvas.Target());
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(BadRleDataNumber(c.format, result), c.badNumber);
  if (!c.row0.empty()) {
    EXPECT_EQ(canvas.RowBytes(0), c.row0);
  }
  if (!c.row1.empty()) {
    EXPECT_EQ(canvas.RowBytes(1), c.row1);
  }
  EXPECT_TRUE(canvas.GuardsIntact());
}

constexpr auto k8 = TRleFormat::kRle8;
constexpr auto k4 = TRleFormat::kRle4;
using R = TRleResult;

INSTANTIATE_TEST_SUITE_P(
    Rle, RleDecoding,
    ::testing::Values(
        // RLE8
        RleCase{"run", k8, 2, 1, {2, 5, 0, 0, 0, 1}, R::kEndOfBitmap, 0, {5, 5}, {}},
        RleCase{"run_past_width", k8, 2, 1, {3, 5, 0, 1}, R::kBadRun, 4, {}, {}},
        RleCase{"run_below_last_row", k8, 2, 1, {0, 0, 1, 7}, R::kBadRun, 4, {}, {}},
        RleCase{"eol_after_last_row_allowed", k8, 2, 1, {1, 7, 0, 0, 0, 1}, R::kEndOfBitmap, 0, {7, 0}, {}},
        RleCase{"eol_two_past", k8, 2, 1, {0, 0, 0, 0, 0, 1}, R::kBadEndOfLine, 1, {}, {}},
        RleCase{"delta_to_row_end_allowed", k8, 2, 1, {0, 2, 2, 0, 0, 1}, R::kEndOfBitmap, 0, {0, 0}, {}},
        RleCase{"delta_past_width", k8, 2, 1, {0, 2, 3, 0}, R::kBadDelta, 2, {}, {}},
        RleCase{"delta_two_rows_up", k8, 2, 1, {0, 2, 0, 2}, R::kBadDelta, 2, {}, {}},
        RleCase{"delta_then_run", k8, 3, 2, {0, 2, 1, 1, 1, 7, 0, 1}, R::kEndOfBitmap, 0, {0, 0, 0}, {0, 7, 0}},
        RleCase{"absolute_odd_skips_pad", k8, 4, 1, {0, 3, 1, 2, 3, 0, 1, 9, 0, 1}, R::kEndOfBitmap, 0,
                   {1, 2, 3, 9}, {}},
        RleCase{"absolute_past_width", k8, 2, 1, {0, 3, 1, 2, 3, 0}, R::kBadAbsolute, 3, {}, {}},
        RleCase{"data_ends_in_pair", k8, 2, 1, {2, 5, 0}, R::kDataEnded, 0, {5, 5}, {}},
        RleCase{"data_ends_in_delta", k8, 2, 1, {0, 2, 1}, R::kDataEnded, 0, {}, {}},
        RleCase{"data_ends_in_absolute", k8, 4, 1, {0, 4, 1, 2}, R::kDataEnded, 0, {1, 2, 0, 0}, {}},
        RleCase{"empty_input", k8, 2, 1, {}, R::kDataEnded, 0, {0, 0}, {}},
        // RLE4
        RleCase{"nibble_run", k4, 3, 1, {3, 0x12, 0, 1}, R::kEndOfBitmap, 0, {0x12, 0x10}, {}},
        RleCase{"run_to_even_limit", k4, 3, 1, {4, 0x12, 0, 1}, R::kEndOfBitmap, 0, {0x12, 0x12}, {}},
        RleCase{"run_past_limit", k4, 3, 1, {5, 0x12}, R::kBadRun, 8, {}, {}},
        RleCase{"delta_to_odd_column", k4, 4, 1, {0, 2, 3, 0, 1, 0xA0, 0, 1}, R::kEndOfBitmap, 0, {0, 0x0A}, {}},
        RleCase{"delta_past_limit", k4, 3, 1, {0, 2, 5, 0}, R::kBadDelta, 6, {}, {}},
        RleCase{"eol_two_past4", k4, 2, 1, {0, 0, 0, 0}, R::kBadEndOfLine, 5, {}, {}},
        // An absolute run of 5 nibbles takes 3 data bytes padded to 4.
        RleCase{"absolute_five", k4, 6, 1, {0, 5, 0x12, 0x34, 0x50, 0, 1, 0x60, 0, 1}, R::kEndOfBitmap, 0,
                   {0x12, 0x34, 0x56}, {}},
        RleCase{"absolute_three", k4, 4, 1, {0, 3, 0x12, 0x30, 1, 0x40, 0, 1}, R::kEndOfBitmap, 0, {0x12, 0x34}, {}},
        RleCase{"absolute_past_limit", k4, 2, 1, {0, 3, 0x12, 0x30}, R::kBadAbsolute, 7, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RleDecode, Rle4EvenColumnSetsTheWholeByteOddColumnKeepsTheHighNibble) {
  Canvas canvas(4, 1, 4, 0xFF);
  // One pixel A at column 0, then a delta to column 3 and one pixel B there.
  const Bytes input = {1, 0xA0, 0, 2, 2, 0, 1, 0xB0, 0, 1};
  EXPECT_EQ(DecodeRle(k4, input, canvas.Target()), R::kEndOfBitmap);
  EXPECT_EQ(canvas.RowBytes(0), (Bytes{0xA0, 0xFB}));
}

TEST(RleDecode, NegativeStrideAddressesTopDownMemory) {
  // Two rows kept top-down in memory: storage row 0 (the bottom row) is the second one.
  Bytes memory(8, 0);
  const TRleTarget target{memory.data() + 4, -4, 2, 2};
  const Bytes input = {2, 1, 0, 0, 2, 2, 0, 1};
  EXPECT_EQ(DecodeRle(k8, input, target), R::kEndOfBitmap);
  EXPECT_EQ(memory, (Bytes{2, 2, 0, 0, 1, 1, 0, 0}));
}

TEST(RleDecode, RowsNarrowerThanTheWidthAreAnInternalError) {
  Bytes memory(4);
  EXPECT_THROW(DecodeRle(k8, Bytes{0, 1}, TRleTarget{memory.data(), 2, 3, 1}), EInternalError);
}

// Random streams in both formats never touch memory outside the picture and always come to
// an end.
TEST(RleDecode, RandomStreamsStayInsideThePicture) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    const auto format = round % 2 ? k8 : k4;
    Canvas canvas(1 + static_cast<int>(random() % 9), 1 + static_cast<int>(random() % 5), format == k8 ? 8 : 4);
    Bytes input(random() % 64);
    for (auto& b : input) b = static_cast<std::uint8_t>(random() % 4 == 0 ? random() % 4 : random() % 256);
    DecodeRle(format, input, canvas.Target());
    ASSERT_TRUE(canvas.GuardsIntact()) << "round " << round;
  }
}

}  // namespace
}  // namespace pw
