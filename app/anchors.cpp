#include "app/anchors.h"

#include <QEvent>
#include <QVariant>
#include <QWidget>

namespace pw {

namespace {

QSize DesignSize(const QWidget* parent) {
  const QVariant stored = parent->property("designSize");
  return stored.isValid() ? stored.toSize() : parent->size();
}

// One axis: the new start and length from the design start, length and both distances.
std::pair<int, int> Place(bool nearEdge, bool farEdge, int start, int length, int parentDesign, int parentNow) {
  const int farDistance = parentDesign - (start + length);
  if (nearEdge && farEdge) return {start, std::max(0, parentNow - start - farDistance)};
  if (farEdge) return {parentNow - farDistance - length, length};
  return {start, length};
}

}  // namespace

unsigned ParseAnchors(const QString& text) {
  unsigned anchors = 0;
  for (const QString& part : text.split(',', Qt::SkipEmptyParts)) {
    const QString name = part.trimmed().toLower();
    if (name == "left") anchors |= akLeft;
    if (name == "top") anchors |= akTop;
    if (name == "right") anchors |= akRight;
    if (name == "bottom") anchors |= akBottom;
  }
  return anchors == 0 ? (akLeft | akTop) : anchors;
}

void TAnchors::RecordAll(QWidget* root) {
  for (QWidget* control : root->findChildren<QWidget*>()) {
    const QVariant stored = control->property("anchors");
    if (!stored.isValid()) continue;
    const unsigned anchors = ParseAnchors(stored.toString());
    if (anchors != (akLeft | akTop)) Record(control, anchors);
  }
}

void TAnchors::Record(QWidget* control, unsigned anchors) {
  QWidget* parent = control->parentWidget();
  if (parent == nullptr) return;
  entries_.push_back({control, anchors, control->geometry(), DesignSize(parent)});
  parent->installEventFilter(this);
}

bool TAnchors::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize)
    for (const Entry& entry : entries_)
      if (entry.control && entry.control->parentWidget() == watched) Apply(entry);
  return QObject::eventFilter(watched, event);
}

void TAnchors::Apply(const Entry& entry) const {
  const QSize now = entry.control->parentWidget()->size();
  const auto [x, width] = Place(entry.anchors & akLeft, entry.anchors & akRight, entry.design.x(),
                                entry.design.width(), entry.parentDesign.width(), now.width());
  const auto [y, height] = Place(entry.anchors & akTop, entry.anchors & akBottom, entry.design.y(),
                                 entry.design.height(), entry.parentDesign.height(), now.height());
  entry.control->setGeometry(x, y, width, height);
}

}  // namespace pw
