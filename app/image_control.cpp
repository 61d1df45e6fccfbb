#include "app/image_control.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "app/image_convert.h"

namespace pw {

namespace {

// The pixel under a pointer position: the floor of each logical coordinate, so that every point
// inside a pixel's square selects that pixel at any scale factor.
QPoint PixelAt(const QPointF& pos) {
  return QPoint(static_cast<int>(std::floor(pos.x())), static_cast<int>(std::floor(pos.y())));
}

}  // namespace

TImage::TImage(QWidget* parent) : QWidget(parent) {}

const TBitmap& TImage::EnsurePicture() {
  if (!picture_) picture_.emplace();
  return *picture_;
}

void TImage::SetPicture(TBitmap picture) {
  QImage shown = ToQImage(picture);
  picture_ = std::move(picture);
  shown_ = std::move(shown);
  update();
}

void TImage::setStretch(bool value) {
  stretch_ = value;
  update();
}

void TImage::setBlank(const QColor& colour) {
  blank_ = colour;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (shown_.isNull()) {
    if (blank_.isValid()) QPainter(this).fillRect(rect(), blank_);
    return;
  }
  QPainter painter(this);
  // No smoothing: an enlarged pixel stays a block of one colour.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  if (stretch_)
    painter.drawImage(rect(), shown_);
  else
    painter.drawImage(QPoint(0, 0), shown_);
}

void TImage::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) pressed_ = true;
  QWidget::mousePressEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && pressed_) {
    pressed_ = false;
    const QPoint pixel = PixelAt(event->position());
    if (rect().contains(pixel)) emit Clicked(pixel);
  }
  QWidget::mouseReleaseEvent(event);
}

}  // namespace pw
