// PNG reading: the graphic class TKroPNG, its exception EKroPNG and its picture registration.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/graphic.h"
#include "toolkit/picture.h"

namespace pw {

class TStream;
class TMemoryStream;

// Every failure the PNG reader detects itself; what() is one of png/messages.h.
class EKroPNG : public EInvalidGraphic { using EInvalidGraphic::EInvalidGraphic; };

// Records a PNG load fills in when its owner hands them over (tIME, cHRM, gIFg).
struct TKroPNGTime {
  std::uint16_t Year = 0;
  std::uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};
struct TKroPNGChromaticities {
  std::uint32_t WhiteX = 0, WhiteY = 0, RedX = 0, RedY = 0, GreenX = 0, GreenY = 0, BlueX = 0, BlueY = 0;
};
struct TKroGIFExtension {
  std::uint8_t Bytes[4] = {0, 0, 0, 0};
};

// Colour values of the description: -1 none, else 0x00BBGGRR.
inline constexpr std::int32_t kKroNoColor = -1;

// What a load found out about the image besides its pixels.
struct TKroPNGDescription {
  bool HasAlpha = false;            // an alpha channel or per-entry palette alpha went to AlphaMask
  std::string Comment;              // "Comment" tEXt chunks, each followed by CR LF
  std::int32_t BackgroundColor = kKroNoColor;
  std::int32_t TransparentColor = kKroNoColor;
  int InterlaceMethod = 0;          // 0 none, 1 Adam7
  double Gamma = 0.0;
  std::uint8_t PhysicalUnit = 0;
  std::uint32_t PixelsPerUnitX = 0, PixelsPerUnitY = 0;
  std::uint32_t SignificantBits = 0;  // red | green << 8 | blue << 16 | alpha << 24
  int BitDepth = 0;                 // per sample; three times that for RGB images
  bool Greyscale = false;
};

// A graphic that owns one colour bitmap and forwards the graphic operations to it.
class TKroGraphicFileObject : public TGraphic {
 public:
  TKroGraphicFileObject();
  TKroGraphicFileObject(const TKroGraphicFileObject&) = delete;
  TKroGraphicFileObject& operator=(const TKroGraphicFileObject&) = delete;

  const char* ClassName() const override { return "TKroGraphicFileObject"; }
  int GetWidth() const override { return bitmap_.GetWidth(); }
  int GetHeight() const override { return bitmap_.GetHeight(); }
  bool GetEmpty() const override { return bitmap_.GetEmpty(); }
  void SetWidth(int value) override { bitmap_.SetWidth(value); }
  void SetHeight(int value) override { bitmap_.SetHeight(value); }
  void SetTransparent(bool value) override;
  void Draw(TBitmap& target, const TRect& rect) const override { bitmap_.Draw(target, rect); }

  // BMP data through the toolkit bitmap.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Any graphic is copied into the colour bitmap.
  void Assign(const TGraphic* source) override;
  // The destination assigns from the colour bitmap (a TBitmap shares its image).
  void AssignTo(TGraphic& dest) const override;

  // Detaches the colour bitmap, without handlers, and leaves an empty one in its place.
  virtual TBitmap ReleaseBitmap();
  const TBitmap& Bitmap() const { return bitmap_; }

 protected:
  TBitmap& ColorBitmap() { return bitmap_; }
  // Attaches the bitmap's change notification to this graphic's.
  void HookBitmap(TBitmap& bitmap);

 private:
  TBitmap bitmap_;
};

class TKroPNG : public TKroGraphicFileObject {
 public:
  // Images with more pixels than this are refused before anything is allocated.
  static constexpr std::int64_t kDefaultMaxPixels = kMaxBitmapPixels;

  TKroPNG();

  const char* ClassName() const override { return "TKroPNG"; }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  // Decodes the PNG datastream at the stream's position. On failure this graphic keeps its
  // former picture, description and records; so does a datastream that ends before any image
  // data, though its records are taken over.
  void LoadFromStream(TStream& stream) override;
  // The same for a memory stream whose bytes the caller no longer needs: the decoder may move
  // them about and give their memory back, so that the file and the picture are not both held.
  void LoadFromMemoryStream(TMemoryStream& stream);
  // Decodes the file from the stream OpenPngFile gives.
  void LoadFromFile(const std::string& fileName) override;
  // The destination assigns from the owner's colour target when one is set, else from the
  // colour bitmap.
  void AssignTo(TGraphic& dest) const override;
  // This reader has no encoder: raises EKroPNG.
  void SaveToStream(TStream& stream) override;
  // A TKroPNG source copies its bitmap, mask and description; other graphics their picture.
  void Assign(const TGraphic* source) override;

  // 8-bit grey: 255 minus alpha per pixel for images with alpha, else empty.
  const TBitmap& AlphaMask() const { return alphaMask_; }
  const TKroPNGDescription& Description() const { return description_; }

  // Look for a 128-byte MacBinary header in front of the data.
  bool MacBinary = true;
  std::int64_t MaxPixels = kDefaultMaxPixels;
  // Filled by each load (time starts as the current UTC time).
  TKroPNGTime Time;
  TKroPNGChromaticities Chromaticities;
  TKroGIFExtension GifExtension;
  // When set by an owner, loads go to these bitmaps instead of the graphic's own (not owned).
  TBitmap* ColorTarget = nullptr;
  TBitmap* MaskTarget = nullptr;

 private:
  void Load(TStream& stream, bool disposable);

  TBitmap alphaMask_;
  TKroPNGDescription description_;
};

// Registers TKroPNG with the picture registry for "PNG" for the lifetime of the result.
[[nodiscard]] TFileFormatRegistration RegisterKroPNG();

// The width and height a PNG datastream's header at the stream's position claims (after a
// MacBinary header, when one is there), read without decoding anything and without moving the
// stream; nullopt when no PNG signature and header chunk are there.
std::optional<std::pair<int, int>> ReadPngSize(TStream& stream);

// The stream a PNG file is decoded from: a regular file is read as it is decoded, so that its
// bytes and the picture are never held at once; a pipe or device, which cannot tell its size, is
// read whole into a memory stream that nobody else holds. Raises EFOpenError as ReadFileBytes does.
std::unique_ptr<TStream> OpenPngFile(const std::string& fileName);

// True when the PNG datastream at the stream's position (after a MacBinary header, when one is
// there) ends before its IEND chunk does: a file cut short. Read chunk by chunk without decoding
// anything, the stream left where it was.
bool PngCutShort(TStream& stream);

// Decodes a PNG file and copies the picture, with its transparency, into bitmap.
void LoadPngFile(const std::string& fileName, TBitmap& bitmap);

}  // namespace pw
