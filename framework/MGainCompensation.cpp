#include "framework/MGainCompensation.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{
constexpr std::int32_t kSlotsPerBus = 8; // the block driver's pointer layout
constexpr std::int32_t kMaxChannels = 64;

template <class T>
using Channels = std::array<T*, kMaxChannels>;

// The distinct non-null buffers of the active channels. A host may hand one buffer for several
// channels (the driver repeats the last pointer for a missing one): it is measured and scaled once.
template <class T>
std::int32_t Collect(T* const* pointers, std::int32_t buses, std::int32_t channels, std::int32_t perBus,
                     Channels<T>& found) noexcept
{
  if (pointers == nullptr)
    return 0;
  perBus = std::clamp(perBus, 1, kSlotsPerBus);
  if (channels <= 0)
    channels = buses * perBus;
  std::int32_t count = 0;
  for (std::int32_t bus = 0; bus < buses; ++bus)
  {
    for (std::int32_t channel = 0; channel < perBus && bus * perBus + channel < channels; ++channel)
    {
      T* buffer = pointers[bus * kSlotsPerBus + channel];
      if (buffer == nullptr ||
          std::find(found.begin(), found.begin() + count, buffer) != found.begin() + count)
        continue;
      if (count == kMaxChannels)
        return count;
      found[static_cast<std::size_t>(count++)] = buffer;
    }
  }
  return count;
}

template <class T>
double MeanSquare(const Channels<T>& channels, std::int32_t count, std::int32_t samples) noexcept
{
  if (count <= 0 || samples <= 0)
    return 0.0;
  double sum = 0.0;
  for (std::int32_t channel = 0; channel < count; ++channel)
  {
    const T* buffer = channels[static_cast<std::size_t>(channel)];
    for (std::int32_t i = 0; i < samples; ++i)
      sum += static_cast<double>(buffer[i]) * buffer[i];
  }
  return sum / (static_cast<double>(count) * samples);
}

double TargetDb(double inputMeanSquare, double outputMeanSquare) noexcept
{
  return std::clamp(10.0 * std::log10(inputMeanSquare / outputMeanSquare), -MGainCompensation::kLimitDb,
                    MGainCompensation::kLimitDb);
}

bool Audible(double meanSquare) noexcept
{
  // Also false for NaN and infinity: an effect that blew up is not a level to follow.
  return meanSquare >= MGainCompensation::kSilentMeanSquare && std::isfinite(meanSquare);
}
} // namespace

void MGainCompensation::Prepare(double sampleRateHz) noexcept
{
  if (sampleRateHz > 0.0 && std::isfinite(sampleRateHz))
    m_sampleRate = sampleRateHz;
}

void MGainCompensation::Reset() noexcept
{
  m_ticket = m_requested;
  m_cancelTaken = m_cancelled;
  m_measuring = false;
  m_landing = false;
  m_seeded = m_savedSeeded = false;
  m_wasEnabled = false;
  m_inputMeanSquare = m_outputMeanSquare = m_blockInput = 0.0;
  m_savedInput = m_savedOutput = 0.0;
  m_sumInput = m_sumOutput = m_counted = 0.0;
  m_gainDb = m_targetDb = m_gainBeforeDb = 0.0;
  m_running = false;
  m_shownGainDb = 0.0;
  m_progress = 0.0;
}

void MGainCompensation::MeasureInput(const float* const* inputs, std::int32_t buses, std::int32_t channels,
                                     std::int32_t perBus, std::int32_t samples) noexcept
{
  if (inputs == nullptr || buses <= 0)
  {
    m_blockInput = kNoInputLevel * kNoInputLevel;
    return;
  }
  Channels<const float> found{};
  const std::int32_t count = Collect(inputs, buses, channels, perBus, found);
  m_blockInput = MeanSquare(found, count, samples);
}

void MGainCompensation::Apply(float* const* outputs, std::int32_t buses, std::int32_t channels,
                              std::int32_t perBus, std::int32_t samples, bool enabled) noexcept
{
  if (samples <= 0)
    return;
  Channels<float> found{};
  const std::int32_t count = Collect(outputs, buses, channels, perBus, found);
  TakeRequests();
  if (!enabled)
  {
    m_wasEnabled = false;
    Ramp(found.data(), count, 0.0, kLandingDbPerSecond, samples);
  }
  else
  {
    if (!m_wasEnabled)
    {
      // Levels measured before the switch went off are stale; the gain holds until new ones come.
      m_wasEnabled = true;
      m_seeded = false;
      m_targetDb = m_gainDb;
    }
    Measure(m_blockInput, MeanSquare(found, count, samples), samples);
    Ramp(found.data(), count, m_targetDb, m_landing ? kLandingDbPerSecond : kTrackingDbPerSecond, samples);
    if (m_gainDb == m_targetDb)
      m_landing = false;
  }
  m_running = m_gainDb != 0.0;
}

