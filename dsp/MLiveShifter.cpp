#include "dsp/MLiveShifter.h"

#include <algorithm>
#include <cmath>

namespace
{
// The crossfade of a jump without a period, and the shortest and longest voiced one.
constexpr int kUnvoicedFade = 128;
constexpr int kShortestFade = 32;
constexpr int kLongestFade = 1024;
// A tap never reads closer to the newest sample than this (the interpolation looks one
// sample ahead of its point).
constexpr double kMargin = 3.0;
// Samples over which a new ratio replaces the previous one.
constexpr int kRatioRamp = 16;
} // namespace

void MLiveShifter::Configure(int latencySamples, int maxDelaySamples)
{
  const int latency = std::max(4, latencySamples);
  const int maxDelay = std::max(maxDelaySamples, 4 * latency);
  int size = 1;
  while (size < maxDelay + kLongestFade + 8)
    size *= 2;
  // Allocated before anything changes: without the memory the shifter stays as it was.
  std::vector<float> line(static_cast<std::size_t>(size), 0.0f);
  m_latency = latency;
  m_maxDelay = maxDelay;
  m_line.swap(line);
  m_mask = size - 1;
  Reset();
}

void MLiveShifter::Reset()
{
  std::fill(m_line.begin(), m_line.end(), 0.0f);
  m_write = 0;
  m_delay = m_latency;
  m_ratio = 1.0;
  m_fading = false;
}

void MLiveShifter::Feed(const float* input, int samples)
{
  if (m_line.empty())
    return;
  for (int i = 0; i < samples; ++i)
  {
    m_line[static_cast<std::size_t>(m_write)] = std::isfinite(input[i]) ? input[i] : 0.0f;
    m_write = (m_write + 1) & m_mask;
  }
}

float MLiveShifter::Read(double delay) const
{
  // Cubic (Catmull-Rom) interpolation between the two samples around the point `delay`
  // samples before the newest one.
  const double position = static_cast<double>(m_write - 1) - delay;
  const double whole = std::floor(position);
  const auto t = static_cast<float>(position - whole);
  const int i = static_cast<int>(whole);
  const float x0 = m_line[static_cast<std::size_t>((i - 1) & m_mask)];
  const float x1 = m_line[static_cast<std::size_t>(i & m_mask)];
  const float x2 = m_line[static_cast<std::size_t>((i + 1) & m_mask)];
  const float x3 = m_line[static_cast<std::size_t>((i + 2) & m_mask)];
  const float c1 = 0.5f * (x2 - x0);
  const float c2 = x0 - 2.5f * x1 + 2.0f * x2 - 0.5f * x3;
  const float c3 = 0.5f * (x3 - x0) + 1.5f * (x1 - x2);
  return ((c3 * t + c2) * t + c1) * t + x1;
}

void MLiveShifter::StartJump(double target, int length)
{
  m_fading = true;
  m_fadeDelay = std::clamp(target, kMargin, static_cast<double>(m_maxDelay));
  m_fadePosition = 0;
  m_fadeLength = std::max(1, length);
}

void MLiveShifter::Process(const float* input, float* output, int samples, double ratio, double periodSamples,
                           float dryGain, float wetGain)
{
  if (m_line.empty() || input == nullptr || output == nullptr || samples < 1)
    return;
  if (!(ratio > 0.25 && ratio < 4.0))
    ratio = 1.0;
  const bool voiced = periodSamples > 2.0 && periodSamples < m_maxDelay / 2;
  const double period = voiced ? periodSamples : 0.0;
  const int fade = voiced ? std::clamp(static_cast<int>(period), kShortestFade, kLongestFade) : kUnvoicedFade;
  // A new ratio takes over within a few samples: it is the newest estimate, and spreading it over
  // the whole call would apply it half a call late (the read point's speed changes without a
  // jump either way).
  const int ramp = std::min(samples, kRatioRamp);
  const double startRatio = m_ratio;
  const double step = (ratio - startRatio) / ramp;
  // Where the read point may go while voiced: the lowest point still leaves a whole crossfade of
  // travel before the newest sample at the fastest ratio of the call; the highest leaves room for
  // the jump one period back.
  const double fastest = std::max(0.0, std::max(startRatio, ratio) - 1.0);
  const double low = std::max(m_latency - 0.5 * period, kMargin + fade * fastest + 1.0);
  const double high = std::max(m_latency + 0.5 * period, low + period);
  for (int i = 0; i < samples; ++i)
  {
    const float x = std::isfinite(input[i]) ? input[i] : 0.0f;
    m_line[static_cast<std::size_t>(m_write)] = x;
    m_write = (m_write + 1) & m_mask;
    const double r = i < ramp ? startRatio + step * (i + 1) : ratio;
    const double drift = 1.0 - r;

    if (!m_fading)
    {
      if (voiced)
      {
        if (m_delay < low)
          StartJump(m_delay + period * std::ceil((low - m_delay) / period), fade);
        else if (m_delay > high)
          StartJump(m_delay - period * std::ceil((m_delay - high) / period), fade);
      }
      else if (std::abs(m_delay - m_latency) > 0.01)
        StartJump(m_latency, kUnvoicedFade);
    }

    m_delay = std::clamp(m_delay + drift, kMargin, static_cast<double>(m_maxDelay));
    float wet = Read(m_delay);
    if (m_fading)
    {
      m_fadeDelay = std::clamp(m_fadeDelay + drift, kMargin, static_cast<double>(m_maxDelay));
      // Smoothstep: as smooth at both ends as a raised cosine, without a cosine per sample.
      const float t = static_cast<float>(m_fadePosition + 1) / static_cast<float>(m_fadeLength);
      const float g = t * t * (3.0f - 2.0f * t);
      wet += g * (Read(m_fadeDelay) - wet);
      if (++m_fadePosition >= m_fadeLength)
      {
        m_fading = false;
        m_delay = voiced || std::abs(m_fadeDelay - m_latency) > 0.5 ? m_fadeDelay : m_latency;
      }
    }
    const float dry =
        dryGain != 0.0f ? m_line[static_cast<std::size_t>((m_write - 1 - m_latency) & m_mask)] : 0.0f;
    output[i] = dryGain * dry + wetGain * wet;
  }
  m_ratio = ratio;
}
