#include "core/parameters/MParameterInfo.h"

#include "core/parameters/MParameterMapping.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MModuleRandom.h"

#include <algorithm>
#include <cmath>

MString MParameterInfo::Detail() const
{
  return MAudioPlugin::JoinTexts(text4, text3);
}

void MParameterInfo::Randomize(double amount) noexcept
{
  if (!Has(kRandomizable) || !std::isfinite(amount))
    return;
  const bool partial = std::fabs(amount - 1.0) >= 1e-50;
  switch (type)
  {
  case kFloat:
  {
    const double r = MModuleRandom::Next();
    double u = r;
    if (partial)
      u = std::clamp(MParameterMapping::FloatToNormalised(*this, floating.value) + r * 2.0 * amount - amount,
                     0.0, 1.0);
    double value = MParameterMapping::FloatToPlain(*this, u);
    if ((flags2 & kRandomWholeNumbers) != 0)
      value = MParameterMapping::RoundHalfUp(value);
    value = std::clamp(value, std::min(floating.minimum, floating.maximum),
                       std::max(floating.minimum, floating.maximum));
    floating.value = value;
    floating.previous = value;
    break;
  }
  case kInteger:
  {
    const double r = MModuleRandom::Next();
    const double range = static_cast<double>(integer.maximum) - integer.minimum;
    double value = 0.0;
    if (partial)
    {
      const double d = range * amount;
      value = integer.value + MParameterMapping::RoundHalfUp(r * 2.0 * d - d);
    }
    else
      value = MParameterMapping::RoundHalfUp(r * range + integer.minimum);
    const double low = std::min(integer.minimum, integer.maximum);
    const double high = std::max(integer.minimum, integer.maximum);
    integer.value = static_cast<std::int32_t>(std::clamp(value, low, high));
    break;
  }
  case kEnumeration:
  {
    const double r = MModuleRandom::Next();
    const double n = enumeration.count;
    if (n < 1)
      return;
    double value = 0.0;
    if (partial)
      value = enumeration.value + MParameterMapping::RoundHalfUp(r * 2.0 * n * amount - n * amount);
    else
      value = std::floor(r * n);
    enumeration.value = static_cast<std::int32_t>(std::clamp(value, 0.0, n - 1.0));
    break;
  }
  case kBoolean:
  case kGroup:
  {
    if (amount + 1e-50 < 0.5)
      return;
    const bool on = ((MModuleRandom::NextState() >> 16) & 1u) != 0;
    if (type == kBoolean)
      boolean.value = on;
    else if (group.enabled != nullptr)
      *group.enabled = on;
    break;
  }
  default:
    break;
  }
}
