// The block driver: everything between the host's processing call and the effect's chunks.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MDenormalGuard.h"
#include "vector/MVector.h"

#include <algorithm>

namespace
{
void ResizePointers(std::vector<float*>& pointers, std::int32_t buses)
{
  const std::size_t needed = static_cast<std::size_t>(buses) * MAudioPlugin::kPointersPerBus;
  if (pointers.size() < needed)
    pointers.resize(needed, nullptr);
}

void ZeroSamples(float* channel, std::int32_t samples) noexcept
{
  MVector::ZeroFloats(channel, samples);
}
} // namespace

// ---- channels ----------------------------------------------------------------------------------

void MAudioPlugin::SetChannelNames(std::vector<MString> inputs, std::vector<MString> outputs)
{
  m_inputNames = std::move(inputs);
  m_outputNames = std::move(outputs);
  SetCurrentChannelCounts(static_cast<std::int32_t>(m_inputNames.size()),
                          static_cast<std::int32_t>(m_outputNames.size()));
}

void MAudioPlugin::SetCurrentChannelCounts(std::int32_t inputs, std::int32_t outputs) noexcept
{
  // A host may ask for any count; the pointer layout has room for at most 8 per bus and the
  // driver never handles more than 64 channels a side.
  m_numInputs = std::clamp<std::int32_t>(inputs, 0, 64);
  m_numOutputs = std::clamp<std::int32_t>(outputs, 0, 64);
}

void MAudioPlugin::SetChannelsPerBus(std::int32_t channels) noexcept
{
  m_channelsPerBus = std::clamp<std::int32_t>(channels, 1, kPointersPerBus);
}

void MAudioPlugin::SetUsableChannelsPerBus(std::int32_t inputs, std::int32_t outputs) noexcept
{
  m_usableInputsPerBus = inputs;
  m_usableOutputsPerBus = outputs;
}

std::int32_t MAudioPlugin::GetNumProcessInputChannels() const
{
  if (m_numInputs <= 0)
    return 0;
  return GetNumMainInputChannels();
}

std::int32_t MAudioPlugin::GetNumMainInputChannels() const
{
  const std::int32_t channels = m_forcedChannels >= 0 ? m_forcedChannels.Load() : m_channelsPerBus.Load();
  return std::min<std::int32_t>(channels, m_numInputs);
}

std::int32_t MAudioPlugin::GetNumProcessOutputChannels() const
{
  if (m_numOutputs <= 0)
    return 0;
  return GetNumMainOutputChannels();
}

std::int32_t MAudioPlugin::GetNumMainOutputChannels() const
{
  const std::int32_t channels = m_forcedChannels >= 0 ? m_forcedChannels.Load() : m_channelsPerBus.Load();
  return std::min<std::int32_t>(channels, m_numOutputs);
}

std::int32_t MAudioPlugin::GetNumInputBuses() const
{
  // Rounded up: one mono channel on a stereo-bus plug-in is still a bus (dual mono).
  const std::int32_t perBus = m_channelsPerBus;
  return (m_numInputs + perBus - 1) / perBus;
}

std::int32_t MAudioPlugin::GetNumOutputBuses() const
{
  const std::int32_t perBus = m_channelsPerBus;
  return (m_numOutputs + perBus - 1) / perBus;
}

std::int32_t MAudioPlugin::ActiveChannels(std::int32_t usable) const noexcept
{
  const std::int32_t perBus = m_block.perBus;
  return usable < 1 || usable >= perBus ? perBus : usable;
}

// ---- rates, latency, initialisation ------------------------------------------------------------

void MAudioPlugin::SetSampleRate(double rate)
{
  if (!(rate > 0.0) || rate > 1e7)
    return;
  m_sampleRate = rate;
  m_effectiveSampleRate = std::clamp<std::int32_t>(m_oversampling, 1, 16) * rate;
}

std::int32_t MAudioPlugin::GetLatency() const
{
  const std::int32_t factor = std::clamp<std::int32_t>(m_oversampling, 1, 16);
  std::int32_t latency = GetEffectLatency() / factor;
  if (factor > 1)
    latency += MOversampler::LatencyFor(factor, m_oversamplingHighQuality);
  return latency;
}

