#pragma once
// Synthetic test signals with known properties, shared by the DSP suites.
// All generators are deterministic: the same arguments give the same samples.

#include <cstdint>
#include <vector>

namespace MTestSignals
{
/// Uniform white noise in [-amplitude, amplitude] from a fixed-seed generator.
std::vector<float> WhiteNoise(std::size_t samples, float amplitude = 1.0f, std::uint32_t seed = 1);

/// A sine of frequencyHz at sampleRateHz, starting at phase 0.
std::vector<float> Sine(std::size_t samples, double frequencyHz, double sampleRateHz, float amplitude = 1.0f);

/// A harmonic tone: partial k (1-based) has amplitude amplitudes[k-1].
std::vector<float> Harmonic(std::size_t samples, double fundamentalHz, double sampleRateHz,
                            const std::vector<double>& amplitudes);

/// Root-mean-square level of samples [begin, end).
double Rms(const std::vector<float>& samples, std::size_t begin, std::size_t end);
} // namespace MTestSignals
