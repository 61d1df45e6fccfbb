#include "app/radio_group.h"

#include <QRadioButton>
#include <algorithm>

namespace pw {

namespace {
// The caption band at the top and the frame inside the box.
constexpr int kCaptionBand = 14;
constexpr int kInset = 6;
constexpr int kNarrowest = 70;  // percent of the normal width

// Narrows a caption that does not fit the box in the platform's font, rather than cutting it off.
void FitCaption(QRadioButton& button, const QFont& font, int width) {
  QFont fitted = font;
  button.setFont(fitted);
  const int needed = button.sizeHint().width();
  if (needed <= width) return;
  fitted.setStretch(std::max(kNarrowest, width * 100 / needed));
  button.setFont(fitted);
}
}  // namespace

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) { group_.setExclusive(true); }

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

// Items share the height below the caption evenly, one under the other.
void TRadioGroup::PlaceButtons() {
  const auto buttons = group_.buttons();
  if (buttons.isEmpty()) return;
  const int rowHeight = (height() - kCaptionBand - 4) / static_cast<int>(buttons.size());
  const int rowWidth = width() - kInset - 2;
  for (int i = 0; i < buttons.size(); ++i) {
    QAbstractButton* button = group_.button(i);
    FitCaption(static_cast<QRadioButton&>(*button), font(), rowWidth);
    button->setGeometry(kInset, kCaptionBand + i * rowHeight, rowWidth, rowHeight);
  }
}

}  // namespace pw
