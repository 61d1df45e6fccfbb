// PNG datastream: signature, chunk loop and the handlers of every chunk but IDAT.
#include "png/decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "png/messages.h"

namespace pw {

namespace {

constexpr std::uint32_t ChunkType(const char (&name)[5]) {
  return (std::uint32_t{static_cast<unsigned char>(name[0])} << 24) |
         (std::uint32_t{static_cast<unsigned char>(name[1])} << 16) |
         (std::uint32_t{static_cast<unsigned char>(name[2])} << 8) | std::uint32_t{static_cast<unsigned char>(name[3])};
}

constexpr std::uint32_t kIHDR = ChunkType("IHDR");
constexpr std::uint32_t kPLTE = ChunkType("PLTE");
constexpr std::uint32_t kIDAT = ChunkType("IDAT");
constexpr std::uint32_t kIEND = ChunkType("IEND");
constexpr std::uint32_t kTRNS = ChunkType("tRNS");
constexpr std::uint32_t kBKGD = ChunkType("bKGD");
constexpr std::uint32_t kGAMA = ChunkType("gAMA");
constexpr std::uint32_t kSBIT = ChunkType("sBIT");
constexpr std::uint32_t kPHYS = ChunkType("pHYs");
constexpr std::uint32_t kCHRM = ChunkType("cHRM");
constexpr std::uint32_t kTIME = ChunkType("tIME");
constexpr std::uint32_t kGIFG = ChunkType("gIFg");
constexpr std::uint32_t kTEXT = ChunkType("tEXt");
constexpr std::uint32_t kTPNG = ChunkType("tpNg");

constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr char kCommentKeyword[] = "Comment";

}  // namespace

TKroPNGDescription TKroPNGReadStream::Description() const {
  TKroPNGDescription d;
  d.HasAlpha = hasAlpha_;
  d.Comment = comment_;
  d.BackgroundColor = backgroundColor_;
  d.TransparentColor = transparentColor_;
  d.InterlaceMethod = interlace_;
  d.Gamma = gamma_;
  d.PhysicalUnit = physicalUnit_;
  d.PixelsPerUnitX = pixelsPerUnitX_;
  d.PixelsPerUnitY = pixelsPerUnitY_;
  d.SignificantBits = significantBits_;
  d.BitDepth = bitDepth_;
  d.Greyscale = greyscale_;
  return d;
}

void TKroPNGReadStream::ReadImage() {
  ProgressStart();
  ProgressBeginStage(TProgressMode::Bytes, 0, 30);
  ResetState();
  ReadSignature();
  RunChunkLoop();
  ApplyTransparency();
  ProgressEnd();
}

void TKroPNGReadStream::ResetState() {
  maskInUse_ = nullptr;
  perEntryAlpha_ = hasAlpha_ = false;
  alphaChannel_ = greyscale_ = false;
  interlace_ = 0;
  colorTypeBase_ = -1;
  backgroundColor_ = transparentColor_ = -1;
  significantBits_ = 0;
  gamma_ = 0.0;
  paletteAlpha_.fill(255);
  if (TimeRecord != nullptr) *TimeRecord = TKroPNGTime{};
  if (GifRecord != nullptr) *GifRecord = TKroGIFExtension{};
  if (ChromaticityRecord != nullptr) *ChromaticityRecord = TKroPNGChromaticities{};
  bitDepth_ = 0;
  headerSeen_ = imageDone_ = endSeen_ = paletteSeen_ = privateSeen_ = false;
}

void TKroPNGReadStream::ReadSignature() {
  std::uint8_t signature[8] = {};
  ReadBytes(signature, sizeof signature);
  if (EndOfData() || std::memcmp(signature, kSignature, sizeof signature) != 0) throw EKroPNG(kropng_msg::kNotPng);
}

void TKroPNGReadStream::RunChunkLoop() {
  while (!EndOfData() && !Stopped() && !endSeen_) {
    const auto length = static_cast<std::uint32_t>(ReadU32());
    chunkType_ = static_cast<std::uint32_t>(ReadU32());
    // Chunk lengths are limited to 2^31 - 1 by the PNG specification. Behind a complete image
    // such a length is taken for trailing bytes that are no chunk: the read ends there, as it
    // does when the data runs out.
    if (length > 0x7FFFFFFFu) {
      if (!imageDone_) throw EKroPNG(kropng_msg::kChunkLength);
      EndData();
      break;
    }
    chunkRemaining_ = length;
    HandleChunk();
    if (chunkRemaining_ > 0) Skip(chunkRemaining_);
    ReadU32();  // CRC, not checked
  }
}

bool TKroPNGReadStream::HoldsFields(std::int64_t count) const { return chunkRemaining_ >= count; }

// Chunks that are not accepted in the current state are skipped whole by the loop.
void TKroPNGReadStream::HandleChunk() {
  const bool h = headerSeen_, d = imageDone_, p = paletteSeen_;
  const bool rgbOrPalette = colorTypeBase_ == 2 || colorTypeBase_ == 3;
  switch (chunkType_) {
    case kIHDR: ReadHeader(); break;
    case kPLTE: if (h && !d && !p && rgbOrPalette) ReadPalette(); break;
    case kTRNS: if (h && !d && !alphaChannel_) ReadTransparency(); break;
    case kBKGD: if (h && !d) ReadBackground(); break;
    case kGAMA: if (h && !d && !p) ReadGamma(); break;
    case kSBIT: if (h && !d && !p && rgbOrPalette) ReadSignificantBits(); break;
    case kPHYS: if (h && !d) ReadPhysicalSize(); break;
    case kCHRM:
      if (h && !d && !p && chunkRemaining_ == 32 && ChromaticityRecord != nullptr) ReadChromaticities();
      break;
    case kTIME: if (chunkRemaining_ == 7 && TimeRecord != nullptr) ReadTime(); break;
    case kGIFG:
      if (h && !d && !p && chunkRemaining_ == 4 && GifRecord != nullptr) ReadGifExtension();
      break;
    case kTEXT: if (chunkRemaining_ > 0) ReadText(); break;
    // The encoder's private chunk holds nothing this reader uses; it is only noted.
    case kTPNG: if (h && !d && !privateSeen_) privateSeen_ = true; break;
    case kIDAT: ReadImageData(); break;
    case kIEND: endSeen_ = true; break;
    default: break;
  }
}

void TKroPNGReadStream::ReadHeader() {
  if (headerSeen_) throw EKroPNG(kropng_msg::kTwoIhdr);
  if (!HoldsFields(13)) throw EKroPNG(kropng_msg::kChunkLength);
  width_ = ReadU32();
  height_ = ReadU32();
  bitDepth_ = ReadU8();
  // Only the low three bits of the colour type count: 8 reads as grey, 14 as RGB with alpha.
  const int colorType = ReadU8() & 7;
  if (colorType == 1 || colorType == 5 || colorType == 7) throw EKroPNG(kropng_msg::kColorType);
  alphaChannel_ = (colorType & 4) != 0;
  colorTypeBase_ = alphaChannel_ ? (colorType & 3) : colorType;
  greyscale_ = colorTypeBase_ == 0;
  if (ReadU8() > 1) throw EKroPNG(kropng_msg::kCompression);
  if (ReadU8() > 1) throw EKroPNG(kropng_msg::kFilter);
  const int interlace = ReadU8();
  if (interlace > 1) throw EKroPNG(kropng_msg::kInterlace);
  interlace_ = interlace;
  headerSeen_ = true;
  chunkRemaining_ -= 13;
  StepProgress();
}

void TKroPNGReadStream::ReadPalette() {
  const int n = static_cast<int>(std::min<std::int64_t>(chunkRemaining_ / 3, 256));
  TPaletteTable& table = PaletteTable();
  for (int i = 0; i < n; ++i) {
    auto& entry = table[static_cast<std::size_t>(i)];
    entry[2] = ReadU8();  // stored blue, green, red
    entry[1] = ReadU8();
    entry[0] = ReadU8();
    entry[3] = 0;
  }
  paletteCount_ = n;
  chunkRemaining_ -= 3 * n;
  paletteSeen_ = true;
  StepProgress();
}

std::int32_t TKroPNGReadStream::GreyKeyColor(std::uint16_t sample) const {
  int v;
  switch (bitDepth_) {
    // Low-depth pixels carry the grey levels of the ramp, 255 / (2^depth - 1) per step.
    case 1: v = (sample & 1) * 255; break;
    case 2: v = (sample & 3) * 85; break;
    case 4: v = (sample & 15) * 17; break;
    case 16: v = sample >> 8; break;
    default: v = sample & 0xFF; break;
  }
  return v * 0x010101;
}

std::int32_t TKroPNGReadStream::GreyBackgroundColor(std::uint16_t sample) const {
  // The sample itself in all three channels; of a 16-bit sample its high byte. An 8-bit or
  // lower depth keeps the low byte, so that an out-of-range sample still gives a colour.
  const int v = bitDepth_ == 16 ? sample >> 8 : sample & 0xFF;
  return v * 0x010101;
}

bool TKroPNGReadStream::ReadSampleColor(GreyMapping grey, std::int32_t& color) {
  if (colorTypeBase_ == 0) {
    if (!HoldsFields(2)) return false;
    const std::uint16_t sample = ReadU16();
    chunkRemaining_ -= 2;
    color = (this->*grey)(sample);
    return true;
  }
  if (!HoldsFields(6)) return false;
  color = RgbSampleColor();
  return true;
}

std::int32_t TKroPNGReadStream::RgbSampleColor() {
  std::int32_t color = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const std::uint16_t sample = ReadU16();
    const int v = bitDepth_ == 16 ? sample >> 8 : sample & 0xFF;
    color |= v << shift;
  }
  chunkRemaining_ -= 6;
  return color;
}

