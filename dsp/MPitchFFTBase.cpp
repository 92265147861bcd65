#include "dsp/MPitchFFTBase.h"

#include "vector/MVector.h"

#include <algorithm>
#include <iterator>

namespace
{
constexpr double kTwoPi = 2.0 * std::numbers::pi;
} // namespace

template <int MaxFrameSize>
MPitchFFTBase<MaxFrameSize>::MPitchFFTBase()
{
  std::fill(std::begin(m_magnitude), std::end(m_magnitude), 0.0f);
  std::fill(std::begin(m_phase), std::end(m_phase), 0.0f);
  std::fill(std::begin(m_scratch), std::end(m_scratch), 0.0f);
  std::fill(std::begin(m_binFrequency), std::end(m_binFrequency), 0.0);
  std::fill(std::begin(m_previousPhase), std::end(m_previousPhase), 0.0f);
  UpdateExpectedAdvance();
}

template <int MaxFrameSize>
void MPitchFFTBase<MaxFrameSize>::UpdateExpectedAdvance()
{
  for (int k = 0; k < kBins; ++k)
  {
    const double advance = k * m_phaseStep;
    m_expectedAdvance[k] = static_cast<float>(advance - kTwoPi * std::nearbyint(advance / kTwoPi));
  }
}

template <int MaxFrameSize>
void MPitchFFTBase<MaxFrameSize>::SetAnalysisConstants(double oversampling, double sampleRateHz,
                                                       int frameSize)
{
  if (!(oversampling > 0.0) || !(sampleRateHz > 0.0) || frameSize < 2)
    return;
  const int n = std::min(frameSize, MaxFrameSize);
  m_oversampling = oversampling;
  m_phaseStep = kTwoPi / oversampling;
  m_binWidth = sampleRateHz / n;
  const double lowest = std::trunc(n * kLowestPitchHz / sampleRateHz);
  const double highest = std::trunc(n * kHighestPitchHz / sampleRateHz);
  m_lowestBin = static_cast<int>(std::min(lowest, static_cast<double>(n / 2 - 1)));
  m_highestBin = static_cast<int>(std::min(highest, static_cast<double>(n / 2 - 1)));
  UpdateExpectedAdvance();
  ResetPhases();
}

template <int MaxFrameSize>
void MPitchFFTBase<MaxFrameSize>::ResetPhases()
{
  MVector::ZeroFloats(m_previousPhase, kBins);
}

template <int MaxFrameSize>
void MPitchFFTBase<MaxFrameSize>::EstimateBinFrequencies(int frameSize, const float* spectrum, int firstBin,
                                                         int endBin)
{
  const int half = std::min(frameSize / 2, kBins);
  if (spectrum == nullptr || half < 1)
    return;
  MVector::MagnitudeAndPhase(spectrum, m_magnitude, m_phase, half);

  // The phase advance since the previous frame, less the advance of a bin-centred
  // partial and wrapped into -pi .. pi, is the partial's offset from the bin centre.
  const int first = std::max(firstBin, 0);
  const int end = std::min(endBin, half);
  if (end > first)
    MVector::BinFrequencies(m_phase + first, m_previousPhase + first, m_expectedAdvance + first, end - first,
                            first, m_oversampling / kTwoPi, m_binWidth, m_binFrequency + first);
}

template <int MaxFrameSize>
void MPitchFFTBase<MaxFrameSize>::IsolatePeaks(int half, float floor, int limit)
{
  float* w = m_scratch;
  int i = 1;
  while (i < half - 1)
  {
    if (!(w[i] > w[i - 1] && w[i] > w[i + 1]))
    {
      ++i;
      continue;
    }
    // Flatten both falling flanks down to the floor, each walk stopping where the
    // magnitude rises again, so that the peak stands alone.
    float passed = w[i];
    for (int j = i - 1; j > 0 && w[j] < passed; --j)
    {
      passed = w[j];
      w[j] = floor;
    }
    // Nothing after a peak at or above the limit changes a bin below it: a later left
    // walk stops at this peak's flattened right flank at the latest. The pick reads
    // only bins below the limit, so the rest of the spectrum is left as it is.
    if (i >= limit)
      return;
    passed = w[i];
    int j = i + 1;
    for (; j < half && w[j] < passed; ++j)
    {
      passed = w[j];
      w[j] = floor;
    }
    i = j;
  }
}

