// Captions that fit their controls. The layout's geometry is fixed in pixels, but the face that
// the desktop substitutes for the layout's font may be wider than the one it was drawn for; the
// window then takes the largest pixel size at which every caption is shown whole.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <vector>

class QGroupBox;
class QWidget;

namespace pw {

// A control whose caption does not fit: the text, the rectangle it needs and the area it has
// (both in the control's coordinates).
struct TCaptionOverflow {
  QString control;  // object name
  QString text;
  QRect needed;
  QRect available;
};

// Where the style draws a group box's title, in the box's coordinates.
QRect GroupBoxTitleRect(const QGroupBox& box);

// Every label, push button, radio button and group box title at or below root whose caption,
// in the control's own font, leaves the area the style draws it in, or is covered by a child
// of its group box.
std::vector<TCaptionOverflow> CaptionOverflows(const QWidget& root);

// The installed faces that may show a font: its own family, then its substitutes in order.
QStringList InstalledFaces(const QFont& font);

// Gives root the face among families and the pixel size, from largest down to smallest, that show
// every caption whole at the largest size; an earlier face wins a tie. When nothing fits, the
// first face at the smallest size. Returns the font set.
QFont FitInterfaceFont(QWidget& root, const QStringList& families, int largest, int smallest);

}  // namespace pw
