// The PNG writer: rows taken from the toolkit bitmap, filtered per row, deflated through
// libdeflate (zlib computes the chunk CRCs) and framed as IHDR, PLTE, tRNS, IDAT and IEND chunks.
#include "png/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "png/filters.h"
#include "png/kropng.h"
#include "png/messages.h"
#include "toolkit/errors.h"
#include "toolkit/packed_pixels.h"
#include "toolkit/replace_file.h"
#include "toolkit/stream.h"
#include "toolkit/large_buffer.h"
#include "toolkit/uninitialised.h"

namespace pw {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kColourTypePalette = 3;
// libdeflate's level: on photographs and their 8-bit reductions the smallest files in less time
// than zlib's default level takes (higher levels cost far more time for little).
constexpr int kLevel = 7;
// Compressed data per IDAT chunk.
constexpr std::size_t kIdatSize = std::size_t{1} << 18;
// Palette pictures up to this many bytes of rows are compressed both unfiltered and filtered
// and the smaller result kept; larger ones decide on a sample of bands of rows.
constexpr std::size_t kFullTrialBytes = std::size_t{1} << 20;
constexpr int kSampleBands = 4;
constexpr int kSampleShare = 64;  // each band holds 1/kSampleShare of the rows
constexpr int kTrialLevel = 5;
// Filtered rows deflated in one call at most; bigger pictures are deflated in bands. Bands of
// 1 MiB cost a 2048x2048 photo no size against whole 4 MiB ones (libdeflate's blocks are chosen
// within a call anyway), and hold 3 MiB less.
constexpr std::size_t kBandBytes = std::size_t{1} << 20;
// Palette pictures: near-optimal parsing makes their rows (indices, often dithered) several per
// cent smaller than the lazy parsing of kLevel, at four times its time and with a compressor
// whose memory grows with the data of one call. So it takes the first kOptimalBytes of rows, the
// whole of any picture of the game's size, in bands of kOptimalBandBytes.
constexpr int kOptimalLevel = 10;
constexpr std::size_t kOptimalBytes = std::size_t{512} << 10;
constexpr std::size_t kOptimalBandBytes = std::size_t{64} << 10;
// Colour pictures of more than one band, photographs mostly, get near-optimal parsing for their
// first kColourOptimalBytes of rows: a 2048x2048 photo comes out 1.6 % smaller than with kLevel
// alone (0.958 of libpng's default size) at a tenth more time, still well within libpng's.
// Smaller ones, composed windows among them, keep kLevel and its speed.
constexpr std::size_t kColourOptimalBytes = std::size_t{4} << 20;

enum class RowFilters { kNone, kAdaptive };

void PutU32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

// What a chunk holds besides its data: its length and type, then its CRC.
using ChunkFrame = std::array<std::uint8_t, 12>;
constexpr std::size_t kFrameHead = 8;

ChunkFrame FrameOf(const char (&type)[5], const std::uint8_t* data, std::size_t size) {
  ChunkFrame frame{};
  PutU32(frame.data(), static_cast<std::uint32_t>(size));
  std::memcpy(frame.data() + 4, type, 4);
  uLong crc = crc32(0L, frame.data() + 4, 4);
  if (size > 0) crc = crc32_z(crc, data, size);
  PutU32(frame.data() + kFrameHead, static_cast<std::uint32_t>(crc));
  return frame;
}

void WriteChunk(TStream& stream, const char (&type)[5], const std::uint8_t* data, std::size_t size) {
  const ChunkFrame frame = FrameOf(type, data, size);
  stream.WriteBuffer(frame.data(), kFrameHead);
  if (size > 0) stream.WriteBuffer(data, size);
  stream.WriteBuffer(frame.data() + kFrameHead, frame.size() - kFrameHead);
}

void WriteChunk(TStream& stream, const char (&type)[5], const Bytes& data) {
  WriteChunk(stream, type, data.data(), data.size());
}

bool IsIndexed(TPixelFormat format) {
  return format == TPixelFormat::pf1bit || format == TPixelFormat::pf4bit || format == TPixelFormat::pf8bit;
}

// The rows of the bitmap as PNG samples: indices packed as the bitmap packs them (the bits
// after the last pixel cleared), or red, green, blue bytes.
class RowSource {
 public:
  explicit RowSource(const TBitmap& bitmap)
      : bitmap_(bitmap),
        format_(bitmap.GetPixelFormat()),
        indexed_(IsIndexed(format_)),
        bits_(indexed_ ? bitmap.GetBitsPerPixel() : 24),
        rowBytes_((static_cast<std::size_t>(bitmap.GetWidth()) * static_cast<std::size_t>(bits_) + 7) / 8) {}

