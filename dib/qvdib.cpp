#include "dib/qvdib.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include "dib/messages.h"
#include "dib/rle_codec.h"
#include "toolkit/bmp_format.h"
#include "toolkit/large_buffer.h"
#include "toolkit/packed_pixels.h"
#include "toolkit/stream.h"

namespace pw {

bool DefaultUseFMO = true;

// ---------------------------------------------------------------------------------------------
// Pixel memory

TQvPixelMemory TQvPixelMemory::Get(std::size_t size, bool useFMO) {
  TQvPixelMemory m;
  m.size_ = size;
  if (useFMO) {
    // A mapping of 0 bytes is not possible; keep at least one page's worth of address space.
    m.mappedLength_ = std::max<std::size_t>(size, 1);
    void* p = mmap(nullptr, m.mappedLength_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw EOutOfResources(qvmsg::kCannotMakeFileMapping);
    m.bits_ = static_cast<std::uint8_t*>(p);
    m.mapped_ = true;
  } else {
    try {
      ReserveLarge(m.heap_, std::max<std::size_t>(size, 1));
      m.heap_.assign(std::max<std::size_t>(size, 1), 0);
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory();
    }
    m.bits_ = m.heap_.data();
  }
  return m;
}

TQvPixelMemory::TQvPixelMemory(TQvPixelMemory&& other) noexcept { *this = std::move(other); }

TQvPixelMemory& TQvPixelMemory::operator=(TQvPixelMemory&& other) noexcept {
  if (this == &other) return *this;
  Release();
  heap_ = std::move(other.heap_);
  bits_ = other.mapped_ ? other.bits_ : heap_.data();
  size_ = other.size_;
  mappedLength_ = other.mappedLength_;
  mapped_ = other.mapped_;
  other.bits_ = nullptr;
  other.size_ = 0;
  other.mappedLength_ = 0;
  other.mapped_ = false;
  other.heap_.clear();
  return *this;
}

TQvPixelMemory::~TQvPixelMemory() { Release(); }

void TQvPixelMemory::Release() noexcept {
  if (mapped_ && bits_ != nullptr) munmap(bits_, mappedLength_);
  bits_ = nullptr;
  size_ = 0;
  mappedLength_ = 0;
  mapped_ = false;
  heap_.clear();
  heap_.shrink_to_fit();
}

// ---------------------------------------------------------------------------------------------
// Blocks

std::size_t DIBStride(int width, int bitCount) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32 * 4;
}

std::uint32_t TQvDIBInfos::StoredTableEntries() const {
  const std::uint32_t masks = header.biCompression == BI_BITFIELDS ? bmp::kMasksSize / sizeof(TRGBQuad) : 0;
  return masks + std::min<std::uint32_t>(header.biClrUsed, 256);
}

std::size_t TQvDIBInfos::Stride() const { return DIBStride(header.biWidth, header.biBitCount); }

std::uint8_t* TQvDIBInfos::Row(int y) {
  const int row = TopDown() ? y : Height() - 1 - y;
  return Bits() + Stride() * static_cast<std::size_t>(row);
}

const std::uint8_t* TQvDIBInfos::Row(int y) const {
  const int row = TopDown() ? y : Height() - 1 - y;
  return Bits() + Stride() * static_cast<std::size_t>(row);
}

TQvDIBInfos TQvDIBInfos::CloneLayout(std::size_t bitsSize, bool useFMO) const {
  TQvDIBInfos copy;
  copy.header = header;
  copy.colorTable = colorTable;
  copy.memory = TQvPixelMemory::Get(bitsSize, useFMO);
  return copy;
}

// ---------------------------------------------------------------------------------------------
// Palettes

namespace {

TQvLogPalette MakeHalftonePalette() {
  TQvLogPalette p;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 5; ++b) p.entries.push_back({kHalftoneRed[r], kHalftoneGreen[g], kHalftoneBlue[b], 0});
  for (const TColor c : {0x000080, 0x008080, 0x800080, 0xC0C0C0, 0x808080})
    p.entries.push_back({GetRValue(c), GetGValue(c), GetBValue(c), 0});
  return p;
}

// The first biClrUsed (at most 256) colour-table entries as palette entries.
TPaletteEntries UsedColorTable(const TQvDIBInfos& infos) {
  TPaletteEntries entries;
  const std::size_t n = std::min<std::size_t>(infos.header.biClrUsed, 256);
  for (std::size_t i = 0; i < n; ++i) {
    const TRGBQuad& q = infos.colorTable[i];
    entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
  }
  return entries;
}

// GetPaletteFromDIBInfos: a logical palette of the used colour-table entries.
HPALETTE GetPaletteFromDIBInfos(const TQvDIBInfos& infos) {
  return std::make_shared<TQvLogPalette>(TQvLogPalette{0x300, UsedColorTable(infos)});
}

void CheckStorage(const std::shared_ptr<TQvInternalDIB>& storage, const char* message) {
  Assert(storage != nullptr, message);
}

// The library's two cached palettes: one handle each, made on first use.
const HPALETTE& HalftonePaletteHandle() {
  static const HPALETTE handle = std::make_shared<const TQvLogPalette>(MakeHalftonePalette());
  return handle;
}

const HPALETTE& BlackWhitePaletteHandle() {
  static const HPALETTE handle =
      std::make_shared<const TQvLogPalette>(TQvLogPalette{0x300, {{0, 0, 0, 0}, {255, 255, 255, 0}}});
  return handle;
}

}  // namespace

