// zlib's stream inflater for the image data, with memory from the system allocator.
// Internal to png/.
#pragma once

#include <cstddef>
#include <cstdint>

#include <zlib.h>

namespace pw {

class TKroInflater {
 public:
  // Raises EKroPNG "PNG LoadStream: Error ZLIB" when zlib cannot be set up.
  TKroInflater();
  ~TKroInflater();
  TKroInflater(const TKroInflater&) = delete;
  TKroInflater& operator=(const TKroInflater&) = delete;

  bool NeedsInput() const { return stream_.avail_in == 0; }
  void SetInput(const std::uint8_t* data, std::size_t count);
  void SetOutput(std::uint8_t* data, std::size_t count);
  std::size_t OutputLeft() const { return stream_.avail_out; }
  // One inflate step without flushing; returns zlib's result code.
  int Inflate() { return inflate(&stream_, Z_NO_FLUSH); }

 private:
  z_stream stream_{};
};

}  // namespace pw
