// Colour reduction: the key-colour rule to 1 bit, and the colour division to 16 or 256 colours
// from 8 bits (the used palette entries) and from 24 bits (Low: over a 5-6-5 histogram; High:
// over every pixel, mapped back through the division's decision tree). No dithering anywhere.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dib/color_division.h"
#include "dib/colour_counts.h"
#include "dib/convert.h"
#include "dib/index_rows.h"
#include "dib/messages.h"

namespace pw {

namespace {

using division::TChannelSums;
using division::TDivider;
using division::TDivision;

// Fills the rows of out (depth 1, 4 or 8) from the rows of source in storage order:
// rowIndices(sourceRow, indices) gives one index per pixel, packed afterwards unless out has
// 8 bits, where the indices go straight into the row.
template <class RowIndices>
void WriteIndexRows(const TQvDIBInfos& source, TQvDIBInfos& out, RowIndices rowIndices) {
  const int width = source.Width();
  const int depth = out.header.biBitCount;
  const std::size_t srcStride = source.Stride(), dstStride = out.Stride();
  std::vector<std::uint8_t> line(depth == 8 ? 0 : static_cast<std::size_t>(width));
  for (int r = 0; r < source.Height(); ++r) {
    std::uint8_t* dst = rows::StorageRow(out, dstStride, r);
    std::uint8_t* indices = depth == 8 ? dst : line.data();
    rowIndices(rows::StorageRow(source, srcStride, r), indices);
    if (depth != 8) rows::PackIndices(indices, width, depth, dst);
  }
}

// ---------------------------------------------------------------------------------------------
// Key-colour rule: a pixel is white (1) when its colour equals the key colour exactly,
// otherwise black (0).

TQvDIBInfos NewMonochrome(const TQvDIBInfos& source, bool useFMO) {
  TQvDIBInfos out = rows::NewResult(source, 1, useFMO);
  rows::SetColorTable(out, BlackWhitePalette().entries);
  return out;
}

bool IsKey(const TRGBQuad& c, TColor key) {
  return c.rgbRed == GetRValue(key) && c.rgbGreen == GetGValue(key) && c.rgbBlue == GetBValue(key);
}

TQvDIBInfos IndexedToMonochrome(const TQvDIBInfos& source, int bitCount, bool useFMO, TColor key) {
  std::array<std::uint8_t, 256> bit{};
  for (std::size_t i = 0; i < bit.size(); ++i) bit[i] = IsKey(source.colorTable[i], key) ? 1 : 0;

  TQvDIBInfos out = NewMonochrome(source, useFMO);
  const int width = source.Width();
  WriteIndexRows(source, out, [width, bitCount, table = bit.data()](const std::uint8_t* p, std::uint8_t* indices) {
    rows::UnpackIndices(p, width, bitCount, indices);
    for (int x = 0; x < width; ++x) indices[x] = table[indices[x]];
  });
  return out;
}

// ---------------------------------------------------------------------------------------------
// Weighted colour items: one per 5-6-5 cell (Low) or per used palette entry (8 to 4 bits).

struct TColorItem {
  std::array<std::uint8_t, 3> value{};  // red, green, blue
  std::uint8_t index = 0;               // palette index after the division
  std::uint32_t key = 0;                // cell number or old palette index
  std::uint64_t weight = 0;             // pixel count
};

struct TColorItemTraits {
  using Item = TColorItem;
  static unsigned Value(const Item& item, int channel) { return item.value[static_cast<std::size_t>(channel)]; }
  static void AddTo(TChannelSums& s, const Item& item) { s.Add(item.weight, item.value[0], item.value[1], item.value[2]); }
  static void SetIndex(Item& item, std::uint8_t index) { item.index = index; }
};

// Divides the items and returns their palette, each item's index set.
TPaletteEntries DivideItems(std::vector<TColorItem>& items, int depth, const TQvConvertContext& context) {
  TDivider<TColorItemTraits> divider(depth, context);
  return divider.Run(std::span<TColorItem>(items)).palette;
}

// ---------------------------------------------------------------------------------------------
// Low reduction over the 5-6-5 histogram.

constexpr std::size_t kCells = 65536;

constexpr std::uint32_t CellOf(unsigned r, unsigned g, unsigned b) { return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3); }

// One histogram cell: the pixel count and the sums of the bits below the cell's resolution.
// Sum is 32-bit unless the image is so large that seven times its pixel count overflows that.
template <class Sum>
struct THistogramCell {
  std::uint32_t count = 0;
  Sum red = 0, green = 0, blue = 0;
};

template <class Sum>
std::vector<TColorItem> HistogramItems(const TQvDIBInfos& source) {
  std::vector<THistogramCell<Sum>> cells(kCells);
  const int width = source.Width();
  const std::size_t stride = source.Stride();
  for (int r = 0; r < source.Height(); ++r) {
    const std::uint8_t* p = rows::StorageRow(source, stride, r);
    for (int x = 0; x < width; ++x, p += 3) {
      THistogramCell<Sum>& cell = cells[CellOf(p[2], p[1], p[0])];
      ++cell.count;
      cell.red += p[2] & 7u;
      cell.green += p[1] & 3u;
      cell.blue += p[0] & 7u;
    }
  }
  // Each non-empty cell gives one item, its mean colour truncated, in increasing cell order.
  std::vector<TColorItem> items;
  for (std::uint32_t k = 0; k < kCells; ++k) {
    const THistogramCell<Sum>& c = cells[k];
    if (c.count == 0) continue;
    TColorItem item;
    item.value[0] = static_cast<std::uint8_t>((k >> 11) * 8 + c.red / c.count);
    item.value[1] = static_cast<std::uint8_t>(((k >> 5) & 63u) * 4 + c.green / c.count);
    item.value[2] = static_cast<std::uint8_t>((k & 31u) * 8 + c.blue / c.count);
    item.key = k;
    item.weight = c.count;
    items.push_back(item);
  }
  return items;
}

TQvDIBInfos TrueColorLow(const TQvDIBInfos& source, int depth, bool useFMO, const TQvConvertContext& context,
                         const char* message) {
  rows::RequirePlain(source, 24, message);
  const std::uint64_t pixels = static_cast<std::uint64_t>(source.Width()) * static_cast<std::uint64_t>(source.Height());
  std::vector<TColorItem> items =
      pixels <= UINT32_MAX / 7 ? HistogramItems<std::uint32_t>(source) : HistogramItems<std::uint64_t>(source);
  const TPaletteEntries palette = DivideItems(items, depth, context);

  std::vector<std::uint8_t> lookup(kCells, 0);
  for (const TColorItem& item : items) lookup[item.key] = item.index;

  TQvDIBInfos out = rows::NewResult(source, depth, useFMO);
  rows::SetColorTable(out, palette);
  const int width = source.Width();
  // Captures by value: the stores through indices could otherwise alias them.
  WriteIndexRows(source, out, [width, cell = lookup.data()](const std::uint8_t* p, std::uint8_t* indices) {
    for (int x = 0; x < width; ++x, p += 3) indices[x] = cell[CellOf(p[2], p[1], p[0])];
  });
  return out;
}

// ---------------------------------------------------------------------------------------------
// High reduction over a copy of every pixel.

// One pixel as stored: blue, green, red.
struct TPixelItem {
  std::array<std::uint8_t, 3> bgr;
};
static_assert(sizeof(TPixelItem) == 3);

struct TPixelItemTraits {
  using Item = TPixelItem;
  static unsigned Value(const Item& item, int channel) { return item.bgr[static_cast<std::size_t>(2 - channel)]; }
  static void AddTo(TChannelSums& s, const Item& item) { s.Add(1, item.bgr[2], item.bgr[1], item.bgr[0]); }
  static void SetIndex(Item&, std::uint8_t) {}
};

TQvDIBInfos TrueColorHigh(const TQvDIBInfos& source, int depth, bool useFMO, const TQvConvertContext& context,
                          const char* message) {
  rows::RequirePlain(source, 24, message);
  const int width = source.Width();
  const std::size_t srcStride = source.Stride();
  TDivision division;
  {
    // The copy lives only while the division partitions it.
    std::vector<TPixelItem> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(source.Height()));
    TPixelItem* q = pixels.data();
    for (int r = 0; r < source.Height(); ++r) {
      const std::uint8_t* p = rows::StorageRow(source, srcStride, r);
      for (int x = 0; x < width; ++x, p += 3) *q++ = TPixelItem{{p[0], p[1], p[2]}};
    }
    TDivider<TPixelItemTraits> divider(depth, context);
    division = divider.Run(std::span<TPixelItem>(pixels));
  }

