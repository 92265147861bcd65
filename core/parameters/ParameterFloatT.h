#pragma once
// ParameterFloatT<Base>: a float descriptor as a one-slot automation adapter (type 1).
//
// Normalised x maps to plain (max - min) * curve(x) + min with curve x, x^2 or x^4. SetValue
// writes the value; the in-block ramp writes the smoothed value, which the effect reads while
// the descriptor's kInterpolating flag is set. (Keeping the two apart means a host change that
// arrives during a ramp is kept, not overwritten when the ramp ends.) Host values outside 0..1 are clamped
// and non-numbers ignored. Base is ParameterBase or ParameterBaseCustom; it supplies Info() and
// NotifyChanged(silent).

#include "core/parameters/MParameterMapping.h"

#include <algorithm>
#include <cmath>

template <class Base>
class ParameterFloatT : public Base
{
public:
  std::int32_t GetType(std::int32_t) const override { return MParameterInfo::kFloat; }

  void SetValue(std::int32_t, double value, bool silent) override
  {
    if (std::isnan(value))
      return;
    MParameterInfo& info = this->Info();
    const double plain = MParameterMapping::FloatToPlain(info, std::clamp(value, 0.0, 1.0));
    info.floating.value = plain;
    this->NotifyChanged(silent);
  }

  void SetInterpolatedValue(std::int32_t, double value) override
  {
    if (std::isnan(value))
      return;
    MParameterInfo& info = this->Info();
    info.floating.smoothed = MParameterMapping::FloatToPlain(info, std::clamp(value, 0.0, 1.0));
  }

  double GetValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::FloatToNormalised(info, info.floating.value);
  }

  MString GetValueName(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::FloatText(info, info.floating.value);
  }

  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::FloatText(info, MParameterMapping::FloatToPlain(info, value));
  }

  double ParseValueName(std::int32_t, const MString& text) const override
  {
    return MParameterMapping::FloatParse(this->Info(), text);
  }

  bool IsInterpolated(std::int32_t) const override { return this->Info().Has(MParameterInfo::kInterpolated); }

  void SetInterpolating(std::int32_t, bool on) override
  {
    MParameterInfo& info = this->Info();
    if (on)
    {
      info.floating.smoothed = info.floating.value.Load();
      info.flags.SetBits(MParameterInfo::kInterpolating);
    }
    else
      info.flags.ClearBits(MParameterInfo::kInterpolating);
  }

  /// Linear in the plain range, whatever the curve.
  double GetDefaultValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    const double range = info.floating.maximum - info.floating.minimum;
    return range != 0.0 ? (info.floating.defaultValue - info.floating.minimum) / range : 0.0;
  }
};
