// BMP file reading and writing of the toolkit bitmap.
//
// Reading accepts "BM" files with a 12-byte core header or an info header of 40 bytes or more
// (the first 40 bytes taken as the info header), 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed, with bit fields or RLE8/RLE4 compressed, rows bottom-up or top-down. Pixel
// data that ends early leaves the rest of the picture 0; a picture of more than
// kMaxBitmapPixels pixels is refused before anything is allocated. RLE codes that leave the
// picture are refused.
//
// Writing produces a 40-byte info header with a positive height, full colour tables for 1, 4
// and 8 bits, and rows bottom-up padded with zeros. RLE pictures are written back with the
// bytes they were read with.

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "toolkit/bitmap.h"
#include "toolkit/bmp_format.h"
#include "toolkit/byte_reader.h"
#include "toolkit/errors.h"
#include "toolkit/large_buffer.h"
#include "toolkit/replace_file.h"
#include "toolkit/rle.h"
#include "toolkit/stream.h"

namespace pw {
namespace {

// Header sizes from which the bit masks are part of the header (bytes 40 to 51).
constexpr std::uint32_t kHeaderWithMasks = 52;

[[noreturn]] void Illegal() { throw EInvalidGraphic(msg::kBitmapIllegal); }

// a * b, or an error when the product does not fit into 64 bits.
std::uint64_t CheckedProduct(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) Illegal();
  return product;
}

// The part of a stream that one picture is read from; knows how many bytes are left, so that
// no header value can make the reader allocate or wait for more than the stream holds.
class Source {
 public:
  explicit Source(TStream& stream)
      : stream_(stream), start_(stream.GetPosition()), end_(std::max(start_, stream.GetSize())) {}

  std::uint64_t Offset() const { return offset_; }
  std::int64_t StreamPosition() const { return start_ + static_cast<std::int64_t>(offset_); }
  std::uint64_t Size() const { return static_cast<std::uint64_t>(end_ - start_); }
  std::uint64_t Remaining() const { return Size() - offset_; }

  std::vector<std::uint8_t> Read(std::uint64_t count) {
    Require(count);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
    ReadInto(bytes.data(), bytes.size());
    return bytes;
  }
  void ReadInto(std::uint8_t* destination, std::size_t count) {
    Require(count);
    stream_.ReadBuffer(destination, count);
    offset_ += count;
  }
  void Skip(std::uint64_t count) {
    Require(count);
    SeekTo(offset_ + count);
  }
  void SeekTo(std::uint64_t offset) {
    if (offset > Size()) throw EReadError();
    stream_.SetPosition(start_ + static_cast<std::int64_t>(offset));
    offset_ = offset;
  }

 private:
  void Require(std::uint64_t count) const {
    if (count > Remaining()) throw EReadError();
  }

