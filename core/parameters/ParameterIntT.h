#pragma once
// ParameterIntT<Base>: an integer descriptor as a one-slot automation adapter (type 2).
//
// Normalised x maps to round-half-up((max - min) x + min). SetValue writes the value, the in-block
// ramp the smoothed value (read by the effect while kInterpolating is set), as ParameterFloatT. Host values
// outside 0..1 are clamped and non-numbers ignored.

#include "core/parameters/MParameterMapping.h"

#include <algorithm>
#include <cmath>

template <class Base>
class ParameterIntT : public Base
{
public:
  std::int32_t GetType(std::int32_t) const override { return MParameterInfo::kInteger; }

  void SetValue(std::int32_t, double value, bool silent) override
  {
    if (std::isnan(value))
      return;
    MParameterInfo& info = this->Info();
    const std::int32_t plain = MParameterMapping::IntegerToPlain(info, std::clamp(value, 0.0, 1.0));
    info.integer.value = plain;
    this->NotifyChanged(silent);
  }

  void SetInterpolatedValue(std::int32_t, double value) override
  {
    if (std::isnan(value))
      return;
    MParameterInfo& info = this->Info();
    info.integer.smoothed = MParameterMapping::IntegerToPlain(info, std::clamp(value, 0.0, 1.0));
  }

  double GetValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::IntegerToNormalised(info, info.integer.value);
  }

  MString GetValueName(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::IntegerText(info, info.integer.value);
  }

  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::IntegerText(info, MParameterMapping::IntegerToPlain(info, value));
  }

  double ParseValueName(std::int32_t, const MString& text) const override
  {
    return MParameterMapping::IntegerParse(this->Info(), text);
  }

  bool IsInterpolated(std::int32_t) const override { return this->Info().Has(MParameterInfo::kInterpolated); }

  void SetInterpolating(std::int32_t, bool on) override
  {
    MParameterInfo& info = this->Info();
    if (on)
    {
      info.integer.smoothed = info.integer.value.Load();
      info.flags.SetBits(MParameterInfo::kInterpolating);
    }
    else
      info.flags.ClearBits(MParameterInfo::kInterpolating);
  }

  double GetDefaultValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::IntegerToNormalised(info, info.integer.defaultValue);
  }
};
