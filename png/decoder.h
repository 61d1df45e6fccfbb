// The PNG decoder: chunk loop, chunk handlers and image reconstruction. Internal to png/.
#pragma once

#include <array>
#include <cstdint>

#include "png/kropng.h"
#include "png/buffered_reader.h"

namespace pw {

class TKroPNGReadStream : public TKroCustomGraphicReadStream {
 public:
  // Colour values of the decoder: -1 none, 0x00BBGGRR a colour, kPaletteColor + i palette
  // entry i, kPerEntryAlpha (transparent colour only) per-entry alpha values from tRNS.
  static constexpr std::int32_t kPaletteColor = 0x01000000;
  static constexpr std::int32_t kPerEntryAlpha = 0x01FFFFFF;

  // Records filled from tIME, cHRM and gIFg when the owner hands them in (not owned).
  TKroPNGTime* TimeRecord = nullptr;
  TKroPNGChromaticities* ChromaticityRecord = nullptr;
  TKroGIFExtension* GifRecord = nullptr;
  // Where the alpha mask goes; without one no mask is made.
  TBitmap* MaskTarget = nullptr;
  std::int64_t MaxPixels = TKroPNG::kDefaultMaxPixels;

  // What the last read found besides the pixels.
  TKroPNGDescription Description() const;
  // Whether the last read reached image data (the bitmap was then made anew).
  bool ImageRead() const { return imageDone_; }

 protected:
  void ReadImage() override;

 private:
  struct ImageData;  // inflater, row buffers and pixel layout of one image (png_image.cpp)

  void ResetState();
  void ReadSignature();
  void RunChunkLoop();
  void HandleChunk();
  // Whether the chunk holds the fields its handler is about to read. An ancillary chunk that
  // is too short is passed over as if absent; a short IHDR ends the read.
  bool HoldsFields(std::int64_t count) const;
  void StepProgress() { ProgressStep(0); }

  void ReadHeader();
  void ReadPalette();
  void ReadTransparency();
  void ReadBackground();
  void ReadGamma();
  void ReadSignificantBits();
  void ReadPhysicalSize();
  void ReadChromaticities();
  void ReadTime();
  void ReadGifExtension();
  void ReadText();
  // The grey sample of tRNS as the colour of the pixels that carry it (the grey ramp's level).
  std::int32_t GreyKeyColor(std::uint16_t sample) const;
  // The grey sample of bKGD as a colour: the sample in all three channels.
  std::int32_t GreyBackgroundColor(std::uint16_t sample) const;
  using GreyMapping = std::int32_t (TKroPNGReadStream::*)(std::uint16_t) const;
  std::int32_t RgbSampleColor();
  // Reads the grey (colour type 0) or RGB (2) sample of tRNS or bKGD into color; false, with
  // nothing read, when the chunk is too short for it.
  bool ReadSampleColor(GreyMapping grey, std::int32_t& color);

  // Image data (png_image.cpp).
  void ReadImageData();
  void PlanPasses(ImageData& image) const;
  void CheckImageSize(const ImageData& image) const;
  void CreateEmptyBitmap();
  void MakeGreyRamp(int depth);
  void ClassifyPaletteAlpha();
  void CreateBitmap(ImageData& image);
  void AllocateRows(ImageData& image);
  // A palette reference becomes the entry's colour (-1 when there is no such entry).
  std::int32_t ResolveColor(std::int32_t color) const;
  void InflateWhole(ImageData& image);
  void RunPasses(ImageData& image);
  void ReadRow(ImageData& image, std::size_t length);
  void UnfilterCurrent(ImageData& image, std::size_t length);
  bool FillInput(ImageData& image);
  void StoreRow(ImageData& image, const std::uint8_t* data, int columns, int y, int x0, int dx);
  void ApplyTransparency();
  void BuildPaletteAlphaMask();

  std::int64_t chunkRemaining_ = 0;
  std::uint32_t chunkType_ = 0;
  bool headerSeen_ = false, imageDone_ = false, endSeen_ = false, paletteSeen_ = false, privateSeen_ = false;
  int colorTypeBase_ = -1;  // 0 grey, 2 RGB, 3 palette
  bool alphaChannel_ = false;
  bool greyscale_ = false;
  int interlace_ = 0;
  std::array<std::uint8_t, 256> paletteAlpha_{};
  std::int32_t transparentColor_ = -1;
  std::int32_t backgroundColor_ = -1;
  double gamma_ = 0.0;
  std::uint32_t significantBits_ = 0;
  bool perEntryAlpha_ = false;
  bool hasAlpha_ = false;
  TBitmap* maskInUse_ = nullptr;
};

}  // namespace pw
