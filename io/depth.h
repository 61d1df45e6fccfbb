// Colour-depth changes of panelwright-cli, made the way the window program's colour-depth
// command makes them: through a DIB image with its defaults (the key colour for 1 bit is
// white), the Low colour division unless high is asked for.
#pragma once

#include <optional>
#include <string_view>

#include "dib/qvdib.h"
#include "toolkit/bitmap.h"

namespace pw::io {

// The pixel format for "1", "4", "8" or "24" bits; none for any other text.
std::optional<TQvPixelFormat> BitDepthFormat(std::string_view bits);

// Sets the pixel format of dib; high selects the High division for 24 bits to 8 or 4.
void ReduceDepth(TQvDIB& dib, TQvPixelFormat depth, bool high);

// Converts picture through a DIB image to the pixel format. On failure picture is unchanged.
void ReduceDepth(TBitmap& picture, TQvPixelFormat depth, bool high);

}  // namespace pw::io
