// PNG image reconstruction: pixel layout, inflating and unfiltering rows, Adam7 passes,
// and transparency.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <libdeflate.h>

#include "png/filters.h"
#include "png/inflater.h"
#include "png/messages.h"
#include "png/decoder.h"
#include "toolkit/packed_pixels.h"
#include "toolkit/large_buffer.h"
#include "toolkit/uninitialised.h"

namespace pw {

namespace {

constexpr std::uint32_t kIDAT = 0x49444154;  // "IDAT"
constexpr std::size_t kInputBufferSize = 24576;
// Deflate emits at most 258 bytes per 2 bits of input; a source shorter than the image data
// needs at this ratio cannot hold the image.
constexpr std::int64_t kMaxInflateRatio = 1032;

// How one PNG row becomes one bitmap row.
enum class TRowKind {
  Copy,         // same layout (grey or palette of 1, 4, 8 bits)
  Expand2To4,   // 2-bit samples become 4-bit indices of the same value
  Grey16,       // high byte of each sample
  GreyAlpha8,   // grey byte; 255 - alpha to the mask
  GreyAlpha16,  // high bytes
  Rgb8,         // red, green, blue become blue, green, red
  Rgb16,
  Rgba8,
  Rgba16,
};

struct TPixelLayout {
  TRowKind kind = TRowKind::Copy;
  int bitmapBits = 24;
  int sourceBits = 24;
};

// First column and row, column and row steps of a pass.
struct TPass {
  int x0, y0, dx, dy;
};
constexpr TPass kWholeImage = {0, 0, 1, 1};
constexpr std::array<TPass, 7> kAdam7 = {{
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2},
}};

int PassExtent(int size, int start, int step) { return size > start ? (size - start + step - 1) / step : 0; }

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

// Bytes of a PNG row of n pixels, filter-type byte included.
std::size_t SourceRowLength(int n, int sourceBits) {
  return (static_cast<std::size_t>(n) * static_cast<std::size_t>(sourceBits) + 7) / 8 + 1;
}

TPixelFormat FormatOfBits(int bits) {
  switch (bits) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    default: return TPixelFormat::pf24bit;
  }
}

// The layout of a colour type and bit depth; raises the bit-depth messages.
TPixelLayout ChooseLayout(int base, bool alpha, int depth) {
  switch (base) {
    case 0: {
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) throw EKroPNG(kropng_msg::kGreyBitDepth);
      if (alpha) {
        if (depth < 8) throw EKroPNG(kropng_msg::kGreyAlpha);
        return depth == 8 ? TPixelLayout{TRowKind::GreyAlpha8, 8, 16} : TPixelLayout{TRowKind::GreyAlpha16, 8, 32};
      }
      if (depth == 2) return {TRowKind::Expand2To4, 4, 2};
      if (depth == 16) return {TRowKind::Grey16, 8, 16};
      return {TRowKind::Copy, depth, depth};
    }
    case 2:
      if (depth != 8 && depth != 16) throw EKroPNG(kropng_msg::kBitDepth);
      if (alpha) return depth == 8 ? TPixelLayout{TRowKind::Rgba8, 24, 32} : TPixelLayout{TRowKind::Rgba16, 24, 64};
      return depth == 8 ? TPixelLayout{TRowKind::Rgb8, 24, 24} : TPixelLayout{TRowKind::Rgb16, 24, 48};
    default:  // palette
      if (depth != 1 && depth != 2 && depth != 4 && depth != 8) throw EKroPNG(kropng_msg::kBitDepth);
      if (depth == 2) return {TRowKind::Expand2To4, 4, 2};
      return {TRowKind::Copy, depth, depth};
  }
}

// Each byte of four 2-bit samples as two bytes of two 4-bit indices.
constexpr std::array<std::uint16_t, 256> kExpand2To4 = [] {
  std::array<std::uint16_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    const unsigned first = ((b >> 6) << 4) | ((b >> 4) & 3);
    const unsigned second = (((b >> 2) & 3) << 4) | (b & 3);
    table[b] = static_cast<std::uint16_t>(first | (second << 8));  // byte order of memory
  }
  return table;
}();

