#include "png/filters.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pw {

namespace {

// All ones when x < 0.
inline int SignMask(int x) { return x >> 31; }

// The Paeth predictor of the PNG specification: ties go to a, then b, then c. Selections are
// masks rather than branches, which mispredict on photographic data.
inline std::uint8_t PaethPredictor(int a, int b, int c) {
  const int pa = std::abs(b - c);
  const int pb = std::abs(a - c);
  const int pc = std::abs(a + b - 2 * c);
  const int takeB = SignMask(pb - pa);  // b strictly nearer than a
  const int nearest = a ^ ((a ^ b) & takeB);
  const int nearestDistance = pa ^ ((pa ^ pb) & takeB);
  const int takeC = SignMask(pc - nearestDistance);  // c strictly nearer than both
  return static_cast<std::uint8_t>(nearest ^ ((nearest ^ c) & takeC));
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


#if defined(__SSE2__)
// Pixels of 3, 4, 6 or 8 bytes one pixel at a time, the channels side by side in one register
// (the first pixel's missing left neighbours start as zero). A load reads the bytes up to the
// next power of two while the row has them; the extra lanes are never stored.
template <int Bpp>
__m128i LoadPixel(const std::uint8_t* p, std::size_t left) {
  if constexpr (Bpp <= 4) {
    std::uint32_t v = 0;
    if (left >= 4)
      std::memcpy(&v, p, 4);
    else
      std::memcpy(&v, p, Bpp);
    return _mm_cvtsi32_si128(static_cast<int>(v));
  } else {
    std::uint64_t v = 0;
    if (left >= 8)
      std::memcpy(&v, p, 8);
    else
      std::memcpy(&v, p, Bpp);
    return _mm_cvtsi64_si128(static_cast<long long>(v));
  }
}

template <int Bpp>
void StorePixel(std::uint8_t* p, __m128i v) {
  if constexpr (Bpp <= 4) {
    const auto bits = static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(p, &bits, Bpp);
  } else {
    const auto bits = static_cast<std::uint64_t>(_mm_cvtsi128_si64(v));
    std::memcpy(p, &bits, Bpp);
  }
}

template <int Bpp>
void UnfilterSubSimd(std::uint8_t* row, std::size_t length) {
  __m128i a = _mm_setzero_si128();
  for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
    a = _mm_add_epi8(LoadPixel<Bpp>(row + i, length - i), a);
    StorePixel<Bpp>(row + i, a);
  }
}

template <int Bpp>
void UnfilterAverageSimd(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
    const __m128i b = LoadPixel<Bpp>(prior + i, length - i);
    // _mm_avg_epu8 rounds up; the filter takes the floor.
    const __m128i average = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(LoadPixel<Bpp>(row + i, length - i), average);
    StorePixel<Bpp>(row + i, a);
  }
}

__m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

template <int Bpp>
void UnfilterPaethSimd(std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, c = zero;  // 16-bit lanes
  for (std::size_t i = 0; i + Bpp <= length; i += Bpp) {
    const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prior + i, length - i), zero);
    const __m128i x = _mm_unpacklo_epi8(LoadPixel<Bpp>(row + i, length - i), zero);
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i smallest = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    const __m128i predictor =
        Select(_mm_cmpeq_epi16(smallest, pa), a, Select(_mm_cmpeq_epi16(smallest, pb), b, c));
    // Byte-wise addition keeps each lane's high byte zero, so the sum is taken modulo 256.
    a = _mm_add_epi8(x, predictor);
    c = b;
    StorePixel<Bpp>(row + i, _mm_packus_epi16(a, a));
  }
}
#endif

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

#if defined(__SSE2__)
template <int Bpp>
bool UnfilterSimd(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
  switch (filter) {
    case 0: return true;
    case 1: UnfilterSubSimd<Bpp>(row, length); return true;
    case 2: UnfilterUp(row, prior, length); return true;
    case 3: UnfilterAverageSimd<Bpp>(row, prior, length); return true;
    case 4: UnfilterPaethSimd<Bpp>(row, prior, length); return true;
    default: return false;
  }
}
#endif