void TKroPNGReadStream::ReadTransparency() {
  switch (colorTypeBase_) {
    case 0:
    case 2:
      if (!ReadSampleColor(&TKroPNGReadStream::GreyKeyColor, transparentColor_)) return;
      break;
    case 3: {
      if (!paletteSeen_) return;
      const auto n = std::min<std::int64_t>(chunkRemaining_, paletteCount_);
      // An empty tRNS gives no alpha values; reading zero bytes would end the whole read.
      if (n <= 0) return;
      ReadBytes(paletteAlpha_.data(), n);
      chunkRemaining_ -= n;
      transparentColor_ = kPerEntryAlpha;
      break;
    }
    default: return;
  }
  StepProgress();
}

void TKroPNGReadStream::ReadBackground() {
  switch (colorTypeBase_) {
    case 0:
    case 2:
      if (!ReadSampleColor(&TKroPNGReadStream::GreyBackgroundColor, backgroundColor_)) return;
      break;
    case 3:
      if (!HoldsFields(1)) return;
      backgroundColor_ = kPaletteColor + ReadU8();
      chunkRemaining_ -= 1;
      break;
    default: return;
  }
  StepProgress();
}

void TKroPNGReadStream::ReadGamma() {
  if (!HoldsFields(4)) return;
  gamma_ = static_cast<std::uint32_t>(ReadU32()) / 100000.0;
  chunkRemaining_ -= 4;
  StepProgress();
}

