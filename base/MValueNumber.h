#pragma once
// MValueNumber: the numeric value scale, base of every unit scale.
//
// Template arguments: T the stored type, A the type of range and arithmetic, Integral (normalised
// positions and steps are whole numbers), NormalisedFine (the fine increment moves the normalised
// position by 0.001 instead of the value by `inc`). The instantiations in use are listed at the
// end of this file; MValueNumber.cpp compiles them once.
//
// Display: the `format` string (message formatter, default "{0}", so a double shows four
// decimals: 0.5 shows "0.5000") filled with the variable as argument 0. Parsing matches typed
// text against the same format and accepts it only when argument 0 is exactly one number.
// Mapping: linear, position = (v - min) / (max - min) limited to [0, 1], 0 for an empty or
// reversed range; integral scales round positions to whole numbers (min + trunc(span × x + 0.5)).
// Integer arithmetic saturates at the limits of A instead of overflowing.
//
// GUI thread only; every operation with text allocates.

#include "base/MValue.h"
#include "base/MValueSupport.h"

#include <cstdint>
#include <type_traits>

template <typename T, typename A, bool Integral, bool NormalisedFine>
class MValueNumber : public MValue
{
  static_assert(std::is_arithmetic_v<T> && std::is_arithmetic_v<A>, "numbers only");
  static_assert(Integral == std::is_integral_v<A>, "integral scales compute in an integer type");

public:
  using StoredType = T;
  using ArithmeticType = A;

  /// The XML loader's default: value 0, range 0..100, inc 0.1 and maxinc 1 (integers: 1 and 10).
  MValueNumber();
  /// Binds the variable and sets the range. `default` becomes the variable's current value; the
  /// variable is then clamped. inc = (max - min) × 0.001 (integral: truncated), 1 when that is
  /// not positive; maxinc = 10 × inc.
  MValueNumber(const MValueBinding<T>& binding, A min, A max);

  /// The variable.
  T Get() const noexcept { return m_cell.Read(); }
  /// Writes the variable (clamped, `modified` set); answers whether it changed.
  bool Set(A value) { return Assign(value); }

  A GetMin() const noexcept { return m_min; }
  A GetMax() const noexcept { return m_max; }
  A GetInc() const noexcept { return m_inc; }
  A GetMaxInc() const noexcept { return m_maxInc; }
  A GetDefault() const noexcept { return m_default; }
  const MString& GetFormat() const noexcept { return m_format; }

  /// New range; the variable is clamped into it.
  void SetRange(A min, A max);
  void SetIncrements(A inc, A maxInc) noexcept
  {
    m_inc = inc;
    m_maxInc = maxInc;
  }
  void SetDefaultValue(A value) noexcept { m_default = value; }
  /// New display format; a format that does not compile is refused (false) and the old one kept.
  bool SetFormat(const MString& format);

  MVALUE_SCALE_OPERATIONS

protected:
  A Read() const noexcept { return static_cast<A>(m_cell.Read()); }
  /// Writes `value` through Constrain, sets `modified`; answers whether the variable changed.
  bool Assign(A value);
  /// The value Clamp makes of `value`: limited to [min, max] (not-a-number becomes min).
  virtual A Constrain(A value) const;
  /// The value at position x (already limited to [0, 1] by SetNormalised).
  virtual A ValueAtNormalised(double x) const;
  /// The value whose text GetContentForNormalised shows.
  virtual A ContentValueAtNormalised(double x) const { return ValueAtNormalised(x); }
  /// Display text of any value of this scale. Default: the format with the value as argument 0.
  virtual MString FormatValue(A value) const;
  /// Called after LoadDefinition and SetRange, for scales that cache range-derived figures.
  virtual void OnRangeChanged() {}
  /// Reads one definition number attribute; answers whether it was present.
  static bool ReadDefinitionNumber(const MXmlItem& item, const MString& name, A& value);
  /// The number a decimal text stands for, in A: integers exactly (truncated, saturated), doubles by
  /// the text-to-number rule (0 when no number starts the text).
  static A FromNumberText(const MString& number) noexcept;
  static T ToStored(A value) noexcept;

  MValueCell<T> m_cell;
  A m_min;
  A m_max;
  A m_inc;
  A m_maxInc;
  A m_default;
  MString m_format = "{0}";
};

// The instantiations in use; their members are compiled once in MValueNumber.cpp.
extern template class MValueNumber<double, double, false, false>;
extern template class MValueNumber<double, double, false, true>;
extern template class MValueNumber<float, double, false, false>;
extern template class MValueNumber<int, int, true, false>;
extern template class MValueNumber<short, int, true, false>;
extern template class MValueNumber<std::int64_t, std::int64_t, true, false>;

using MValueDouble = MValueNumber<double, double, false, false>;
using MValueDoubleNormalisedFine = MValueNumber<double, double, false, true>;
using MValueFloat = MValueNumber<float, double, false, false>;
using MValueInt = MValueNumber<int, int, true, false>;
using MValueShort = MValueNumber<short, int, true, false>;
using MValueInt64 = MValueNumber<std::int64_t, std::int64_t, true, false>;
