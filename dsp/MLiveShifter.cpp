#include "dsp/MLiveShifter.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace
{
// The crossfade of a jump without a period, and the shortest and longest voiced one.
constexpr int kUnvoicedFade = 128;
constexpr int kShortestFade = 32;
constexpr int kLongestFade = 1024;
// The read-back interpolates with a Kaiser-windowed sinc of kTaps taps, tabulated at kPhases + 1
// fractions of a sample (linear between neighbouring rows). Its error stays below -95 dB up to
// a quarter of the rate: a cubic's, which moves with the fraction as the read point drifts,
// puts sidebands between the harmonics of high voices.
constexpr int kTaps = 16;
constexpr int kPhases = 256;
constexpr double kKaiserBeta = 11.0;
// A tap never reads closer to the newest sample than this (the kernel looks kTaps / 2 samples
// ahead of its point).
constexpr double kMargin = kTaps / 2 + 1.0;

// The modified Bessel function of the first kind, order 0 (its series; the window's arguments
// stay below 12, where 40 terms are plenty).
double BesselI0(double x)
{
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k < 40; ++k)
  {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
  }
  return sum;
}
// Samples over which a new ratio replaces the previous one.
constexpr int kRatioRamp = 16;

// The interpolation rows, the same for every shifter: built once, by the first Configure.
const std::vector<float>& InterpolationRows()
{
  static const std::vector<float> rows = [] {
    const double windowAtCentre = BesselI0(kKaiserBeta);
    std::vector<float> kernel(static_cast<std::size_t>((kPhases + 1) * kTaps));
    for (int phase = 0; phase <= kPhases; ++phase)
    {
      // Row `phase` weighs the samples i - kTaps/2 + 1 .. i + kTaps/2 for the point i + phase / kPhases.
      const double fraction = static_cast<double>(phase) / kPhases;
      float* row = kernel.data() + static_cast<std::ptrdiff_t>(phase) * kTaps;
      double sum = 0.0;
      for (int k = 0; k < kTaps; ++k)
      {
        const double x = k - (kTaps / 2 - 1) - fraction;
        const double a = std::clamp(x / (kTaps / 2), -1.0, 1.0);
        const double window = BesselI0(kKaiserBeta * std::sqrt(1.0 - a * a)) / windowAtCentre;
        const double sinc =
            std::abs(x) < 1.0e-9 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        row[k] = static_cast<float>(window * sinc);
        sum += row[k];
      }
      // Unit gain at DC for every fraction (the rows at whole samples stay exact unit impulses).
      for (int k = 0; k < kTaps; ++k)
        row[k] = static_cast<float>(row[k] / sum);
    }
    return kernel;
  }();
  return rows;
}
} // namespace

void MLiveShifter::Configure(int latencySamples, int maxDelaySamples)
{
  const int latency = std::max(4, latencySamples);
  const int maxDelay = std::max(maxDelaySamples, 4 * latency);
  int size = 1;
  while (size < maxDelay + kLongestFade + kTaps)
    size *= 2;
  // Allocated before anything changes: without the memory the shifter stays as it was. The line
  // is kept twice over, so that the kernel reads a run of consecutive samples without wrapping.
  std::vector<float> line(static_cast<std::size_t>(2 * size), 0.0f);
  m_latency = latency;
  m_maxDelay = maxDelay;
  m_line.swap(line);
  m_kernel = InterpolationRows().data();
  m_size = size;
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
    Write(std::isfinite(input[i]) ? input[i] : 0.0f);
}

void MLiveShifter::Write(float sample)
{
  m_line[static_cast<std::size_t>(m_write)] = sample;
  m_line[static_cast<std::size_t>(m_write + m_size)] = sample;
  m_write = (m_write + 1) & m_mask;
}

float MLiveShifter::Read(double delay) const
{
  // The point `delay` samples before the newest one, from the kTaps samples around it.
  const double position = static_cast<double>(m_write - 1) - delay;
  const double whole = std::floor(position);
  const double phase = (position - whole) * kPhases;
  const int row = std::min(kPhases - 1, static_cast<int>(phase));
  const auto t = static_cast<float>(phase - row);
  const float* a = m_kernel + static_cast<std::ptrdiff_t>(row) * kTaps;
  const float* b = a + kTaps;
  const float* x = m_line.data() + ((static_cast<int>(whole) - (kTaps / 2 - 1)) & m_mask);
  float sum = 0.0f;
  for (int k = 0; k < kTaps; ++k)
    sum += x[k] * (a[k] + t * (b[k] - a[k]));
  return sum;
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
    Write(std::isfinite(input[i]) ? input[i] : 0.0f);
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
