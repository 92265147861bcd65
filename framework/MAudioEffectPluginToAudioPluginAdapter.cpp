#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "framework/MAudioEffectPluginHost.h"
#include "framework/MMIDILearnMenu.h"
#include "framework/MSettingsText.h"

#include <algorithm>
#include <limits>

namespace
{
const char* const kChannelModeNames[] = {
    "Left + Right", "Left", "Right", "Mono", "Stereo", "Mono + Stereo", "Left + Right (neg)", "Surround",
};
} // namespace

MAudioEffectPluginToAudioPluginAdapter::MAudioEffectPluginToAudioPluginAdapter()
{
  // Every effect takes MIDI (controller assignments, note controllers, program change, learn);
  // it keeps its audio input, so no host takes it for an instrument.
  m_receivesMIDI = true;
  for (MParameterInfo* trigger : {&m_previousPresetTrigger, &m_nextPresetTrigger})
  {
    trigger->type = MParameterInfo::kFloat;
    trigger->floating.minimum = 0.0;
    trigger->floating.maximum = 1.0;
  }
  m_previousPresetTrigger.name = MString("Preset trigger - previous");
  m_nextPresetTrigger.name = MString("Preset trigger - next");
}

MAudioEffectPluginToAudioPluginAdapter::~MAudioEffectPluginToAudioPluginAdapter()
{
  // The typed parameters point into the effect's descriptors: they go first, then the effect
  // (command 1 through the host object).
  ClearAutomationAdapters();
  m_effect = nullptr;
  m_effectHost.reset();
}

void MAudioEffectPluginToAudioPluginAdapter::Initialize(const MString& name, const MString& vendor,
                                                        MPluginCommandFunction function)
{
  m_pluginSystem.Register(name, function);
  std::unique_ptr<MAudioEffectPluginHost> host;
  if (m_pluginSystem.CreateAudioEffectPlugin(name, host) != MPluginSystem::kCreated)
    throw MException(MString("Error creating plugin."));
  MAudioEffectPlugin* effect = host->FetchEffect();
  if (effect == nullptr)
    throw MException(MString("Error creating plugin."));
  m_effectHost = std::move(host);
  m_effect = effect;
  m_pluginName = name;
  m_vendorName = vendor;

  const MParameterTable& table = *m_effectHost->GetParameterTable();
  m_transportValid = (table.flags & MParameterTable::kWantsTimeInfo) != 0;
  m_wantsTimeInfo = m_transportValid;
  MParameterBuilder::Build(*this, effect, table, m_parameterMap, GetParameterPanelLink());
  effect->AddAutomationAdapters(*this);
  // An effect with a MIDI queue gets the event output (VST 3 bus, VST 2.4 send capabilities)
  // whether or not the user lets it send: buses cannot come and go with a setting.
  m_sendsMIDI = effect->GetMIDIOutput() != nullptr;
  MParameterBuilder::Build(*this, effect, table, m_parameterMap, GetParameterPanelLink(), MString(),
                           MParameterBuilder::BuildPass::kAppendedSlots);
  AssignAutomationIndices();
  UpdateMaxBufferSize();
  // A mirror's values are the instance's, as the host hands them over.
  if (!IsMirror())
    LoadDefaultSettings();
}

// ---- initialisation ---------------------------------------------------------------------------

void MAudioEffectPluginToAudioPluginAdapter::InitProcessing()
{
  // The effect of a mirror never processes: it keeps no correctors, buffers or delays.
  if (IsMirror())
    return;
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::InitProcessing", [&] {
    {
      LockAll locks(*this);
      InitProcessing_LockedPart();
    }
    InitProcessing_UnLockedPart();
    ReportLatency();
  });
}

