// PNG row filters (None, Sub, Up, Average, Paeth): undone in place when reading, chosen per
// row when writing. Internal to png/.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pw {

// Undoes filter type `filter` on `length` bytes of `row`, given the unfiltered previous row
// `prior` (all zeros for the first row of a pass) and the bytes per pixel (1..8).
// Returns false for a filter type above 4.
bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel);

// Filters `length` bytes of `row` with the type that gives the smallest sum of the filtered
// bytes taken as signed magnitudes (the usual adaptive heuristic; the first of equal types
// wins). Writes the type byte and the filtered bytes to `out` (length + 1 bytes); `scratch`
// holds length + 1 bytes for the candidates. Returns the type chosen.
int FilterRowAdaptive(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel,
                      std::uint8_t* out, std::uint8_t* scratch);

}  // namespace pw
