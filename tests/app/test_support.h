// Shared helpers of the window tests: the picture formats, sample files and control lookup.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "app/form1.h"
#include "scripted_dialogs.h"
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

// The preview caption the window shows for a picture of w x h at the given magnification.
std::string PreviewCaptionText(int w, int h, int magnify, const std::string& label);

// What the window tests share: the program's picture formats, a temporary folder, scripted
// dialogs and the window, driven through its controls. A test class derives from QObject first
// and from this second; its initTestCase makes the folder.
class TFormFixture {
 protected:
  TProgramFormats formats_;
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TScriptedDialogs> dialogs_;
  std::unique_ptr<TForm1> form_;

  std::string Path(const std::string& name) const;
  // Replaces the window with a new one on new dialogs, shown and exposed.
  void NewForm();
  void Click(const char* button);
  void Trigger(const char* action);
  std::string PreviewCaption();
};

}  // namespace pw
