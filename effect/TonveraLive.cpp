// The effect's low-latency path (Live): set-up, the crossfade between the two paths, and the
// per-hop detection that drives the note tracker in place of the frame engine's.

#include "effect/TonveraAudioEffectPlugin.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace
{
// How long the output takes to move from one path to the other.
constexpr double kPathFadeSeconds = 0.03;
// Voices below this are not looked for; the shifters' lines hold two such periods.
constexpr double kLowestVoiceHz = 60.0;
} // namespace

int TonveraAudioEffectPlugin::LiveLatencyForSampleRate(double sampleRate) noexcept
{
  return std::max(4, FrameSizeForSampleRate(sampleRate) / 4);
}

bool TonveraAudioEffectPlugin::IsLive() const noexcept
{
  return m_parameters[kLive].enumeration.value.Load() == 1;
}

void TonveraAudioEffectPlugin::ConfigureLive(int channels, double sampleRate)
{
  // Under the processing lock, from InitProcessing (allocates).
  const int latency = LiveLatencyForSampleRate(sampleRate);
  const int longestPeriod = static_cast<int>(std::ceil(sampleRate / kLowestVoiceHz));
  for (std::size_t c = 0; c < kMaxChannels; ++c)
  {
    if (c < static_cast<std::size_t>(channels))
    {
      if (m_liveShifters[c] == nullptr)
        m_liveShifters[c] = std::make_unique<MLiveShifter>();
      m_liveShifters[c]->Configure(latency, 4 * latency + 2 * longestPeriod);
    }
    else
      m_liveShifters[c].reset();
  }
  m_liveOutput.assign(static_cast<std::size_t>(kMaxChannels * kScratchSamples), 0.0f);
  m_liveDetector.Configure(sampleRate);
  m_liveHop = latency;
  m_liveHopFill = 0;
  m_livePeriod = 0.0;
  m_liveFadeStep = static_cast<float>(1.0 / std::max(1.0, kPathFadeSeconds * sampleRate));
  // A fresh set-up starts on the path the parameter asks for, without a fade.
  const bool live = IsLive();
  m_liveState = live ? LiveState::kLive : LiveState::kNormal;
  m_liveGain = live ? 1.0f : 0.0f;
}

const float* TonveraAudioEffectPlugin::LiveDetectionInput(float** inputs, int offset, int count, int channels)
{
  // The mid signal of a pair (as the frame engine's detector hears it), else channel 0.
  if (channels == 2 && inputs[0] != nullptr && inputs[1] != nullptr)
  {
    MVector::AddFloats(inputs[0] + offset, inputs[1] + offset, m_liveMono.data(), count);
    MVector::MultiplyByScalar(0.5f, m_liveMono.data(), count);
    return m_liveMono.data();
  }
  return inputs[0] != nullptr ? inputs[0] + offset : nullptr;
}

void TonveraAudioEffectPlugin::FeedLive(float** inputs, int offset, int count, int channels)
{
  if (const float* mono = LiveDetectionInput(inputs, offset, count, channels))
    m_liveDetector.Push(mono, count);
  for (int c = 0; c < channels; ++c)
    if (inputs[c] != nullptr && m_liveShifters[static_cast<std::size_t>(c)] != nullptr)
      m_liveShifters[static_cast<std::size_t>(c)]->Feed(inputs[c] + offset, count);
}

void TonveraAudioEffectPlugin::RunLive(float** inputs, int offset, int count, int channels)
{
  // In stretches that end where a detection hop ends: the tracker decides at the end of each
  // hop, and the next stretch moves towards the ratio it found.
  const double rate = m_sampleRate.Load();
  const float dry = static_cast<float>(m_dryGain);
  const float wet = static_cast<float>(m_wetGain);
  for (int done = 0; done < count;)
  {
    const int stretch = std::min(count - done, m_liveHop - m_liveHopFill);
    if (const float* mono = LiveDetectionInput(inputs, offset + done, stretch, channels))
      m_liveDetector.Push(mono, stretch);
    m_liveHopFill += stretch;
    if (m_liveHopFill >= m_liveHop)
    {
      m_liveHopFill = 0;
      const double frequency = m_liveDetector.Estimate();
      m_livePeriod = frequency > 0.0 ? rate / frequency : 0.0;
      if (frequency > 0.0)
        m_tracker.FeedNote(FFTProcessor::NoteOfFrequency(frequency), m_liveHop);
      else
        m_tracker.FeedNote(std::nullopt, m_liveHop);
      const double ratio = m_tracker.OutputNote() >= 0.0
                               ? std::exp2((m_tracker.OutputNote() - m_tracker.InputNote()) / 12.0)
                               : 1.0;
      SetCorrectionRatio(ratio);
      SetDisplayNotes(m_tracker.InputNote(), m_tracker.OutputNote(), m_tracker.ChosenNote());
      m_liveTracking = true;
      m_pieceStart = 0;
      OnTrackedFrame(done + stretch, m_liveDetector.Window(), m_liveDetector.WindowSize());
      m_liveTracking = false;
    }
    const double correction = CorrectionRatio();
    for (int c = 0; c < channels; ++c)
    {
      MLiveShifter* shifter = m_liveShifters[static_cast<std::size_t>(c)].get();
      float* out = m_liveOutput.data() + static_cast<std::ptrdiff_t>(c) * kScratchSamples + done;
      if (inputs[c] == nullptr || shifter == nullptr)
      {
        std::fill(out, out + stretch, 0.0f);
        continue;
      }
      shifter->Process(inputs[c] + offset + done, out, stretch,
                       correction * m_channelRatios[static_cast<std::size_t>(c)], m_livePeriod, dry, wet);
    }
    done += stretch;
  }
}

