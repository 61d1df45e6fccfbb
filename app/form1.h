// The main window: the system-graphic box, the text, the options, Make, the zoomable preview
// with its colour depth, quick save, Save as and Exit, and a main menu repeating every command.
// The window owns the program's state and turns control events into calls on the libraries.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

#include "app/dialogs.h"
#include "compose/compose.h"
#include "compose/animate.h"
#include "compose/extras.h"
#include "io/load_picture.h"
#include "toolkit/letters.h"
#include "toolkit/color.h"

namespace Ui {
class TForm1;
}

namespace pw::resources {
struct SampleSkin;
}

namespace pw {

class TAnchors;
class TDropDst;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window from its stored layout, binds the drop target and runs FormCreate.
  explicit TForm1(TDialogs& dialogs, QWidget* parent = nullptr);
  ~TForm1() override;

  // Event handlers; Sender is the control or menu item that raised the event.
  void FormCreate();
  void Button_LoadClick(QObject* Sender);
  void Image1Click(QObject* Sender, const QPoint& pos);
  void Button_MakeClick(QObject* Sender);
  void Button_SaveClick(QObject* Sender);
  void Button_FolderClick(QObject* Sender);
  void Button_QuickSaveClick(QObject* Sender);
  void Button_ExitClick(QObject* Sender);
  void DropDst1FileDrop(QObject* Sender, const QStringList& Files, int X, int Y);
  void Button_ExtendClick(QObject* Sender);
  void Button_Col_ReduClick(QObject* Sender);
  void C1Click(QObject* Sender);
  void Font1Click(QObject* Sender);
  void Wall1Click(QObject* Sender);
  void Font_MS_G1Click(QObject* Sender);
  void Wall_Extend1Click(QObject* Sender);
  // The Extras menu's dialogs.
  void Face1Click(QObject* Sender);
  void NamesValues1Click(QObject* Sender);
  // Animation: the window played as the game types it, saved as GIF or animated PNG.
  void SaveAnimation1Click(QObject* Sender);
  void Button_PlayClick(QObject* Sender);
  bool Playing() const { return playing_.has_value(); }
  // File > Open text: reads a text file into the text box; a file that is not UTF-8 is read in
  // the code page the user names, which also sets the letters.
  void OpenText1Click(QObject* Sender);

  // Opens the skin given on the program's command line, as the Open command does. A file that
  // cannot be used leaves the skin loaded before (the default sample skin, at start-up), and the
  // status bar says so and why.
  void OpenFromCommandLine(const std::string& fileName);

  // Routines shared by several commands.
  void LoadSystemGraphic(const std::string& fileName);
  void SaveResult(const std::string& fileName);
  void UpdatePreviewCaption();

  // Loads a built-in sample skin as if the user had opened its file (the open dialog's
  // remembered name stays as it was). The program calls it at start-up with the default skin.
  void LoadSampleSkin(const resources::SampleSkin& skin);

  // Something the window is composed from has changed (text, font, wallpaper, margins,
  // transparent colour, system graphic). With live preview on, the window is composed again
  // shortly after the last change of a burst; with it off, nothing happens.
  void OptionsChanged();
  bool LivePreview() const;
  // The status bar's text: what the last command did, or why it did nothing.
  QString StatusText() const;

  // State, for inspection.
  bool SysLoaded() const { return sysLoaded_; }
  TColor TransColor() const { return transColor_; }
  int Magnify() const { return magnify_; }
  const std::string& LastOpenName() const { return lastOpenName_; }
  const std::string& LastSaveName() const { return lastSaveName_; }
  TDropDst& DropDst1() { return *dropDst1_; }
  const TFaceChoice& Face() const { return face_; }
  // The extras as the Extras menu sets them, for the composer.
  WindowExtras Extras() const;

 private:
  void ConnectCommands();
  // The Extras menu: its dialogs and the check items that hold the extras' on and off state.
  void BuildExtrasMenu();
  // File > Open text and Options > International letters.
  void BuildTextMenus();
  // The letters the text is drawn in: Options > International letters.
  TLetters Letters() const;
  // Connects a clicked button or triggered menu item to a handler, guarded by the default
  // failure handler.
  template <class Source, class Signal>
  void Connect(Source* source, Signal signal, void (TForm1::*handler)(QObject*));
  // The result picture, created empty when there is none yet.
  const TBitmap& ResultPicture();
  // True when a window has been made: a result picture with pixels.
  bool HasResult() const;
  // The text's lines as window text, in the letters chosen.
  std::vector<std::string> MemoLines(const std::string& text) const;
  void ResizePreview();
  // Takes a loaded picture as the system graphic when it is 160x80; says in the status bar
  // what became of it. name is what the status bar calls it.
  void AcceptSystemGraphic(TBitmap bitmap, const std::string& name);
  // What Make and the live preview compose from: the controls and the window's state, with the
  // text's lines when asked (refused first when the window would be larger than any reader takes).
  ComposeInput CurrentInput(bool withLines = true);
  // Composes the window into the result picture and shows it; failures propagate.
  void ComposeResult();
  // The live preview's compose: a failure keeps the last good preview and is told in the status
  // bar only.
  void LiveCompose();
  void ShowStatus(const QString& text);
  void BuildSampleMenu();
  void AssignShortcuts();
  void ConnectLivePreview();
  // The animation of the current window (the starting speed 1, a hold of 2 seconds, opening).
  TAnimation ComposeCurrentAnimation();
  // Shows the frame of the playing animation that is due.
  void PlayTick();
  // Ends playing and shows the window as it was before; nothing when not playing.
  void StopPlaying();

  std::unique_ptr<Ui::TForm1> ui_;
  TDialogs& dialogs_;
  TAnchors* anchors_;  // owned by this window as its Qt parent
  TDropDst* dropDst1_;  // owned by this window as its Qt parent
  TFontCache fonts_;
  QTimer liveTimer_;  // coalesces a burst of changes into one live compose
  QAction* faceRight1_ = nullptr;   // the check items are owned by the Extras menu
  QAction* faceFlip1_ = nullptr;
  QAction* pauseArrow1_ = nullptr;
  QAction* gameCodes1_ = nullptr;
  QAction* international1_ = nullptr;  // owned by the Options menu
  std::string lastTextName_;

  bool sysLoaded_ = false;
  TColor transColor_ = clBlack;
  std::uint8_t magnify_ = 1;
  std::string lastOpenName_;
  std::string skinName_;  // the system graphic's file, or the sample skin's name
  std::string lastSaveName_;
  TFaceChoice face_;                // the sheet file and cell; no file: no face
  std::optional<io::FaceSheet> faceSheet_;  // the sheet of face_, read when it was chosen
  GameCodeValues gameTable_;        // names and values as typed (UTF-8)
  std::string lastAnimationName_;
  // Playing: the animation, when each frame starts (ticks), the clock and the frame shown.
  std::optional<TAnimation> playing_;
  std::optional<TFrameReplay> playReplay_;  // playing_'s frames as whole windows
  std::vector<long long> playStarts_;
  QElapsedTimer playClock_;
  QTimer playTimer_;
  int playShown_ = -1;
  std::optional<TBitmap> stillBeforePlaying_;
};

}  // namespace pw