  bool Indexed() const { return indexed_; }
  int BitDepth() const { return indexed_ ? bits_ : 8; }
  int FilterBytesPerPixel() const { return indexed_ ? 1 : 3; }
  std::size_t RowBytes() const { return rowBytes_; }
  int Height() const { return bitmap_.GetHeight(); }

  void Read(int y, std::uint8_t* out) const {
    const std::uint8_t* row = bitmap_.ScanLine(y);
    const int width = bitmap_.GetWidth();
    switch (format_) {
      case TPixelFormat::pf1bit:
      case TPixelFormat::pf4bit:
      case TPixelFormat::pf8bit: {
        std::memcpy(out, row, rowBytes_);
        const int spare = static_cast<int>(rowBytes_ * 8 - static_cast<std::size_t>(width) * bits_);
        out[rowBytes_ - 1] = static_cast<std::uint8_t>(out[rowBytes_ - 1] & (0xFF << spare));
        break;
      }
      case TPixelFormat::pf24bit:
        for (int x = 0; x < width; ++x, row += 3, out += 3) {
          out[0] = row[2], out[1] = row[1], out[2] = row[0];
        }
        break;
      case TPixelFormat::pf15bit:
      case TPixelFormat::pf16bit:
        for (int x = 0; x < width; ++x, out += 3) {
          const TColor c = bitmap_.GetPixelColor(x, y);
          out[0] = GetRValue(c), out[1] = GetGValue(c), out[2] = GetBValue(c);
        }
        break;
      default:  // 32-bit rows: blue, green, red, unused
        for (int x = 0; x < width; ++x, row += 4, out += 3) {
          out[0] = row[2], out[1] = row[1], out[2] = row[0];
        }
    }
  }

  // The highest colour-table index any pixel uses.
  unsigned HighestIndex() const {
    unsigned highest = 0;
    const int width = bitmap_.GetWidth();
    for (int y = 0; y < Height(); ++y) {
      const std::uint8_t* row = bitmap_.ScanLine(y);
      if (bits_ == 8) {
        highest = std::max<unsigned>(highest, *std::max_element(row, row + width));
      } else {
        for (int x = 0; x < width; ++x) highest = std::max(highest, ReadPackedIndex(row, x, bits_));
      }
    }
    return highest;
  }

 private:
  const TBitmap& bitmap_;
  TPixelFormat format_;
  bool indexed_;
  int bits_;
  std::size_t rowBytes_;
};

struct CompressorFree {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Makes the raw deflate streams of a file with one libdeflate compressor: making a compressor
// costs more than deflating a small animation frame.
class TDeflater {
 public:
  explicit TDeflater(int level = kLevel) : compressor_(libdeflate_alloc_compressor(level)) {
    if (!compressor_) throw EOutOfMemory();
  }

  std::size_t Bound(std::size_t size) const { return libdeflate_deflate_compress_bound(compressor_.get(), size); }
  // Deflates data to the end of out in one call. The room for the worst case is not zeroed:
  // only the pages the stream fills are ever touched.
  void Deflate(std::span<const std::uint8_t> data, UninitialisedBytes& out) {
    const std::size_t start = out.size();
    out.resize(start + Bound(data.size()));
    const std::size_t size =
        libdeflate_deflate_compress(compressor_.get(), data.data(), data.size(), out.data() + start, out.size() - start);
    if (size == 0) throw EOutOfMemory();
    out.resize(start + size);
  }