template <int MaxFrameSize>
int MPitchFFTBase<MaxFrameSize>::HarmonicProduct(int half, int lowest, int strongest, int limit)
{
  // The flattening is undone: the product needs the real magnitudes around each
  // harmonic, not only the isolated peak bins. Only bins below the limit are read
  // afterwards, so only those are rebuilt.
  float* w = m_scratch;
  MVector::CopyFloats(m_magnitude, w, limit);
  const float threshold = w[strongest] * 0.01f;
  int start = strongest;
  for (int j = strongest - 1; j >= lowest; --j)
  {
    if (w[j] < threshold)
      w[j] = 0.0f;
    else
      start = j;
  }

  // Bins from `start` whose fourth harmonic still lies below N/2 take the product of
  // the magnitudes at 1, 2, 3 and 4 times their frequency (multiplied in that order);
  // the bins above them are zeroed.
  const int end = std::max(start, (half + 3) / 4);
  const int productEnd = std::min(end, limit);
  for (int j = start; j < productEnd; ++j)
    w[j] = w[j] * m_magnitude[2 * j] * m_magnitude[3 * j] * m_magnitude[4 * j];
  if (end < limit)
    MVector::ZeroFloats(w + end, limit - end);
  return start;
}

template <int MaxFrameSize>
int MPitchFFTBase<MaxFrameSize>::FindPitchBin(int frameSize)
{
  const int half = std::min(frameSize / 2, kBins);
  if (half < 1)
    return -1;
  float* w = m_scratch;
  MVector::CopyFloats(m_magnitude, w, half);
  float floor = 0.0f;
  float loudest = 0.0f;
  MVector::MinMax(w, half, &floor, &loudest);
  if (!(loudest >= 1.0f))
    return -1;

  const int lowest = std::clamp(m_lowestBin, 0, half - 1);
  const int highest = std::min(m_highestBin, half);
  // Every bin the pick reads lies below highest + 2 (the octave check reads around half
  // the pick, which lies below highest); the isolation and the product stop there.
  const int limit = std::min(highest + 2, half);
  IsolatePeaks(half, floor, limit);
  auto argMax = [w](int from, int to) {
    if (to - from < 1)
      return from;
    float value = 0.0f;
    int index = 0;
    MVector::MaximumWithIndex(w + from, to - from, &value, &index);
    return from + index;
  };

  const int strongest = argMax(lowest, highest);
  int start = lowest;
  if (strongest > lowest)
  {
    // A lower peak that reaches 1 % of the strongest one may be the fundamental of a
    // tone whose second or third harmonic is louder.
    const float threshold = w[strongest] * 0.01f;
    float lowerPeak = 0.0f;
    if (strongest - 1 - lowest >= 1)
      MVector::Maximum(w + lowest, strongest - 1 - lowest, &lowerPeak);
    if (threshold <= lowerPeak)
      start = HarmonicProduct(half, lowest, strongest, limit);
  }

  const int pick = argMax(start, highest);
  if (pick >= 2 * lowest)
  {
    // Octave check: a pick whose half-frequency neighbourhood holds a tenth of its
    // weight is taken to be the second harmonic.
    const float tenth = w[pick] * 0.1f;
    const int centre = pick / 2;
    if (w[centre] >= tenth)
      return centre;
    if (w[centre + 1] >= tenth)
      return centre + 1;
    if (centre >= 1 && w[centre - 1] >= tenth)
      return centre - 1;
  }
  return pick;
}

template class MPitchFFTBase<4096>;
