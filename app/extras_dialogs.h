// The dialogs of the Extras menu: the face graphic (a sheet and one of its cells, shown as
// pictures) and the table of names and values for game message codes.
#pragma once

#include <QDialog>
#include <string>

#include "app/dialogs.h"
#include "toolkit/bitmap.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;

namespace pw {

class TFaceDialog : public QDialog {
  Q_OBJECT

 public:
  TFaceDialog(QWidget* parent, const TFaceChoice& choice);

  // Shows the cells of a sheet file; a sheet that cannot be read shows its failure instead.
  void ShowSheet(const std::string& fileName);
  // The choice made: the sheet and the selected cell, or no face.
  TFaceChoice Choice() const;
  int CellCount() const;

 private:
  void BrowseSheet();
  void UpdateButtons();

  std::string sheetFile_;
  bool noFace_ = false;
  QLineEdit* file_;         // owned by this dialog
  QListWidget* cells_;      // owned by this dialog
  QLabel* message_;         // owned by this dialog
  QDialogButtonBox* buttons_;  // owned by this dialog
};

class TNamesDialog : public QDialog {
  Q_OBJECT

 public:
  TNamesDialog(QWidget* parent, const GameCodeValues& table);

  // The rows as names and values; an empty cell gives nothing for its number.
  GameCodeValues Table() const;
  void AddRow(int number, const std::string& name, const std::string& value);

 private:
  QTableWidget* table_;  // owned by this dialog
};

}  // namespace pw