 private:
  std::unique_ptr<libdeflate_compressor, CompressorFree> compressor_;
};

// Lets another raw deflate stream follow the complete one in out[start, end): the final mark of
// its last block is cleared and an empty stored block closes it on a byte boundary. The block
// boundaries are found by inflating the stream.
void OpenEnd(UninitialisedBytes& out, std::size_t start) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw EOutOfMemory();
  const std::unique_ptr<z_stream, decltype(&inflateEnd)> end(&z, &inflateEnd);
  z.next_in = out.data() + start;
  z.avail_in = static_cast<uInt>(out.size() - start);
  std::vector<std::uint8_t> scratch(std::size_t{1} << 16);
  std::size_t header = start;  // the byte and bit where the last block starts
  unsigned headerBit = 0;
  // At a block boundary data_type holds 128, plus 64 after the final block, plus the unused bits
  // of the last byte read, which start the next block.
  for (;;) {
    z.next_out = scratch.data();
    z.avail_out = static_cast<uInt>(scratch.size());
    if (inflate(&z, Z_BLOCK) != Z_OK) throw EKroPNG(kropng_msg::kDeflateJoin);
    if ((z.data_type & 128) == 0) continue;
    if ((z.data_type & 64) != 0) break;
    const auto unused = static_cast<unsigned>(z.data_type & 7);
    header = static_cast<std::size_t>(z.next_in - out.data()) - (unused != 0 ? 1 : 0);
    headerBit = (8 - unused) % 8;
  }
  const auto unused = static_cast<unsigned>(z.data_type & 7);
  if (z.avail_in != 0) throw EKroPNG(kropng_msg::kDeflateJoin);
  out[header] = static_cast<std::uint8_t>(out[header] & ~(1u << headerBit));
  // Three zero bits (not final, stored), zeros up to the byte boundary, LEN 0 and NLEN 0xFFFF.
  out.back() = static_cast<std::uint8_t>(out.back() & ((1u << (8 - unused)) - 1));
  if (unused < 3) out.push_back(0);
  for (const std::uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) out.push_back(b);
}

// Rows filtered one after another, each seeing the one before it through prior.
class TRowFilter {
 public:
  TRowFilter(std::size_t length, RowFilters filters)
      : length_(length), filters_(filters), prior_(length, 0), current_(length), scratch_(length + 1) {}

  template <class Source>
  void SeePrior(const Source& source, int y) { source.Read(y, prior_.data()); }
  // Rows [first, last) into rows, each behind its filter-type byte.
  template <class Source>
  void Filter(const Source& source, int first, int last, UninitialisedBytes& rows) {
    ReserveLarge(rows, (length_ + 1) * static_cast<std::size_t>(last - first));
    rows.resize((length_ + 1) * static_cast<std::size_t>(last - first));
    std::uint8_t* filtered = rows.data();
    for (int y = first; y < last; ++y, filtered += length_ + 1) {
      source.Read(y, current_.data());
      if (filters_ == RowFilters::kAdaptive) {
        FilterRowAdaptive(current_.data(), prior_.data(), length_, source.FilterBytesPerPixel(), filtered, scratch_.data());
      } else {
        filtered[0] = 0;
        std::memcpy(filtered + 1, current_.data(), length_);
      }
      std::swap(prior_, current_);
    }
  }

 private:
  std::size_t length_;
  RowFilters filters_;
  Bytes prior_, current_, scratch_;
};

// A zlib stream made of raw deflate streams deflated apart, one per band of rows.
class TBandedStream {
 public:
  explicit TBandedStream(std::size_t room) {
    out_.reserve(room + 6);  // no huge pages: the stream fills an unknown part of this room
    out_.push_back(0x78);    // zlib header: deflate, 32 KiB window, the default level
    out_.push_back(0x9C);
  }
  void Add(TDeflater& deflater, std::span<const std::uint8_t> rows) {
    if (bands_++ > 0) OpenEnd(out_, last_);
    last_ = out_.size();
    deflater.Deflate(rows, out_);
    adler_ = libdeflate_adler32(adler_, rows.data(), rows.size());
  }
  UninitialisedBytes Finish() {
    for (int shift = 24; shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(adler_ >> shift));
    return std::move(out_);
  }

