// The main window driven through its own controls and menu items, with scripted dialogs.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "app/app_messages.h"
#include "app/application.h"
#include "app/caption_fit.h"
#include "app/extras_dialogs.h"
#include "app/form1.h"
#include "app/picture_dialog.h"
#include "app/program_files.h"
#include "app/image_control.h"
#include "app/image_convert.h"
#include "app/radio_group.h"
#include "png/kropng.h"
#include "resources/resources.h"
#include "scripted_dialogs.h"
#include "test_support.h"

using namespace pw;

class TestForm : public QObject, public TFormFixture {
  Q_OBJECT

 private:
  TImage& Image(const char* name) { return *Control<TImage>(*form_, name); }
  void Open(const std::string& fileName) {
    dialogs_->openAnswers.push_back(fileName);
    Click("Button_Load");
  }
  // Rows whose tag ends in "on the command line" give the file as the program's argument;
  // the others choose it in the open dialog.
  void OpenAsTheRowSays(const std::string& fileName) {
    if (QString(QTest::currentDataTag()).endsWith("on the command line"))
      form_->OpenFromCommandLine(fileName);
    else
      Open(fileName);
  }
  void LoadSample() {
    Open(Path("skin.bmp"));
    QVERIFY(form_->SysLoaded());
  }

 private slots:
  void initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    WriteFileBytes(Path("skin.bmp"), SampleSkinBmp());
    WriteFileBytes(Path("skin.png"), SampleSkinPng());
  }
  void init() { NewForm(); }
  void cleanup() { form_.reset(); }

  void startsWithTheStoredLayout() {
    QCOMPARE(form_->windowTitle(), QString("Panelwright"));
    QCOMPARE(form_->minimumSize(), QSize(425, 417));
    QCOMPARE(PreviewCaption(), std::string("Preview ( 0 x 0 ) magnification : x1"));
    QCOMPARE(form_->Magnify(), 1);
    QCOMPARE(form_->TransColor(), clBlack);
    QVERIFY(!form_->SysLoaded());
    QVERIFY(Image("Image_Res").Picture() == nullptr);
    QCOMPARE(Control<QPlainTextEdit>(*form_, "Memo1")->toPlainText(), QString("Sample"));
    QCOMPARE(Control<TRadioGroup>(*form_, "RadioGroup_Font")->SelectedText(), QString("RMG2000"));
    QCOMPARE(Control<TRadioGroup>(*form_, "RadioGroup_Wall")->ItemIndex(), 0);
    QCOMPARE(Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->maximum(), 160);
    QCOMPARE(Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->maximum(), 320);
    // Only the live preview, an option of its own, starts checked.
    for (QAction* action : form_->findChildren<QAction*>())
      QCOMPARE(action->isChecked(), action->objectName() == "LivePreview1");
    // The built-in glyph sheet is loaded; no user sheet in the project folder.
    QCOMPARE(Image("Image_Gaizi").Picture()->GetWidth(), 156);
    QCOMPARE(Image("Image_Gaizi").Picture()->GetHeight(), 48);
    QVERIFY(Image("Image_MyGaizi").Picture()->GetEmpty());
    QVERIFY(dialogs_->boxes.empty());
    QCOMPARE(Control<QPushButton>(*form_, "Button_Extend")->property("tag").toInt(), 1);
    QCOMPARE(Control<QPushButton>(*form_, "Button_Mini")->property("tag").toInt(), 2);
    QCOMPARE(Control<QAction>(*form_, "M_C24")->property("tag").toInt(), 24);
  }

  void focusFollowsTheStoredOrder() {
    const char* order[] = {"Button_Load", "Memo1", "SpinEdit_Pad_Round", "SpinEdit_Pad_Line", "Button_Make",
                           "Button_Col_Redu", "Edit_SaveFolder", "Button_Folder", "Edit_SaveFile",
                           "Button_QuickSave", "Button_Save", "Button_Exit"};
    QWidget* start = Control<QWidget>(*form_, order[0]);
    QWidget* w = start;
    std::size_t next = 1;
    for (int guard = 0; guard < 200 && next < std::size(order); ++guard) {
      w = w->nextInFocusChain();
      if (w->objectName() == order[next]) ++next;
    }
    QCOMPARE(next, std::size(order));
  }

  void anchoredControlsFollowTheWindow() {
    QWidget* exit = Control<QWidget>(*form_, "Button_Exit");
    QWidget* preview = Control<QWidget>(*form_, "GroupBox_Res");
    QWidget* quick = Control<QWidget>(*form_, "GroupBox1");
    QWidget* client = exit->parentWidget();
    const int exitRight = client->width() - exit->geometry().right();
    const int exitBottom = client->height() - exit->geometry().bottom();
    const QRect previewBefore = preview->geometry();
    const QRect quickBefore = quick->geometry();
    form_->resize(form_->width() + 100, form_->height() + 50);
    QCoreApplication::processEvents();
    QCOMPARE(client->width() - exit->geometry().right(), exitRight);
    QCOMPARE(client->height() - exit->geometry().bottom(), exitBottom);
    QCOMPARE(preview->geometry(), previewBefore.adjusted(0, 0, 100, 50));
    QCOMPARE(quick->geometry(), quickBefore.translated(0, 50));
    // Inside the preview group: the zoom buttons keep their distance to its right and bottom.
    QWidget* zoom = Control<QWidget>(*form_, "Button_Mini");
    QCOMPARE(preview->width() - zoom->geometry().right(), 470 - (336 + 112 - 1));
  }

  void loadsByExtensionAndSize_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("source");  // "bmp", "png", or a size "WxH" of a pattern BMP
    QTest::addColumn<bool>("loaded");
    QTest::newRow("bmp") << "a.bmp" << "bmp" << true;
    QTest::newRow("upper BMP") << "b.BMP" << "bmp" << true;
    QTest::newRow("mixed Bmp") << "c.Bmp" << "bmp" << true;
    QTest::newRow("png") << "d.png" << "png" << true;
    QTest::newRow("mixed PnG") << "e.PnG" << "png" << true;
    QTest::newRow("other 160x80 pattern") << "f.bmp" << "160x80" << true;
    QTest::newRow("161x80") << "g.bmp" << "161x80" << false;
    QTest::newRow("160x81") << "h.bmp" << "160x81" << false;
    QTest::newRow("80x160") << "i.bmp" << "80x160" << false;
    QTest::newRow("bmp.txt") << "j.bmp.txt" << "bmp" << false;
    QTest::newRow("no dot") << "k" << "bmp" << false;
    QTest::newRow("ends in dot") << "l." << "bmp" << false;
    QTest::newRow("dot in folder name") << "dir.x/file" << "bmp" << false;
    QTest::newRow("png on the command line") << "m.png" << "png" << true;
    QTest::newRow("161x80 on the command line") << "n.bmp" << "161x80" << false;
  }
  void loadsByExtensionAndSize() {
    QFETCH(QString, name);
    QFETCH(QString, source);
    QFETCH(bool, loaded);
    const std::string path = Path(name.toUtf8().constData());
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (source == "bmp") {
      WriteFileBytes(path, SampleSkinBmp());
    } else if (source == "png") {
      WriteFileBytes(path, SampleSkinPng());
    } else {
      const QStringList wh = source.split('x');
      WritePatternBmp(path, wh[0].toInt(), wh[1].toInt());
    }
    OpenAsTheRowSays(path);
    QCOMPARE(form_->SysLoaded(), loaded);
    QCOMPARE(form_->LastOpenName(), path);
    QVERIFY(dialogs_->boxes.empty());
    if (loaded) {
      TBitmap expected;
      if (source == "png") {
        expected = *Image("Image1").Picture();  // decoded by the same reader; compare the size only
      } else {
        expected.LoadFromFile(path);
      }
      const TBitmap& shown = *Image("Image1").Picture();
      QCOMPARE(shown.GetWidth(), 160);
      QCOMPARE(shown.GetHeight(), 80);
      QCOMPARE(shown.GetPixelColor(37, 51), expected.GetPixelColor(37, 51));
    } else {
      QVERIFY(Image("Image1").Picture() == nullptr);
    }
  }

  void pngAndBmpOfTheSampleShowTheSamePixels() {
    Open(Path("skin.bmp"));
    const TBitmap fromBmp = *Image("Image1").Picture();
    Open(Path("skin.png"));
    const TBitmap fromPng = *Image("Image1").Picture();
    for (int y = 0; y < 80; y += 3)
      for (int x = 0; x < 160; x += 3) QCOMPARE(fromPng.GetPixelColor(x, y), fromBmp.GetPixelColor(x, y));
  }

  void unreadableFilesAreReported_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("message");  // empty: ignored silently
    QTest::newRow("png named bmp") << "p.bmp" << "png" << "%1: A bitmap image is illegal.";
    QTest::newRow("bmp named png") << "q.png" << "bmp" << "%1: PNG LoadStream: Not PNG Format.";
    QTest::newRow("zero bytes") << "r.bmp" << "empty" << "";
    QTest::newRow("missing file") << "missing.bmp" << "none" << "File %1  isn't opened.";
    QTest::newRow("png named bmp on the command line") << "s.bmp" << "png" << "%1: A bitmap image is illegal.";
    QTest::newRow("missing on the command line") << "missing.png" << "none" << "File %1  isn't opened.";
  }
  void unreadableFilesAreReported() {
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(QString, message);
    LoadSample();
    const TBitmap before = *Image("Image1").Picture();
    const std::string path = Path(name.toUtf8().constData());
    if (content == "png") WriteFileBytes(path, SampleSkinPng());
    if (content == "bmp") WriteFileBytes(path, SampleSkinBmp());
    if (content == "empty") WriteFileBytes(path, {});
    OpenAsTheRowSays(path);
    QCOMPARE(form_->LastOpenName(), path);  // remembered even though the load failed
    QVERIFY(form_->SysLoaded());
    QCOMPARE(Image("Image1").Picture()->GetPixelColor(5, 5), before.GetPixelColor(5, 5));
    if (message.isEmpty()) {
      QVERIFY(dialogs_->boxes.empty());
      return;
    }
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    const QString expected = message.contains("%1") ? message.arg(QString::fromStdString(path)) : message;
    QCOMPARE(QString::fromStdString(dialogs_->boxes[0].text), expected);
    QCOMPARE(dialogs_->boxes[0].caption, std::string("Panelwright"));
    QCOMPARE(dialogs_->boxes[0].flags, 16u);
  }

  // The test runs from the build folder's bin/, as the program does, so it finds the same files.
  void iconIsFoundBesideTheProgram() {
    const QIcon icon = ApplicationIcon();
    QVERIFY(!icon.isNull());
    for (int size : {16, 32, 48, 64, 128, 256}) QVERIFY(icon.availableSizes().contains(QSize(size, size)));
  }

  void cancelledOpenChangesNothing() {
    dialogs_->openAnswers.push_back(std::nullopt);
    Trigger("OpenSys1");
    QCOMPARE(dialogs_->openPrefills.size(), std::size_t{1});
    QVERIFY(form_->LastOpenName().empty());
    Open(Path("skin.bmp"));
    Trigger("OpenSys1");  // no answer left: cancelled, pre-filled with the last name
    QCOMPARE(dialogs_->openPrefills.back(), Path("skin.bmp"));
  }

  void clickPicksTheTransparentColour() {
    // Before any load the picture is blank white, and a click picks white.
    const QImage blank = Image("Image1").grab().toImage();
    QCOMPARE(blank.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(blank.pixelColor(159, 79), QColor(Qt::white));
    QTest::mouseClick(&Image("Image1"), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(form_->TransColor(), clWhite);
    LoadSample();
    const TBitmap skin = *Image("Image1").Picture();
    // (0, 0) would mean the centre to QTest.
    for (const QPoint p : {QPoint(1, 0), QPoint(0, 1), QPoint(17, 33), QPoint(159, 79), QPoint(100, 60)}) {
      QTest::mouseClick(&Image("Image1"), Qt::LeftButton, {}, p);
      QCOMPARE(form_->TransColor(), skin.GetPixelColor(p.x(), p.y()));
      const TBitmap* swatch = Image("Image_Trans").Picture();
      QCOMPARE(swatch->GetWidth(), 49);
      QCOMPARE(swatch->GetHeight(), 24);
      QCOMPARE(swatch->GetPixelColor(0, 0), form_->TransColor());
      QCOMPARE(swatch->GetPixelColor(48, 23), form_->TransColor());
    }
  }

  // A pick is a click: the button goes down and comes up on the picture; the pixel is the one under
  // the pointer, whatever fraction of a pixel the position carries.
  void pickIsAClickOnThePixelUnderThePointer_data() {
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<QPointF>("release");
    QTest::addColumn<QPoint>("picked");  // (-1, -1): no pick
    QTest::newRow("right half of the last pixel") << QPointF(159.6, 79.9) << QPointF(159.6, 79.9) << QPoint(159, 79);
    QTest::newRow("left edge of a pixel") << QPointF(17.0, 33.0) << QPointF(17.0, 33.0) << QPoint(17, 33);
    QTest::newRow("just below the next pixel") << QPointF(17.99, 33.5) << QPointF(17.99, 33.5) << QPoint(17, 33);
    QTest::newRow("moved before release") << QPointF(1, 1) << QPointF(100.5, 60.5) << QPoint(100, 60);
    QTest::newRow("released off the picture") << QPointF(5, 5) << QPointF(170, 5) << QPoint(-1, -1);
  }
  void pickIsAClickOnThePixelUnderThePointer() {
    QFETCH(QPointF, press);
    QFETCH(QPointF, release);
    QFETCH(QPoint, picked);
    LoadSample();
    TImage& image = Image("Image1");
    const TBitmap skin = *image.Picture();
    const auto send = [&](QEvent::Type type, QPointF pos) {
      QMouseEvent event(type, pos, image.mapToGlobal(pos), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
      QCoreApplication::sendEvent(&image, &event);
    };
    send(QEvent::MouseButtonPress, press);
    QCOMPARE(form_->TransColor(), clBlack);  // nothing picked on the press
    send(QEvent::MouseButtonRelease, release);
    QCOMPARE(form_->TransColor(), picked.x() < 0 ? clBlack : skin.GetPixelColor(picked.x(), picked.y()));
  }

  void makeComposesAndSizesThePreview() {
    Click("Button_Make");  // nothing loaded: nothing happens
    QVERIFY(Image("Image_Res").Picture() == nullptr);
    QCOMPARE(PreviewCaption(), std::string("Preview ( 0 x 0 ) magnification : x1"));
    LoadSample();
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("Hello\nworld, two lines");
    Click("Button_Make");
    const TBitmap* result = Image("Image_Res").Picture();
    QVERIFY(result != nullptr);
    QCOMPARE(result->GetPixelFormat(), TPixelFormat::pf24bit);
    const int w = result->GetWidth();
    const int h = result->GetHeight();
    QCOMPARE(h, 16 * 3);  // two lines, no margin, no line gap
    QVERIFY(w > 16);
    QCOMPARE(Image("Image_Res").size(), QSize(w, h));
    QCOMPARE(PreviewCaption(), PreviewCaptionText(w, h, 1, "24 bit (High  colour) "));
    QVERIFY(dialogs_->boxes.empty());
  }

  void makeReadsTheOptionControls() {
    LoadSample();
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("One\nTwo\nThree");
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->setValue(5);
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(3);
    Trigger("Make1");
    const TBitmap* result = Image("Image_Res").Picture();
    QCOMPARE(result->GetHeight(), 16 * 4 + 3 * 2 + 2 * 5);
    // A long typed line stays one window line even when the editor wraps it on screen.
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->setValue(0);
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(0);
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText(QString("word ").repeated(30));
    Trigger("Make1");
    QCOMPARE(Image("Image_Res").Picture()->GetHeight(), 32);
  }

  // A character that no font holds is drawn as a box and named in the status bar, each once;
  // the window is made all the same.
  void textWithoutAGlyphIsNamedInTheStatusBar() {
    LoadSample();
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText(QString::fromUtf8("smile \xF0\x9F\x98\x80\xF0\x9F\x98\x80"));
    Click("Button_Make");
    QVERIFY(dialogs_->boxes.empty());
    QVERIFY(Image("Image_Res").Picture() != nullptr);
    QCOMPARE(Image("Image_Res").Picture()->GetWidth(), 6 * 6 + 2 * 12 + 16);
    QCOMPARE(form_->StatusText(), QString::fromUtf8("Window 76×32 pixels; U+1F600 (\xF0\x9F\x98\x80) has no glyph and is drawn as a box"));
  }

  // File > Open text: UTF-8 comes in as it is; other bytes are read in the code page the user
  // names (cp932 offered first), which sets the letters; a cancelled question changes nothing.
  void openTextReadsUtf8OrAsksTheCodePage() {
    LoadSample();
    auto* memo = Control<QPlainTextEdit>(*form_, "Memo1");
    QAction* international = form_->findChild<QAction*>("International1");
    const std::vector<std::uint8_t> utf8 = {0x41, 0xC3, 0xA9};
    const std::vector<std::uint8_t> cp1251 = {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2};
    WriteFileBytes(Path("utf8.txt"), utf8);
    WriteFileBytes(Path("cp1251.txt"), cp1251);
    dialogs_->textAnswers.push_back(Path("utf8.txt"));
    Trigger("OpenText1");
    QCOMPARE(memo->toPlainText(), QString::fromUtf8("Aé"));
    QVERIFY(dialogs_->codePageOffers.empty());
    dialogs_->textAnswers.push_back(Path("cp1251.txt"));
    Trigger("OpenText1");  // the code page question is cancelled
    QCOMPARE(memo->toPlainText(), QString::fromUtf8("Aé"));
    QCOMPARE(dialogs_->codePageOffers.size(), std::size_t{1});
    QCOMPARE(dialogs_->codePageOffers[0].front(), std::string("cp932"));
    QCOMPARE(dialogs_->codePageOffers[0].size(), std::size_t{10});
    dialogs_->textAnswers.push_back(Path("cp1251.txt"));
    dialogs_->codePageAnswers.push_back("cp1251");
    Trigger("OpenText1");
    QCOMPARE(memo->toPlainText(), QString::fromUtf8("Привет"));
    QVERIFY(international->isChecked());
    Click("Button_Make");
    QCOMPARE(Image("Image_Res").Picture()->GetWidth(), 6 * 6 + 16);  // half-width Cyrillic
    international->setChecked(false);
    Click("Button_Make");
    QCOMPARE(Image("Image_Res").Picture()->GetWidth(), 6 * 12 + 16);
    QVERIFY(dialogs_->boxes.empty());
    // The byte-order mark a Windows editor writes is no text.
    WriteFileBytes(Path("bom.txt"), std::vector<std::uint8_t>{0xEF, 0xBB, 0xBF, 0x41, 0xC3, 0xA9});
    dialogs_->textAnswers.push_back(Path("bom.txt"));
    Trigger("OpenText1");
    QCOMPARE(memo->toPlainText(), QString::fromUtf8("Aé"));
    Click("Button_Make");
    QCOMPARE(form_->StatusText(), QString("Window 28×32 pixels"));  // no box for U+FEFF
  }

  // A text whose window no reader could take is refused before it replaces the text typed; a
  // text that is opened can be undone, an empty one too.
  void openTextRefusesAWindowTooLargeAndCanBeUndone() {
    LoadSample();
    auto* memo = Control<QPlainTextEdit>(*form_, "Memo1");
    memo->setPlainText("Typed");
    // 131 lines at the widest margin and line gap: 6336x44032 pixels.
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->setValue(160);
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(320);
    const std::string tall = std::string(1000, 'x') + std::string(130, '\n') + "x";
    WriteFileBytes(Path("tall.txt"), std::vector<std::uint8_t>(tall.begin(), tall.end()));
    WriteFileBytes(Path("empty.txt"), {});
    dialogs_->textAnswers.push_back(Path("tall.txt"));
    Trigger("OpenText1");
    QCOMPARE(memo->toPlainText(), QString("Typed"));
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QCOMPARE(dialogs_->boxes[0].text, std::string("The window would be at least 6336x44032 pixels, more than the 268435456 "
                                                  "pixels of the largest picture Panelwright reads."));
    dialogs_->textAnswers.push_back(Path("empty.txt"));
    Trigger("OpenText1");
    QCOMPARE(memo->toPlainText(), QString());
    memo->undo();
    QCOMPARE(memo->toPlainText(), QString("Typed"));
  }

  // The live preview refuses a window too large for any reader as Make does, and keeps the
  // preview it showed. It is refused at its first line, before the rest of the text is read: the
  // name missing for \N[9] on the last line is never reached.
  void livePreviewRefusesAWindowTooLarge() {
    LoadSample();
    QTRY_VERIFY_WITH_TIMEOUT(Image("Image_Res").Picture() != nullptr, 2000);
    const QImage good = ToQImage(*Image("Image_Res").Picture());
    form_->findChild<QStatusBar*>()->clearMessage();
    Trigger("GameCodes1");
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->setValue(160);
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(320);
    QTRY_VERIFY_WITH_TIMEOUT(form_->StatusText().startsWith("Window "), 2000);
    const QImage framed = ToQImage(*Image("Image_Res").Picture());
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText(QString(1000, 'x') + QString(130, '\n') + "\\N[9]");
    QTRY_COMPARE_WITH_TIMEOUT(form_->StatusText(),
                              QString("Live preview not updated: The window would be at least 6336x44032 pixels, more "
                                      "than the 268435456 pixels of the largest picture Panelwright reads"),
                              2000);
    QCOMPARE(ToQImage(*Image("Image_Res").Picture()), framed);
    QVERIFY(framed != good);
    QVERIFY(dialogs_->boxes.empty());
  }

  // A skin on the program's command line that cannot be read leaves the default sample skin in
  // use, and the status bar says so and why.
  void aCommandLineSkinThatFailsKeepsTheSampleSkin() {
    const resources::SampleSkin& sample = resources::SampleSkins().front();
    form_->LoadSampleSkin(sample);
    const TBitmap before = *Image("Image1").Picture();
    const auto png = SampleSkinPng();
    const std::string cut = Path("cut.png");
    WriteFileBytes(cut, png.first(png.size() - 40));
    form_->OpenFromCommandLine(cut);
    QVERIFY(form_->SysLoaded());
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    const std::string why = cut + ": Read Image (PNG): Read Error; the file is cut short";
    QCOMPARE(dialogs_->boxes[0].text, why + ".");
    QCOMPARE(form_->StatusText(), QString::fromStdString(cut + " was not opened, so the skin stays " +
                                                         std::string(sample.name) + ": " + why));
    for (const QPoint p : {QPoint(3, 3), QPoint(100, 50)})
      QCOMPARE(Image("Image1").Picture()->GetPixelColor(p.x(), p.y()), before.GetPixelColor(p.x(), p.y()));
  }

  // The code pages are offered with the language each serves, as the page offers them.
  void codePagesAreOfferedByTheirLanguages() {
    TQtDialogs dialogs(form_.get());
    QStringList offered;
    QTimer::singleShot(0, [&] {
      for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* input = qobject_cast<QInputDialog*>(widget)) {
          offered = input->comboBoxItems();
          input->setTextValue("cp1251 (Cyrillic)");
          input->accept();
        }
      }
    });
    std::string chosen;
    QVERIFY(dialogs.ChooseCodePage({"cp932", "cp1251", "cp949"}, chosen));
    QCOMPARE(offered, QStringList({"cp932 (Japanese)", "cp1251 (Cyrillic)", "cp949 (Korean)"}));
    QCOMPARE(chosen, std::string("cp1251"));
  }

  void extrasMenuFeedsMake() {
    LoadSample();
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("\\N[1]");
    Click("Button_Make");
    const int plainWidth = Image("Image_Res").Picture()->GetWidth();
    WritePatternBmp(Path("faces.bmp"), 96, 48);
    WriteFileBytes(Path("broken.png"), SampleSkinBmp());
    dialogs_->faceAnswers.push_back(TFaceChoice{Path("faces.bmp"), 1});
    WriteFileBytes(Path("empty.bmp"), {});
    dialogs_->faceAnswers.push_back(TFaceChoice{Path("broken.png"), 0});  // fails: the face stays
    dialogs_->faceAnswers.push_back(TFaceChoice{Path("empty.bmp"), 0});   // holds no image: the same
    dialogs_->faceAnswers.push_back(std::nullopt);                        // cancelled
    for (int i = 0; i < 4; ++i) Trigger("Face1");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{2});
    QCOMPARE(dialogs_->boxes[1].text, Path("empty.bmp") + " holds no image; the file may be cut short.");
    QCOMPARE(dialogs_->facePrefills.back().sheetFile, Path("faces.bmp"));
    QCOMPARE(form_->Face().index, 1);
    GameCodeValues table;
    table.names[1] = "Al";
    dialogs_->tableAnswers.push_back(table);
    Trigger("NamesValues1");
    for (const char* item : {"GameCodes1", "FaceRight1", "PauseArrow1"}) Trigger(item);

    Click("Button_Make");
    const TBitmap* result = Image("Image_Res").Picture();
    QCOMPARE(result->GetWidth(), 2 * 6 + 16 + 56);  // "Al" and the face
    QCOMPARE(result->GetHeight(), 64);
    QCOMPARE(result->GetPixelColor(result->GetWidth() - 56, 8), RGB(48 * 7 % 256, 0, 48));  // face 1, on the right
    QCOMPARE(Image("Image_Res").size(), QSize(result->GetWidth(), 64));

    dialogs_->faceAnswers.push_back(TFaceChoice{});  // "No face"
    Trigger("Face1");
    for (const char* item : {"GameCodes1", "FaceRight1", "PauseArrow1"}) Trigger(item);
    Click("Button_Make");
    QCOMPARE(Image("Image_Res").Picture()->GetWidth(), plainWidth);
    QCOMPARE(dialogs_->boxes.size(), std::size_t{2});
  }

  void extrasDialogsOfferWholeCellsAndKeepTheTable() {
    WritePatternBmp(Path("wide.bmp"), 200, 100);   // four columns, two rows: faces 0..7
    WritePatternBmp(Path("narrow.bmp"), 100, 50);  // faces 0 and 1
    WritePatternBmp(Path("tiny.bmp"), 47, 60);     // no whole face
    TFaceDialog face(form_.get(), TFaceChoice{Path("wide.bmp"), 6});
    QCOMPARE(face.CellCount(), 8);
    QCOMPARE(face.Choice().index, 6);
    face.ShowSheet(Path("narrow.bmp"));
    QCOMPARE(face.CellCount(), 2);
    QCOMPARE(face.Choice().sheetFile, Path("narrow.bmp"));
    face.ShowSheet(Path("tiny.bmp"));
    QCOMPARE(face.CellCount(), 0);
    QVERIFY(face.Choice().sheetFile.empty());
    WritePatternBmp(Path("huge.bmp"), kMaxSheetSide + 1, 48);  // refused: one pixel wider than a sheet may be
    face.ShowSheet(Path("huge.bmp"));
    QCOMPARE(face.CellCount(), 0);
    QVERIFY(face.Choice().sheetFile.empty());

    GameCodeValues table;
    table.names = {{1, "Al"}, {3, "Cy"}};
    table.values = {{3, "9"}};
    TNamesDialog names(form_.get(), table);
    names.AddRow(5, "", "7");
    table.values.emplace(5, "7");
    QVERIFY(names.Table().names == table.names);
    QVERIFY(names.Table().values == table.values);
  }

  void zoomStaysWithinOneToTen() {
    Click("Button_Extend");  // before Make: an empty picture, 0x0
    QCOMPARE(form_->Magnify(), 2);
    QCOMPARE(PreviewCaption(), PreviewCaptionText(0, 0, 2, ""));
    QCOMPARE(Image("Image_Res").size(), QSize(0, 0));
    Click("Button_Mini");
    LoadSample();
    Click("Button_Make");
    const QSize size = Image("Image_Res").size();
    for (int i = 0; i < 12; ++i) Trigger("V_Extend1");
    QCOMPARE(form_->Magnify(), 10);
    QCOMPARE(Image("Image_Res").size(), size * 10);
    QCOMPARE(PreviewCaption(), PreviewCaptionText(size.width(), size.height(), 10, "24 bit (High  colour) "));
    for (int i = 0; i < 12; ++i) Click("Button_Mini");
    QCOMPARE(form_->Magnify(), 1);
    QCOMPARE(Image("Image_Res").size(), size);
    Trigger("V_Extend1");
    Trigger("V_Extend1");
    Click("Button_Make");  // Make keeps the magnification
    QCOMPARE(Image("Image_Res").size(), size * 3);
  }

  void previewEnlargesPixelsAsCrispBlocks() {
    LoadSample();
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("Ab");
    Click("Button_Make");
    Click("Button_Extend");
    Click("Button_Extend");
    TImage& preview = Image("Image_Res");
    const QImage expected = ToQImage(*preview.Picture());
    const QImage shown = preview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), expected.size() * 3);
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x)
        if (shown.pixel(x, y) != expected.pixel(x / 3, y / 3))
          QFAIL(qPrintable(QString("pixel %1,%2 is not its source pixel's colour").arg(x).arg(y)));
  }

  // The extension of the name chosen decides the format.
  void saveAsWritesTheResult_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("bmp") << "saved.bmp";
    QTest::newRow("png") << "saved.PNG";
  }
  void saveAsWritesTheResult() {
    QFETCH(QString, name);
    Click("Button_Save");  // nothing made yet: told so, nothing asked, nothing written
    QCOMPARE(dialogs_->informations.size(), std::size_t{1});
    QVERIFY(dialogs_->savePrefills.empty());
    LoadSample();
    Click("Button_Make");
    const std::string target = Path(name.toStdString());
    dialogs_->saveAnswers.push_back(target);
    Click("Button_Save");
    QCOMPARE(form_->LastSaveName(), target);
    TBitmap written;
    if (name.endsWith(".PNG")) LoadPngFile(target, written);
    else written.LoadFromFile(target);
    const TBitmap& result = *Image("Image_Res").Picture();
    QCOMPARE(written.GetWidth(), result.GetWidth());
    QCOMPARE(written.GetHeight(), result.GetHeight());
    QCOMPARE(written.GetPixelFormat(), TPixelFormat::pf24bit);
    for (int y = 0; y < result.GetHeight(); ++y)
      for (int x = 0; x < result.GetWidth(); ++x) QCOMPARE(written.GetPixelColor(x, y), result.GetPixelColor(x, y));
    dialogs_->saveAnswers.push_back(std::nullopt);
    Trigger("SaveAs1");  // cancelled; pre-filled with the last name
    QCOMPARE(dialogs_->savePrefills.back(), target);
    QCOMPARE(dialogs_->informations.size(), std::size_t{1});
  }

  // File > Save animation: the chosen name's extension decides GIF or animated PNG.
  void saveAnimationWritesGifOrApng_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("start");
    QTest::newRow("gif") << "talk.gif" << QByteArray("GIF89a");
    QTest::newRow("png") << "talk.png" << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    QTest::newRow("any other name is refused") << "talk.bmp" << QByteArray();
  }
  void saveAnimationWritesGifOrApng() {
    QFETCH(QString, name);
    QFETCH(QByteArray, start);
    Trigger("SaveAnimation1");  // no skin yet: told so, nothing asked
    QVERIFY(dialogs_->animationPrefills.empty());
    QCOMPARE(form_->StatusText(), QString(app_msg::kStatusNoSystemGraphic));
    LoadSample();
    const std::string target = Path(name.toStdString());
    dialogs_->animationAnswers.push_back(target);
    Trigger("SaveAnimation1");
    if (start.isEmpty()) {
      QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
      QCOMPARE(dialogs_->boxes[0].text, "Save animation writes OUT.gif or OUT.png, not '" + target + "'");
      QVERIFY(!QFile::exists(QString::fromStdString(target)));
      return;
    }
    QVERIFY(dialogs_->boxes.empty());
    QFile file(QString::fromStdString(target));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith(start));
    if (name.endsWith(".png")) QCOMPARE(bytes.mid(37, 4), QByteArray("acTL"));
    dialogs_->animationAnswers.push_back(std::nullopt);
    Trigger("SaveAnimation1");  // cancelled; pre-filled with the last name
    QCOMPARE(dialogs_->animationPrefills.back(), target);
  }

  // A GIF's size has 16 bits: a wider animation is refused with a message, and nothing written.
  void saveAnimationWiderThanAGifIsRefused() {
    LoadSample();
    Trigger("GameCodes1");
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("\\>" + QString("a").repeated(10920));  // 65536 wide
    const std::string target = Path("wide.gif");
    dialogs_->animationAnswers.push_back(target);
    Trigger("SaveAnimation1");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QVERIFY(dialogs_->boxes[0].text.find("A GIF is at most 65535 pixels wide and high, and this animation is 65536x") !=
            std::string::npos);
    QVERIFY(!std::filesystem::exists(target));
  }

  void playShowsTheFramesAndAnEditStopsIt() {
    LoadSample();
    Click("Button_Make");
    const TBitmap still = *Image("Image_Res").Picture();
    QPushButton& play = *Control<QPushButton>(*form_, "Button_Play");
    Click("Button_Play");
    QVERIFY(form_->Playing());
    QCOMPARE(play.text(), QString("Stop"));
    // The first frame is the window opening: its middle rows only, white around them.
    const TBitmap* shown = Image("Image_Res").Picture();
    QCOMPARE(shown->GetWidth(), still.GetWidth());
    QCOMPARE(shown->GetPixelColor(0, 0), clWhite);
    QTRY_VERIFY(Image("Image_Res").Picture()->GetPixelColor(0, 0) != clWhite);  // it goes on
    Control<QPlainTextEdit>(*form_, "Memo1")->appendPlainText("x");  // an edit
    QVERIFY(!form_->Playing());
    QCOMPARE(play.text(), QString("Play"));
    shown = Image("Image_Res").Picture();
    for (int y = 0; y < still.GetHeight(); ++y)
      for (int x = 0; x < still.GetWidth(); ++x) QCOMPARE(shown->GetPixelColor(x, y), still.GetPixelColor(x, y));
  }

  void saveAsIntoAMissingFolderIsReported() {
    LoadSample();
    Click("Button_Make");
    const std::string target = Path("no-such-folder/w.bmp");
    dialogs_->saveAnswers.push_back(target);
    Click("Button_Save");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QCOMPARE(dialogs_->boxes[0].text, "File " + target + " can't be made.");
    QVERIFY(!std::filesystem::exists(target));
  }

  void exitAsksFirst_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("OK") << IDOK << true;
    QTest::newRow("Cancel") << IDCANCEL << false;
  }
  void exitAsksFirst() {
    QFETCH(int, answer);
    QFETCH(bool, closes);
    dialogs_->boxAnswers.push_back(answer);
    Click("Button_Exit");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QCOMPARE(dialogs_->boxes[0].text, std::string("終了します。"));
    QCOMPARE(dialogs_->boxes[0].caption, std::string("終了確認"));
    QCOMPARE(dialogs_->boxes[0].flags, 65u);
    QCOMPARE(form_->isVisible(), !closes);
  }

  void closingByTheTitleBarAsksNothing() {
    QVERIFY(form_->close());
    QVERIFY(dialogs_->boxes.empty());
  }

  void menusMirrorTheRadioGroups() {
    auto* font = Control<TRadioGroup>(*form_, "RadioGroup_Font");
    auto* wall = Control<TRadioGroup>(*form_, "RadioGroup_Wall");
    auto openMenu = [&](const char* name) {
      QMenu* menu = Control<QMenu>(*form_, name);
      menu->popup(form_->mapToGlobal(QPoint(10, 10)));
      menu->hide();
    };
    auto checked = [&](const char* name) { return Control<QAction>(*form_, name)->isChecked(); };
    font->setItemIndex(1);
    openMenu("Font1");
    QVERIFY(!checked("Font_MS_G1"));
    QVERIFY(checked("Font_MS_M1"));
    QVERIFY(!checked("Wall_Extend1") && !checked("Wall_Line1"));  // only its own submenu is updated
    Trigger("Font_MS_G1");
    QCOMPARE(font->ItemIndex(), 0);
    QCOMPARE(font->SelectedText(), QString("RMG2000"));
    openMenu("Font1");
    QVERIFY(checked("Font_MS_G1"));
    QVERIFY(!checked("Font_MS_M1"));
    Trigger("Wall_Line1");
    QCOMPARE(wall->ItemIndex(), 1);
    openMenu("Wall1");
    QVERIFY(!checked("Wall_Extend1"));
    QVERIFY(checked("Wall_Line1"));
    wall->setItemIndex(-1);  // no selection: the marks stay as they were
    openMenu("Wall1");
    QVERIFY(checked("Wall_Line1"));
  }

  void openDialogPreviewsThroughTheRegistry() {
    TPictureFileDialog dialog(form_.get(), QFileDialog::AcceptOpen, "Bitmap, png file(*.bmp;*.png)|*.bmp;*.png");
    WritePatternBmp(Path("wide.bmp"), 300, 20);
    WriteFileBytes(Path("broken.png"), SampleSkinBmp());
    const std::pair<const char*, const char*> cases[] = {
        {"skin.png", "160 x 80"}, {"skin.bmp", "160 x 80"}, {"wide.bmp", "300 x 20"}, {"broken.png", ""}};
    for (const auto& [name, size] : cases) {
      dialog.ShowPreview(QString::fromStdString(Path(name)));
      QCOMPARE(dialog.PreviewSizeText(), QString(size));
    }
  }

  // Every caption is shown whole in the font the window selects for the faces installed; the
  // layout's geometry stays as stored. "too large" proves that the check sees a cut caption.
  void captionsFitTheirControls_data() {
    QTest::addColumn<QString>("family");  // empty: the face the program selects
    QTest::addColumn<int>("pixels");      // 0: the size the program fits
    QTest::addColumn<bool>("fits");
    QTest::newRow("selected face") << "" << 0 << true;
    QTest::newRow("DejaVu Sans, the stock face") << "DejaVu Sans" << 0 << true;
    QTest::newRow("too large") << "DejaVu Sans" << 16 << false;
  }
  void captionsFitTheirControls() {
    QFETCH(QString, family);
    QFETCH(int, pixels);
    QFETCH(bool, fits);
    if (!family.isEmpty()) {
      if (!QFontDatabase::hasFamily(family)) QSKIP("face not installed");
      QFont font = form_->font();
      font.setFamily(family);
      if (pixels > 0) font.setPixelSize(pixels);
      form_->setFont(font);
      if (pixels == 0) FitInterfaceFont(*form_, {family}, 12, 8);
      QCOMPARE(QFontInfo(form_->font()).family(), family);
    }
    // The preview caption at its longest: a made window at the highest zoom.
    form_->LoadSampleSkin(resources::SampleSkins().front());
    Click("Button_Make");
    for (int i = 0; i < 10; ++i) Click("Button_Extend");
    QCoreApplication::processEvents();
    const std::vector<TCaptionOverflow> overflows = CaptionOverflows(*form_);
    for (const TCaptionOverflow& o : overflows)
      qInfo("%s \"%s\" needs %dx%d, has %dx%d", qPrintable(o.control), qPrintable(o.text), o.needed.width(),
            o.needed.height(), o.available.width(), o.available.height());
    qInfo("face %s, %d pixels", qPrintable(QFontInfo(form_->font()).family()), form_->font().pixelSize());
    QCOMPARE(overflows.empty(), fits);
    if (!fits) {
      QStringList names;
      for (const TCaptionOverflow& o : overflows) names << o.control;
      QVERIFY(names.contains("Label5"));  // "Between Lines:"
    }
  }

  // Two faces that both show every caption at the largest size: the first in the list is kept.
  void captionFontTieKeepsTheFirstFace_data() {
    QTest::addColumn<QStringList>("families");
    QTest::newRow("DejaVu Sans first") << QStringList{"DejaVu Sans", "Liberation Sans"};
    QTest::newRow("Liberation Sans first") << QStringList{"Liberation Sans", "DejaVu Sans"};
  }
  void captionFontTieKeepsTheFirstFace() {
    QFETCH(QStringList, families);
    for (const QString& family : families)
      if (!QFontDatabase::hasFamily(family)) QSKIP("face not installed");
    QWidget root;
    QLabel caption("Ab", &root);
    caption.setGeometry(0, 0, 200, 100);
    const QFont chosen = FitInterfaceFont(root, families, 12, 8);
    QCOMPARE(chosen.family(), families.front());
    QCOMPARE(chosen.pixelSize(), 12);
    QCOMPARE(root.font(), chosen);
  }

  // Started as the program starts: the default sample skin is loaded and the live preview shows
  // the composed window; Make works at once. File > Open sample skin loads each sample.
  void startsUsefulWithTheDefaultSkin() {
    form_->LoadSampleSkin(resources::SampleSkins().front());
    QVERIFY(form_->SysLoaded());
    QVERIFY(form_->LastOpenName().empty());
    QTRY_VERIFY_WITH_TIMEOUT(Image("Image_Res").Picture() != nullptr, 2000);
    QVERIFY(form_->StatusText().startsWith("Window "));
    QVERIFY(dialogs_->boxes.empty());
    QMenu* samples = Control<QMenu>(*form_, "OpenSample1");
    QCOMPARE(samples->title(), QString("Open sample skin"));
    QCOMPARE(samples->actions().size(), static_cast<qsizetype>(resources::SampleSkins().size()));
    for (const resources::SampleSkin& skin : resources::SampleSkins()) {
      const QString name = QString::fromUtf8(skin.name.data(), skin.name.size());
      QAction* entry = nullptr;
      for (QAction* action : samples->actions())
        if (action->text() == name) entry = action;
      QVERIFY(entry != nullptr);
      entry->trigger();
      WriteFileBytes(Path("sample.bmp"), skin.bmp);
      TBitmap expected;
      expected.LoadFromFile(Path("sample.bmp"));
      for (const QPoint p : {QPoint(3, 3), QPoint(100, 50), QPoint(159, 79)})
        QCOMPARE(Image("Image1").Picture()->GetPixelColor(p.x(), p.y()), expected.GetPixelColor(p.x(), p.y()));
      QCOMPARE(form_->StatusText(), "System graphic: " + name);
    }
  }

  // What the window used to end in silence is told in the status bar, still without a box.
  void statusBarTellsWhatHappened_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("status");  // %1: the file's path
    QTest::newRow("make without a skin") << "make" << "No system graphic yet: open a 160×80 BMP or PNG skin first";
    QTest::newRow("32x32 skin") << "open 32x32.bmp" << "The skin is 32×32 pixels; a system graphic must be 160×80";
    QTest::newRow("other extension") << "open skin.gif"
                                     << "%1 was not loaded: a system graphic is a .bmp or .png file";
    QTest::newRow("zero-byte bmp") << "open zero.bmp" << "%1 holds no image; the file may be cut short";
    QTest::newRow("png cut after its header") << "open cut.png" << "%1 holds no image; the file may be cut short";
    QTest::newRow("header claiming 40000x40000") << "open huge.bmp"
                                                 << "The skin is 40000×40000 pixels; a system graphic must be 160×80";
    QTest::newRow("depth without a window") << "depth" << "No window yet: press Make first";
    QTest::newRow("made window") << "load make" << "Window 28×32 pixels";
    QTest::newRow("saved") << "load make save" << "Saved %1";
    // The live preview composes once per change: the event loop left running later undoes
    // neither the depth nor the status.
    QTest::newRow("saved, live preview on") << "live load wait make depth save wait" << "Saved %1";
  }
  void statusBarTellsWhatHappened() {
    QFETCH(QString, step);
    QFETCH(QString, status);
    form_->findChild<QAction*>("LivePreview1")->setChecked(false);
    Control<QPlainTextEdit>(*form_, "Memo1")->setPlainText("Ab");
    WritePatternBmp(Path("32x32.bmp"), 32, 32);
    WriteFileBytes(Path("skin.gif"), SampleSkinBmp());
    WriteFileBytes(Path("zero.bmp"), {});
    WriteFileBytes(Path("cut.png"), std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0,
                                                               160, 0, 0, 0, 80, 8, 0, 0, 0, 0, 0xBB, 0x36, 0x21, 0xE8});
    // A BMP header alone that claims 40000x40000 pixels of 32 bits.
    std::vector<std::uint8_t> huge = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0x40, 0x9C, 0, 0, 0x40, 0x9C,
                                      0, 0, 1, 0, 32, 0};
    huge.resize(54);
    WriteFileBytes(Path("huge.bmp"), huge);
    std::string path;
    for (const QString& word : step.split(' ')) {
      if (word == "live") Trigger("LivePreview1");
      if (word == "wait") QTest::qWait(300);
      if (word == "make") Click("Button_Make");
      if (word == "depth") Trigger("M_C8");
      if (word == "load") LoadSample();
      if (word == "save") {
        path = Path("w.bmp");
        dialogs_->saveAnswers.push_back(path);
        Click("Button_Save");
      }
      if (word.contains('.')) {
        path = Path(word.toStdString());
        Open(path);
      }
    }
    QCOMPARE(form_->StatusText(), status.contains("%1") ? status.arg(QString::fromStdString(path)) : status);
    if (step.contains("make depth")) QCOMPARE(Image("Image_Res").Picture()->GetPixelFormat(), TPixelFormat::pf8bit);
    QVERIFY(dialogs_->boxes.empty());
  }

  void keyboardShortcuts_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect");
    QTest::newRow("Ctrl+O open") << int(Qt::Key_O) << "open dialog";
    QTest::newRow("Ctrl+S save as") << int(Qt::Key_S) << "save dialog";
    QTest::newRow("Ctrl+Return make") << int(Qt::Key_Return) << "made";
    QTest::newRow("Ctrl+= zoom in") << int(Qt::Key_Equal) << "zoom 3";
    QTest::newRow("Ctrl+- zoom out") << int(Qt::Key_Minus) << "zoom 1";
  }
  void keyboardShortcuts() {
    QFETCH(int, key);
    QFETCH(QString, effect);
    form_->findChild<QAction*>("LivePreview1")->setChecked(false);
    LoadSample();
    Click("Button_Extend");  // magnification 2
    if (effect != "made") Click("Button_Make");
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    auto* memo = Control<QPlainTextEdit>(*form_, "Memo1");
    memo->setFocus();
    const QString before = memo->toPlainText();
    const std::size_t opened = dialogs_->openPrefills.size();
    QTest::keyClick(memo, static_cast<Qt::Key>(key), Qt::ControlModifier);
    QCOMPARE(memo->toPlainText(), before);  // taken by the command, not typed
    if (effect == "open dialog") QCOMPARE(dialogs_->openPrefills.size(), opened + 1);
    if (effect == "save dialog") QCOMPARE(dialogs_->savePrefills.size(), std::size_t{1});
    if (effect == "made") QVERIFY(Image("Image_Res").Picture() != nullptr);
    if (effect == "zoom 3") QCOMPARE(form_->Magnify(), 3);
    if (effect == "zoom 1") QCOMPARE(form_->Magnify(), 1);
  }

  // With live preview on, every change of an input composes again, once after a burst; a failed
  // compose keeps the last good preview and says why in the status bar only.
  void livePreviewFollowsTheInputs_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("text") << "text";
    QTest::newRow("font") << "font";
    QTest::newRow("wallpaper") << "wall";
    QTest::newRow("margin") << "margin";
    QTest::newRow("line gap") << "gap";
    QTest::newRow("transparent colour") << "pick";
    for (const char* extra : {"Face1", "FaceRight1", "FaceFlip1", "PauseArrow1", "GameCodes1", "NamesValues1"})
      QTest::newRow(extra) << extra;
    QTest::newRow("text typed with it off, then on again") << "LivePreview1";
  }
  void livePreviewFollowsTheInputs() {
    QFETCH(QString, change);
    auto* memo = Control<QPlainTextEdit>(*form_, "Memo1");
    memo->setPlainText("Ab\nCd");
    LoadSample();
    QTRY_VERIFY_WITH_TIMEOUT(Image("Image_Res").Picture() != nullptr, 2000);
    const auto shown = [&] { return ToQImage(*Image("Image_Res").Picture()); };
    form_->findChild<QStatusBar*>()->clearMessage();
    if (change == "text") QTest::keyClicks(memo, "xyz");
    if (change == "font") Trigger("Font_MS_M1");
    if (change == "wall") Control<TRadioGroup>(*form_, "RadioGroup_Wall")->setItemIndex(1);
    if (change == "margin") Control<QSpinBox>(*form_, "SpinEdit_Pad_Round")->setValue(3);
    if (change == "gap") Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(4);
    if (change == "pick") QTest::mouseClick(&Image("Image1"), Qt::LeftButton, {}, QPoint(16, 32));  // the shadow
    if (change == "Face1") {
      WritePatternBmp(Path("faces.bmp"), 48, 48);
      dialogs_->faceAnswers.push_back(TFaceChoice{Path("faces.bmp"), 0});
    }
    if (change == "NamesValues1") dialogs_->tableAnswers.push_back(GameCodeValues{{{1, "Al"}}, {}});
    if (change == "LivePreview1") {
      Trigger("LivePreview1");
      QTest::keyClicks(memo, "xyz");
    }
    if (change.endsWith("1")) Trigger(change.toLatin1().constData());  // an Extras item
    QTRY_VERIFY_WITH_TIMEOUT(form_->StatusText().startsWith("Window "), 2000);  // composed again
    QVERIFY(dialogs_->boxes.empty());
    // Off: changes leave the preview alone; Make still composes.
    Trigger("LivePreview1");
    QVERIFY(!form_->LivePreview());
    const QImage kept = shown();
    QTest::keyClicks(memo, "more");
    QTest::qWait(100);
    QCOMPARE(shown(), kept);
    Click("Button_Make");
    QVERIFY(shown() != kept);
  }

  void failedLiveComposeKeepsTheLastPreview() {
    LoadSample();
    QTRY_VERIFY_WITH_TIMEOUT(Image("Image_Res").Picture() != nullptr, 2000);
    const QImage good = ToQImage(*Image("Image_Res").Picture());
    // No lines and a line gap of 16: a window without height.
    Control<QPlainTextEdit>(*form_, "Memo1")->clear();
    Control<QSpinBox>(*form_, "SpinEdit_Pad_Line")->setValue(16);
    QTRY_VERIFY_WITH_TIMEOUT(form_->StatusText().startsWith("Live preview not updated: "), 2000);
    QCOMPARE(ToQImage(*Image("Image_Res").Picture()), good);
    QVERIFY(dialogs_->boxes.empty());
    Click("Button_Make");  // Make still reports the failure in a box
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
  }

  void userGlyphSheetComesFromTheCurrentDirectory_data() {
    QTest::addColumn<bool>("bmp");
    QTest::addColumn<QString>("bmpContent");
    QTest::addColumn<bool>("png");
    QTest::addColumn<QSize>("sheet");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("message");  // the end of the reported message
    QTest::newRow("bmp only") << true << "pattern" << false << QSize(120, 12) << false << "";
    QTest::newRow("png only") << false << "" << true << QSize(160, 80) << false << "";
    QTest::newRow("both: bmp wins") << true << "pattern" << true << QSize(120, 12) << false << "";
    QTest::newRow("broken bmp") << true << "broken" << true << QSize(0, 0) << true << "A bitmap image is illegal.";
    QTest::newRow("bmp one pixel too wide") << true << "wide" << false << QSize(0, 0) << true
                                            << "myword.bmp is 4097x1 pixels; a sheet may be at most 4096x4096.";
    QTest::newRow("bmp that holds no image") << true << "empty" << true << QSize(0, 0) << true
                                             << "myword.bmp holds no image; the file may be cut short.";
  }
  void userGlyphSheetComesFromTheCurrentDirectory() {
    QFETCH(bool, bmp);
    QFETCH(QString, bmpContent);
    QFETCH(bool, png);
    QFETCH(QSize, sheet);
    QFETCH(bool, reported);
    QFETCH(QString, message);
    QTemporaryDir cwd;
    const QString previous = QDir::currentPath();
    const std::string base = cwd.path().toStdString();
    if (bmp && bmpContent == "pattern") WritePatternBmp(base + "/myword.bmp", 120, 12);
    if (bmp && bmpContent == "broken") WriteFileBytes(base + "/myword.bmp", SampleSkinPng());
    if (bmp && bmpContent == "wide") WritePatternBmp(base + "/myword.bmp", kMaxSheetSide + 1, 1);
    if (bmp && bmpContent == "empty") WriteFileBytes(base + "/myword.bmp", {});
    if (png) WriteFileBytes(base + "/myword.png", SampleSkinPng());
    QVERIFY(QDir::setCurrent(cwd.path()));
    NewForm();
    QDir::setCurrent(previous);
    const TBitmap* mine = Image("Image_MyGaizi").Picture();
    QCOMPARE(QSize(mine->GetWidth(), mine->GetHeight()), sheet);
    QCOMPARE(Image("Image_Gaizi").Picture()->GetWidth(), 156);
    QCOMPARE(dialogs_->boxes.size(), std::size_t{reported ? 1u : 0u});
    if (reported) QVERIFY2(QString::fromStdString(dialogs_->boxes[0].text).endsWith(message), dialogs_->boxes[0].text.c_str());
    QVERIFY(form_->isVisible());
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  PrepareApplication(application);
  TestForm test;
  return QTest::qExec(&test, argc, argv);
}

#include "form_test.moc"
