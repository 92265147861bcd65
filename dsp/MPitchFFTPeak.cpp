#include "dsp/MPitchFFTPeak.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// Brings an angle into -pi .. pi with the same integer rule as the bin-frequency
// estimate, so that the phases written here match the analysis side's convention.
// A non-finite angle (from non-finite input audio) becomes 0, so that the phase store
// recovers once the input is clean again.
inline double WrapPhase(double d)
{
  constexpr double pi = std::numbers::pi;
  constexpr double inversePi = std::numbers::inv_pi;
  if (!(std::abs(d) < 1.0e6))
    return std::isfinite(d) ? std::remainder(d, 2.0 * pi) : 0.0;
  // A positive d is mirrored, wrapped as a negative one and mirrored back; the sign
  // comes from copysign rather than a branch, which would be mispredicted at random
  // (for d = +0 both ways give 0).
  const double sign = -std::copysign(1.0, d);
  const int q = static_cast<int>(sign * d * inversePi);
  return d + sign * (static_cast<double>((1 - q) / 2) * 2.0 * pi);
}

// Shift ratios come from exponentials of note differences; anything outside this range
// (or not a number) can only come from a broken owner and is treated as "no shift".
constexpr double kMinRatio = 1.0 / 64.0;
constexpr double kMaxRatio = 64.0;
} // namespace

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::SmoothEnvelope(float* x, int count, float a)
{
  if (count < 1)
    return;
  MVector::SmoothTwoSided(x, count, &a, 1, kEnvelopeOffset);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::FindPeaksAndRegions(int frameSize)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  const float* m = this->Magnitudes();
  // The peaks and, between each two, the quietest bin (the lower bound of the upper
  // peak's region) in one vector call.
  int count = 0;
  if (h > 0)
    MVector::PeaksAndValleys(m, h, m_peakBins, m_regionBounds, &count);
  m_peakCount = count;
  m_regionBounds[0] = 1;
  m_regionBounds[count] = h;
  FindLargestMagnitude(frameSize);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::FindLargestMagnitude(int frameSize)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  m_largestMagnitude = 0.0f;
  if (h > 0)
    MVector::Maximum(this->Magnitudes(), h, &m_largestMagnitude);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ComputeEnvelope(int frameSize)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  if (h < 1)
    return;
  MVector::CopyFloats(this->Magnitudes(), m_envelope, h);
  // All three poles in one call: the vector level keeps its working layout between them.
  MVector::SmoothTwoSided(m_envelope, h, kEnvelopePoles, 3, kEnvelopeOffset);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ShiftPeaks(int frameSize, double ratio, double wetGain,
                                        MSynthesisPhaseStore& store, float* spectrum, bool spectrumEmpty)
{
  Shift<false>(frameSize, ratio, wetGain, 0.0, 1.0, store, spectrum, spectrumEmpty);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ShiftPeaksWithFormants(int frameSize, double ratio, double wetGain, double keep,
                                                    double formantRatio, MSynthesisPhaseStore& store,
                                                    float* spectrum, bool spectrumEmpty)
{
  Shift<true>(frameSize, ratio, wetGain, keep, formantRatio, store, spectrum, spectrumEmpty);
}

template <int MaxSize>
template <bool WithFormants>
void MPitchFFTPeak<MaxSize>::Shift(int frameSize, double ratio, double wetGain, double keep,
                                   double formantRatio, MSynthesisPhaseStore& store, float* spectrum,
                                   bool spectrumEmpty)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  if (h < 2)
    return;
  if (!(ratio >= kMinRatio && ratio <= kMaxRatio))
    ratio = 1.0;
  if (!(formantRatio >= kMinRatio && formantRatio <= kMaxRatio))
    formantRatio = 1.0;
  keep = std::isfinite(keep) ? std::clamp(keep, 0.0, 1.0) : 0.0;
  if (!(this->BinWidth() > 0.0))
    return; // no sample rate yet: nothing to shift by

  const float* m = this->Magnitudes();
  const float* phase = this->Phases();
  double* stored = store.phases;
  double* M = m_newMagnitude;
  MVector::ZeroDoubles(M, h);

  // A loud frame after silent ones restarts the output phases from zero, before any
  // of them is read.
  if (m_largestMagnitude < kSilenceMagnitude)
  {
    store.silent = true;
  }
  else if (store.silent)
  {
    store.silent = false;
    MVector::ZeroDoubles(stored, MSynthesisPhaseStore::kBins);
  }

  // First the target bin and the phase rotation of every peak that will be shifted,
  // from the stored phases as the previous frame left them; then the regions move and
  // write their new phases. (Read while writing, a peak shifting down could find its
  // target already overwritten by a lower region; shifting up it never could, because
  // each region ends below the next peak's target.) The rotations' sines and cosines
  // come from one vector call. The new peak's phase advances per hop by the shifted
  // true frequency:
  // (ratio * F - q * binWidth) / binWidth * phaseStep + q * phaseStep, in which the q
  // terms cancel.
  const double* frequency = this->BinFrequencies();
  const double advancePerHertz = this->PhaseStep() / this->BinWidth();
  int shifted = 0;
  for (; shifted < m_peakCount; ++shifted)
  {
    const int p = m_peakBins[shifted];
    // t is positive, so truncation is the floor.
    const double t = p * ratio;
    const int whole = static_cast<int>(t);
    const int q = whole + (t - whole >= 0.5 ? 1 : 0);
    // A region whose shifted end passes N/2 ends the shifting: shifting up, all higher
    // peaks would pass it too.
    if (m_regionBounds[shifted + 1] + q - p > h)
      break;
    m_targetBins[shifted] = q;
    const double advance = ratio * frequency[p] * advancePerHertz;
    m_rotations[shifted] = WrapPhase(advance + stored[q]) - phase[p];
  }
  if (shifted > 0)
    MVector::SinCosDoubles(m_rotations, m_sine, m_cosine, shifted);

  const float gain = static_cast<float>(wetGain);
  float* weights = m_binWeights;
  // Keep formants 1 without a formant shift (the usual setting) reads every bin's weight from
  // the envelope at its own target: the move computes that ratio itself, without the tables.
  const bool envelopeAtTarget =
      WithFormants && static_cast<float>(keep) == 1.0f && static_cast<float>(formantRatio) == 1.0f;
  if (WithFormants && !envelopeAtTarget)
  {
    // The formant weight of every bin that moves, in a loop without branches: the
    // envelope where the bin's formant goes over the envelope where it is, at most
    // kMaxFormantGain, times the wet gain.
    const int moved = m_regionBounds[shifted];
    // Regions are mostly shorter than eight bins: eight slots are written whatever the
    // length (the next region overwrites the excess; the array has room for it), so the
    // loop's length does not vary with the data.
    for (int i = 0; i < shifted; ++i)
    {
      const int d = m_targetBins[i] - m_peakBins[i];
      const int lo = m_regionBounds[i];
      const int hi = m_regionBounds[i + 1];
      for (int j = 0; j < 8; ++j)
        m_binShifts[lo + j] = d;
      for (int j = lo + 8; j < hi; ++j)
        m_binShifts[j] = d;
    }
    const float k = static_cast<float>(keep);
    const float rho = static_cast<float>(formantRatio);
    const float last = static_cast<float>(h - 1);
    // First the envelope bin of every moved bin (a plain loop the compiler vectorises),
    // then the ratios in one vector call.
    std::int32_t* formantBins = m_formantBins;
    for (int j = 1; j < moved; ++j)
    {
      // (target * keep + j * (1 - keep)) * formantRatio with target = j + shift.
      const float position =
          std::clamp((static_cast<float>(j) + static_cast<float>(m_binShifts[j]) * k) * rho, 0.0f, last);
      formantBins[j] = static_cast<std::int32_t>(position);
    }
    if (moved > 1)
      MVector::RatioOfGathered(m_envelope, formantBins + 1, m_envelope + 1, moved - 1, kMaxFormantGain, gain,
                               weights + 1);
  }

  // Every bin of a region keeps its phase offset to the peak, so its output value is
  // its input value rotated by the peak's angle, times its gain: rotating the kept input
  // spectrum gives what the stored phases describe without a sine and cosine per bin.
  // Bins 1 .. h - 1 only; the pair at 0 (DC and Nyquist) is never shifted. Into an empty
  // spectrum the copy goes directly, all but bin 1, whose value is put aside and added back.
  float* output = spectrumEmpty ? spectrum : m_shifted;
  const float keptRe = spectrum[2];
  const float keptIm = spectrum[3];
  MVector::ZeroFloats(output + 2, spectrumEmpty ? 2 : 2 * h - 2);
  int moves = 0;
  for (int i = 0; i < shifted; ++i)
  {
    const int d = m_targetBins[i] - m_peakBins[i];
    const int hi = m_regionBounds[i + 1];
    if (hi + d < 1)
      continue;
    const int lo = std::max(m_regionBounds[i], 1 - d);
    m_moves[moves++] = MVector::MRegionMove{
        lo, hi, d, m_rotations[i], static_cast<float>(m_cosine[i]), static_cast<float>(m_sine[i])};
  }
  const MVector::MShiftSource from{m_sourceSpectrum,
                                   m,
                                   phase,
                                   WithFormants && !envelopeAtTarget ? weights : nullptr,
                                   wetGain,
                                   envelopeAtTarget ? m_envelope : nullptr,
                                   kMaxFormantGain};
  const MVector::MShiftTarget to{M, stored, output};
  MVector::MoveRegions(from, m_moves, moves, to);

  if (spectrumEmpty)
  {
    spectrum[2] = keptRe + spectrum[2];
    spectrum[3] = keptIm + spectrum[3];
  }
  else
  {
    MVector::AddFloatsInPlace(output + 2, spectrum + 2, 2 * h - 2);
  }
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::KeepSourceSpectrum(int frameSize, const float* spectrum)
{
  MVector::CopyFloats(spectrum, m_sourceSpectrum, std::min(frameSize, MaxSize));
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::UseResidualAsSource(int frameSize, const float* residual, int changedEnd)
{
  const int n = std::min(frameSize, MaxSize);
  KeepSourceSpectrum(n, residual);
  const int h = std::min(n / 2, kMaxBins);
  if (h < 1)
    return;
  MVector::MagnitudeAndPhase(residual, this->m_magnitude, this->m_phase, std::clamp(changedEnd, 1, h));
  const float largest = m_largestMagnitude;
  FindPeaksAndRegions(n);
  m_largestMagnitude = largest;
}

template class MPitchFFTPeak<4096>;
