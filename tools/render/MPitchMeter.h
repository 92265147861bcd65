#pragma once
// Pitch measurement for the renderer: how far a signal's pitch lies from the nearest note that a
// scale allows, frame by frame, with the stand-alone spectral detector (MPitchDetectorFFT).
//
// MPitchTrack turns one stream (channels mixed to mono) into one pitch per analysis frame: 2048
// samples every 512 at any rate (at 44.1 kHz a frame every 11.6 ms), 0 Hz where the frame is
// too quiet or the detector finds no pitch. Frames of two tracks fed with aligned streams
// describe the same moments.
//
// MPitchErrorStats collects the distance in cents of each voiced frame from the nearest enabled
// note, keeping a fixed-size histogram (0.05-cent bins up to 600 cents) instead of the values,
// so memory stays the same however long the stream is. Its 90th percentile is exact to a bin.
//
// MPitchComparison is the renderer's observer: an input track and an output track, the two
// statistics, and optionally a CSV line per frame (time, input pitch, output pitch, the target
// note nearest the input pitch and both distances). On request it also keeps every frame's time
// and the two pitches (MPitchFrame), for the pitch plot.
//
// Main thread only; allocation happens in the constructors (the CSV stream writes as it goes).

#include "dsp/MPitchDetectorFFT.h"
#include "tools/render/MRenderer.h"
#include "tools/render/MScaleText.h"

#include <cstdint>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

class MPitchTrack
{
public:
  static constexpr int kFrameSize = 2048;
  static constexpr double kOverlapFraction = 0.75;
  /// Frames whose largest magnitude is below this fraction of a full-scale sine's (about -46 dB)
  /// count as unvoiced.
  static constexpr double kVoicingRatio = 0.0025;

  explicit MPitchTrack(double sampleRateHz);
  MPitchTrack(const MPitchTrack&) = delete;
  MPitchTrack& operator=(const MPitchTrack&) = delete;

  /// Mixes the frames' channels to mono and analyses them; every completed frame queues its pitch.
  void Push(const float* interleaved, int frames, int channels);
  /// Takes the oldest queued frame's pitch (Hz, 0 for unvoiced); false when none is queued.
  bool Pop(double& frequencyHz);

  /// Seconds from the stream start to the middle of frame index k.
  double FrameTime(std::int64_t k) const;
  double SampleRate() const { return m_sampleRate; }

private:
  class Detector : public MPitchDetectorFFT
  {
  public:
    explicit Detector(std::deque<double>& frames) : m_frames(frames) {}
    void ProcessFrame(int frameSize, float* spectrum) override;

  private:
    std::deque<double>& m_frames;
  };

  double m_sampleRate;
  std::deque<double> m_frames;
  Detector m_detector;
  std::vector<float> m_mono;
};

class MPitchErrorStats
{
public:
  static constexpr double kBinCents = 0.05;
  static constexpr double kMaxCents = 600.0;

  explicit MPitchErrorStats(const MScaleText::Notes& notes) : m_notes(notes), m_histogram(kBins, 0) {}

  /// Adds a voiced frame of frequencyHz (> 0) and answers its signed distance in cents from the
  /// nearest enabled note (when no note is enabled, from the nearest note of all).
  double Add(double frequencyHz);
  std::int64_t Count() const { return m_count; }
  double MeanCents() const { return m_count > 0 ? m_sumCents / static_cast<double>(m_count) : 0.0; }
  /// The distance that 90% of the frames do not exceed (upper edge of its histogram bin).
  double Percentile90Cents() const;

  /// Signed distance in cents of frequencyHz from the nearest enabled note, and that note's
  /// number (69 = A4 = 440 Hz).
  static double NearestNote(const MScaleText::Notes& notes, double frequencyHz, int& note);
  /// "A4", "C#3", ... for a note number.
  static std::string NoteName(int note);

private:
  static constexpr int kBins = static_cast<int>(kMaxCents / kBinCents) + 1;

  MScaleText::Notes m_notes;
  std::vector<std::int64_t> m_histogram;
  std::int64_t m_count = 0;
  double m_sumCents = 0.0;
};

/// One analysis frame of a comparison: its middle in seconds from the stream start and the input
/// and output pitch in Hz (0 where unvoiced).
struct MPitchFrame
{
  double timeSeconds = 0.0;
  double inputHz = 0.0;
  double outputHz = 0.0;
};

class MPitchComparison : public MRenderObserver
{
public:
  /// csv may be null; when given it receives a header line at once and one line per frame.
  MPitchComparison(double sampleRateHz, const MScaleText::Notes& notes, std::ostream* csv);

  /// From now on every compared frame is also kept (24 bytes a frame, about 2 KiB per second at
  /// 44.1 kHz) and can be read from Frames().
  void KeepFrames() { m_keepFrames = true; }
  const std::vector<MPitchFrame>& Frames() const { return m_frames; }

  void OnInput(const float* interleaved, int frames, int channels) override;
  void OnOutput(const float* interleaved, int frames, int channels) override;

  const MPitchErrorStats& InputStats() const { return m_inputStats; }
  const MPitchErrorStats& OutputStats() const { return m_outputStats; }

private:
  void Drain();

  MScaleText::Notes m_notes;
  MPitchTrack m_input;
  MPitchTrack m_output;
  std::deque<double> m_pendingInput;
  MPitchErrorStats m_inputStats;
  MPitchErrorStats m_outputStats;
  std::ostream* m_csv;
  std::int64_t m_frame = 0;
  bool m_keepFrames = false;
  std::vector<MPitchFrame> m_frames;
};

/// Measures a whole source alone (no plug-in) into stats (which hold the notes to measure against).
/// Answers false with a message when the source fails.
bool MeasurePitch(MSampleSource& source, int channels, double sampleRateHz, MPitchErrorStats& stats,
                  std::string& error);
