// The web page's deflated tables inflate to exactly the generated tables, and the inflater reads
// streams made by another deflater (zlib) by the rules of their filters.
#include "toolkit/packed_tables.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "toolkit/builtin_tables.h"
#include "toolkit/errors.h"

namespace pw {
namespace {

template <class T>
std::vector<std::byte> BytesOf(std::span<const T> elements) {
  const auto bytes = std::as_bytes(elements);
  return {bytes.begin(), bytes.end()};
}

// The generated table as compiled, beside the library's inflated one.
struct BuiltInCase {
  std::string name;
  std::vector<std::byte> generated;
  std::vector<std::byte> inflated;
};

std::vector<BuiltInCase> BuiltInCases() {
  namespace sjis = sjis::table;
  std::vector<BuiltInCase> cases = {
      {"sjis single bytes", BytesOf<char16_t>(sjis::kSingleByte), BytesOf<char16_t>(tables::SjisSingleByte())},
      {"sjis encodings", BytesOf<sjis::Encoding>({sjis::kEncodings, sjis::kEncodingCount}),
       BytesOf<sjis::Encoding>(tables::SjisEncodings())},
      {"half-width", BytesOf<standin::GlyphRows>(standin::kHalfWidth), BytesOf<standin::GlyphRows>(tables::StandInHalfWidth())},
      {"Gothic", BytesOf<standin::GlyphRows>(standin::kGothic), BytesOf<standin::GlyphRows>(tables::StandInGothic())},
      {"Mincho", BytesOf<standin::GlyphRows>(standin::kMincho), BytesOf<standin::GlyphRows>(tables::StandInMincho())},
  };
  for (int slot = 0; slot < sjis::kLeadSlots; ++slot) {
    cases.push_back({"sjis pairs of slot " + std::to_string(slot), BytesOf<char16_t>(sjis::kDoubleByte[slot]),
                     BytesOf<char16_t>(tables::SjisPairs(slot))});
  }
  const struct {
    const char* name;
    const world::GlyphTable& generated;
    const world::GlyphTable& inflated;
    int bytesPerGlyph;
  } glyphTables[] = {{"6x12", world::kNarrow, tables::WorldNarrow(), world::kNarrowBytes},
                     {"efont", world::kEfont, tables::WorldEfont(), world::kWideBytes},
                     {"WenQuanYi", world::kWqy, tables::WorldWqy(), world::kWideBytes}};
  for (const auto& t : glyphTables) {
    const std::size_t count = t.generated.count;
    EXPECT_EQ(t.inflated.count, count) << t.name;
    if (t.inflated.count != count) continue;
    cases.push_back({std::string(t.name) + " codes", BytesOf<char32_t>({t.generated.codes, count}),
                     BytesOf<char32_t>({t.inflated.codes, count})});
    cases.push_back({std::string(t.name) + " bits", BytesOf<std::uint8_t>({t.generated.bits, count * t.bytesPerGlyph}),
                     BytesOf<std::uint8_t>({t.inflated.bits, count * t.bytesPerGlyph})});
  }
  const auto pages = tables::CodePages();
  EXPECT_EQ(pages.size(), codepage::table::kCodePageCount);
  for (std::size_t i = 0; i < std::min(pages.size(), codepage::table::kCodePageCount); ++i) {
    const codepage::table::CodePage& generated = codepage::table::kCodePages[i];
    EXPECT_STREQ(pages[i].name, generated.name);
    EXPECT_STREQ(pages[i].iconvName, generated.iconvName);
    cases.push_back({std::string(generated.name) + " single bytes", BytesOf<char16_t>({generated.single, 256}),
                     BytesOf<char16_t>({pages[i].single, 256})});
    EXPECT_EQ(pages[i].pairs == nullptr, generated.pairs == nullptr) << generated.name;
    if (generated.pairs == nullptr || pages[i].pairs == nullptr) continue;
    const std::size_t pairs = codepage::table::kLeads * 256;
    cases.push_back({std::string(generated.name) + " pairs", BytesOf<char16_t>({generated.pairs, pairs}),
                     BytesOf<char16_t>({pages[i].pairs, pairs})});
  }
  return cases;
}

TEST(PackedTables, EveryTableInflatesToTheGeneratedOne) {
  const std::vector<BuiltInCase> cases = BuiltInCases();
  EXPECT_EQ(cases.size(), 5u + 60u + 6u + 9u + 3u);
  for (const BuiltInCase& c : cases) {
    EXPECT_FALSE(c.generated.empty()) << c.name;
    EXPECT_TRUE(c.inflated == c.generated) << c.name;
  }
}

// A raw deflate stream of bytes, from zlib.
std::vector<std::uint8_t> ZlibDeflate(const std::vector<std::uint8_t>& bytes) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<std::uint8_t> out(deflateBound(&stream, bytes.size()));
  stream.next_in = const_cast<std::uint8_t*>(bytes.data());
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

TEST(PackedTables, FiltersAreUndoneByTheirRules) {
  using F = tables::TTableFilter;
  struct Case {
    const char* name;
    F filter;
    std::vector<std::uint8_t> stored;
    std::vector<std::uint8_t> table;
  };
  const std::vector<Case> cases = {
      {"none", F::kNone, {1, 2, 0xFF, 0}, {1, 2, 0xFF, 0}},
      // 16-bit little-endian differences 1, 1, 1, -1 (0xFFFF): 1, 2, 3, 2.
      {"delta16", F::kDelta16, {1, 0, 1, 0, 1, 0, 0xFF, 0xFF}, {1, 0, 2, 0, 3, 0, 2, 0}},
      // A carry into the high byte, and a sum that wraps past 0xFFFF to 0x0001.
      {"delta16 carry and wrap", F::kDelta16, {0xFF, 0x00, 0x01, 0x00, 0x01, 0xFF}, {0xFF, 0x00, 0x00, 0x01, 0x01, 0x00}},
      // 32-bit differences 0x10000, 1, -1: 0x10000, 0x10001, 0x10000.
      {"delta32", F::kDelta32,
       {0, 0, 1, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
       {0, 0, 1, 0, 1, 0, 1, 0, 0, 0, 1, 0}},
  };
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> deflated = ZlibDeflate(c.stored);
    const tables::TDeflatedTable table{deflated.data(), deflated.size(), c.table.size(), c.filter};
    std::vector<std::uint8_t> out(c.table.size());
    tables::InflateInto(table, std::as_writable_bytes(std::span(out)));
    EXPECT_EQ(out, c.table) << c.name;
  }
}

TEST(PackedTables, DamagedTablesAreRefused) {
  using F = tables::TTableFilter;
  const std::vector<std::uint8_t> eight = ZlibDeflate({1, 2, 3, 4, 5, 6, 7, 8});
  const std::vector<std::uint8_t> three = ZlibDeflate({1, 2, 3});
  const std::vector<std::uint8_t> six = ZlibDeflate({1, 2, 3, 4, 5, 6});
  std::vector<std::uint8_t> cut(eight.begin(), eight.end() - 2);
  struct Case {
    const char* name;
    tables::TDeflatedTable table;
    std::size_t room;
  };
  const std::vector<Case> cases = {
      {"stream longer than its size", {eight.data(), eight.size(), 7, F::kNone}, 7},
      {"stream shorter than its size", {eight.data(), eight.size(), 9, F::kNone}, 9},
      {"room larger than the size", {eight.data(), eight.size(), 8, F::kNone}, 16},
      {"size larger than the room the stream fills", {eight.data(), eight.size(), 16, F::kNone}, 8},
      {"stream cut short", {cut.data(), cut.size(), 8, F::kNone}, 8},
      {"odd size for 16-bit differences", {three.data(), three.size(), 3, F::kDelta16}, 3},
      {"size not a multiple of 32 bits", {six.data(), six.size(), 6, F::kDelta32}, 6},
  };
  for (const Case& c : cases) {
    std::vector<std::byte> out(c.room);
    try {
      tables::InflateInto(c.table, out);
      ADD_FAILURE() << c.name << ": not refused";
    } catch (const EInternalError& e) {
      EXPECT_STREQ(e.what(), msg::kTableDamaged) << c.name;
    }
  }
}

}  // namespace
}  // namespace pw