void MAudioPlugin::ReportLatency()
{
  MHostCallShield::Run("MAudioPlugin::ReportLatency", [&] {
    const std::int32_t latency = GetLatency();
    if (latency == m_reportedLatency)
      return;
    m_reportedLatency = latency;
    if (m_hostAdapter != nullptr)
      m_hostAdapter->ReportLatency();
  });
}

void MAudioPlugin::InitProcessing()
{
  if (m_mirror)
    return;
  MHostCallShield::Run("MAudioPlugin::InitProcessing", [&] {
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    m_setUpRefused = false;
    SnapshotLayout(true);
    m_effectiveSampleRate = m_block.factor * m_sampleRate;
    const std::int32_t inBuses = m_block.inBuses;
    const std::int32_t outBuses = m_block.outBuses;
    // Blocks longer than announced run in pieces of this length, so nothing grows while
    // processing; a host that announces nothing (or a tiny maximum) still gets usable pieces.
    m_preparedSamples = std::max<std::int32_t>(m_maxBlockSize, kMinPreparedSamples);
    PrepareBuffers(m_preparedSamples, inBuses, outBuses);
    m_preparedLayout = m_block;
    m_preparedRate = m_sampleRate;

    m_bypassLatency = GetLatency();
    m_bypassLines.resize(static_cast<std::size_t>(outBuses) * kPointersPerBus);
    for (MDelayLine& line : m_bypassLines)
      line.Configure(m_bypassLatency);
    m_interpolationReset = true;
    PrepareGainCompensation(m_sampleRate);
  });
  ReportLatency();
}

void MAudioPlugin::SnapshotLayout(bool withInputs) noexcept
{
  const std::int32_t perBus = m_channelsPerBus;
  m_block.perBus = perBus;
  m_block.inBuses = withInputs ? (m_numInputs + perBus - 1) / perBus : 0;
  m_block.outBuses = (m_numOutputs + perBus - 1) / perBus;
  m_block.factor = std::clamp<std::int32_t>(m_oversampling, 1, 16);
  m_block.highQuality = m_oversamplingHighQuality;
}

bool MAudioPlugin::LayoutFitsPreparation() const noexcept
{
  if (m_preparedSamples <= 0)
    return true; // never initialised: the first block sizes the buffers
  const BlockLayout& prepared = m_preparedLayout;
  if (std::max(m_block.inBuses, m_block.outBuses) > std::max(prepared.inBuses, prepared.outBuses) ||
      m_block.perBus > prepared.perBus || m_block.outBuses > prepared.outBuses)
    return false;
  // Resamplers and their buffers exist for the prepared factor, quality and rate only.
  return m_block.factor < 2 ||
         (m_block.factor == prepared.factor && m_block.highQuality == prepared.highQuality &&
          m_sampleRate == m_preparedRate);
}

void MAudioPlugin::PrepareBuffers(std::int32_t samples, std::int32_t inBuses, std::int32_t outBuses)
{
  const std::int32_t buses = std::max(inBuses, outBuses);
  const std::int32_t perBus = m_block.perBus;
  ResizePointers(m_inputPointers, buses);
  ResizePointers(m_outputPointers, buses);
  ResizePointers(m_chunkInputs, buses);
  ResizePointers(m_chunkOutputs, buses);
  ResizePointers(m_internalPointers, buses);
  ResizePointers(m_highInputPointers, buses);
  ResizePointers(m_highOutputPointers, buses);
  ResizePointers(m_pieceInputs, buses);
  ResizePointers(m_pieceOutputs, buses);
  const std::size_t slots = static_cast<std::size_t>(buses) * kPointersPerBus;
  if (m_internal.size() < slots)
    m_internal.resize(slots);
  m_inputScratch.Ensure(samples);
  m_outputScratch.Ensure(samples);
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    for (std::int32_t channel = 0; channel < perBus; ++channel)
      m_internal[static_cast<std::size_t>(bus * kPointersPerBus + channel)].Ensure(samples);
  }

  const std::int32_t factor = m_block.factor;
  if (factor >= 2)
  {
    if (m_highInputs.size() < slots)
      m_highInputs.resize(slots);
    if (m_highOutputs.size() < slots)
      m_highOutputs.resize(slots);
    for (std::int32_t bus = 0; bus < buses; ++bus)
    {
      for (std::int32_t channel = 0; channel < perBus; ++channel)
      {
        const std::size_t index = static_cast<std::size_t>(bus * kPointersPerBus + channel);
        m_highInputs[index].Ensure(samples * factor);
        m_highOutputs[index].Ensure(samples * factor);
      }
    }
    ConfigureResamplers();
  }
}