 private:
  UninitialisedBytes out_;
  std::size_t last_ = 2;  // where the last band's stream starts
  int bands_ = 0;
  std::uint32_t adler_ = 1;
};

// Filters and deflates rows [begin, end) into one zlib stream. The filters of the first row
// see the row above it, as they do in the whole picture. The rows go in bands, deflated apart
// and joined, so that only one band of filtered rows is held at a time: the first optimalBytes
// of rows in small bands with near-optimal parsing, the rest in even bands of up to kBandBytes
// with the deflater's own level.
template <class Source>
UninitialisedBytes DeflateRows(TDeflater& deflater, const Source& source, int begin, int end, RowFilters filters,
                               std::size_t optimalBytes = 0) {
  const std::size_t rowBytes = source.RowBytes() + 1;
  TRowFilter filter(source.RowBytes(), filters);
  if (begin > 0) filter.SeePrior(source, begin - 1);
  const std::size_t total = rowBytes * static_cast<std::size_t>(end - begin);
  TBandedStream stream(deflater.Bound(total) + 16 * (total / kOptimalBandBytes + 2));
  std::optional<TDeflater> optimal;
  if (optimalBytes > 0) optimal.emplace(kOptimalLevel);
  UninitialisedBytes rows;
  int bandRows = 0;
  for (int first = begin; first < end; first += bandRows) {
    const bool near = optimal && rowBytes * static_cast<std::size_t>(first - begin) < optimalBytes;
    if (near) {
      bandRows = static_cast<int>(std::max<std::size_t>(1, kOptimalBandBytes / rowBytes));
    } else {
      optimal.reset();  // its memory is given back before the big bands
      const auto left = static_cast<std::size_t>(end - first);
      const std::size_t bands = std::max<std::size_t>(1, (rowBytes * left + kBandBytes - 1) / kBandBytes);
      bandRows = static_cast<int>((left + bands - 1) / bands);
    }
    filter.Filter(source, first, std::min(end, first + bandRows), rows);
    stream.Add(near ? *optimal : deflater, rows);
  }
  return stream.Finish();
}

// Palette pictures are stored unfiltered unless filtering makes them smaller: small ones are
// tried whole, bigger ones on a sample of bands of rows, with a faster level of the same lazy
// parser, which ranks the two alike.
RowFilters PaletteFilters(const RowSource& source) {
  TDeflater deflater(kTrialLevel);
  const int height = source.Height();
  const bool whole = (source.RowBytes() + 1) * static_cast<std::size_t>(height) <= kFullTrialBytes;
  const int bands = whole ? 1 : kSampleBands;
  const int bandRows = whole ? height : (height + kSampleShare - 1) / kSampleShare;
  std::size_t none = 0, adaptive = 0;
  for (int band = 0; band < bands; ++band) {
    const int begin = static_cast<int>(static_cast<long long>(height) * band / bands);
    const int end = std::min(height, begin + bandRows);
    none += DeflateRows(deflater, source, begin, end, RowFilters::kNone).size();
    adaptive += DeflateRows(deflater, source, begin, end, RowFilters::kAdaptive).size();
  }
  return adaptive < none ? RowFilters::kAdaptive : RowFilters::kNone;
}

// Colour pictures are filtered row by row, and the large ones get near-optimal parsing for their
// first rows; so do palette pictures, often the game's own small ones, whatever their size.
UninitialisedBytes CompressImage(const RowSource& source) {
  const int height = source.Height();
  TDeflater deflater;
  if (!source.Indexed()) {
    const bool large = (source.RowBytes() + 1) * static_cast<std::size_t>(height) > kBandBytes;
    return DeflateRows(deflater, source, 0, height, RowFilters::kAdaptive, large ? kColourOptimalBytes : 0);
  }
  return DeflateRows(deflater, source, 0, height, PaletteFilters(source), kOptimalBytes);
}

Bytes HeaderChunk(const TBitmap& bitmap, const RowSource& source) {
  Bytes ihdr(13, 0);
  PutU32(ihdr.data(), static_cast<std::uint32_t>(bitmap.GetWidth()));
  PutU32(ihdr.data() + 4, static_cast<std::uint32_t>(bitmap.GetHeight()));
  ihdr[8] = static_cast<std::uint8_t>(source.BitDepth());
  ihdr[9] = source.Indexed() ? kColourTypePalette : kColourTypeRgb;
  // Compression 0 (deflate), filter method 0 (adaptive), interlace 0 (none).
  return ihdr;
}

// The colour table up to the highest index used; indices past the bitmap's palette are
// black, as the bitmap shows them.
TPaletteEntries PngPalette(const TBitmap& bitmap, const RowSource& source) {
  TPaletteEntries entries(source.HighestIndex() + 1);
  const TPaletteEntries& palette = bitmap.GetPalette();
  std::copy_n(palette.begin(), std::min(palette.size(), entries.size()), entries.begin());
  return entries;
}

Bytes PaletteChunk(const TPaletteEntries& entries) {
  Bytes plte;
  plte.reserve(entries.size() * 3);
  for (const TPaletteEntry& e : entries) plte.insert(plte.end(), {e.peRed, e.peGreen, e.peBlue});
  return plte;
}

// The fixed transparent colour of a bitmap that is marked transparent.
std::optional<TColor> TransparentColour(const TBitmap& bitmap) {
  if (!bitmap.GetTransparent() || bitmap.GetTransparentMode() != TTransparentMode::tmFixed) return std::nullopt;
  return ColorToRGB(bitmap.GetTransparentColor());
}

// Palette pictures: alpha 0 for every entry of the transparent colour, the table cut after the
// last such entry; empty when no entry has the colour.
Bytes PaletteTransparency(const TPaletteEntries& entries, TColor transparent) {
  Bytes alpha(entries.size(), 255);
  std::size_t count = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue) == transparent) {
      alpha[i] = 0;
      count = i + 1;
    }
  }
  alpha.resize(count);
  return alpha;
}

