#include "base/MValueNumber.h"

#include "base/MFormat.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace
{

using MValueSupport::SaturatingCast;

// Integer steps may be driven by fast mouse wheels or long key repeats: v + count × step is
// computed in 128 bits (|count × step| < 2^95) and saturated to the type, and the clamp that
// follows brings it into range.
__extension__ typedef __int128 MWideInteger;

template <typename A>
A OffsetSaturating(A value, long long count, A step) noexcept
{
  if constexpr (std::is_integral_v<A>)
  {
    MWideInteger wide = static_cast<MWideInteger>(value) + static_cast<MWideInteger>(count) * step;
    if (wide > std::numeric_limits<A>::max())
    {
      return std::numeric_limits<A>::max();
    }
    if (wide < std::numeric_limits<A>::min())
    {
      return std::numeric_limits<A>::min();
    }
    return static_cast<A>(wide);
  }
  else
  {
    return value + static_cast<A>(count) * step;
  }
}

} // namespace

template <typename T, typename A, bool Integral, bool NormalisedFine>
MValueNumber<T, A, Integral, NormalisedFine>::MValueNumber()
    : MValueNumber(MValueBinding<T>::Value(T(0)), A(0), A(100))
{
  if constexpr (Integral)
  {
    SetIncrements(1, 10);
  }
  else
  {
    SetIncrements(static_cast<double>(0.1f), 1.0);
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
MValueNumber<T, A, Integral, NormalisedFine>::MValueNumber(const MValueBinding<T>& binding, A min, A max)
    : m_cell(binding), m_min(min), m_max(max), m_default(static_cast<A>(binding.Initial()))
{
  double fine = (static_cast<double>(max) - static_cast<double>(min)) * 0.001;
  if constexpr (Integral)
  {
    fine = std::trunc(fine);
  }
  if (!(fine > 0.0))
  {
    fine = 1.0;
  }
  if constexpr (Integral)
  {
    m_inc = SaturatingCast<A>(fine);
    m_maxInc = OffsetSaturating<A>(0, 10, m_inc);
  }
  else
  {
    m_inc = fine;
    m_maxInc = fine * 10.0;
  }
  Clamp();
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
void MValueNumber<T, A, Integral, NormalisedFine>::SetRange(A min, A max)
{
  m_min = min;
  m_max = max;
  OnRangeChanged();
  Clamp();
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::SetFormat(const MString& format)
{
  if (!MValueSupport::IsValidFormat(format))
  {
    return false;
  }
  m_format = format;
  return true;
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
T MValueNumber<T, A, Integral, NormalisedFine>::ToStored(A value) noexcept
{
  if constexpr (std::is_same_v<T, A>)
  {
    return value;
  }
  else if constexpr (std::is_integral_v<T>)
  {
    return static_cast<T>(std::clamp<A>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
  }
  else
  {
    // A double beyond the float range has no float value; keep it at the largest one.
    if (value > static_cast<A>(FLT_MAX))
    {
      return FLT_MAX;
    }
    if (value < -static_cast<A>(FLT_MAX))
    {
      return -FLT_MAX;
    }
    return static_cast<T>(value);
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
A MValueNumber<T, A, Integral, NormalisedFine>::FromNumberText(const MString& number) noexcept
{
  if constexpr (Integral)
  {
    std::int64_t whole = MValueSupport::ReadInteger(number);
    return static_cast<A>(
        std::clamp<std::int64_t>(whole, std::numeric_limits<A>::min(), std::numeric_limits<A>::max()));
  }
  else
  {
    return number.ToDouble();
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::Assign(A value)
{
  T before = m_cell.Read();
  m_cell.Write(ToStored(Constrain(value)));
  MarkModified();
  return !(before == m_cell.Read());
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
A MValueNumber<T, A, Integral, NormalisedFine>::Constrain(A value) const
{
  if constexpr (!Integral)
  {
    if (std::isnan(value))
    {
      return m_min;
    }
  }
  if (value > m_max)
  {
    value = m_max;
  }
  if (value < m_min)
  {
    value = m_min;
  }
  return value;
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
void MValueNumber<T, A, Integral, NormalisedFine>::Clamp()
{
  T before = m_cell.Read();
  T after = ToStored(Constrain(Read()));
  if (!(before == after))
  {
    m_cell.Write(after);
    MarkModified();
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
MString MValueNumber<T, A, Integral, NormalisedFine>::ToString() const
{
  if constexpr (Integral)
  {
    // Written as the exact integer followed by the six decimals every number carries, so that
    // 64-bit values beyond the precision of a double survive storage.
    return MString::FromInteger(Read()) + MString(".000000");
  }
  else
  {
    return MString::FromDouble(Read(), 6);
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
void MValueNumber<T, A, Integral, NormalisedFine>::FromString(const MString& text)
{
  Assign(FromNumberText(text));
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::SetDefault()
{
  return Assign(m_default);
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::Save(MXmlItem& item) const
{
  // Integers as exact digits: the same text as 12 significant digits below 10^12, and no
  // rounding above.
  if constexpr (Integral)
  {
    WriteAttribute(item, GetId(), MString::FromInteger(Read()));
  }
  else
  {
    WriteAttribute(item, GetId(), MString::FromDouble(Read(), 12));
  }
  return true;
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
void MValueNumber<T, A, Integral, NormalisedFine>::Load(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, GetId(), text))
  {
    MString number;
    if (MValueSupport::ReadNumberWithFormat("{0}", text, number))
    {
      Assign(FromNumberText(number));
    }
  }
  else
  {
    SetDefault();
  }
  Clamp();
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::ReadDefinitionNumber(const MXmlItem& item,
                                                                        const MString& name, A& value)
{
  MString text;
  if (!ReadAttribute(item, name, text))
  {
    return false;
  }
  value = FromNumberText(text);
  return true;
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
void MValueNumber<T, A, Integral, NormalisedFine>::LoadDefinition(const MXmlItem& item)
{
  MString text;
  if (ReadAttribute(item, "id", text))
  {
    SetId(text);
  }
  A number{};
  if (ReadDefinitionNumber(item, "min", number))
  {
    m_min = number;
  }
  if (ReadDefinitionNumber(item, "max", number))
  {
    m_max = number;
  }
  OnRangeChanged();
  bool hasDefault = ReadDefinitionNumber(item, "default", number);
  if (hasDefault)
  {
    m_default = number;
    Assign(number);
  }
  if (ReadDefinitionNumber(item, "value", number))
  {
    Assign(number);
    if (!hasDefault)
    {
      m_default = number;
    }
  }
  if (ReadDefinitionNumber(item, "inc", number))
  {
    m_inc = number;
  }
  if (ReadDefinitionNumber(item, "maxinc", number))
  {
    m_maxInc = number;
  }
  else
  {
    m_maxInc = std::max(m_maxInc, m_inc);
  }
  if (ReadAttribute(item, "format", text))
  {
    SetFormat(text);
  }
  Clamp();
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
const MValueTypeInfo& MValueNumber<T, A, Integral, NormalisedFine>::GetTypeInfo() const
{
  return Integral ? MValueTypeInfo::Integer() : MValueTypeInfo::Floating();
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
MString MValueNumber<T, A, Integral, NormalisedFine>::FormatValue(A value) const
{
  return MFormat::Format(m_format, value);
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
MString MValueNumber<T, A, Integral, NormalisedFine>::FormatText() const
{
  return FormatValue(Read());
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
MContentDataPtr MValueNumber<T, A, Integral, NormalisedFine>::GetContentForNormalised(double x) const
{
  // Not limited to [0, 1]: a step beyond the last one shows what lies beyond the range.
  return MContentData::MakeText(FormatValue(ContentValueAtNormalised(std::isnan(x) ? 0.0 : x)));
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::ParseText(const MString& text)
{
  MString number;
  if (!MValueSupport::ReadNumberWithFormat(m_format, text, number))
  {
    return false;
  }
  return Assign(FromNumberText(number));
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::Increment(int steps, int level)
{
  if constexpr (Integral)
  {
    double step = std::trunc(std::pow(2.0, level)) * static_cast<double>(m_inc);
    if (step > static_cast<double>(m_maxInc))
    {
      step = static_cast<double>(m_maxInc);
    }
    return Assign(OffsetSaturating<A>(Read(), steps, SaturatingCast<A>(step)));
  }
  else
  {
    double step = std::pow(2.0, level) * m_inc;
    if (step > m_maxInc)
    {
      step = m_maxInc;
    }
    return Assign(Read() + steps * step);
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::IncrementFine(int steps)
{
  if constexpr (NormalisedFine)
  {
    return SetNormalised(MValueSupport::LimitUnit(GetNormalised() + steps * 0.001));
  }
  else if constexpr (Integral)
  {
    // Fine steps of whole numbers come in quarters: a wheel notch of 1 to 7 moves one inc,
    // 8 moves two.
    long long count = std::max<long long>(std::llabs(static_cast<long long>(steps)) / 4, 1);
    long long sign = steps > 0 ? 1 : (steps < 0 ? -1 : 0);
    return Assign(OffsetSaturating<A>(Read(), count * sign, m_inc));
  }
  else
  {
    return Assign(Read() + steps * m_inc);
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
double MValueNumber<T, A, Integral, NormalisedFine>::GetNormalised() const
{
  if (!(m_max > m_min))
  {
    return 0.0;
  }
  double span = static_cast<double>(m_max) - static_cast<double>(m_min);
  return MValueSupport::LimitUnit((static_cast<double>(Read()) - static_cast<double>(m_min)) / span);
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
A MValueNumber<T, A, Integral, NormalisedFine>::ValueAtNormalised(double x) const
{
  if constexpr (Integral)
  {
    // Long double holds every 64-bit integer exactly where the platform has the extended
    // format, so a range as wide as the whole type still maps its ends exactly.
    long double span = static_cast<long double>(m_max) - static_cast<long double>(m_min);
    long double value = static_cast<long double>(m_min) + std::trunc(span * x + 0.5L);
    if (value >= static_cast<long double>(std::numeric_limits<A>::max()))
    {
      return std::numeric_limits<A>::max();
    }
    if (value <= static_cast<long double>(std::numeric_limits<A>::min()))
    {
      return std::numeric_limits<A>::min();
    }
    return static_cast<A>(value);
  }
  else
  {
    return m_min + (m_max - m_min) * x;
  }
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
bool MValueNumber<T, A, Integral, NormalisedFine>::SetNormalised(double x)
{
  return Assign(ValueAtNormalised(MValueSupport::LimitUnit(x)));
}

template <typename T, typename A, bool Integral, bool NormalisedFine>
int MValueNumber<T, A, Integral, NormalisedFine>::GetStepCount() const
{
  if constexpr (Integral)
  {
    // Every whole number of the range is a position, as long as the count fits.
    double count = static_cast<double>(m_max) - static_cast<double>(m_min) + 1.0;
    if (count >= 1.0 && count <= static_cast<double>(std::numeric_limits<int>::max()))
    {
      return static_cast<int>(count);
    }
  }
  return 0;
}

template class MValueNumber<double, double, false, false>;
template class MValueNumber<double, double, false, true>;
template class MValueNumber<float, double, false, false>;
template class MValueNumber<int, int, true, false>;
template class MValueNumber<short, int, true, false>;
template class MValueNumber<std::int64_t, std::int64_t, true, false>;
