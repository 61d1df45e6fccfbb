// PNG row filters (None, Sub, Up, Average, Paeth) undone in place. Internal to png/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pw {

// Undoes filter type `filter` on `length` bytes of `row`, given the unfiltered previous row
// `prior` (all zeros for the first row of a pass) and the bytes per pixel (1..8).
// Returns false for a filter type above 4.
bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel);

}  // namespace pw
