// The picture-open and picture-save dialogs: file dialogs with a preview of the selected picture
// and its size, decoded by the program's own readers through the picture registry.
#pragma once

#include <QFileDialog>
#include <string>

class QLabel;

namespace pw {

class TPictureFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  TPictureFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const std::string& filter);

  // Shows the picture of fileName in the preview pane (nothing when it cannot be read).
  void ShowPreview(const QString& fileName);
  QString PreviewSizeText() const;

 private:
  QLabel* picture_;  // owned by this dialog
  QLabel* size_;     // owned by this dialog
};

}  // namespace pw
