// Every text the PNG reader and writer show to users, spelled once.
#pragma once

namespace pw::kropng_msg {

inline constexpr const char* kNotPng = "PNG LoadStream: Not PNG Format";
inline constexpr const char* kTwoIhdr = "Read Header(PNG): appear two IHDR";
inline constexpr const char* kColorType = "Read Header(PNG): Error ColorType";
inline constexpr const char* kCompression = "Read Header(PNG): not support Compression";
inline constexpr const char* kFilter = "Read Header(PNG): not supprt Filter";
inline constexpr const char* kInterlace = "Read Header(PNG): not interlace type";
// "Bitdepth" for grey images, "BitDepth" for RGB and palette images.
inline constexpr const char* kGreyBitDepth = "Read Header(PNG): Error Bitdepth";
inline constexpr const char* kGreyAlpha = "Read Header(PNG): not Use AlphaChannel";
inline constexpr const char* kBitDepth = "Read Header(PNG): Error BitDepth";
inline constexpr const char* kZlib = "PNG LoadStream: Error ZLIB";
inline constexpr const char* kReadError = "Read Image (PNG): Read Error";
// Limits of this reader: a chunk length of 2^31 or more, or one too short for the fields its
// handler reads; an image of zero width or height or more pixels than the reader accepts.
inline constexpr const char* kChunkLength = "Read Header(PNG): Invalid chunk length";
inline constexpr const char* kImageSize = "Read Header(PNG): Invalid image size";
// The reader has no encoder.
inline constexpr const char* kNoEncoder = "PNG SaveStream: not support";
// The writer: a picture of zero width or height has no PNG form.
inline constexpr const char* kEmptyImage = "PNG SaveStream: Empty image";
// The writer's own deflated data did not inflate again while its bands were joined.
inline constexpr const char* kDeflateJoin = "PNG SaveStream: Error ZLIB";

}  // namespace pw::kropng_msg
