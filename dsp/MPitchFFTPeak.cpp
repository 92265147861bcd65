#include "dsp/MPitchFFTPeak.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// Brings an angle into -pi .. pi with the same integer rule as the bin-frequency
// estimate, so that the phases written here match the analysis side's convention.
inline double WrapPhase(double d)
{
  constexpr double pi = std::numbers::pi;
  if (d > 0.0)
  {
    const int q = static_cast<int>(-d / pi);
    return d - static_cast<double>((1 - q) / 2) * 2.0 * pi;
  }
  const int q = static_cast<int>(d / pi);
  return d + static_cast<double>((1 - q) / 2) * 2.0 * pi;
}

// Shift ratios come from exponentials of note differences; anything outside this range
// (or not a number) can only come from a broken owner and is treated as "no shift".
constexpr double kMinRatio = 1.0 / 64.0;
constexpr double kMaxRatio = 64.0;
} // namespace

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::SmoothEnvelope(float* x, int count, float a)
{
  const float b = 1.0f - a;
  float y = 0.0f;
  for (int i = count - 1; i >= 0; --i)
  {
    y = b * x[i] + a * y + 1e-15f;
    x[i] = y;
  }
  y = 0.0f;
  for (int i = 0; i < count; ++i)
  {
    y = a * x[i] + a * y + 1e-15f;
    x[i] = y;
  }
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::FindPeaksAndRegions(int frameSize)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  const float* m = this->Magnitudes();
  int count = 0;
  for (int k = 2; k < h - 2; ++k)
  {
    const float v = m[k];
    if (v > m[k - 2] && v > m[k - 1] && v > m[k + 1] && v > m[k + 2])
    {
      m_peakBins[count++] = k;
      // Neither of the next two bins can be a peak: both are below this one.
      k += 2;
    }
  }
  m_peakCount = count;

  m_regionBounds[0] = 1;
  for (int i = 1; i < count; ++i)
  {
    const int below = m_peakBins[i - 1];
    const int peak = m_peakBins[i];
    if (below < peak - 1)
    {
      float smallest = 0.0f;
      int index = 0;
      MVector::MinimumWithIndex(m + below + 1, peak - 1 - below, &smallest, &index);
      m_regionBounds[i] = below + 1 + index;
    }
    else
    {
      m_regionBounds[i] = peak;
    }
  }
  m_regionBounds[count] = h;

  m_largestMagnitude = 0.0f;
  if (h > 0)
    MVector::Maximum(m, h, &m_largestMagnitude);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ComputeEnvelope(int frameSize)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  if (h < 1)
    return;
  MVector::CopyFloats(this->Magnitudes(), m_envelope, h);
  for (float a : kEnvelopePoles)
    SmoothEnvelope(m_envelope, h, a);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ShiftPeaks(int frameSize, double ratio, double wetGain, MSynthesisPhaseStore& store,
                                        float* spectrum)
{
  Shift<false>(frameSize, ratio, wetGain, 0.0, 1.0, store, spectrum);
}

template <int MaxSize>
void MPitchFFTPeak<MaxSize>::ShiftPeaksWithFormants(int frameSize, double ratio, double wetGain, double keep,
                                                    double formantRatio, MSynthesisPhaseStore& store,
                                                    float* spectrum)
{
  Shift<true>(frameSize, ratio, wetGain, keep, formantRatio, store, spectrum);
}

template <int MaxSize>
template <bool WithFormants>
void MPitchFFTPeak<MaxSize>::Shift(int frameSize, double ratio, double wetGain, double keep, double formantRatio,
                                   MSynthesisPhaseStore& store, float* spectrum)
{
  const int h = std::min(frameSize / 2, kMaxBins);
  if (h < 2)
    return;
  if (!(ratio >= kMinRatio && ratio <= kMaxRatio))
    ratio = 1.0;
  if (!(formantRatio >= kMinRatio && formantRatio <= kMaxRatio))
    formantRatio = 1.0;

  const float* m = this->Magnitudes();
  const float* phase = this->Phases();
  const double* frequency = this->BinFrequencies();
  const double binWidth = this->BinWidth();
  const double phaseStep = this->PhaseStep();
  double* stored = store.phases;
  double* M = m_newMagnitude;
  MVector::ZeroDoubles(M, h);

  // The silence check comes before the copy below: a loud frame after silence must
  // restart from zero phases whichever way it shifts.
  if (m_largestMagnitude < kSilenceMagnitude)
  {
    store.silent = true;
  }
  else if (store.silent)
  {
    store.silent = false;
    MVector::ZeroDoubles(stored, MSynthesisPhaseStore::kBins);
  }

  // Shifting up, a region only ever writes bins below the target of the next peak, so
  // the store can be updated in place. Shifting down it may overwrite a target phase
  // that a higher peak still has to read, so the writes go to a copy.
  double* out = stored;
  if (ratio < 1.0)
  {
    out = m_phaseScratch;
    MVector::CopyDoubles(stored, out, h);
  }

  const float gain = static_cast<float>(wetGain);
  for (int i = 0; i < m_peakCount; ++i)
  {
    const int p = m_peakBins[i];
    int lo = m_regionBounds[i];
    const int hi = m_regionBounds[i + 1];
    const double t = p * ratio;
    const double whole = std::floor(t);
    const int q = static_cast<int>(whole) + (t - whole >= 0.5 ? 1 : 0);
    const int d = q - p;
    if (hi + d > h)
      break;
    if (hi + d < 1)
      continue;
    if (lo + d < 1)
      lo = 1 - d;

    const double advance = (ratio * frequency[p] - q * binWidth) / binWidth * phaseStep + q * phaseStep;
    const double theta = WrapPhase(advance + stored[q]);
    const double offset = theta - phase[p];
    if constexpr (WithFormants)
    {
      const float* envelope = m_envelope;
      const double k = keep;
      for (int j = lo; j < hi; ++j)
      {
        const int target = j + d;
        double position = (target * k + j * (1.0 - k)) * formantRatio;
        position = std::clamp(position, 0.0, static_cast<double>(h - 1));
        const int e = static_cast<int>(position);
        const float w = std::min(envelope[e] / envelope[j], kMaxFormantGain);
        const double v = static_cast<double>(m[j] * gain * w);
        if (v > M[target])
        {
          M[target] = v;
          out[target] = phase[j] + offset;
        }
      }
    }
    else
    {
      for (int j = lo; j < hi; ++j)
      {
        const int target = j + d;
        const double v = static_cast<double>(m[j]) * wetGain;
        if (v > M[target])
        {
          M[target] = v;
          out[target] = phase[j] + offset;
        }
      }
    }
  }

  if (out != stored)
    MVector::CopyDoubles(out, stored, h);

  MVector::SinCosDoubles(stored, m_sine, m_cosine, h);
  for (int k = 1; k < h; ++k)
  {
    spectrum[2 * k] += static_cast<float>(M[k] * m_cosine[k]);
    spectrum[2 * k + 1] += static_cast<float>(M[k] * m_sine[k]);
  }
}

template class MPitchFFTPeak<4096>;
