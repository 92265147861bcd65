#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"

#include <cmath>

MAudioPlugin::AutomationAdapter::AutomationAdapter(std::int32_t count) : m_count(count > 0 ? count : 0) {}

MAudioPlugin::AutomationAdapter::~AutomationAdapter() = default;

std::int32_t MAudioPlugin::AutomationAdapter::GetOrderKey() const
{
  return 0;
}

void MAudioPlugin::AutomationAdapter::OnAdapterNotification() {}

void MAudioPlugin::AutomationAdapter::SetValue(std::int32_t, double, bool) {}

void MAudioPlugin::AutomationAdapter::SetValueIfChanged(std::int32_t slot, double value, bool silent)
{
  if (std::fabs(GetValue(slot) - value) >= 1e-50)
    SetValue(slot, value, silent);
}

double MAudioPlugin::AutomationAdapter::GetValue(std::int32_t) const
{
  return 0.0;
}

MString MAudioPlugin::AutomationAdapter::GetName(std::int32_t) const
{
  return MString();
}

MString MAudioPlugin::AutomationAdapter::GetShortName(std::int32_t slot) const
{
  return GetName(slot);
}

MString MAudioPlugin::AutomationAdapter::GetIdPart(std::int32_t) const
{
  return m_idPart;
}

MString MAudioPlugin::AutomationAdapter::GetValueName(std::int32_t) const
{
  return MString();
}

MString MAudioPlugin::AutomationAdapter::GetValueNameFrom01(std::int32_t, double) const
{
  return MString();
}

double MAudioPlugin::AutomationAdapter::ParseValueName(std::int32_t, const MString& text) const
{
  return text.ToDouble();
}

MString MAudioPlugin::AutomationAdapter::GetUnitsName(std::int32_t) const
{
  return MString();
}

bool MAudioPlugin::AutomationAdapter::IsInterpolated(std::int32_t) const
{
  return false;
}

void MAudioPlugin::AutomationAdapter::SetInterpolating(std::int32_t, bool) {}

std::int32_t MAudioPlugin::AutomationAdapter::GetType(std::int32_t) const
{
  return 1;
}

double MAudioPlugin::AutomationAdapter::GetDefaultValue(std::int32_t) const
{
  return 0.5;
}

void MAudioPlugin::AutomationAdapter::CreateEditorControls(MPluginParameters*) {}

void MAudioPlugin::AutomationAdapter::UpdateEditorControls() {}

bool MAudioPlugin::AutomationAdapter::CanRandomize() const
{
  return true;
}

void MAudioPlugin::AutomationAdapter::Randomize(double amount)
{
  MHostCallShield::Run("MAudioPlugin::AutomationAdapter::Randomize", [&] {
    if (!CanRandomize() || !std::isfinite(amount))
      return;
    for (std::int32_t slot = 0; slot < m_count; ++slot)
    {
      const double r = DrawRandom();
      const double value = amount < 1.0 ? ClampNormalised(GetValue(slot) + (r - 0.5) * 2.0 * amount) : r;
      SetValue(slot, value, true);
    }
  });
}

void MAudioPlugin::AutomationAdapter::SetInterpolatedValue(std::int32_t slot, double value)
{
  SetValue(slot, value, true);
}

void MAudioPlugin::AutomationAdapter::SendAutomation(std::int32_t slot)
{
  if (m_plugin == nullptr || slot < 0 || slot >= m_count)
    return;
  m_plugin->SendAutomationToHost(m_firstIndex + slot, GetValue(slot));
}

void MAudioPlugin::AutomationAdapter::SendAutomationValue(std::int32_t slot, double value)
{
  if (m_plugin == nullptr || slot < 0 || slot >= m_count)
    return;
  m_plugin->SendAutomationToHost(m_firstIndex + slot, value);
}

void MAudioPlugin::AutomationAdapter::SendAutomationValueWithChange(std::int32_t slot, double value)
{
  if (m_plugin == nullptr || slot < 0 || slot >= m_count)
    return;
  const double nudged = value <= 1e-10 ? value + 1e-10 : value - 1e-10;
  m_plugin->SendAutomationToHost(m_firstIndex + slot, nudged);
  m_plugin->SendAutomationToHost(m_firstIndex + slot, value);
}

void MAudioPlugin::AutomationAdapter::SendAllAutomation()
{
  for (std::int32_t slot = 0; slot < m_count; ++slot)
    SendAutomation(slot);
}