  TStream& stream_;
  std::int64_t start_;
  std::int64_t end_;
  std::uint64_t offset_ = 0;
};

// What the headers say, checked: a picture this reader can decode.
struct Layout {
  int width = 0;
  int height = 0;  // rows; the sign of the file's height is in topDown
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = bmp::kBiRgb;
  std::uint32_t sizeImage = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue; with bit fields
  std::uint64_t colorCount = 0;          // entries of the file's colour table
  std::size_t entrySize = 4;             // 3 after a core header
};

bool IsDepth(int bits, std::initializer_list<int> depths) {
  return std::find(depths.begin(), depths.end(), bits) != depths.end();
}

void CheckCompression(const Layout& l) {
  switch (l.compression) {
    case bmp::kBiRgb:
      if (!IsDepth(l.bitCount, {1, 4, 8, 16, 24, 32})) Illegal();
      break;
    case bmp::kBiRle8:
      if (l.bitCount != 8) Illegal();
      break;
    case bmp::kBiRle4:
      if (l.bitCount != 4) Illegal();
      break;
    case bmp::kBiBitfields:
      if (!IsDepth(l.bitCount, {16, 32})) Illegal();
      break;
    default:
      Illegal();
  }
  // Compressed rows are always stored bottom-up.
  if (l.topDown && (l.compression == bmp::kBiRle8 || l.compression == bmp::kBiRle4)) Illegal();
}

std::uint64_t FullTableSize(int bitCount) { return bitCount <= 8 ? std::uint64_t{1} << bitCount : 0; }

Layout CoreLayout(const bmp::CoreHeader& h) {
  if (h.bcPlanes != 1) Illegal();
  if (!IsDepth(h.bcBitCount, {1, 4, 8, 24})) Illegal();
  if (h.bcWidth == 0 || h.bcHeight == 0) Illegal();
  Layout l;
  l.width = h.bcWidth;
  l.height = h.bcHeight;
  l.bitCount = h.bcBitCount;
  l.colorCount = FullTableSize(l.bitCount);
  l.entrySize = 3;
  return l;
}

// An info header of 40 bytes or more, of which the first 40 count, followed by the bit masks
// when they are not part of the header.
Layout InfoLayout(Source& source, ByteReader& in) {
  const bmp::InfoHeader h = bmp::ReadInfoHeader(in);
  if (h.biPlanes != 1) Illegal();
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min()) Illegal();
  Layout l;
  l.width = h.biWidth;
  l.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  l.topDown = h.biHeight < 0;
  l.bitCount = h.biBitCount;
  l.compression = h.biCompression;
  l.sizeImage = h.biSizeImage;
  CheckCompression(l);
  if (l.compression == bmp::kBiBitfields) {
    const auto following = h.biSize >= kHeaderWithMasks ? std::vector<std::uint8_t>() : source.Read(bmp::kMasksSize);
    ByteReader masks = following.empty() ? in : ByteReader(following);
    for (auto& m : l.masks) m = masks.U32LE();
  }
  l.colorCount = h.biClrUsed != 0 ? h.biClrUsed : FullTableSize(l.bitCount);
  return l;
}

// The header is read whole, its size (its first four bytes) included.
Layout ReadLayout(Source& source) {
  const auto sizeBytes = source.Read(4);
  const std::uint32_t headerSize = ByteReader(sizeBytes).U32LE();
  if (headerSize != bmp::kCoreHeaderSize && headerSize < bmp::kInfoHeaderSize) Illegal();
  source.SeekTo(source.Offset() - sizeBytes.size());
  const auto header = source.Read(headerSize);
  ByteReader in(header);
  const Layout l = headerSize == bmp::kCoreHeaderSize ? CoreLayout(bmp::ReadCoreHeader(in)) : InfoLayout(source, in);
  // The picture is allocated whole, however little pixel data follows.
  if (static_cast<std::uint64_t>(l.width) * static_cast<std::uint64_t>(l.height) > kMaxBitmapPixels) Illegal();
  return l;
}

// A core header's table has 2^bits entries, but writers that use fewer entries put the pixel
// data behind them: bfOffBits inside that table ends it there.
void FitCoreTable(Layout& l, std::uint64_t tableStart, std::uint32_t offBits) {
  if (l.entrySize != 3 || offBits < tableStart) return;
  const std::uint64_t entries = (offBits - tableStart) / l.entrySize;
  l.colorCount = std::min(l.colorCount, entries);
}

// The colour table, up to the entries a bitmap of this depth can use (256 at most); further
// entries are skipped.
TPaletteEntries ReadColorTable(Source& source, const Layout& l) {
  const std::uint64_t capacity = l.bitCount <= 8 ? FullTableSize(l.bitCount) : 256;
  const std::uint64_t kept = std::min(l.colorCount, capacity);
  const std::uint64_t tableBytes = CheckedProduct(l.colorCount, l.entrySize);
  if (tableBytes > source.Remaining()) throw EReadError();
  const auto bytes = source.Read(kept * l.entrySize);
  source.Skip(tableBytes - bytes.size());
  TPaletteEntries palette(static_cast<std::size_t>(kept));
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const std::uint8_t* e = bytes.data() + i * l.entrySize;
    palette[i] = {e[2], e[1], e[0], 0};
  }
  return palette;
}

// How the pixels of a file map to a bitmap format.
enum class PixelKind { kCopy, kRle, kBitfields };

struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint64_t max = 0;  // largest value of the channel once shifted down; 0 for an empty mask

  explicit Channel(std::uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = (std::uint64_t{1} << std::bit_width(m >> shift)) - 1;
  }
  // The channel scaled to 0..255, rounded to nearest.
  std::uint8_t Value(std::uint32_t pixel) const {
    if (max == 0) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((v * 510 + max) / (2 * max));
  }
};

