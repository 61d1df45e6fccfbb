// libFuzzer target of the DIB image's stream reader and packed-DIB reader: any input must load
// or fail with a library exception; what loads must write and read back byte for byte, and its
// pixels must be readable (RLE data through its decoder).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dib/qvdib.h"
#include "fuzz/picture_limit.h"
#include "toolkit/stream.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The stream starts with a 14-byte file header; the packed DIB is the same bytes after it, so
// in both the bitmap header starts at byte 14.
constexpr std::size_t kFileHeaderSize = 14;

void TouchPixels(pw::TQvDIB& image) {
  const pw::TQvPixelFormat format = image.GetPixelFormat();
  if (format == pw::qvPf8BitRLE || format == pw::qvPf4BitRLE)
    image.SetPixelFormat(format == pw::qvPf8BitRLE ? pw::qvPf8Bit : pw::qvPf4Bit);
  std::int64_t sum = 0;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) sum += image.GetPixels(x, y);
  Check(sum >= 0);
}

void LoadStream(const std::uint8_t* data, std::size_t size) {
  pw::TQvDIB image;
  try {
    pw::TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
    image.LoadFromStream(in);
  } catch (const pw::Exception&) {
    return;
  }
  pw::TMemoryStream out;
  image.SaveToStream(out);
  out.SetPosition(0);
  pw::TQvDIB again;
  again.LoadFromStream(out);  // a stream we wrote must read back: an exception here is a defect
  pw::TMemoryStream second;
  again.SaveToStream(second);
  Check(second.Bytes() == out.Bytes());
  try {
    TouchPixels(image);
  } catch (const pw::EQvDIBError&) {  // bad RLE data, or a header outside the format table
  }
}

void LoadPacked(const std::uint8_t* data, std::size_t size) {
  if (size < kFileHeaderSize) return;
  const std::vector<std::uint8_t> packed(data + kFileHeaderSize, data + size);
  pw::TQvDIB image;
  try {
    image.LoadFromClipboardFormat(pw::CF_DIB, &packed, nullptr);
    TouchPixels(image);
  } catch (const pw::Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (pw::fuzz::ClaimsALargePicture(data, size, kFileHeaderSize)) return 0;
  LoadStream(data, size);
  LoadPacked(data, size);
  return 0;
}
