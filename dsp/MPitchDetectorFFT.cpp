#include "dsp/MPitchDetectorFFT.h"

#include "vector/MVector.h"

#include <algorithm>
#include <cmath>

MPitchDetectorFFT::MPitchDetectorFFT()
{
  MPitchDetectorFFT::Resize(kDefaultFrameSize, kDefaultOverlapFraction);
}

void MPitchDetectorFFT::Resize(int frameSize, double overlapFraction)
{
  MAudioFFTReader::Resize(frameSize, overlapFraction);
  SetUp(m_sampleRate);
}

void MPitchDetectorFFT::SetSampleRate(double sampleRateHz)
{
  if (sampleRateHz > 0.0 && std::isfinite(sampleRateHz))
    m_sampleRate = sampleRateHz;
  Resize(FrameSize(), RequestedOverlapFraction());
}

void MPitchDetectorFFT::SetFrequencyRange(double minimumHz, double maximumHz)
{
  m_minimumFrequency = minimumHz;
  m_maximumFrequency = maximumHz;
}

void MPitchDetectorFFT::SetUp(double sampleRateHz)
{
  m_sampleRate = sampleRateHz;
  m_reportedFrequency = 0.0;
  m_lastCandidate = 0.0;
  m_countdown = 0;
  m_reportCount = 0;

  const double hop = HopSize();
  // Rounded to the nearest whole frame, halves up; bounded so that absurd hold times
  // cannot overflow the count.
  const double holdFrames = std::floor(sampleRateHz / hop * m_holdTime + 0.5);
  m_holdFrames = static_cast<int>(std::clamp(std::isfinite(holdFrames) ? holdFrames : 0.0, 0.0, 1e9));

  if (m_smoothing + 1e-50 < 1.0)
  {
    const double s = m_smoothing;
    double rate = (s * s * s * s * 20.0 + 0.01) * (hop / sampleRateHz);
    if (m_holdFrames > 0)
      rate *= m_holdFrames;
    m_rateLimit = rate;
    m_rateLimitOn = true;
  }
  else
  {
    m_rateLimitOn = false;
  }

  SetAnalysisConstants(1.0 / (1.0 - OverlapFraction()), sampleRateHz, FrameSize());
}

void MPitchDetectorFFT::ProcessFrame(int frameSize, float* spectrum)
{
  EstimateBinFrequencies(frameSize, spectrum, LowestBin(), HighestBin());

  const int half = std::min(frameSize / 2, kBins);
  if (m_voicingRatio > 0.0)
  {
    float loudest = 0.0f;
    MVector::Maximum(m_magnitude, half, &loudest);
    if (half * m_voicingRatio > loudest)
      return;
  }

  const int bin = FindPitchBin(frameSize);
  if (bin <= 0)
    return;
  const double frequency = m_binFrequency[bin];
  if (!(frequency >= m_minimumFrequency && frequency <= m_maximumFrequency))
    return;

  if (m_holdFrames > 0)
  {
    // A pitch is reported once it has held, within a major third either way, for the
    // hold frames that follow its first appearance; any jump restarts the count.
    if (frequency >= 0.8 * m_lastCandidate && frequency <= 1.25 * m_lastCandidate)
    {
      --m_countdown;
      if (m_countdown > 0)
      {
        m_lastCandidate = frequency;
        return;
      }
      PitchDetected(frequency);
    }
    m_countdown = m_holdFrames;
    m_lastCandidate = frequency;
  }
  else
  {
    PitchDetected(frequency);
  }
}

void MPitchDetectorFFT::PitchDetected(double frequencyHz)
{
  ++m_reportCount;
  if (!m_rateLimitOn || m_reportedFrequency < 1.0)
  {
    m_reportedFrequency = frequencyHz;
    return;
  }
  const double old = std::log10(m_reportedFrequency);
  const double wanted = std::clamp(std::log10(frequencyHz), old - m_rateLimit, old + m_rateLimit);
  m_reportedFrequency = std::pow(10.0, wanted);
}