  TQvDIBInfos out = rows::NewResult(source, depth, useFMO);
  rows::SetColorTable(out, division.palette);
  WriteIndexRows(source, out,
                 [&division, width](const std::uint8_t* p, std::uint8_t* indices) { division.LookupRow(p, width, indices); });
  return out;
}

TQvDIBInfos TrueColorToMonochrome(const TQvDIBInfos& source, bool useFMO, TColor key) {
  TQvDIBInfos out = NewMonochrome(source, useFMO);
  const int width = source.Width();
  WriteIndexRows(source, out, [width, key](const std::uint8_t* p, std::uint8_t* indices) {
    for (int x = 0; x < width; ++x, p += 3)
      indices[x] = p[2] == GetRValue(key) && p[1] == GetGValue(key) && p[0] == GetBValue(key);
  });
  return out;
}

// 8 to 4 bits: the used palette entries, weighted by their pixel counts, divided into 16.
TQvDIBInfos PaletteToSixteen(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  const int width = source.Width();
  const std::size_t srcStride = source.Stride();
  std::array<std::uint64_t, 256> uses{};
  for (int r = 0; r < source.Height(); ++r) {
    const std::uint8_t* p = rows::StorageRow(source, srcStride, r);
    for (int x = 0; x < width; ++x) ++uses[p[x]];
  }
  // One item per used palette entry, in index order.
  std::vector<TColorItem> items;
  for (std::uint32_t i = 0; i < uses.size(); ++i) {
    if (uses[i] == 0) continue;
    const TRGBQuad& c = source.colorTable[i];
    items.push_back(TColorItem{{c.rgbRed, c.rgbGreen, c.rgbBlue}, 0, i, uses[i]});
  }
  const TPaletteEntries palette = DivideItems(items, 4, context);
  std::array<std::uint8_t, 256> newIndex{};
  for (const TColorItem& item : items) newIndex[item.key] = item.index;

  TQvDIBInfos out = rows::NewResult(source, 4, useFMO);
  rows::SetColorTable(out, palette);
  WriteIndexRows(source, out, [width, table = newIndex.data()](const std::uint8_t* p, std::uint8_t* indices) {
    for (int x = 0; x < width; ++x) indices[x] = table[p[x]];
  });
  return out;
}

}  // namespace

