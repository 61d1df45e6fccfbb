#include "app/picture_dialog.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QVBoxLayout>
#include <exception>

#include "app/app_messages.h"
#include "app/dialogs.h"
#include "app/image_convert.h"
#include "io/load_picture.h"
#include "toolkit/bitmap.h"

namespace pw {

namespace {

constexpr int kPreviewSide = 168;

// The picture of a file as every picture is read; an empty bitmap when it is no picture or
// cannot be read.
TBitmap ReadPreview(const std::string& fileName) {
  try {
    return io::LoadPicture(fileName);
  } catch (const std::exception&) {
    return TBitmap();  // a preview of an unreadable file is simply empty
  }
}

}  // namespace

TPictureFileDialog::TPictureFileDialog(QWidget* parent, QFileDialog::AcceptMode mode, const std::string& filter)
    : QFileDialog(parent) {
  setOption(QFileDialog::DontUseNativeDialog);  // the preview pane needs Qt's own dialog
  setAcceptMode(mode);
  setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  setNameFilters(ToQtFilters(filter));
  setSizeGripEnabled(true);

  auto* pane = new QWidget(this);  // owned by this dialog
  auto* column = new QVBoxLayout(pane);
  picture_ = new QLabel(pane);
  picture_->setFixedSize(kPreviewSide, kPreviewSide);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setFrameShape(QFrame::StyledPanel);
  size_ = new QLabel(pane);
  size_->setAlignment(Qt::AlignCenter);
  column->addWidget(picture_);
  column->addWidget(size_);
  column->addStretch();
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);
  connect(this, &QFileDialog::currentChanged, this, &TPictureFileDialog::ShowPreview);
  // A selection made without moving the current item (a pre-filled name) is previewed too.
  if (auto* list = findChild<QAbstractItemView*>("listView"); list != nullptr && list->selectionModel() != nullptr)
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ShowPreview(selectedFiles().value(0)); });
}

void TPictureFileDialog::ShowPreview(const QString& fileName) {
  const TBitmap bitmap = ReadPreview(fileName.toStdString());
  if (bitmap.GetEmpty()) {
    picture_->setPixmap(QPixmap());
    picture_->setText(app_msg::kNoPreview);
    size_->clear();
    return;
  }
  QImage image = ToQImage(bitmap);
  if (image.width() > kPreviewSide || image.height() > kPreviewSide)
    image = image.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio, Qt::FastTransformation);
  picture_->setPixmap(QPixmap::fromImage(image));
  size_->setText(QStringLiteral("%1 x %2").arg(bitmap.GetWidth()).arg(bitmap.GetHeight()));
}

QString TPictureFileDialog::PreviewSizeText() const { return size_->text(); }

}  // namespace pw