void MAudioPlugin::ConfigureResamplers()
{
  const std::size_t slots =
      static_cast<std::size_t>(std::max(m_block.inBuses, m_block.outBuses)) * kPointersPerBus;
  if (m_upsamplers.size() < slots)
    m_upsamplers.resize(slots);
  if (m_downsamplers.size() < slots)
    m_downsamplers.resize(slots);
  const std::int32_t factor = m_block.factor;
  const bool highQuality = m_block.highQuality;
  const double rate = m_sampleRate;
  for (std::size_t i = 0; i < slots; ++i)
  {
    if (!m_upsamplers[i].Matches(factor, highQuality, rate))
      m_upsamplers[i].Configure(factor, highQuality, rate);
    if (!m_downsamplers[i].Matches(factor, highQuality, rate))
      m_downsamplers[i].Configure(factor, highQuality, rate);
  }
}

// ---- the host block ------------------------------------------------------------------------------

void MAudioPlugin::ClearOutputs(float* const* outputs, std::int32_t buses, std::int32_t samples) noexcept
{
  const std::int32_t perBus = m_channelsPerBus;
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    for (std::int32_t channel = 0; channel < perBus; ++channel)
    {
      if (float* out = outputs[bus * kPointersPerBus + channel]; out != nullptr)
        ZeroSamples(out, samples);
    }
  }
}

void MAudioPlugin::Process(float* const* inputs, float* const* outputs, std::int32_t samples, bool replacing)
{
  MHostCallShield::Run("MAudioPlugin::Process", [&] {
    // Zero frames, or a count no host sends (it would overflow the oversampled length), do nothing.
    if (outputs == nullptr || samples <= 0 || samples > kMaxBlockSamples)
      return;
    // Both locks are only tried: a thread that holds either is re-initialising, so the block is
    // skipped rather than waited for, and hands back silence instead of whatever the host's
    // buffers held. So is every block while the set-up is refused.
    MTryLockGuard processing(m_processingLock);
    MTryLockGuard buffers(m_bufferLock);
    if (!processing.IsLocked() || !buffers.IsLocked() || m_setUpRefused)
    {
      if (replacing)
        ClearOutputs(outputs, GetNumOutputBuses(), samples);
      return;
    }
    MDenormalGuard denormals;
    const std::int32_t piece = m_preparedSamples;
    if (piece <= 0 || samples <= piece)
      ProcessLocked(inputs, outputs, samples, replacing);
    else
      ProcessPieces(inputs, outputs, samples, replacing, piece);
    m_pieceOffset = 0;
    m_lastPiece = true;
  });
}

void MAudioPlugin::ProcessPieces(float* const* inputs, float* const* outputs, std::int32_t samples,
                                 bool replacing, std::int32_t piece)
{
  SnapshotLayout(inputs != nullptr);
  if (!LayoutFitsPreparation())
  {
    if (replacing)
      ClearOutputs(outputs, m_block.outBuses, samples);
    return;
  }
  const std::int32_t inSlots = m_block.inBuses * kPointersPerBus;
  const std::int32_t outSlots = m_block.outBuses * kPointersPerBus;
  // Sized at initialisation for this layout (checked above): nothing grows here.
  PrepareBuffers(piece, m_block.inBuses, m_block.outBuses);
  const double start = m_transport.songPosition;
  const double beatsPerSample =
      m_wantsTimeInfo && m_sampleRate > 0.0 ? m_transport.tempo / (m_sampleRate * 60.0) : 0.0;
  for (std::int32_t done = 0; done < samples; done += piece)
  {
    const std::int32_t length = std::min(piece, samples - done);
    for (std::int32_t i = 0; i < inSlots; ++i)
      m_pieceInputs[static_cast<std::size_t>(i)] = inputs[i] != nullptr ? inputs[i] + done : nullptr;
    for (std::int32_t i = 0; i < outSlots; ++i)
      m_pieceOutputs[static_cast<std::size_t>(i)] = outputs[i] != nullptr ? outputs[i] + done : nullptr;
    m_pieceOffset = done;
    m_lastPiece = done + length >= samples;
    if (beatsPerSample > 0.0)
      m_transport.songPosition = start + done * beatsPerSample;
    ProcessLocked(inputs != nullptr ? m_pieceInputs.data() : nullptr, m_pieceOutputs.data(), length,
                  replacing);
  }
}