const TQvLogPalette& HalftonePalette() { return *HalftonePaletteHandle(); }

const TQvLogPalette& BlackWhitePalette() { return *BlackWhitePaletteHandle(); }

// ---------------------------------------------------------------------------------------------
// Storage

TQvInternalDIB::TQvInternalDIB(bool useFMO) : UseFMO(useFMO) { CreateDIB(1, 1, 256, 8); }

void TQvInternalDIB::CreateDIB(int width, int height, int colours, int bitCount) {
  const bool bitCountOk = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24;
  if (width <= 0 || height == 0 || colours < 0 || colours > 256 || !bitCountOk)
    throw EQvDIBInvalidDIBPara(qvmsg::kCreateDIBInvalidParameters);
  const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  const std::size_t stride = DIBStride(width, bitCount);
  if (stride > static_cast<std::size_t>(UINT32_MAX) / static_cast<std::size_t>(rows)) throw EOutOfMemory();
  TQvPixelMemory memory = TQvPixelMemory::Get(stride * static_cast<std::size_t>(rows), UseFMO);

  DIBInfos.memory = std::move(memory);
  Palette.reset();
  Width = width;
  Height = static_cast<int>(rows);
  TBitmapInfoHeader& h = DIBInfos.header;
  const std::uint32_t sizeImage = h.biSizeImage;
  h = TBitmapInfoHeader{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<std::uint16_t>(bitCount);
  h.biCompression = BI_RGB;
  h.biSizeImage = sizeImage;
  h.biXPelsPerMeter = kDefaultPelsPerMeter;
  h.biYPelsPerMeter = kDefaultPelsPerMeter;
  h.biClrUsed = static_cast<std::uint32_t>(colours);
  h.biClrImportant = 0;
  std::fill(DIBInfos.colorTable.begin(), DIBInfos.colorTable.begin() + 256, TRGBQuad{});
  PaletteChanged = true;
}

void TQvInternalDIB::UpdatePalette(long refCount) {
  Assert(refCount == 1, qvmsg::kUpdatePaletteRefCount);
  Palette.reset();
  PaletteChanged = true;
}

TQvPixelFormat TQvInternalDIB::GetPixelFormat() const {
  const TBitmapInfoHeader& h = DIBInfos.header;
  switch (h.biBitCount) {
    case 1:
      if (h.biCompression == BI_RGB) return qvPf1Bit;
      throw EQvDIBInvalidDIB(qvmsg::kInvalidDIB1Bit);
    case 4:
      if (h.biCompression == BI_RGB) return qvPf4Bit;
      if (h.biCompression == BI_RLE4) return qvPf4BitRLE;
      throw EQvDIBInvalidDIB(qvmsg::kInvalidDIB4Bit);
    case 8:
      if (h.biCompression == BI_RGB) return qvPf8Bit;
      if (h.biCompression == BI_RLE8) return qvPf8BitRLE;
      throw EQvDIBInvalidDIB(qvmsg::kInvalidDIB8Bit);
    case 24:
      if (h.biCompression == BI_RGB) return qvPf24Bit;
      throw EQvDIBInvalidDIB(qvmsg::kInvalidDIB24Bit);
    default:
      throw EQvDIBInvalidDIB(qvmsg::kInvalidDIBBitCount);
  }
}

void TQvInternalDIB::Install(TQvDIBInfos infos) {
  DIBInfos = std::move(infos);
  Width = DIBInfos.Width();
  Height = DIBInfos.Height();
}

// ---------------------------------------------------------------------------------------------
// Image

TQvDIB::TQvDIB() : InternalDIB(std::make_shared<TQvInternalDIB>(DefaultUseFMO)) { UpdatePaletteModified(); }

TQvDIB::~TQvDIB() = default;

const TQvInternalDIB& TQvDIB::Internal() const { return *InternalDIB; }

TQvInternalDIB& TQvDIB::InternalForWrite() {
  UniqueDIB();
  return *InternalDIB;
}

bool TQvDIB::UseFMO() const {
  CheckStorage(InternalDIB, qvmsg::kGetUseFMONil);
  return InternalDIB->UseFMO;
}

int TQvDIB::GetWidth() const {
  CheckStorage(InternalDIB, qvmsg::kGetWidthNil);
  return InternalDIB->Width;
}

int TQvDIB::GetHeight() const {
  CheckStorage(InternalDIB, qvmsg::kGetHeightNil);
  return InternalDIB->Height;
}

bool TQvDIB::GetEmpty() const {
  CheckStorage(InternalDIB, qvmsg::kGetEmptyNil);
  return false;
}

int TQvDIB::GetBitCount() const {
  CheckStorage(InternalDIB, qvmsg::kGetBitCountNil);
  return InternalDIB->DIBInfos.header.biBitCount;
}

TQvPixelFormat TQvDIB::GetPixelFormat() const { return InternalDIB->GetPixelFormat(); }

void TQvDIB::ReleaseInternalDIB() {
  CheckStorage(InternalDIB, qvmsg::kReleaseInternalDIBNil);
  InternalDIB.reset();
}

void TQvDIB::AttachNew(std::shared_ptr<TQvInternalDIB> storage) {
  ReleaseInternalDIB();
  InternalDIB = std::move(storage);
  UpdatePaletteModified();
  Changed();
}

void TQvDIB::UniqueDIB() {
  CheckStorage(InternalDIB, qvmsg::kUniqueDIBNil);
  if (InternalDIB.use_count() == 1) return;
  const TQvInternalDIB& shared = *InternalDIB;
  auto copy = std::make_shared<TQvInternalDIB>(shared.UseFMO);
  copy->Width = shared.Width;
  copy->Height = shared.Height;
  copy->DIBInfos = shared.DIBInfos.CloneLayout(shared.DIBInfos.BitsSize(), shared.UseFMO);
  if (shared.DIBInfos.BitsSize() != 0)
    std::memcpy(copy->DIBInfos.Bits(), shared.DIBInfos.Bits(), shared.DIBInfos.BitsSize());
  // The copy is a new storage whose colour table counts as changed (as after CreateDIB), so
  // the image reports PaletteModified once it holds it.
  copy->PaletteChanged = true;
  ReleaseInternalDIB();
  InternalDIB = std::move(copy);
  UpdatePaletteModified();
}

void TQvDIB::UpdatePaletteModified() {
  Assert(InternalDIB.use_count() == 1, qvmsg::kUpdatePaletteModifiedRefCount);
  if (!InternalDIB->PaletteChanged) return;
  InternalDIB->PaletteChanged = false;
  PaletteModified = true;
}

namespace {

// A blank storage for the setters, with the image's UseFMO.
std::shared_ptr<TQvInternalDIB> BlankStorage(bool useFMO, int width, int height, int colours, int bitCount) {
  auto storage = std::make_shared<TQvInternalDIB>(useFMO);
  storage->CreateDIB(width, height, colours, bitCount);
  return storage;
}

}  // namespace

void TQvDIB::SetWidth(int value) {
  CheckStorage(InternalDIB, qvmsg::kSetWidthNil);
  if (value <= 0) throw EQvDIBInvalidDIBPara(qvmsg::kSetWidthInvalid);
  if (value == InternalDIB->Width) return;
  const TBitmapInfoHeader& h = InternalDIB->DIBInfos.header;
  AttachNew(BlankStorage(InternalDIB->UseFMO, value, InternalDIB->Height, static_cast<int>(h.biClrUsed), h.biBitCount));
}

void TQvDIB::SetHeight(int value) {
  CheckStorage(InternalDIB, qvmsg::kSetHeightNil);
  if (value == 0) throw EQvDIBInvalidDIBPara(qvmsg::kSetHeightInvalid);
  if (value == InternalDIB->Height) return;
  const TBitmapInfoHeader& h = InternalDIB->DIBInfos.header;
  AttachNew(BlankStorage(InternalDIB->UseFMO, InternalDIB->Width, value, static_cast<int>(h.biClrUsed), h.biBitCount));
}

void TQvDIB::SetBitCount(int value) {
  CheckStorage(InternalDIB, qvmsg::kSetBitCountNil);
  if (value != 1 && value != 4 && value != 8 && value != 24) throw EQvDIBInvalidDIBPara(qvmsg::kSetBitCountInvalid);
  if (value == InternalDIB->DIBInfos.header.biBitCount) return;
  const int colours = value == 24 ? 0 : 1 << value;
  AttachNew(BlankStorage(InternalDIB->UseFMO, InternalDIB->Width, InternalDIB->Height, colours, value));
}

std::int32_t TQvDIB::GetPixels(int x, int y) const {
  const TQvDIBInfos& d = InternalDIB->DIBInfos;
  if (d.header.biCompression != BI_RGB) throw EQvDIBBadDIBType(qvmsg::kGetPixelsBadType);
  if (x < 0 || x >= d.header.biWidth || y < 0 || y >= d.Height())
    throw EQvDIBPixelPositionRange(qvmsg::kGetPixelsRange);
  const std::uint8_t* row = d.Row(y);
  if (d.header.biBitCount != 24) return static_cast<std::int32_t>(ReadPackedIndex(row, x, d.header.biBitCount));
  const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
  return p[2] | (p[1] << 8) | (p[0] << 16);
}

void TQvDIB::SetPixels(int x, int y, std::int32_t value) {
  if (InternalDIB.use_count() != 1) UniqueDIB();
  TQvDIBInfos& d = InternalDIB->DIBInfos;
  if (d.header.biCompression != BI_RGB) throw EQvDIBBadDIBType(qvmsg::kSetPixelsBadType);
  if (x < 0 || x >= d.header.biWidth || y < 0 || y >= d.Height())
    throw EQvDIBPixelPositionRange(qvmsg::kSetPixelsRange);
  std::uint8_t* row = d.Row(y);
  const int bits = d.header.biBitCount;
  // 8 bits take 0..255 only, 24 bits no negative value; 1 and 4 bits keep what fits the cell.
  if ((bits == 8 && (value < 0 || value > 255)) || (bits == 24 && value < 0)) throw ERangeError();
  if (bits != 24) {
    WritePackedIndex(row, x, bits, static_cast<unsigned>(value));
    return;
  }
  std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
  p[2] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[0] = static_cast<std::uint8_t>(value >> 16);
}

HPALETTE TQvDIB::GetPalette() {
  CheckStorage(InternalDIB, qvmsg::kGetPaletteNil);
  if (HalftoneMode == qvHmColor) return HalftonePaletteHandle();
  if (HalftoneMode == qvHmBW) return BlackWhitePaletteHandle();
  TQvInternalDIB& s = *InternalDIB;
  if (!s.Palette && s.DIBInfos.header.biClrUsed > 0) s.Palette = GetPaletteFromDIBInfos(s.DIBInfos);
  return s.Palette;
}

void TQvDIB::SetPalette(const HPALETTE& palette) {
  CheckStorage(InternalDIB, qvmsg::kSetPaletteNil);
  UniqueDIB();
  TQvInternalDIB& s = *InternalDIB;
  if (palette) {
    if (palette->entries.empty()) throw EQvDIBInvalidPalette(qvmsg::kSetPaletteInvalid);
    const std::size_t n = std::min<std::size_t>(palette->entries.size(), 256);
    s.DIBInfos.header.biClrUsed = static_cast<std::uint32_t>(n);
    for (std::size_t i = 0; i < n; ++i) {
      const TPaletteEntry& e = palette->entries[i];
      s.DIBInfos.colorTable[i] = TRGBQuad{e.peBlue, e.peGreen, e.peRed, 0};
    }
    s.Palette = palette;
  } else {
    s.DIBInfos.header.biClrUsed = 0;
    s.Palette.reset();
  }
  s.PaletteChanged = true;
  UpdatePaletteModified();
  Changed();
}

void TQvDIB::Assign(const TGraphic* source) {
  CheckStorage(InternalDIB, qvmsg::kAssignNil);
  if (source == nullptr) {
    AttachNew(std::make_shared<TQvInternalDIB>(InternalDIB->UseFMO));
    return;
  }
  if (const auto* other = dynamic_cast<const TQvDIB*>(source)) {
    if (other == this) return;
    ReleaseInternalDIB();
    InternalDIB = other->InternalDIB;
    MonoKeyColor = other->MonoKeyColor;
    ConvertMode = other->ConvertMode;
    HalftoneMode = other->HalftoneMode;
    PaletteModified = true;
    Changed();
    return;
  }
  if (const auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    AssignFromBitmap(*bitmap);
    return;
  }
  TQvGraphic::Assign(source);
}

void TQvDIB::AssignFromBitmap(const TBitmap& bitmap) {
  int bitCount = bitmap.GetBitsPerPixel();
  if (bitCount == 16 || bitCount == 32) bitCount = 24;
  auto storage = std::make_shared<TQvInternalDIB>(InternalDIB->UseFMO);
  storage->CreateDIB(bitmap.GetWidth(), bitmap.GetHeight(), 0, bitCount);
  TQvDIBInfos& d = storage->DIBInfos;
  const int width = bitmap.GetWidth();
  const std::size_t stride = d.Stride();
  for (int y = 0; y < bitmap.GetHeight(); ++y) {
    std::uint8_t* dst = d.Row(y);
    if (bitCount == bitmap.GetBitsPerPixel()) {
      std::memcpy(dst, bitmap.ScanLine(y), stride);
      continue;
    }
    for (int x = 0; x < width; ++x) {  // 15-, 16- and 32-bit rows become blue, green, red
      const TColor c = bitmap.GetPixelColor(x, y);
      dst[3 * x] = GetBValue(c);
      dst[3 * x + 1] = GetGValue(c);
      dst[3 * x + 2] = GetRValue(c);
    }
  }
  if (bitCount <= 8) {
    const TPaletteEntries& p = bitmap.GetPalette();
    for (std::size_t i = 0; i < p.size() && i < 256; ++i) d.colorTable[i] = TRGBQuad{p[i].peBlue, p[i].peGreen, p[i].peRed, 0};
    d.header.biClrUsed = 1u << bitCount;
  }
  storage->UpdatePalette(1);
  AttachNew(std::move(storage));
}

void TQvDIB::AssignTo(TGraphic& dest) const {
  CheckStorage(InternalDIB, qvmsg::kAssignToNil);
  if (auto* dib = dynamic_cast<TQvDIB*>(&dest)) {
    dib->Assign(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(&dest);
  if (bitmap == nullptr) {
    TQvGraphic::AssignTo(dest);
    return;
  }
  AssignToBitmap(*bitmap);
}

void TQvDIB::AssignToBitmap(TBitmap& bitmap) const {
  const TQvPixelFormat format = GetPixelFormat();
  // Compressed pixels are handed on as they are: decoded the way the toolkit's BMP reader
  // decodes the same bytes.
  const TQvDIBInfos* pixels = &InternalDIB->DIBInfos;
  TQvDIBInfos decoded;
  if (format == qvPf4BitRLE || format == qvPf8BitRLE) {
    decoded = DecodeRleForDrawing(*pixels, false);
    pixels = &decoded;
  }
  TPixelFormat target = TPixelFormat::pf24bit;
  if (format == qvPf1Bit) target = TPixelFormat::pf1bit;
  if (format == qvPf4Bit || format == qvPf4BitRLE) target = TPixelFormat::pf4bit;
  if (format == qvPf8Bit || format == qvPf8BitRLE) target = TPixelFormat::pf8bit;

  TBitmap result;
  result.SetPixelFormat(target);
  const TQvDIBInfos& d = *pixels;
  result.SetSize(d.Width(), d.Height());
  result.SetPalette(UsedColorTable(d));
  const std::size_t stride = std::min(d.Stride(), result.GetStride());
  for (int y = 0; y < d.Height(); ++y) std::memcpy(result.ScanLine(y), d.Row(y), stride);
  bitmap.Assign(&result);
}

void TQvDIB::Draw(TBitmap& target, const TRect& rect) const {
  if (!InternalDIB) return;
  const int w = std::abs(rect.Width()), h = std::abs(rect.Height());
  if (HalftoneMode != qvHmNone) {
    if (w == 0 || h == 0) return;
    // Stretch into an image of the rectangle's size, convert that to halftone, then draw it 1:1.
    TQvDIB temp;
    temp.SetBitCount(24);
    temp.SetWidth(w);
    temp.SetHeight(h);
    {
      TQvDIBCanvas canvas(temp);
      canvas.StretchDraw(TRect{0, 0, w, h}, *this);
    }
    temp.SetPixelFormat(HalftoneMode == qvHmColor ? qvPfHalftone : qvPfHalftoneBW);
    temp.Draw(target, rect);
    return;
  }
  TBitmap picture;
  AssignToBitmap(picture);
  picture.Draw(target, rect);
}

void TQvDIB::SaveToClipboardFormat(std::uint16_t& format, std::vector<std::uint8_t>& data, HPALETTE& palette) const {
  CheckStorage(InternalDIB, qvmsg::kSaveToClipboardNil);
  const TQvDIBInfos& d = InternalDIB->DIBInfos;
  const std::size_t tableBytes = d.StoredTableEntries() * sizeof(TRGBQuad);
  try {
    data.assign(sizeof(TBitmapInfoHeader) + tableBytes + d.BitsSize(), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(qvmsg::kClipboardOutOfMemory);
  }
  std::memcpy(data.data(), &d.header, sizeof(TBitmapInfoHeader));
  std::memcpy(data.data() + sizeof(TBitmapInfoHeader), d.colorTable.data(), tableBytes);
  if (d.BitsSize() != 0) std::memcpy(data.data() + sizeof(TBitmapInfoHeader) + tableBytes, d.Bits(), d.BitsSize());
  format = CF_DIB;
  palette.reset();
}

void TQvDIB::LoadFromClipboardFormat(std::uint16_t format, const std::vector<std::uint8_t>* data, const HPALETTE&) {
  if (format != CF_DIB || data == nullptr) throw EInvalidGraphic(qvmsg::kClipboardInvalidFormat);
  auto storage = std::make_shared<TQvInternalDIB>(InternalDIB->UseFMO);
  storage->LoadFromClipboardFormat(data->data(), data->size());
  AttachNew(std::move(storage));
}

void TQvDIB::LoadFromStream(TStream& stream) {
  auto storage = std::make_shared<TQvInternalDIB>(InternalDIB->UseFMO);
  storage->LoadFromStream(stream);
  AttachNew(std::move(storage));
}

// ---------------------------------------------------------------------------------------------
// Canvas

TQvDIBCanvas::TQvDIBCanvas(TQvDIB& image) : image_(image) {
  if (!image.InternalDIB || !image.InternalDIB->UseFMO) throw EQvDIBCanvasFailed(qvmsg::kCanvasFailed);
  image.UniqueDIB();
}

TQvDIBCanvas::~TQvDIBCanvas() {
  image_.UpdatePaletteModified();
  image_.Changed();
}

void TQvDIBCanvas::StretchDraw(const TRect& rect, const TQvDIB& source) {
  TBitmap picture;
  source.AssignTo(picture);
  TQvDIBInfos& d = image_.InternalDIB->DIBInfos;
  const bool sameBits = picture.GetBitsPerPixel() == d.header.biBitCount;
  const int w = rect.Width(), h = rect.Height();
  if (w <= 0 || h <= 0 || picture.GetEmpty()) return;
  for (int dy = 0; dy < h; ++dy) {
    const int y = rect.Top + dy;
    if (y < 0 || y >= d.Height()) continue;
    const int sy = static_cast<int>(static_cast<long long>(dy) * picture.GetHeight() / h);
    for (int dx = 0; dx < w; ++dx) {
      const int x = rect.Left + dx;
      if (x < 0 || x >= d.header.biWidth) continue;
      const int sx = static_cast<int>(static_cast<long long>(dx) * picture.GetWidth() / w);
      if (sameBits && d.header.biBitCount <= 8) {
        image_.SetPixels(x, y, static_cast<std::int32_t>(ReadPackedIndex(picture.ScanLine(sy), sx, d.header.biBitCount)));
      } else if (d.header.biBitCount == 24) {
        image_.SetPixels(x, y, picture.GetPixelColor(sx, sy));
      }
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Registration

std::unique_ptr<TFileFormatRegistration> RegisterQvDIB() {
  return std::make_unique<TFileFormatRegistration>("dib", "Device Independent Bitmap",
                                                   [] { return std::unique_ptr<TGraphic>(std::make_unique<TQvDIB>()); });
}

}  // namespace pw