// The sum of the filtered bytes read as signed values, without their signs.
std::uint64_t MagnitudeSum(const std::uint8_t* p, std::size_t n) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  __m128i total = zero;
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // min(v, 256 - v) is the magnitude of v read as signed.
    total = _mm_add_epi64(total, _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero));
  }
  std::uint64_t lanes[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), total);
  sum = lanes[0] + lanes[1];
#endif
  for (; i < n; ++i) sum += p[i] < 128 ? p[i] : 256u - p[i];
  return sum;
}

// Writes row minus the predictor into out and returns the sum of the magnitudes. The bytes are
// filtered in blocks, and filtering stops early, with a sum of at least limit, once the sum can
// no longer fall below limit.
template <class Predict>
std::uint64_t FilterWith(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length, std::size_t bpp,
                         std::uint8_t* out, std::uint64_t limit, Predict predict) {
  constexpr std::size_t kBlock = 512;
  const std::size_t head = std::min(length, bpp);
  for (std::size_t i = 0; i < head; ++i) out[i] = static_cast<std::uint8_t>(row[i] - predict(0, prior[i], 0));
  std::uint64_t sum = MagnitudeSum(out, head);
  for (std::size_t start = head; start < length && sum < limit; start += kBlock) {
    const std::size_t end = std::min(length, start + kBlock);
    for (std::size_t i = start; i < end; ++i)
      out[i] = static_cast<std::uint8_t>(row[i] - predict(row[i - bpp], prior[i], prior[i - bpp]));
    sum += MagnitudeSum(out + start, end - start);
  }
  return sum;
}

std::uint64_t FilterOne(int filter, const std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
                        std::size_t bpp, std::uint8_t* out, std::uint64_t limit) {
  switch (filter) {
    case 0: return FilterWith(row, prior, length, bpp, out, limit, [](int, int, int) { return 0; });
    case 1: return FilterWith(row, prior, length, bpp, out, limit, [](int a, int, int) { return a; });
    case 2: return FilterWith(row, prior, length, bpp, out, limit, [](int, int b, int) { return b; });
    case 3: return FilterWith(row, prior, length, bpp, out, limit, [](int a, int b, int) { return (a + b) >> 1; });
    default: return FilterWith(row, prior, length, bpp, out, limit, PaethPredictor);
  }
}

}  // namespace

int FilterRowAdaptive(const std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel,
                      std::uint8_t* out, std::uint8_t* scratch) {
  std::uint8_t* best = out;
  std::uint8_t* trial = scratch;
  std::uint64_t bestSum = std::numeric_limits<std::uint64_t>::max();
  for (int filter = 0; filter <= 4; ++filter) {
    const std::uint64_t sum =
        FilterOne(filter, row, prior, length, static_cast<std::size_t>(bytesPerPixel), trial + 1, bestSum);
    if (sum < bestSum) {
      trial[0] = static_cast<std::uint8_t>(filter);
      bestSum = sum;
      std::swap(best, trial);
    }
  }
  if (best != out) std::memcpy(out, best, length + 1);
  return out[0];
}

bool UnfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bytesPerPixel) {
  switch (bytesPerPixel) {
    case 1: return Unfilter<1>(filter, row, prior, length);
    case 2: return Unfilter<2>(filter, row, prior, length);
#if defined(__SSE2__)
    case 3: return UnfilterSimd<3>(filter, row, prior, length);
    case 4: return UnfilterSimd<4>(filter, row, prior, length);
    case 6: return UnfilterSimd<6>(filter, row, prior, length);
    default: return UnfilterSimd<8>(filter, row, prior, length);
#else
    case 3: return Unfilter<3>(filter, row, prior, length);
    case 4: return Unfilter<4>(filter, row, prior, length);
    case 6: return Unfilter<6>(filter, row, prior, length);
    default: return Unfilter<8>(filter, row, prior, length);
#endif
  }
}

}  // namespace pw
