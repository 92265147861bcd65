// The LV2 plug-in instance: descriptor callbacks, ports, processing and the state interface.

#include "host/lv2/MAudioPluginLV2Adapter.h"

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MDenormalGuard.h"
#include "host/module/MModule.h"
#include "host/module/MPluginState.h"
#include "host/module/TonveraModuleInterface.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace
{
MAudioPluginLV2Adapter* Self(LV2_Handle instance)
{
  return static_cast<MAudioPluginLV2Adapter*>(instance);
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri)
{
  for (; features != nullptr && *features != nullptr; ++features)
    if ((*features)->URI != nullptr && std::strcmp((*features)->URI, uri) == 0)
      return (*features)->data;
  return nullptr;
}

/// The largest block the host's options promise (maxBlockLength, else nominalBlockLength); 0
/// when they promise none.
std::int32_t AnnouncedBlockSamples(const LV2_Options_Option* options, const LV2_URID_Map& map)
{
  if (options == nullptr)
    return 0;
  const LV2_URID maxLength = map.map(map.handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID nominalLength = map.map(map.handle, LV2_BUF_SIZE__nominalBlockLength);
  const LV2_URID intType = map.map(map.handle, LV2_ATOM__Int);
  std::int32_t maximum = 0;
  std::int32_t nominal = 0;
  for (; options->key != 0 || options->value != nullptr; ++options)
  {
    if (options->type != intType || options->size != sizeof(std::int32_t) || options->value == nullptr)
      continue;
    const std::int32_t value = *static_cast<const std::int32_t*>(options->value);
    if (options->key == maxLength)
      maximum = value;
    else if (options->key == nominalLength)
      nominal = value;
  }
  return std::max(0, maximum > 0 ? maximum : nominal);
}

LV2_Handle Instantiate(const LV2_Descriptor* descriptor, double rate, const char*,
                       const LV2_Feature* const* features)
{
  return MHostCallShield::Run(
      "MAudioPluginLV2Adapter::instantiate", static_cast<LV2_Handle>(nullptr), [&]() -> LV2_Handle {
        const auto* map = static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map));
        const std::uint32_t channels = MLV2Description::ChannelsOf(descriptor->URI);
        if (map == nullptr || channels == 0 || !(rate > 100.0))
          return nullptr;
        const auto* options =
            static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
        std::int32_t block = AnnouncedBlockSamples(options, *map);
        if (block <= 0)
          block = MAudioPluginLV2Adapter::kDefaultBlockSamples;
        MAudioPlugin* plugin = CreateTonveraPlugin();
        if (plugin == nullptr)
          return nullptr;
        return new MAudioPluginLV2Adapter(plugin, channels, rate, block, *map);
      });
}

void ConnectPort(LV2_Handle instance, std::uint32_t port, void* data)
{
  Self(instance)->ConnectPort(port, data);
}

void Activate(LV2_Handle instance)
{
  MHostCallShield::Run("MAudioPluginLV2Adapter::activate", [&] { Self(instance)->Activate(); });
}

void Run(LV2_Handle instance, std::uint32_t samples)
{
  Self(instance)->Run(samples);
}

void Cleanup(LV2_Handle instance)
{
  MHostCallShield::Run("MAudioPluginLV2Adapter::cleanup", [&] { delete Self(instance); });
}

LV2_State_Status Save(LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                      std::uint32_t, const LV2_Feature* const*)
{
  return MHostCallShield::Run("MAudioPluginLV2Adapter::save", LV2_STATE_ERR_UNKNOWN,
                              [&] { return Self(instance)->Save(store, handle); });
}

LV2_State_Status Restore(LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         std::uint32_t, const LV2_Feature* const*)
{
  return MHostCallShield::Run("MAudioPluginLV2Adapter::restore", LV2_STATE_ERR_UNKNOWN,
                              [&] { return Self(instance)->Restore(retrieve, handle); });
}

const void* ExtensionData(const char* uri)
{
  static const LV2_State_Interface state = {&Save, &Restore};
  return uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

const LV2_Descriptor kDescriptors[2] = {
    {MLV2Description::kStereoUri, &Instantiate, &ConnectPort, &Activate, &Run, nullptr, &Cleanup,
     &ExtensionData},
    {MLV2Description::kMonoUri, &Instantiate, &ConnectPort, &Activate, &Run, nullptr, &Cleanup,
     &ExtensionData},
};
} // namespace

