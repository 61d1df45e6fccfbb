// Colour reduction of pictures known only by their colours and pixel counts, as several
// pictures are reduced to one palette without holding them all.
#pragma once

#include <vector>

#include "toolkit/animation.h"
#include "toolkit/bitmap.h"

namespace pw {

// The palette that the High reduction to 2^depth colours (the pixel-format setter in qvCmHigh
// mode) gives a picture made of these colours with these pixel counts: the division depends on
// nothing else, so these are its entries, in its order. depth is 4 or 8.
TPaletteEntries HighReductionPalette(const std::vector<TColourCount>& colours, int depth);

}  // namespace pw
