// In-block interpolation: a host change of an interpolated slot is spread linearly over the
// block's chunks instead of jumping at the block start. All of it runs on the audio thread
// inside Process (under the processing and buffer locks) and writes the slots silently.

#include "core/plugin/MAudioPlugin.h"

#include <cmath>

bool MAudioPlugin::InterpolationPrepare(std::int32_t samples)
{
  if (m_interpolatedIndices.empty())
    return false;
  if (m_interpolationReset)
  {
    m_interpolationReset = false;
    for (std::int32_t index : m_interpolatedIndices)
    {
      InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
      record.previous = m_adapters[static_cast<std::size_t>(record.adapter)]->GetValue(record.slot);
    }
    return false;
  }

  bool anyActive = false;
  for (std::int32_t index : m_interpolatedIndices)
  {
    InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
    record.target = m_adapters[static_cast<std::size_t>(record.adapter)]->GetValue(record.slot);
    record.step = record.target - record.previous;
    record.active = std::fabs(record.step) > 1e-5;
    anyActive = anyActive || record.active;
  }
  if (!anyActive || samples < 2)
    return false;

  for (std::int32_t index : m_interpolatedIndices)
  {
    InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
    if (!record.active)
    {
      record.previous = record.target;
      continue;
    }
    AutomationAdapter* adapter = m_adapters[static_cast<std::size_t>(record.adapter)];
    record.step /= samples;
    record.current = record.previous;
    adapter->SetInterpolating(record.slot, true);
    adapter->SetInterpolatedValue(record.slot, record.current);
  }
  OnParametersChanged();
  return true;
}

void MAudioPlugin::InterpolationProcess(std::int32_t samples)
{
  for (std::int32_t index : m_interpolatedIndices)
  {
    InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
    if (!record.active)
      continue;
    record.current += samples * record.step;
    m_adapters[static_cast<std::size_t>(record.adapter)]->SetInterpolatedValue(record.slot, record.current);
  }
  OnParametersChanged();
}

void MAudioPlugin::InterpolationFinish()
{
  for (std::int32_t index : m_interpolatedIndices)
  {
    InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
    record.previous = record.target;
    if (!record.active)
      continue;
    record.active = false;
    AutomationAdapter* adapter = m_adapters[static_cast<std::size_t>(record.adapter)];
    // The ramp ends on the target; a typed parameter's value already holds it, or a newer host
    // value, which must survive the end of the block.
    adapter->SetInterpolatedValue(record.slot, record.target);
    adapter->SetInterpolating(record.slot, false);
  }
  OnParametersChanged();
}
