#include "core/parameters/MParameterMapping.h"

#include "base/MFormat.h"

#include <algorithm>
#include <cmath>

namespace
{
double Curve(std::int32_t curve, double x) noexcept
{
  switch (curve)
  {
  case MParameterInfo::kQuadratic:
    return x * x;
  case MParameterInfo::kQuartic:
    return (x * x) * (x * x);
  default:
    return x;
  }
}

double InverseCurve(std::int32_t curve, double u) noexcept
{
  if (curve == MParameterInfo::kLinear)
    return u;
  // A root of a negative position is not a number; below the range the position is 0.
  if (!(u > 0.0))
    return 0.0;
  return curve == MParameterInfo::kQuadratic ? std::sqrt(u) : std::sqrt(std::sqrt(u));
}

double Position(double plain, double minimum, double maximum) noexcept
{
  const double range = maximum - minimum;
  if (range == 0.0 || !std::isfinite(range))
    return 0.0;
  return (plain - minimum) * (1.0 / range);
}

// Formatters are called on a copy: display and parsing never write the shared descriptor.
MString CallFormatter(const MParameterInfo& info, const MParameterInfo& copyFrom, const MString& input,
                      MParameterInfo* result)
{
  MParameterInfo copy(copyFrom);
  MString text;
  info.formatter(text, copy, input);
  if (result != nullptr)
    *result = copy;
  return text;
}
} // namespace

double MParameterMapping::RoundHalfUp(double x) noexcept
{
  const double whole = std::floor(x);
  return x - whole >= 0.5 ? whole + 1.0 : whole;
}

// ---- float -------------------------------------------------------------------------------------

double MParameterMapping::FloatToPlain(const MParameterInfo& info, double x) noexcept
{
  const auto& f = info.floating;
  return (f.maximum - f.minimum) * Curve(info.curve, x) + f.minimum;
}

double MParameterMapping::FloatToNormalised(const MParameterInfo& info, double plain) noexcept
{
  return InverseCurve(info.curve, Position(plain, info.floating.minimum, info.floating.maximum));
}

MString MParameterMapping::FloatText(const MParameterInfo& info, double plain)
{
  if (info.formatter != nullptr)
  {
    MParameterInfo copy(info);
    copy.floating.value = plain;
    return CallFormatter(info, copy, MString(), nullptr);
  }
  if (!info.format.IsEmpty())
    return MFormat::Format(info.format, plain);
  return MString::FromDouble(plain, 6);
}

double MParameterMapping::FloatParse(const MParameterInfo& info, const MString& text)
{
  double plain = 0.0;
  if (info.formatter != nullptr)
  {
    MParameterInfo parsed;
    CallFormatter(info, info, text, &parsed);
    plain = parsed.floating.value;
  }
  else
    plain = text.ToDouble();
  return FloatToNormalised(info, plain);
}

// ---- integer -----------------------------------------------------------------------------------

std::int32_t MParameterMapping::IntegerToPlain(const MParameterInfo& info, double x) noexcept
{
  const auto& i = info.integer;
  const double plain = RoundHalfUp(static_cast<double>(i.maximum - i.minimum) * x + i.minimum);
  return static_cast<std::int32_t>(std::clamp(plain, -2147483648.0, 2147483647.0));
}

double MParameterMapping::IntegerToNormalised(const MParameterInfo& info, double plain) noexcept
{
  return Position(plain, info.integer.minimum, info.integer.maximum);
}

MString MParameterMapping::IntegerText(const MParameterInfo& info, std::int32_t plain)
{
  if (info.formatter != nullptr)
  {
    MParameterInfo copy(info);
    copy.integer.value = plain;
    return CallFormatter(info, copy, MString(), nullptr);
  }
  if (!info.format.IsEmpty())
    return MFormat::Format(info.format, plain);
  return MString::FromInteger(plain);
}

double MParameterMapping::IntegerParse(const MParameterInfo& info, const MString& text)
{
  double plain = 0.0;
  if (info.formatter != nullptr)
  {
    MParameterInfo parsed;
    CallFormatter(info, info, text, &parsed);
    plain = parsed.integer.value;
  }
  else
    plain = static_cast<double>(text.ToInteger());
  return IntegerToNormalised(info, plain);
}

// ---- enumeration -------------------------------------------------------------------------------

std::int32_t MParameterMapping::EnumerationToIndex(const MParameterInfo& info, double x) noexcept
{
  const std::int32_t n = info.enumeration.count;
  if (n < 1)
    return 0;
  const double k = RoundHalfUp(n * x - 0.5);
  return static_cast<std::int32_t>(std::clamp(k, 0.0, static_cast<double>(n - 1)));
}

double MParameterMapping::EnumerationToNormalised(const MParameterInfo& info, std::int32_t index) noexcept
{
  const std::int32_t n = info.enumeration.count;
  if (n < 2)
    return 0.0;
  return static_cast<double>(index) / (n - 1);
}

MString MParameterMapping::EnumerationText(const MParameterInfo& info, std::int32_t index)
{
  if (info.formatter != nullptr)
  {
    MParameterInfo copy(info);
    copy.enumeration.value = index;
    return CallFormatter(info, copy, MString(), nullptr);
  }
  const auto& e = info.enumeration;
  if (e.names == nullptr || index < 0 || index >= e.count || e.names[index] == nullptr)
    return MString();
  return MString::FromNarrow(e.names[index]);
}

double MParameterMapping::EnumerationParse(const MParameterInfo& info, const MString& text)
{
  if (info.formatter != nullptr)
  {
    MParameterInfo parsed;
    CallFormatter(info, info, text, &parsed);
    return EnumerationToNormalised(info, parsed.enumeration.value);
  }
  const auto& e = info.enumeration;
  for (std::int32_t k = 0; e.names != nullptr && k < e.count; ++k)
  {
    if (e.names[k] != nullptr && text.EqualsName(MString::FromNarrow(e.names[k])))
      return EnumerationToNormalised(info, k);
  }
  return 0.0;
}

MString MParameterMapping::BooleanText(bool on)
{
  return on ? MString("On") : MString("Off");
}

double MParameterMapping::BooleanParse(const MString& text)
{
  if (text.EqualsName(MString("On")))
    return 1.0;
  if (text.EqualsName(MString("Off")))
    return 0.0;
  return text.ToDouble();
}
