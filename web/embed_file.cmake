# Writes a C++ source whose function NAME (in pw::web) returns the bytes of the file INPUT:
#   cmake -DINPUT=FILE -DOUTPUT=SOURCE.cpp -DNAME=Function -P embed_file.cmake
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT} by embed_file.cmake.
#include <cstdint>
#include <span>

namespace pw::web {
std::span<const std::uint8_t> ${NAME}() {
  static constexpr std::uint8_t bytes[] = {
${bytes}};
  return bytes;
}
}  // namespace pw::web
")
