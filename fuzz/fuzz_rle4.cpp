// libFuzzer target of the RLE4 decoding step (and of the encoder, through a round trip).
#include "fuzz/rle_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  pw::fuzz::FuzzRle(4, data, size);
  return 0;
}
