// libFuzzer target of the PNG reader: any input must load or fail with a toolkit exception.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/kropng.h"
#include "toolkit/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pw::TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  pw::TKroPNG png;
  png.MaxPixels = std::int64_t{1} << 22;  // keeps every run small; the limit itself is tested elsewhere
  try {
    png.LoadFromStream(stream);
  } catch (const pw::Exception&) {
  }
  return 0;
}
