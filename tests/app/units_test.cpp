// The window program's small parts: failure text, picture conversion, dialog filters, anchors.
#include <QtTest>
#include <new>

#include "app/anchors.h"
#include "app/app_messages.h"
#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/failure.h"
#include "app/image_convert.h"
#include "scripted_dialogs.h"

using namespace pw;

class TestUnits : public QObject {
  Q_OBJECT

 private slots:
  void fullStopRule_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter") << "PNG LoadStream: Not PNG Format" << "PNG LoadStream: Not PNG Format.";
    QTest::newRow("full stop") << "A bitmap image is illegal." << "A bitmap image is illegal.";
    QTest::newRow("closing parenthesis sorts before '.'") << "x (y)" << "x (y)";
    QTest::newRow("blank sorts before '.'") << "x " << "x ";
    QTest::newRow("slash sorts after '.'") << "a/" << "a/.";
    QTest::newRow("digit") << "error 7" << "error 7.";
    QTest::newRow("Japanese full stop") << "フック先を特定できません。" << "フック先を特定できません。.";
    QTest::newRow("empty") << "" << "";
  }
  void fullStopRule() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(FailureText(message.toStdString())), shown);
  }

  void guardedCommandsReportFailures() {
    TScriptedDialogs dialogs;
    bool after = false;
    RunGuarded(dialogs, [] { throw std::runtime_error("Broken"); });
    RunGuarded(dialogs, [&] { after = true; });
    QVERIFY(after);
    QCOMPARE(dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(dialogs.boxes[0].text, std::string("Broken."));
    QCOMPARE(dialogs.boxes[0].caption, std::string("Panelwright"));
    QCOMPARE(dialogs.boxes[0].flags, MB_OK | MB_ICONHAND);
    // Memory that runs out is told in words, not as the library's "std::bad_alloc".
    RunGuarded(dialogs, [] { throw std::bad_alloc(); });
    QCOMPARE(dialogs.boxes.size(), std::size_t{2});
    QCOMPARE(dialogs.boxes[1].text, std::string("There is not enough memory to finish this; nothing was changed."));
  }

  void dialogFilters() {
    QCOMPARE(ToQtFilters("Bitmap, png file(*.bmp;*.png)|*.bmp;*.png|Bitmap(*.bmp)|*.bmp|png file(*.png)|*.png"),
             QStringList({"Bitmap, png file(*.bmp *.png)", "Bitmap(*.bmp)", "png file(*.png)"}));
    QCOMPARE(ToQtFilters("Pictures|*.bmp;*.dib"), QStringList({"Pictures (*.bmp *.dib)"}));
    // The save dialog's filters and the extension each adds to a name typed without one.
    const QStringList save = ToQtFilters(app_msg::kSaveFilter);
    QCOMPARE(save, QStringList({"Bitmap(*.bmp)", "PNG file (*.png)"}));
    QCOMPARE(FilterSuffix(save[0]), QString("bmp"));
    QCOMPARE(FilterSuffix(save[1]), QString("png"));
    QCOMPARE(FilterSuffix("All files (*)"), QString());
  }

  void commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");  // TCommandLine::TAction
    QTest::addColumn<QString>("skin");
    const int run = int(TCommandLine::TAction::kRun), wrong = int(TCommandLine::TAction::kUsageError);
    const int version = int(TCommandLine::TAction::kVersion);
    QTest::newRow("nothing") << QStringList{} << run << "";
    QTest::newRow("a skin") << QStringList{"/tmp/a b.png"} << run << "/tmp/a b.png";
    QTest::newRow("a skin after --") << QStringList{"--", "-odd.bmp"} << run << "-odd.bmp";
    QTest::newRow("an option") << QStringList{"--help"} << wrong << "";
    QTest::newRow("two skins") << QStringList{"a.png", "b.png"} << wrong << "";
    QTest::newRow("unknown option") << QStringList{"--zoom"} << wrong << "";
    QTest::newRow("empty name") << QStringList{""} << wrong << "";
    QTest::newRow("version") << QStringList{"--version"} << version << "";
    QTest::newRow("version and a skin") << QStringList{"--version", "a.png"} << wrong << "";
    QTest::newRow("a skin named --version") << QStringList{"--", "--version"} << run << "--version";
  }
  void commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, skin);
    std::vector<std::string> list;
    for (const QString& a : args) list.push_back(a.toStdString());
    const TCommandLine line = ParseCommandLine(list);
    QCOMPARE(int(line.action), action);
    QCOMPARE(QString::fromStdString(line.skin), skin);
    QCOMPARE(line.error.empty(), action != int(TCommandLine::TAction::kUsageError));
  }

  void anchorNames() {
    QCOMPARE(ParseAnchors(""), unsigned(akLeft | akTop));
    QCOMPARE(ParseAnchors("top,right"), unsigned(akTop | akRight));
    QCOMPARE(ParseAnchors("left, top, right, bottom"), unsigned(akLeft | akTop | akRight | akBottom));
  }

  // 2x2 pictures worked out by hand in every stored format.
  void convertsEveryPixelFormat() {
    const TColor red = RGB(255, 0, 0), green = RGB(0, 255, 0), blue = RGB(0, 0, 255), grey = RGB(10, 20, 30);
    auto check = [](const TBitmap& bitmap, std::initializer_list<TColor> colours) {
      const QImage image = ToQImage(bitmap);
      QCOMPARE(image.size(), QSize(bitmap.GetWidth(), bitmap.GetHeight()));
      auto c = colours.begin();
      for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x, ++c)
          QCOMPARE(image.pixel(x, y), qRgb(GetRValue(*c), GetGValue(*c), GetBValue(*c)));
    };
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit, TPixelFormat::pfDevice}) {
      TBitmap b;
      b.SetPixelFormat(format);
      b.SetSize(2, 2);
      b.SetPixelColor(0, 0, red);
      b.SetPixelColor(1, 0, green);
      b.SetPixelColor(0, 1, blue);
      b.SetPixelColor(1, 1, grey);
      check(b, {red, green, blue, grey});
    }
    // Indexed pictures go through their own palette, highest bits first; odd widths pad rows.
    TBitmap four;
    four.SetPixelFormat(TPixelFormat::pf4bit);
    four.SetSize(3, 1);
    four.SetPalette({{1, 2, 3, 0}, {200, 100, 50, 0}, {9, 9, 9, 0}});
    four.ScanLine(0)[0] = 0x21;  // pixels 2, 1
    four.ScanLine(0)[1] = 0x00;  // pixel 0
    check(four, {RGB(9, 9, 9), RGB(200, 100, 50), RGB(1, 2, 3)});
    TBitmap mono;
    mono.SetPixelFormat(TPixelFormat::pf1bit);
    mono.SetSize(9, 1);
    mono.SetPalette({{0, 0, 0, 0}, {255, 255, 255, 0}});
    mono.ScanLine(0)[0] = 0xA0;  // 1 0 1 0 0 0 0 0
    mono.ScanLine(0)[1] = 0x80;  // the ninth pixel in the next byte's high bit
    check(mono, {clWhite, clBlack, clWhite, clBlack, clBlack, clBlack, clBlack, clBlack, clWhite});
    TBitmap eight;
    eight.SetPixelFormat(TPixelFormat::pf8bit);
    eight.SetSize(2, 1);
    eight.SetPalette({{5, 6, 7, 0}});
    eight.ScanLine(0)[0] = 0;
    eight.ScanLine(0)[1] = 200;  // beyond the palette: black
    check(eight, {RGB(5, 6, 7), clBlack});
    QVERIFY(ToQImage(TBitmap()).isNull());
  }
};

QTEST_GUILESS_MAIN(TestUnits)
#include "units_test.moc"
