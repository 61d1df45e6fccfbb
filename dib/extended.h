// Extended precision: binary floating point with a 64-bit mantissa, every operation rounded to
// nearest with ties to even, as the x87 unit computes long double at its default precision.
//
// The colour division decides its split channel from means and variances computed in this
// precision; where those decisions meet an exact tie, the rounding of each step decides, so
// every platform must round exactly alike. TExtended is the native long double where that is
// the x87 format (x86 and x86-64 with GCC or Clang) and TSoftExtended, a software rendering
// of the same arithmetic, everywhere else (ARM, WebAssembly, compilers whose long double is a
// plain double).
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <type_traits>

#include "toolkit/errors.h"

namespace pw {

// A finite value sign x mantissa x 2^exponent with a normalised 64-bit mantissa (top bit set),
// or zero. Values stay far inside any exponent range here, so there is no overflow,
// underflow, infinity or NaN.
class TSoftExtended {
 public:
  constexpr TSoftExtended() = default;
  // Exact: every 64-bit integer fits the mantissa.
  explicit constexpr TSoftExtended(std::uint64_t value) {
    if (value == 0) return;
    const int shift = std::countl_zero(value);
    mantissa_ = value << shift;
    exponent_ = -shift;
  }

  friend TSoftExtended operator*(const TSoftExtended& a, const TSoftExtended& b) {
    if (a.IsZero() || b.IsZero()) return {};
    const unsigned __int128 product = static_cast<unsigned __int128>(a.mantissa_) * b.mantissa_;
    return Round(a.negative_ != b.negative_, product, a.exponent_ + b.exponent_, false);
  }

  friend TSoftExtended operator/(const TSoftExtended& a, const TSoftExtended& b) {
    Assert(!b.IsZero(), "TSoftExtended: Division by Zero");
    if (a.IsZero()) return {};
    // 2^64 a / b lies in [2^63, 2^65); one more quotient bit and the remainder's sticky bit
    // give the rounding all it needs.
    const unsigned __int128 dividend = static_cast<unsigned __int128>(a.mantissa_) << 64;
    unsigned __int128 quotient = dividend / b.mantissa_;
    unsigned __int128 rest = (dividend % b.mantissa_) << 1;
    quotient <<= 1;
    if (rest >= b.mantissa_) {
      quotient |= 1;
      rest -= b.mantissa_;
    }
    return Round(a.negative_ != b.negative_, quotient, a.exponent_ - b.exponent_ - 65, rest != 0);
  }

  friend TSoftExtended operator+(const TSoftExtended& a, const TSoftExtended& b) { return Add(a, b, b.negative_); }
  friend TSoftExtended operator-(const TSoftExtended& a, const TSoftExtended& b) { return Add(a, b, !b.negative_); }

  friend bool operator==(const TSoftExtended& a, const TSoftExtended& b) { return Compare(a, b) == 0; }
  friend bool operator<(const TSoftExtended& a, const TSoftExtended& b) { return Compare(a, b) < 0; }
  friend bool operator>(const TSoftExtended& a, const TSoftExtended& b) { return Compare(a, b) > 0; }
  friend bool operator<=(const TSoftExtended& a, const TSoftExtended& b) { return Compare(a, b) <= 0; }
  friend bool operator>=(const TSoftExtended& a, const TSoftExtended& b) { return Compare(a, b) >= 0; }

  bool IsZero() const { return mantissa_ == 0; }
  bool Negative() const { return negative_ && !IsZero(); }
  std::uint64_t Mantissa() const { return mantissa_; }
  int Exponent() const { return exponent_; }

 private:
  // The value (bits + sticky) x 2^exponent, sticky standing for a non-zero amount below one
  // unit of bits, rounded to 64 bits. Callers with sticky set give bits of 65 or more
  // significant bits, so that normalising only ever shifts right.
  static TSoftExtended Round(bool negative, unsigned __int128 bits, int exponent, bool sticky) {
    TSoftExtended r;
    if (bits == 0) return r;
    const auto high = static_cast<std::uint64_t>(bits >> 64);
    const int top = high != 0 ? 127 - std::countl_zero(high) : 63 - std::countl_zero(static_cast<std::uint64_t>(bits));
    r.negative_ = negative;
    if (top <= 63) {
      const int shift = 63 - top;
      r.mantissa_ = static_cast<std::uint64_t>(bits) << shift;
      r.exponent_ = exponent - shift;
      return r;
    }
    const int shift = top - 63;
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    const unsigned __int128 rest = bits & ((half << 1) - 1);
    std::uint64_t mantissa = static_cast<std::uint64_t>(bits >> shift);
    int e = exponent + shift;
    const bool up = rest > half || (rest == half && (sticky || (mantissa & 1) != 0));
    if (up && ++mantissa == 0) {
      mantissa = std::uint64_t{1} << 63;
      ++e;
    }
    r.mantissa_ = mantissa;
    r.exponent_ = e;
    return r;
  }

  // -1, 0 or 1 as |a| is below, equal to or above |b|.
  static int CompareMagnitude(const TSoftExtended& a, const TSoftExtended& b) {
    if (a.IsZero() || b.IsZero()) return a.IsZero() ? (b.IsZero() ? 0 : -1) : 1;
    if (a.exponent_ != b.exponent_) return a.exponent_ < b.exponent_ ? -1 : 1;
    if (a.mantissa_ != b.mantissa_) return a.mantissa_ < b.mantissa_ ? -1 : 1;
    return 0;
  }

  static int Compare(const TSoftExtended& a, const TSoftExtended& b) {
    if (a.Negative() != b.Negative()) return a.Negative() ? -1 : 1;
    const int magnitude = CompareMagnitude(a, b);
    return a.Negative() ? -magnitude : magnitude;
  }

  // a + b with b's sign taken as bNegative.
  static TSoftExtended Add(const TSoftExtended& a, TSoftExtended b, bool bNegative) {
    b.negative_ = bNegative;
    if (b.IsZero()) return a;
    if (a.IsZero()) return b;
    const bool aLarger = CompareMagnitude(a, b) >= 0;
    const TSoftExtended& large = aLarger ? a : b;
    const TSoftExtended& small = aLarger ? b : a;
    // The larger mantissa at bits 126..63, the smaller shifted into place below it; what is
    // shifted out only survives as the sticky bit.
    const unsigned __int128 largeBits = static_cast<unsigned __int128>(large.mantissa_) << 63;
    const int distance = large.exponent_ - small.exponent_;
    unsigned __int128 smallBits = 0;
    bool sticky = false;
    if (distance < 127) {
      const unsigned __int128 aligned = static_cast<unsigned __int128>(small.mantissa_) << 63;
      smallBits = aligned >> distance;
      sticky = (smallBits << distance) != aligned;
    } else {
      sticky = true;
    }
    const int exponent = large.exponent_ - 63;
    if (large.negative_ == small.negative_) return Round(large.negative_, largeBits + smallBits, exponent, sticky);
    // A sticky remainder makes the true difference slightly smaller than largeBits - smallBits:
    // one unit less, plus a sticky amount.
    const unsigned __int128 difference = largeBits - smallBits - (sticky ? 1 : 0);
    if (difference == 0 && !sticky) return {};
    return Round(large.negative_, difference, exponent, sticky);
  }

  bool negative_ = false;
  std::uint64_t mantissa_ = 0;
  int exponent_ = 0;
};

// The native type when it is the x87 extended format, else the software one.
inline constexpr bool kNativeExtended = LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384;
using TExtended = std::conditional_t<kNativeExtended, long double, TSoftExtended>;

}  // namespace pw
