#include "png/filters.h"

#include <cstdlib>

namespace pw {

namespace {

// The Paeth predictor of the PNG specification: ties go to a, then b, then c.
inline std::uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// The first pixel has no left neighbour (a = c = 0); the loops start behind it. `Bpp` is a
// template parameter so that the loops of the common pixel sizes unroll over the channels.
template <int Bpp>
void UnfilterSub(std::uint8_t* row, std::size_t length) {
  for (std::size_t i = Bpp; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
}

void UnfilterUp(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
}

template <int Bpp>
void UnfilterAverage(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  const std::size_t head = length < Bpp ? length : Bpp;
  for (std::size_t i = 0; i < head; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
  for (std::size_t i = Bpp; i < length; ++i)
    row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - Bpp] + prior[i]) >> 1));
}

template <int Bpp>
void UnfilterPaeth(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  // With a = c = 0 the predictor is b.
  const std::size_t head = length < Bpp ? length : Bpp;
  for (std::size_t i = 0; i < head; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
  for (std::size_t i = Bpp; i < length; ++i)
    row[i] = static_cast<std::uint8_t>(row[i] + PaethPredictor(row[i - Bpp], prior[i], prior[i - Bpp]));
}

template <int Bpp>
bool Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  switch (filter) {
    case 0: return true;
    case 1: UnfilterSub<Bpp>(row, length); return true;
    case 2: UnfilterUp(row, prior, length); return true;
    case 3: UnfilterAverage<Bpp>(row, prior, length); return true;
    case 4: UnfilterPaeth<Bpp>(row, prior, length); return true;
    default: return false;
  }
}

}  // namespace

bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1: return Unfilter<1>(filter, row, prior, length);
    case 2: return Unfilter<2>(filter, row, prior, length);
    case 3: return Unfilter<3>(filter, row, prior, length);
    case 4: return Unfilter<4>(filter, row, prior, length);
    case 6: return Unfilter<6>(filter, row, prior, length);
    default: return Unfilter<8>(filter, row, prior, length);
  }
}

}  // namespace pw
