#include "tests/support/MTestSignals.h"

#include <cmath>
#include <numbers>

namespace MTestSignals
{
std::vector<float> WhiteNoise(std::size_t samples, float amplitude, std::uint32_t seed)
{
  std::vector<float> out(samples);
  std::uint32_t state = seed;
  for (float& s : out)
  {
    // xorshift32: cheap, deterministic and good enough for a test signal.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    s = amplitude * (static_cast<float>(state >> 8) / 8388608.0f - 1.0f);
  }
  return out;
}

std::vector<float> Sine(std::size_t samples, double frequencyHz, double sampleRateHz, float amplitude)
{
  return Harmonic(samples, frequencyHz, sampleRateHz, {static_cast<double>(amplitude)});
}

std::vector<float> Harmonic(std::size_t samples, double fundamentalHz, double sampleRateHz,
                            const std::vector<double>& amplitudes)
{
  std::vector<float> out(samples);
  const double w = 2.0 * std::numbers::pi * fundamentalHz / sampleRateHz;
  for (std::size_t i = 0; i < samples; ++i)
  {
    double v = 0.0;
    for (std::size_t k = 0; k < amplitudes.size(); ++k)
      v += amplitudes[k] * std::sin(w * static_cast<double>(k + 1) * static_cast<double>(i));
    out[i] = static_cast<float>(v);
  }
  return out;
}

double Rms(const std::vector<float>& samples, std::size_t begin, std::size_t end)
{
  double sum = 0.0;
  for (std::size_t i = begin; i < end; ++i)
    sum += static_cast<double>(samples[i]) * samples[i];
  return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}
} // namespace MTestSignals
