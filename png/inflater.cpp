#include "png/inflater.h"

#include <cstdlib>
#include <limits>

#include "png/kropng.h"
#include "png/messages.h"

namespace pw {

namespace {

voidpf Allocate(voidpf, uInt items, uInt size) {
  if (size != 0 && items > std::numeric_limits<std::size_t>::max() / size) return Z_NULL;
  return std::malloc(static_cast<std::size_t>(items) * size);
}

void Release(voidpf, voidpf address) { std::free(address); }

}  // namespace

TKroInflater::TKroInflater() {
  stream_.zalloc = Allocate;
  stream_.zfree = Release;
  stream_.opaque = Z_NULL;
  if (inflateInit(&stream_) != Z_OK) throw EKroPNG(kropng_msg::kZlib);
  // The Adler-32 value at the end of the data is never read, so zlib need not compute it.
  inflateValidate(&stream_, 0);
}

TKroInflater::~TKroInflater() {
  inflateReset(&stream_);
  inflateEnd(&stream_);
}

void TKroInflater::SetInput(const std::uint8_t* data, std::size_t count) {
  stream_.next_in = const_cast<Bytef*>(data);
  stream_.avail_in = static_cast<uInt>(count);
}

void TKroInflater::SetOutput(std::uint8_t* data, std::size_t count) {
  stream_.next_out = data;
  stream_.avail_out = static_cast<uInt>(count);
}

}  // namespace pw