TPixelFormat FormatOf(const Layout& l, PixelKind& kind) {
  kind = PixelKind::kCopy;
  if (l.compression == bmp::kBiRle8 || l.compression == bmp::kBiRle4) kind = PixelKind::kRle;
  switch (l.bitCount) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 24: return TPixelFormat::pf24bit;
    default: break;
  }
  using Masks = std::array<std::uint32_t, 3>;
  const bool fields = l.compression == bmp::kBiBitfields;
  if (l.bitCount == 16) {
    if (!fields || l.masks == Masks{0x7C00, 0x03E0, 0x001F}) return TPixelFormat::pf15bit;
    if (l.masks == Masks{0xF800, 0x07E0, 0x001F}) return TPixelFormat::pf16bit;
  } else if (!fields || l.masks == Masks{0xFF0000, 0x00FF00, 0x0000FF}) {
    return TPixelFormat::pf32bit;
  }
  kind = PixelKind::kBitfields;
  return TPixelFormat::pf32bit;
}

// Bitmap row y (top-down) of the row stored at position i of the file.
int BitmapRow(const Layout& l, int i) { return l.topDown ? i : l.height - 1 - i; }

// stride x rows, or an error when that does not fit into 64 bits.
std::uint64_t PixelBytes(std::size_t stride, const Layout& l) {
  return CheckedProduct(stride, static_cast<std::uint64_t>(l.height));
}

std::vector<std::uint8_t> ZeroedPixels(std::uint64_t size) {
  try {
    std::vector<std::uint8_t> pixels;
    ReserveLarge(pixels, static_cast<std::size_t>(size));
    pixels.resize(static_cast<std::size_t>(size));
    return pixels;
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
}

// How many pixel bytes are read: biSizeImage of them (stride x rows when it is 0), or as
// many as the stream still holds.
std::uint64_t PixelDataSize(const Source& source, const Layout& l, std::size_t fileStride) {
  const std::uint64_t wanted = l.sizeImage != 0 ? l.sizeImage : PixelBytes(fileStride, l);
  return std::min(wanted, source.Remaining());
}

// Uncompressed rows in the bitmap's own layout: one read per row, or one for all of them.
// Rows the pixel data does not reach, and the rest of a row it ends in, stay 0.
std::vector<std::uint8_t> ReadPlainRows(Source& source, const Layout& l, std::size_t stride) {
  auto pixels = ZeroedPixels(PixelBytes(stride, l));
  std::uint64_t left = std::min<std::uint64_t>(PixelDataSize(source, l, stride), pixels.size());
  if (l.topDown) {
    source.ReadInto(pixels.data(), static_cast<std::size_t>(left));
    return pixels;
  }
  for (int i = 0; i < l.height && left > 0; ++i) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(stride, left));
    source.ReadInto(pixels.data() + stride * static_cast<std::size_t>(BitmapRow(l, i)), n);
    left -= n;
  }
  return pixels;
}

// Uncompressed rows read from a memory stream: when all of them are there, the stream's buffer
// becomes the picture as it is, the rows where the file has them (offset, order); else as read.
struct TakenRows {
  std::vector<std::uint8_t> pixels;
  std::size_t offset = 0;
  bool bottomUp = false;
};

TakenRows TakePlainRows(Source& source, const Layout& l, std::size_t stride, TMemoryStream& owner) {
  const std::uint64_t total = PixelBytes(stride, l);
  if (PixelDataSize(source, l, stride) < total) return {ReadPlainRows(source, l, stride)};
  const auto at = static_cast<std::size_t>(source.StreamPosition());
  std::vector<std::uint8_t> pixels = owner.TakeBytes();
  pixels.resize(at + static_cast<std::size_t>(total));
  return {std::move(pixels), at, !l.topDown};
}

