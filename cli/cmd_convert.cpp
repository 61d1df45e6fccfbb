// panelwright-cli convert: reads a picture as the program reads a system graphic, optionally
// changes its colour depth or RLE-compresses it through the DIB image, and writes it as a
// BMP file (through the toolkit bitmap), a PNG file or a DIB stream.
#include <optional>
#include <string>

#include "cli/commands.h"
#include "io/depth.h"
#include "io/load_picture.h"
#include "dib/qvdib.h"
#include "png/png_writer.h"
#include "toolkit/bitmap.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/replace_file.h"
#include "toolkit/stream.h"

namespace pw::cli {

const char* const kConvertUsage =
    "usage: panelwright-cli convert IN OUT [--depth 1|4|8|24|halftone|halftone-bw] [--high] [--rle]\n"
    "\n"
    "Reads IN (.bmp, .png or .dib, by extension) and writes OUT: a .bmp file through the\n"
    "bitmap writer, a .png file through the PNG writer, a .dib file through the DIB image's\n"
    "stream writer. Without options the picture keeps its own pixel format.\n"
    "\n"
    "  --depth N     set the colour depth first: 1, 4, 8 or 24 bits, or halftone (8 bits, fixed\n"
    "                palette) or halftone-bw (1 bit, black and white)\n"
    "  --high        reduce 24 bits to 8 or 4 with the high-quality colour division\n"
    "  --rle         compress a 4- or 8-bit picture with RLE4 or RLE8 (.bmp and .dib only)\n";

namespace {

struct Options {
  std::string in, out;
  std::optional<TQvPixelFormat> depth;
  bool high = false;
  bool rle = false;
};

TQvPixelFormat ParseDepth(const std::string& v) {
  if (const auto bits = io::BitDepthFormat(v)) return *bits;
  if (v == "halftone") return qvPfHalftone;
  if (v == "halftone-bw") return qvPfHalftoneBW;
  throw UsageError{"--depth is 1, 4, 8, 24, halftone or halftone-bw, not '" + v + "'"};
}

Options ParseOptions(const Args& args) {
  Options o;
  std::size_t positional = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--depth") {
      if (i + 1 >= args.size()) throw UsageError{"--depth needs a value"};
      o.depth = ParseDepth(args[++i]);
    } else if (a == "--high") {
      o.high = true;
    } else if (a == "--rle") {
      o.rle = true;
    } else if (a.size() > 1 && a[0] == '-') {
      throw UsageError{"unknown option '" + a + "'"};
    } else if (positional == 0) {
      o.in = a, ++positional;
    } else if (positional == 1) {
      o.out = a, ++positional;
    } else {
      throw UsageError{"convert takes two files, IN and OUT"};
    }
  }
  if (positional != 2) throw UsageError{"convert needs two files, IN and OUT"};
  const std::string outExt = FileExtension(o.out);
  if (outExt != "bmp" && outExt != "dib" && outExt != "png") throw UsageError{"OUT must be a .bmp, .png or .dib file"};
  if (o.rle && outExt == "png") throw UsageError{"--rle writes RLE-compressed BMP data: OUT must be a .bmp or .dib file"};
  if (o.rle && o.depth && *o.depth != qvPf4Bit && *o.depth != qvPf8Bit && *o.depth != qvPfHalftone)
    throw UsageError{"--rle needs a depth of 4 or 8 bits"};
  return o;
}

// The picture through a DIB image, with the requested depth and compression.
void ConvertInDib(const Options& o, TQvDIB& dib) {
  if (o.depth) io::ReduceDepth(dib, *o.depth, o.high);
  if (!o.rle) return;
  const TQvPixelFormat format = dib.GetPixelFormat();
  if (format == qvPf8Bit) dib.SetPixelFormat(qvPf8BitRLE);
  else if (format == qvPf4Bit) dib.SetPixelFormat(qvPf4BitRLE);
  else if (format != qvPf8BitRLE && format != qvPf4BitRLE)
    throw Exception(o.in + ": --rle needs a 4- or 8-bit picture; add --depth 4 or --depth 8");
}

}  // namespace

int RunConvert(const Args& args) {
  const Options o = ParseOptions(args);
  TBitmap picture = io::LoadPicture(o.in);
  const bool toDib = FileExtension(o.out) == "dib";
  if (!o.depth && !o.rle && !toDib) {
    SavePictureFile(picture, o.out);
    return kExitOk;
  }
  TQvDIB dib;
  if (o.depth) {
    dib.Assign(&picture);  // as the colour-depth command copies its picture
  } else {
    // Through the bitmap's own BMP form, which keeps the bytes of RLE pictures, read straight
    // from the picture's rows.
    TGatherStream stream = picture.FileStream();
    dib.LoadFromStream(stream);
  }
  ConvertInDib(o, dib);
  if (toDib) {
    ReplaceFile(o.out, [&dib](TStream& file) { dib.SaveToStream(file); });
  } else {
    TBitmap result = io::BitmapFromDib(dib);
    SavePictureFile(result, o.out);
  }
  return kExitOk;
}

}  // namespace pw::cli
