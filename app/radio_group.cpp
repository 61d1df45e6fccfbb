#include "app/radio_group.h"

#include <QEvent>
#include <QRadioButton>
#include <algorithm>

#include "app/caption_fit.h"

namespace pw {

namespace {
// The least caption band at the top, and the frame inside the box.
constexpr int kCaptionBand = 14;
constexpr int kInset = 6;
}  // namespace

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) {
  group_.setExclusive(true);
  connect(&group_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
    if (checked) emit ItemIndexChanged(id);
  });
}

void TRadioGroup::setItems(const QStringList& items) {
  const int keep = group_.buttons().isEmpty() ? pendingIndex_ : ItemIndex();
  for (QAbstractButton* button : group_.buttons()) {
    group_.removeButton(button);
    button->hide();
    button->deleteLater();
  }
  items_ = items;
  for (int i = 0; i < items_.size(); ++i) {
    auto* button = new QRadioButton(items_[i], this);  // owned by this box
    group_.addButton(button, i);
    button->show();
  }
  PlaceButtons();
  setItemIndex(keep);
}

int TRadioGroup::ItemIndex() const {
  if (group_.buttons().isEmpty()) return pendingIndex_;
  return group_.checkedId();
}

void TRadioGroup::setItemIndex(int index) {
  if (group_.buttons().isEmpty()) {
    pendingIndex_ = index;
    return;
  }
  if (QAbstractButton* button = group_.button(index)) {
    button->setChecked(true);
    return;
  }
  // Clearing an exclusive group needs the exclusivity lifted for a moment.
  group_.setExclusive(false);
  for (QAbstractButton* button : group_.buttons()) button->setChecked(false);
  group_.setExclusive(true);
}

QString TRadioGroup::SelectedText() const {
  const int index = ItemIndex();
  return index >= 0 && index < items_.size() ? items_[index] : QString();
}

void TRadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  PlaceButtons();
}

void TRadioGroup::changeEvent(QEvent* event) {
  QGroupBox::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) PlaceButtons();
}

// The height of the caption band: the title's own height in the current font and style, so that
// no item covers it.
int TRadioGroup::CaptionBand() const { return std::max(kCaptionBand, GroupBoxTitleRect(*this).bottom() + 1); }

// Items share the height below the caption evenly, one under the other.
void TRadioGroup::PlaceButtons() {
  const auto buttons = group_.buttons();
  if (buttons.isEmpty()) return;
  const int band = CaptionBand();
  const int rowHeight = (height() - band - 4) / static_cast<int>(buttons.size());
  const int rowWidth = width() - kInset - 2;
  for (int i = 0; i < buttons.size(); ++i)
    group_.button(i)->setGeometry(kInset, band + i * rowHeight, rowWidth, rowHeight);
}

}  // namespace pw
