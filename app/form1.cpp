#include "app/form1.h"

#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTextCursor>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/anchors.h"
#include "app/app_messages.h"
#include "app/caption_fit.h"
#include "app/dialogs.h"
#include "app/drop_target.h"
#include "app/extras_dialogs.h"
#include "app/failure.h"
#include "compose/layout.h"
#include "dib/qvdib.h"
#include "io/animation_file.h"
#include "io/load_picture.h"
#include "io/options.h"
#include "io/text.h"
#include "png/png_writer.h"
#include "resources/resources.h"
#include "toolkit/picture.h"
#include "toolkit/code_pages.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"
#include "toolkit/stream.h"
#include "ui_form1.h"

namespace pw {

namespace {

constexpr int kMaxMagnify = 10;
// The layout's user-interface font is 12 pixels high; a wider substitute face is made smaller,
// down to this size, until every caption fits its control.
constexpr int kLayoutFontPixels = 12;
constexpr int kSmallestFontPixels = 8;
// A burst of changes composes once, this long after the last one: well within 50 ms of the last
// key, composing included.
constexpr int kLiveDelayMs = 30;

int TagOf(const QObject* sender) { return sender != nullptr ? sender->property("tag").toInt() : 0; }

// True for an existing file that is not a folder.
bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

const char* PixelFormatLabel(TPixelFormat format) {
  switch (format) {
    case TPixelFormat::pf1bit: return app_msg::kLabel1Bit;
    case TPixelFormat::pf4bit: return app_msg::kLabel4Bit;
    case TPixelFormat::pf8bit: return app_msg::kLabel8Bit;
    case TPixelFormat::pf24bit: return app_msg::kLabel24Bit;
    case TPixelFormat::pf32bit: return app_msg::kLabel32Bit;
    case TPixelFormat::pfCustom: return app_msg::kLabelCustom;
    case TPixelFormat::pfDevice:
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: break;
  }
  return "";
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A quick-save name typed without an extension is given ".bmp", the format written.
std::string WithBmpExtension(const std::string& name) {
  return FileExtension(name).empty() ? name + "." + app_msg::kSaveDefaultExtension : name;
}

// An animation frame as a 24-bit picture; transparent pixels (the opening) show white.
TBitmap FrameBitmap(const TRgbaImage& frame) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(frame.width, frame.height);
  for (int y = 0; y < frame.height; ++y) {
    std::uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < frame.width; ++x, row += 3) {
      const std::uint8_t* p = frame.Pixel(x, y);
      const bool clear = p[3] == 0;
      row[0] = clear ? 255 : p[2], row[1] = clear ? 255 : p[1], row[2] = clear ? 255 : p[0];
    }
  }
  return bitmap;
}

void ShowSized(TImage& image, TBitmap bitmap) {
  image.resize(bitmap.GetWidth(), bitmap.GetHeight());
  image.SetPicture(std::move(bitmap));
}

}  // namespace

TForm1::TForm1(TDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), dialogs_(dialogs) {
  ui_->setupUi(this);
  move(4, 4);
  FitInterfaceFont(*this, InstalledFaces(font()), kLayoutFontPixels, kSmallestFontPixels);
  // The status bar is added below the stored layout, which keeps its full height.
  resize(width(), height() + ui_->StatusBar1->sizeHint().height());
  anchors_ = new TAnchors(this);  // owned by this window
  anchors_->RecordAll(ui_->centralwidget);
  // The drop target is configured like a stored component, then told that loading ended.
  dropDst1_ = new TDropDst(this);  // owned by this window
  dropDst1_->SetFailureDialogs(&dialogs_);
  dropDst1_->SetControl(ui_->GroupBox_Sys);
  dropDst1_->SetTarget(htControl);
  dropDst1_->SetAcceptDrop(true);
  dropDst1_->OnFileDrop = [this](QObject* sender, const QStringList& files, int x, int y) {
    DropDst1FileDrop(sender, files, x, y);
  };
  dropDst1_->Loaded();
  BuildSampleMenu();
  AssignShortcuts();
  BuildExtrasMenu();
  BuildTextMenus();
  ConnectCommands();
  ConnectLivePreview();
  RunGuarded(dialogs_, [this] { FormCreate(); });
}