void MAudioEffectPluginToAudioPluginAdapter::InitProcessing_LockedPart()
{
  InitChannelMode();
  m_heldNotes = 0;
  m_heldKeys = {};
  const std::int32_t mode = m_activeChannelMode;
  m_midSideActive = static_cast<std::uint8_t>(mode >= 3 && mode <= 5 ? 1 : 0);
  if (m_effect != nullptr)
  {
    // The effect is prepared before the core sizes its bypass delay, so that the delay uses the
    // latency of the effect at the new rate, not the old one.
    double rate = std::max<std::int32_t>(m_oversampling, 1) * GetSampleRate();
    const std::int64_t answer = m_effectHost->SendCommand(
        MPluginCommand::kInitProcessing, GetProcessedChannelCount(), MPluginCommandBlock::FromPointer(&rate));
    // The restarted effect knows nothing of the notes it sent: they end now, and reach the
    // host at the start of the next block.
    if (MMIDIOutputQueue* midi = m_effect->GetMIDIOutput())
      midi->EndNotes(0);
    if (answer < 0)
    {
      // The effect kept its previous set-up; the delays and buffers sized for it stay as well.
      RefuseSetUp();
      return;
    }
  }
  // The pass-through delays match the effect's latency at the new rate (the channel-mode
  // routing runs at the effect's rate, inside any oversampling).
  bool enabled[kMaxSurroundChannels];
  for (std::int32_t channel = 0; channel < kMaxSurroundChannels; ++channel)
    enabled[channel] = m_surroundEnabled[channel].Load();
  m_channelModes.Configure(mode, enabled, GetEffectLatency());
  MAudioPlugin::InitProcessing();
  UpdateMaxBufferSize();
}

void MAudioEffectPluginToAudioPluginAdapter::InitProcessing_UnLockedPart() {}

void MAudioEffectPluginToAudioPluginAdapter::InitProcessingGUI()
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::InitProcessingGUI", [&] {
    if (m_effect != nullptr)
      m_effect->InitProcessingGUI();
  });
}

void MAudioEffectPluginToAudioPluginAdapter::UpdateMaxBufferSize()
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::UpdateMaxBufferSize", [&] {
    const std::int32_t declared = m_effect != nullptr ? m_effect->GetMaxBufferSize() : 0;
    m_maxBufferSize = std::max(1, declared);
    // An effect that declares no maximum takes blocks of any length; a limit of one sample
    // would cost a call per sample.
    SetBlockLimit(declared > 0 ? declared : kUnlimited);
    SetModulationLimit(m_maxLFOBlockSize);
  });
}

void MAudioEffectPluginToAudioPluginAdapter::InitChannelMode()
{
  std::int32_t mode = m_requestedChannelMode.Load();
  // Surround needs more than two channels; a stereo instance runs it as "Left + Right".
  if (mode == kSurroundMode && std::max(GetNumProcessInputChannels(), GetNumProcessOutputChannels()) <= 2)
    mode = 0;
  m_activeChannelMode = mode;
  bool enabled[kMaxSurroundChannels];
  for (std::int32_t channel = 0; channel < kMaxSurroundChannels; ++channel)
    enabled[channel] = m_surroundEnabled[channel].Load();
  m_channelModes.Configure(mode, enabled, GetEffectLatency());
}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::GetProcessedChannelCount() const
{
  std::int32_t channels = GetNumProcessInputChannels();
  if (channels <= 0)
    channels = GetNumProcessOutputChannels();
  return std::clamp(std::min(channels, m_channelModes.GetProcessedChannels()), 1, kMaxSurroundChannels);
}

bool MAudioEffectPluginToAudioPluginAdapter::IsChannelModeActive() const
{
  return m_channelModes.IsActive(GetNumProcessInputChannels());
}

void MAudioEffectPluginToAudioPluginAdapter::ChannelModeEncode(float** inputs, float** outputs,
                                                               std::int32_t samples)
{
  m_channelModes.Encode(inputs, outputs, GetNumProcessInputChannels(), GetNumProcessOutputChannels(),
                        samples);
}

void MAudioEffectPluginToAudioPluginAdapter::ChannelModeDecode(float** inputs, float** outputs,
                                                               std::int32_t samples)
{
  m_channelModes.Decode(inputs, outputs, samples);
}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::GetEffectLatency() const
{
  return m_effect != nullptr ? m_effect->GetLatency() : 0;
}

bool MAudioEffectPluginToAudioPluginAdapter::ReadDisplay(DisplaySnapshot& snapshot) const noexcept
{
  return m_effect != nullptr && m_effect->ReadDisplay(snapshot);
}

void MAudioEffectPluginToAudioPluginAdapter::ShowDisplay(const DisplaySnapshot& snapshot)
{
  if (m_effect != nullptr)
    m_effect->ShowDisplay(snapshot);
}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::GetTailSize() const
{
  return MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::GetTailSize", 0,
                              [&] { return m_effect != nullptr ? m_effect->GetTailSize() : 0; });
}

// ---- processing (audio thread) -------------------------------------------------------------------

