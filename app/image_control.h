// A picture control: holds a toolkit bitmap and draws it at 1:1 from the top-left corner, or
// stretched to the control's size with nearest-neighbour scaling (every pixel a crisp block).
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <optional>

#include "toolkit/bitmap.h"

namespace pw {

class TImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool stretch READ Stretch WRITE setStretch)
  Q_PROPERTY(QColor blank READ Blank WRITE setBlank)

 public:
  explicit TImage(QWidget* parent = nullptr);

  // The picture, or null while the control has none.
  const TBitmap* Picture() const { return picture_ ? &*picture_ : nullptr; }
  // The picture, an empty 0x0 one created first when there is none.
  const TBitmap& EnsurePicture();
  void SetPicture(TBitmap picture);

  bool Stretch() const { return stretch_; }
  void setStretch(bool value);
  // The colour the control shows while it has no picture; invalid (the default) shows nothing.
  QColor Blank() const { return blank_; }
  void setBlank(const QColor& colour);

 signals:
  // A click: the left button went down and came up again on the control. pos is the pixel under
  // the pointer when the button came up.
  void Clicked(QPoint pos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::optional<TBitmap> picture_;
  QImage shown_;  // the picture converted once for painting
  bool stretch_ = false;
  QColor blank_;
  bool pressed_ = false;  // the left button went down on the control and is still down
};

}  // namespace pw