TForm1::~TForm1() = default;

template <class Source, class Signal>
void TForm1::Connect(Source* source, Signal signal, void (TForm1::*handler)(QObject*)) {
  connect(source, signal, this, [this, source, handler] { RunGuarded(dialogs_, [&] { (this->*handler)(source); }); });
}

void TForm1::ConnectCommands() {
  Ui::TForm1& u = *ui_;
  Connect(u.Button_Load, &QPushButton::clicked, &TForm1::Button_LoadClick);
  Connect(u.OpenSys1, &QAction::triggered, &TForm1::Button_LoadClick);
  Connect(u.Button_Make, &QPushButton::clicked, &TForm1::Button_MakeClick);
  Connect(u.Make1, &QAction::triggered, &TForm1::Button_MakeClick);
  Connect(u.Button_Save, &QPushButton::clicked, &TForm1::Button_SaveClick);
  Connect(u.SaveAs1, &QAction::triggered, &TForm1::Button_SaveClick);
  Connect(u.Button_Folder, &QPushButton::clicked, &TForm1::Button_FolderClick);
  Connect(u.Quick_Open1, &QAction::triggered, &TForm1::Button_FolderClick);
  Connect(u.Button_QuickSave, &QPushButton::clicked, &TForm1::Button_QuickSaveClick);
  Connect(u.Quick_Save1, &QAction::triggered, &TForm1::Button_QuickSaveClick);
  Connect(u.Button_Col_Redu, &QPushButton::clicked, &TForm1::Button_Col_ReduClick);
  for (QAction* action : {u.C1, u.C4, u.C8, u.C24, u.M_C1, u.M_C4, u.M_C8, u.M_C24})
    Connect(action, &QAction::triggered, &TForm1::C1Click);
  Connect(u.SaveAnimation1, &QAction::triggered, &TForm1::SaveAnimation1Click);
  Connect(u.Button_Play, &QPushButton::clicked, &TForm1::Button_PlayClick);
  Connect(u.Button_Exit, &QPushButton::clicked, &TForm1::Button_ExitClick);
  Connect(u.Exit1, &QAction::triggered, &TForm1::Button_ExitClick);
  for (QPushButton* button : {u.Button_Extend, u.Button_Mini})
    Connect(button, &QPushButton::clicked, &TForm1::Button_ExtendClick);
  for (QAction* action : {u.V_Extend1, u.V_Mini1}) Connect(action, &QAction::triggered, &TForm1::Button_ExtendClick);
  Connect(u.Font1, &QMenu::aboutToShow, &TForm1::Font1Click);
  Connect(u.Wall1, &QMenu::aboutToShow, &TForm1::Wall1Click);
  for (QAction* action : {u.Font_MS_G1, u.Font_MS_M1}) Connect(action, &QAction::triggered, &TForm1::Font_MS_G1Click);
  for (QAction* action : {u.Wall_Extend1, u.Wall_Line1})
    Connect(action, &QAction::triggered, &TForm1::Wall_Extend1Click);
  connect(u.Image1, &TImage::Clicked, this,
          [this](QPoint pos) { RunGuarded(dialogs_, [&] { Image1Click(ui_->Image1, pos); }); });
}

void TForm1::BuildSampleMenu() {
  for (const resources::SampleSkin& skin : resources::SampleSkins()) {
    QAction* action = ui_->OpenSample1->addAction(QString::fromUtf8(skin.name.data(), skin.name.size()));
    connect(action, &QAction::triggered, this, [this, &skin] { RunGuarded(dialogs_, [&] { LoadSampleSkin(skin); }); });
  }
}