// 16- or 32-bit rows with other bit masks, widened to 32-bit pixels (blue, green, red, 0).
// Rows the pixel data does not reach stay 0; a row it ends in reads as if padded with zeros.
std::vector<std::uint8_t> ReadBitfieldRows(Source& source, const Layout& l, std::size_t stride) {
  auto pixels = ZeroedPixels(PixelBytes(stride, l));
  const std::size_t sourceStride = BytesPerRow(l.width, l.bitCount);
  std::uint64_t left = PixelDataSize(source, l, sourceStride);
  const Channel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]);
  std::vector<std::uint8_t> row(sourceStride);
  for (int i = 0; i < l.height && left > 0; ++i) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sourceStride, left));
    std::fill(row.begin() + static_cast<std::ptrdiff_t>(n), row.end(), 0);
    source.ReadInto(row.data(), n);
    left -= n;
    std::uint8_t* out = pixels.data() + stride * static_cast<std::size_t>(BitmapRow(l, i));
    for (int x = 0; x < l.width; ++x) {
      const std::uint8_t* p = row.data() + static_cast<std::size_t>(x) * (l.bitCount / 8);
      const std::uint32_t v = l.bitCount == 16 ? static_cast<std::uint32_t>(p[0] | p[1] << 8)
                                               : static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
                                                     static_cast<std::uint32_t>(p[3]) << 24;
      out[4 * x] = blue.Value(v);
      out[4 * x + 1] = green.Value(v);
      out[4 * x + 2] = red.Value(v);
      out[4 * x + 3] = 0;
    }
  }
  return pixels;
}

// The encoded bytes of an RLE picture.
TEncodedBits ReadEncodedBits(Source& source, const Layout& l, std::size_t stride) {
  return {l.compression, source.Read(PixelDataSize(source, l, stride))};
}

std::vector<std::uint8_t> DecodeRows(const std::vector<std::uint8_t>& bits, const Layout& l, std::size_t stride) {
  auto pixels = ZeroedPixels(PixelBytes(stride, l));
  // Storage row 0 of an RLE stream is the bottom row of the bitmap.
  TRleTarget target;
  target.row0 = pixels.data() + stride * static_cast<std::size_t>(l.height - 1);
  target.stride = -static_cast<std::ptrdiff_t>(stride);
  target.width = l.width;
  target.height = l.height;
  const auto format = l.compression == bmp::kBiRle8 ? TRleFormat::kRle8 : TRleFormat::kRle4;
  // Data that ends before its end-of-bitmap code leaves the rest of the picture at index 0;
  // a code that leaves the picture makes the file unreadable.
  const TRleResult result = DecodeRle(format, bits, target);
  if (result != TRleResult::kEndOfBitmap && result != TRleResult::kDataEnded) Illegal();
  return pixels;
}

// Where the pixel data starts: at bfOffBits when that lies at or after the end of the colour
// table and inside the file (files with a gap there are common), else right after the table.
void SeekPixels(Source& source, std::uint32_t offBits) {
  if (offBits >= source.Offset() && offBits < source.Size()) source.SeekTo(offBits);
}

std::uint32_t ToU32(std::uint64_t value) {
  if (value > std::numeric_limits<std::uint32_t>::max()) Illegal();
  return static_cast<std::uint32_t>(value);
}

// --- writing -------------------------------------------------------------------------------

struct WritePlan {
  int bitCount = 0;
  std::uint32_t compression = bmp::kBiRgb;
  std::size_t tableEntries = 0;
  bool masks = false;
};

WritePlan PlanFor(TPixelFormat format, std::size_t paletteSize, const TEncodedBits* encoded) {
  WritePlan p;
  p.bitCount = BitsPerPixel(format);  // rows are written in the bitmap's own layout
  if (format == TPixelFormat::pf16bit) {
    p.compression = bmp::kBiBitfields;  // 5-6-5 needs its masks
    p.masks = true;
  }
  // Indexed pictures carry the full table; direct-colour ones the palette they carry, if any.
  p.tableEntries = p.bitCount <= 8 ? std::size_t{1} << p.bitCount : std::min<std::size_t>(paletteSize, 256);
  if (encoded && ((encoded->compression == bmp::kBiRle8 && p.bitCount == 8) ||
                  (encoded->compression == bmp::kBiRle4 && p.bitCount == 4)))
    p.compression = encoded->compression;
  return p;
}

