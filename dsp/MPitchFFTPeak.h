#pragma once
// Spectral peaks, their regions and the phase-locked peak shift of one channel.
//
// MPitchFFTPeak adds to the frame engine (MAudioFFTProcessor) and the per-bin pitch
// analysis (MPitchFFTBase) what a pitch shifter needs from each frame:
//  - the peaks of the magnitude spectrum (bins louder than both neighbours on each
//    side) and, for each peak, its region of influence: from the quietest bin between
//    it and the peak below up to (not including) the quietest bin before the next peak;
//  - a smoothed magnitude envelope, used to keep or move formants;
//  - the shift itself: each region moves as a block so that its peak lands on the bin
//    nearest to ratio * peak; the output phase of the new peak bin advances per hop by
//    the shifted true frequency (ratio * the peak's measured frequency), and every bin
//    of the region keeps its phase offset to the peak. Where shifted regions overlap,
//    the louder contribution wins per bin. The first region whose shifted end would
//    pass N/2 ends the shifting for that frame (shifting up drops the highest peaks
//    rather than folding them back). The DC value is never shifted.
//
// Only MPitchFFTPeak<4096> is instantiated (arrays of 2048 bins, frames up to 4096).
// Everything here runs on the audio thread inside ProcessSpectrum; nothing allocates,
// blocks or throws. The derived corrector (MTonveraFFTProcessor) calls these steps.

#include "dsp/MAudioFFTProcessor.h"
#include "dsp/MPitchFFTBase.h"
#include "dsp/MSynthesisPhaseStore.h"
#include "vector/MVector.h"

#include <cstdint>

template <int MaxSize>
class MPitchFFTPeak : public MAudioFFTProcessor, public MPitchFFTBase<MaxSize>
{
public:
  static constexpr int kMaxBins = MaxSize / 2;
  static_assert(kMaxBins <= MSynthesisPhaseStore::kBins, "phase stores hold 2048 bins");

  /// Pole of each of the three envelope smoothing stages, applied in this order.
  static constexpr float kEnvelopePoles[3] = {0.7f, 0.5f, 0.3f};
  /// Added at every step of every smoothing pass; keeps the envelope positive.
  static constexpr float kEnvelopeOffset = 1e-15f;
  /// Largest boost the envelope weighting gives one bin (about 12 dB).
  static constexpr float kMaxFormantGain = 4.0f;
  /// Frames whose largest magnitude stays below this (raw transform units) count as
  /// silence; the next loud frame restarts the output phases from 0.
  static constexpr float kSilenceMagnitude = 1.0f;

  MPitchFFTPeak() = default;

  /// Peaks of the current frame, in rising bin order.
  int PeakCount() const { return m_peakCount; }
  const std::int32_t* PeakBins() const { return m_peakBins; }
  /// Region i of peak i is the bins [RegionBounds()[i], RegionBounds()[i + 1]).
  const std::int32_t* RegionBounds() const { return m_regionBounds; }
  /// The smoothed magnitude envelope of the current frame (bins 0 .. N/2 - 1).
  const float* Envelope() const { return m_envelope; }
  /// Largest bin magnitude of the current frame.
  float LargestMagnitude() const { return m_largestMagnitude; }

  /// Two-sided one-pole smoothing of x[0 .. count) in place: a backward pass
  /// y = (1 - a) x + a y, then a forward pass y = a x + a y (each plus 1e-15, which keeps
  /// the envelope positive). DC gains: 1 backward, a / (1 - a) forward.
  static void SmoothEnvelope(float* x, int count, float a);

protected:
  /// Steps of the frame analysis after the per-bin magnitudes exist: finds peaks and
  /// regions over the frameSize / 2 bins, the largest magnitude and the envelope.
  void FindPeaksAndRegions(int frameSize);
  /// The largest magnitude alone (FindPeaksAndRegions finds it too).
  void FindLargestMagnitude(int frameSize);
  void ComputeEnvelope(int frameSize);
  /// Keeps a copy of the analysed spectrum, which the shift rotates into place; call it
  /// before the frame is scaled by the dry gain.
  void KeepSourceSpectrum(int frameSize, const float* spectrum);
  /// Makes `residual` (what the harmonic shift left of the frame) the source of the peak shift
  /// instead: its copy, bin magnitudes and phases, peaks and regions replace the frame's. The
  /// envelope, the bin frequencies and the largest magnitude (the silence test) stay the frame's.
  /// Bins from `changedEnd` on are the frame's own: their magnitudes and phases are kept.
  void UseResidualAsSource(int frameSize, const float* residual, int changedEnd);

  /// Adds the shifted copy of the current frame to `spectrum`: every region moved by
  /// `ratio`, its magnitudes scaled by `wetGain`, phases continued in `store`. With
  /// `spectrumEmpty` the caller promises that bins 2 .. N/2 - 1 of the spectrum are zero (a
  /// dry gain of 0, say): the copy is then written into it directly rather than made apart
  /// and added, which gives the same sums.
  void ShiftPeaks(int frameSize, double ratio, double wetGain, MSynthesisPhaseStore& store, float* spectrum,
                  bool spectrumEmpty = false);
  /// As ShiftPeaks, but each shifted bin is re-weighted by envelope[e] / envelope[j]
  /// (at most kMaxFormantGain), where j is its source bin, t its target bin and
  /// e = trunc((t * keep + j * (1 - keep)) * formantRatio). keep 1 holds the envelope in
  /// place, keep 0 lets it move with the pitch; formantRatio 2^(-s/12) moves it by s
  /// semitones.
  void ShiftPeaksWithFormants(int frameSize, double ratio, double wetGain, double keep, double formantRatio,
                              MSynthesisPhaseStore& store, float* spectrum, bool spectrumEmpty = false);

private:
  template <bool WithFormants>
  void Shift(int frameSize, double ratio, double wetGain, double keep, double formantRatio,
             MSynthesisPhaseStore& store, float* spectrum, bool spectrumEmpty);

  alignas(64) float m_envelope[kMaxBins] = {};
  alignas(64) double m_newMagnitude[kMaxBins] = {};
  // Per shifted peak: target bin, phase rotation (output minus input phase of the
  // peak) and its cosine and sine.
  std::int32_t m_targetBins[kMaxBins] = {};
  alignas(64) double m_rotations[kMaxBins] = {};
  alignas(64) double m_cosine[kMaxBins] = {};
  alignas(64) double m_sine[kMaxBins] = {};
  // The regions to move, as handed to the vector layer in one call.
  MVector::MRegionMove m_moves[kMaxBins] = {};
  // Per bin: its region's shift in bins and its weight (formant weight times wet gain).
  std::int32_t m_binShifts[kMaxBins + 8] = {};
  // Per bin: the envelope bin its formant weight is read from.
  std::int32_t m_formantBins[kMaxBins] = {};
  alignas(64) float m_binWeights[kMaxBins] = {};
  // The shifted copy of the current frame in the spectrum layout (pairs of real and
  // imaginary parts; the pair at 0 stays zero).
  alignas(64) float m_shifted[MaxSize] = {};
  // The frame's spectrum as analysed, before the dry gain scaled it.
  alignas(64) float m_sourceSpectrum[MaxSize] = {};
  float m_largestMagnitude = 0.0f;
  std::int32_t m_peakCount = 0;
  std::int32_t m_peakBins[kMaxBins] = {};
  std::int32_t m_regionBounds[kMaxBins + 1] = {};
};

extern template class MPitchFFTPeak<4096>;
