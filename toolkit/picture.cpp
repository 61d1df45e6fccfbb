#include "toolkit/picture.h"

#include <algorithm>
#include <cctype>

#include "toolkit/bitmap.h"
#include "toolkit/errors.h"

namespace pw {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// The registry the picture class keeps; "bmp" is built in.
std::vector<TFileFormat>& Registry() {
  static std::vector<TFileFormat> formats = {
      {"bmp", "Bitmaps", [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); }}};
  return formats;
}

}  // namespace

std::string FileExtension(const std::string& fileName) {
  const auto dot = fileName.find_last_of("./");
  if (dot == std::string::npos || fileName[dot] != '.') return "";
  return Lower(fileName.substr(dot + 1));
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicFactory factory) {
  UnregisterFileFormat(extension);
  Registry().push_back({Lower(extension), description, std::move(factory)});
}

void TPicture::UnregisterFileFormat(const std::string& extension) {
  auto& formats = Registry();
  const std::string ext = Lower(extension);
  formats.erase(std::remove_if(formats.begin(), formats.end(), [&](const TFileFormat& f) { return f.extension == ext; }),
                formats.end());
}

const TFileFormat* TPicture::FindFormat(const std::string& fileName) {
  const std::string ext = FileExtension(fileName);
  for (const TFileFormat& f : Registry())
    if (f.extension == ext) return &f;
  return nullptr;
}

std::vector<TFileFormat> TPicture::FileFormats() { return Registry(); }

void TPicture::LoadFromFile(const std::string& fileName) {
  const TFileFormat* format = FindFormat(fileName);
  if (format == nullptr)
    throw EInvalidGraphic("Unknown picture file extension (." + FileExtension(fileName) + ")");
  std::unique_ptr<TGraphic> graphic = format->create();
  graphic->LoadFromFile(fileName);
  graphic_ = std::move(graphic);
}

TFileFormatRegistration::TFileFormatRegistration(std::string extension, const std::string& description,
                                                 TGraphicFactory factory)
    : extension_(std::move(extension)) {
  TPicture::RegisterFileFormat(extension_, description, std::move(factory));
}

TFileFormatRegistration::~TFileFormatRegistration() { TPicture::UnregisterFileFormat(extension_); }

}  // namespace pw