void MAudioPlugin::ProcessLocked(float* const* inputs, float* const* outputs, std::int32_t samples,
                                 bool replacing)
{
  // One snapshot of the layout for the whole block: a setter on another thread must not change
  // bus counts or the oversampling factor between the sizing of a buffer and its use.
  SnapshotLayout(inputs != nullptr);
  const std::int32_t inBuses = m_block.inBuses;
  const std::int32_t outBuses = m_block.outBuses;
  if (outBuses < 1 || outputs[0] == nullptr)
    return;
  // A layout that outgrew the last InitProcessing (channels, buses or oversampling changed
  // without it) would grow buffers here: the block is silent until the host initialises again.
  if (!LayoutFitsPreparation())
  {
    if (replacing)
      ClearOutputs(outputs, outBuses, samples);
    return;
  }

  // Work on copies of the host's pointer arrays: the repairs below must not write into memory
  // the host owns.
  PrepareBuffers(samples, inBuses, outBuses);
  std::copy(outputs, outputs + outBuses * kPointersPerBus, m_outputPointers.begin());
  if (inBuses > 0)
  {
    std::copy(inputs, inputs + inBuses * kPointersPerBus, m_inputPointers.begin());
    FixAudioBuffers(m_inputPointers.data(), m_usableInputsPerBus, inBuses, true, samples);
  }
  FixAudioBuffers(m_outputPointers.data(), m_usableOutputsPerBus, outBuses, false, samples);

  if (m_bypassed)
  {
    ProcessBypass(inBuses, outBuses, samples);
    BypassedPiece(samples);
    return;
  }

  float** in = inBuses > 0 ? m_inputPointers.data() : nullptr;
  float** out = m_outputPointers.data();
  BeforeBlock(in, out, samples, replacing);
  const bool gainCompensation = IsGainCompensationEnabled();
  if (gainCompensation)
    MeasureGainCompensationInput(in, inBuses, samples);
  if (m_block.factor < 2 || inBuses == 0)
    ProcessDirect(inBuses, outBuses, samples, replacing);
  else
    ProcessOversampled(inBuses, outBuses, samples, replacing);
  if (gainCompensation)
    ApplyGainCompensation(out, outBuses, samples);
  AfterBlock(in, out, samples, replacing);
}

void MAudioPlugin::ProcessDirect(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples,
                                 bool replacing)
{
  float** in = inBuses > 0 ? m_inputPointers.data() : nullptr;
  float** out = m_outputPointers.data();
  const std::int32_t perBus = m_block.perBus;
  if (!replacing)
  {
    if (m_accumulatesItself)
    {
      ProcessBlock(in, out, samples);
      return;
    }
    float** internal = InternalPointers(out, outBuses, samples, false);
    for (std::int32_t bus = 0; bus < outBuses; ++bus)
      for (std::int32_t channel = 0; channel < perBus; ++channel)
        ZeroSamples(internal[bus * kPointersPerBus + channel], samples);
    ProcessBlock(in, internal, samples);
    for (std::int32_t bus = 0; bus < outBuses; ++bus)
    {
      for (std::int32_t channel = 0; channel < perBus; ++channel)
      {
        const std::int32_t index = bus * kPointersPerBus + channel;
        const float* source = internal[index];
        float* target = out[index];
        MVector::AddFloatsInPlace(source, target, samples);
      }
    }
    return;
  }

  const bool inPlace = in != nullptr && in[0] == out[0];
  // Zeroing the outputs of an in-place call would also wipe the inputs, so a plug-in that
  // accumulates itself always gets a copy then.
  if (inPlace && (m_needsInputCopy || IsChannelModeActive() || m_accumulatesItself))
    in = InternalPointers(in, inBuses, samples, true);
  if (m_accumulatesItself)
    ClearOutputs(out, outBuses, samples);
  ProcessBlock(in, out, samples);
}

