#include "framework/MQuorvelAudioEffectPlugin.h"

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MMemoryStream.h"
#include "base/MStorable.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/parameters/MParameterMapping.h"
#include "core/parameters/ParameterBase.h"
#include "framework/MChannelModes.h"
#include "framework/MGeneralSettings.h"
#include "framework/MSettingsText.h"

#include <algorithm>
#include <cmath>

const MQuorvelAudioEffectPlugin::ProtectionLevel
    MQuorvelAudioEffectPlugin::kProtection[MQuorvelAudioEffectPlugin::kProtectionLevels] = {
        {"Minimal protection", "Minimal quality, minimal CPU hit.", 2048},
        {"Normal protection", "Normal quality, average CPU hit, usually good enough.", 256},
        {"High protection", "High quality, higher CPU hit.", 32},
        {"Very high protection", "Very high quality, very high CPU hit, artifacts very rare.", 8},
        {"Extreme protection",
         "Maximum quality, extreme CPU hit, artifacts caused only by digital audio limitations.", 1},
};

std::atomic<const MQuorvelAudioEffectPlugin::EditorPart*> MQuorvelAudioEffectPlugin::s_editorPart{nullptr};

MQuorvelAudioEffectPlugin::MQuorvelAudioEffectPlugin()
{
  for (MXmlItem& slot : m_presetSlots)
    slot.SetName(MString("settings"));
  SetBackgroundTick(&MQuorvelAudioEffectPlugin::BackgroundTick, this);
}

MQuorvelAudioEffectPlugin::~MQuorvelAudioEffectPlugin()
{
  // The update thread's tick reaches this object's presets.
  SetBackgroundTick(nullptr, nullptr);
  // The editor's sheets reach this object (the morph pad closes its gestures): they go while it
  // is whole, not in the base's destructor.
  DestroyEditor();
}