void TForm1::AssignShortcuts() {
  Ui::TForm1& u = *ui_;
  u.OpenSys1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  u.SaveAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  u.Make1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  u.V_Extend1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  u.V_Mini1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
}

// Every input of the composer reports its changes to OptionsChanged, the one place that
// schedules the live preview.
void TForm1::ConnectLivePreview() {
  Ui::TForm1& u = *ui_;
  liveTimer_.setSingleShot(true);
  liveTimer_.setInterval(kLiveDelayMs);
  connect(&liveTimer_, &QTimer::timeout, this, [this] { RunGuarded(dialogs_, [this] { LiveCompose(); }); });
  connect(u.Memo1, &QPlainTextEdit::textChanged, this, &TForm1::OptionsChanged);
  connect(u.RadioGroup_Font, &TRadioGroup::ItemIndexChanged, this, &TForm1::OptionsChanged);
  connect(u.RadioGroup_Wall, &TRadioGroup::ItemIndexChanged, this, &TForm1::OptionsChanged);
  connect(u.SpinEdit_Pad_Round, &QSpinBox::valueChanged, this, &TForm1::OptionsChanged);
  connect(u.SpinEdit_Pad_Line, &QSpinBox::valueChanged, this, &TForm1::OptionsChanged);
  connect(u.LivePreview1, &QAction::toggled, this, &TForm1::OptionsChanged);
  for (QAction* extra : {faceRight1_, faceFlip1_, pauseArrow1_, gameCodes1_, international1_})
    connect(extra, &QAction::toggled, this, &TForm1::OptionsChanged);
}

bool TForm1::LivePreview() const { return ui_->LivePreview1->isChecked(); }

void TForm1::OptionsChanged() {
  StopPlaying();
  if (LivePreview())
    liveTimer_.start();
  else
    liveTimer_.stop();
}

void TForm1::LiveCompose() {
  if (!sysLoaded_ || !LivePreview()) return;
  try {
    ComposeResult();
  } catch (const std::exception& failure) {
    ShowStatus(QString(app_msg::kStatusLiveFailed).arg(QString::fromStdString(UserMessage(failure))));
  }
}

void TForm1::ShowStatus(const QString& text) { ui_->StatusBar1->showMessage(text); }

QString TForm1::StatusText() const { return ui_->StatusBar1->currentMessage(); }

void TForm1::BuildExtrasMenu() {
  QMenu* extras = ui_->MainMenu1->addMenu(app_msg::kExtrasMenu);
  extras->setObjectName("Extras1");
  const auto item = [&](const char* name, const char* text, bool checkable) {
    QAction* action = extras->addAction(QString::fromUtf8(text));
    action->setObjectName(name);
    action->setCheckable(checkable);
    return action;
  };
  Connect(item("Face1", app_msg::kFaceGraphic, false), &QAction::triggered, &TForm1::Face1Click);
  faceRight1_ = item("FaceRight1", app_msg::kFaceRight, true);
  faceFlip1_ = item("FaceFlip1", app_msg::kFlipFace, true);
  extras->addSeparator();
  pauseArrow1_ = item("PauseArrow1", app_msg::kPauseArrow, true);
  extras->addSeparator();
  gameCodes1_ = item("GameCodes1", app_msg::kGameCodes, true);
  Connect(item("NamesValues1", app_msg::kNamesAndValues, false), &QAction::triggered, &TForm1::NamesValues1Click);
}

void TForm1::BuildTextMenus() {
  QAction* openText = new QAction(QString::fromUtf8(app_msg::kOpenText), ui_->File1);  // owned by the menu
  openText->setObjectName("OpenText1");
  ui_->File1->insertAction(ui_->OpenSample1->menuAction(), openText);
  Connect(openText, &QAction::triggered, &TForm1::OpenText1Click);
  ui_->Option2->addSeparator();
  international1_ = ui_->Option2->addAction(QString::fromUtf8(app_msg::kInternationalLetters));
  international1_->setObjectName("International1");
  international1_->setCheckable(true);
}