void TKroPNGReadStream::ReadSignificantBits() {
  const int count = alphaChannel_ ? 4 : 3;
  if (!HoldsFields(count)) return;
  std::uint32_t bits = 0;
  for (int i = 0; i < count; ++i) bits |= std::uint32_t{ReadU8()} << (8 * i);
  significantBits_ = bits;
  chunkRemaining_ -= count;
  StepProgress();
}

void TKroPNGReadStream::ReadPhysicalSize() {
  if (!HoldsFields(9)) return;
  pixelsPerUnitX_ = static_cast<std::uint32_t>(ReadU32());
  pixelsPerUnitY_ = static_cast<std::uint32_t>(ReadU32());
  physicalUnit_ = ReadU8();
  chunkRemaining_ -= 9;
  StepProgress();
}

void TKroPNGReadStream::ReadChromaticities() {
  TKroPNGChromaticities& c = *ChromaticityRecord;
  for (std::uint32_t* field : {&c.WhiteX, &c.WhiteY, &c.RedX, &c.RedY, &c.GreenX, &c.GreenY, &c.BlueX, &c.BlueY})
    *field = static_cast<std::uint32_t>(ReadU32());
  chunkRemaining_ -= 32;
  StepProgress();
}

void TKroPNGReadStream::ReadTime() {
  TKroPNGTime& t = *TimeRecord;
  t.Year = ReadU16();
  t.Month = ReadU8();
  t.Day = ReadU8();
  t.Hour = ReadU8();
  t.Minute = ReadU8();
  t.Second = ReadU8();
  chunkRemaining_ -= 7;
  StepProgress();
}

void TKroPNGReadStream::ReadGifExtension() {
  ReadBytes(GifRecord->Bytes, 4);
  chunkRemaining_ -= 4;
  StepProgress();
}

// A "Comment" tEXt appends its text and CR LF to the comment (CR LF between two texts too).
void TKroPNGReadStream::ReadText() {
  const std::int64_t length = chunkRemaining_;
  chunkRemaining_ = 0;
  if (length > Remaining()) {
    Skip(length);  // the chunk runs past the data: ends the read without allocating for it
    return;
  }
  std::vector<char> text(static_cast<std::size_t>(length));
  ReadBytes(text.data(), length);
  const auto zero = std::find(text.begin(), text.end(), '\0');
  if (zero == text.end() || zero + 1 == text.end()) return;
  if (std::string(text.begin(), zero) != kCommentKeyword) return;
  if (!comment_.empty()) comment_ += "\r\n";
  comment_.append(zero + 1, text.end());
  comment_ += "\r\n";
  StepProgress();
}

}  // namespace pw
