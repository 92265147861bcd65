#include "core/plugin/MFloatBuffer.h"

#include <algorithm>
#include <new>

std::int32_t MFloatBuffer::CapacityFor(std::int32_t count) noexcept
{
  if (count <= 2)
    return count < 0 ? 0 : count;
  std::int32_t capacity = 4;
  while (capacity < count && capacity < (1 << 30))
    capacity <<= 1;
  return capacity < count ? count : capacity;
}

float* MFloatBuffer::Ensure(std::int32_t samples)
{
  if (samples > m_capacity)
  {
    const std::int32_t capacity = CapacityFor(samples);
    m_data = std::make_unique<float[]>(static_cast<std::size_t>(capacity));
    m_capacity = capacity;
  }
  return m_data.get();
}

float* MFloatBuffer::EnsureZeroed(std::int32_t samples)
{
  float* data = Ensure(samples);
  if (samples > 0)
    std::fill(data, data + samples, 0.0f);
  return data;
}

void MDelayLine::Configure(std::int32_t delaySamples)
{
  const std::int32_t delay = std::max<std::int32_t>(delaySamples, 0);
  m_line = delay > 0 ? std::make_unique<float[]>(static_cast<std::size_t>(delay)) : nullptr;
  m_delay = delay;
  Reset();
}

void MDelayLine::Reset() noexcept
{
  if (m_line)
    std::fill(m_line.get(), m_line.get() + m_delay, 0.0f);
  m_position = 0;
}

void MDelayLine::Process(const float* in, float* out, std::int32_t samples) noexcept
{
  if (m_delay == 0)
  {
    if (in != out)
      std::copy(in, in + samples, out);
    return;
  }
  float* line = m_line.get();
  for (std::int32_t i = 0; i < samples; ++i)
  {
    // Read before write, so in-place use (in == out) works sample by sample.
    const float delayed = line[m_position];
    line[m_position] = in[i];
    out[i] = delayed;
    if (++m_position == m_delay)
      m_position = 0;
  }
}