// Four bytes r, g, b, x of memory as b, g, r, 0 (little-endian hosts).
inline std::uint32_t SwapRedBlue(const std::uint8_t* rgbx) {
  std::uint32_t v;
  std::memcpy(&v, rgbx, 4);
  return __builtin_bswap32(v) >> 8;
}

// Reorders 8-bit RGB or RGBA pixels (step 3 or 4 bytes) to blue, green, red. Each pixel but
// the last is written as four bytes, the fourth overwritten by the next pixel, which is
// cheaper than three single bytes.
template <int Step>
void ReorderRgb8(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 1 < count; ++i) {
      const std::uint32_t bgr = SwapRedBlue(src + Step * i);
      std::memcpy(dst + 3 * i, &bgr, 4);
    }
  }
  for (; i < count; ++i) {
    dst[3 * i] = src[Step * i + 2];
    dst[3 * i + 1] = src[Step * i + 1];
    dst[3 * i + 2] = src[Step * i];
  }
}

// Reorders 16-bit RGB or RGBA pixels (step 6 or 8 bytes) to blue, green, red, keeping the
// high byte of each sample.
template <int Step>
void ReorderRgb16(const std::uint8_t* src, std::size_t count, std::uint8_t* dst) {
  for (std::size_t i = 0; i < count; ++i, src += Step, dst += 3) {
    dst[0] = src[4];
    dst[1] = src[2];
    dst[2] = src[0];
  }
}

// Converts n pixels of PNG row data into bitmap layout; alpha goes to mask as 255 - alpha.
void ConvertRow(TRowKind kind, const std::uint8_t* src, int n, int sourceBits, std::uint8_t* dst, std::uint8_t* mask) {
  const auto count = static_cast<std::size_t>(n);
  switch (kind) {
    case TRowKind::Copy:
      std::memcpy(dst, src, (count * static_cast<std::size_t>(sourceBits) + 7) / 8);
      break;
    case TRowKind::Expand2To4:
      for (std::size_t i = 0, bytes = (count + 3) / 4; i < bytes; ++i) {
        const std::uint16_t pair = kExpand2To4[src[i]];
        dst[2 * i] = static_cast<std::uint8_t>(pair);
        dst[2 * i + 1] = static_cast<std::uint8_t>(pair >> 8);
      }
      break;
    case TRowKind::Grey16:
      for (std::size_t i = 0; i < count; ++i) dst[i] = src[2 * i];
      break;
    case TRowKind::GreyAlpha8:
      for (std::size_t i = 0; i < count; ++i) {
        dst[i] = src[2 * i];
        mask[i] = static_cast<std::uint8_t>(255 - src[2 * i + 1]);
      }
      break;
    case TRowKind::GreyAlpha16:
      for (std::size_t i = 0; i < count; ++i) {
        dst[i] = src[4 * i];
        mask[i] = static_cast<std::uint8_t>(255 - src[4 * i + 2]);
      }
      break;
    case TRowKind::Rgb8:
      ReorderRgb8<3>(src, count, dst);
      break;
    case TRowKind::Rgb16:
      ReorderRgb16<6>(src, count, dst);
      break;
    case TRowKind::Rgba8:
      ReorderRgb8<4>(src, count, dst);
      for (std::size_t i = 0; i < count; ++i) mask[i] = static_cast<std::uint8_t>(255 - src[4 * i + 3]);
      break;
    case TRowKind::Rgba16:
      ReorderRgb16<8>(src, count, dst);
      for (std::size_t i = 0; i < count; ++i) mask[i] = static_cast<std::uint8_t>(255 - src[8 * i + 6]);
      break;
  }
}

// Indices beyond a short palette are written as its last entry.
void ClampIndices(std::uint8_t* row, int n, int bits, int paletteCount) {
  const auto last = static_cast<unsigned>(paletteCount - 1);
  for (std::size_t x = 0; x < static_cast<std::size_t>(n); ++x)
    if (ReadPackedIndex(row, static_cast<int>(x), bits) > last) WritePackedIndex(row, static_cast<int>(x), bits, last);
}