std::vector<std::uint8_t> FileHead(const WritePlan& plan, int width, int height, std::uint64_t pixelBytes,
                                   const TPaletteEntries& palette) {
  const std::uint64_t offBits =
      bmp::kFileHeaderSize + bmp::kInfoHeaderSize + (plan.masks ? bmp::kMasksSize : 0) + 4 * plan.tableEntries;
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(offBits));
  bmp::FileHeader fh;
  fh.bfSize = ToU32(offBits + pixelBytes);
  fh.bfOffBits = static_cast<std::uint32_t>(offBits);
  bmp::WriteFileHeader(out, fh);
  bmp::InfoHeader ih;
  ih.biWidth = width;
  ih.biHeight = height;
  ih.biBitCount = static_cast<std::uint16_t>(plan.bitCount);
  ih.biCompression = plan.compression;
  ih.biSizeImage = ToU32(pixelBytes);
  ih.biClrUsed = static_cast<std::uint32_t>(plan.tableEntries);
  bmp::WriteInfoHeader(out, ih);
  if (plan.masks) {
    bmp::PutU32(out, 0xF800);
    bmp::PutU32(out, 0x07E0);
    bmp::PutU32(out, 0x001F);
  }
  // The picture's own entries first; the rest of a full table is zero.
  for (std::size_t i = 0; i < plan.tableEntries; ++i) {
    bmp::RgbQuad q;
    if (i < palette.size()) q = {palette[i].peBlue, palette[i].peGreen, palette[i].peRed, 0};
    bmp::WriteRgbQuad(out, q);
  }
  return out;
}

}  // namespace

std::optional<std::pair<int, int>> ReadBmpSize(TStream& stream) {
  std::array<std::uint8_t, bmp::kFileHeaderSize + bmp::kInfoHeaderSize> head{};
  const std::int64_t start = stream.GetPosition();
  const std::size_t got = stream.Read(head.data(), head.size());
  stream.SetPosition(start);
  ByteReader in(head.data(), got);
  if (!in.Has(bmp::kFileHeaderSize + bmp::kCoreHeaderSize) || bmp::ReadFileHeader(in).bfType != bmp::kSignature) {
    return std::nullopt;
  }
  std::int64_t width = 0, height = 0;
  if (ByteReader(head.data() + in.Position(), 4).U32LE() == bmp::kCoreHeaderSize) {
    const bmp::CoreHeader core = bmp::ReadCoreHeader(in);
    width = core.bcWidth;
    height = core.bcHeight;
  } else if (in.Has(bmp::kInfoHeaderSize)) {
    const bmp::InfoHeader info = bmp::ReadInfoHeader(in);
    width = info.biWidth;
    height = std::abs(static_cast<std::int64_t>(info.biHeight));
  }
  if (width <= 0 || height <= 0 || height > std::numeric_limits<int>::max()) return std::nullopt;
  return std::pair{static_cast<int>(width), static_cast<int>(height)};
}

bool BmpCutShort(TStream& stream) {
  std::array<std::uint8_t, bmp::kFileHeaderSize + 4> head{};
  const std::int64_t start = stream.GetPosition();
  const std::int64_t size = stream.GetSize() - start;
  const std::size_t got = stream.Read(head.data(), head.size());
  stream.SetPosition(start);
  if (got < 2) return got == 1 && head[0] == 'B';
  if (ByteReader(head.data(), 2).U16LE() != bmp::kSignature) return false;
  if (got < head.size()) return true;
  ByteReader in(head.data(), got);
  const bmp::FileHeader file = bmp::ReadFileHeader(in);
  const std::int64_t headerEnd = bmp::kFileHeaderSize + std::int64_t{in.U32LE()};
  // The headers, and the colour table up to where the file header puts the pixels.
  return size < headerEnd || size < std::int64_t{file.bfOffBits};
}

void TBitmap::LoadFromStream(TStream& stream) { Load(stream, nullptr); }

void TBitmap::LoadFromMemoryStream(TMemoryStream& stream) { Load(stream, &stream); }

