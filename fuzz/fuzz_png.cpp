// libFuzzer target of the PNG reader: any input must load or fail with a toolkit exception.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "png/kropng.h"
#include "toolkit/stream.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// How the input reaches the decoder: a caller's memory stream, one whose bytes the decoder may
// rearrange and release, and a stream that is not in memory (read through the decoder's buffer,
// as a file is).
enum class Way { kCallersStream, kDisposable, kBuffered };

// The message of a failed load, "" for a load that succeeds.
std::string Load(pw::TKroPNG& png, const std::uint8_t* data, std::size_t size, Way way) {
  png.MaxPixels = std::int64_t{1} << 22;  // keeps every run small; the limit itself is tested elsewhere
  pw::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  pw::TGatherStream buffered({std::span<const std::uint8_t>(data, size)});
  try {
    switch (way) {
      case Way::kCallersStream: png.LoadFromStream(stream); break;
      case Way::kDisposable: png.LoadFromMemoryStream(stream); break;
      case Way::kBuffered: png.LoadFromStream(buffered); break;
    }
  } catch (const pw::Exception& e) {
    return e.what();
  }
  return "";
}

void CheckSamePicture(const pw::TBitmap& a, const pw::TBitmap& b) {
  Check(a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetPixelFormat() == b.GetPixelFormat());
  Check(a.GetPalette() == b.GetPalette());
  const std::size_t used = (static_cast<std::size_t>(a.GetWidth()) * a.GetBitsPerPixel() + 7) / 8;
  for (int y = 0; y < a.GetHeight(); ++y) Check(std::memcmp(a.ScanLine(y), b.ScanLine(y), used) == 0);
}

}  // namespace

// A stream the decoder may rearrange and release, and a stream read through the buffer, give the
// same picture, or the same failure, as a caller's stream.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pw::TKroPNG plain, disposable, buffered;
  const std::string failure = Load(plain, data, size, Way::kCallersStream);
  Check(Load(disposable, data, size, Way::kDisposable) == failure);
  Check(Load(buffered, data, size, Way::kBuffered) == failure);
  if (!failure.empty()) return 0;
  CheckSamePicture(plain.Bitmap(), disposable.Bitmap());
  CheckSamePicture(plain.Bitmap(), buffered.Bitmap());
  return 0;
}