void MGainCompensation::TakeRequests() noexcept
{
  const std::uint32_t requested = m_requested;
  if (requested != m_ticket)
  {
    m_ticket = requested;
    m_measuring = true;
    m_sumInput = m_sumOutput = m_counted = 0.0;
    m_gainBeforeDb = m_gainDb;
    m_savedInput = m_inputMeanSquare;
    m_savedOutput = m_outputMeanSquare;
    m_savedSeeded = m_seeded;
    m_targetDb = m_gainDb;
    m_landing = false;
    m_progress = 0.0;
    m_progressTicket = requested;
  }
  const std::uint32_t cancelled = m_cancelled;
  if (cancelled == m_ticket && cancelled != m_cancelTaken)
  {
    m_cancelTaken = cancelled;
    // While measuring the gain and the tracked levels stood still: stopping is enough. A
    // computation that finished meanwhile is undone.
    if (!m_measuring && m_finished == cancelled)
    {
      m_inputMeanSquare = m_savedInput;
      m_outputMeanSquare = m_savedOutput;
      m_seeded = m_savedSeeded;
      m_targetDb = m_gainBeforeDb;
      m_landing = true;
    }
    m_measuring = false;
  }
}

void MGainCompensation::Measure(double inputMeanSquare, double outputMeanSquare,
                                std::int32_t samples) noexcept
{
  if (!Audible(inputMeanSquare) || !Audible(outputMeanSquare))
    return; // a pause: the gain holds
  const double rate = m_sampleRate;
  if (m_measuring)
  {
    m_sumInput += inputMeanSquare * samples;
    m_sumOutput += outputMeanSquare * samples;
    m_counted += samples;
    const double needed = kComputationSeconds * rate;
    if (m_counted < needed)
    {
      m_progress = m_counted / needed;
      return;
    }
    m_measuring = false;
    m_inputMeanSquare = m_sumInput / m_counted;
    m_outputMeanSquare = m_sumOutput / m_counted;
    m_seeded = true;
    m_targetDb = TargetDb(m_inputMeanSquare, m_outputMeanSquare);
    m_landing = true;
    m_progress = 1.0;
    m_finished = m_ticket;
    return;
  }
  if (!m_seeded)
  {
    m_inputMeanSquare = inputMeanSquare;
    m_outputMeanSquare = outputMeanSquare;
    m_seeded = true;
  }
  else
  {
    // One-pole smoothing with a time constant of kSmoothingSeconds whatever the block length.
    const double keep = std::exp(-samples / (rate * kSmoothingSeconds));
    m_inputMeanSquare = keep * m_inputMeanSquare + (1.0 - keep) * inputMeanSquare;
    m_outputMeanSquare = keep * m_outputMeanSquare + (1.0 - keep) * outputMeanSquare;
  }
  m_targetDb = TargetDb(m_inputMeanSquare, m_outputMeanSquare);
}

void MGainCompensation::Ramp(float* const* outputs, std::int32_t count, double targetDb, double dbPerSecond,
                             std::int32_t samples) noexcept
{
  const double reach = dbPerSecond * samples / m_sampleRate;
  const double endDb = std::clamp(targetDb, m_gainDb - reach, m_gainDb + reach);
  const double start = std::pow(10.0, m_gainDb / 20.0);
  // The same factor from sample to sample: equal steps in dB, the last sample at the end gain.
  const double step = std::pow(10.0, (endDb - m_gainDb) / (20.0 * samples));
  if (m_gainDb != 0.0 || endDb != 0.0)
  {
    for (std::int32_t channel = 0; channel < count; ++channel)
    {
      float* buffer = outputs[channel];
      double gain = start;
      for (std::int32_t i = 0; i < samples; ++i)
      {
        gain *= step;
        buffer[i] = static_cast<float>(buffer[i] * gain);
      }
    }
  }
  m_gainDb = endDb;
  m_shownGainDb = endDb;
}

std::uint32_t MGainCompensation::StartComputation() noexcept
{
  std::uint32_t ticket = m_requested + 1u;
  if (ticket == 0)
    ticket = 1;
  m_requested = ticket;
  return ticket;
}

void MGainCompensation::CancelComputation(std::uint32_t ticket) noexcept
{
  m_cancelled = ticket;
}

double MGainCompensation::GetComputationProgress(std::uint32_t ticket) const noexcept
{
  if (m_finished == ticket)
    return 1.0;
  return m_progressTicket == ticket ? std::clamp<double>(m_progress, 0.0, 1.0) : 0.0;
}
