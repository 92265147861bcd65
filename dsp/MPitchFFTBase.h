#pragma once
// Spectral pitch analysis shared by the corrector and the stand-alone detector.
//
// From one spectrum frame (the vector layer's layout: element 0 DC, element 1 Nyquist,
// then real/imaginary pairs) EstimateBinFrequencies derives, per bin, the magnitude,
// the phase and the true frequency from the phase advance since the previous frame;
// FindPitchBin then picks the bin of the fundamental between 50 and 2000 Hz by
// isolating the spectral peaks, a harmonic product when a weaker peak lies below the
// strongest one, and an octave check.
//
// MaxFrameSize is the largest frame the arrays hold (MaxFrameSize / 2 bins, all
// inside the object). The owner calls SetAnalysisConstants whenever the frame size,
// the oversampling or the sample rate changes, and ResetPhases when a new stream
// starts. Both analysis calls run on the processing thread, allocate nothing and
// never block. Not thread-safe: one owner thread at a time.

#include <cmath>
#include <numbers>

template <int MaxFrameSize>
class MPitchFFTBase
{
public:
  static_assert(MaxFrameSize >= 8 && (MaxFrameSize & (MaxFrameSize - 1)) == 0, "a power of two from 8");

  /// Bins held by the arrays.
  static constexpr int kBins = MaxFrameSize / 2;
  /// Limits of the pitch pick in Hz.
  static constexpr double kLowestPitchHz = 50.0;
  static constexpr double kHighestPitchHz = 2000.0;

  MPitchFFTBase();

  /// Derives the analysis constants for frames of frameSize samples, `oversampling`
  /// frames per frame length (a real number, >= 1) at sampleRateHz: phase step
  /// 2 pi / oversampling, bin width sampleRate / N, lowest bin trunc(N * 50 / rate),
  /// highest bin min(N/2 - 1, trunc(N * 2000 / rate)); zeroes the previous phases.
  /// A non-positive rate or oversampling leaves the constants unchanged.
  void SetAnalysisConstants(double oversampling, double sampleRateHz, int frameSize);

  /// Zeroes the previous phases: the next frame starts a new stream.
  void ResetPhases();

  /// Fills phase and magnitude of all N/2 bins of the spectrum, and the bin frequency
  /// (Hz) of bins firstBin .. min(endBin, N/2) - 1 from their phase advance since the
  /// previous call. Pass firstBin 1 and a very large endBin for all bins.
  void EstimateBinFrequencies(int frameSize, const float* spectrum, int firstBin, int endBin);

  /// The bin of the fundamental according to the magnitudes of the last
  /// EstimateBinFrequencies, or -1 when the largest magnitude is below 1.0 (raw,
  /// unnormalised transform units) or there are no bins. The answer lies within
  /// [lowest bin, highest bin) unless that range is empty.
  int FindPitchBin(int frameSize);

  double AnalysisOversampling() const { return m_oversampling; }
  int LowestBin() const { return m_lowestBin; }
  int HighestBin() const { return m_highestBin; }
  double PhaseStep() const { return m_phaseStep; }
  double BinWidth() const { return m_binWidth; }
  const float* Magnitudes() const { return m_magnitude; }
  const float* Phases() const { return m_phase; }
  const double* BinFrequencies() const { return m_binFrequency; }
  double BinFrequency(int bin) const { return m_binFrequency[bin]; }

protected:
  double m_oversampling = 4.0;
  int m_lowestBin = 0;
  int m_highestBin = 0;
  float m_magnitude[kBins];
  float m_phase[kBins];
  float m_scratch[kBins];
  double m_binFrequency[kBins];
  // Phases of the previous frame; float, like the phases they are subtracted from.
  float m_previousPhase[kBins];
  // The advance a partial at the centre of bin k makes in one hop, k * phase step,
  // reduced to -pi .. pi in double when the constants change, so that the per-frame
  // arithmetic can run in float without losing the precision of large angles.
  float m_expectedAdvance[kBins];
  double m_phaseStep = 2.0 * std::numbers::pi / 4.0;
  double m_binWidth = 0.0;

private:
  void UpdateExpectedAdvance();
  // Both work on the scratch copy and make it exact for bins below `limit` only.
  void IsolatePeaks(int half, float floor, int limit);
  int HarmonicProduct(int half, int lowest, int strongest, int limit);
};

extern template class MPitchFFTBase<4096>;
