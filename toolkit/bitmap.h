// The toolkit bitmap: a picture of a given size and pixel format with an optional palette,
// rows in DIB layout (each padded to 4 bytes), shared between copies until one is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/color.h"
#include "toolkit/graphic.h"
#include "toolkit/size_limits.h"
#include "toolkit/stream.h"

namespace pw {

class TMemoryStream;

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum class TTransparentMode { tmAuto, tmFixed };

struct TPaletteEntry {
  std::uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};
using TPaletteEntries = std::vector<TPaletteEntry>;

// Bits per pixel of the rows of a format. Device-dependent and custom bitmaps hold 32-bit
// pixels (blue, green, red, unused); 15- and 16-bit pixels are little-endian 5-5-5 and 5-6-5.
int BitsPerPixel(TPixelFormat format);
// Row stride in bytes: rows padded to a multiple of 4 bytes.
std::size_t BytesPerRow(int width, int bitsPerPixel);

// The pixel bytes of a run-length encoded BMP as they were read, so that a save can write
// them back unchanged. Any write to the pixels drops them.
struct TEncodedBits {
  std::uint32_t compression = 0;  // 1 RLE8, 2 RLE4
  std::vector<std::uint8_t> bits;
};

class TBitmap : public TGraphic {
 public:
  TBitmap();
  // Copies share the image until one of them writes to it.
  TBitmap(const TBitmap& other) = default;
  TBitmap& operator=(const TBitmap& other) = default;

  const char* ClassName() const override { return "TBitmap"; }
  int GetWidth() const override { return image_->width; }
  int GetHeight() const override { return image_->height; }
  bool GetEmpty() const override { return image_->width == 0 || image_->height == 0; }
  void SetWidth(int value) override { SetSize(value, image_->height); }
  void SetHeight(int value) override { SetSize(image_->width, value); }
  // Resizes, keeping the overlapping top-left part of the picture; new pixels are 0.
  void SetSize(int width, int height);

  TPixelFormat GetPixelFormat() const { return image_->format; }
  // Changes the format, converting the pixels by colour: to an indexed format each pixel
  // takes the nearest entry of the bitmap's palette (a standard one when it has none that fits).
  void SetPixelFormat(TPixelFormat format);
  int GetBitsPerPixel() const { return BitsPerPixel(image_->format); }
  std::size_t GetStride() const { return image_->stride; }

  const TPaletteEntries& GetPalette() const { return image_->palette; }
  bool HasPalette() const { return !image_->palette.empty(); }
  // Replaces the colour table; pixel values are kept as they are.
  void SetPalette(TPaletteEntries entries);

  // Row y counted from the top. The writable form makes the image private first.
  const std::uint8_t* ScanLine(int y) const;
  std::uint8_t* ScanLine(int y);

  // Colour of a pixel (indexed pixels through the palette); -1 outside the bitmap.
  TColor GetPixelColor(int x, int y) const;
  // Writes a colour; indexed bitmaps store the nearest palette entry. Outside: ignored.
  void SetPixelColor(int x, int y, TColor color);
  // Fills the whole bitmap with one colour.
  void Fill(TColor color);

  TColor GetTransparentColor() const { return transparentColor_; }
  // Sets the colour and the fixed transparent mode.
  void SetTransparentColor(TColor color);
  TTransparentMode GetTransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }

  // Drops the picture: an empty 0x0 device-format bitmap without palette.
  void ReleaseImage();

  // TBitmap sources share the image and take over the three transparency attributes;
  // a null source empties this bitmap; other sources assign themselves through AssignTo.
  void Assign(const TGraphic* source) override;
  void Draw(TBitmap& target, const TRect& rect) const override;

  // BMP file reading and writing.
  void LoadFromStream(TStream& stream) override;
  // Reads as LoadFromStream does from the stream's position, but uncompressed rows that are all
  // there take over the stream's buffer instead of being copied, which leaves the stream empty.
  void LoadFromMemoryStream(TMemoryStream& stream);
  void SaveToStream(TStream& stream) override;
  // The bytes SaveToStream writes, as a stream that reads them straight from the pixels; it
  // must not outlive the picture or be read after a change to it.
  TGatherStream FileStream() const;
  // Saves through ReplaceFile: a failed save never destroys an existing file, and a symbolic
  // link, the permission bits and the owner of the old file are kept.
  void SaveToFile(const std::string& fileName) override;
  // Reads a packed DIB (info header, colour table, pixels; no file header), as resources hold.
  void LoadFromPackedDib(const std::uint8_t* data, std::size_t size);

  const TEncodedBits* GetEncodedBits() const { return image_->encoded.get(); }
  void SetEncodedBits(TEncodedBits encoded);
  // biCompression of the BMP file the picture was read from (0 none, 1 RLE8, 2 RLE4,
  // 3 bit fields); 0 for pictures made otherwise.
  std::uint32_t GetFileCompression() const { return image_->fileCompression; }

 private:
  struct Image {
    int width = 0;
    int height = 0;
    TPixelFormat format = TPixelFormat::pfDevice;
    std::size_t stride = 0;
    // The rows from offset on: top-down, or bottom-up as a BMP file read in place keeps them.
    std::vector<std::uint8_t> pixels;
    std::size_t offset = 0;
    bool bottomUp = false;
    TPaletteEntries palette;
    std::shared_ptr<const TEncodedBits> encoded;
    std::uint32_t fileCompression = 0;

    const std::uint8_t* Row(int y) const { return pixels.data() + RowOffset(y); }
    std::uint8_t* Row(int y) { return pixels.data() + RowOffset(y); }
    std::size_t RowOffset(int y) const {
      return offset + stride * static_cast<std::size_t>(bottomUp ? height - 1 - y : y);
    }
  };
  Image& Unique();
  // The BMP file as pieces: the header, kept in head, then the pixel data as stored (the
  // uncompressed rows bottom-up, with zeros after each row's last pixel). None when empty.
  TFilePieces FilePieces(std::vector<std::uint8_t>& head) const;
  // BMP reading; owner, when given, is the stream whose buffer the pixels may take over.
  void Load(TStream& stream, TMemoryStream* owner);
  static std::shared_ptr<Image> MakeImage(int width, int height, TPixelFormat format);

  std::shared_ptr<Image> image_;
  TColor transparentColor_ = clBlack;
  TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
};

// The width and height a BMP file's header at the stream's position claims (the height's
// magnitude for top-down rows), read without decoding anything and without moving the stream;
// nullopt when the stream does not start with a BMP header that gives a positive size.
std::optional<std::pair<int, int>> ReadBmpSize(TStream& stream);
// True when a BMP file at the stream's position ends inside its headers or before the offset
// its file header gives for the pixels: a file cut short. Read without decoding anything and
// without moving the stream.
bool BmpCutShort(TStream& stream);

// Standard colour tables for 1, 4 and 8 bits per pixel (black/white, the 16 VGA colours,
// a 6x6x6 colour cube followed by greys).
TPaletteEntries DefaultPalette(int bitsPerPixel);
// Index of the entry nearest to colour (squared RGB distance; first one on ties).
int NearestPaletteIndex(const TPaletteEntries& palette, TColor color);

}  // namespace pw