void MQuorvelAudioEffectPlugin::Store(MStoreContext& context)
{
  // The host saves and restores its project on its own thread: the slots and the current preset
  // change under the preset lock, the adapter's part included.
  const std::lock_guard presets(m_presetMutex);
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
      if (m_previousPresetIndex == m_presetIndex)
        m_previousPresetIndex = m_presetIndex == 0 ? 1 : 0;
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

// ---- slots ----------------------------------------------------------------------------------------

const MXmlItem& MQuorvelAudioEffectPlugin::GetPresetSlot(std::int32_t index) const
{
  static const MXmlItem empty;
  return index >= 0 && index < kPresetSlots ? m_presetSlots[static_cast<std::size_t>(index)] : empty;
}

void MQuorvelAudioEffectPlugin::SetPresetSlot(std::int32_t index, const MXmlItem& settings)
{
  const std::lock_guard presets(m_presetMutex);
  if (index >= 0 && index < kPresetSlots)
    m_presetSlots[static_cast<std::size_t>(index)] = settings;
}

bool MQuorvelAudioEffectPlugin::IsEmptySlot(const MXmlItem& slot)
{
  return slot.GetAttributeCount() == 0 && slot.GetSubItemCount() == 0;
}

bool MQuorvelAudioEffectPlugin::LoadDefaultSettings()
{
  // Store takes the preset lock, and a preset load holds it while it takes the processing locks:
  // taking it only inside the base's processing locks would be the opposite order.
  const std::lock_guard presets(m_presetMutex);
  return MAudioEffectPluginToAudioPluginAdapter::LoadDefaultSettings();
}

bool MQuorvelAudioEffectPlugin::SelectSlot(std::int32_t index)
{
  return MHostCallShield::Run("MQuorvelAudioEffectPlugin::SelectSlot", false, [&] {
    if (index < 0 || index >= kPresetSlots)
      return false;
    // The host's program call, the GUI and the update thread's preset loads take turns.
    const std::lock_guard presets(m_presetMutex);
    if (index == m_presetIndex)
      return true;
    MXmlItem live(MString("settings"));
    SavePresetSettings(live);
    MXmlItem next = m_presetSlots[static_cast<std::size_t>(index)];
    m_presetSlots[static_cast<std::size_t>(m_presetIndex.Load())] = std::move(live);
    m_previousPresetIndex = m_presetIndex;
    m_presetIndex = index;
    m_requestedPresetIndex = index;
    if (!IsEmptySlot(next))
      LoadPresetSettings(next);
    m_presetSlots[static_cast<std::size_t>(index)] = MXmlItem(MString("settings"));
    // The slots are the host's programs.
    if (MAudioPluginAdapter* host = GetHostAdapter())
      host->ReportProgramChanged();
    return true;
  });
}

MString MQuorvelAudioEffectPlugin::SlotName(std::int32_t index)
{
  if (index < 0 || index >= kPresetSlots)
    return MString();
  MString name;
  name += static_cast<char16_t>(u'A' + index);
  return name;
}

MString MQuorvelAudioEffectPlugin::GetProgramName(std::int32_t index) const
{
  if (index < 0 || index >= kPresetSlots)
    return MString();
  return MString("Slot ") + SlotName(index);
}

bool MQuorvelAudioEffectPlugin::OffersSurround() const
{
  return MGeneralSettings::SurroundActivated();
}

double MQuorvelAudioEffectPlugin::ChooseEditorScale() const
{
  const std::int32_t percent = MGeneralSettings::Current().zoomPercent;
  if (percent == MGeneralSettings::kZoomAutomatic)
    return MAudioEffectPluginToAudioPluginAdapter::ChooseEditorScale();
  return QuantiseEditorScale(percent / 100.0);
}

std::int32_t MQuorvelAudioEffectPlugin::OfferedChannelModeCount(bool surround)
{
  static_assert(MChannelModes::kSurround == MChannelModes::kModeCount - 1, "Surround is the last mode");
  return surround ? MChannelModes::kModeCount : MChannelModes::kSurround;
}

// ---- morphing -----------------------------------------------------------------------------------------

void MQuorvelAudioEffectPlugin::PrepareMorph()
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::PrepareMorph", [&] {
    const std::lock_guard presets(m_presetMutex);
    const std::int32_t count = std::max(GetNumParameters(), 0);
    // The stored slots are read, never loaded: loading would set the running effect up afresh
    // (its corrector restarts) once per slot while the audio plays on.
    std::vector<std::array<double, 4>> values(static_cast<std::size_t>(count));
    for (std::int32_t index = 0; index < count; ++index)
      values[static_cast<std::size_t>(index)].fill(GetParameter(index));
    for (std::int32_t slot = 0; slot < 4; ++slot)
    {
      const MXmlItem& stored = m_presetSlots[static_cast<std::size_t>(slot)];
      if (slot == m_presetIndex || IsEmptySlot(stored))
        continue;
      for (std::int32_t index = 0; index < count; ++index)
      {
        std::int32_t local = 0;
        const AutomationAdapter* adapter = FindAutomationAdapter(index, local);
        const auto* parameter = dynamic_cast<const ParameterBase*>(adapter);
        double& value = values[static_cast<std::size_t>(index)][static_cast<std::size_t>(slot)];
        if (parameter == nullptr || parameter->m_descriptor == nullptr)
        {
          // Adapters of the effect's own (the scale notes) keep their values in its own keys.
          double normalised = 0.0;
          if (adapter != nullptr && GetEffect() != nullptr &&
              GetEffect()->ReadStoredAdapterValue(*adapter, local, stored, normalised))
            value = normalised;
          continue;
        }
        double plain = 0.0;
        if (!MAudioEffectPlugin::ReadStoredValue(*parameter->m_descriptor, stored, plain))
          continue;
        const MParameterInfo& info = *parameter->m_descriptor;
        switch (info.type)
        {
        case MParameterInfo::kFloat:
          value = MParameterMapping::FloatToNormalised(info, plain);
          break;
        case MParameterInfo::kInteger:
          value = MParameterMapping::IntegerToNormalised(info, plain);
          break;
        case MParameterInfo::kEnumeration:
          value = MParameterMapping::EnumerationToNormalised(info, static_cast<std::int32_t>(plain));
          break;
        default:
          value = plain;
          break;
        }
      }
    }
    m_morphValues = std::move(values);
  });
}

