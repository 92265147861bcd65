#pragma once
// ParameterBoolT<Base>: a boolean descriptor as a one-slot automation adapter (type 4).
//
// x >= 0.5 is on; the normalised value is 1 or 0; texts "On" and "Off"; typed text is read as a
// number ("1" and "0" parse) or as one of the two display names. The default value answered is 0.5.

#include "core/parameters/MParameterMapping.h"

#include <cmath>

template <class Base>
class ParameterBoolT : public Base
{
public:
  std::int32_t GetType(std::int32_t) const override { return MParameterInfo::kBoolean; }

  void SetValue(std::int32_t, double value, bool silent) override
  {
    if (std::isnan(value))
      return;
    this->Info().boolean.value = value >= 0.5;
    this->NotifyChanged(silent);
  }

  double GetValue(std::int32_t) const override { return this->Info().boolean.value ? 1.0 : 0.0; }
  MString GetValueName(std::int32_t) const override
  {
    return MParameterMapping::BooleanText(this->Info().boolean.value);
  }
  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    return MParameterMapping::BooleanText(value >= 0.5);
  }
  double ParseValueName(std::int32_t, const MString& text) const override
  {
    return MParameterMapping::BooleanParse(text);
  }
};
