// Processing and state of the VST 3 adapter: parameter queues, transport, events and audio on
// the audio thread; the state bytes through the host's IBStream on the main thread.

#include "host/vst3/MAudioPluginVST3Adapter.h"

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MDenormalGuard.h"
#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "host/module/MPluginState.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
/// Read size for the host's state stream, and the most state bytes accepted from it.
constexpr int32 kStateReadChunk = 1024;
constexpr std::size_t kMaxStateBytes = 16u * 1024u * 1024u;

int ToMidi7(double normalized)
{
  return static_cast<int>(std::clamp(std::floor(normalized * 127.0 + 0.5), 0.0, 127.0));
}

void ClearOutputs(ProcessData& data)
{
  if (data.outputs == nullptr || data.numSamples <= 0 || data.symbolicSampleSize != kSample32)
  {
    return;
  }
  for (int32 bus = 0; bus < data.numOutputs; ++bus)
  {
    AudioBusBuffers& buffers = data.outputs[bus];
    if (buffers.channelBuffers32 == nullptr)
    {
      continue;
    }
    for (int32 channel = 0; channel < buffers.numChannels; ++channel)
    {
      if (float* samples = buffers.channelBuffers32[channel])
      {
        std::memset(samples, 0, sizeof(float) * static_cast<std::size_t>(data.numSamples));
      }
    }
    buffers.silenceFlags = buffers.numChannels >= 64 ? ~uint64{0} : (uint64{1} << buffers.numChannels) - 1;
  }
}
} // namespace

tresult PLUGIN_API MAudioPluginVST3Adapter::process(ProcessData& data)
{
  if (data.symbolicSampleSize != kSample32)
  {
    return kResultFalse; // 64-bit processing was refused in setupProcessing
  }
  const bool completed = RunHostCall("MAudioPluginVST3Adapter::process", [&] {
    MDenormalGuard denormals;
    ApplyParameterChanges(data.inputParameterChanges, data.numSamples);
    if (data.processContext != nullptr)
    {
      ApplyTransport(*data.processContext);
    }
    ApplyInputEvents(data.inputEvents, data.numSamples);
    if (data.numSamples > 0 && (data.numInputs > 0 || data.numOutputs > 0))
    {
      ProcessAudio(data);
      DeliverMidiOutput(data.outputEvents);
    }
    ReportOwnChanges(data.outputParameterChanges);
  });
  if (!completed)
  {
    // A dropped block must not hand the host whatever its buffers held before.
    ClearOutputs(data);
  }
  return kResultOk;
}

void MAudioPluginVST3Adapter::ApplyParameterChanges(IParameterChanges* changes, int32 numSamples)
{
  if (changes == nullptr)
  {
    return;
  }
  const std::int32_t pluginCount = PluginParameterCount();
  const int32 lastOffset = std::max(0, numSamples - 1);
  const int32 queues = changes->getParameterCount();
  for (int32 q = 0; q < queues; ++q)
  {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr)
    {
      continue;
    }
    const ParamID id = queue->getParameterId();
    const int32 points = queue->getPointCount();
    if (id >= kFirstControllerId && id < kFirstControllerId + static_cast<ParamID>(kControllerCount))
    {
      // MIDI that the host turned into parameter points: every point is one message at its own
      // offset, as a VST 2.4 host would have sent the events.
      for (int32 point = 0; point < points; ++point)
      {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(point, offset, value) == kResultOk && std::isfinite(value))
        {
          ApplyControllerPoint(id, std::clamp(value, 0.0, 1.0), std::clamp(offset, 0, lastOffset));
        }
      }
      continue;
    }
    int32 offset = 0;
    ParamValue value = 0.0;
    // One value per parameter and block: the last point is where the host wants it to end.
    if (points <= 0 || queue->getPoint(points - 1, offset, value) != kResultOk || !std::isfinite(value))
    {
      continue;
    }
    value = std::clamp(value, 0.0, 1.0);
    if (id == kBypassId)
    {
      m_plugin->SetBypassed(value > 0.5);
    }
    else if (id == kProgramId)
    {
      if (ProgramCount() > 0)
      {
        m_plugin->RequestProgram(ProgramFromValue(value)); // chosen off the audio thread
      }
    }
    else if (id < kFirstControllerId)
    {
      // Only a host that hands the plug-in's own edit straight back on the thread that made it
      // is ignored; the host's automation arriving while the GUI thread edits applies.
      if (static_cast<std::int32_t>(id) < pluginCount && t_automating != this)
      {
        m_plugin->SetParameterIfChanged(static_cast<std::int32_t>(id), value);
      }
      if (id < m_hostValues.size())
      {
        m_hostValues[id] = value;
      }
    }
  }
}

