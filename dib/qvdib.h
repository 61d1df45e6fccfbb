// The DIB image: a picture in Windows DIB layout (40-byte info header, colour table of up to
// 256 entries, rows padded to 4 bytes) whose storage is shared between images by reference
// count and made private before the first write.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/bmp_format.h"
#include "toolkit/color.h"
#include "toolkit/errors.h"
#include "toolkit/graphic.h"
#include "toolkit/picture.h"

namespace pw {

class EQvDIBError : public Exception { using Exception::Exception; };
class EQvDIBInvalidDIB : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBInvalidDIBFile : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBInvalidDIBPara : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBBadDIBType : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBPixelPositionRange : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBInvalidPalette : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBCompressionFailed : public EQvDIBError { using EQvDIBError::EQvDIBError; };
class EQvDIBCanvasFailed : public EQvDIBError { using EQvDIBError::EQvDIBError; };

enum TQvPixelFormat : std::uint8_t {
  qvPf1Bit = 0,
  qvPf4Bit = 1,
  qvPf4BitRLE = 2,
  qvPf8Bit = 3,
  qvPf8BitRLE = 4,
  qvPf24Bit = 5,
  qvPfHalftone = 6,    // conversion target only; reads back as qvPf8Bit
  qvPfHalftoneBW = 7,  // conversion target only; reads back as qvPf1Bit
};
enum TQvConvertMode : std::uint8_t { qvCmLow = 0, qvCmHigh = 1 };
enum TQvHalftoneMode : std::uint8_t { qvHmNone = 0, qvHmColor = 1, qvHmBW = 2 };

// The BMP info header and colour-table entry, as stored in files and in memory.
using TBitmapInfoHeader = bmp::InfoHeader;
using TRGBQuad = bmp::RgbQuad;
inline constexpr std::uint32_t BI_RGB = bmp::kBiRgb;
inline constexpr std::uint32_t BI_RLE8 = bmp::kBiRle8;
inline constexpr std::uint32_t BI_RLE4 = bmp::kBiRle4;
inline constexpr std::uint32_t BI_BITFIELDS = bmp::kBiBitfields;
inline constexpr std::uint16_t CF_DIB = 8;
inline constexpr std::int32_t kDefaultPelsPerMeter = 3780;

// Pixel memory: zero-filled, from an anonymous shared mapping (useFMO) or the heap.
// Move-only; released with its owner.
class TQvPixelMemory {
 public:
  TQvPixelMemory() = default;
  // GetMemory: EOutOfResources when a mapping cannot be made, EOutOfMemory for the heap.
  static TQvPixelMemory Get(std::size_t size, bool useFMO);
  TQvPixelMemory(TQvPixelMemory&& other) noexcept;
  TQvPixelMemory& operator=(TQvPixelMemory&& other) noexcept;
  TQvPixelMemory(const TQvPixelMemory&) = delete;
  TQvPixelMemory& operator=(const TQvPixelMemory&) = delete;
  ~TQvPixelMemory();

  std::uint8_t* Bits() { return bits_; }
  const std::uint8_t* Bits() const { return bits_; }
  std::size_t Size() const { return size_; }
  bool IsMapped() const { return mapped_; }

 private:
  void Release() noexcept;
  std::uint8_t* bits_ = nullptr;
  std::size_t size_ = 0;
  std::size_t mappedLength_ = 0;
  bool mapped_ = false;
  std::vector<std::uint8_t> heap_;
};

// Colour-table area: three bit masks plus 256 entries and one spare.
inline constexpr std::size_t kColorTableEntries = 260;

// Header, colour table and pixel memory of one image; the unit that conversions produce.
struct TQvDIBInfos {
  TQvPixelMemory memory;
  TBitmapInfoHeader header;
  std::array<TRGBQuad, kColorTableEntries> colorTable{};

  std::uint32_t BitsSize() const { return static_cast<std::uint32_t>(memory.Size()); }
  std::uint8_t* Bits() { return memory.Bits(); }
  const std::uint8_t* Bits() const { return memory.Bits(); }
  int Width() const { return header.biWidth; }
  int Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
  bool TopDown() const { return header.biHeight < 0; }
  // Row stride of uncompressed pixels.
  std::size_t Stride() const;
  // The colour-table entries a file of this block holds: the three bit-field masks when the
  // header names them (they stay ahead of the colours as read), then at most 256 colours.
  std::uint32_t StoredTableEntries() const;
  // Start of picture row y (0 = top) of uncompressed pixels, by the row order of the header.
  std::uint8_t* Row(int y);
  const std::uint8_t* Row(int y) const;
  // A block with this block's header and colour table and new zero-filled pixel memory.
  TQvDIBInfos CloneLayout(std::size_t bitsSize, bool useFMO) const;
};

// Row stride of a DIB of the given width and bit count.
std::size_t DIBStride(int width, int bitCount);

// Stand-in for a platform palette handle: a logical palette (version $300) that images own and
// callers copy.
struct TQvLogPalette {
  std::uint16_t version = 0x300;
  TPaletteEntries entries;
};
using HPALETTE = std::shared_ptr<const TQvLogPalette>;

// The halftone palette (215 entries) and the black-and-white palette (2 entries).
const TQvLogPalette& HalftonePalette();
const TQvLogPalette& BlackWhitePalette();
// Halftone levels of each channel.
inline constexpr std::array<std::uint8_t, 6> kHalftoneRed = {0, 51, 102, 153, 204, 255};
inline constexpr std::array<std::uint8_t, 7> kHalftoneGreen = {0, 43, 85, 128, 171, 214, 255};
inline constexpr std::array<std::uint8_t, 5> kHalftoneBlue = {0, 64, 128, 192, 255};

// The UseFMO value given to images created by TQvDIB (the library's one default).
extern bool DefaultUseFMO;

// Progress step passed to conversions that run a colour division.
using TQvProgressStep = std::function<void()>;

class TQvDIB;

// The shared storage of TQvDIB.
class TQvInternalDIB {
 public:
  // A blank 1 x 1 image of 8 bits per pixel with 256 black colour-table entries.
  explicit TQvInternalDIB(bool useFMO);

