#include "dsp/MLivePitchDetector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
constexpr double kHighestHz = 1200.0;
constexpr double kLowestHz = 60.0;
constexpr double kWindowSeconds = 0.015;
constexpr double kThreshold = 0.15;
constexpr double kWeakThreshold = 0.35;
constexpr double kSilenceRms = 1.0e-3; // -60 dBFS
} // namespace

void MLivePitchDetector::Configure(double sampleRateHz)
{
  const int decimation = std::max(1, static_cast<int>(std::lround(sampleRateHz / 22050.0)));
  const double rate = sampleRateHz / decimation;
  const int minLag = std::max(2, static_cast<int>(std::floor(rate / kHighestHz)));
  const int maxLag = std::max(minLag + 2, static_cast<int>(std::ceil(rate / kLowestHz)));
  const int window = std::max(16, static_cast<int>(std::lround(rate * kWindowSeconds)));
  int size = 8;
  while (size < window + maxLag + 2)
    size *= 2;
  // Everything is allocated before anything changes: without the memory the detector stays as it
  // was. The history has room for twice the span one estimate reads, so it moves down only now
  // and then.
  std::vector<float> history(static_cast<std::size_t>(2 * (window + maxLag + 2)), 0.0f);
  std::vector<float> difference(static_cast<std::size_t>(maxLag + 2), 1.0f);
  std::vector<float> span(static_cast<std::size_t>(size), 0.0f);
  std::vector<float> window2(static_cast<std::size_t>(size), 0.0f);
  const int fullWindow = window * decimation;
  const int fullMaxLag = (maxLag + 2) * decimation;
  std::vector<float> full(static_cast<std::size_t>(2 * (fullWindow + fullMaxLag + 2)), 0.0f);
  std::vector<float> taper(static_cast<std::size_t>(fullWindow));
  for (int j = 0; j < fullWindow; ++j)
    taper[static_cast<std::size_t>(j)] =
        static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (j + 0.5) / fullWindow));
  if (m_fft.PreparedSize() != size && !m_fft.Prepare(size))
    return;
  m_decimation = decimation;
  m_rate = rate;
  m_minLag = minLag;
  m_maxLag = maxLag;
  m_window = window;
  m_history.swap(history);
  m_difference.swap(difference);
  m_span.swap(span);
  m_window2.swap(window2);
  m_full.swap(full);
  m_taper.swap(taper);
  m_fullMaxLag = fullMaxLag;
  Reset();
}

void MLivePitchDetector::Reset()
{
  std::fill(m_history.begin(), m_history.end(), 0.0f);
  m_filled = 0;
  std::fill(m_full.begin(), m_full.end(), 0.0f);
  m_fullFilled = 0;
  m_accumulator = 0.0f;
  m_accumulated = 0;
  m_lastLag = -1.0;
}

void MLivePitchDetector::Push(const float* input, int samples)
{
  const int capacity = static_cast<int>(m_history.size());
  if (capacity == 0 || input == nullptr)
    return;
  const float scale = 1.0f / static_cast<float>(m_decimation);
  const int fullCapacity = static_cast<int>(m_full.size());
  for (int i = 0; i < samples; ++i)
  {
    // A non-finite sample counts as silence: it would spoil every estimate it reaches.
    const float sample = std::isfinite(input[i]) ? input[i] : 0.0f;
    if (m_fullFilled == fullCapacity)
    {
      const int keep = static_cast<int>(m_taper.size()) + m_fullMaxLag + 1;
      std::copy(m_full.end() - keep, m_full.end(), m_full.begin());
      m_fullFilled = keep;
    }
    m_full[static_cast<std::size_t>(m_fullFilled++)] = sample;
    m_accumulator += sample;
    if (++m_accumulated < m_decimation)
      continue;
    if (m_filled == capacity)
    {
      const int keep = m_window + m_maxLag + 1;
      std::copy(m_history.end() - keep, m_history.end(), m_history.begin());
      m_filled = keep;
    }
    m_history[static_cast<std::size_t>(m_filled++)] = m_accumulator * scale;
    m_accumulator = 0.0f;
    m_accumulated = 0;
  }
}

