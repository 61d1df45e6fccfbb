// libFuzzer target of the BMP reader: any input must load or fail with a toolkit exception,
// and whatever loads must survive a save and a second load unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/picture_limit.h"
#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/rle.h"
#include "toolkit/stream.h"

namespace {

constexpr std::size_t kFileHeaderSize = 14;  // the bitmap header follows the file header

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSame(const pw::TBitmap& a, const pw::TBitmap& b) {
  Check(a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight());
  Check(a.GetPixelFormat() == b.GetPixelFormat());
  const auto& pa = a.GetPalette();
  const auto& pb = b.GetPalette();
  Check(pb.size() >= pa.size() && std::equal(pa.begin(), pa.end(), pb.begin()));
  const std::size_t used = (static_cast<std::size_t>(a.GetWidth()) * a.GetBitsPerPixel() + 7) / 8;
  for (int y = 0; y < a.GetHeight(); ++y) Check(std::memcmp(a.ScanLine(y), b.ScanLine(y), used) == 0);
}

// The RLE decoder on its own, with a picture of up to 64x64 pixels taken from the first bytes.
void DecodeRleOnly(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return;
  const int width = data[0] % 64 + 1, height = data[1] % 64 + 1;
  const auto format = data[2] & 1 ? pw::TRleFormat::kRle4 : pw::TRleFormat::kRle8;
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * (data[2] & 1 ? 4 : 8) + 7) / 8;
  std::vector<std::uint8_t> pixels(rowBytes * height);  // exact size: any overrun shows under ASan
  pw::DecodeRle(format, {data + 3, size - 3},
                {pixels.data(), static_cast<std::ptrdiff_t>(rowBytes), width, height});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  DecodeRleOnly(data, size);
  if (pw::fuzz::ClaimsALargePicture(data, size, kFileHeaderSize)) return 0;
  pw::TBitmap bitmap;
  try {
    pw::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
    bitmap.LoadFromStream(in);
  } catch (const pw::Exception&) {
    return 0;
  }
  pw::TMemoryStream out;
  bitmap.SaveToStream(out);
  // Read in place, taking the stream's buffer, the same file gives the same picture and the
  // same saved bytes, also when they are read straight from its rows.
  pw::TMemoryStream owned(std::vector<std::uint8_t>(data, data + size));
  pw::TBitmap taken;
  taken.LoadFromMemoryStream(owned);
  CheckSame(bitmap, taken);
  pw::TMemoryStream takenOut;
  taken.SaveToStream(takenOut);
  Check(takenOut.Bytes() == out.Bytes());
  pw::TGatherStream gathered = taken.FileStream();
  std::vector<std::uint8_t> read(out.Bytes().size());
  Check(gathered.Read(read.data(), read.size()) == read.size() && read == out.Bytes());
  out.SetPosition(0);
  pw::TBitmap again;
  again.LoadFromStream(out);  // a file we wrote must read back: an exception here is a defect
  CheckSame(bitmap, again);
  return 0;
}