TLetters TForm1::Letters() const {
  return international1_->isChecked() ? TLetters::International : TLetters::Japanese;
}

void TForm1::OpenText1Click(QObject*) {
  std::string fileName = lastTextName_;
  if (!dialogs_.RunOpenTextDialog(fileName)) return;
  lastTextName_ = fileName;
  const std::vector<std::uint8_t> file = ReadFileBytes(fileName);
  const std::string bytes(file.begin(), file.end());
  std::string utf8;
  TLetters letters = Letters();
  try {
    ToWindowText(bytes, TLetters::Japanese);  // refuses bytes that are not UTF-8
    utf8 = io::WithoutByteOrderMark(bytes);
  } catch (const EConvertError&) {
    std::vector<std::string> pages = {"cp932"};
    for (const std::string& page : codepage::Names()) pages.push_back(page);
    std::string page;
    if (!dialogs_.ChooseCodePage(pages, page)) return;
    utf8 = page == "cp932" ? sjis::ToUtf8(bytes) : codepage::ToUtf8(bytes, page);
    letters = codepage::DefaultLetters(page);
  }
  // A text whose window no reader could take is refused before it replaces the one typed.
  ComposeInput input = CurrentInput(false);
  io::RequireTextFits(utf8, letters, input, Extras());
  international1_->setChecked(letters == TLetters::International);
  // Replaced through the editor's cursor, so that Undo brings the text before back.
  QTextCursor cursor(ui_->Memo1->document());
  cursor.select(QTextCursor::Document);
  cursor.insertText(QString::fromStdString(utf8));
}

void TForm1::FormCreate() {
  TBitmap gaizi;
  const std::span<const std::uint8_t> packed = resources::Gaizi01();
  gaizi.LoadFromPackedDib(packed.data(), packed.size());
  ShowSized(*ui_->Image_Gaizi, std::move(gaizi));

  // The user sheet comes from the current directory, not the program's folder.
  ShowSized(*ui_->Image_MyGaizi, TBitmap());
  const std::string dir = std::filesystem::current_path().string();
  const std::string bmpName = dir + "/myword.bmp";
  const std::string pngName = dir + "/myword.png";
  const bool bmp = FileExists(bmpName);
  TBitmap mine;
  if (bmp || FileExists(pngName)) mine = io::LoadPicture(bmp ? bmpName : pngName, io::PictureRole::kUserGlyphs);
  ShowSized(*ui_->Image_MyGaizi, std::move(mine));
}

void TForm1::Button_LoadClick(QObject*) {
  std::string fileName = lastOpenName_;
  if (!dialogs_.RunOpenDialog(fileName)) return;
  lastOpenName_ = fileName;  // remembered even when the load is ignored or fails
  LoadSystemGraphic(fileName);
}

void TForm1::OpenFromCommandLine(const std::string& fileName) {
  // As if chosen with Open: remembered for the open dialog, a failure shown like any other.
  lastOpenName_ = fileName;
  QString why;
  try {
    LoadSystemGraphic(fileName);
    why = StatusText();  // a skin not taken says why in the status bar
  } catch (const std::exception& failure) {
    HandleException(dialogs_, failure);
    why = QString::fromStdString(UserMessage(failure));
  } catch (...) {
    HandleUnknownException(dialogs_);
    why = msg::kUnknownFailure;
  }
  // The skin the window started with stays, and the status bar says so.
  if (sysLoaded_ && skinName_ != fileName)
    ShowStatus(QString(app_msg::kStatusKeptSkin).arg(Q(fileName), Q(skinName_), why));
}

