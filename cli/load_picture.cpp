#include "cli/load_picture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"
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

TBitmap LoadPicture(TStream& stream, const std::string& name) {
  const std::string ext = LowerExtension(name);
  TBitmap picture;
  if (ext == ".bmp") {
    picture.LoadFromStream(stream);
  } else if (ext == ".png") {
    TKroPNG png;
    png.LoadFromStream(stream);
    picture.Assign(&png);
  } else if (ext == ".dib") {
    TQvDIB dib;
    dib.LoadFromStream(stream);
    picture = BitmapFromDib(dib);
  } else {
    throw Exception(name + ": a picture must be a .bmp, .png or .dib file");
  }
  return picture;
}

TBitmap LoadPicture(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext != ".bmp" && ext != ".png" && ext != ".dib") {
    throw Exception(path + ": a picture must be a .bmp, .png or .dib file");
  }
  TMemoryStream file(ReadFileBytes(path));
  return LoadPicture(file, path);
}

void RequireSystemGraphicSize(const TBitmap& picture, const std::string& name) {
  if (picture.GetWidth() != skin::kWidth || picture.GetHeight() != skin::kHeight) {
    throw Exception(name + ": the system graphic is " + std::to_string(picture.GetWidth()) + "x" +
                    std::to_string(picture.GetHeight()) + " pixels; it must be 160x80");
  }
}

TBitmap LoadBuiltInGlyphs() {
  const auto bytes = resources::Gaizi01();
  TBitmap sheet;
  sheet.LoadFromPackedDib(bytes.data(), bytes.size());
  return sheet;
}

}  // namespace pw::cli
