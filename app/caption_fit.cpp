#include "app/caption_fit.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

namespace pw {

namespace {

// Hidden on purpose, not merely a child of a window that is not shown yet.
bool ExplicitlyHidden(const QWidget& widget) {
  return widget.isHidden() && widget.testAttribute(Qt::WA_WState_ExplicitShowHide);
}

// The rectangle a caption needs, centred on the area it is drawn in.
QRect Needed(const QRect& area, const QSize& size) {
  return QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, area);
}

void CheckArea(std::vector<TCaptionOverflow>& out, const QWidget& control, const QString& text, const QRect& needed,
               const QRect& area) {
  if (needed.width() > area.width() || needed.height() > area.height())
    out.push_back({control.objectName(), text, needed, area});
}

void CheckLabel(std::vector<TCaptionOverflow>& out, const QLabel& label) {
  if (label.text().isEmpty() || label.textFormat() == Qt::RichText) return;
  const int margin = label.margin();
  const QRect area = label.contentsRect().adjusted(margin, margin, -margin, -margin);
  const int flags = static_cast<int>(label.alignment()) | (label.wordWrap() ? Qt::TextWordWrap : 0);
  const QRect needed = label.fontMetrics().boundingRect(area, flags, label.text());
  CheckArea(out, label, label.text(), needed, area);
}

// Push and radio buttons draw their text in the style's contents rectangle.
void CheckButton(std::vector<TCaptionOverflow>& out, const QAbstractButton& button, QStyle::SubElement contents) {
  if (button.text().isEmpty()) return;
  QStyleOptionButton option;
  option.initFrom(&button);
  option.text = button.text();
  option.icon = button.icon();
  option.iconSize = button.iconSize();
  const QRect area = button.style()->subElementRect(contents, &option, &button);
  const QSize size = button.fontMetrics().size(Qt::TextShowMnemonic, button.text());
  QRect needed = Needed(area, size);
  if (contents == QStyle::SE_RadioButtonContents) needed.moveLeft(area.left());  // drawn from the left
  CheckArea(out, button, button.text(), needed, area);
}

// A group box title must lie inside the box and must not be covered by one of its children.
void CheckGroupBox(std::vector<TCaptionOverflow>& out, const QGroupBox& box) {
  if (box.title().isEmpty()) return;
  const QRect label = GroupBoxTitleRect(box);
  QRect area = box.rect();
  for (const QObject* child : box.children()) {
    const auto* widget = qobject_cast<const QWidget*>(child);
    if (widget == nullptr || ExplicitlyHidden(*widget) || !widget->geometry().intersects(label)) continue;
    // The title band ends where the child begins.
    area.setBottom(std::min(area.bottom(), widget->geometry().top() - 1));
  }
  if (!area.contains(label)) out.push_back({box.objectName(), box.title(), label, area});
}

void CheckControl(std::vector<TCaptionOverflow>& out, const QWidget& control) {
  if (const auto* label = qobject_cast<const QLabel*>(&control))
    CheckLabel(out, *label);
  else if (const auto* radio = qobject_cast<const QRadioButton*>(&control))
    CheckButton(out, *radio, QStyle::SE_RadioButtonContents);
  else if (const auto* push = qobject_cast<const QPushButton*>(&control))
    CheckButton(out, *push, QStyle::SE_PushButtonContents);
  else if (const auto* box = qobject_cast<const QGroupBox*>(&control))
    CheckGroupBox(out, *box);
}

}  // namespace

QRect GroupBoxTitleRect(const QGroupBox& box) {
  QStyleOptionGroupBox option;
  option.initFrom(&box);
  option.text = box.title();
  option.lineWidth = 1;
  option.midLineWidth = 0;
  option.textAlignment = box.alignment();
  option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
  if (box.isFlat()) option.features |= QStyleOptionFrame::Flat;
  return box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
}

std::vector<TCaptionOverflow> CaptionOverflows(const QWidget& root) {
  std::vector<TCaptionOverflow> out;
  CheckControl(out, root);
  for (const QWidget* control : root.findChildren<QWidget*>())
    if (!ExplicitlyHidden(*control)) CheckControl(out, *control);
  return out;
}

QStringList InstalledFaces(const QFont& font) {
  QStringList faces;
  for (const QString& family : QStringList{font.family()} + QFont::substitutes(font.family()))
    if (QFontDatabase::hasFamily(family) && !faces.contains(family)) faces << family;
  return faces;
}

QFont FitInterfaceFont(QWidget& root, const QStringList& families, int largest, int smallest) {
  QFont best = root.font();
  best.setPixelSize(smallest);
  if (!families.isEmpty()) best.setFamily(families.front());
  int bestSize = smallest - 1;
  for (const QString& family : families) {
    QFont font = root.font();
    font.setFamily(family);
    // Only a larger size than the best so far can win.
    for (int size = largest; size > bestSize; --size) {
      font.setPixelSize(size);
      root.setFont(font);
      if (!CaptionOverflows(root).empty()) continue;
      best = font;
      bestSize = size;
      break;
    }
  }
  root.setFont(best);
  return best;
}

}  // namespace pw