void MAudioPluginVST3Adapter::ReportOwnChanges(IParameterChanges* changes)
{
  // Values the plug-in moved itself (learnt and note controllers, program changes, held notes)
  // reach the host's controls as output parameter changes: the host follows them without
  // recording automation. (The program is the host's to read again after restartComponent: a
  // program the host chose applies off the audio thread, later than this block.)
  if (changes == nullptr || m_hostValues.empty())
  {
    return;
  }
  const std::size_t count = std::min(m_hostValues.size(), static_cast<std::size_t>(PluginParameterCount()));
  auto report = [&](ParamID id, double value, double& known) {
    if (std::fabs(value - known) <= 1e-9)
    {
      return;
    }
    int32 queueIndex = 0;
    int32 pointIndex = 0;
    if (IParamValueQueue* queue = changes->addParameterData(id, queueIndex);
        queue != nullptr && queue->addPoint(0, value, pointIndex) == kResultOk)
    {
      known = value;
    }
  };
  for (std::size_t index = 0; index < count; ++index)
  {
    report(static_cast<ParamID>(index), PluginValue(static_cast<ParamID>(index)), m_hostValues[index]);
  }
}

void MAudioPluginVST3Adapter::ApplyControllerPoint(ParamID id, ParamValue value, int32 offset)
{
  if (id == kPitchBendId)
  {
    const double bend = std::floor((value * 2.0 - 1.0) * 8192.0 + 0.5);
    const int raw = static_cast<int>(std::clamp(bend, -8192.0, 8191.0)) + 8192;
    const std::uint8_t bytes[3] = {0xE0, static_cast<std::uint8_t>(raw & 0x7F),
                                   static_cast<std::uint8_t>((raw >> 7) & 0x7F)};
    m_plugin->ProcessShortMessage(bytes, offset);
  }
  else if (id == kAftertouchId)
  {
    const std::uint8_t bytes[3] = {0xD0, static_cast<std::uint8_t>(ToMidi7(value)), 0};
    m_plugin->ProcessShortMessage(bytes, offset);
  }
  else
  {
    const std::uint8_t bytes[3] = {0xB0, static_cast<std::uint8_t>(id - kFirstControllerId),
                                   static_cast<std::uint8_t>(ToMidi7(value))};
    m_plugin->ProcessShortMessage(bytes, offset);
  }
}

