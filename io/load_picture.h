// Reading a picture file the way the window program reads a system graphic: the extension
// alone, in any letter case, chooses the reader.
#pragma once

#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {
class TQvDIB;
}

namespace pw::io {

// What a picture is read as. Every role but kAny has a size rule, checked against the size the
// file's header claims before any pixel is decoded: a system graphic is 160x80, a sheet at most
// kMaxSheetSide either way.
enum class PictureRole { kAny, kSystemGraphic, kFaceSheet, kUserGlyphs };

// .bmp through the toolkit bitmap's reader, .png through the PNG graphic, .dib through the
// DIB image's stream reader; any other extension fails, and so does a file that holds no image.
// alphaMask, when given, receives a PNG's alpha as 255 - alpha per pixel (empty for no alpha).
TBitmap LoadPicture(const std::string& path, PictureRole role = PictureRole::kAny, TBitmap* alphaMask = nullptr);
// The same readers on a stream; name (a file name) gives the extension and names the picture in
// messages.
TBitmap LoadPicture(TStream& stream, const std::string& name, PictureRole role = PictureRole::kAny,
                    TBitmap* alphaMask = nullptr);
// The same on a memory stream nobody else needs: its buffer may become the picture, or be
// reused by the PNG decoder, instead of being copied.
TBitmap LoadOwnedPicture(TMemoryStream& file, const std::string& name, PictureRole role = PictureRole::kAny,
                         TBitmap* alphaMask = nullptr);

// Raises "NAME: the system graphic is WxH pixels; it must be 160x80" for any other size.
void RequireSystemGraphicSize(const TBitmap& picture, const std::string& name);
void RequireSystemGraphicSize(int width, int height, const std::string& name);

// The built-in glyph sheet gaizi01.
TBitmap LoadBuiltInGlyphs();

// The image as a toolkit bitmap. RLE images pass their encoded bytes along, so that a BMP
// save writes them as they are.
TBitmap BitmapFromDib(const TQvDIB& dib);

}  // namespace pw::io