void MAudioEffectPluginToAudioPluginAdapter::StartOfBlock(float**, float**, std::int32_t)
{
  // A host block longer than prepared comes in pieces: MIDI offsets count from the host block's
  // start (at the effect's rate), and the once-per-host-call work belongs to its first piece.
  m_blockPosition = GetPieceOffset() * std::clamp<std::int32_t>(m_oversampling, 1, 16);
  if (GetPieceOffset() != 0)
    return;
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::PrepareForProcessingOnce",
                       [&] { PrepareForProcessingOnce(); });
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessChunk(float** inputs, float** outputs,
                                                          std::int32_t samples)
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::Process", [&] {
    const std::int32_t start = m_blockPosition;
    m_blockPosition = start + samples;
    if (m_pendingChangeCount == 0)
    {
      m_chunkStart = start;
      Process(inputs, outputs, samples);
      return;
    }
    // MIDI changes land at their offset: the chunk is split there. The effect only sees the
    // first bus, so only its pointers move.
    float* in[kPointersPerBus] = {};
    float* out[kPointersPerBus] = {};
    std::int32_t done = 0;
    while (done < samples)
    {
      const std::int32_t next = ApplyPendingChanges(start + done);
      const std::int32_t length = next - start < samples ? next - start - done : samples - done;
      for (std::int32_t c = 0; c < kPointersPerBus; ++c)
      {
        in[c] = inputs != nullptr && inputs[c] != nullptr ? inputs[c] + done : nullptr;
        out[c] = outputs[c] != nullptr ? outputs[c] + done : nullptr;
      }
      m_chunkStart = start + done;
      Process(inputs != nullptr ? in : nullptr, out, length);
      done += length;
    }
  });
}

void MAudioEffectPluginToAudioPluginAdapter::PrepareForProcessing()
{
  if (!m_transportValid)
    return;
  const Transport& host = GetTransport();
  m_effectTransport.tempo = host.tempo;
  if (host.updated)
  {
    m_effectTransport.songPosition = host.songPosition;
    m_effectTransport.barPosition = host.barPosition;
    m_effectTransport.numerator = host.numerator;
    m_effectTransport.denominator = host.denominator;
  }
  else
  {
    m_effectTransport.songPosition = -1.0;
    m_effectTransport.barPosition = -1.0;
    m_effectTransport.numerator = -1;
    m_effectTransport.denominator = -1;
  }
}

void MAudioEffectPluginToAudioPluginAdapter::PrepareForProcessingOnce()
{
  const auto evaluate = [this](MParameterInfo& trigger, std::int32_t step) {
    const double current = trigger.floating.value;
    if (trigger.floating.previous < kTriggerLevel && !(current < kTriggerLevel))
      RequestPresetStep(step);
    trigger.floating.previous = current;
  };
  evaluate(m_previousPresetTrigger, -1);
  evaluate(m_nextPresetTrigger, 1);
  const std::int32_t step = m_pendingPresetStep;
  if (step != 0)
  {
    m_pendingPresetStep = 0;
    ApplyPresetStep(step);
  }
}

void MAudioEffectPluginToAudioPluginAdapter::Process(float** inputs, float** outputs, std::int32_t samples)
{
  if (m_effect == nullptr || outputs == nullptr)
    return;
  PrepareForProcessing();
  if (m_effect->TakeParametersChanged())
    m_effect->OnParametersChanged();
  // A plug-in without inputs lets the effect work in place on its (cleared) outputs.
  m_effect->Process(m_effectTransport, inputs != nullptr ? inputs : outputs, outputs, samples);
  DeliverEffectMIDIOutput();
  ProcessFinished(outputs, samples);
}

void MAudioEffectPluginToAudioPluginAdapter::DeliverEffectMIDIOutput() noexcept
{
  MMIDIOutputQueue* midi = m_effect != nullptr ? m_effect->GetMIDIOutput() : nullptr;
  if (midi == nullptr || midi->Count() == 0)
    return;
  // The effect counts in its own samples from its chunk's start; the host in its own from the
  // block's (GenerateMIDIEvent adds the piece's offset back).
  const std::int32_t factor = std::clamp<std::int32_t>(m_oversampling, 1, 16);
  for (std::int32_t i = 0; i < midi->Count(); ++i)
  {
    const MMIDIOutputQueue::Event& event = midi->At(i);
    const std::int32_t offset = (m_chunkStart + event.sampleOffset) / factor - GetPieceOffset();
    GenerateMIDIEvent(std::max(0, offset), event.bytes);
  }
  midi->Clear();
}

void MAudioEffectPluginToAudioPluginAdapter::BypassedPiece(std::int32_t)
{
  MMIDIOutputQueue* midi = m_effect != nullptr ? m_effect->GetMIDIOutput() : nullptr;
  if (midi == nullptr || (!midi->AnySounding() && midi->Count() == 0))
    return;
  midi->EndNotes(0);
  m_chunkStart = GetPieceOffset() * std::clamp<std::int32_t>(m_oversampling, 1, 16);
  DeliverEffectMIDIOutput();
}

