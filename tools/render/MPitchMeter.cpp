#include "tools/render/MPitchMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void MPitchTrack::Detector::ProcessFrame(int frameSize, float* spectrum)
{
  const long long before = ReportCount();
  MPitchDetectorFFT::ProcessFrame(frameSize, spectrum);
  m_frames.push_back(ReportCount() > before ? ReportedFrequency() : 0.0);
}

MPitchTrack::MPitchTrack(double sampleRateHz) : m_sampleRate(sampleRateHz), m_detector(m_frames)
{
  m_detector.SetVoicingRatio(kVoicingRatio);
  m_detector.SetSampleRate(sampleRateHz);
  m_detector.Resize(kFrameSize, kOverlapFraction);
}

void MPitchTrack::Push(const float* interleaved, int frames, int channels)
{
  if (frames <= 0 || channels <= 0)
    return;
  m_mono.resize(static_cast<std::size_t>(frames));
  const float scale = 1.0f / static_cast<float>(channels);
  for (int i = 0; i < frames; ++i)
  {
    float sum = 0.0f;
    for (int c = 0; c < channels; ++c)
      sum += interleaved[static_cast<std::size_t>(i) * channels + c];
    m_mono[i] = sum * scale;
  }
  m_detector.Process(m_mono.data(), frames);
}

bool MPitchTrack::Pop(double& frequencyHz)
{
  if (m_frames.empty())
    return false;
  frequencyHz = m_frames.front();
  m_frames.pop_front();
  return true;
}

double MPitchTrack::FrameTime(std::int64_t k) const
{
  const double hop = kFrameSize * (1.0 - kOverlapFraction);
  return (static_cast<double>(k) * hop + 0.5 * kFrameSize) / m_sampleRate;
}

double MPitchErrorStats::NearestNote(const MScaleText::Notes& notes, double frequencyHz, int& note)
{
  const double position = 69.0 + 12.0 * std::log2(frequencyHz / 440.0);
  const bool any = std::find(notes.begin(), notes.end(), true) != notes.end();
  const int centre = static_cast<int>(std::lround(position));
  double best = 1e9;
  note = centre;
  for (int candidate = centre - 6; candidate <= centre + 6; ++candidate)
  {
    const int pitchClass = ((candidate % 12) + 12) % 12;
    if (any && !notes[pitchClass])
      continue;
    const double distance = (position - candidate) * 100.0;
    if (std::fabs(distance) < std::fabs(best))
    {
      best = distance;
      note = candidate;
    }
  }
  return best;
}

std::string MPitchErrorStats::NoteName(int note)
{
  const int pitchClass = ((note % 12) + 12) % 12;
  const int octave = (note - pitchClass) / 12 - 1;
  return std::string(MScaleText::kNoteNames[pitchClass]) + std::to_string(octave);
}

double MPitchErrorStats::Add(double frequencyHz)
{
  int note = 0;
  const double cents = NearestNote(m_notes, frequencyHz, note);
  const double distance = std::fabs(cents);
  ++m_count;
  m_sumCents += distance;
  const int bin = std::min(kBins - 1, static_cast<int>(distance / kBinCents));
  ++m_histogram[bin];
  return cents;
}

double MPitchErrorStats::Percentile90Cents() const
{
  if (m_count == 0)
    return 0.0;
  // The smallest distance d with at least 90% of the frames at or below d.
  const std::int64_t needed = (m_count * 9 + 9) / 10;
  std::int64_t seen = 0;
  for (int bin = 0; bin < kBins; ++bin)
  {
    seen += m_histogram[bin];
    if (seen >= needed)
      return (bin + 1) * kBinCents;
  }
  return kMaxCents;
}

MPitchComparison::MPitchComparison(double sampleRateHz, const MScaleText::Notes& notes, std::ostream* csv)
    : m_notes(notes), m_input(sampleRateHz), m_output(sampleRateHz), m_inputStats(notes),
      m_outputStats(notes), m_csv(csv)
{
  if (m_csv != nullptr)
    *m_csv << "time_s,input_hz,output_hz,target_note,target_hz,input_error_cents,output_error_cents\n";
}

void MPitchComparison::OnInput(const float* interleaved, int frames, int channels)
{
  m_input.Push(interleaved, frames, channels);
  for (double hz = 0.0; m_input.Pop(hz);)
    m_pendingInput.push_back(hz);
}

void MPitchComparison::OnOutput(const float* interleaved, int frames, int channels)
{
  m_output.Push(interleaved, frames, channels);
  Drain();
}

void MPitchComparison::Drain()
{
  // The output track never runs ahead of the input track (its stream lags by the latency), so
  // each output frame finds its input frame waiting.
  for (double outputHz = 0.0; !m_pendingInput.empty() && m_output.Pop(outputHz);)
  {
    const double inputHz = m_pendingInput.front();
    m_pendingInput.pop_front();
    double inputCents = 0.0;
    double outputCents = 0.0;
    int target = 0;
    if (inputHz > 0.0)
    {
      m_inputStats.Add(inputHz);
      inputCents = MPitchErrorStats::NearestNote(m_notes, inputHz, target);
    }
    if (outputHz > 0.0)
      outputCents = m_outputStats.Add(outputHz);
    if (m_keepFrames)
      m_frames.push_back(MPitchFrame{m_input.FrameTime(m_frame), inputHz, outputHz});
    if (m_csv != nullptr)
    {
      char line[256];
      int length = std::snprintf(line, sizeof line, "%.4f,", m_input.FrameTime(m_frame));
      length += inputHz > 0.0 ? std::snprintf(line + length, sizeof line - length, "%.2f,", inputHz)
                              : std::snprintf(line + length, sizeof line - length, ",");
      length += outputHz > 0.0 ? std::snprintf(line + length, sizeof line - length, "%.2f,", outputHz)
                               : std::snprintf(line + length, sizeof line - length, ",");
      if (inputHz > 0.0)
        length += std::snprintf(line + length, sizeof line - length, "%s,%.2f,%.1f,",
                                MPitchErrorStats::NoteName(target).c_str(),
                                440.0 * std::exp2((target - 69) / 12.0), inputCents);
      else
        length += std::snprintf(line + length, sizeof line - length, ",,,");
      if (outputHz > 0.0)
        std::snprintf(line + length, sizeof line - length, "%.1f", outputCents);
      *m_csv << line << '\n';
    }
    ++m_frame;
  }
}

bool MeasurePitch(MSampleSource& source, int channels, double sampleRateHz, MPitchErrorStats& stats,
                  std::string& error)
{
  constexpr int kBlock = 4096;
  MPitchTrack track(sampleRateHz);
  std::vector<float> block(static_cast<std::size_t>(kBlock) * channels);
  for (;;)
  {
    const int got = source.Read(block.data(), kBlock, error);
    if (got <= 0)
      return error.empty();
    track.Push(block.data(), got, channels);
    for (double hz = 0.0; track.Pop(hz);)
      if (hz > 0.0)
        stats.Add(hz);
  }
}
