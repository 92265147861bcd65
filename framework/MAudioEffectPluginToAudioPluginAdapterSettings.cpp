// The adapter's part of the stored state and the host-state byte encoding.
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "framework/MSettingsText.h"

#include <algorithm>

namespace
{
void PutUnlessDefault(MXmlItem& item, const MString& name, std::int32_t value, std::int32_t omitted)
{
  if (value != omitted)
    item.SetAttribute(name, MString::FromInteger(value));
  else
    item.RemoveAttribute(name);
}

// An absent attribute, or one that holds no number, reads as its default.
std::int32_t GetOrDefault(const MXmlItem& item, const MString& name, std::int32_t omitted)
{
  std::int32_t value = omitted;
  if (item.HasAttribute(name) && MSettingsText::ReadInteger(item.GetAttribute(), value))
    return value;
  return omitted;
}
} // namespace

void MAudioEffectPluginToAudioPluginAdapter::Store(MStoreContext& context)
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::Store", [&] {
    const bool saving = context.IsSaving();
    MXmlItem& item = context.GetItem();

    // "Version": a state from a later version than this one reads as this one.
    if (saving)
      item.SetAttribute(MString("Version"), MString::FromInteger(m_version));
    else
    {
      const std::int32_t version = GetOrDefault(item, MString("Version"), kOldestVersion);
      m_version = version > 0 ? std::min(version, kCurrentVersion) : kOldestVersion;
    }

    std::int32_t mode = m_requestedChannelMode;
    if (saving)
      item.SetAttribute(MString("ChannelMode"), GetChannelModeName(mode));
    else if (item.HasAttribute(MString("ChannelMode")))
    {
      const MString name = item.GetAttribute();
      mode = 0;
      for (std::int32_t index = 0; index < kChannelModeCount; ++index)
        if (GetChannelModeName(index).EqualsName(name))
          mode = index;
    }

    if (mode == kSurroundMode)
    {
      if (saving)
      {
        MString flags;
        for (std::int32_t channel = 0; channel < kMaxSurroundChannels; ++channel)
          flags += m_surroundEnabled[channel].Load() ? u'1' : u'0';
        item.SetAttribute(MString("SurroundChannelsEnable"), flags);
      }
      else if (item.HasAttribute(MString("SurroundChannelsEnable")))
      {
        const MString flags = item.GetAttribute();
        const std::int32_t count = std::min(flags.Length(), kMaxSurroundChannels);
        for (std::int32_t channel = 0; channel < count; ++channel)
          m_surroundEnabled[channel] = flags.At(channel) != u'0';
      }
    }
    if (!saving)
    {
      if (item.HasAttribute(MString("EnableSurroundProcessing")))
        mode = GetOrDefault(item, MString("EnableSurroundProcessing"), 0) > 0 ? kSurroundMode : 0;
      if (mode == kSurroundMode && std::max(GetNumInputs(), GetNumOutputs()) <= 2)
        mode = 0;
      m_requestedChannelMode = ValidChannelMode(mode); // loaded, not changed by the plug-in itself
    }

    if (saving)
    {
      PutUnlessDefault(item, MString("ControllersEnabled"), m_controllersEnabled ? 1 : 0, 0);
      PutUnlessDefault(item, MString("NoteControllersEnabled"), m_noteControllersEnabled ? 1 : 0, 0);
      MXmlItem& preset = item.GetOrAddSubItem(MString("PreviousNextPresetController"));
      PutUnlessDefault(preset, MString("Enabled"), m_presetController.enabled.Load() ? 1 : 0, 0);
      PutUnlessDefault(preset, MString("Controller"), m_presetController.controller.Load(), 0);
      PutUnlessDefault(preset, MString("Channel"), m_presetController.channel.Load(), 0);
      PutUnlessDefault(item, MString("Bypass"), m_bypassed ? 1 : 0, 0);
      if (const MMIDIOutputQueue* midi = m_effect != nullptr ? m_effect->GetMIDIOutput() : nullptr)
        PutUnlessDefault(item, MString("SendDetectedNotes"), midi->IsEnabled() ? 1 : 0, 0);
      PutUnlessDefault(item, MString("MaxLFOBlockSize"), m_maxLFOBlockSize, kDefaultLFOBlockSize);
    }
    else
    {
      m_controllersEnabled = GetOrDefault(item, MString("ControllersEnabled"), 0) != 0;
      m_noteControllersEnabled = GetOrDefault(item, MString("NoteControllersEnabled"), 0) != 0;
      bool presetEnabled = false;
      std::int32_t presetControllerNumber = 0;
      std::int32_t presetChannel = 0;
      if (item.HasSubItem(MString("PreviousNextPresetController")))
      {
        const MXmlItem& sub = item.GetSubItem();
        presetEnabled = GetOrDefault(sub, MString("Enabled"), 0) != 0;
        // 128 to 131 are aftertouch, pitch-bend and the two note velocities.
        presetControllerNumber = std::clamp(GetOrDefault(sub, MString("Controller"), 0), 0, 131);
        presetChannel = std::clamp(GetOrDefault(sub, MString("Channel"), 0), 0, 16);
      }
      m_presetController.controller = presetControllerNumber;
      m_presetController.channel = presetChannel;
      m_presetController.enabled = presetEnabled;
      // Loading tells the host nothing: the host restored this state itself.
      m_bypassed = GetOrDefault(item, MString("Bypass"), 0) != 0;
      if (MMIDIOutputQueue* midi = m_effect != nullptr ? m_effect->GetMIDIOutput() : nullptr)
        midi->SetEnabled(GetOrDefault(item, MString("SendDetectedNotes"), 0) != 0);
      const std::int32_t block = GetOrDefault(item, MString("MaxLFOBlockSize"), kDefaultLFOBlockSize);
      m_maxLFOBlockSize = block > 0 ? block : kDefaultLFOBlockSize;
    }

    StoreSettings(context);
  });
}

