#include "dsp/MNoteTracker.h"

#include <algorithm>
#include <cmath>

namespace
{
// Notes far outside any audible range are clamped before they are turned into integers,
// so a wild input cannot overflow the rounding below.
constexpr double kNoteLimit = 1.0e6;
} // namespace

MNoteTracker::MNoteTracker()
{
  for (auto& flag : m_scaleNotes)
    flag.store(true, std::memory_order_relaxed);
  UpdateCoefficients();
}

void MNoteTracker::UpdateCoefficients()
{
  const double slowness = std::pow(1.0 - m_speed, 4.0);
  m_glideStep = 1.0 / (slowness * m_sampleRate + 1.0);
  m_deviationTime = std::pow(1.0 - m_depth, 4.0) * m_sampleRate;
}

bool MNoteTracker::IsEnabled(int note) const
{
  // The search below may step up to six notes below zero; keep the index positive.
  const int pitchClass = ((note % kPitchClasses) + kPitchClasses) % kPitchClasses;
  return m_scaleNotes[static_cast<std::size_t>(pitchClass)].load(std::memory_order_relaxed);
}

int MNoteTracker::ApplyHold(double x, int nearest) const
{
  // Only between two notes the scale allows: a chosen note the user has since disabled is left
  // at once, as without hold.
  if (!(m_holdCents > 0.0) || m_chosenNote < 0 || nearest == m_chosenNote || !IsEnabled(m_chosenNote))
    return nearest;
  const double midpoint = 0.5 * (m_chosenNote + nearest);
  const double beyondCents = (nearest > m_chosenNote ? x - midpoint : midpoint - x) * 100.0;
  return beyondCents > m_holdCents ? nearest : m_chosenNote;
}

void MNoteTracker::FeedNote(std::optional<double> note, int hopSamples)
{
  if (!note || !std::isfinite(*note))
  {
    m_inputNote = -1.0;
    m_outputNote = -1.0;
    m_chosenNote = -1;
    return;
  }
  const double x = std::clamp(*note, -kNoteLimit, kNoteLimit);
  m_inputNote = x;
  const double whole = std::floor(x);
  int n = static_cast<int>(whole) + (x - whole >= 0.5 ? 1 : 0);
  if (n < 0)
  {
    m_outputNote = x;
    m_chosenNote = -1;
    return;
  }

  if (!IsEnabled(n))
  {
    // Candidates alternate around n with growing distance, starting on the side of x:
    // n+1, n-1, n+2, n-2, ... (or mirrored). Eleven of them cover every other pitch class.
    int step = 1;
    int direction = x > n ? 1 : -1;
    bool found = false;
    for (int tries = 0; tries < kPitchClasses - 1; ++tries)
    {
      n += step * direction;
      if (IsEnabled(n))
      {
        found = true;
        break;
      }
      ++step;
      direction = -direction;
    }
    if (!found)
    {
      m_outputNote = x;
      m_chosenNote = -1;
      return;
    }
  }
  if (n < 0)
  {
    m_outputNote = x;
    m_chosenNote = -1;
    return;
  }
  n = ApplyHold(x, n);

  if (n != m_chosenNote)
  {
    m_glide = 0.0;
    m_deviation = 0.0;
  }
  m_chosenNote = n;

  const double hop = static_cast<double>(hopSamples);
  const double a = std::abs(m_deviationTime / hop) >= 1e-50 ? std::exp(-hop / m_deviationTime) : 0.0;
  m_deviation = (1.0 - a) * (x - n) + a * m_deviation;
  m_outputNote = x - m_glide * m_deviation;
  m_glide = std::min(1.0, m_glide + hop * m_glideStep);
}
