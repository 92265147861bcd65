// The audio path of the VST 2.4 adapter: transport, MIDI in and out, and the per-bus layout of
// the channel pointers. Runs on the host's audio thread and allocates nothing.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Vst2
{
namespace
{
constexpr std::int32_t kSlots = MAudioPlugin::kPointersPerBus;
constexpr double kJumpQuarterNotes = 2.0;

/// Bar start rounded half up to the grid of the signature's beat (a quarter note for x/4, an
/// eighth for x/8), as hosts report it with rounding noise.
double BarPosition(const VstTimeInfo& info)
{
  const std::int32_t q = std::max(1, info.timeSigDenominator / 4);
  return std::floor(q * info.barStartPos + 0.5) / q;
}

/// Signature and bar position. Hosts that leave the signature out report 0/0: the previous
/// signature stays then, so the effect never sees a zero denominator.
void CopySignature(const VstTimeInfo& info, MAudioPlugin::Transport& transport)
{
  if (info.timeSigNumerator > 0 && info.timeSigDenominator > 0)
  {
    transport.numerator = info.timeSigNumerator;
    transport.denominator = info.timeSigDenominator;
  }
  transport.barPosition = BarPosition(info);
}

/// Spreads `channels` host pointers over buses of kSlots slots: a bus whose first pointer is null
/// is all null; otherwise its free slots repeat its last pointer. A last bus with fewer than
/// perBus channels repeats what it has; slots of buses beyond the host's stay null.
void ExpandBuses(float* const* host, std::int32_t channels, std::int32_t perBus, float** target)
{
  std::fill(target, target + MAudioPluginVSTAdapter::kMaxBuses * kSlots, nullptr);
  const std::int32_t buses = std::min(MAudioPluginVSTAdapter::kMaxBuses, (channels + perBus - 1) / perBus);
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    float* const* source = host + bus * perBus;
    const std::int32_t available = std::min(perBus, channels - bus * perBus);
    if (source[0] == nullptr)
      continue;
    float** slots = target + bus * kSlots;
    std::copy(source, source + available, slots);
    std::fill(slots + available, slots + kSlots, source[available - 1]);
  }
}
} // namespace

void MAudioPluginVSTAdapter::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
  PerformProcessing(inputs, outputs, sampleFrames, true);
}

void MAudioPluginVSTAdapter::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
  PerformProcessing(inputs, outputs, sampleFrames, false);
}

void MAudioPluginVSTAdapter::processDoubleReplacing(double**, double**, VstInt32) {}

void MAudioPluginVSTAdapter::PerformProcessing(float** inputs, float** outputs, VstInt32 sampleFrames,
                                               bool replacing)
{
  RunHostCall("MAudioPluginVSTAdapter::PerformProcessing", [&] {
    if (sampleFrames <= 0 || outputs == nullptr)
      return;
    PrepareProcessing();
    DeliverMIDIInput();

    // The block driver reads kSlots pointers per bus, so the host's flat list is always laid out
    // into full buses here, even for a single bus: handing it the host's array of two pointers
    // would let it read past the end.
    const std::int32_t perBus = std::clamp(m_plugin->GetChannelsPerBus(), 1, kSlots);
    const std::int32_t numInputs = inputs != nullptr ? m_effect.numInputs : 0;
    float* inputSlots[kMaxBuses * kSlots];
    float* outputSlots[kMaxBuses * kSlots];
    ExpandBuses(inputs, numInputs, perBus, inputSlots);
    ExpandBuses(outputs, m_effect.numOutputs, perBus, outputSlots);
    float* const* pluginInputs = numInputs > 0 ? inputSlots : nullptr;
    float* const* pluginOutputs = outputSlots;
    m_plugin->Process(pluginInputs, pluginOutputs, sampleFrames, replacing);
    SendMIDIOutput();
  });
}

