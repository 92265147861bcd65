#pragma once
// Small numeric and text helpers shared by the value scales. Internal to the value-scale files.

#include "base/MString.h"

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>

namespace MValueSupport
{

/// Rounding of display values: floor(x) + 1 when the fraction is at least one half, else
/// floor(x) (halves go up, also for negative numbers).
inline double RoundHalfUp(double x) noexcept
{
  double whole = std::floor(x);
  return x - whole >= 0.5 ? whole + 1.0 : whole;
}

/// Truncating conversion that saturates at the limits of I instead of overflowing; not-a-number
/// reads as 0.
template <std::integral I>
I SaturatingCast(double x) noexcept
{
  if (std::isnan(x))
  {
    return 0;
  }
  // The limits as doubles: the maximum rounds up to 2^63 (or 2^31), which is out of range, so
  // compare with >= against it.
  constexpr double kMax = static_cast<double>(std::numeric_limits<I>::max());
  constexpr double kMin = static_cast<double>(std::numeric_limits<I>::min());
  if (x >= kMax)
  {
    return std::numeric_limits<I>::max();
  }
  if (x <= kMin)
  {
    return std::numeric_limits<I>::min();
  }
  return static_cast<I>(x);
}

/// A normalised position limited to [0, 1]; not-a-number reads as 0.
inline double LimitUnit(double x) noexcept
{
  if (!(x > 0.0))
  {
    return 0.0;
  }
  return x < 1.0 ? x : 1.0;
}

/// Index just past the leading blanks and the longest decimal-number prefix of `text` (sign,
/// digits, point, exponent), or the index after the blanks when no number starts the text.
std::int32_t NumericPrefixEnd(const MString& text) noexcept;

/// True when `text` is exactly one decimal number, blanks allowed around it.
bool IsNumberText(const MString& text) noexcept;

/// True when the first characters after the number that starts `text`, past blanks and percent
/// signs, are `word` (compared as names: case and accents folded). "25% left" has "left".
bool HasWordAfterNumber(const MString& text, const MString& word) noexcept;

/// Matches `text` against `format` with the message parser and answers argument 0 when it is
/// exactly one number. A format that cannot be compiled answers false.
bool ReadNumberWithFormat(const MString& format, const MString& text, MString& number);

/// Exact integer reading of a number text: plain integers exactly (64-bit), other numbers
/// truncated and saturated.
std::int64_t ReadInteger(const MString& number) noexcept;

/// True when `format` compiles (no placeholder left open).
bool IsValidFormat(const MString& format) noexcept;

} // namespace MValueSupport
