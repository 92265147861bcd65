#pragma once
// ParameterSpecialMainBase: the base of parameters that carry a whole shape object (envelopes,
// signal generators, ADSR shapes) instead of a number. It holds the special descriptor; the shape
// parameters built on it come with the modulation layer.

#include "core/parameters/MParameterInfo.h"
#include "core/plugin/MAudioPlugin.h"

class ParameterSpecialMainBase : public MAudioPlugin::AutomationAdapter
{
public:
  explicit ParameterSpecialMainBase(MParameterInfo* descriptor, std::int32_t count = 1)
      : AutomationAdapter(count), m_descriptor(descriptor)
  {}

  std::int32_t GetOrderKey() const override { return m_descriptor != nullptr ? m_descriptor->orderKey : 0; }
  MString GetName(std::int32_t) const override
  {
    return m_descriptor != nullptr ? m_descriptor->name : MString();
  }

  MParameterInfo* m_descriptor;
};
