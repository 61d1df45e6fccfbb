#include "cli/load_picture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "dib/qvdib.h"
#include "png/kropng.h"
#include "toolkit/errors.h"
#include "toolkit/stream.h"

namespace pw::cli {

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

TBitmap BitmapFromDib(const TQvDIB& dib) {
  TBitmap bitmap;
  bitmap.Assign(&dib);
  const TQvPixelFormat format = dib.GetPixelFormat();
  if (format == qvPf8BitRLE || format == qvPf4BitRLE) {
    const TQvDIBInfos& infos = dib.Internal().DIBInfos;
    TEncodedBits encoded;
    encoded.compression = infos.header.biCompression;
    encoded.bits.assign(infos.Bits(), infos.Bits() + infos.BitsSize());
    bitmap.SetEncodedBits(std::move(encoded));
  }
  return bitmap;
}

TBitmap LoadPicture(const std::string& path) {
  const std::string ext = LowerExtension(path);
  TBitmap picture;
  if (ext == ".bmp") {
    picture.LoadFromFile(path);
  } else if (ext == ".png") {
    LoadPngFile(path, picture);
  } else if (ext == ".dib") {
    TFileStream file(path, TFileMode::fmOpenRead);
    TQvDIB dib;
    dib.LoadFromStream(file);
    picture = BitmapFromDib(dib);
  } else {
    throw Exception(path + ": a picture must be a .bmp, .png or .dib file");
  }
  return picture;
}

}  // namespace pw::cli
