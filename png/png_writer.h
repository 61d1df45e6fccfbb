// PNG output: a toolkit bitmap written as a PNG datastream, beside the reader TKroPNG (which
// keeps refusing to save). The rows are deflated by libdeflate; zlib computes the CRCs and finds
// the block ends where bands of rows deflated apart are joined.
#pragma once

#include <string>

#include "toolkit/animation.h"
#include "toolkit/bitmap.h"

namespace pw {

class TStream;

// Writes the bitmap as a PNG datastream at the stream's position: 1-, 4- and 8-bit pictures as
// palette images of the same bit depth (PLTE with the entries up to the highest one the pixels
// use), every other format as 8-bit RGB. A bitmap with its transparency flag set and a fixed
// transparent colour gets a tRNS chunk for that colour. Raises EKroPNG for a picture without
// pixels; errors of the stream pass through.
void WritePng(const TBitmap& bitmap, TStream& stream);

// Writes an animated PNG (8-bit RGBA): the still picture as the default image, which is no frame
// of the animation, so that viewers without animation show it; then every frame as its
// rectangle of change (the first whole, one pixel where nothing changed), shown for its
// ticks / 60 s, replacing what lay there (blend source, dispose none); acTL's num_plays is the
// animation's plays. Frames are deflated and written one at a time. Raises EKroPNG for an
// animation without frames or pixels.
void WriteApng(const TAnimation& animation, TStream& stream);

// Writes the bitmap as a PNG file through a temporary file renamed over fileName when complete,
// so that a failed save leaves an existing file as it was (the rules of the bitmap's BMP save).
void SavePngFile(const TBitmap& bitmap, const std::string& fileName);

// True when fileName's extension (FileExtension) is png, in any letter case; ".png", a name that is
// only a dot and the extension, is a PNG file name too.
bool IsPngFileName(const std::string& fileName);

// Saves a picture in the format its name asks for: PNG for names ending in .png (any case),
// the bitmap's own BMP file for every other name.
void SavePictureFile(TBitmap& picture, const std::string& fileName);

}  // namespace pw
