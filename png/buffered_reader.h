// The buffered big-endian reader of a source stream and the image-reader frame around it.
// Internal to png/.
#pragma once

#include <array>
#include <optional>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {

// Reads bytes from a stream through one 64 KiB buffer (a TMemoryStream in place). No primitive
// raises an error of its own: reading past the available data sets EndOfData and yields zeros.
class TKroCustomReadStream {
 public:
  static constexpr std::int64_t kBufferSize = 65536;
  static constexpr std::int64_t kMacBinaryHeaderSize = 128;

  TKroCustomReadStream() = default;
  TKroCustomReadStream(const TKroCustomReadStream&) = delete;
  TKroCustomReadStream& operator=(const TKroCustomReadStream&) = delete;
  virtual ~TKroCustomReadStream() = default;

  bool MacBinary = true;
  bool MacBinaryFound() const { return macBinaryFound_; }
  // Set when the source is a memory stream whose bytes nobody needs after this read: the reader
  // may then rearrange the bytes ahead of it and give back the memory of those it is done with.
  bool SourceDisposable = false;

 protected:
  enum class TProgressMode { Bytes, Rows };

  // Takes a percentage 0..100; returns true to ask for a stop.
  virtual bool ReportProgress(int percent);

  // length <= 0: up to the end of the stream.
  void OpenReader(TStream& source, std::int64_t length);
  // Releases the buffer and leaves the source just behind the last byte consumed.
  void CloseReader();

  std::uint8_t ReadU8();
  std::uint16_t ReadU16();
  std::int32_t ReadU32();
  // A count of 0 or less sets Stopped; a count beyond the data sets EndOfData and copies nothing.
  void ReadBytes(void* destination, std::int64_t count);
  void Skip(std::int64_t count);

  bool EndOfData() const { return endOfData_; }
  // Treats the rest of the data as unreadable: every later read yields nothing.
  void EndData() { endOfData_ = true; }
  bool Stopped() const { return stop_; }
  std::int64_t Consumed() const { return consumed_; }
  // Bytes still available from the current position on.
  std::int64_t Remaining() const { return available_ - consumed_; }
  // The bytes still available when the whole source is in memory and read in place (nothing
  // is consumed); empty for a buffered source.
  std::span<const std::uint8_t> InPlaceRest() const;
  // The same bytes, writable, when the source is disposable; else empty.
  std::span<std::uint8_t> DisposableRest();

  void ProgressStart();
  void ProgressBeginStage(TProgressMode mode, std::int64_t total, int percent);
  void ProgressStep(std::int64_t row);
  void ProgressEnd();

 private:
  // Moves `kept` unread bytes to the buffer start and loads behind them.
  void Refill(std::int64_t kept);
  // True when `count` more bytes can be handed out; sets EndOfData otherwise.
  bool Claim(std::int64_t count);
  // Makes at least `count` (1..4) bytes buffered.
  void EnsureBuffered(std::int64_t count);
  void Report(int percent);

  TStream* source_ = nullptr;
  TMemoryStream* memory_ = nullptr;  // the source when it is read in place, else null
  std::int64_t start_ = 0;
  std::int64_t available_ = 0;
  std::int64_t consumed_ = 0;
  std::vector<std::uint8_t> buffer_;
  const std::uint8_t* pointer_ = nullptr;
  std::int64_t buffered_ = 0;
  bool endOfData_ = false;
  bool stop_ = false;
  bool macBinaryFound_ = false;

  struct Progress {
    std::int64_t base = 0, last = 0, span = 0, remainingSpan = 99;
    TProgressMode mode = TProgressMode::Bytes;
    std::int64_t total = 1, stageStart = 0;
  } progress_;
};

// Decodes one image of some format from a stream into a toolkit bitmap.
class TKroCustomGraphicReadStream : public TKroCustomReadStream {
 public:
  // Decodes from the stream's position; length <= 0 reads up to the end of the stream.
  // The bitmap announces no change while it is written.
  void ReadFromStream(TBitmap& bitmap, TStream& stream, std::int64_t length);

  const std::string& Comment() const { return comment_; }
  std::uint8_t PhysicalUnit() const { return physicalUnit_; }
  std::uint32_t PixelsPerUnitX() const { return pixelsPerUnitX_; }
  std::uint32_t PixelsPerUnitY() const { return pixelsPerUnitY_; }

 protected:
  // Palette entries in file order: blue, green, red, reserved.
  using TPaletteTable = std::array<std::array<std::uint8_t, 4>, 256>;

  bool ReportProgress(int percent) override;
  virtual void ReadImage() = 0;

  TBitmap& Target() { return *target_; }
  TPaletteTable& PaletteTable();
  const TPaletteTable& PaletteTable() const { return *paletteTable_; }
  bool HasPaletteTable() const { return paletteTable_.has_value(); }
  // The first PaletteCount entries of the table as toolkit palette entries.
  TPaletteEntries ToolkitPalette() const;

  int width_ = 0;
  int height_ = 0;
  int bitsPerPixel_ = 0;  // of the bitmap
  int bitDepth_ = 0;
  int paletteCount_ = 0;
  std::string comment_;
  std::uint8_t physicalUnit_ = 0;
  std::uint32_t pixelsPerUnitX_ = 0, pixelsPerUnitY_ = 0;

 private:
  TBitmap* target_ = nullptr;
  std::optional<TPaletteTable> paletteTable_;  // made on first use
};

}  // namespace pw