void TForm1::LoadSystemGraphic(const std::string& fileName) {
  // The extension alone, in any letter case, chooses the reader; other files are ignored.
  const std::string extension = FileExtension(fileName);
  if (extension != "png" && extension != "bmp") {
    ShowStatus(QString(app_msg::kStatusNotASkinFile).arg(Q(fileName)));
    return;
  }
  // The size the header claims decides before any pixel is decoded; a wrong size or a file
  // without an image is told in the status bar, any other failure in the error box.
  TBitmap bitmap;
  try {
    bitmap = io::LoadPicture(fileName, io::PictureRole::kSystemGraphic);
  } catch (const io::ESystemGraphicSize& e) {
    ShowStatus(QString(app_msg::kStatusWrongSize).arg(e.Width()).arg(e.Height()));
    return;
  } catch (const ENoImage&) {
    ShowStatus(QString(app_msg::kStatusEmptySkin).arg(Q(fileName)));
    return;
  }
  AcceptSystemGraphic(std::move(bitmap), fileName);
}

void TForm1::LoadSampleSkin(const resources::SampleSkin& skin) {
  AcceptSystemGraphic(io::LoadSampleSkin(skin), std::string(skin.name));
}

void TForm1::AcceptSystemGraphic(TBitmap bitmap, const std::string& name) {
  // Anything but 160x80 is not taken; the status bar says why.
  if (bitmap.GetEmpty()) {
    ShowStatus(QString(app_msg::kStatusEmptySkin).arg(Q(name)));
    return;
  }
  if (bitmap.GetWidth() != skin::kWidth || bitmap.GetHeight() != skin::kHeight) {
    ShowStatus(QString(app_msg::kStatusWrongSize).arg(bitmap.GetWidth()).arg(bitmap.GetHeight()));
    return;
  }
  ui_->Image1->SetPicture(std::move(bitmap));
  sysLoaded_ = true;
  skinName_ = name;
  ShowStatus(QString(app_msg::kStatusLoaded).arg(Q(name)));
  OptionsChanged();
}

void TForm1::DropDst1FileDrop(QObject*, const QStringList& Files, int, int) {
  if (!Files.isEmpty()) LoadSystemGraphic(Files.first().toStdString());
}

void TForm1::Image1Click(QObject*, const QPoint& pos) {
  transColor_ = PickTransparentColour(ui_->Image1->Picture(), pos.x(), pos.y());
  TBitmap swatch;
  swatch.SetPixelFormat(TPixelFormat::pf24bit);
  swatch.SetSize(ui_->Image_Trans->width(), ui_->Image_Trans->height());
  swatch.Fill(transColor_);
  ui_->Image_Trans->SetPicture(std::move(swatch));
  OptionsChanged();
}

std::vector<std::string> TForm1::MemoLines(const std::string& text) const {
  // The typed lines: wrapping in the editor is only visual and never splits a window line.
  return SplitLines(ToWindowText(text, Letters()));
}

void TForm1::Button_MakeClick(QObject*) {
  StopPlaying();
  if (!sysLoaded_) {
    ShowStatus(app_msg::kStatusNoSystemGraphic);
    return;
  }
  ComposeResult();
}

ComposeInput TForm1::CurrentInput(bool withLines) {
  ComposeInput input;
  input.systemGraphic = ui_->Image1->Picture();
  input.transColor = transColor_;
  if (withLines) {
    // A window too large for any reader is refused before the whole text is read.
    const std::string text = ui_->Memo1->toPlainText().toStdString();
    ComposeInput measured = CurrentInput(false);
    io::RequireTextFits(text, Letters(), measured, Extras());
    input.lines = MemoLines(text);
  }
  input.fontFace = ui_->RadioGroup_Font->SelectedText().toStdString();
  input.wallMode = ui_->RadioGroup_Wall->ItemIndex();
  input.padRound = ui_->SpinEdit_Pad_Round->value();
  input.padLine = ui_->SpinEdit_Pad_Line->value();
  input.gaizi = ui_->Image_Gaizi->Picture();
  input.myGaizi = ui_->Image_MyGaizi->Picture();
  input.fonts = &fonts_;
  return input;
}