void MAudioPluginVST3Adapter::ApplyTransport(const ProcessContext& context)
{
  MAudioPlugin::Transport& transport = m_plugin->GetTransport();
  transport.updated = true;
  transport.updatedForEffect = true;
  if (!m_plugin->m_wantsTimeInfo)
  {
    return;
  }
  const bool wasPlaying = transport.playing;
  transport.positionJumped = false;
  if ((context.state & ProcessContext::kProjectTimeMusicValid) != 0 &&
      std::isfinite(context.projectTimeMusic))
  {
    transport.songPosition = context.projectTimeMusic;
  }
  if ((context.state & ProcessContext::kTempoValid) != 0 && std::isfinite(context.tempo) &&
      context.tempo > 0.0)
  {
    transport.tempo = context.tempo;
  }
  if ((context.state & ProcessContext::kTimeSigValid) != 0 && context.timeSigNumerator > 0 &&
      context.timeSigDenominator > 0)
  {
    transport.numerator = context.timeSigNumerator;
    transport.denominator = context.timeSigDenominator;
  }
  if ((context.state & ProcessContext::kBarPositionValid) != 0 && std::isfinite(context.barPositionMusic))
  {
    const double q = std::max(1, transport.denominator / 4);
    transport.barPosition = std::floor(q * context.barPositionMusic + 0.5) / q;
  }
  if ((context.state & ProcessContext::kCycleActive) != 0 &&
      context.cycleEndMusic - 1e-20 > context.cycleStartMusic)
  {
    transport.loopStart = context.cycleStartMusic;
    transport.loopEnd = context.cycleEndMusic;
  }
  else
  {
    transport.loopStart = -1.0;
    transport.loopEnd = -1.0;
  }
  if ((context.state & ProcessContext::kPlaying) != 0)
  {
    // Within two quarter notes of the last block the song plays on; further away it jumped.
    if (std::fabs(m_lastSongPosition - transport.songPosition) <= 2.0)
    {
      transport.playing = true;
    }
    else
    {
      transport.positionJumped = true;
    }
    m_lastSongPosition = transport.songPosition;
  }
  else
  {
    transport.playing = false;
  }
  transport.changed = transport.playing != wasPlaying;
}

void MAudioPluginVST3Adapter::ApplyInputEvents(IEventList* events, int32 numSamples)
{
  if (events == nullptr)
  {
    return;
  }
  const int32 lastOffset = std::max(0, numSamples - 1);
  const int32 count = events->getEventCount();
  for (int32 index = 0; index < count; ++index)
  {
    Event event = {};
    if (events->getEvent(index, event) != kResultOk)
    {
      continue;
    }
    const int offset = std::clamp(event.sampleOffset, 0, lastOffset);
    switch (event.type)
    {
    case Event::kNoteOnEvent:
    {
      const NoteOnEvent& note = event.noteOn;
      if (note.channel >= 0 && note.channel < 16 && note.pitch >= 0 && note.pitch < 128)
      {
        // Velocity 0 means note-off to the plug-in; a note-on keeps at least 1.
        const int velocity = std::max(1, ToMidi7(std::isfinite(note.velocity) ? note.velocity : 0.0));
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(0x90 | note.channel),
                                       static_cast<std::uint8_t>(note.pitch),
                                       static_cast<std::uint8_t>(velocity)};
        m_plugin->ProcessShortMessage(bytes, offset);
      }
      break;
    }
    case Event::kNoteOffEvent:
    {
      const NoteOffEvent& note = event.noteOff;
      if (note.channel >= 0 && note.channel < 16 && note.pitch >= 0 && note.pitch < 128)
      {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(0x80 | note.channel),
                                       static_cast<std::uint8_t>(note.pitch), 0};
        m_plugin->ProcessShortMessage(bytes, offset);
      }
      break;
    }
    case Event::kDataEvent:
    {
      if (event.data.bytes != nullptr && event.data.size > 0)
      {
        std::uint8_t message[3] = {0, 0, 0};
        std::memcpy(message, event.data.bytes, std::min<std::size_t>(3, event.data.size));
        m_plugin->ProcessShortMessage(message, offset);
      }
      break;
    }
    default:
      break;
    }
  }
}

