#include "png/kropng.h"

#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include "png/messages.h"
#include "png/decoder.h"
#include "toolkit/stream.h"

namespace pw {

namespace {

TKroPNGTime CurrentUtcTime() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  TKroPNGTime t;
  t.Year = static_cast<std::uint16_t>(utc.tm_year + 1900);
  t.Month = static_cast<std::uint8_t>(utc.tm_mon + 1);
  t.Day = static_cast<std::uint8_t>(utc.tm_mday);
  t.Hour = static_cast<std::uint8_t>(utc.tm_hour);
  t.Minute = static_cast<std::uint8_t>(utc.tm_min);
  t.Second = static_cast<std::uint8_t>(utc.tm_sec);
  return t;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKroGraphicFileObject

TKroGraphicFileObject::TKroGraphicFileObject() { HookBitmap(bitmap_); }

void TKroGraphicFileObject::HookBitmap(TBitmap& bitmap) {
  bitmap.OnChange = [this](TGraphic&) { Changed(); };
}

void TKroGraphicFileObject::SetTransparent(bool value) {
  bitmap_.SetTransparent(value);
  TGraphic::SetTransparent(value);
}

void TKroGraphicFileObject::LoadFromStream(TStream& stream) {
  TBitmap loaded;
  loaded.LoadFromStream(stream);
  bitmap_.Assign(&loaded);
}

void TKroGraphicFileObject::SaveToStream(TStream& stream) { bitmap_.SaveToStream(stream); }

void TKroGraphicFileObject::Assign(const TGraphic* source) {
  if (source == this) return;
  if (source != nullptr && dynamic_cast<const TBitmap*>(source) == nullptr) {
    // Another kind of graphic hands itself over through its own AssignTo.
    source->AssignTo(bitmap_);
    return;
  }
  bitmap_.Assign(source);
}

void TKroGraphicFileObject::AssignTo(TGraphic& dest) const { dest.Assign(&bitmap_); }

TBitmap TKroGraphicFileObject::ReleaseBitmap() {
  TBitmap released = bitmap_;
  released.OnChange = nullptr;
  released.OnProgress = nullptr;
  bitmap_.ReleaseImage();
  return released;
}

// ---------------------------------------------------------------------------------------------
// TKroPNG

TKroPNG::TKroPNG() : Time(CurrentUtcTime()) {}

void TKroPNG::SetWidth(int value) {
  if (!alphaMask_.GetEmpty()) alphaMask_.SetWidth(value);
  if (!GetEmpty()) TKroGraphicFileObject::SetWidth(value);
}

void TKroPNG::SetHeight(int value) {
  if (!alphaMask_.GetEmpty()) alphaMask_.SetHeight(value);
  if (!GetEmpty()) TKroGraphicFileObject::SetHeight(value);
}

void TKroPNG::LoadFromStream(TStream& stream) { Load(stream, false); }

void TKroPNG::LoadFromMemoryStream(TMemoryStream& stream) { Load(stream, true); }

void TKroPNG::LoadFromFile(const std::string& fileName) {
  const std::unique_ptr<TStream> file = OpenPngFile(fileName);
  if (auto* memory = dynamic_cast<TMemoryStream*>(file.get())) {
    LoadFromMemoryStream(*memory);
  } else {
    LoadFromStream(*file);
  }
}

void TKroPNG::Load(TStream& stream, bool disposable) {
  // The picture and the records are decoded aside and taken over only when the load succeeded.
  TKroPNGReadStream decoder;
  TBitmap color;
  TBitmap mask;
  TKroPNGTime time = Time;
  TKroPNGChromaticities chromaticities = Chromaticities;
  TKroGIFExtension gifExtension = GifExtension;
  decoder.MacBinary = MacBinary;
  decoder.SourceDisposable = disposable;
  decoder.MaxPixels = MaxPixels;
  decoder.TimeRecord = &time;
  decoder.ChromaticityRecord = &chromaticities;
  decoder.GifRecord = &gifExtension;
  decoder.MaskTarget = &mask;
  if (OnProgress) {
    color.OnProgress = [this](TGraphic&, TProgressStage stage, std::uint8_t percent, bool redraw, const TRect& rect,
                              const std::string& message) { Progress(stage, percent, redraw, rect, message); };
  }
  decoder.ReadFromStream(color, stream, 0);
  color.OnProgress = nullptr;
  Time = time;
  Chromaticities = chromaticities;
  GifExtension = gifExtension;

  // A datastream that ends before any image data leaves the picture, its mask and the
  // description that goes with them as they were.
  if (!decoder.ImageRead()) return;
  description_ = decoder.Description();
  (MaskTarget != nullptr ? *MaskTarget : alphaMask_).Assign(&mask);
  TBitmap& target = ColorTarget != nullptr ? *ColorTarget : ColorBitmap();
  target.Assign(&color);
  TGraphic::SetTransparent(color.GetTransparent());
  PaletteModified = true;
}

void TKroPNG::AssignTo(TGraphic& dest) const { dest.Assign(ColorTarget != nullptr ? ColorTarget : &Bitmap()); }

void TKroPNG::SaveToStream(TStream&) { throw EKroPNG(kropng_msg::kNoEncoder); }

void TKroPNG::Assign(const TGraphic* source) {
  if (const auto* other = dynamic_cast<const TKroPNG*>(source)) {
    if (other == this) return;
    ColorBitmap().Assign(&other->Bitmap());
    alphaMask_.Assign(&other->alphaMask_);
    description_ = other->description_;
    TGraphic::SetTransparent(other->GetTransparent());
    return;
  }
  TKroGraphicFileObject::Assign(source);
}

// ---------------------------------------------------------------------------------------------

TFileFormatRegistration RegisterKroPNG() {
  return TFileFormatRegistration("PNG", "PNG Format", [] { return std::unique_ptr<TGraphic>(std::make_unique<TKroPNG>()); });
}

std::optional<std::pair<int, int>> ReadPngSize(TStream& stream) {
  // Signature, the header chunk's length and type, width and height, big-endian; a MacBinary
  // header puts 128 bytes in front.
  constexpr std::uint8_t kStart[16] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  constexpr std::size_t kMacBinary = 128;
  std::array<std::uint8_t, kMacBinary + 24> head{};
  const std::int64_t start = stream.GetPosition();
  const std::size_t got = stream.Read(head.data(), head.size());
  stream.SetPosition(start);
  for (const std::size_t at : {std::size_t{0}, kMacBinary}) {
    if (got < at + 24 || std::memcmp(head.data() + at, kStart, sizeof kStart) != 0) continue;
    const auto u32 = [&](std::size_t i) {
      return std::uint32_t{head[i]} << 24 | std::uint32_t{head[i + 1]} << 16 | std::uint32_t{head[i + 2]} << 8 | head[i + 3];
    };
    const std::uint32_t width = u32(at + 16), height = u32(at + 20);
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return std::nullopt;
    return std::pair{static_cast<int>(width), static_cast<int>(height)};
  }
  return std::nullopt;
}

std::unique_ptr<TStream> OpenPngFile(const std::string& fileName) {
  std::error_code error;
  if (std::filesystem::is_regular_file(fileName, error)) return std::make_unique<TFileStream>(fileName, TFileMode::fmOpenRead);
  return std::make_unique<TMemoryStream>(ReadFileBytes(fileName));
}

bool PngCutShort(TStream& stream) {
  constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  constexpr std::uint32_t kIEND = 0x49454E44;
  constexpr std::int64_t kMacBinary = 128;
  const std::int64_t start = stream.GetPosition();
  const std::int64_t size = stream.GetSize() - start;
  // Reads n bytes at offset (from start) into out; false past the end.
  const auto read = [&](std::int64_t offset, std::uint8_t* out, std::size_t n) {
    stream.SetPosition(start + offset);
    return stream.Read(out, n) == n;
  };
  std::int64_t at = -1;
  for (const std::int64_t offset : {std::int64_t{0}, kMacBinary}) {
    std::uint8_t head[8] = {};
    stream.SetPosition(start + offset);
    const std::size_t got = stream.Read(head, sizeof head);
    if (got > 0 && std::memcmp(head, kSignature, got) == 0) {
      at = got == sizeof head ? offset + 8 : size;  // a signature cut short ends the search
      break;
    }
  }
  bool cut = false;
  // Chunk by chunk: length, type, data and CRC, until IEND or the end of the data.
  while (at >= 0) {
    std::uint8_t chunk[8];
    if (at >= size || !read(at, chunk, sizeof chunk)) {
      cut = true;
      break;
    }
    const std::int64_t length = std::int64_t{chunk[0]} << 24 | chunk[1] << 16 | chunk[2] << 8 | chunk[3];
    const std::uint32_t type = std::uint32_t{chunk[4]} << 24 | chunk[5] << 16 | chunk[6] << 8 | chunk[7];
    at += 12 + length;
    if (at > size) {
      cut = true;
      break;
    }
    if (type == kIEND) break;
  }
  stream.SetPosition(start);
  return cut;
}

void LoadPngFile(const std::string& fileName, TBitmap& bitmap) {
  TKroPNG png;
  png.LoadFromFile(fileName);
  bitmap.Assign(&png);
}

}  // namespace pw