// Puts pixel i of a converted pass row at column x0 + i * dx of a bitmap row.
void ScatterRow(const std::uint8_t* src, int n, int bits, std::uint8_t* dst, int x0, int dx) {
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    const std::size_t x = static_cast<std::size_t>(x0) + i * static_cast<std::size_t>(dx);
    if (bits == 24)
      std::memcpy(dst + 3 * x, src + 3 * i, 3);
    else
      WritePackedIndex(dst, static_cast<int>(x), bits, ReadPackedIndex(src, static_cast<int>(i), bits));
  }
}

void ScatterMask(const std::uint8_t* src, int n, std::uint8_t* dst, int x0, int dx) {
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
    dst[static_cast<std::size_t>(x0) + i * static_cast<std::size_t>(dx)] = src[i];
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// The data of the run of IDAT chunks that starts with `first` bytes at the front of `rest`
// (the rest of the chunk the reader is in), their CRCs and headers passed over. Empty when a
// chunk is cut short or has an impossible length; the stream inflater then reads the run and
// reports what it finds.
std::vector<std::span<const std::uint8_t>> IdatPieces(std::span<const std::uint8_t> rest, std::uint64_t first) {
  std::vector<std::span<const std::uint8_t>> pieces;
  std::size_t at = 0;
  std::uint64_t length = first;
  for (;;) {
    if (length > rest.size() - at) return {};
    if (length > 0) pieces.push_back(rest.subspan(at, static_cast<std::size_t>(length)));
    at += static_cast<std::size_t>(length);
    // CRC, then the next chunk's length and type; a source that ends here ends the run.
    if (rest.size() - at < 12) break;
    if (BigEndian32(rest.data() + at + 8) != kIDAT) break;
    length = BigEndian32(rest.data() + at + 4);
    if (length > 0x7FFFFFFFu) return {};
    at += 12;
  }
  return pieces;
}

// The pieces of a disposable source moved together in place, each down over the CRC and
// headers in front of it, so that the data can be inflated in one call without a joined copy.
// The bytes between pieces are kept, and everything is put back as it was unless Keep is called.
class InPlaceJoin {
 public:
  InPlaceJoin(std::span<std::uint8_t> rest, const std::vector<std::span<const std::uint8_t>>& pieces)
      : rest_(rest) {
    for (std::size_t k = 0; k < pieces.size(); ++k) {
      const auto offset = static_cast<std::size_t>(pieces[k].data() - rest.data());
      if (k > 0) gaps_.insert(gaps_.end(), rest.begin() + static_cast<std::ptrdiff_t>(ends_.back()),
                              rest.begin() + static_cast<std::ptrdiff_t>(offset));
      starts_.push_back(offset);
      ends_.push_back(offset + pieces[k].size());
    }
    std::size_t to = starts_.front();
    for (std::size_t k = 0; k < starts_.size(); ++k) {
      std::memmove(rest.data() + to, rest.data() + starts_[k], ends_[k] - starts_[k]);
      to += ends_[k] - starts_[k];
    }
    joined_ = rest.subspan(starts_.front(), to - starts_.front());
  }
  InPlaceJoin(const InPlaceJoin&) = delete;
  InPlaceJoin& operator=(const InPlaceJoin&) = delete;
  ~InPlaceJoin() {
    if (!kept_) Undo();
  }
  std::span<const std::uint8_t> Joined() const { return joined_; }
  void Keep() { kept_ = true; }

 private:
  void Undo() {
    std::size_t to = starts_.front() + joined_.size();
    for (std::size_t k = starts_.size(); k-- > 1;) {
      to -= ends_[k] - starts_[k];
      std::memmove(rest_.data() + starts_[k], rest_.data() + to, ends_[k] - starts_[k]);
    }
    auto gap = gaps_.begin();
    for (std::size_t k = 1; k < starts_.size(); ++k) {
      const auto length = static_cast<std::ptrdiff_t>(starts_[k] - ends_[k - 1]);
      std::copy(gap, gap + length, rest_.begin() + static_cast<std::ptrdiff_t>(ends_[k - 1]));
      gap += length;
    }
  }

  std::span<std::uint8_t> rest_;
  std::vector<std::size_t> starts_, ends_;
  std::vector<std::uint8_t> gaps_;
  std::span<const std::uint8_t> joined_;
  bool kept_ = false;
};

// A zlib header that zlib's inflater (default window) accepts without a preset dictionary.
bool PlainZlibHeader(std::span<const std::uint8_t> data) {
  if (data.size() < 2) return false;
  const unsigned cmf = data[0], flg = data[1];
  return (cmf * 256 + flg) % 31 == 0 && (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0;
}

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Inflates the raw deflate data behind a zlib header into exactly out.size() bytes; false when
// the data is corrupt, ends early or holds more. The Adler-32 value behind it is not read.
bool InflateExactly(std::span<const std::uint8_t> zlib, std::span<std::uint8_t> out) {
  if (!PlainZlibHeader(zlib)) return false;
  const std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
  if (!d) return false;
  std::size_t written = 0;
  const auto result = libdeflate_deflate_decompress_ex(d.get(), zlib.data() + 2, zlib.size() - 2, out.data(),
                                                       out.size(), nullptr, &written);
  return result == LIBDEFLATE_SUCCESS && written == out.size();
}

TPaletteEntries GreyPalette256() {
  TPaletteEntries entries(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<std::uint8_t>(i);
    entries[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  return entries;
}

}  // namespace

// Everything one image needs while its rows are produced; released on every path.
struct TKroPNGReadStream::ImageData {
  TKroInflater inflater;
  // All filtered rows of all passes, when the image data was inflated in one call; the rows
  // are then unfiltered in place, each the prior of the next.
  UninitialisedBytes whole;
  std::uint8_t* wholeNext = nullptr;
  std::vector<std::uint8_t> input;
  TPixelLayout layout;
  int bytesPerPixel = 1;
  bool clampIndices = false;
  std::vector<TPass> passes;  // the passes that hold data
  std::int64_t rawBytes = 0;  // inflated size of all rows
  std::int64_t rowCount = 0;  // rows of all passes counted from the height, for progress
  std::int64_t row = 1;       // rows produced so far plus one
  std::vector<std::uint8_t> rowBlock;
  std::uint8_t* current = nullptr;
  std::uint8_t* previous = nullptr;
  std::uint8_t* converted = nullptr;
  std::uint8_t* mask = nullptr;
};

void TKroPNGReadStream::ReadImageData() {
  if (imageDone_) return;
  std::optional<ImageData> holder;
  try {
    holder.emplace();
    holder->input.resize(kInputBufferSize);
  } catch (const std::bad_alloc&) {
    throw EKroPNG(kropng_msg::kZlib);
  }
  ImageData& image = *holder;
  if (colorTypeBase_ < 0) {
    // Image data before any header: an empty image, no rows.
    CreateEmptyBitmap();
  } else {
    image.layout = ChooseLayout(colorTypeBase_, alphaChannel_, bitDepth_);
    image.bytesPerPixel = (image.layout.sourceBits + 7) / 8;
    PlanPasses(image);
    CheckImageSize(image);
    // The compressed data is inflated (and any joined copy of it dropped) before the bitmap is
    // made, so that the two never take memory at the same time.
    InflateWhole(image);
    CreateBitmap(image);
    AllocateRows(image);
    ProgressBeginStage(TProgressMode::Rows, image.rowCount, 98);
    RunPasses(image);
  }
  imageDone_ = true;
  ProgressBeginStage(TProgressMode::Bytes, 0, 0);
}

void TKroPNGReadStream::PlanPasses(ImageData& image) const {
  const std::vector<TPass> all = interlace_ == 1 ? std::vector<TPass>(kAdam7.begin(), kAdam7.end())
                                                 : std::vector<TPass>{kWholeImage};
  for (const TPass& pass : all) {
    const std::int64_t rows = PassExtent(height_, pass.y0, pass.dy);
    const int columns = PassExtent(width_, pass.x0, pass.dx);
    image.rowCount += rows;
    if (rows == 0 || columns == 0) continue;
    image.passes.push_back(pass);
    image.rawBytes += rows * static_cast<std::int64_t>(SourceRowLength(columns, image.layout.sourceBits));
  }
}

void TKroPNGReadStream::CheckImageSize(const ImageData& image) const {
  if (width_ <= 0 || height_ <= 0) throw EKroPNG(kropng_msg::kImageSize);
  if (static_cast<std::int64_t>(width_) * height_ > MaxPixels) throw EKroPNG(kropng_msg::kImageSize);
  // Refuse before allocating what the rest of the source could never fill.
  if (image.rawBytes / kMaxInflateRatio > Remaining() + 1024) throw EKroPNG(kropng_msg::kReadError);
}

void TKroPNGReadStream::AllocateRows(ImageData& image) {
  const std::size_t sourceRow = Align4(SourceRowLength(width_, image.layout.sourceBits)) + 4;
  const std::size_t bitmapRow = Align4(BytesPerRow(width_, image.layout.bitmapBits)) + 4;
  const std::size_t maskRow = Align4(static_cast<std::size_t>(width_));
  image.rowBlock.resize(2 * sourceRow + bitmapRow + maskRow);
  image.current = image.rowBlock.data();
  image.previous = image.current + sourceRow;
  image.converted = image.previous + sourceRow;
  image.mask = image.converted + bitmapRow;
}

void TKroPNGReadStream::CreateEmptyBitmap() {
  TBitmap& target = Target();
  target.ReleaseImage();
  target.SetTransparent(false);
  target.SetPixelFormat(TPixelFormat::pf24bit);
  target.SetSize(0, 0);
}

void TKroPNGReadStream::MakeGreyRamp(int depth) {
  const int count = depth >= 8 ? 256 : 1 << depth;
  TPaletteTable& table = PaletteTable();
  for (int i = 0; i < count; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / (count - 1));
    table[static_cast<std::size_t>(i)] = {v, v, v, 0};
  }
  paletteCount_ = count;
}

// One fully transparent entry among opaque ones is a transparent colour; any other set of
// alpha values is per-entry alpha.
void TKroPNGReadStream::ClassifyPaletteAlpha() {
  const auto begin = paletteAlpha_.begin(), end = begin + paletteCount_;
  if (std::count(begin, end, 0) == 1 && std::count(begin, end, 255) == paletteCount_ - 1) {
    transparentColor_ = kPaletteColor + static_cast<std::int32_t>(std::find(begin, end, 0) - begin);
  } else {
    transparentColor_ = -1;
    perEntryAlpha_ = true;
  }
}

void TKroPNGReadStream::CreateBitmap(ImageData& image) {
  // Grey images, and palette images without a palette, get the grey ramp of their depth.
  if (colorTypeBase_ == 0 || (colorTypeBase_ == 3 && paletteCount_ == 0)) MakeGreyRamp(bitDepth_);
  image.clampIndices = colorTypeBase_ == 3 && paletteCount_ < (1 << bitDepth_);
  if (transparentColor_ == kPerEntryAlpha) ClassifyPaletteAlpha();
  if (colorTypeBase_ == 2) bitDepth_ *= 3;  // reported per pixel for RGB

  TBitmap& target = Target();
  target.ReleaseImage();
  target.SetTransparent(false);
  target.SetPixelFormat(FormatOfBits(image.layout.bitmapBits));
  target.SetSize(width_, height_);
  if (HasPaletteTable() && paletteCount_ > 0) target.SetPalette(ToolkitPalette());
  backgroundColor_ = ResolveColor(backgroundColor_);

  maskInUse_ = nullptr;
  if ((alphaChannel_ || perEntryAlpha_) && MaskTarget != nullptr) {
    TBitmap& mask = *MaskTarget;
    mask.ReleaseImage();
    mask.SetTransparent(false);
    mask.SetPixelFormat(TPixelFormat::pf8bit);
    mask.SetSize(width_, height_);
    mask.SetPalette(GreyPalette256());
    maskInUse_ = &mask;
  }
  hasAlpha_ = alphaChannel_;
}

std::int32_t TKroPNGReadStream::ResolveColor(std::int32_t color) const {
  if (color < kPaletteColor) return color;
  const std::int32_t index = color - kPaletteColor;
  if (!HasPaletteTable() || index >= paletteCount_) return -1;
  const auto& e = PaletteTable()[static_cast<std::size_t>(index)];
  return e[2] | (e[1] << 8) | (e[0] << 16);
}

// A source held in memory whose IDAT chunks are all there is inflated in one call. Anything
// else (a buffered source, data cut short, corrupt or longer than the rows) is left to the
// row-by-row inflater, which reads the same chunks and raises the same errors as always.
// Inflated, the run of chunks is passed over whole; a disposable source is joined in place and
// gives its memory back, so that the file and the bitmap are never held at once.
void TKroPNGReadStream::InflateWhole(ImageData& image) {
  const std::span<const std::uint8_t> rest = InPlaceRest();
  const auto pieces = IdatPieces(rest, static_cast<std::uint64_t>(std::max<std::int64_t>(chunkRemaining_, 0)));
  if (pieces.empty() || image.rawBytes <= 0) return;
  const std::span<std::uint8_t> writable = DisposableRest();
  std::vector<std::uint8_t> joined;
  std::optional<InPlaceJoin> inPlace;
  std::span<const std::uint8_t> data = pieces.front();
  UninitialisedBytes rows;
  try {
    if (pieces.size() > 1 && !writable.empty()) {
      data = inPlace.emplace(writable, pieces).Joined();
    } else if (pieces.size() > 1) {
      std::size_t total = 0;
      for (const auto piece : pieces) total += piece.size();
      joined.reserve(total);
      for (const auto piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
      data = joined;
    }
    ReserveLarge(rows, static_cast<std::size_t>(image.rawBytes));
    rows.resize(static_cast<std::size_t>(image.rawBytes));
  } catch (const std::bad_alloc&) {
    return;
  }
  if (!InflateExactly(data, rows)) return;
  if (inPlace) inPlace->Keep();
  image.whole = std::move(rows);
  image.wholeNext = image.whole.data();
  const std::uint8_t* runEnd = pieces.back().data() + pieces.back().size();
  chunkRemaining_ = runEnd - rest.data();
  if (!writable.empty()) ReleasePages(writable.data(), static_cast<std::size_t>(chunkRemaining_));
}

void TKroPNGReadStream::RunPasses(ImageData& image) {
  for (const TPass& pass : image.passes) {
    const int columns = PassExtent(width_, pass.x0, pass.dx);
    const int rows = PassExtent(height_, pass.y0, pass.dy);
    const std::size_t length = SourceRowLength(columns, image.layout.sourceBits);
    // Inflated whole, the rows are their own priors: the first of a pass has a zero one.
    if (image.wholeNext != nullptr) image.previous = image.rowBlock.data();
    std::memset(image.previous, 0, length);
    for (int k = 0; k < rows; ++k) {
      if (image.wholeNext != nullptr) {
        image.current = image.wholeNext;
        image.wholeNext += length;
        UnfilterCurrent(image, length);
      } else {
        ReadRow(image, length);
      }
      StoreRow(image, image.current + 1, columns, pass.y0 + k * pass.dy, pass.x0, pass.dx);
      std::swap(image.current, image.previous);
      if (image.row % 4 == 2 || height_ < 4) ProgressStep(image.row);
      ++image.row;
      if (Stopped()) return;
    }
    if (EndOfData() || Stopped()) return;
  }
}

// Inflates one row into the current buffer and undoes its filter.
void TKroPNGReadStream::ReadRow(ImageData& image, std::size_t length) {
  TKroInflater& inflater = image.inflater;
  inflater.SetOutput(image.current, length);
  while (inflater.OutputLeft() > 0) {
    if (inflater.NeedsInput() && !FillInput(image)) throw EKroPNG(kropng_msg::kReadError);
    const int result = inflater.Inflate();
    // Z_NEED_DICT would never make progress; a stream that ends leaves the row short.
    if (result != Z_OK && !(result == Z_STREAM_END && inflater.OutputLeft() == 0))
      throw EKroPNG(kropng_msg::kReadError);
  }
  UnfilterCurrent(image, length);
}

void TKroPNGReadStream::UnfilterCurrent(ImageData& image, std::size_t length) {
  if (!UnfilterRow(image.current[0], image.current + 1, image.previous + 1, length - 1, image.bytesPerPixel))
    throw EKroPNG(kropng_msg::kReadError);
}

// Hands the inflater the next piece of IDAT data, passing over IDAT chunks of length 0.
bool TKroPNGReadStream::FillInput(ImageData& image) {
  while (chunkRemaining_ <= 0) {
    Skip(4);  // CRC of the chunk used up, not checked
    const auto length = static_cast<std::uint32_t>(ReadU32());
    chunkType_ = static_cast<std::uint32_t>(ReadU32());
    if (EndOfData() || Stopped()) return false;
    if (length > 0x7FFFFFFFu) throw EKroPNG(kropng_msg::kChunkLength);
    chunkRemaining_ = length;
    if (chunkType_ != kIDAT) return false;
  }
  const std::int64_t count = std::min<std::int64_t>(chunkRemaining_, kInputBufferSize);
  ReadBytes(image.input.data(), count);
  chunkRemaining_ -= count;
  image.inflater.SetInput(image.input.data(), static_cast<std::size_t>(count));
  return !EndOfData();
}

void TKroPNGReadStream::StoreRow(ImageData& image, const std::uint8_t* data, int columns, int y, int x0, int dx) {
  const TPixelLayout& layout = image.layout;
  const bool toMask = alphaChannel_ && maskInUse_ != nullptr;
  if (interlace_ == 0) {
    std::uint8_t* row = Target().ScanLine(y);
    ConvertRow(layout.kind, data, columns, layout.sourceBits, row, toMask ? maskInUse_->ScanLine(y) : image.mask);
    if (image.clampIndices) ClampIndices(row, columns, layout.bitmapBits, paletteCount_);
    return;
  }
  ConvertRow(layout.kind, data, columns, layout.sourceBits, image.converted, image.mask);
  if (image.clampIndices) ClampIndices(image.converted, columns, layout.bitmapBits, paletteCount_);
  ScatterRow(image.converted, columns, layout.bitmapBits, Target().ScanLine(y), x0, dx);
  if (toMask) ScatterMask(image.mask, columns, maskInUse_->ScanLine(y), x0, dx);
}

// After the chunk loop: the single transparent colour, or the mask of per-entry alpha.
void TKroPNGReadStream::ApplyTransparency() {
  transparentColor_ = transparentColor_ == kPerEntryAlpha ? -1 : ResolveColor(transparentColor_);
  backgroundColor_ = ResolveColor(backgroundColor_);
  if (!EndOfData() && !Stopped() && !alphaChannel_ && transparentColor_ != -1) {
    Target().SetTransparent(true);
    Target().SetTransparentColor(transparentColor_);
  }
  if (perEntryAlpha_ && maskInUse_ != nullptr) {
    BuildPaletteAlphaMask();
    hasAlpha_ = true;
  }
}

void TKroPNGReadStream::BuildPaletteAlphaMask() {
  const TBitmap& target = Target();
  const int bits = target.GetBitsPerPixel();
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* row = target.ScanLine(y);
    std::uint8_t* mask = maskInUse_->ScanLine(y);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width_); ++x)
      mask[x] = static_cast<std::uint8_t>(255 - paletteAlpha_[ReadPackedIndex(row, static_cast<int>(x), bits)]);
  }
}

}  // namespace pw