void MAudioPluginVST3Adapter::ProcessAudio(ProcessData& data)
{
  static constexpr std::int32_t kSlots = MAudioPlugin::kPointersPerBus;
  float* inputs[kMaxBuses * kSlots] = {};
  float* outputs[kMaxBuses * kSlots] = {};
  // Only the buses the host actually passed are read; missing ones stay null.
  auto fill = [](float** pointers, const AudioBusBuffers* buses, int32 hostBuses, std::int32_t declared) {
    const int32 count = buses == nullptr ? 0 : std::min({hostBuses, declared, kMaxBuses});
    for (int32 bus = 0; bus < count; ++bus)
    {
      if (buses[bus].channelBuffers32 == nullptr)
      {
        continue;
      }
      const int32 channels = std::clamp(buses[bus].numChannels, 0, kSlots);
      for (int32 channel = 0; channel < channels; ++channel)
      {
        pointers[bus * kSlots + channel] = buses[bus].channelBuffers32[channel];
      }
    }
  };
  fill(inputs, data.inputs, data.numInputs, m_plugin->GetNumInputBuses());
  fill(outputs, data.outputs, data.numOutputs, m_plugin->GetNumOutputBuses());
  m_plugin->Process(inputs, outputs, data.numSamples, true);
  for (int32 bus = 0; data.outputs != nullptr && bus < data.numOutputs; ++bus)
  {
    data.outputs[bus].silenceFlags = 0;
  }
}

void MAudioPluginVST3Adapter::DeliverMidiOutput(IEventList* events)
{
  MTryLockGuard guard(m_midiLock);
  if (!guard.IsLocked())
  {
    return;
  }
  if (events != nullptr)
  {
    for (Event& event : m_midiOutput)
    {
      events->addEvent(event);
    }
  }
  m_midiOutput.clear();
}

uint32 PLUGIN_API MAudioPluginVST3Adapter::getTailSamples()
{
  return RunHostCall("MAudioPluginVST3Adapter::getTailSamples", uint32{kNoTail}, [&] {
    auto* effect = dynamic_cast<MAudioEffectPluginToAudioPluginAdapter*>(m_plugin);
    m_tail = effect != nullptr ? effect->GetTailSize() : 0;
    return m_tail < 0 ? kInfiniteTail : static_cast<uint32>(m_tail);
  });
}

// ---- state ----

bool MAudioPluginVST3Adapter::WriteState(IBStream* stream)
{
  std::vector<std::uint8_t> bytes = MPluginState::Save(*m_plugin);
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int32>::max()))
  {
    return false;
  }
  const auto size = static_cast<int32>(bytes.size());
  int32 written = 0;
  return stream->write(bytes.data(), size, &written) == kResultOk && written == size;
}

bool MAudioPluginVST3Adapter::ReadState(IBStream* stream)
{
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[kStateReadChunk];
  for (;;)
  {
    int32 got = 0;
    if (stream->read(chunk, kStateReadChunk, &got) != kResultOk || got <= 0)
    {
      break;
    }
    got = std::min(got, kStateReadChunk);
    if (bytes.size() + static_cast<std::size_t>(got) > kMaxStateBytes)
    {
      return false; // no plug-in state is anywhere near this size: refuse, change nothing
    }
    bytes.insert(bytes.end(), chunk, chunk + got);
  }
  if (bytes.empty())
  {
    return false;
  }
  // Bytes that do not decode throw and leave the state untouched.
  MPluginState::Load(*m_plugin, bytes.data(), bytes.size());
  return true;
}

tresult PLUGIN_API MAudioPluginVST3Adapter::getState(IBStream* state)
{
  return RunHostCall("MAudioPluginVST3Adapter::getState", tresult{kResultFalse}, [&]() -> tresult {
    if (state == nullptr)
    {
      return kInvalidArgument;
    }
    return WriteState(state) ? kResultOk : kResultFalse;
  });
}

tresult PLUGIN_API MAudioPluginVST3Adapter::setState(IBStream* state)
{
  return RunHostCall("MAudioPluginVST3Adapter::setState", tresult{kResultFalse}, [&]() -> tresult {
    if (state == nullptr)
    {
      return kInvalidArgument;
    }
    if (!ReadState(state))
    {
      return kResultFalse;
    }
    ForgetControllerEdits(); // the loaded values win over what the host set on the controller
    return kResultOk;
  });
}
