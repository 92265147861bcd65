#include "framework/MQuorvelAudioEffectPlugin.h"

#include "base/MHostCallShield.h"
#include "base/MStorable.h"
#include "framework/MSettingsText.h"

MQuorvelAudioEffectPlugin::MQuorvelAudioEffectPlugin()
{
  for (MXmlItem& slot : m_presetSlots)
    slot.SetName(MString("settings"));
}

MQuorvelAudioEffectPlugin::~MQuorvelAudioEffectPlugin() = default;

void MQuorvelAudioEffectPlugin::Store(MStoreContext& context)
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::Store", [&] {
    MXmlItem& item = context.GetItem();
    if (context.IsSaving())
    {
      item.SetAttribute(MString("AGC"), MString::FromInteger(m_agc ? 1 : 0));
      item.SetAttribute(MString("PresetIndex"), MString::FromInteger(m_presetIndex));
    }
    else
    {
      std::int32_t value = 0;
      if (item.HasAttribute(MString("AGC")) && MSettingsText::ReadInteger(item.GetAttribute(), value))
        m_agc = value != 0;
      // The index selects a slot: anything outside 0..7 keeps the active slot.
      if (item.HasAttribute(MString("PresetIndex")) &&
          MSettingsText::ReadInteger(item.GetAttribute(), value) && value >= 0 && value < kPresetSlots)
        m_presetIndex = value;
      m_requestedPresetIndex = m_presetIndex;
    }
    for (std::int32_t slot = 0; slot < kPresetSlots; ++slot)
    {
      if (slot == m_presetIndex)
        continue;
      MString name("Preset");
      name += MString::FromInteger(slot);
      if (context.IsSaving())
      {
        MXmlItem& sub = item.GetOrAddSubItem(name);
        sub = m_presetSlots[static_cast<std::size_t>(slot)];
        sub.SetName(name);
      }
      else if (item.HasSubItem(name))
        m_presetSlots[static_cast<std::size_t>(slot)] = item.GetSubItem();
    }
  });
  MAudioEffectPluginToAudioPluginAdapter::Store(context);
}

const MXmlItem& MQuorvelAudioEffectPlugin::GetPresetSlot(std::int32_t index) const
{
  static const MXmlItem empty;
  return index >= 0 && index < kPresetSlots ? m_presetSlots[static_cast<std::size_t>(index)] : empty;
}

void MQuorvelAudioEffectPlugin::SetPresetSlot(std::int32_t index, const MXmlItem& settings)
{
  if (index >= 0 && index < kPresetSlots)
    m_presetSlots[static_cast<std::size_t>(index)] = settings;
}