void MAudioPluginVSTAdapter::PrepareProcessing()
{
  MAudioPlugin::Transport& transport = m_plugin->GetTransport();
  if (!m_plugin->m_wantsTimeInfo.Load())
  {
    transport.updated = true;
    transport.updatedForEffect = true;
    return;
  }
  const VstTimeInfo* info = getTimeInfo(kBlockTimeRequest);
  if (info == nullptr)
    return;
  const bool wasPlaying = transport.playing;
  transport.updated = true;
  transport.updatedForEffect = true;
  transport.songPosition = info->ppqPos;
  transport.tempo = info->tempo;
  transport.positionJumped = false;
  CopySignature(*info, transport);
  if (info->cycleEndPos - 1e-20 <= info->cycleStartPos)
  {
    transport.loopStart = -1.0;
    transport.loopEnd = -1.0;
  }
  else
  {
    transport.loopStart = info->cycleStartPos;
    transport.loopEnd = info->cycleEndPos;
  }
  if ((info->flags & kVstTransportPlaying) != 0)
  {
    // A position that moved further than a block could carry it is a jump (the user moved the
    // cursor); the play state is left as it was so the effect sees a jump, not a restart.
    if (std::fabs(m_lastSongPosition - info->ppqPos) <= kJumpQuarterNotes)
      transport.playing = true;
    else
      transport.positionJumped = true;
    m_lastSongPosition = info->ppqPos;
  }
  else
  {
    transport.playing = false;
  }
  transport.changed = transport.playing != wasPlaying;
}

std::size_t MAudioPluginVSTAdapter::TakeEvents(MidiQueue& queue, std::vector<VstMidiEvent>& target)
{
  MTryLockGuard guard(queue.lock);
  if (!guard.IsLocked())
    return 0;
  const std::size_t count = std::min(queue.count, target.size());
  std::copy(queue.events.begin(), queue.events.begin() + static_cast<std::ptrdiff_t>(count), target.begin());
  queue.count = 0;
  return count;
}

void MAudioPluginVSTAdapter::DeliverMIDIInput()
{
  const std::size_t count = TakeEvents(m_midiInput, m_midiWork);
  for (std::size_t i = 0; i < count; ++i)
  {
    const VstMidiEvent& event = m_midiWork[i];
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(event.midiData[0]),
                                   static_cast<std::uint8_t>(event.midiData[1]),
                                   static_cast<std::uint8_t>(event.midiData[2])};
    m_plugin->ProcessShortMessage(bytes, event.deltaFrames);
  }
}

void MAudioPluginVSTAdapter::QueueMIDIInput(const VstMidiEvent& event)
{
  MTryLockGuard guard(m_midiInput.lock);
  if (guard.IsLocked() && m_midiInput.count < m_midiInput.events.size())
    m_midiInput.events[m_midiInput.count++] = event;
}

void MAudioPluginVSTAdapter::GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4])
{
  MTryLockGuard guard(m_midiOutput.lock);
  if (!guard.IsLocked() || m_midiOutput.count >= m_midiOutput.events.size())
    return;
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = sampleOffset;
  for (int i = 0; i < 4; ++i)
    event.midiData[i] = static_cast<char>(bytes[i]);
  m_midiOutput.events[m_midiOutput.count++] = event;
}

void MAudioPluginVSTAdapter::SendMIDIOutput()
{
  const std::size_t count = TakeEvents(m_midiOutput, m_midiWork);
  if (count == 0)
    return;
  // The block and the pointer array were sized at construction for a full queue.
  auto* block = reinterpret_cast<VstEvents*>(m_eventsBlock.data());
  block->numEvents = static_cast<VstInt32>(count);
  block->reserved = 0;
  VstEvent** pointers = EventPointers(block);
  for (std::size_t i = 0; i < count; ++i)
    pointers[i] = reinterpret_cast<VstEvent*>(&m_midiWork[i]);
  sendVstEventsToHost(block);
}

VstInt32 MAudioPluginVSTAdapter::processEvents(VstEvents* events)
{
  return RunHostCall("MAudioPluginVSTAdapter::processEvents", VstInt32{0}, [&] {
    if (events->numEvents > 0)
    {
      if (const VstTimeInfo* info = getTimeInfo(kEventTimeRequest); info != nullptr)
      {
        MAudioPlugin::Transport& transport = m_plugin->GetTransport();
        transport.songPosition = info->ppqPos;
        transport.tempo = info->tempo;
        CopySignature(*info, transport);
      }
    }
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
      const VstMidiEvent* event = MidiEventAt(events, i);
      if (event == nullptr)
        continue;
      const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(event->midiData[0]),
                                     static_cast<std::uint8_t>(event->midiData[1]),
                                     static_cast<std::uint8_t>(event->midiData[2])};
      m_plugin->ProcessShortMessage(bytes, event->deltaFrames);
    }
    return VstInt32{1};
  });
}
} // namespace Vst2
