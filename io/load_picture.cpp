#include "io/load_picture.h"

#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "compose/compose.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/stream.h"

namespace pw::io {

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

namespace {

bool IsPictureExtension(const std::string& ext) { return ext == "bmp" || ext == "png" || ext == "dib"; }

// The role's size rule on the size the file's header claims; nothing when the header does not
// tell (the reader then reports what is wrong).
void CheckClaimedSize(TStream& stream, const std::string& ext, const std::string& name, PictureRole role) {
  if (role == PictureRole::kAny) return;
  const std::optional<std::pair<int, int>> size = ext == "png" ? ReadPngSize(stream) : ReadBmpSize(stream);
  if (!size) return;
  const auto [width, height] = *size;
  switch (role) {
    case PictureRole::kSystemGraphic: RequireSystemGraphicSize(width, height, name); break;
    case PictureRole::kFaceSheet: RequireSheetSize(width, height, "face sheet", name); break;
    case PictureRole::kUserGlyphs: RequireSheetSize(width, height, "user glyph sheet", name); break;
    case PictureRole::kAny: break;
  }
}

// owner, when given, is the stream itself, whose buffer a BMP picture may take over and a PNG
// decoder may reuse.
TBitmap ReadPicture(TStream& stream, TMemoryStream* owner, const std::string& ext, TBitmap* alphaMask) {
  TBitmap picture;
  if (ext == "bmp") {
    if (owner != nullptr) picture.LoadFromMemoryStream(*owner);
    else picture.LoadFromStream(stream);
  } else if (ext == "png") {
    TKroPNG png;
    if (owner != nullptr) png.LoadFromMemoryStream(*owner);
    else png.LoadFromStream(stream);
    picture.Assign(&png);
    if (alphaMask != nullptr) *alphaMask = png.AlphaMask();
  } else {
    TQvDIB dib;
    dib.LoadFromStream(stream);
    picture = BitmapFromDib(dib);
  }
  return picture;
}

TBitmap LoadPicture(TStream& stream, TMemoryStream* owner, const std::string& name, PictureRole role,
                    TBitmap* alphaMask) {
  const std::string ext = FileExtension(name);
  if (!IsPictureExtension(ext)) throw Exception(name + ": a picture must be a .bmp, .png or .dib file");
  CheckClaimedSize(stream, ext, name, role);
  // Found before reading: a reader may take the stream's bytes over.
  const bool cutShort = ext == "png" ? PngCutShort(stream) : BmpCutShort(stream);
  TBitmap picture;
  try {
    picture = ReadPicture(stream, owner, ext, alphaMask);
  } catch (const std::bad_alloc&) {
    throw Exception(name + ": there is not enough memory to read this picture");
  } catch (const std::exception& e) {
    throw Exception(name + ": " + UserMessage(e) + (cutShort ? "; the file is cut short" : ""));
  }
  RequireImage(picture, name);
  return picture;
}

}  // namespace

TBitmap LoadPicture(TStream& stream, const std::string& name, PictureRole role, TBitmap* alphaMask) {
  return LoadPicture(stream, nullptr, name, role, alphaMask);
}

TBitmap LoadOwnedPicture(TMemoryStream& file, const std::string& name, PictureRole role, TBitmap* alphaMask) {
  return LoadPicture(file, &file, name, role, alphaMask);
}

TBitmap LoadPicture(const std::string& path, PictureRole role, TBitmap* alphaMask) {
  const std::string ext = FileExtension(path);
  if (!IsPictureExtension(ext)) throw Exception(path + ": a picture must be a .bmp, .png or .dib file");
  if (ext == "png") {
    const std::unique_ptr<TStream> file = OpenPngFile(path);
    return LoadPicture(*file, dynamic_cast<TMemoryStream*>(file.get()), path, role, alphaMask);
  }
  TMemoryStream file(ReadFileBytes(path));
  return LoadPicture(file, &file, path, role, alphaMask);
}

ESystemGraphicSize::ESystemGraphicSize(int width, int height, const std::string& name)
    : Exception(name + ": the system graphic is " + std::to_string(width) + "x" + std::to_string(height) +
                " pixels; it must be 160x80"),
      width_(width),
      height_(height) {}

void RequireSystemGraphicSize(int width, int height, const std::string& name) {
  if (width != skin::kWidth || height != skin::kHeight) throw ESystemGraphicSize(width, height, name);
}

void RequireSystemGraphicSize(const TBitmap& picture, const std::string& name) {
  RequireSystemGraphicSize(picture.GetWidth(), picture.GetHeight(), name);
}

TBitmap LoadSampleSkin(const resources::SampleSkin& skin) {
  TMemoryStream file(std::vector<std::uint8_t>(skin.bmp.begin(), skin.bmp.end()));
  return LoadOwnedPicture(file, std::string(skin.name) + ".bmp", PictureRole::kSystemGraphic);
}

FaceSheet LoadFaceSheet(const std::string& path) {
  FaceSheet sheet;
  sheet.picture = LoadPicture(path, PictureRole::kFaceSheet, &sheet.alpha);
  return sheet;
}

FaceSheet LoadFaceSheet(TMemoryStream& file, const std::string& name) {
  FaceSheet sheet;
  sheet.picture = LoadOwnedPicture(file, name, PictureRole::kFaceSheet, &sheet.alpha);
  return sheet;
}

WindowExtras WithFace(WindowExtras extras, const FaceSheet& sheet, const FaceChoice& choice) {
  extras.faceSheet = &sheet.picture;
  extras.faceAlpha = &sheet.alpha;
  extras.faceSheetName = choice.file;
  extras.faceIndex = choice.index;
  extras.faceRight = choice.right;
  extras.faceFlip = choice.flip;
  return extras;
}

TBitmap LoadBuiltInGlyphs() {
  const auto bytes = resources::Gaizi01();
  TBitmap sheet;
  sheet.LoadFromPackedDib(bytes.data(), bytes.size());
  return sheet;
}

}  // namespace pw::io
