// The colour-depth command and quick save, driven through the window's controls and menus.
#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sys/resource.h>

#include "app/application.h"
#include "app/form1.h"
#include "app/image_control.h"
#include "dib/qvdib.h"
#include "png/kropng.h"
#include "scripted_dialogs.h"
#include "test_support.h"

using namespace pw;

namespace {

std::set<TColor> Colours(const TBitmap& bitmap) {
  std::set<TColor> colours;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) colours.insert(bitmap.GetPixelColor(x, y));
  return colours;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Limits the size of files this process may write, for the life of the object.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails instead of ending the process
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limited = saved_;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~TFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
};

constexpr const char* kLabel24 = "24 bit (High  colour) ";

}  // namespace

class TestDepthAndQuickSave : public QObject, public TFormFixture {
  Q_OBJECT

 private:
  const TBitmap& Result() { return *Control<TImage>(*form_, "Image_Res")->Picture(); }
  std::string CaptionWith(const std::string& label) {
    return PreviewCaptionText(Result().GetWidth(), Result().GetHeight(), form_->Magnify(), label);
  }
  void MakeFrom(const std::string& skin) {
    dialogs_->openAnswers.push_back(skin);
    Click("Button_Load");
    QVERIFY(form_->SysLoaded());
    Click("Button_Make");
    QVERIFY(Control<TImage>(*form_, "Image_Res")->Picture() != nullptr);
  }
  void SetFields(const std::string& folder, const std::string& name) {
    Control<QLineEdit>(*form_, "Edit_SaveFolder")->setText(QString::fromStdString(folder));
    Control<QLineEdit>(*form_, "Edit_SaveFile")->setText(QString::fromStdString(name));
  }