const float* MLivePitchDetector::Window() const
{
  return m_history.data() + std::max(0, m_filled - m_window);
}

double MLivePitchDetector::Refine(int lag) const
{
  if (lag <= m_minLag || lag >= m_maxLag)
    return lag;
  const double a = m_difference[static_cast<std::size_t>(lag - 1)];
  const double b = m_difference[static_cast<std::size_t>(lag)];
  const double c = m_difference[static_cast<std::size_t>(lag + 1)];
  const double curvature = a - 2.0 * b + c;
  if (!(curvature > 0.0))
    return lag;
  return lag + std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
}

double MLivePitchDetector::RefineFullRate(double lag) const
{
  // The decimated estimate is good to a fraction of a decimated sample, but it moves a little as
  // the window slides over the waveform (its edges cut the period at a different point each
  // time), and a shifter driven by it wobbles. Around it, at the full rate, the difference of the
  // newest window with itself one period earlier under a raised-cosine taper hardly depends on
  // where the edges fall; its lowest point, refined by a parabola, is the period in full-rate
  // samples.
  const int window = static_cast<int>(m_taper.size());
  const double centre = lag * m_decimation;
  // The decimated estimate is within half a decimated sample; one full-rate sample more on each
  // side leaves room for the parabola.
  const int reach = m_decimation / 2 + 1;
  const int lowest = std::max(2, static_cast<int>(std::floor(centre)) - reach);
  const int highest = std::min(m_fullMaxLag - 1, static_cast<int>(std::ceil(centre)) + reach);
  constexpr int kMostLags = 32; // up to decimation 28 (over 600 kHz)
  if (highest - lowest + 1 > kMostLags || highest - lowest < 2 || m_fullFilled < window + highest + 1)
    return centre;
  const float* newest = m_full.data() + m_fullFilled - window;
  double difference[kMostLags] = {};
  int best = 0;
  for (int k = 0; k <= highest - lowest; ++k)
  {
    const float* earlier = newest - (lowest + k);
    float sum = 0.0f;
    for (int j = 0; j < window; ++j)
    {
      const float d = newest[j] - earlier[j];
      sum += m_taper[static_cast<std::size_t>(j)] * d * d;
    }
    difference[k] = sum;
    if (sum < difference[best])
      best = k;
  }
  if (best == 0 || best == highest - lowest)
    return centre;
  const double a = difference[best - 1];
  const double b = difference[best];
  const double c = difference[best + 1];
  const double curvature = a - 2.0 * b + c;
  if (!(curvature > 0.0))
    return lowest + best;
  return lowest + best + std::clamp(0.5 * (a - c) / curvature, -0.5, 0.5);
}

