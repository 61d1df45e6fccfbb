#include "toolkit/packed_tables.h"

#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "toolkit/builtin_tables.h"
#include "toolkit/errors.h"

namespace pw::tables {
namespace {

constexpr std::size_t kKanjiCount = standin::kJisSide * standin::kJisSide;

struct InflaterDeleter {
  void operator()(libdeflate_decompressor* inflater) const { libdeflate_free_decompressor(inflater); }
};

// Adds every Word-sized element to the sum of those before it, undoing the build's differences.
template <class Word>
void UndoDelta(std::span<std::byte> bytes) {
  Assert(bytes.size() % sizeof(Word) == 0, msg::kTableDamaged);
  Word sum = 0;
  for (std::size_t at = 0; at < bytes.size(); at += sizeof(Word)) {
    Word difference;
    std::memcpy(&difference, bytes.data() + at, sizeof(Word));
    sum = static_cast<Word>(sum + difference);
    std::memcpy(bytes.data() + at, &sum, sizeof(Word));
  }
}

// The count elements of a deflated table.
template <class T>
std::vector<T> Inflate(const TDeflatedTable& table, std::size_t count) {
  static_assert(std::is_trivially_copyable_v<T>);
  std::vector<T> elements(count);
  InflateInto(table, std::as_writable_bytes(std::span(elements)));
  return elements;
}

class InflatedGlyphTable {
 public:
  InflatedGlyphTable(const TDeflatedGlyphTable& packed, int bytesPerGlyph)
      : codes_(Inflate<char32_t>(packed.codes, packed.count)),
        bits_(Inflate<std::uint8_t>(packed.bits, packed.count * bytesPerGlyph)),
        table_{codes_.data(), bits_.data(), packed.count} {}
  InflatedGlyphTable(const InflatedGlyphTable&) = delete;
  InflatedGlyphTable& operator=(const InflatedGlyphTable&) = delete;

  const world::GlyphTable& Table() const { return table_; }

 private:
  std::vector<char32_t> codes_;
  std::vector<std::uint8_t> bits_;
  world::GlyphTable table_;
};

class InflatedCodePages {
 public:
  InflatedCodePages() {
    const std::span<const TDeflatedCodePage> packedPages(packed::kCodePages, packed::kCodePageCount);
    for (const TDeflatedCodePage& page : packedPages) {
      singles_.push_back(Inflate<char16_t>(page.single, 256));
      pairs_.push_back(Inflate<char16_t>(page.pairs, page.pairs.size == 0 ? 0 : codepage::table::kLeads * 256));
    }
    for (std::size_t i = 0; i < packedPages.size(); ++i) {
      const char16_t* pairs = pairs_[i].empty() ? nullptr : pairs_[i].data();
      pages_.push_back({packedPages[i].name, packedPages[i].iconvName, singles_[i].data(), pairs});
    }
  }
  InflatedCodePages(const InflatedCodePages&) = delete;
  InflatedCodePages& operator=(const InflatedCodePages&) = delete;

  std::span<const codepage::table::CodePage> Pages() const { return pages_; }

 private:
  std::vector<std::vector<char16_t>> singles_;
  std::vector<std::vector<char16_t>> pairs_;
  std::vector<codepage::table::CodePage> pages_;
};

}  // namespace

// libdeflate, given no room for a longer result and no way to report a shorter one, fails unless
// the stream inflates to exactly out's size.
void InflateInto(const TDeflatedTable& table, std::span<std::byte> out) {
  Assert(table.size == out.size(), msg::kTableDamaged);
  if (out.empty()) return;
  const std::unique_ptr<libdeflate_decompressor, InflaterDeleter> inflater(libdeflate_alloc_decompressor());
  if (!inflater) throw EOutOfMemory();
  const libdeflate_result result =
      libdeflate_deflate_decompress(inflater.get(), table.deflated, table.deflatedSize, out.data(), out.size(), nullptr);
  Assert(result == LIBDEFLATE_SUCCESS, msg::kTableDamaged);
  switch (table.filter) {
    case TTableFilter::kNone: break;
    case TTableFilter::kDelta16: UndoDelta<std::uint16_t>(out); break;
    case TTableFilter::kDelta32: UndoDelta<std::uint32_t>(out); break;
  }
}

std::span<const char16_t, 256> SjisSingleByte() {
  static const std::vector<char16_t> table = Inflate<char16_t>(packed::kSjisSingleByte, 256);
  return std::span<const char16_t, 256>(table.data(), 256);
}

std::span<const char16_t, 256> SjisPairs(int leadSlot) {
  static const std::vector<char16_t> table = Inflate<char16_t>(packed::kSjisDoubleByte, sjis::table::kLeadSlots * 256);
  return std::span<const char16_t, 256>(table.data() + leadSlot * 256, 256);
}

std::span<const sjis::table::Encoding> SjisEncodings() {
  static const std::vector<sjis::table::Encoding> table = Inflate<sjis::table::Encoding>(
      packed::kSjisEncodings, packed::kSjisEncodings.size / sizeof(sjis::table::Encoding));
  return table;
}

std::span<const standin::GlyphRows, 256> StandInHalfWidth() {
  static const std::vector<standin::GlyphRows> table = Inflate<standin::GlyphRows>(packed::kStandInHalfWidth, 256);
  return std::span<const standin::GlyphRows, 256>(table.data(), 256);
}

std::span<const standin::GlyphRows, kKanjiCount> StandInGothic() {
  static const std::vector<standin::GlyphRows> table = Inflate<standin::GlyphRows>(packed::kStandInGothic, kKanjiCount);
  return std::span<const standin::GlyphRows, kKanjiCount>(table.data(), kKanjiCount);
}

std::span<const standin::GlyphRows, kKanjiCount> StandInMincho() {
  static const std::vector<standin::GlyphRows> table = [] {
    std::vector<standin::GlyphRows> rows = Inflate<standin::GlyphRows>(packed::kStandInMincho, kKanjiCount);
    const auto gothic = StandInGothic();
    for (std::size_t i = 0; i < kKanjiCount; ++i) {
      for (int y = 0; y < kGlyphCell; ++y) rows[i][y] ^= gothic[i][y];
    }
    return rows;
  }();
  return std::span<const standin::GlyphRows, kKanjiCount>(table.data(), kKanjiCount);
}

const world::GlyphTable& WorldNarrow() {
  static const InflatedGlyphTable table(packed::kWorldNarrow, world::kNarrowBytes);
  return table.Table();
}

const world::GlyphTable& WorldEfont() {
  static const InflatedGlyphTable table(packed::kWorldEfont, world::kWideBytes);
  return table.Table();
}

const world::GlyphTable& WorldWqy() {
  static const InflatedGlyphTable table(packed::kWorldWqy, world::kWideBytes);
  return table.Table();
}

std::span<const codepage::table::CodePage> CodePages() {
  static const InflatedCodePages pages;
  return pages.Pages();
}

}  // namespace pw::tables