TPaletteEntries HighReductionPalette(const std::vector<TColourCount>& colours, int depth) {
  // Each pixel adds to the division's sums alone, so a colour of n pixels is one item of weight n.
  std::vector<TColorItem> items;
  items.reserve(colours.size());
  for (const TColourCount& c : colours) {
    if (c.pixels == 0) continue;
    items.push_back(TColorItem{{GetRValue(c.colour), GetGValue(c.colour), GetBValue(c.colour)}, 0, 0, c.pixels});
  }
  return DivideItems(items, depth, TQvConvertContext{});
}

TQvDIBInfos Convert4BitRGBTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  rows::RequirePlain(source, 4, qvmsg::kConvert4To1Bad);
  return rows::ReportingOutOfMemory([&] { return IndexedToMonochrome(source, 4, useFMO, context.monoKeyColor); });
}

TQvDIBInfos Convert8BitTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  rows::RequirePlain(source, 8, qvmsg::kConvert8To1Bad);
  return rows::ReportingOutOfMemory([&] { return IndexedToMonochrome(source, 8, useFMO, context.monoKeyColor); });
}

TQvDIBInfos ConvertTrueColorTo1BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  rows::RequirePlain(source, 24, qvmsg::kConvert24To1Bad);
  return rows::ReportingOutOfMemory([&] { return TrueColorToMonochrome(source, useFMO, context.monoKeyColor); });
}

TQvDIBInfos Convert8BitRGBTo4BitRGB(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  rows::RequirePlain(source, 8, qvmsg::kConvert8To4Bad);
  return rows::ReportingOutOfMemory([&] { return PaletteToSixteen(source, useFMO, context); });
}

TQvDIBInfos ConvertTrueColorTo8BitRGBLow(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  return rows::ReportingOutOfMemory([&] { return TrueColorLow(source, 8, useFMO, context, qvmsg::kConvert24To8LowBad); });
}

TQvDIBInfos ConvertTrueColorTo4BitRGBLow(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  return rows::ReportingOutOfMemory([&] { return TrueColorLow(source, 4, useFMO, context, qvmsg::kConvert24To4LowBad); });
}

TQvDIBInfos ConvertTrueColorTo8BitRGBHigh(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  return rows::ReportingOutOfMemory([&] { return TrueColorHigh(source, 8, useFMO, context, qvmsg::kConvert24To8HighBad); });
}

TQvDIBInfos ConvertTrueColorTo4BitRGBHigh(const TQvDIBInfos& source, bool useFMO, const TQvConvertContext& context) {
  return rows::ReportingOutOfMemory([&] { return TrueColorHigh(source, 4, useFMO, context, qvmsg::kConvert24To4HighBad); });
}

}  // namespace pw