void TBitmap::Load(TStream& stream, TMemoryStream* owner) {
  Source source(stream);
  if (source.Size() == 0) {
    ReleaseImage();
    return;
  }
  // The signature decides before the length: a short file of another kind is not a bitmap.
  const auto signature = source.Read(std::min<std::uint64_t>(2, source.Size()));
  if (signature.size() < 2 || signature[0] != 'B' || signature[1] != 'M') Illegal();
  const auto restBytes = source.Read(bmp::kFileHeaderSize - 2);
  ByteReader rest(restBytes);
  rest.Skip(8);  // bfSize and the reserved fields are not used
  const std::uint32_t offBits = rest.U32LE();

  // Build the new image aside; the bitmap changes only once everything was read.
  Layout l = ReadLayout(source);
  FitCoreTable(l, source.Offset(), offBits);
  auto next = std::make_shared<Image>();
  next->palette = ReadColorTable(source, l);
  SeekPixels(source, offBits);
  PixelKind kind;
  next->format = FormatOf(l, kind);
  next->width = l.width;
  next->height = l.height;
  next->stride = BytesPerRow(l.width, BitsPerPixel(next->format));
  next->fileCompression = l.compression;
  switch (kind) {
    case PixelKind::kCopy:
      if (owner != nullptr) {
        TakenRows taken = TakePlainRows(source, l, next->stride, *owner);
        next->pixels = std::move(taken.pixels);
        next->offset = taken.offset;
        next->bottomUp = taken.bottomUp;
      } else {
        next->pixels = ReadPlainRows(source, l, next->stride);
      }
      break;
    case PixelKind::kBitfields: next->pixels = ReadBitfieldRows(source, l, next->stride); break;
    case PixelKind::kRle: {
      auto encoded = std::make_shared<const TEncodedBits>(ReadEncodedBits(source, l, next->stride));
      next->pixels = DecodeRows(encoded->bits, l, next->stride);
      next->encoded = std::move(encoded);
      break;
    }
  }
  image_ = std::move(next);
  PaletteModified = !image_->palette.empty();
  Changed();
}

void TBitmap::LoadFromPackedDib(const std::uint8_t* data, std::size_t size) {
  // A file header whose bfOffBits (0) is ignored: pixels follow the colour table.
  std::vector<std::uint8_t> file{'B', 'M'};
  file.resize(bmp::kFileHeaderSize);
  if (size != 0) file.insert(file.end(), data, data + size);
  TMemoryStream stream(std::move(file));
  LoadFromStream(stream);
}

TFilePieces TBitmap::FilePieces(std::vector<std::uint8_t>& head) const {
  // An empty bitmap writes nothing, as a file of zero bytes reads as an empty bitmap.
  if (GetEmpty()) return {};
  const Image& image = *image_;
  const WritePlan plan = PlanFor(image.format, image.palette.size(), image.encoded.get());
  if (plan.compression == bmp::kBiRle8 || plan.compression == bmp::kBiRle4) {
    const auto& bits = image.encoded->bits;
    head = FileHead(plan, image.width, image.height, bits.size(), image.palette);
    return {head, bits};
  }
  const std::uint64_t pixelBytes = CheckedProduct(image.stride, static_cast<std::uint64_t>(image.height));
  head = FileHead(plan, image.width, image.height, pixelBytes, image.palette);
  const std::size_t used = (static_cast<std::size_t>(image.width) * static_cast<std::size_t>(plan.bitCount) + 7) / 8;
  static constexpr std::uint8_t kZeros[4] = {};
  TFilePieces pieces{head};
  pieces.reserve(2 * static_cast<std::size_t>(image.height) + 1);
  for (int y = image.height - 1; y >= 0; --y) {
    const std::uint8_t* row = image.Row(y);
    // Rows that follow each other in memory, as a bottom-up file read in place has them, make
    // one piece.
    const auto& last = pieces.back();
    if (pieces.size() > 1 && last.data() + last.size() == row)
      pieces.back() = {last.data(), last.size() + used};
    else
      pieces.emplace_back(row, used);
    if (image.stride > used) pieces.emplace_back(kZeros, image.stride - used);
  }
  return pieces;
}

void TBitmap::SaveToStream(TStream& stream) {
  std::vector<std::uint8_t> head;
  const auto pieces = FilePieces(head);
  // A file made in memory gets its whole size at once rather than growing piece by piece.
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream))
    memory->Reserve(static_cast<std::size_t>(memory->GetPosition()) + TotalSize(pieces));
  for (const auto piece : pieces) stream.WriteBuffer(piece.data(), piece.size());
}

TGatherStream TBitmap::FileStream() const {
  std::vector<std::uint8_t> head;
  auto pieces = FilePieces(head);
  return TGatherStream(std::move(pieces), std::move(head));
}

// The pieces go to the file straight from the pixels, with no copy of the whole file.
void TBitmap::SaveToFile(const std::string& fileName) {
  std::vector<std::uint8_t> head;
  ReplaceFile(fileName, FilePieces(head));
}

}  // namespace pw
