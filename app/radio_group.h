// A group box of radio buttons built from a list of item captions, with the index of the
// selected item (-1 when none).
#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

namespace pw {

class TRadioGroup : public QGroupBox {
  Q_OBJECT
  Q_PROPERTY(QStringList items READ Items WRITE setItems)
  Q_PROPERTY(int itemIndex READ ItemIndex WRITE setItemIndex)

 public:
  explicit TRadioGroup(QWidget* parent = nullptr);

  QStringList Items() const { return items_; }
  void setItems(const QStringList& items);
  int ItemIndex() const;
  // Selects an item; -1, or an index without item, selects none.
  void setItemIndex(int index);
  // The caption of the selected item, empty when none is selected.
  QString SelectedText() const;

 signals:
  // Another item was selected, by the user or by setItemIndex.
  void ItemIndexChanged(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  int CaptionBand() const;
  void PlaceButtons();

  QStringList items_;
  QButtonGroup group_;
  int pendingIndex_ = -1;  // an index set before the items arrived
};

}  // namespace pw
