// Renders the main window as the program starts (the default sample skin loaded) after a text
// was typed and the live preview composed it, and saves it as a PNG file: the picture of the
// program shown in the README. Not part of the desktop program.
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "app/application.h"
#include "app/form1.h"
#include "resources/resources.h"
#include "scripted_dialogs.h"
#include "test_support.h"

int main(int argc, char** argv) {
  using namespace pw;
  if (argc != 2) {
    std::fprintf(stderr, "usage: panelwright-screenshot OUTPUT.png\n");
    return 2;
  }
  const TProgramFormats formats;
  QApplication application(argc, argv);
  PrepareApplication(application);
  TScriptedDialogs dialogs;
  TForm1 form(dialogs);
  form.LoadSampleSkin(resources::SampleSkins().front());
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  auto* memo = Control<QPlainTextEdit>(form, "Memo1");
  memo->clear();
  QTest::keyClicks(memo, "\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b");
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, "\\C[4]Skins, text and glyphs in one window.");
  QTest::mouseClick(Control<QPushButton>(form, "Button_Extend"), Qt::LeftButton);
  QTest::qWait(200);
  if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) return 1;
  return dialogs.boxes.empty() ? 0 : 1;
}