bool MQuorvelAudioEffectPlugin::Morph(double u, double v)
{
  return MHostCallShield::Run("MQuorvelAudioEffectPlugin::Morph", false, [&] {
    const std::int32_t count = GetNumParameters();
    if (m_morphValues.empty() || static_cast<std::int32_t>(m_morphValues.size()) != count ||
        !std::isfinite(u) || !std::isfinite(v))
      return false;
    u = std::clamp(u, 0.0, 1.0);
    v = std::clamp(v, 0.0, 1.0);
    // The parameters change together under the lock; the host hears of them after it is released,
    // so that processing (which only tries the lock) never waits for the host's answers.
    std::vector<std::int32_t> changed;
    {
      MLockGuard guard(m_processingLock, 5000);
      for (std::int32_t index = 0; index < count; ++index)
      {
        const std::array<double, 4>& corner = m_morphValues[static_cast<std::size_t>(index)];
        const double left = (1.0 - v) * corner[0] + v * corner[2];
        const double right = (1.0 - v) * corner[1] + v * corner[3];
        const double value = (1.0 - u) * left + u * right;
        if (std::fabs(value - GetParameter(index)) > 1e-05)
        {
          SetParameter(index, value, false);
          changed.push_back(index);
        }
      }
    }
    for (const std::int32_t index : changed)
      SendAutomationToHost(index, GetParameter(index));
    ActualiseAfterLoading();
    return true;
  });
}

MString MQuorvelAudioEffectPlugin::MorphWarningText() const
{
  MString text("Preset ");
  text += SlotName(m_presetIndex);
  text +=
      MString(" is currently selected, which means that the changes you have made using ABCD morphing will "
              "replace it. ABCD morphing uses presets A,B,C and D, so next time you use it you would be "
              "morphing different presets, because you are going to change one of them.<p><p><b>Would you "
              "like to select preset E, so that the ABCD settings will be preseved?");
  return text;
}

// ---- protection ---------------------------------------------------------------------------------------

std::int32_t MQuorvelAudioEffectPlugin::GetProtectionLevel() const noexcept
{
  for (std::int32_t level = 0; level < kProtectionLevels; ++level)
    if (kProtection[level].blockSize == GetMaxLFOBlockSize())
      return level;
  return -1;
}

void MQuorvelAudioEffectPlugin::SetProtectionLevel(std::int32_t level) noexcept
{
  if (level >= 0 && level < kProtectionLevels)
    SetMaxLFOBlockSize(kProtection[level].blockSize);
}

// ---- the common editor (its windows are the editor library's) ---------------------------------------

void MQuorvelAudioEffectPlugin::CreateEditorContents(MContainer& contents)
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->CreateEditorContents(*this, contents);
  else
    MAudioEffectPluginToAudioPluginAdapter::CreateEditorContents(contents);
}

MAudioPlugin::MEditor* MQuorvelAudioEffectPlugin::CreateEditorControl(MWindowSystemCommon& system,
                                                                      MNativeHandle parent)
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    return part->CreateEditorControl(*this, system, parent);
  return MAudioEffectPluginToAudioPluginAdapter::CreateEditorControl(system, parent);
}

// ---- panic ------------------------------------------------------------------------------------------

bool MQuorvelAudioEffectPlugin::Panic()
{
  return MHostCallShield::Run("MQuorvelAudioEffectPlugin::Panic", false, [&] {
    m_panicPending.store(true, std::memory_order_release);
    // A computation in progress would measure the restarted effect: it ends, the switch stays.
    if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
      part->EndOptimalGainDialog(*this);
    if (m_optimalGainTicket != 0)
      m_gainCompensation.CancelComputation(m_optimalGainTicket);
    m_optimalGainTicket = 0;
    {
      // The same locks as every set-up from the host thread: no block runs meanwhile.
      MLockGuard processing(m_processingLock);
      MLockGuard init(m_initLock);
      MLockGuard buffers(m_bufferLock);
      m_gainCompensation.Reset();
    }
    InitProcessing();
    return !IsSetUpRefused();
  });
}