void TForm1::ComposeResult() {
  const ComposeInput input = CurrentInput();
  const WindowExtras extras = Extras();
  std::optional<TBitmap> window = ComposeWindow(input, extras);
  if (!window) return;
  QString status = QString(app_msg::kStatusWindowSize).arg(window->GetWidth()).arg(window->GetHeight());
  // Characters that no font holds are drawn as boxes and named here, each once.
  for (const std::string& note : io::MissingGlyphNotes(input.lines, extras.gameValues)) {
    status = QString(app_msg::kStatusMissingGlyphs).arg(status, QString::fromStdString(note));
  }
  ui_->Image_Res->SetPicture(std::move(*window));
  ResizePreview();
  UpdatePreviewCaption();
  ShowStatus(status);
}

const TBitmap& TForm1::ResultPicture() { return ui_->Image_Res->EnsurePicture(); }

bool TForm1::HasResult() const {
  const TBitmap* picture = ui_->Image_Res->Picture();
  return picture != nullptr && !picture->GetEmpty();
}

void TForm1::ResizePreview() {
  const TBitmap& picture = ResultPicture();
  ui_->Image_Res->resize(picture.GetWidth() * magnify_, picture.GetHeight() * magnify_);
}

void TForm1::Button_ExtendClick(QObject* Sender) {
  const int tag = TagOf(Sender);
  if (tag == 1 && magnify_ < kMaxMagnify) ++magnify_;
  if (tag == 2 && magnify_ > 1) --magnify_;
  if (tag == 1 || tag == 2) ResizePreview();
  UpdatePreviewCaption();
}

void TForm1::UpdatePreviewCaption() {
  const TBitmap& picture = ResultPicture();
  const std::string caption = std::string(app_msg::kPreviewPrefix) + std::to_string(picture.GetWidth()) +
                              app_msg::kPreviewTimes + std::to_string(picture.GetHeight()) + app_msg::kPreviewClose +
                              app_msg::kPreviewMagnify + std::to_string(magnify_) + app_msg::kPreviewColours +
                              PixelFormatLabel(picture.GetPixelFormat());
  ui_->GroupBox_Res->setTitle(QString::fromStdString(caption));
}

void TForm1::Button_SaveClick(QObject*) {
  // A window that was never made would be saved as a broken zero-byte file.
  if (!HasResult()) {
    dialogs_.ShowInformation(app_msg::kNothingToSave);
    return;
  }
  std::string fileName = lastSaveName_;
  if (!dialogs_.RunSaveDialog(fileName)) return;
  lastSaveName_ = fileName;
  SaveResult(fileName);
}

void TForm1::SaveResult(const std::string& fileName) {
  StopPlaying();
  const TBitmap* picture = ui_->Image_Res->Picture();
  if (picture == nullptr) return;
  TBitmap shared = *picture;  // shares the pixels; saving does not change them
  SavePictureFile(shared, fileName);  // PNG for names ending in .png, else BMP
  ShowStatus(QString(app_msg::kStatusSaved).arg(Q(fileName)));
}

void TForm1::Button_FolderClick(QObject*) {
  const std::string folder = dialogs_.BrowseFolder(app_msg::kBrowseFolderTitle);
  if (!folder.empty()) ui_->Edit_SaveFolder->setText(QString::fromStdString(folder));
}

