// libFuzzer target of the PNG reader: any input must load or fail with a toolkit exception.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "png/kropng.h"
#include "toolkit/stream.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The message of a failed load, "" for a load that succeeds.
std::string Load(pw::TKroPNG& png, const std::uint8_t* data, std::size_t size, bool disposable) {
  png.MaxPixels = std::int64_t{1} << 22;  // keeps every run small; the limit itself is tested elsewhere
  pw::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  try {
    if (disposable) png.LoadFromMemoryStream(stream);
    else png.LoadFromStream(stream);
  } catch (const pw::Exception& e) {
    return e.what();
  }
  return "";
}

}  // namespace

// A stream the decoder may rearrange and release gives the same picture, or the same failure,
// as a caller's stream.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pw::TKroPNG plain, disposable;
  const std::string failure = Load(plain, data, size, false);
  Check(Load(disposable, data, size, true) == failure);
  if (!failure.empty()) return 0;
  const pw::TBitmap& a = plain.Bitmap();
  const pw::TBitmap& b = disposable.Bitmap();
  Check(a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() && a.GetPixelFormat() == b.GetPixelFormat());
  Check(a.GetPalette() == b.GetPalette());
  const std::size_t used = (static_cast<std::size_t>(a.GetWidth()) * a.GetBitsPerPixel() + 7) / 8;
  for (int y = 0; y < a.GetHeight(); ++y) Check(std::memcmp(a.ScanLine(y), b.ScanLine(y), used) == 0);
  return 0;
}