  // Replaces pixel memory and header by a blank image (the caller gives up the old pixels).
  void CreateDIB(int width, int height, int colours, int bitCount);
  // Deletes the cached palette and marks the colour table changed (the storage must be private).
  void UpdatePalette(long refCount);
  TQvPixelFormat GetPixelFormat() const;
  // Converts the pixels to format through the conversion table; the image is unchanged when a
  // step fails.
  void SetPixelsFormat(TQvPixelFormat format, TQvConvertMode convertMode, const TQvProgressStep& progress,
                       TColor monoKeyColor);
  // Reads one BMP stream (file header included) into this storage.
  void LoadFromStream(TStream& stream);
  // Reads a packed DIB (clipboard format 8) into this storage.
  void LoadFromClipboardFormat(const std::uint8_t* data, std::size_t size);
  // Installs a block: frees the old pixel memory and takes over header, table and memory.
  void Install(TQvDIBInfos infos);

  int Width = 1;
  int Height = 1;
  HPALETTE Palette;  // cached palette, built on demand
  TQvDIBInfos DIBInfos;
  bool PaletteChanged = false;
  bool UseFMO = true;
};

// A canvas whose drawing lands directly in the image's pixel memory.
class TQvDIBCanvas {
 public:
  // The image must use shared memory (UseFMO); otherwise EQvDIBCanvasFailed.
  explicit TQvDIBCanvas(TQvDIB& image);
  ~TQvDIBCanvas();
  TQvDIBCanvas(const TQvDIBCanvas&) = delete;
  TQvDIBCanvas& operator=(const TQvDIBCanvas&) = delete;

  // Stretches the whole of source into rect (nearest neighbour), pixel values copied as they
  // are when both have the same bit count, by colour otherwise.
  void StretchDraw(const TRect& rect, const TQvDIB& source);

 private:
  TQvDIB& image_;
};

class TQvGraphic : public TGraphic {
 public:
  // The clipboard format number of the class.
  virtual std::uint16_t ClipboardFormat() const = 0;
};

class TQvDIB : public TQvGraphic {
 public:
  TQvDIB();
  TQvDIB(const TQvDIB&) = delete;
  TQvDIB& operator=(const TQvDIB&) = delete;
  ~TQvDIB() override;

  const char* ClassName() const override { return "TQvDIB"; }
  std::uint16_t ClipboardFormat() const override { return CF_DIB; }

  int GetWidth() const override;
  int GetHeight() const override;
  bool GetEmpty() const override;
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  int GetBitCount() const;
  void SetBitCount(int value);

  TQvPixelFormat GetPixelFormat() const;
  void SetPixelFormat(TQvPixelFormat format);

  // One pixel: a TColor for 24-bit images, a colour-table index otherwise.
  std::int32_t GetPixels(int x, int y) const;
  void SetPixels(int x, int y, std::int32_t value);

  HPALETTE GetPalette();
  void SetPalette(const HPALETTE& palette);

  void Assign(const TGraphic* source) override;
  void AssignTo(TGraphic& dest) const override;
  void Draw(TBitmap& target, const TRect& rect) const override;

  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(std::uint16_t format, const std::vector<std::uint8_t>* data, const HPALETTE& palette);
  void SaveToClipboardFormat(std::uint16_t& format, std::vector<std::uint8_t>& data, HPALETTE& palette) const;

  // Makes the storage private to this image.
  void UniqueDIB();
  // Forwards a changed colour table of the storage to the toolkit's PaletteModified.
  void UpdatePaletteModified();
  bool UseFMO() const;

  // Storage access for the library's own modules and tests.
  const TQvInternalDIB& Internal() const;
  TQvInternalDIB& InternalForWrite();  // private storage
  long RefCount() const { return InternalDIB.use_count(); }

  TQvConvertMode ConvertMode = qvCmLow;
  TColor MonoKeyColor = clWhite;
  TQvHalftoneMode HalftoneMode = qvHmNone;
  std::int32_t ProgressCount = 0;
  std::int32_t ProgressMax = 0;
  std::string ProgressMessage;

 private:
  friend class TQvDIBCanvas;
  void ReleaseInternalDIB();
  void AttachNew(std::shared_ptr<TQvInternalDIB> storage);
  void AssignFromBitmap(const TBitmap& bitmap);
  void AssignToBitmap(TBitmap& bitmap) const;
  void ProgressStep();

  std::shared_ptr<TQvInternalDIB> InternalDIB;
};

// Registers TQvDIB for the file extension "dib" ("Device Independent Bitmap") for the life of
// the returned object.
std::unique_ptr<TFileFormatRegistration> RegisterQvDIB();

}  // namespace pw
