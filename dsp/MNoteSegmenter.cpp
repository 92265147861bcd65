#include "dsp/MNoteSegmenter.h"

#include <algorithm>
#include <cmath>

void MNoteSegmenter::Reset()
{
  m_unvoicedSamples = 0;
  m_candidate = MMIDINoteNumber();
}

double MNoteSegmenter::LevelDb(const float* frame, int frameSize)
{
  double energy = 0.0;
  for (int i = 0; i < frameSize; ++i)
    energy += static_cast<double>(frame[i]) * frame[i];
  return 10.0 * std::log10(energy / std::max(1, frameSize) + 1e-30);
}

MNoteSegmenter::Decision MNoteSegmenter::Feed(const Frame& frame)
{
  const bool voiced = frame.chosen.InRange() && frame.inputPitch >= 0.0 && frame.levelDb > kSilenceDb;
  if (!voiced)
  {
    m_candidate = MMIDINoteNumber();
    // Counted up to the release only: hours of silence must not run the count over.
    const auto release = static_cast<std::int32_t>(kReleaseSeconds * m_sampleRate);
    if (m_unvoicedSamples < release)
      m_unvoicedSamples += frame.hopSamples;
    if (m_unvoicedSamples < release)
      return {};
    m_sounding = MMIDINoteNumber();
    return {Change::kEnd, MMIDINoteNumber(), 0};
  }
  m_unvoicedSamples = 0;
  MMIDINoteNumber note = frame.chosen;
  if (!m_sounding.IsNone())
  {
    const double midpoint = 0.5 * (m_sounding.Number() + note.Number());
    const double beyond =
        note.Number() > m_sounding.Number() ? frame.inputPitch - midpoint : midpoint - frame.inputPitch;
    if (note.SamePitchClass(m_sounding) || beyond * 100.0 <= std::max(kHoldCents, frame.holdCents))
      note = m_sounding;
  }
  if (note == m_sounding)
  {
    m_candidate = MMIDINoteNumber();
    return {};
  }
  if (m_candidate.IsNone() || !note.SamePitchClass(m_candidate))
  {
    m_candidate = note;
    m_candidateSamples = 0;
  }
  m_candidateSamples += frame.hopSamples;
  if (m_candidateSamples < static_cast<std::int32_t>(kMinimumNoteSeconds * m_sampleRate))
    return {};
  const int velocity =
      std::clamp(static_cast<int>(std::lround(127.0 * (frame.levelDb - kSilenceDb) / -kSilenceDb)), 1, 127);
  const Decision start{Change::kStart, m_candidate, velocity};
  m_sounding = m_candidate;
  m_candidate = MMIDINoteNumber();
  return start;
}