const LV2_Descriptor* MAudioPluginLV2Adapter::Descriptor(std::uint32_t index) noexcept
{
  return index < 2 ? &kDescriptors[index] : nullptr;
}

MAudioPluginLV2Adapter::MAudioPluginLV2Adapter(MAudioPlugin* plugin, std::uint32_t channels,
                                               double sampleRateHz, std::int32_t maxBlockSamples,
                                               const LV2_URID_Map& map)
    : m_plugin(plugin), m_maxBlockSamples(std::min(maxBlockSamples, MAudioPlugin::kMaxBlockSamples))
{
  std::unique_ptr<MAudioPlugin> owner(plugin);
  m_midiEvent = map.map(map.handle, LV2_MIDI__MidiEvent);
  m_atomChunk = map.map(map.handle, LV2_ATOM__Chunk);
  m_atomSequence = map.map(map.handle, LV2_ATOM__Sequence);
  m_stateKey = map.map(map.handle, MLV2Description::kStateUri);
  m_presetKey = map.map(map.handle, MLV2Description::kPresetUri);
  m_atomString = map.map(map.handle, LV2_ATOM__String);
  m_indicator = map.map(map.handle, MLV2Description::kIndicatorUri);
  m_chosenNoteKey = map.map(map.handle, MLV2Description::kChosenNoteUri);
  m_inputNoteKey = map.map(map.handle, MLV2Description::kInputNoteUri);
  m_outputNoteKey = map.map(map.handle, MLV2Description::kOutputNoteUri);
  lv2_atom_forge_init(&m_forge, const_cast<LV2_URID_Map*>(&map));
  MAudioPlugin::DisplaySnapshot display;
  m_hasDisplay = plugin->ReadDisplay(display);
  m_resendSamples = static_cast<std::uint32_t>(sampleRateHz / 10.0);
  m_layout = MLV2Description::PortLayout{static_cast<std::uint32_t>(std::max(0, plugin->GetNumParameters())),
                                         channels};
  m_scales = MLV2Description::ControlScales(*plugin);
  m_scales.resize(m_layout.parameters);
  m_parameterPorts.assign(m_layout.parameters, nullptr);
  m_lastPortValues.assign(m_layout.parameters, -1.0f); // no port value yet
  // The effect processes a stereo bus; the mono plug-in runs it with one channel, as a VST 3 host's
  // mono arrangement does.
  if (plugin->GetNumInputs() == 0 && plugin->GetNumOutputs() == 0)
    plugin->SetChannelNames({MString("Left"), MString("Right")}, {MString("Left"), MString("Right")});
  const auto used = static_cast<std::int32_t>(channels);
  plugin->SetUsableChannelsPerBus(used, used);
  if (channels == 1)
    plugin->SetForcedChannelCount(1);
  plugin->SetHostFormat(MString("LV2"));
  plugin->SetHostAdapter(this);
  plugin->SetSampleRate(sampleRateHz);
  plugin->SetBlockSize(m_maxBlockSamples);
  plugin->InitProcessing();
  m_latency.store(std::max(0, plugin->GetLatency()), std::memory_order_relaxed);
  owner.release();
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kLv2);
}

MAudioPluginLV2Adapter::~MAudioPluginLV2Adapter()
{
  MHostCallShield::Run("MAudioPluginLV2Adapter::~MAudioPluginLV2Adapter", [&] {
    delete m_plugin;
    m_plugin = nullptr;
  });
  MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kLv2);
}

void MAudioPluginLV2Adapter::ConnectPort(std::uint32_t port, void* data) noexcept
{
  if (port < m_layout.parameters)
    m_parameterPorts[port] = static_cast<const float*>(data);
  else if (port == m_layout.Enabled())
    m_enabledPort = static_cast<const float*>(data);
  else if (port == m_layout.Latency())
    m_latencyPort = static_cast<float*>(data);
  else if (port == m_layout.Control())
    m_controlPort = data;
  else if (port == m_layout.Notify())
    m_notifyPort = data;
  else if (port == m_layout.MidiOut())
    m_midiOutPort = data;
  else
    for (std::uint32_t c = 0; c < m_layout.channels; ++c)
    {
      if (port == m_layout.AudioIn(c))
        m_audioIn[c] = static_cast<const float*>(data);
      else if (port == m_layout.AudioOut(c))
        m_audioOut[c] = static_cast<float*>(data);
    }
}