void MQuorvelAudioEffectPlugin::TakePanicRequest()
{
  if (m_panicPending.exchange(false, std::memory_order_acq_rel))
    MHostCallShield::Run("MQuorvelAudioEffectPlugin::ReleaseAllNotes", [&] { ReleaseAllNotes(); });
}

void MQuorvelAudioEffectPlugin::StartOfBlock(float** inputs, float** outputs, std::int32_t samples)
{
  TakePanicRequest();
  MAudioEffectPluginToAudioPluginAdapter::StartOfBlock(inputs, outputs, samples);
}

bool MQuorvelAudioEffectPlugin::ProcessMIDIEvent(std::int32_t delta, const std::uint8_t bytes[3])
{
  // MIDI keeps coming while the plug-in is bypassed (and no block starts): the notes held before
  // the Panic end before this event counts.
  TakePanicRequest();
  return MAudioEffectPluginToAudioPluginAdapter::ProcessMIDIEvent(delta, bytes);
}

void MQuorvelAudioEffectPlugin::ReleaseAllNotes()
{
  const double time = MusicalTime(0);
  for (std::int32_t channel = 0; channel < kChannels; ++channel)
  {
    for (std::int32_t note = 0; note < kNotes; ++note)
    {
      const bool sounding = held[channel][note] > 0;
      heldOnChannel[channel] = std::max(0, heldOnChannel[channel] - held[channel][note]);
      held[channel][note] = 0;
      sustained[channel][note] = 0;
      noteVelocity[channel][note] = 0;
      if (!sounding)
        continue;
      MMIDINote record;
      record.time = time;
      record.channel = static_cast<std::uint8_t>(channel);
      record.note = static_cast<std::uint8_t>(note);
      record.heldOnChannel = heldOnChannel[channel];
      // Straight to the listeners: the adapter's mapping would turn a note-off into parameter
      // changes.
      MMIDIProcessorBase::ProcessNote(record);
    }
    heldOnChannel[channel] = 0;
    ForEachListener(channel, [&](MMIDIListener& listener) {
      listener.ProcessMIDIController(0, time, channel, 64, 0.0);
      listener.ProcessMIDIController(0, time, channel, 123, 0.0);
    });
  }
  sustain = false;
  ProcessAllNotesOff(0, time);
  m_heldNotes = 0;
  m_heldKeys = {};
}

// ---- copy and paste -----------------------------------------------------------------------------------

MString MQuorvelAudioEffectPlugin::CopySettingsText()
{
  return MHostCallShield::Run("MQuorvelAudioEffectPlugin::CopySettingsText", MString(), [&] {
    MXmlItem settings(MString("settings"));
    MStoreContext context(true, settings);
    Store(context);
    MMemoryStream stream;
    MXmlWriter::Write(settings, stream, true, "utf-8");
    const auto& buffer = stream.GetBuffer();
    return MString::FromUTF8(
        std::string_view(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize()));
  });
}

bool MQuorvelAudioEffectPlugin::PasteSettingsText(const MString& text, MString& error)
{
  error = MString();
  try
  {
    // Pasted text is as untrusted as a host's state: the same 16 MiB cap.
    const std::string bytes = text.ToUTF8();
    if (bytes.size() > (16u << 20))
      throw MException(MString("The pasted text is larger than 16 MiB."));
    MMemoryStream stream(bytes.data(), bytes.size());
    MXmlItem settings;
    MXmlReader::Read(stream, settings);
    if (!settings.GetName().EqualsName(MString("settings")))
      throw MException(MString("The pasted text holds no plug-in settings."));
    MStoreContext context(false, settings);
    Store(context);
    ReportStateChangedToHost();
    return true;
  }
  catch (const MException& exception)
  {
    error = exception.Message();
  }
  catch (...)
  {
    error = MString("The pasted text could not be read.");
  }
  return false;
}
