#include "core/plugin/MOversampler.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace
{
// Modified Bessel function of the first kind, order 0, by its power series.
double BesselI0(double x)
{
  double sum = 1.0;
  double term = 1.0;
  const double half = x * 0.5;
  for (int k = 1; k < 64; ++k)
  {
    term *= (half / k) * (half / k);
    sum += term;
    if (term < sum * 1e-17)
      break;
  }
  return sum;
}

struct Design
{
  double attenuationDb;
  double transition; // transition width as a fraction of the host rate, centred on 0.5
  std::int32_t span; // host samples spanned; the design formula asks for fewer, this is margin
};

// Kaiser's estimate: taps - 1 = (A - 7.95) / (2.285 * dw). With dw = 2 pi * transition / factor
// the span in host samples is (A - 7.95) / (2.285 * 2 pi * transition): 71 for the long filter
// and 31 for the short one; 80 and 32 leave room for float rounding of the taps.
constexpr Design kLong{110.0, 0.10, 80};
constexpr Design kShort{80.0, 0.16, 32};

float Dot(const float* a, const float* b, std::int32_t n) noexcept
{
  float sum = 0.0f;
  MVector::DotProduct(a, b, n, &sum);
  return sum;
}
} // namespace

std::int32_t MOversampler::LatencyFor(std::int32_t factor, bool longFilter) noexcept
{
  if (factor < 2)
    return 0;
  factor = std::min<std::int32_t>(factor, 16);
  return (longFilter ? 6144 : 1536) / factor;
}

bool MOversampler::Matches(std::int32_t factor, bool highQuality, double hostRate) const noexcept
{
  const std::int32_t effective = factor < 2 ? 1 : std::min<std::int32_t>(factor, 16);
  return effective == m_factor && highQuality == m_highQuality && hostRate == m_hostRate;
}

void MOversampler::Configure(std::int32_t factor, bool highQuality, double hostRate)
{
  m_factor = factor < 2 ? 1 : std::min<std::int32_t>(factor, 16);
  m_highQuality = highQuality;
  m_hostRate = hostRate;
  if (m_factor < 2)
  {
    m_taps = m_span = 0;
    m_phases.reset();
    m_prototype.reset();
    m_upRing.reset();
    m_downRing.reset();
    m_padding.Configure(0);
    return;
  }

  const Design& design = highQuality ? kLong : kShort;
  const std::int32_t f = m_factor;
  m_span = design.span;
  m_taps = m_span * f + 1;

  // Windowed sinc with its cut-off at half the host rate (0.5 / f of the oversampled rate).
  const double beta = 0.1102 * (design.attenuationDb - 8.7);
  const double centre = 0.5 * (m_taps - 1);
  const double cutoff = 0.5 / f;
  std::vector<double> h(static_cast<std::size_t>(m_taps));
  double sum = 0.0;
  for (std::int32_t n = 0; n < m_taps; ++n)
  {
    const double t = n - centre;
    const double x = 2.0 * cutoff * t;
    const double sinc = t == 0.0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double r = t / centre;
    const double window = BesselI0(beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / BesselI0(beta);
    h[static_cast<std::size_t>(n)] = 2.0 * cutoff * sinc * window;
    sum += h[static_cast<std::size_t>(n)];
  }

  m_prototype = std::make_unique<float[]>(static_cast<std::size_t>(m_taps));
  for (std::int32_t n = 0; n < m_taps; ++n)
    m_prototype[static_cast<std::size_t>(n)] = static_cast<float>(h[static_cast<std::size_t>(n)] / sum);

  // Phase p of the upsampler produces output j*f + p = f * sum_k h[p + k f] x[j - k]. Stored in
  // ring order (oldest input first), scaled by f so that each phase has unity gain at DC.
  const std::int32_t phaseTaps = m_span + 1;
  m_phases = std::make_unique<float[]>(static_cast<std::size_t>(f * phaseTaps));
  for (std::int32_t p = 0; p < f; ++p)
  {
    for (std::int32_t k = 0; k < phaseTaps; ++k)
    {
      const std::int32_t n = p + k * f;
      const double tap = n < m_taps ? f * h[static_cast<std::size_t>(n)] / sum : 0.0;
      m_phases[static_cast<std::size_t>(p * phaseTaps + (phaseTaps - 1 - k))] = static_cast<float>(tap);
    }
  }

  m_upRing = std::make_unique<float[]>(static_cast<std::size_t>(2 * phaseTaps));
  m_downRing = std::make_unique<float[]>(static_cast<std::size_t>(2 * m_taps));
  // The filters delay by span host samples; the rest of the reported latency is plain delay.
  m_padding.Configure(GetLatency() - m_span);
  Reset();
}

void MOversampler::Reset() noexcept
{
  if (m_upRing)
    std::fill(m_upRing.get(), m_upRing.get() + 2 * (m_span + 1), 0.0f);
  if (m_downRing)
    std::fill(m_downRing.get(), m_downRing.get() + 2 * m_taps, 0.0f);
  m_upPosition = m_downPosition = 0;
  m_padding.Reset();
}

void MOversampler::Upsample(const float* in, float* out, std::int32_t hostSamples) noexcept
{
  if (m_factor < 2)
  {
    std::copy(in, in + std::max<std::int32_t>(hostSamples, 0), out);
    return;
  }
  const std::int32_t length = m_span + 1;
  float* ring = m_upRing.get();
  for (std::int32_t j = 0; j < hostSamples; ++j)
  {
    // Mirrored ring: each sample is written twice, so the newest `length` samples are always
    // contiguous, oldest first, starting at the next write position.
    const float x = m_padding.Tick(in[j]);
    ring[m_upPosition] = x;
    ring[m_upPosition + length] = x;
    if (++m_upPosition == length)
      m_upPosition = 0;
    const float* window = ring + m_upPosition;
    for (std::int32_t p = 0; p < m_factor; ++p)
      out[j * m_factor + p] = Dot(m_phases.get() + p * length, window, length);
  }
}

void MOversampler::Downsample(const float* in, float* out, std::int32_t hostSamples, bool accumulate) noexcept
{
  if (m_factor < 2)
  {
    for (std::int32_t i = 0; i < hostSamples; ++i)
      out[i] = accumulate ? out[i] + in[i] : in[i];
    return;
  }
  float* ring = m_downRing.get();
  for (std::int32_t m = 0; m < hostSamples; ++m)
  {
    float value = 0.0f;
    for (std::int32_t p = 0; p < m_factor; ++p)
    {
      const float y = in[m * m_factor + p];
      ring[m_downPosition] = y;
      ring[m_downPosition + m_taps] = y;
      if (++m_downPosition == m_taps)
        m_downPosition = 0;
      // Output m is the filter centred on oversampled sample m * f: taken right after it.
      if (p == 0)
        value = Dot(m_prototype.get(), ring + m_downPosition, m_taps);
    }
    out[m] = accumulate ? out[m] + value : value;
  }
}
