// The one conversion between the toolkit bitmap and Qt's image type.
#pragma once

#include <QImage>

#include "toolkit/bitmap.h"

namespace pw {

// An opaque RGB32 copy of the bitmap's colours; a null QImage for an empty bitmap.
QImage ToQImage(const TBitmap& bitmap);

}  // namespace pw
