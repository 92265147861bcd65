#pragma once
// MOversampler: one channel's sample-rate conversion around an oversampled effect.
//
// Upsample raises the host rate by an integer factor (2 .. 16; the plug-in uses 2 and 4) and
// Downsample brings the effect's output back. Both are polyphase linear-phase FIR low-pass
// filters (Kaiser-windowed sinc, cut-off at half the host rate, unity gain at DC), so the round
// trip is a pure delay for every frequency in the passband. The round trip's delay is padded
// with a plain delay line up to the fixed latency the plug-in reports:
//
//   high quality (long filter)   6144 / factor host samples; passband to 0.45, stopband from
//                                0.55 of the host rate, 110 dB design attenuation
//   standard quality             1536 / factor host samples; passband to 0.42, stopband from
//                                0.58 of the host rate, 80 dB design attenuation
//
// Measured with coherent sines (tests/core/MOversamplerTest.cpp; 0.01 .. 0.45 of the host rate
// for high quality, to 0.40 for standard): high quality, factors 2 and 4: round-trip ripple
// below 0.0001 dB, round trip equal to the input delayed by the latency within -105 dB, images
// of the upsampler at -115 dB, aliases of the downsampler at -112 dB. Standard quality: ripple
// 0.0015 dB, delayed copy within -75 dB.
//
// Threads: one channel's object belongs to the audio thread; Configure allocates and is called
// from InitProcessing (or from Process only when the factor, quality or rate changed).
// Upsample/Downsample never allocate and never throw.

#include "core/plugin/MFloatBuffer.h"

#include <cstdint>
#include <memory>

class MOversampler
{
public:
  /// Designs the filters for `factor` (below 2: off; above 16: 16) and clears all history.
  /// `hostRate` is remembered only so that Matches can tell a change. Allocates.
  void Configure(std::int32_t factor, bool highQuality, double hostRate);
  /// True when Configure was called with these arguments.
  bool Matches(std::int32_t factor, bool highQuality, double hostRate) const noexcept;
  /// Clears the filter histories and the padding delay.
  void Reset() noexcept;

  std::int32_t Factor() const noexcept { return m_factor; }
  bool IsHighQuality() const noexcept { return m_highQuality; }
  /// Round-trip latency in host samples (0 when off).
  std::int32_t GetLatency() const noexcept { return LatencyFor(m_factor, m_highQuality); }
  /// 6144 / factor with the long filter, else 1536 / factor; 0 for a factor below 2.
  static std::int32_t LatencyFor(std::int32_t factor, bool longFilter) noexcept;

  /// Reads `hostSamples` samples and writes factor * hostSamples samples. in and out must not
  /// overlap. Without a configured factor it copies.
  void Upsample(const float* in, float* out, std::int32_t hostSamples) noexcept;
  /// Reads factor * hostSamples samples and writes (or, with accumulate, adds) hostSamples.
  void Downsample(const float* in, float* out, std::int32_t hostSamples, bool accumulate) noexcept;

private:
  std::int32_t m_factor = 1;
  bool m_highQuality = true;
  double m_hostRate = 0.0;
  std::int32_t m_taps = 0;              // prototype length N = span * factor + 1
  std::int32_t m_span = 0;              // K: host samples covered by the prototype, its round-trip delay
  std::unique_ptr<float[]> m_phases;    // factor phases of (span + 1) taps, oldest first
  std::unique_ptr<float[]> m_prototype; // N taps (symmetric)
  std::unique_ptr<float[]> m_upRing;    // 2 * (span + 1): mirrored ring of host samples
  std::unique_ptr<float[]> m_downRing;  // 2 * N: mirrored ring of oversampled samples
  std::int32_t m_upPosition = 0;
  std::int32_t m_downPosition = 0;
  MDelayLine m_padding;
};