void MAudioPluginLV2Adapter::Activate()
{
  m_plugin->InitProcessing();
  m_latency.store(std::max(0, m_plugin->GetLatency()), std::memory_order_relaxed);
}

void MAudioPluginLV2Adapter::Run(std::uint32_t samples) noexcept
{
  const bool completed = MHostCallShield::Run("MAudioPluginLV2Adapter::run", [&] {
    MDenormalGuard denormals;
    const bool adopt = m_adoptPorts.exchange(false, std::memory_order_relaxed);
    for (std::uint32_t index = 0; index < m_layout.parameters; ++index)
    {
      const float* port = m_parameterPorts[index];
      if (port == nullptr || *port == m_lastPortValues[index] || !(*port == *port))
        continue;
      m_lastPortValues[index] = *port;
      if (!adopt)
        m_plugin->SetParameterIfChanged(static_cast<std::int32_t>(index),
                                        m_scales[index].ToNormalised(*port));
    }
    if (m_enabledPort != nullptr)
      m_plugin->SetBypassed(!(*m_enabledPort >= 0.5f));
    for (std::uint32_t start = 0; start < samples;)
    {
      const std::uint32_t piece = std::min(samples - start, static_cast<std::uint32_t>(m_maxBlockSamples));
      ReadMidi(start, start + piece, start + piece == samples);
      static constexpr std::int32_t kSlots = MAudioPlugin::kPointersPerBus;
      float* inputs[kSlots] = {};
      float* outputs[kSlots] = {};
      for (std::uint32_t c = 0; c < m_layout.channels; ++c)
      {
        // The block driver only reads the inputs (it copies them when it needs to).
        inputs[c] = m_audioIn[c] != nullptr ? const_cast<float*>(m_audioIn[c]) + start : nullptr;
        outputs[c] = m_audioOut[c] != nullptr ? m_audioOut[c] + start : nullptr;
      }
      m_pieceStart.store(start, std::memory_order_relaxed);
      m_plugin->Process(inputs, outputs, static_cast<std::int32_t>(piece), true);
      start += piece;
    }
    m_pieceStart.store(0, std::memory_order_relaxed);
    // The latency port is how LV2 hears of a change: it carries the effect's latency as it is
    // after this run (a parameter may have switched it), and the host reads it after the run.
    m_latency.store(std::max(0, m_plugin->GetLatency()), std::memory_order_relaxed);
    if (m_latencyPort != nullptr)
      *m_latencyPort = static_cast<float>(m_latency.load(std::memory_order_relaxed));
    WriteNotify(samples);
    WriteMidiOut(samples);
  });
  if (!completed)
    ClearOutputs(samples);
}

void MAudioPluginLV2Adapter::WriteMidiOut(std::uint32_t samples) noexcept
{
  auto* sequence = static_cast<LV2_Atom_Sequence*>(m_midiOutPort);
  if (sequence == nullptr || sequence->atom.size < sizeof(LV2_Atom_Sequence_Body))
    return;
  const std::uint32_t capacity = sequence->atom.size;
  lv2_atom_forge_set_buffer(&m_forge, static_cast<std::uint8_t*>(m_midiOutPort), sizeof(LV2_Atom) + capacity);
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_sequence_head(&m_forge, &frame, 0);
  MTryLockGuard guard(m_midiLock);
  if (guard.IsLocked() && samples > 0 && m_midiCount > 0)
  {
    // Frame order, events of one frame in the order they were sent (an insertion sort: they come
    // nearly sorted, and it allocates nothing).
    for (std::size_t i = 1; i < m_midiCount; ++i)
      for (std::size_t j = i; j > 0 && m_midiOut[j].frame < m_midiOut[j - 1].frame; --j)
        std::swap(m_midiOut[j], m_midiOut[j - 1]);
    // An event takes its header and three bytes padded to eight. An event at or past the block's
    // end (a note the effect ends as the block ends) goes out in the next block at that place, as
    // the VST formats deliver it; one that does not fit goes first in the next block, so that no
    // note-off is lost.
    constexpr std::uint32_t kEventBytes = sizeof(LV2_Atom_Event) + 8;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_midiCount; ++i)
    {
      MidiEvent event = m_midiOut[i];
      if (event.frame < samples && m_forge.offset + kEventBytes <= m_forge.size)
      {
        const std::uint8_t kind = event.bytes[0] & 0xF0;
        const std::uint32_t size = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
        lv2_atom_forge_frame_time(&m_forge, std::max<std::int64_t>(event.frame, 0));
        lv2_atom_forge_atom(&m_forge, size, m_midiEvent);
        lv2_atom_forge_write(&m_forge, event.bytes, size);
        continue;
      }
      event.frame = event.frame < samples ? 0 : event.frame - samples;
      m_midiOut[kept++] = event;
    }
    m_midiCount = kept;
  }
  lv2_atom_forge_pop(&m_forge, &frame);
}