double MLivePitchDetector::Estimate()
{
  // The newest window and every earlier one up to one sample beyond the longest period.
  const int spanLength = m_window + m_maxLag + 1;
  if (m_filled < spanLength || m_rate <= 0.0)
    return -1.0;
  const float* newest = m_history.data() + m_filled - m_window;
  double energy = 0.0;
  for (int j = 0; j < m_window; ++j)
    energy += static_cast<double>(newest[j]) * newest[j];
  if (energy < kSilenceRms * kSilenceRms * m_window)
  {
    m_lastLag = -1.0;
    return -1.0;
  }

  // The normalised difference for every lag up to the longest period, as the two windows'
  // energies less twice their correlation; the earlier window's energy slides with the lag.
  // c(t) = sum_j w[j] s[j + m] with m = span - window - t, the span s ending with the window w.
  const int size = m_fft.PreparedSize();
  if (size < spanLength + 1)
    return -1.0;
  const float* span = newest + m_window - spanLength;
  std::copy(span, span + spanLength, m_span.begin());
  std::fill(m_span.begin() + spanLength, m_span.end(), 0.0f);
  std::copy(newest, newest + m_window, m_window2.begin());
  std::fill(m_window2.begin() + m_window, m_window2.end(), 0.0f);
  m_fft.Forward(m_span.data());
  m_fft.Forward(m_window2.data());
  // span times the conjugate of the window, bin by bin (DC and Nyquist are real).
  m_span[0] *= m_window2[0];
  m_span[1] *= m_window2[1];
  for (int k = 2; k < size; k += 2)
  {
    const float a = m_span[static_cast<std::size_t>(k)];
    const float b = m_span[static_cast<std::size_t>(k + 1)];
    const float c = m_window2[static_cast<std::size_t>(k)];
    const float d = m_window2[static_cast<std::size_t>(k + 1)];
    m_span[static_cast<std::size_t>(k)] = a * c + b * d;
    m_span[static_cast<std::size_t>(k + 1)] = b * c - a * d;
  }
  m_fft.Inverse(m_span.data());
  const double scale = 1.0 / size;

  double cumulative = 0.0;
  m_difference[0] = 1.0f;
  double earlierEnergy = energy;
  for (int lag = 1; lag <= m_maxLag + 1 && lag < static_cast<int>(m_difference.size()); ++lag)
  {
    const float* earlier = newest - lag;
    const double entering = earlier[0];
    const double leaving = earlier[m_window];
    earlierEnergy = std::max(0.0, earlierEnergy + entering * entering - leaving * leaving);
    const double correlation = m_span[static_cast<std::size_t>(spanLength - m_window - lag)] * scale;
    const double sum = std::max(0.0, energy + earlierEnergy - 2.0 * correlation);
    cumulative += sum;
    m_difference[static_cast<std::size_t>(lag)] =
        cumulative > 0.0 ? static_cast<float>(sum * lag / cumulative) : 1.0f;
  }

  int chosen = -1;
  int deepest = m_minLag;
  for (int lag = m_minLag; lag <= m_maxLag; ++lag)
  {
    const float value = m_difference[static_cast<std::size_t>(lag)];
    if (value < m_difference[static_cast<std::size_t>(deepest)])
      deepest = lag;
    if (chosen < 0 && value < kThreshold)
    {
      // Down to the bottom of this dip.
      chosen = lag;
      while (chosen < m_maxLag && m_difference[static_cast<std::size_t>(chosen + 1)] <
                                      m_difference[static_cast<std::size_t>(chosen)])
        ++chosen;
      break;
    }
  }
  if (chosen < 0)
  {
    if (!(m_difference[static_cast<std::size_t>(deepest)] < kWeakThreshold))
    {
      m_lastLag = -1.0;
      return -1.0;
    }
    chosen = deepest;
  }

  // Stay on the octave of the previous estimate when its period is still nearly as good.
  if (m_lastLag > 0.0)
  {
    for (double factor : {2.0, 0.5})
    {
      const double expected = chosen * factor;
      if (std::abs(m_lastLag - expected) > 0.06 * expected)
        continue;
      int best = static_cast<int>(std::lround(m_lastLag));
      if (best < m_minLag || best > m_maxLag)
        continue;
      for (int lag = std::max(m_minLag, best - 2); lag <= std::min(m_maxLag, best + 2); ++lag)
        if (m_difference[static_cast<std::size_t>(lag)] < m_difference[static_cast<std::size_t>(best)])
          best = lag;
      if (m_difference[static_cast<std::size_t>(best)] <
          m_difference[static_cast<std::size_t>(chosen)] + 0.1f)
        chosen = best;
      break;
    }
  }
  const double lag = RefineFullRate(Refine(chosen));
  m_lastLag = lag / m_decimation;
  return m_rate * m_decimation / lag;
}