void MAudioEffectPluginToAudioPluginAdapter::ProcessFinished(float**, std::int32_t) {}

void MAudioEffectPluginToAudioPluginAdapter::ApplyPresetStep(std::int32_t) {}

void MAudioEffectPluginToAudioPluginAdapter::ProcessUpdate()
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::ProcessUpdate", [&] {
    if (m_effect != nullptr && GetEditor() != nullptr)
      m_effect->ProcessUpdate();
  });
}

void MAudioEffectPluginToAudioPluginAdapter::OnEditorIdle()
{
  AttachLearnMenu();
  ProcessUpdate();
}

void MAudioEffectPluginToAudioPluginAdapter::CreateUserControls(MContainer& container)
{
  // Before the first idle tick: a right click may come first.
  AttachLearnMenu();
  if (m_effectHost != nullptr)
    m_effectHost->SendCommand(MPluginCommand::kCreateEditorContents,
                              MPluginCommandBlock::FromPointer(&container));
}

void MAudioEffectPluginToAudioPluginAdapter::ReleaseUserControls()
{
  if (m_effectHost != nullptr)
    m_effectHost->SendCommand(MPluginCommand::kEditorClosed);
}

void MAudioEffectPluginToAudioPluginAdapter::SetEditorOpen(bool open)
{
  const bool wasOpen = IsEditorOpen();
  MAudioPlugin::SetEditorOpen(open);
  if (wasOpen && !open)
    DetachLearnMenu();
  if (wasOpen && !open && m_effectHost != nullptr)
    m_effectHost->SendCommand(MPluginCommand::kEditorClosed);
}

// ---- randomisation -------------------------------------------------------------------------------

void MAudioEffectPluginToAudioPluginAdapter::GenerateRandomSettings(double amount)
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::GenerateRandomSettings", [&] {
    LockAll locks(*this);
    Randomize(amount);
    InitProcessing();
    m_settingsChanged = true;
  });
}

void MAudioEffectPluginToAudioPluginAdapter::GenerateRandomSettingsSmart()
{
  MHostCallShield::Run("MAudioEffectPluginToAudioPluginAdapter::GenerateRandomSettingsSmart", [&] {
    LockAll locks(*this);
    if (m_effect == nullptr || ChooseSmartRandom() <= 0)
      return;
    m_effect->RandomizeSmart();
    m_effect->RandomizeSmartFinish();
    InitProcessing();
    m_settingsChanged = true;
  });
}

void MAudioEffectPluginToAudioPluginAdapter::GenerateRandomSettingsForMultiParameters() {}

std::int32_t MAudioEffectPluginToAudioPluginAdapter::ChooseSmartRandom()
{
  return 1;
}

// ---- fields ----------------------------------------------------------------------------------------

std::int32_t MAudioEffectPluginToAudioPluginAdapter::ValidChannelMode(std::int32_t mode) noexcept
{
  return mode >= 0 && mode < kChannelModeCount ? mode : 0;
}

void MAudioEffectPluginToAudioPluginAdapter::SetChannelMode(std::int32_t mode) noexcept
{
  mode = ValidChannelMode(mode);
  if (mode == m_requestedChannelMode)
    return;
  m_requestedChannelMode = mode;
  ReportStateChangedToHost();
}

bool MAudioEffectPluginToAudioPluginAdapter::IsSurroundChannelEnabled(std::int32_t channel) const noexcept
{
  return channel >= 0 && channel < kMaxSurroundChannels && m_surroundEnabled[channel].Load();
}

void MAudioEffectPluginToAudioPluginAdapter::SetSurroundChannelEnabled(std::int32_t channel,
                                                                       bool enabled) noexcept
{
  if (channel >= 0 && channel < kMaxSurroundChannels)
    m_surroundEnabled[channel] = enabled;
}

void MAudioEffectPluginToAudioPluginAdapter::SetMaxLFOBlockSize(std::int32_t samples) noexcept
{
  m_maxLFOBlockSize = std::max(1, samples);
  SetModulationLimit(m_maxLFOBlockSize);
}

MString MAudioEffectPluginToAudioPluginAdapter::GetChannelModeName(std::int32_t mode)
{
  return MString::FromLiteral(kChannelModeNames[mode >= 0 && mode < kChannelModeCount ? mode : 0]);
}