float** MAudioPlugin::InternalPointers(float** source, std::int32_t buses, std::int32_t samples, bool copy)
{
  const std::int32_t perBus = m_block.perBus;
  float** internal = m_internalPointers.data();
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    for (std::int32_t channel = 0; channel < kPointersPerBus; ++channel)
    {
      const std::int32_t index = bus * kPointersPerBus + channel;
      if (channel >= perBus)
      {
        internal[index] = nullptr;
        continue;
      }
      float* buffer = m_internal[static_cast<std::size_t>(index)].Ensure(samples);
      if (copy)
        MVector::CopyFloats(source[index], buffer, samples);
      internal[index] = buffer;
    }
  }
  return internal;
}

void MAudioPlugin::ProcessBypass(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples)
{
  const std::int32_t perBus = m_block.perBus;
  const std::int32_t common = std::min(inBuses, outBuses);
  for (std::int32_t bus = 0; bus < outBuses; ++bus)
  {
    for (std::int32_t channel = 0; channel < perBus; ++channel)
    {
      const std::int32_t index = bus * kPointersPerBus + channel;
      float* out = m_outputPointers[static_cast<std::size_t>(index)];
      if (bus >= common)
      {
        ZeroSamples(out, samples);
        continue;
      }
      const float* in = m_inputPointers[static_cast<std::size_t>(index)];
      if (static_cast<std::size_t>(index) < m_bypassLines.size())
        m_bypassLines[static_cast<std::size_t>(index)].Process(in, out, samples);
      else if (in != out)
        MVector::CopyFloats(in, out, samples);
    }
  }
}

void MAudioPlugin::ProcessOversampled(std::int32_t inBuses, std::int32_t outBuses, std::int32_t samples,
                                      bool replacing)
{
  const std::int32_t factor = m_block.factor;
  const std::int32_t perBus = m_block.perBus;
  const std::int32_t high = samples * factor;
  ConfigureResamplers();

  for (std::int32_t bus = 0; bus < std::max(inBuses, outBuses); ++bus)
  {
    for (std::int32_t channel = 0; channel < kPointersPerBus; ++channel)
    {
      const std::int32_t index = bus * kPointersPerBus + channel;
      const std::size_t slot = static_cast<std::size_t>(index);
      const bool used = channel < perBus;
      m_highInputPointers[slot] = used && bus < inBuses ? m_highInputs[slot].Ensure(high) : nullptr;
      m_highOutputPointers[slot] = used && bus < outBuses ? m_highOutputs[slot].Ensure(high) : nullptr;
      if (m_highInputPointers[slot] != nullptr)
        m_upsamplers[slot].Upsample(m_inputPointers[slot], m_highInputPointers[slot], samples);
    }
  }

  ProcessBlock(m_highInputPointers.data(), m_highOutputPointers.data(), high);

  const double clip = GetOutputClipLevel();
  for (std::int32_t bus = 0; bus < outBuses; ++bus)
  {
    for (std::int32_t channel = 0; channel < perBus; ++channel)
    {
      const std::size_t slot = static_cast<std::size_t>(bus * kPointersPerBus + channel);
      float* out = m_outputPointers[slot];
      m_downsamplers[slot].Downsample(m_highOutputPointers[slot], out, samples, !replacing);
      if (clip >= 0.0)
      {
        const float level = static_cast<float>(clip);
        for (std::int32_t i = 0; i < samples; ++i)
          out[i] = std::clamp(out[i], -level, level);
      }
    }
  }
}