void TonveraAudioEffectPlugin::ProcessWithLive(float** inputs, float** outputs, std::int32_t samples,
                                               int channels, bool midSide)
{
  const bool wanted = IsLive();
  switch (m_liveState)
  {
  case LiveState::kNormal:
  case LiveState::kToNormal:
    if (wanted)
      m_liveState = LiveState::kToLive;
    break;
  case LiveState::kToLive:
    if (!wanted)
      m_liveState = LiveState::kToNormal;
    break;
  case LiveState::kLive:
    if (!wanted)
    {
      // The frame engine stood still while Live sounded alone: it starts afresh and runs two
      // frames before the output fades back to it.
      for (int c = 0; c < channels; ++c)
        GetCorrector(c).Reset();
      ResetChannelsLocked();
      m_primeRemaining = 2 * GetCorrector(0).FrameSize();
      m_liveState = LiveState::kPriming;
    }
    break;
  case LiveState::kPriming:
    if (wanted)
      m_liveState = LiveState::kLive;
    break;
  }

  if (m_liveState == LiveState::kNormal)
  {
    // Only the history, so that Live starts with a full detection window and delay lines.
    for (std::int32_t done = 0; done < samples; done += kScratchSamples)
      FeedLive(inputs, done, std::min<std::int32_t>(kScratchSamples, samples - done), channels);
    if (midSide)
      ProcessMidSide(inputs, outputs, samples);
    else
      ProcessChannels(inputs, outputs, samples, channels);
    return;
  }
  for (std::int32_t done = 0; done < samples;)
  {
    const int count = std::min<std::int32_t>(kScratchSamples, samples - done);
    m_blockOffset = done; // the paths below see this piece as a block of its own
    float* in[kMaxChannels] = {};
    float* out[kMaxChannels] = {};
    for (int c = 0; c < channels; ++c)
    {
      in[c] = inputs[c] != nullptr ? inputs[c] + done : nullptr;
      out[c] = outputs[c] != nullptr ? outputs[c] + done : nullptr;
    }
    const LiveState state = m_liveState;
    if (state == LiveState::kNormal)
    {
      FeedLive(in, 0, count, channels);
      if (midSide)
        ProcessMidSide(in, out, count);
      else
        ProcessChannels(in, out, count, channels);
      done += count;
      continue;
    }
    // The live path reads the inputs first: the frame engine may write over them (in place).
    RunLive(in, 0, count, channels);
    if (state != LiveState::kLive)
    {
      if (midSide)
        ProcessMidSide(in, out, count);
      else
        ProcessChannels(in, out, count, channels);
    }
    const float target = state == LiveState::kToNormal ? 0.0f : 1.0f;
    const float startGain = m_liveGain;
    bool mixed = false;
    for (int c = 0; c < channels; ++c)
    {
      if (out[c] == nullptr)
        continue;
      mixed = true;
      const float* live = m_liveOutput.data() + static_cast<std::ptrdiff_t>(c) * kScratchSamples;
      if (state == LiveState::kLive && startGain >= 1.0f)
      {
        MVector::CopyFloats(live, out[c], count); // Live alone: nothing to mix
        continue;
      }
      float g = startGain;
      for (int i = 0; i < count; ++i)
      {
        g = target > g ? std::min(target, g + m_liveFadeStep) : std::max(target, g - m_liveFadeStep);
        // While the frame engine is stopped or priming its output is not used at all.
        const float normal = state == LiveState::kLive || state == LiveState::kPriming ? 0.0f : out[c][i];
        out[c][i] = normal + g * (live[i] - normal);
      }
      m_liveGain = g;
    }
    if (!mixed)
    {
      // No output to mix into: the gain still moves as if there were.
      m_liveGain = target > startGain ? std::min(target, startGain + m_liveFadeStep * count)
                                      : std::max(target, startGain - m_liveFadeStep * count);
    }
    if (state == LiveState::kToLive && m_liveGain >= 1.0f)
      m_liveState = LiveState::kLive;
    else if (state == LiveState::kToNormal && m_liveGain <= 0.0f)
      m_liveState = LiveState::kNormal;
    else if (state == LiveState::kPriming)
    {
      m_primeRemaining -= count;
      if (m_primeRemaining <= 0)
        m_liveState = LiveState::kToNormal;
    }
    done += count;
  }
  m_blockOffset = 0;
}