void MAudioEffectPluginToAudioPluginAdapter::StoreSettings(MStoreContext& context)
{
  const bool saving = context.IsSaving();
  {
    LockAll locks(*this);
    if (m_effect != nullptr)
    {
      if (saving)
        m_effect->StoreSettings(context.GetItem());
      else
        m_effect->LoadSettings(context.GetItem());
    }
    StoreStandardSettings(context);
    if (!saving)
    {
      m_settingsChanged = true;
      InitProcessing();
    }
  }
  MAudioPlugin::Store(context);
  if (!saving)
    ActualiseAfterLoading();
}

void MAudioEffectPluginToAudioPluginAdapter::StoreStandardSettings(MStoreContext& context)
{
  StoreControllers(context);
  MXmlItem& item = context.GetItem();
  if (context.IsSaving())
    item.SetAttribute(MString("CurrentPresetIndex"), MString::FromInteger(m_currentPresetIndex));
  else if (item.HasAttribute(MString("CurrentPresetIndex")))
    m_currentPresetIndex =
        std::max(-1, GetOrDefault(item, MString("CurrentPresetIndex"), m_currentPresetIndex));
}

void MAudioEffectPluginToAudioPluginAdapter::StoreControllers(MStoreContext& context)
{
  if (context.IsSaving())
    MControllerSettings::Save(*this, m_controllers, m_noteControllers, context.GetItem());
  else
    MControllerSettings::Load(*this, context.GetItem(), m_controllers, m_noteControllers);
}

void MAudioEffectPluginToAudioPluginAdapter::ActualiseAfterLoading()
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::ActualiseAfterLoading", [&] {
    if (GetEditor() == nullptr)
      return;
    for (std::int32_t position = 0; position < GetNumAutomationAdapters(); ++position)
      NeedUpdateEditor(GetAutomationAdapter(position));
  });
}

std::shared_ptr<MMemoryStream::Buffer> MAudioEffectPluginToAudioPluginAdapter::SaveState()
{
  std::shared_ptr<MMemoryStream::Buffer> result;
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::SaveState", [&] {
    MXmlItem settings(MString("settings"));
    MStoreContext context(true, settings);
    Store(context);
    MMemoryStream stream;
    MXmlWriter::WriteCompressed(settings, stream);
    m_stateBuffer = stream.GetBuffer();
    result = m_stateBuffer;
  });
  return result;
}

bool MAudioEffectPluginToAudioPluginAdapter::LoadState(const void* bytes, std::size_t size)
{
  return MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::LoadState", false, [&] {
    if (bytes == nullptr || size == 0)
      return false;
    // The whole document is decoded before anything is applied: bytes that fail to decode leave
    // every part of the state as it was.
    MMemoryStream stream(bytes, size);
    MXmlItem settings;
    MXmlReader::ReadCompressed(stream, settings);
    MStoreContext context(false, settings);
    Store(context);
    return true;
  });
}
