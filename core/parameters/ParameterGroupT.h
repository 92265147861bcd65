#pragma once
// ParameterGroupT<Base>: the switch of a group heading as a boolean slot (type 4).
//
// Made only for headings whose descriptor has a switch (group.enabled not null); it behaves as
// ParameterBoolT on that switch.

#include "core/parameters/MParameterMapping.h"

#include <cmath>

template <class Base>
class ParameterGroupT : public Base
{
public:
  std::int32_t GetType(std::int32_t) const override { return MParameterInfo::kBoolean; }

  void SetValue(std::int32_t, double value, bool silent) override
  {
    MRelaxed<bool>* enabled = this->Info().group.enabled;
    if (enabled == nullptr || std::isnan(value))
      return;
    *enabled = value >= 0.5;
    this->NotifyChanged(silent);
  }

  double GetValue(std::int32_t) const override { return IsOn() ? 1.0 : 0.0; }
  MString GetValueName(std::int32_t) const override { return MParameterMapping::BooleanText(IsOn()); }
  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    return MParameterMapping::BooleanText(value >= 0.5);
  }
  double ParseValueName(std::int32_t, const MString& text) const override
  {
    return MParameterMapping::BooleanParse(text);
  }

private:
  bool IsOn() const
  {
    const MRelaxed<bool>* enabled = this->Info().group.enabled;
    return enabled != nullptr && enabled->Load();
  }
};