// Colour pictures: the colour as three 16-bit samples.
Bytes ColourTransparency(TColor transparent) {
  return {0, GetRValue(transparent), 0, GetGValue(transparent), 0, GetBValue(transparent)};
}

// Rows of an RGBA image as 8-bit RGBA samples.
class RgbaRows {
 public:
  explicit RgbaRows(const TRgbaImage& image) : image_(image) {}
  int FilterBytesPerPixel() const { return 4; }
  std::size_t RowBytes() const { return 4 * static_cast<std::size_t>(image_.width); }
  int Height() const { return image_.height; }
  void Read(int y, std::uint8_t* out) const { std::memcpy(out, image_.Pixel(0, y), RowBytes()); }

 private:
  const TRgbaImage& image_;
};

UninitialisedBytes DeflateRgba(TDeflater& deflater, const TRgbaImage& image) {
  return DeflateRows(deflater, RgbaRows(image), 0, image.height, RowFilters::kAdaptive);
}

constexpr std::uint8_t kColourTypeRgba = 6;
constexpr std::uint8_t kDisposeNone = 0;
constexpr std::uint8_t kBlendSource = 0;
constexpr int kMaxDelayTicks = 0xFFFF;

// fcTL: where the frame lies and how long it shows; the picture replaces what lay there.
Bytes FrameControl(std::uint32_t sequence, TFrameRect rect, int ticks) {
  Bytes fctl(26, 0);
  PutU32(fctl.data(), sequence);
  PutU32(fctl.data() + 4, static_cast<std::uint32_t>(rect.width));
  PutU32(fctl.data() + 8, static_cast<std::uint32_t>(rect.height));
  PutU32(fctl.data() + 12, static_cast<std::uint32_t>(rect.x));
  PutU32(fctl.data() + 16, static_cast<std::uint32_t>(rect.y));
  fctl[20] = static_cast<std::uint8_t>(ticks >> 8);
  fctl[21] = static_cast<std::uint8_t>(ticks);
  fctl[22] = 0;
  fctl[23] = kTicksPerSecond;
  fctl[24] = kDisposeNone;
  fctl[25] = kBlendSource;
  return fctl;
}

// The number of fcTL chunks: a frame longer than the delay's 16 bits allow is split in several.
std::uint32_t ApngFrameCount(const TAnimation& animation) {
  std::uint64_t count = 0;
  for (const TTimedFrame& frame : animation.frames) count += (static_cast<std::uint64_t>(frame.ticks) + kMaxDelayTicks - 1) / kMaxDelayTicks;
  return static_cast<std::uint32_t>(count);
}

// One frame: fcTL, then its data as fdAT chunks, each led by the sequence number.
void WriteApngFrame(TStream& stream, std::uint32_t& sequence, TFrameRect rect, int ticks, const UninitialisedBytes& data) {
  WriteChunk(stream, "fcTL", FrameControl(sequence++, rect, ticks));
  for (std::size_t at = 0; at < data.size(); at += kIdatSize) {
    const std::size_t size = std::min(kIdatSize, data.size() - at);
    Bytes fdat(4 + size);
    PutU32(fdat.data(), sequence++);
    std::memcpy(fdat.data() + 4, data.data() + at, size);
    WriteChunk(stream, "fdAT", fdat);
  }
}

// A PNG file held as the pieces it is written from, so that the deflated image data is never
// copied: the signature and the chunks ahead of the image data, then every IDAT chunk's frame
// around its share of the data, then IEND.
class TPngFile {
 public:
  explicit TPngFile(const TBitmap& bitmap) {
    if (bitmap.GetEmpty()) throw EKroPNG(kropng_msg::kEmptyImage);
    const RowSource source(bitmap);
    const std::optional<TColor> transparent = TransparentColour(bitmap);
    Bytes trns;
    Bytes plte;
    if (source.Indexed()) {
      const TPaletteEntries entries = PngPalette(bitmap, source);
      plte = PaletteChunk(entries);
      if (transparent) trns = PaletteTransparency(entries, *transparent);
    } else if (transparent) {
      trns = ColourTransparency(*transparent);
    }
    TMemoryStream head;
    head.WriteBuffer(kSignature.data(), kSignature.size());
    WriteChunk(head, "IHDR", HeaderChunk(bitmap, source));
    if (!plte.empty()) WriteChunk(head, "PLTE", plte);
    if (!trns.empty()) WriteChunk(head, "tRNS", trns);
    head_ = head.TakeBytes();
    data_ = CompressImage(source);
    for (std::size_t at = 0; at < data_.size(); at += kIdatSize) {
      idat_.push_back(FrameOf("IDAT", data_.data() + at, std::min(kIdatSize, data_.size() - at)));
    }
    iend_ = FrameOf("IEND", nullptr, 0);
  }