void MAudioPlugin::FixAudioBuffers(float** pointers, std::int32_t usable, std::int32_t buses, bool isInput,
                                   std::int32_t samples)
{
  float* scratch = isInput ? m_inputScratch.EnsureZeroed(samples) : m_outputScratch.Ensure(samples);
  const std::int32_t perBus = m_block.perBus;
  const bool wholeBus = usable < 1 || usable >= perBus;
  const std::int32_t filled = wholeBus ? perBus : usable;
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    float** channels = pointers + bus * kPointersPerBus;
    if (channels[0] == nullptr)
    {
      for (std::int32_t channel = 0; channel < perBus; ++channel)
        channels[channel] = scratch;
      continue;
    }
    for (std::int32_t channel = 1; channel < filled; ++channel)
    {
      if (channels[channel] == nullptr)
        channels[channel] = channels[channel - 1];
    }
    if (wholeBus)
      continue;
    // A mono input on a stereo bus is seen as dual mono: the second channel reads the first.
    // (Pointing at it instead of copying it into the shared scratch keeps buses apart.)
    if (isInput && usable == 1 && perBus == 2)
    {
      channels[1] = channels[0];
      continue;
    }
    for (std::int32_t channel = usable; channel < perBus; ++channel)
      channels[channel] = scratch;
  }
}

void MAudioPlugin::ProcessBlock(float** inputs, float** outputs, std::int32_t samples)
{
  StartOfBlock(inputs, outputs, samples);
  const bool channelMode = IsChannelModeActive();
  if (channelMode)
    ChannelModeEncode(inputs, outputs, samples);

  std::int32_t chunk = m_blockLimit;
  const std::int32_t modulation = m_modulationLimit;
  bool interpolating = false;
  if (modulation < samples)
  {
    interpolating = InterpolationPrepare(samples);
    if (interpolating && modulation <= chunk)
      chunk = modulation;
  }
  if (chunk < 1)
    chunk = 256;

  const std::int32_t inBuses = inputs != nullptr ? m_block.inBuses : 0;
  const std::int32_t outBuses = m_block.outBuses;
  if (chunk < samples)
  {
    const std::size_t inSlots = static_cast<std::size_t>(inBuses) * kPointersPerBus;
    const std::size_t outSlots = static_cast<std::size_t>(outBuses) * kPointersPerBus;
    float** chunkIn = inputs != nullptr ? m_chunkInputs.data() : nullptr;
    float** chunkOut = m_chunkOutputs.data();
    if (chunkIn != nullptr)
      std::copy(inputs, inputs + inSlots, chunkIn);
    std::copy(outputs, outputs + outSlots, chunkOut);

    const bool timed = m_wantsTimeInfo;
    double position = timed ? m_transport.songPosition : 0.0;
    const double beatsPerSample =
        timed && m_effectiveSampleRate > 0.0 ? m_transport.tempo / (m_effectiveSampleRate * 60.0) : 0.0;
    std::int32_t remaining = samples;
    while (true)
    {
      const std::int32_t length = std::min(chunk, remaining);
      m_transport.songPosition = position;
      ProcessChunk(chunkIn, chunkOut, length);
      remaining -= length;
      if (remaining <= 0)
        break;
      position += length * beatsPerSample;
      if (interpolating)
        InterpolationProcess(length);
      for (std::size_t i = 0; chunkIn != nullptr && i < inSlots; ++i)
        chunkIn[i] = chunkIn[i] != nullptr ? chunkIn[i] + length : nullptr;
      for (std::size_t i = 0; i < outSlots; ++i)
        chunkOut[i] = chunkOut[i] != nullptr ? chunkOut[i] + length : nullptr;
    }
  }
  else
    ProcessChunk(inputs, outputs, samples);

  if (interpolating)
    InterpolationFinish();
  if (channelMode)
    ChannelModeDecode(inputs, outputs, samples);

  if (m_differenceOutput && inputs != nullptr)
  {
    const std::int32_t buses = std::min(inBuses, outBuses);
    const std::int32_t active = ActiveChannels(m_usableOutputsPerBus);
    for (std::int32_t bus = 0; bus < buses; ++bus)
    {
      for (std::int32_t channel = 0; channel < active; ++channel)
      {
        const std::int32_t index = bus * kPointersPerBus + channel;
        const float* in = inputs[index];
        float* out = outputs[index];
        // Aliased buffers (in == out) give silence, as the difference of a signal with itself.
        MVector::SubtractFloats(in, out, out, samples);
      }
    }
  }
}
