// The picture registry: which graphic class reads files of a given extension.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/graphic.h"

namespace pw {

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
  std::string extension;  // without the dot, compared case-insensitively
  std::string description;
  TGraphicFactory create;
};

class TPicture {
 public:
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicFactory factory);
  static void UnregisterFileFormat(const std::string& extension);
  // The format registered for a file name's extension, or null.
  static const TFileFormat* FindFormat(const std::string& fileName);
  static std::vector<TFileFormat> FileFormats();

  // Loads a file through the graphic class registered for its extension
  // (EInvalidGraphic "Unknown picture file extension (.x)" when there is none).
  void LoadFromFile(const std::string& fileName);
  TGraphic* Graphic() const { return graphic_.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic) { graphic_ = std::move(graphic); }

 private:
  std::unique_ptr<TGraphic> graphic_;
};

// Keeps a format registered for its own lifetime.
class TFileFormatRegistration {
 public:
  TFileFormatRegistration(std::string extension, const std::string& description, TGraphicFactory factory);
  ~TFileFormatRegistration();
  TFileFormatRegistration(const TFileFormatRegistration&) = delete;
  TFileFormatRegistration& operator=(const TFileFormatRegistration&) = delete;

 private:
  std::string extension_;
};

// Lower-cased extension of a file name without its dot ("" when none).
std::string FileExtension(const std::string& fileName);

}  // namespace pw
