// A picture control: holds a toolkit bitmap and draws it at 1:1 from the top-left corner, or
// stretched to the control's size with nearest-neighbour scaling (every pixel a crisp block).
#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

#include "toolkit/bitmap.h"

namespace pw {

class TImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool stretch READ Stretch WRITE setStretch)

 public:
  explicit TImage(QWidget* parent = nullptr);

  // The picture, or null while the control has none.
  const TBitmap* Picture() const { return picture_ ? &*picture_ : nullptr; }
  // The picture, an empty 0x0 one created first when there is none.
  const TBitmap& EnsurePicture();
  void SetPicture(TBitmap picture);

  bool Stretch() const { return stretch_; }
  void setStretch(bool value);

 signals:
  // The left mouse button went down at pos (client coordinates).
  void Pressed(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  std::optional<TBitmap> picture_;
  QImage shown_;  // the picture converted once for painting
  bool stretch_ = false;
};

}  // namespace pw

