#include "framework/MChannelModes.h"

#include "base/MString.h"
#include "vector/MVector.h"

#include <algorithm>
#include <utility>

namespace
{
const MChannelModes::Info kModes[MChannelModes::kModeCount] = {
    {"Left + Right", "Left + Right", "L+R", "Default setting for stereo (or mono) processing.", 2, 2},
    {"Left", "Left", "L", "Processes the left channel only.", 1, 2},
    {"Right", "Right", "R", "Processes the right channel only.", 1, 2},
    {"Mono", "Mid", "M", "Processes mono content.", 1, 2},
    {"Stereo", "Side", "S", "Processes stereo content.", 1, 2},
    {"Mono + Stereo", "Mid + Side", "M+S", "Processes mono & stereo contents separately.", 2, 2},
    {"Left + Right (neg)", "Left + Right (neg)", "L+R-",
     "Processes both channels, but inverts the right one.", 2, 2},
    {"Surround", "Surround", "7.1", "Surround processing of up to 8 channels.", 8, 8},
};

bool IsMidSide(std::int32_t mode)
{
  return mode >= 3 && mode <= 5;
}
} // namespace

const MChannelModes::Info& MChannelModes::GetInfo(std::int32_t mode) noexcept
{
  return kModes[mode >= 0 && mode < kModeCount ? mode : 0];
}

std::int32_t MChannelModes::FindByName(const MString& name)
{
  for (std::int32_t mode = 0; mode < kModeCount; ++mode)
    if (MString::FromLiteral(kModes[mode].name).EqualsName(name))
      return mode;
  return 0;
}

void MChannelModes::Configure(std::int32_t mode, const bool surroundEnabled[kMaxChannels],
                              std::int32_t latency)
{
  m_mode = mode >= 0 && mode < kModeCount ? mode : 0;
  m_processed = GetInfo(m_mode).processedChannels;
  std::int32_t enabled = 0;
  for (std::int32_t channel = 0; channel < kMaxChannels; ++channel)
  {
    m_enabled[static_cast<std::size_t>(channel)] = surroundEnabled[channel];
    enabled += surroundEnabled[channel] ? 1 : 0;
  }
  if (m_mode == kSurround)
  {
    // With every channel switched off the effect still needs one: the first is processed.
    if (enabled == 0)
    {
      m_enabled[0] = true;
      enabled = 1;
    }
    m_processed = std::min(kMaxChannels, enabled);
  }
  m_latency = std::max(0, latency);
  for (MDelayLine& delay : m_delays)
  {
    if (delay.Delay() != m_latency)
      delay.Configure(m_latency);
  }
}

bool MChannelModes::IsActive(std::int32_t inputChannels) const noexcept
{
  if (m_mode == kSurround)
    return inputChannels > 2;
  return m_mode != 0 && inputChannels == 2;
}

void MChannelModes::PassThrough(std::int32_t slot, const float* input, float* output,
                                std::int32_t samples) noexcept
{
  MDelayLine& delay = m_delays[static_cast<std::size_t>(slot)];
  if (delay.Delay() > 0)
    delay.Process(input, output, samples);
  else if (input != output)
    MVector::CopyFloats(input, output, samples);
}

void MChannelModes::Encode(float** inputs, float** outputs, std::int32_t inputChannels,
                           std::int32_t outputChannels, std::int32_t samples) noexcept
{
  m_encoded = false;
  m_swapped = false;
  m_compacted = false;
  if (inputs == nullptr || outputs == nullptr)
    return;
  m_inputChannels = std::clamp(inputChannels, 0, kMaxChannels);
  m_outputChannels = std::clamp(outputChannels, 0, kMaxChannels);

  if (m_mode == kSurround)
  {
    std::int32_t enabled = 0;
    for (std::int32_t channel = 0; channel < m_outputChannels; ++channel)
      enabled += m_enabled[static_cast<std::size_t>(channel)] ? 1 : 0;
    if (enabled == m_outputChannels)
      return;
    std::copy(inputs, inputs + kMaxChannels, m_savedInputs.begin());
    std::copy(outputs, outputs + kMaxChannels, m_savedOutputs.begin());
    std::int32_t next = 0;
    for (std::int32_t channel = 0; channel < m_outputChannels; ++channel)
    {
      if (!m_enabled[static_cast<std::size_t>(channel)])
        continue;
      inputs[next] = m_savedInputs[static_cast<std::size_t>(channel)];
      outputs[next] = m_savedOutputs[static_cast<std::size_t>(channel)];
      ++next;
    }
    m_compacted = true;
    m_encoded = true;
    return;
  }

  float* left = inputs[0];
  float* right = inputs[1];
  if (left == nullptr || right == nullptr || left == right || outputs[0] == outputs[1])
    return;
  m_encoded = true;
  // The host's input buffers are read-only to us (another track or send may read them after
  // us): the encoded pair goes to the outputs, which the effect then processes in place, and
  // Decode points the inputs back at the host's buffers.
  m_hostInputs = {left, right};
  float* first = outputs[0];
  float* second = outputs[1];
  if (IsMidSide(m_mode))
  {
    for (std::int32_t i = 0; i < samples; ++i)
    {
      const float l = left[i];
      const float r = right[i];
      first[i] = (l + r) * 0.5f;
      second[i] = (l - r) * 0.5f;
    }
    inputs[0] = first;
    inputs[1] = second;
  }
  else if (m_mode == 6)
  {
    for (std::int32_t i = 0; i < samples; ++i)
      second[i] = -right[i];
    inputs[1] = second;
  }
  if (m_mode == 2 || m_mode == 4)
  {
    std::swap(inputs[0], inputs[1]);
    std::swap(outputs[0], outputs[1]);
    m_swapped = true;
  }
}

void MChannelModes::Decode(float** inputs, float** outputs, std::int32_t samples) noexcept
{
  if (!m_encoded)
    return;
  m_encoded = false;

  if (m_compacted)
  {
    std::copy(m_savedInputs.begin(), m_savedInputs.end(), inputs);
    std::copy(m_savedOutputs.begin(), m_savedOutputs.end(), outputs);
    m_compacted = false;
    for (std::int32_t channel = 0; channel < m_outputChannels; ++channel)
    {
      const std::size_t slot = static_cast<std::size_t>(channel);
      if (m_enabled[slot] || outputs[slot] == nullptr)
        continue;
      if (channel < m_inputChannels && inputs[slot] != nullptr)
        PassThrough(channel, inputs[slot], outputs[slot], samples);
      else
        MVector::ZeroFloats(outputs[slot], samples);
    }
    return;
  }

  // One processed channel: the effect wrote the first output; the pair's other channel (right,
  // left after the swap, side, or mid after the swap) sits at index 1.
  if (m_mode >= 1 && m_mode <= 4)
    PassThrough(1, inputs[1], outputs[1], samples);
  if (m_swapped)
  {
    std::swap(inputs[0], inputs[1]);
    std::swap(outputs[0], outputs[1]);
    m_swapped = false;
  }
  inputs[0] = m_hostInputs[0];
  inputs[1] = m_hostInputs[1];
  if (IsMidSide(m_mode))
  {
    float* mid = outputs[0];
    float* side = outputs[1];
    for (std::int32_t i = 0; i < samples; ++i)
    {
      const float m = mid[i];
      const float s = side[i];
      mid[i] = m + s;
      side[i] = m - s;
    }
  }
}
