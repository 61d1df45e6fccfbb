// Reading a picture file the way the window program reads a system graphic: the extension
// alone, in any letter case, chooses the reader.
#pragma once

#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/stream.h"

namespace pw {
class TQvDIB;
}

namespace pw::cli {

// .bmp through the toolkit bitmap's reader, .png through the PNG graphic, .dib through the
// DIB image's stream reader; any other extension fails.
TBitmap LoadPicture(const std::string& path);
// The same readers on a stream; name (a file name) gives the extension and names the picture in
// messages.
TBitmap LoadPicture(TStream& stream, const std::string& name);

// Raises "NAME: the system graphic is WxH pixels; it must be 160x80" for any other size.
void RequireSystemGraphicSize(const TBitmap& picture, const std::string& name);

// The built-in glyph sheet gaizi01.
TBitmap LoadBuiltInGlyphs();

// The image as a toolkit bitmap. RLE images pass their encoded bytes along, so that a BMP
// save writes them as they are.
TBitmap BitmapFromDib(const TQvDIB& dib);

// The extension of path in lower case, with its dot (".bmp"); empty when there is none.
std::string LowerExtension(const std::string& path);

}  // namespace pw::cli