void MAudioPluginLV2Adapter::ReadMidi(std::uint32_t from, std::uint32_t to, bool lastPiece)
{
  const auto* sequence = static_cast<const LV2_Atom_Sequence*>(m_controlPort);
  if (sequence == nullptr || sequence->atom.type != m_atomSequence)
    return;
  for (const LV2_Atom_Event* event = lv2_atom_sequence_begin(&sequence->body);
       !lv2_atom_sequence_is_end(&sequence->body, sequence->atom.size, event);
       event = lv2_atom_sequence_next(event))
  {
    if (event->body.type != m_midiEvent || event->body.size == 0)
      continue;
    // Frames outside the block belong to its first or last sample.
    const std::int64_t frame = std::max<std::int64_t>(0, event->time.frames);
    if (frame < from || (frame >= to && !lastPiece))
      continue;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(event + 1);
    // Channel messages only (system messages and running status have no place here).
    if (bytes[0] < 0x80 || bytes[0] >= 0xF0)
      continue;
    std::uint8_t message[3] = {bytes[0], 0, 0};
    std::memcpy(message + 1, bytes + 1, std::min<std::size_t>(2, event->body.size - 1));
    const std::int64_t offset = std::min<std::int64_t>(frame, to - 1) - from;
    m_plugin->ProcessShortMessage(message, static_cast<int>(offset));
  }
}

void MAudioPluginLV2Adapter::WriteNotify(std::uint32_t samples) noexcept
{
  auto* sequence = static_cast<LV2_Atom_Sequence*>(m_notifyPort);
  // The host hands the space after the header in atom.size.
  if (sequence == nullptr || sequence->atom.size < sizeof(LV2_Atom_Sequence_Body))
    return;
  const std::uint32_t capacity = sequence->atom.size;
  lv2_atom_forge_set_buffer(&m_forge, static_cast<std::uint8_t*>(m_notifyPort), sizeof(LV2_Atom) + capacity);
  LV2_Atom_Forge_Frame frame;
  lv2_atom_forge_sequence_head(&m_forge, &frame, 0);
  m_samplesSinceSent += samples;
  // An indicator event takes under a hundred bytes; a smaller buffer gets none.
  MAudioPlugin::DisplaySnapshot display;
  if (m_hasDisplay && capacity >= 256 && m_plugin->ReadDisplay(display))
  {
    const double input = display.inputNote;
    const double output = display.outputNote;
    const std::int32_t chosen = display.chosenNote;
    if (input != m_sentInput || output != m_sentOutput || chosen != m_sentChosen ||
        m_samplesSinceSent >= m_resendSamples)
    {
      m_sentInput = input;
      m_sentOutput = output;
      m_sentChosen = chosen;
      m_samplesSinceSent = 0;
      LV2_Atom_Forge_Frame object;
      lv2_atom_forge_frame_time(&m_forge, 0);
      lv2_atom_forge_object(&m_forge, &object, 0, m_indicator);
      lv2_atom_forge_key(&m_forge, m_chosenNoteKey);
      lv2_atom_forge_int(&m_forge, chosen);
      lv2_atom_forge_key(&m_forge, m_inputNoteKey);
      lv2_atom_forge_double(&m_forge, input);
      lv2_atom_forge_key(&m_forge, m_outputNoteKey);
      lv2_atom_forge_double(&m_forge, output);
      lv2_atom_forge_pop(&m_forge, &object);
    }
  }
  lv2_atom_forge_pop(&m_forge, &frame);
}

