// Shared helpers of the window tests: the picture formats, sample files and control lookup.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "toolkit/bitmap.h"
#include "toolkit/picture.h"

namespace pw {

// The DIB and PNG picture formats, registered for the life of the object as the program does.
class TProgramFormats {
 public:
  TProgramFormats();
  ~TProgramFormats();

 private:
  std::unique_ptr<TFileFormatRegistration> dib_;
  TFileFormatRegistration png_;
};

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);
// The first sample skin as a BMP or PNG file.
std::span<const std::uint8_t> SampleSkinBmp();
std::span<const std::uint8_t> SampleSkinPng();
// A 24-bit bitmap of the given size with a colour pattern, saved as BMP.
void WritePatternBmp(const std::string& path, int width, int height);

template <class T>
T* Control(QWidget& form, const char* name) {
  T* control = form.findChild<T*>(QString::fromLatin1(name));
  if (control == nullptr) qFatal("no control %s", name);
  return control;
}

}  // namespace pw
