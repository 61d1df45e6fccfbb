// Reading a picture file the way the window program reads a system graphic: the extension
// alone, in any letter case, chooses the reader.
#pragma once

#include <string>

#include "compose/extras.h"
#include "io/batch_text.h"
#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw {
class TQvDIB;
}

namespace pw::resources {
struct SampleSkin;
}

namespace pw::io {

// A system graphic of another size than 160x80, told from its header or its pixels.
class ESystemGraphicSize : public Exception {
 public:
  ESystemGraphicSize(int width, int height, const std::string& name);
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_;
  int height_;
};

// What a picture is read as. Every role but kAny has a size rule, checked against the size the
// file's header claims before any pixel is decoded: a system graphic is 160x80, a sheet at most
// kMaxSheetSide either way.
enum class PictureRole { kAny, kSystemGraphic, kFaceSheet, kUserGlyphs };

// .bmp through the toolkit bitmap's reader, .png through the PNG graphic, .dib through the
// DIB image's stream reader; any other extension fails, and so does a file that holds no image
// (ENoImage). A reader's failure keeps the reader's message after the file's name, and says when
// the file is cut short: "skin.png: Read Image (PNG): Read Error; the file is cut short".
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

// Raises ESystemGraphicSize, "NAME: the system graphic is WxH pixels; it must be 160x80", for
// any other size.
void RequireSystemGraphicSize(const TBitmap& picture, const std::string& name);
void RequireSystemGraphicSize(int width, int height, const std::string& name);

// A built-in sample skin, read as its BMP file is.
TBitmap LoadSampleSkin(const resources::SampleSkin& skin);

// A face sheet as read, with its alpha (255 - alpha per pixel, empty when it has none).
struct FaceSheet {
  TBitmap picture;
  TBitmap alpha;
};

// A face sheet from a file or from a memory stream nobody else needs (named by name), with the
// size rule of PictureRole::kFaceSheet.
FaceSheet LoadFaceSheet(const std::string& path);
FaceSheet LoadFaceSheet(TMemoryStream& file, const std::string& name);

// The extras with the face of choice drawn from sheet (kept by the caller while they are used):
// its cell, side and flip, the sheet named by choice's file in messages.
WindowExtras WithFace(WindowExtras extras, const FaceSheet& sheet, const FaceChoice& choice);

// The built-in glyph sheet gaizi01.
TBitmap LoadBuiltInGlyphs();

// The image as a toolkit bitmap. RLE images pass their encoded bytes along, so that a BMP
// save writes them as they are.
TBitmap BitmapFromDib(const TQvDIB& dib);

}  // namespace pw::io
