// BMP stream reading and writing of the DIB image, and the packed DIB of the clipboard, which
// shares the reader from the info header on.
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dib/messages.h"
#include "dib/qvdib.h"
#include "toolkit/bmp_format.h"
#include "toolkit/byte_reader.h"
#include "toolkit/stream.h"

namespace pw {

namespace {

constexpr std::size_t kTableBytes = 256 * sizeof(TRGBQuad);  // entries kept in the colour-table area

// The texts that differ between a BMP stream and a packed DIB.
struct ReaderTexts {
  const char* bitCount40;  // a 40-byte header with a depth outside 1, 4, 8, 16, 24, 32
  const char* bitCount12;  // a core header with a depth outside 1, 4, 8, 24
  const char* headerSize;  // neither 40 nor 12
  const char* shortPixels; // uncompressed pixel data that does not cover every row
};

constexpr ReaderTexts kStreamTexts{qvmsg::kLoadInvalidBitCout, qvmsg::kLoadInvalidBitCount,
                                   qvmsg::kLoadInvalidHeaderSize, qvmsg::kLoadPixelDataTooSmall};
constexpr ReaderTexts kClipboardTexts{qvmsg::kClipboardInvalidBitCount, qvmsg::kClipboardInvalidBitCount,
                                      qvmsg::kClipboardInvalidData, qvmsg::kClipboardInvalidData};

// A read-only stream over a block of memory, so that a packed DIB runs through the stream reader.
class BlockStream : public TStream {
 public:
  BlockStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, size_ - position_);
    if (n != 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? static_cast<std::int64_t>(position_)
                                                                 : static_cast<std::int64_t>(size_);
    position_ = static_cast<std::size_t>(std::clamp<std::int64_t>(base + offset, 0, static_cast<std::int64_t>(size_)));
    return static_cast<std::int64_t>(position_);
  }
  void SetSize(std::int64_t) override { throw EWriteError(); }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

std::uint64_t Remaining(TStream& in) {
  const std::int64_t position = in.GetPosition();
  const std::int64_t size = in.GetSize();
  return size > position ? static_cast<std::uint64_t>(size - position) : 0;
}

// Stops a header's claim from reaching past the data: the stream read error, as a read would give.
void RequireBytes(TStream& in, std::uint64_t count) {
  if (count > Remaining(in)) throw EReadError();
}

void SkipBytes(TStream& in, std::uint64_t count) {
  RequireBytes(in, count);
  in.Seek(static_cast<std::int64_t>(count), TSeekOrigin::soCurrent);
}

// Exactly count bytes (a small, fixed-size header part) for the bounded reader.
std::vector<std::uint8_t> ReadPart(TStream& in, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  in.ReadBuffer(bytes.data(), count);
  return bytes;
}

// The info header and colour table as the storage will hold them.
struct HeaderAndTable {
  TBitmapInfoHeader header;
  std::array<TRGBQuad, kColorTableEntries> table{};  // with bit fields the three masks come first
  std::uint64_t bytesRead = 0;                       // from the header size field to the table's end
};

bool IsInfoBitCount(unsigned bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32; }
bool IsCoreBitCount(unsigned bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

std::uint32_t DefaultTableEntries(unsigned bits) { return bits <= 8 ? 1u << bits : 0u; }

// The 40-byte header (its size field already read) and its colour table, masks included.
HeaderAndTable ReadInfoForm(TStream& in, const ReaderTexts& texts) {
  std::vector<std::uint8_t> bytes = ReadPart(in, bmp::kInfoHeaderSize - 4);
  std::array<std::uint8_t, bmp::kInfoHeaderSize> whole{40, 0, 0, 0};
  std::copy(bytes.begin(), bytes.end(), whole.begin() + 4);
  ByteReader reader(whole.data(), whole.size());
  HeaderAndTable r;
  TBitmapInfoHeader& h = r.header = bmp::ReadInfoHeader(reader);
  if (h.biXPelsPerMeter == 0) h.biXPelsPerMeter = kDefaultPelsPerMeter;
  if (h.biYPelsPerMeter == 0) h.biYPelsPerMeter = kDefaultPelsPerMeter;
  if (!IsInfoBitCount(h.biBitCount)) throw EQvDIBInvalidDIB(texts.bitCount40);
  if (h.biClrUsed == 0) h.biClrUsed = DefaultTableEntries(h.biBitCount);

  const std::uint64_t maskBytes = h.biCompression == BI_BITFIELDS ? bmp::kMasksSize : 0;
  const std::uint64_t entryBytes = std::uint64_t{h.biClrUsed} * sizeof(TRGBQuad);
  const std::uint64_t kept = maskBytes + std::min<std::uint64_t>(entryBytes, kTableBytes);
  RequireBytes(in, kept);
  in.ReadBuffer(r.table.data(), static_cast<std::size_t>(kept));
  if (entryBytes > kTableBytes) SkipBytes(in, entryBytes - kTableBytes);
  r.bytesRead = bmp::kInfoHeaderSize + maskBytes + entryBytes;
  return r;
}

// The 12-byte core header (its size field already read), turned into the 40-byte form, and its
// 3-byte colour entries turned into 4-byte ones.
HeaderAndTable ReadCoreForm(TStream& in, const ReaderTexts& texts) {
  const std::vector<std::uint8_t> bytes = ReadPart(in, bmp::kCoreHeaderSize - 4);
  std::array<std::uint8_t, bmp::kCoreHeaderSize> whole{12, 0, 0, 0};
  std::copy(bytes.begin(), bytes.end(), whole.begin() + 4);
  ByteReader reader(whole.data(), whole.size());
  const bmp::CoreHeader core = bmp::ReadCoreHeader(reader);
  if (!IsCoreBitCount(core.bcBitCount)) throw EQvDIBInvalidDIB(texts.bitCount12);
  const std::uint32_t entries = DefaultTableEntries(core.bcBitCount);

  const std::vector<std::uint8_t> table = ReadPart(in, entries * 3);
  HeaderAndTable r;
  TBitmapInfoHeader& h = r.header;  // 40 bytes, uncompressed, no important colours by default
  h.biWidth = core.bcWidth;
  h.biHeight = core.bcHeight;
  h.biPlanes = core.bcPlanes;
  h.biBitCount = core.bcBitCount;
  h.biXPelsPerMeter = kDefaultPelsPerMeter;
  h.biYPelsPerMeter = kDefaultPelsPerMeter;
  h.biClrUsed = entries;
  for (std::uint32_t i = 0; i < entries; ++i) r.table[i] = {table[3 * i], table[3 * i + 1], table[3 * i + 2], 0};
  r.bytesRead = bmp::kCoreHeaderSize + std::uint64_t{entries} * 3;
  return r;
}

HeaderAndTable ReadHeaderAndTable(TStream& in, const ReaderTexts& texts) {
  const std::vector<std::uint8_t> sizeField = ReadPart(in, 4);
  const std::uint32_t headerSize = ByteReader(sizeField.data(), sizeField.size()).U32LE();
  if (headerSize == bmp::kInfoHeaderSize) return ReadInfoForm(in, texts);
  if (headerSize == bmp::kCoreHeaderSize) return ReadCoreForm(in, texts);
  throw EQvDIBInvalidDIB(texts.headerSize);
}

// --- 16- and 32-bit pixels, converted to 24 bits while reading -------------------------------

// One colour channel: its mask, the shift that brings the mask's top bit to bit 7 (right for
// positive values), and the largest value the shifted channel takes.
struct Channel {
  std::uint32_t mask;
  int shift;
  std::uint32_t max;

  explicit Channel(std::uint32_t m) : mask(m), shift(31 - std::countl_zero(m) - 7), max(Move(m)) {}
  std::uint32_t Move(std::uint32_t v) const { return shift >= 0 ? v >> shift : v << -shift; }
  std::uint8_t Level(std::uint32_t pixel) const { return static_cast<std::uint8_t>(Move(pixel & mask) * 255 / max); }
};

// A mask read into the colour-table area: its four little-endian bytes fill one entry.
std::uint32_t MaskAt(const std::array<TRGBQuad, kColorTableEntries>& table, int i) {
  const TRGBQuad& q = table[static_cast<std::size_t>(i)];
  return q.rgbBlue | std::uint32_t{q.rgbGreen} << 8 | std::uint32_t{q.rgbRed} << 16 | std::uint32_t{q.rgbReserved} << 24;
}

std::array<std::uint32_t, 3> ChannelMasks(const HeaderAndTable& read) {
  const TBitmapInfoHeader& h = read.header;
  if (h.biCompression != BI_RGB) return {MaskAt(read.table, 0), MaskAt(read.table, 1), MaskAt(read.table, 2)};
  if (h.biBitCount == 16) return {0x7C00, 0x03E0, 0x001F};
  return {0xFF0000, 0x00FF00, 0x0000FF};
}

std::uint32_t SourcePixel(const std::uint8_t* row, int x, bool wide) {
  if (!wide) return row[2 * x] | std::uint32_t{row[2 * x + 1]} << 8;
  const std::uint8_t* p = row + 4 * static_cast<std::size_t>(x);
  return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

TQvDIBInfos ReadHighColour(TStream& in, HeaderAndTable read, bool useFMO) {
  TBitmapInfoHeader& h = read.header;
  const std::array<std::uint32_t, 3> masks = ChannelMasks(read);
  if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0) throw EQvDIBInvalidDIB(qvmsg::kLoadInvalidMasks);
  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

  const bool wide = h.biBitCount == 32;
  const std::uint64_t rows = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
  const std::uint64_t sourceStride = DIBStride(h.biWidth, h.biBitCount);
  const std::uint64_t stride = DIBStride(h.biWidth, 24);
  if (stride * rows > UINT32_MAX) throw EQvDIBInvalidDIB(qvmsg::kLoadInvalidWidthHeight);
  RequireBytes(in, sourceStride * rows);

  TQvDIBInfos out;
  out.memory = TQvPixelMemory::Get(static_cast<std::size_t>(stride * rows), useFMO);
  std::vector<std::uint8_t> sourceRow(static_cast<std::size_t>(sourceStride));
  // Rows are converted in stored order, so a top-down file stays top-down.
  for (std::uint64_t y = 0; y < rows; ++y) {
    in.ReadBuffer(sourceRow.data(), sourceRow.size());
    std::uint8_t* d = out.Bits() + y * stride;
    for (int x = 0; x < h.biWidth; ++x, d += 3) {
      const std::uint32_t v = SourcePixel(sourceRow.data(), x, wide);
      d[0] = blue.Level(v);
      d[1] = green.Level(v);
      d[2] = red.Level(v);
    }
  }
  if (h.biCompression == BI_BITFIELDS) {
    std::copy(read.table.begin() + 3, read.table.end(), read.table.begin());
    std::fill(read.table.end() - 3, read.table.end(), TRGBQuad{});
  }
  h.biCompression = BI_RGB;
  h.biBitCount = 24;
  h.biSizeImage = 0;
  out.header = h;
  out.colorTable = read.table;
  return out;
}

// --- 1-, 4-, 8- and 24-bit pixels, read unchanged -------------------------------------------

bool IsRle(const TBitmapInfoHeader& h) {
  return (h.biBitCount == 8 && h.biCompression == BI_RLE8) || (h.biBitCount == 4 && h.biCompression == BI_RLE4);
}

TQvDIBInfos ReadPlain(TStream& in, const HeaderAndTable& read, std::int64_t bitsSize, bool useFMO,
                      const ReaderTexts& texts) {
  const TBitmapInfoHeader& h = read.header;
  const std::uint64_t rows = h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
  const std::uint64_t plainSize = DIBStride(h.biWidth, h.biBitCount) * rows;
  // RLE data is legitimately shorter than its pixels (its decoder guards the rows); anything
  // else must cover every row, so that no pixel access reaches past the pixel memory.
  if (bitsSize < 0 || (!IsRle(h) && static_cast<std::uint64_t>(bitsSize) < plainSize))
    throw EQvDIBInvalidDIB(texts.shortPixels);
  RequireBytes(in, static_cast<std::uint64_t>(bitsSize));

  TQvDIBInfos out;
  out.memory = TQvPixelMemory::Get(static_cast<std::size_t>(bitsSize), useFMO);
  in.ReadBuffer(out.Bits(), static_cast<std::size_t>(bitsSize));
  out.header = h;
  out.colorTable = read.table;
  return out;
}

// Everything after the colour table (and the gap before the pixels): the size checks and the
// pixels. bitsSize is the claimed size of the pixel data, which 16 and 32 bits do not use.
TQvDIBInfos ReadPixels(TStream& in, HeaderAndTable read, std::int64_t bitsSize, bool useFMO,
                       const ReaderTexts& texts) {
  TBitmapInfoHeader& h = read.header;
  read.header.biClrUsed = std::min<std::uint32_t>(h.biClrUsed, 256);
  // The storage keeps the row count as a positive 32-bit value, which excludes INT32_MIN.
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == INT32_MIN)
    throw EQvDIBInvalidDIB(qvmsg::kLoadInvalidWidthHeight);
  if (h.biBitCount == 16 || h.biBitCount == 32) return ReadHighColour(in, std::move(read), useFMO);
  return ReadPlain(in, read, bitsSize, useFMO, texts);
}

void InstallRead(TQvInternalDIB& storage, TQvDIBInfos infos) {
  storage.Install(std::move(infos));
  // The storage being loaded is private to its loader until it is attached.
  storage.UpdatePalette(1);
}

}  // namespace

void TQvInternalDIB::LoadFromStream(TStream& stream) {
  const std::vector<std::uint8_t> fileBytes = ReadPart(stream, bmp::kFileHeaderSize);
  ByteReader reader(fileBytes.data(), fileBytes.size());
  const bmp::FileHeader file = bmp::ReadFileHeader(reader);
  if (file.bfType != bmp::kSignature) throw EQvDIBInvalidDIBFile(qvmsg::kLoadFileTypeInvalid);

  const HeaderAndTable read = ReadHeaderAndTable(stream, kStreamTexts);
  const std::int64_t bitsSize = static_cast<std::int64_t>(file.bfSize) - static_cast<std::int64_t>(file.bfOffBits);
  const std::uint64_t tableEnd = bmp::kFileHeaderSize + read.bytesRead;
  if (file.bfOffBits < tableEnd) throw EQvDIBInvalidDIB(qvmsg::kLoadOffBitsTooSmall);
  SkipBytes(stream, file.bfOffBits - tableEnd);
  InstallRead(*this, ReadPixels(stream, read, bitsSize, UseFMO, kStreamTexts));
}

void TQvInternalDIB::LoadFromClipboardFormat(const std::uint8_t* data, std::size_t size) {
  BlockStream block(data, size);
  try {
    const HeaderAndTable read = ReadHeaderAndTable(block, kClipboardTexts);
    // The pixels are the rest of the block.
    const auto bitsSize = static_cast<std::int64_t>(Remaining(block));
    InstallRead(*this, ReadPixels(block, read, bitsSize, UseFMO, kClipboardTexts));
  } catch (const EReadError&) {
    throw EQvDIBInvalidDIB(qvmsg::kClipboardInvalidData);
  }
}

void TQvDIB::SaveToStream(TStream& stream) {
  Assert(InternalDIB != nullptr, qvmsg::kSaveToStreamNil);
  const TQvDIBInfos& d = InternalDIB->DIBInfos;
  // A file read with bit-field masks at 1, 4, 8 or 24 bits keeps them ahead of its colour
  // entries: they are written back too, or the file would not read again.
  const std::uint32_t entries = d.StoredTableEntries();
  const std::uint32_t offBits = static_cast<std::uint32_t>(bmp::kFileHeaderSize + bmp::kInfoHeaderSize) + entries * 4;

  std::vector<std::uint8_t> head;
  head.reserve(offBits);
  bmp::FileHeader file;
  file.bfSize = offBits + d.BitsSize();
  file.bfOffBits = offBits;
  bmp::WriteFileHeader(head, file);
  bmp::WriteInfoHeader(head, d.header);
  for (std::uint32_t i = 0; i < entries; ++i) {
    const TRGBQuad& q = d.colorTable[i];
    bmp::WriteRgbQuad(head, q);
  }
  stream.WriteBuffer(head.data(), head.size());
  stream.WriteBuffer(d.Bits(), d.BitsSize());
}

}  // namespace pw
