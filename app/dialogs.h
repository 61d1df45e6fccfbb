// Every modal dialog, message box and popup menu of the window, behind one small interface so that
// tests can answer them. TQtDialogs is the desktop implementation.
#pragma once

#include <QPoint>
#include <QStringList>
#include <string>
#include <vector>

#include "compose/extras.h"

class QMenu;
class QWidget;

namespace pw {

// A face graphic: a sheet file and one of its 48x48 cells; an empty file name means no face.
struct TFaceChoice {
  std::string sheetFile;
  int index = 0;
};

// Button sets, icons and answers of the message box (the classic platform codes).
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_ICONHAND = 0x10;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // The picture-open dialog, pre-filled with fileName; true and the chosen name when confirmed.
  virtual bool RunOpenDialog(std::string& fileName) = 0;
  // The picture-save dialog: appends ".bmp" to a name without extension and asks before
  // replacing an existing file itself.
  virtual bool RunSaveDialog(std::string& fileName) = 0;
  // The animation-save dialog: GIF or animated PNG by the filter chosen, ".gif" appended to a
  // name without extension; asks before replacing an existing file.
  virtual bool RunSaveAnimationDialog(std::string& fileName) = 0;
  // A modal message box; returns the code of the pressed button.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // A modal information box titled with the application title: one OK button, no icon.
  virtual void ShowInformation(const std::string& text) = 0;
  // The folder dialog rooted at the top of the file system; empty when cancelled.
  virtual std::string BrowseFolder(const std::string& title) = 0;
  // Shows a popup menu with its top-left corner at a screen point.
  virtual void Popup(QMenu& menu, const QPoint& screenPos) = 0;
  // The face graphic dialog, showing choice first: a sheet file and its cells as pictures to
  // choose from, or no face. True and the new choice when confirmed.
  virtual bool ChooseFace(TFaceChoice& choice) = 0;
  // The table of the names and values that \N[n] and \V[n] stand for, as UTF-8 text. True and
  // the edited table when confirmed.
  virtual bool EditNamesAndValues(GameCodeValues& table) = 0;
  // The dialog of File > Open text: any file; true and the chosen name when confirmed.
  virtual bool RunOpenTextDialog(std::string& fileName) = 0;
  // Asks which of codePages (the first preselected) a text that is not UTF-8 is written in;
  // true and the choice when confirmed.
  virtual bool ChooseCodePage(const std::vector<std::string>& codePages, std::string& codePage) = 0;
};

// Dialogs and message boxes of the desktop, owned by the given window.
class TQtDialogs : public TDialogs {
 public:
  explicit TQtDialogs(QWidget* owner = nullptr) : owner_(owner) {}
  void SetOwner(QWidget* owner) { owner_ = owner; }

  bool RunOpenDialog(std::string& fileName) override;
  bool RunSaveDialog(std::string& fileName) override;
  bool RunSaveAnimationDialog(std::string& fileName) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void ShowInformation(const std::string& text) override;
  std::string BrowseFolder(const std::string& title) override;
  void Popup(QMenu& menu, const QPoint& screenPos) override;
  bool ChooseFace(TFaceChoice& choice) override;
  bool EditNamesAndValues(GameCodeValues& table) override;
  bool RunOpenTextDialog(std::string& fileName) override;
  bool ChooseCodePage(const std::vector<std::string>& codePages, std::string& codePage) override;

 private:
  QWidget* owner_;
};

// "desc|patterns|desc|patterns" filters turned into Qt's "desc (pattern pattern)" entries.
QStringList ToQtFilters(const std::string& filter);
// The extension of the first pattern of a Qt filter entry: "Bitmap (*.bmp)" gives "bmp"; empty
// when the entry names none.
QString FilterSuffix(const QString& qtFilter);

}  // namespace pw