void MAudioPluginLV2Adapter::ClearOutputs(std::uint32_t samples) noexcept
{
  for (float* output : m_audioOut)
    if (output != nullptr)
      std::fill(output, output + samples, 0.0f);
}

LV2_State_Status MAudioPluginLV2Adapter::Save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
  const std::vector<std::uint8_t> bytes = MPluginState::Save(*m_plugin);
  return store(handle, m_stateKey, bytes.data(), bytes.size(), m_atomChunk,
               LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status MAudioPluginLV2Adapter::Restore(LV2_State_Retrieve_Function retrieve,
                                                 LV2_State_Handle handle)
{
  std::size_t size = 0;
  std::uint32_t type = 0;
  std::uint32_t flags = 0;
  const void* bytes = retrieve(handle, m_stateKey, &size, &type, &flags);
  if (bytes != nullptr)
  {
    if (type != m_atomChunk || size == 0)
      return LV2_STATE_ERR_BAD_TYPE;
    MPluginState::Load(*m_plugin, bytes, size);
  }
  else if ((bytes = retrieve(handle, m_presetKey, &size, &type, &flags)) != nullptr)
  {
    // A factory preset of the bundle (an atom:String counts its terminator): applied as the
    // editor applies it.
    if ((type != m_atomString && type != m_atomChunk) || size == 0)
      return LV2_STATE_ERR_BAD_TYPE;
    switch (MPluginState::ApplyPreset(*m_plugin, bytes, size))
    {
    case MPluginState::PresetResult::kApplied:
      break;
    case MPluginState::PresetResult::kNoPresets:
      return LV2_STATE_ERR_NO_PROPERTY;
    case MPluginState::PresetResult::kNotAPreset:
      return LV2_STATE_ERR_BAD_TYPE;
    }
  }
  else
    return LV2_STATE_ERR_NO_PROPERTY;
  // The loaded values stand until the host moves a port (see the header). Restore never runs
  // beside run.
  for (std::uint32_t index = 0; index < m_layout.parameters; ++index)
    if (const float* port = m_parameterPorts[index])
      m_lastPortValues[index] = *port;
  m_adoptPorts.store(true, std::memory_order_relaxed);
  return LV2_STATE_SUCCESS;
}

// ---- the plug-in's calls: the editor's, on the UI thread, go to the UI that shows it ----

void MAudioPluginLV2Adapter::SendAutomation(std::int32_t index, double value)
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->SendAutomation(index, value);
}

void MAudioPluginLV2Adapter::SendBypassAutomation(bool bypassed)
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->SendBypassAutomation(bypassed);
}

void MAudioPluginLV2Adapter::BeginAutomationGesture(std::int32_t index)
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->BeginAutomationGesture(index);
}

void MAudioPluginLV2Adapter::EndAutomationGesture(std::int32_t index)
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->EndAutomationGesture(index);
}

void MAudioPluginLV2Adapter::GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4])
{
  if (bytes == nullptr || bytes[0] < 0x80 || bytes[0] >= 0xF0)
    return;
  MTryLockGuard guard(m_midiLock);
  if (!guard.IsLocked() || m_midiCount >= kMidiCapacity)
    return;
  MidiEvent& event = m_midiOut[m_midiCount++];
  event.frame = std::int64_t{m_pieceStart.load(std::memory_order_relaxed)} + std::max(0, sampleOffset);
  event.bytes[0] = bytes[0];
  event.bytes[1] = bytes[1] & 0x7F;
  event.bytes[2] = bytes[2] & 0x7F;
}

void MAudioPluginLV2Adapter::ReportLatency()
{
  m_latency.store(std::max(0, m_plugin->GetLatency()), std::memory_order_relaxed);
}

bool MAudioPluginLV2Adapter::ChangeEditorSize(std::int32_t width, std::int32_t height)
{
  MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed);
  return ui != nullptr && ui->ChangeEditorSize(width, height);
}

void MAudioPluginLV2Adapter::ReportProgramChanged()
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->ReportProgramChanged();
}

void MAudioPluginLV2Adapter::ReportStateChanged()
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->ReportStateChanged();
}

void MAudioPluginLV2Adapter::DeliverPendingReports()
{
  if (MAudioPluginAdapter* ui = m_ui.load(std::memory_order_relaxed))
    ui->DeliverPendingReports();
}