void TForm1::Button_QuickSaveClick(QObject*) {
  if (!HasResult()) {
    dialogs_.ShowInformation(app_msg::kNothingToSave);
    return;
  }
  const std::string typed = ui_->Edit_SaveFile->text().toStdString();
  const std::string folder = ui_->Edit_SaveFolder->text().toStdString();
  if (typed.empty()) return dialogs_.ShowInformation(app_msg::kNoFileName);
  if (folder.empty()) return dialogs_.ShowInformation(app_msg::kNoFolder);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) return dialogs_.ShowInformation(app_msg::kNoSuchFolder);
  const std::string name = WithBmpExtension(typed);
  const char separator = std::filesystem::path::preferred_separator;
  const std::string path = folder.back() == separator ? folder + name : folder + separator + name;
  if (FileExists(path)) {
    const std::string question = path + app_msg::kAlreadyExists + app_msg::kLineBreak + app_msg::kOverwriteQuestion;
    if (dialogs_.MessageBox(question, app_msg::kOverwriteCaption, MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;
  }
  SaveResult(path);
  dialogs_.ShowInformation(FileExists(path) ? app_msg::kSaved : app_msg::kCantSave);
}

void TForm1::Button_Col_ReduClick(QObject*) {
  const QPushButton& button = *ui_->Button_Col_Redu;
  dialogs_.Popup(*ui_->PopupMenu_Col_Redu, button.mapToGlobal(QPoint(0, button.height())));
}

void TForm1::C1Click(QObject* Sender) {
  StopPlaying();
  const TBitmap& picture = ResultPicture();
  if (picture.GetWidth() * picture.GetHeight() == 0) {
    ShowStatus(app_msg::kStatusNoWindow);
    return;
  }
  // Converted aside: a failing conversion leaves the result picture as it was.
  TQvDIB dib;
  dib.Assign(&picture);
  switch (TagOf(Sender)) {
    case 1: dib.SetPixelFormat(qvPf1Bit); break;
    case 4: dib.SetPixelFormat(qvPf4Bit); break;
    case 8: dib.SetPixelFormat(qvPf8Bit); break;
    case 24: dib.SetPixelFormat(qvPf24Bit); break;
    default: break;
  }
  TBitmap converted;
  dib.AssignTo(converted);
  ui_->Image_Res->SetPicture(std::move(converted));
  UpdatePreviewCaption();
}

void TForm1::Button_ExitClick(QObject*) {
  if (dialogs_.MessageBox(app_msg::kExitText, app_msg::kExitCaption, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK)
    close();
}

// The radio groups hold the choices; the menu items only mirror them when their submenu opens.
void TForm1::Font1Click(QObject*) {
  const int index = ui_->RadioGroup_Font->ItemIndex();
  if (index != 0 && index != 1) return;
  ui_->Font_MS_G1->setChecked(index == 0);
  ui_->Font_MS_M1->setChecked(index == 1);
}

void TForm1::Wall1Click(QObject*) {
  const int index = ui_->RadioGroup_Wall->ItemIndex();
  if (index != 0 && index != 1) return;
  ui_->Wall_Extend1->setChecked(index == 0);
  ui_->Wall_Line1->setChecked(index == 1);
}

WindowExtras TForm1::Extras() const {
  WindowExtras extras;
  const bool right = faceRight1_->isChecked();
  const bool flip = faceFlip1_->isChecked();
  if (faceSheet_) extras = io::WithFace(extras, *faceSheet_, {face_.sheetFile, face_.index, right, flip});
  extras.faceRight = right;
  extras.faceFlip = flip;
  extras.pauseArrow = pauseArrow1_->isChecked();
  extras.gameCodes = gameCodes1_->isChecked();
  if (extras.gameCodes) {
    for (const auto& [n, name] : gameTable_.names) extras.gameValues.names[n] = ToWindowText(name, Letters());
    for (const auto& [n, value] : gameTable_.values) extras.gameValues.values[n] = ToWindowText(value, Letters());
  }
  return extras;
}

void TForm1::Face1Click(QObject*) {
  TFaceChoice choice = face_;
  if (!dialogs_.ChooseFace(choice)) return;
  // Read aside: a sheet that fails to load leaves the face as it was.
  std::optional<io::FaceSheet> sheet;
  if (!choice.sheetFile.empty()) sheet = io::LoadFaceSheet(choice.sheetFile);
  face_ = choice;
  faceSheet_ = std::move(sheet);
  OptionsChanged();
}

void TForm1::NamesValues1Click(QObject*) {
  GameCodeValues table = gameTable_;
  if (!dialogs_.EditNamesAndValues(table)) return;
  gameTable_ = std::move(table);
  OptionsChanged();
}

TAnimation TForm1::ComposeCurrentAnimation() {
  const ComposeInput input = CurrentInput();
  WindowExtras extras = Extras();
  extras.pauseArrow = false;  // the arrow blinks in every hold
  return ComposeAnimation(input, {{input.lines, extras}}, AnimationTiming{});
}

void TForm1::SaveAnimation1Click(QObject*) {
  if (!sysLoaded_) {
    ShowStatus(app_msg::kStatusNoSystemGraphic);
    return;
  }
  std::string fileName = lastAnimationName_;
  if (!dialogs_.RunSaveAnimationDialog(fileName)) return;
  lastAnimationName_ = fileName;
  // Refused by its name before anything is composed.
  if (!io::IsAnimationFileName(fileName)) throw Exception(io::AnimationNameMessage(app_msg::kSaveAnimationCommand, fileName));
  io::SaveAnimationFile(ComposeCurrentAnimation(), fileName, app_msg::kSaveAnimationCommand);
  ShowStatus(QString(app_msg::kStatusSaved).arg(Q(fileName)));
}

void TForm1::Button_PlayClick(QObject*) {
  if (playing_) {
    StopPlaying();
    return;
  }
  if (!sysLoaded_) {
    ShowStatus(app_msg::kStatusNoSystemGraphic);
    return;
  }
  TAnimation animation = ComposeCurrentAnimation();
  if (animation.frames.empty()) return;
  playStarts_.assign(1, 0);
  for (const TTimedFrame& frame : animation.frames) playStarts_.push_back(playStarts_.back() + frame.ticks);
  if (const TBitmap* shown = ui_->Image_Res->Picture()) stillBeforePlaying_ = *shown;
  playing_ = std::move(animation);
  playReplay_.emplace(*playing_);
  playShown_ = -1;
  playClock_.start();
  if (!playTimer_.isActive()) {
    playTimer_.setTimerType(Qt::PreciseTimer);
    playTimer_.setInterval(1000 / kTicksPerSecond);
    connect(&playTimer_, &QTimer::timeout, this, &TForm1::PlayTick, Qt::UniqueConnection);
  }
  playTimer_.start();
  ui_->Button_Play->setText(app_msg::kStop);
  ShowStatus(app_msg::kStatusPlaying);
  PlayTick();
}

void TForm1::PlayTick() {
  if (!playing_) return;
  const long long ticks = playClock_.elapsed() * kTicksPerSecond / 1000 % playStarts_.back();
  const int frame = static_cast<int>(std::upper_bound(playStarts_.begin(), playStarts_.end(), ticks) - playStarts_.begin()) - 1;
  if (frame == playShown_) return;
  playShown_ = frame;
  ui_->Image_Res->SetPicture(FrameBitmap(playReplay_->At(static_cast<std::size_t>(frame))));
  ResizePreview();
}

void TForm1::StopPlaying() {
  if (!playing_) return;
  playTimer_.stop();
  playReplay_.reset();
  playing_.reset();
  ui_->Button_Play->setText(app_msg::kPlay);
  ui_->Image_Res->SetPicture(stillBeforePlaying_ ? std::move(*stillBeforePlaying_) : TBitmap());
  stillBeforePlaying_.reset();
  ResizePreview();
}

void TForm1::Font_MS_G1Click(QObject* Sender) { ui_->RadioGroup_Font->setItemIndex(TagOf(Sender)); }

void TForm1::Wall_Extend1Click(QObject* Sender) { ui_->RadioGroup_Wall->setItemIndex(TagOf(Sender)); }

}  // namespace pw
