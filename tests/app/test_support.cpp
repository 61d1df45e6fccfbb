#include "test_support.h"

#include <QAction>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>
#include <fstream>

#include "dib/qvdib.h"
#include "png/kropng.h"
#include "resources/resources.h"

namespace pw {

TProgramFormats::TProgramFormats()
    : dib_(RegisterQvDIB()), png_(RegisterKroPNG()) {}

TProgramFormats::~TProgramFormats() = default;

void WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::span<const std::uint8_t> SampleSkinBmp() { return resources::SampleSkins().front().bmp; }
std::span<const std::uint8_t> SampleSkinPng() { return resources::SampleSkins().front().png; }

void WritePatternBmp(const std::string& path, int width, int height) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.SetPixelColor(x, y, RGB(x * 7 % 256, y * 13 % 256, (x + y) % 256));
  bitmap.SaveToFile(path);
}

std::string PreviewCaptionText(int w, int h, int magnify, const std::string& label) {
  return "  Preview ( " + std::to_string(w) + "x " + std::to_string(h) + ") magnify:x" + std::to_string(magnify) +
         " Col.Nm" + label;
}

std::string TFormFixture::Path(const std::string& name) const {
  return dir_->filePath(QString::fromStdString(name)).toStdString();
}

void TFormFixture::NewForm() {
  form_.reset();
  dialogs_ = std::make_unique<TScriptedDialogs>();
  form_ = std::make_unique<TForm1>(*dialogs_);
  form_->show();
  QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TFormFixture::Click(const char* button) {
  QTest::mouseClick(Control<QPushButton>(*form_, button), Qt::LeftButton);
}

void TFormFixture::Trigger(const char* action) { Control<QAction>(*form_, action)->trigger(); }

std::string TFormFixture::PreviewCaption() {
  return Control<QGroupBox>(*form_, "GroupBox_Res")->title().toStdString();
}

}  // namespace pw
