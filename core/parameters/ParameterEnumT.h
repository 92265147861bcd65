#pragma once
// ParameterEnumT<Base>: an enumeration descriptor as a one-slot automation adapter (type 3).
//
// Normalised x selects index round-half-up(n x - 0.5) clamped to 0 .. n - 1; the normalised
// value of index k is k / (n - 1). Texts are the value names (or the formatter's); parsing
// compares names ignoring case and accents, and an unknown name gives 0.

#include "core/parameters/MParameterMapping.h"

#include <cmath>

template <class Base>
class ParameterEnumT : public Base
{
public:
  std::int32_t GetType(std::int32_t) const override { return MParameterInfo::kEnumeration; }

  void SetValue(std::int32_t, double value, bool silent) override
  {
    if (std::isnan(value))
      return;
    MParameterInfo& info = this->Info();
    info.enumeration.value = MParameterMapping::EnumerationToIndex(info, value);
    this->NotifyChanged(silent);
  }

  double GetValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::EnumerationToNormalised(info, info.enumeration.value);
  }

  MString GetValueName(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::EnumerationText(info, info.enumeration.value);
  }

  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::EnumerationText(info, MParameterMapping::EnumerationToIndex(info, value));
  }

  double ParseValueName(std::int32_t, const MString& text) const override
  {
    return MParameterMapping::EnumerationParse(this->Info(), text);
  }

  double GetDefaultValue(std::int32_t) const override
  {
    const MParameterInfo& info = this->Info();
    return MParameterMapping::EnumerationToNormalised(info, info.enumeration.defaultIndex);
  }
};
