#pragma once
// Floating-point to integer conversion that is defined for every input.
//
// A plain static_cast from a floating type is undefined when the truncated value does
// not fit the target type, and NaN and the infinities never fit. The image comes from
// files and from the device, so any float bit pattern can reach the code that derives
// editor values from it; every such conversion goes through these two functions.
//
// SaturatingCast<Int>(x), for any integer type Int (not bool) and any double x:
//   x is NaN                          -> 0
//   x <= the lowest Int (also -inf)   -> the lowest Int
//   x >= the highest Int + 1 (+inf)   -> the highest Int
//   otherwise                         -> static_cast<Int>(x): truncated toward zero
// so a value that converted correctly before converts to exactly the same integer.
//
// SaturatingRound<Int>(x) rounds to the nearest integer, halves away from zero (as
// std::round and std::lround do), then saturates in the same way.
//
// A float argument widens to double exactly, so passing one changes nothing.
#include <cmath>
#include <concepts>
#include <limits>
#include <type_traits>

namespace dsptune {

template <typename Int>
concept SaturatingTarget = std::integral<Int> && !std::same_as<std::remove_cv_t<Int>, bool>;

template <SaturatingTarget Int>
constexpr Int SaturatingCast(double x) noexcept {
  using Limits = std::numeric_limits<Int>;
  // Both bounds are powers of two (or zero) and therefore exact doubles for every
  // integer width up to 64 bits; the highest value itself may not be.
  constexpr double kLowest = static_cast<double>(Limits::lowest());
  constexpr double kAboveHighest = [] {
    double p = 1.0;
    for (int bit = 0; bit < Limits::digits; ++bit) p *= 2.0;
    return p;
  }();
  if (x != x) return 0;  // NaN
  if (x <= kLowest) return Limits::lowest();
  if (x >= kAboveHighest) return Limits::max();
  return static_cast<Int>(x);
}

template <SaturatingTarget Int>
Int SaturatingRound(double x) noexcept {
  return SaturatingCast<Int>(std::round(x));
}

}  // namespace dsptune