  TFilePieces Pieces() const {
    TFilePieces pieces{head_};
    for (std::size_t k = 0; k < idat_.size(); ++k) {
      const std::size_t at = k * kIdatSize;
      pieces.push_back({idat_[k].data(), kFrameHead});
      pieces.push_back({data_.data() + at, std::min(kIdatSize, data_.size() - at)});
      pieces.push_back({idat_[k].data() + kFrameHead, idat_[k].size() - kFrameHead});
    }
    pieces.push_back(iend_);
    return pieces;
  }

 private:
  Bytes head_;
  UninitialisedBytes data_;
  std::vector<ChunkFrame> idat_;
  ChunkFrame iend_{};
};

}  // namespace

void WriteApng(const TAnimation& animation, TStream& stream) {
  if (animation.frames.empty() || animation.still.width != animation.width ||
      animation.still.height != animation.height || animation.width <= 0 || animation.height <= 0) {
    throw EKroPNG(kropng_msg::kEmptyImage);
  }
  TDeflater deflater;
  const UninitialisedBytes still = DeflateRgba(deflater, animation.still);

  Bytes ihdr(13, 0);
  PutU32(ihdr.data(), static_cast<std::uint32_t>(animation.width));
  PutU32(ihdr.data() + 4, static_cast<std::uint32_t>(animation.height));
  ihdr[8] = 8;
  ihdr[9] = kColourTypeRgba;
  Bytes actl(8, 0);
  PutU32(actl.data(), ApngFrameCount(animation));
  PutU32(actl.data() + 4, static_cast<std::uint32_t>(animation.plays));

  stream.WriteBuffer(kSignature.data(), kSignature.size());
  WriteChunk(stream, "IHDR", ihdr);
  WriteChunk(stream, "acTL", actl);
  for (std::size_t at = 0; at < still.size(); at += kIdatSize) {
    WriteChunk(stream, "IDAT", still.data() + at, std::min(kIdatSize, still.size() - at));
  }
  // Each frame is the rectangle that changed (the first the whole picture), one pixel as it is
  // where nothing changed, and also where a long frame goes on after the first of its parts.
  TFrameReplay replay(animation);
  std::uint32_t sequence = 0;
  for (std::size_t i = 0; i < animation.frames.size(); ++i) {
    const TTimedFrame& frame = animation.frames[i];
    const TRgbaImage& picture = replay.At(i);
    TFrameRect rect = i == 0 ? TFrameRect{0, 0, animation.width, animation.height} : frame.rect;
    const bool whole = i == 0 || rect.Empty();
    if (rect.Empty()) rect = {0, 0, 1, 1};
    UninitialisedBytes data = DeflateRgba(deflater, whole ? Crop(picture, rect) : frame.image);
    for (int ticks = frame.ticks, part = 0; ticks > 0; ticks -= kMaxDelayTicks, ++part) {
      if (part == 1) {
        rect = {0, 0, 1, 1};
        data = DeflateRgba(deflater, Crop(picture, rect));
      }
      WriteApngFrame(stream, sequence, rect, std::min(ticks, kMaxDelayTicks), data);
    }
  }
  WriteChunk(stream, "IEND", nullptr, 0);
}

void WritePng(const TBitmap& bitmap, TStream& stream) {
  const TPngFile file(bitmap);
  for (const std::span<const std::uint8_t> piece : file.Pieces()) stream.WriteBuffer(piece.data(), piece.size());
}

void SavePngFile(const TBitmap& bitmap, const std::string& fileName) {
  const TPngFile file(bitmap);
  ReplaceFile(fileName, file.Pieces());
}

bool IsPngFileName(const std::string& fileName) { return FileExtension(fileName) == "png"; }

void SavePictureFile(TBitmap& picture, const std::string& fileName) {
  if (IsPngFileName(fileName)) {
    SavePngFile(picture, fileName);
  } else {
    picture.SaveToFile(fileName);
  }
}

}  // namespace pw