 private slots:
  void initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    WriteFileBytes(Path("skin.bmp"), SampleSkinBmp());
    // The same skin with every pure white pixel turned a shade darker.
    TBitmap skin;
    skin.LoadFromFile(Path("skin.bmp"));
    for (int y = 0; y < skin.GetHeight(); ++y)
      for (int x = 0; x < skin.GetWidth(); ++x)
        if (skin.GetPixelColor(x, y) == clWhite) skin.SetPixelColor(x, y, RGB(254, 254, 254));
    skin.SaveToFile(Path("nowhite.bmp"));
    std::filesystem::create_directories(Path("out"));
  }
  void init() { NewForm(); }
  void cleanup() { form_.reset(); }

  void depthButtonShowsThePopupUnderIt() {
    Click("Button_Col_Redu");
    auto* button = Control<QPushButton>(*form_, "Button_Col_Redu");
    QCOMPARE(dialogs_->poppedMenu, Control<QMenu>(*form_, "PopupMenu_Col_Redu"));
    QCOMPARE(dialogs_->popupPos, button->mapToGlobal(QPoint(0, button->height())));
    QStringList items;
    for (QAction* action : dialogs_->poppedMenu->actions())
      items << action->text() + "=" + action->property("tag").toString();
    QCOMPARE(items, QStringList({"&1bit (2 colours)=1", "&4 bit (16 colours)=4", "&8 bit (256 colours)=8",
                                 "&24 bit (High colour)=24"}));
  }

  void depthBeforeMakeDoesNothing() {
    Trigger("C8");
    QCOMPARE(PreviewCaption(), std::string("Preview ( 0 x 0 ) magnification : x1"));
    QVERIFY(dialogs_->boxes.empty());
  }

  void eachDepthSetsFormatAndCaption_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("label");
    QTest::newRow("C1") << "C1" << int(TPixelFormat::pf1bit) << "1 bit (2 col) ";
    QTest::newRow("C4") << "C4" << int(TPixelFormat::pf4bit) << "4 bit (16 col) ";
    QTest::newRow("C8") << "C8" << int(TPixelFormat::pf8bit) << "8 bit (256 col) ";
    QTest::newRow("C24") << "C24" << int(TPixelFormat::pf24bit) << kLabel24;
    QTest::newRow("M_C1") << "M_C1" << int(TPixelFormat::pf1bit) << "1 bit (2 col) ";
    QTest::newRow("M_C4") << "M_C4" << int(TPixelFormat::pf4bit) << "4 bit (16 col) ";
    QTest::newRow("M_C8") << "M_C8" << int(TPixelFormat::pf8bit) << "8 bit (256 col) ";
    QTest::newRow("M_C24") << "M_C24" << int(TPixelFormat::pf24bit) << kLabel24;
  }
  void eachDepthSetsFormatAndCaption() {
    QFETCH(QString, item);
    QFETCH(int, format);
    QFETCH(QString, label);
    MakeFrom(Path("skin.bmp"));
    Click("Button_Extend");
    const QSize previewSize = Control<TImage>(*form_, "Image_Res")->size();
    const QSize pictureSize(Result().GetWidth(), Result().GetHeight());
    QCOMPARE(PreviewCaption(), CaptionWith(kLabel24));
    Trigger(item.toLatin1().constData());
    QCOMPARE(int(Result().GetPixelFormat()), format);
    QCOMPARE(PreviewCaption(), CaptionWith(label.toStdString()));
    QCOMPARE(QSize(Result().GetWidth(), Result().GetHeight()), pictureSize);
    QCOMPARE(Control<TImage>(*form_, "Image_Res")->size(), previewSize);
    QVERIFY(dialogs_->boxes.empty());
  }

  void oneBitWithoutPureWhiteIsAllBlack() {
    MakeFrom(Path("nowhite.bmp"));
    QVERIFY(!Colours(Result()).contains(clWhite));
    Trigger("C1");
    QCOMPARE(Colours(Result()), std::set<TColor>{clBlack});
    Trigger("C24");  // back to 24 bits: still only the colours of the 1-bit picture
    QCOMPARE(Result().GetPixelFormat(), TPixelFormat::pf24bit);
    QCOMPARE(Colours(Result()), std::set<TColor>{clBlack});
  }

  void fourThenEightBitsKeepAtMostSixteenColours() {
    MakeFrom(Path("skin.bmp"));
    QVERIFY(Colours(Result()).size() > 16);
    Trigger("M_C4");
    const std::set<TColor> four = Colours(Result());
    QVERIFY(four.size() <= 16);
    Trigger("M_C8");
    QCOMPARE(Result().GetPixelFormat(), TPixelFormat::pf8bit);
    const std::set<TColor> eight = Colours(Result());
    QVERIFY(eight.size() <= 16);
    QVERIFY(std::includes(four.begin(), four.end(), eight.begin(), eight.end()));
    Click("Button_Make");  // only Make restores the full colours
    QVERIFY(Colours(Result()).size() > 16);
  }

  // The program never changes ConvertMode: its 4-bit command reduces with the Low routine. On
  // the composed sample window the Low and High reductions differ.
  void fourBitCommandGivesTheLowReduction_data() {
    QTest::addColumn<QString>("item");
    QTest::newRow("C4") << "C4";
    QTest::newRow("M_C4") << "M_C4";
  }
  void fourBitCommandGivesTheLowReduction() {
    QFETCH(QString, item);
    MakeFrom(Path("skin.bmp"));
    const TBitmap made = Result();
    const auto reduced = [&made](TQvConvertMode mode) {
      TQvDIB dib;
      dib.Assign(&made);
      dib.ConvertMode = mode;
      dib.SetPixelFormat(qvPf4Bit);
      TBitmap out;
      dib.AssignTo(out);
      return out;
    };
    const TBitmap low = reduced(qvCmLow), high = reduced(qvCmHigh);
    QVERIFY(low.GetPalette() != high.GetPalette());
    Trigger(item.toLatin1().constData());
    QCOMPARE(Result().GetPixelFormat(), TPixelFormat::pf4bit);
    QVERIFY(Result().GetPalette() == low.GetPalette());
    for (int y = 0; y < low.GetHeight(); ++y)
      for (int x = 0; x < low.GetWidth(); ++x) QCOMPARE(Result().GetPixelColor(x, y), low.GetPixelColor(x, y));
  }

  void browseFillsTheFolderField() {
    SetFields("/kept", "");
    dialogs_->folderAnswers.push_back("");  // cancelled
    Click("Button_Folder");
    QCOMPARE(Control<QLineEdit>(*form_, "Edit_SaveFolder")->text(), QString("/kept"));
    QCOMPARE(dialogs_->folderTitles.back(), std::string("フォルダを選択してください。"));
    dialogs_->folderAnswers.push_back("/chosen/folder");
    Trigger("Quick_Open1");
    QCOMPARE(Control<QLineEdit>(*form_, "Edit_SaveFolder")->text(), QString("/chosen/folder"));
  }

  void quickSaveChecksInOrder_data() {
    QTest::addColumn<QString>("folder");  // "@" stands for the temporary folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("both empty") << "" << "" << "Type a file name to save under";
    QTest::newRow("no name") << "@" << "" << "Type a file name to save under";
    QTest::newRow("no folder") << "" << "w.bmp" << "Choose a folder to save into";
    QTest::newRow("missing folder") << "@/nothing-here" << "w.bmp" << "There's no such folder";
    QTest::newRow("folder is a file") << "@/skin.bmp" << "w.bmp" << "There's no such folder";
  }
  void quickSaveChecksInOrder() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, message);
    MakeFrom(Path("skin.bmp"));
    folder.replace("@", dir_->path());
    SetFields(folder.toStdString(), name.toStdString());
    Click("Button_QuickSave");
    QCOMPARE(dialogs_->informations, std::vector<std::string>{message.toStdString()});
    QVERIFY(dialogs_->boxes.empty());
    QVERIFY(!std::filesystem::exists(Path("nothing-here")));
  }

  void quickSaveBeforeMakeSavesNothing() {
    SetFields(Path("out"), "early.bmp");
    Trigger("Quick_Save1");
    QCOMPARE(dialogs_->informations.size(), std::size_t{1});
    QVERIFY(dialogs_->informations[0] != "Saved it");
    QVERIFY(!std::filesystem::exists(Path("out/early.bmp")));
  }

  void quickSaveJoinsFolderAndName_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("plain") << "@/out" << "a.bmp" << "@/out/a.bmp";
    QTest::newRow("trailing separator") << "@/out/" << "b.bmp" << "@/out/b.bmp";
    QTest::newRow("two trailing separators") << "@/out//" << "c.bmp" << "@/out//c.bmp";
    QTest::newRow("no extension: .bmp added") << "@/out" << "plain" << "@/out/plain.bmp";
    QTest::newRow("other extension") << "@/out" << "w.txt" << "@/out/w.txt";
  }
  void quickSaveJoinsFolderAndName() {
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, path);
    MakeFrom(Path("skin.bmp"));
    const std::string target = path.replace("@", dir_->path()).toStdString();
    SetFields(folder.replace("@", dir_->path()).toStdString(), name.toStdString());
    Click("Button_QuickSave");
    QCOMPARE(dialogs_->informations, std::vector<std::string>{"Saved it"});
    QCOMPARE(FileText(target).substr(0, 2), std::string("BM"));
    // A second save asks first, with the joined path in the question.
    Click("Button_QuickSave");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QCOMPARE(dialogs_->boxes[0].text, target + " already exists\r\nOverwrite ?");
    QCOMPARE(dialogs_->boxes[0].caption, std::string("Save Image"));
    QCOMPARE(dialogs_->boxes[0].flags, 52u);
  }

  void overwriteAnswers_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("Yes") << IDYES << true;
    QTest::newRow("No") << IDNO << false;
  }
  void overwriteAnswers() {
    QFETCH(int, answer);
    QFETCH(bool, written);
    MakeFrom(Path("skin.bmp"));
    const std::string target = Path("out/existing.bmp");
    WriteFileBytes(target, std::vector<std::uint8_t>{'o', 'l', 'd'});
    SetFields(Path("out"), "existing.bmp");
    dialogs_->boxAnswers.push_back(answer);
    Click("Button_QuickSave");
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});
    QCOMPARE(FileText(target) != "old", written);
    QCOMPARE(dialogs_->informations, written ? std::vector<std::string>{"Saved it"} : std::vector<std::string>{});
  }

  void savesAtTheCurrentDepth_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("signature");
    QTest::newRow("bmp") << "four.bmp" << QByteArray("BM");
    QTest::newRow("png") << "four.Png" << QByteArray("\x89PNG", 4);
  }
  void savesAtTheCurrentDepth() {
    QFETCH(QString, name);
    QFETCH(QByteArray, signature);
    MakeFrom(Path("skin.bmp"));
    Trigger("C4");
    SetFields(Path("out"), name.toStdString());
    Click("Button_QuickSave");
    const std::string target = Path("out/" + name.toStdString());
    const std::string magic = signature.toStdString();
    QCOMPARE(FileText(target).substr(0, magic.size()), magic);
    TBitmap written;
    if (name.endsWith(".Png")) LoadPngFile(target, written);
    else written.LoadFromFile(target);
    QCOMPARE(written.GetPixelFormat(), TPixelFormat::pf4bit);
    QCOMPARE(Colours(written), Colours(Result()));
  }

  void failedWritesAreReportedByTheDefaultHandler_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reported");  // the target path stands for %1
    QTest::newRow("missing subfolder") << "sub/w.bmp" << "File %1 can't be made.";
    QTest::newRow("target is a folder") << "folder.bmp" << "File %1 can't be made.";
  }
  void failedWritesAreReportedByTheDefaultHandler() {
    QFETCH(QString, name);
    QFETCH(QString, reported);
    MakeFrom(Path("skin.bmp"));
    std::filesystem::create_directories(Path("out/folder.bmp"));
    SetFields(Path("out"), name.toStdString());
    Click("Button_QuickSave");
    const QString target = QString::fromStdString(Path("out/" + name.toStdString()));
    QCOMPARE(dialogs_->boxes.size(), std::size_t{1});  // no overwrite question: not a file
    QCOMPARE(QString::fromStdString(dialogs_->boxes[0].text), reported.arg(target));
    QCOMPARE(dialogs_->boxes[0].flags, MB_OK | MB_ICONHAND);
    QVERIFY(dialogs_->informations.empty());  // the after-save check is skipped
  }

  void failedOverwriteKeepsTheOldFile() {
    MakeFrom(Path("skin.bmp"));
    const std::string target = Path("out/keep.bmp");
    const std::string old(64, 'k');
    WriteFileBytes(target, std::span(reinterpret_cast<const std::uint8_t*>(old.data()), old.size()));
    SetFields(Path("out"), "keep.bmp");
    const auto entries = [&] {
      std::size_t count = 0;
      for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(Path("out"))) ++count;
      return count;
    };
    const std::size_t before = entries();
    dialogs_->boxAnswers.push_back(IDYES);
    {
      const TFileSizeLimit limit(1000);  // the window's BMP is larger: its write fails part-way
      Click("Button_QuickSave");
    }
    QCOMPARE(dialogs_->boxes.size(), std::size_t{2});
    QCOMPARE(dialogs_->boxes[1].flags, MB_OK | MB_ICONHAND);
    QVERIFY(dialogs_->informations.empty());
    QCOMPARE(FileText(target), old);
    QCOMPARE(entries(), before);  // no half-written temporary file left behind
  }

  void relativeFolderIsTakenFromTheCurrentDirectory() {
    MakeFrom(Path("skin.bmp"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    SetFields("out", "relative.bmp");
    Click("Button_QuickSave");
    QDir::setCurrent(previous);
    QCOMPARE(dialogs_->informations, std::vector<std::string>{"Saved it"});
    QVERIFY(std::filesystem::exists(Path("out/relative.bmp")));
  }
};

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  PrepareApplication(application);
  TestDepthAndQuickSave test;
  return QTest::qExec(&test, argc, argv);
}

#include "depth_save_test.moc"
