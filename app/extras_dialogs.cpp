#include "app/extras_dialogs.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_messages.h"
#include "app/image_convert.h"
#include "app/picture_dialog.h"
#include "app/program_files.h"
#include "io/load_picture.h"

namespace pw {

namespace {

constexpr int kCellZoom = 2;  // cells are shown enlarged, pixel for pixel

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TFaceDialog::TFaceDialog(QWidget* parent, const TFaceChoice& choice) : QDialog(parent) {
  setWindowTitle(app_msg::kFaceDialogTitle);
  auto* column = new QVBoxLayout(this);
  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel(app_msg::kFaceSheetLabel, this));
  file_ = new QLineEdit(this);
  file_->setReadOnly(true);
  row->addWidget(file_, 1);
  auto* browse = new QPushButton(app_msg::kFaceSheetButton, this);
  row->addWidget(browse);
  column->addLayout(row);

  cells_ = new QListWidget(this);
  cells_->setViewMode(QListView::IconMode);
  cells_->setIconSize(QSize(face::kSize * kCellZoom, face::kSize * kCellZoom));
  cells_->setMovement(QListView::Static);
  cells_->setResizeMode(QListView::Adjust);
  cells_->setMinimumSize(4 * (face::kSize * kCellZoom + 16) + 8, 2 * (face::kSize * kCellZoom + 28));
  column->addWidget(cells_, 1);
  message_ = new QLabel(app_msg::kFaceSheetHint, this);
  column->addWidget(message_);

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  QPushButton* none = buttons_->addButton(app_msg::kNoFaceButton, QDialogButtonBox::ResetRole);
  column->addWidget(buttons_);

  connect(browse, &QPushButton::clicked, this, &TFaceDialog::BrowseSheet);
  connect(cells_, &QListWidget::currentRowChanged, this, &TFaceDialog::UpdateButtons);
  connect(cells_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(none, &QPushButton::clicked, this, [this] {
    noFace_ = true;
    accept();
  });

  if (!choice.sheetFile.empty()) {
    ShowSheet(choice.sheetFile);
    for (int i = 0; i < cells_->count(); ++i)
      if (cells_->item(i)->data(Qt::UserRole).toInt() == choice.index) cells_->setCurrentRow(i);
  }
  UpdateButtons();
}

void TFaceDialog::ShowSheet(const std::string& fileName) {
  cells_->clear();
  sheetFile_.clear();
  file_->setText(Q(fileName));
  TBitmap sheet;
  try {
    sheet = io::LoadFaceSheet(fileName).picture;
  } catch (const std::exception& failure) {
    message_->setText(QString::fromStdString(UserMessage(failure)));
    UpdateButtons();
    return;
  }
  const QImage image = ToQImage(sheet);
  const std::vector<int> cells = face::Cells(sheet.GetWidth(), sheet.GetHeight());
  for (int index : cells) {
    const TSkinRegion region = face::CellRegion(index);
    const QImage cell = image.copy(region.x, region.y, region.width, region.height);
    auto* item = new QListWidgetItem(QIcon(QPixmap::fromImage(cell.scaled(cells_->iconSize()))), QString::number(index));
    item->setData(Qt::UserRole, index);
    cells_->addItem(item);  // owned by the list
  }
  sheetFile_ = fileName;
  message_->setText(cells.empty() ? app_msg::kFaceSheetEmpty : app_msg::kFaceSheetHint);
  if (!cells.empty()) cells_->setCurrentRow(0);
  UpdateButtons();
}

TFaceChoice TFaceDialog::Choice() const {
  if (noFace_ || sheetFile_.empty() || cells_->currentItem() == nullptr) return {};
  return {sheetFile_, cells_->currentItem()->data(Qt::UserRole).toInt()};
}

int TFaceDialog::CellCount() const { return cells_->count(); }

void TFaceDialog::BrowseSheet() {
  TPictureFileDialog dialog(this, QFileDialog::AcceptOpen, app_msg::kFaceSheetFilter);
  // The first time, the program's sample faces are at hand.
  const QString samples = ProgramShareDir() + "/panelwright/faces";
  if (!sheetFile_.empty())
    dialog.selectFile(Q(sheetFile_));
  else if (QDir(samples).exists())
    dialog.setDirectory(samples);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  ShowSheet(dialog.selectedFiles().first().toStdString());
}

void TFaceDialog::UpdateButtons() {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(cells_->currentItem() != nullptr);
}

TNamesDialog::TNamesDialog(QWidget* parent, const GameCodeValues& table) : QDialog(parent) {
  setWindowTitle(app_msg::kNamesDialogTitle);
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(app_msg::kNamesHint, this));
  table_ = new QTableWidget(0, 3, this);
  table_->setHorizontalHeaderLabels({app_msg::kNumberColumn, app_msg::kNameColumn, app_msg::kValueColumn});
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->hide();
  column->addWidget(table_, 1);
  auto* row = new QHBoxLayout();
  auto* add = new QPushButton(app_msg::kAddRow, this);
  auto* remove = new QPushButton(app_msg::kRemoveRow, this);
  row->addWidget(add);
  row->addWidget(remove);
  row->addStretch();
  column->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  column->addWidget(buttons);
  resize(420, 300);

  connect(add, &QPushButton::clicked, this, [this] {
    int next = 1;
    for (int r = 0; r < table_->rowCount(); ++r)
      next = std::max(next, static_cast<QSpinBox*>(table_->cellWidget(r, 0))->value() + 1);
    AddRow(std::min(next, kMaxCodeNumber), "", "");
  });
  connect(remove, &QPushButton::clicked, this, [this] {
    if (table_->currentRow() >= 0) table_->removeRow(table_->currentRow());
  });
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  std::map<int, std::pair<std::string, std::string>> rows;
  for (const auto& [n, name] : table.names) rows[n].first = name;
  for (const auto& [n, value] : table.values) rows[n].second = value;
  for (const auto& [n, texts] : rows) AddRow(n, texts.first, texts.second);
}

void TNamesDialog::AddRow(int number, const std::string& name, const std::string& value) {
  const int r = table_->rowCount();
  table_->insertRow(r);
  auto* spin = new QSpinBox(table_);
  spin->setRange(0, kMaxCodeNumber);
  spin->setValue(number);
  table_->setCellWidget(r, 0, spin);  // owned by the table
  table_->setItem(r, 1, new QTableWidgetItem(Q(name)));
  table_->setItem(r, 2, new QTableWidgetItem(Q(value)));
}

GameCodeValues TNamesDialog::Table() const {
  GameCodeValues table;
  for (int r = 0; r < table_->rowCount(); ++r) {
    const int n = static_cast<QSpinBox*>(table_->cellWidget(r, 0))->value();
    const QString name = table_->item(r, 1) != nullptr ? table_->item(r, 1)->text() : QString();
    const QString value = table_->item(r, 2) != nullptr ? table_->item(r, 2)->text() : QString();
    if (!name.isEmpty()) table.names[n] = name.toStdString();
    if (!value.isEmpty()) table.values[n] = value.toStdString();
  }
  return table;
}

bool TQtDialogs::ChooseFace(TFaceChoice& choice) {
  TFaceDialog dialog(owner_, choice);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice = dialog.Choice();
  return true;
}

bool TQtDialogs::EditNamesAndValues(GameCodeValues& table) {
  TNamesDialog dialog(owner_, table);
  if (dialog.exec() != QDialog::Accepted) return false;
  table = dialog.Table();
  return true;
}

}  // namespace pw
