#pragma once
// Stand-alone pitch detector: an analysis-only frame reader with the spectral pitch
// pick, a loudness gate, a confirmation count and a rate limit on the reported pitch.
//
// Frames are 4096 samples every 2048 (Resize changes both). Each frame's pick is
// accepted when it lies between the minimum and maximum frequency and the frame passes
// the gate; with a hold time, an accepted pitch is reported only once it has been
// confirmed by the following frames; each report may move the reported frequency
// by at most the rate limit (in log10 units).
//
// Lifecycle: set the options, then SetSampleRate (or Resize), which runs the set-up:
// the reported frequency, the candidate and the countdown start from zero and the
// phases of the previous frame are forgotten. Then Process the stream. Options set
// later take effect at the next set-up. Configuration calls allocate; Process
// allocates nothing and never blocks. One thread at a time.

#include "dsp/MAudioFFTReader.h"
#include "dsp/MPitchFFTBase.h"

class MPitchDetectorFFT : public MAudioFFTReader, public MPitchFFTBase<4096>
{
public:
  static constexpr int kDefaultFrameSize = 4096;
  static constexpr double kDefaultOverlapFraction = 0.5;
  static constexpr double kDefaultSampleRate = 44100.0;

  /// Frames of 4096 with half overlap at 44.1 kHz. Allocates.
  MPitchDetectorFFT();

  /// The reader's Resize (frame size limited to 8..4096, overlap fraction), then the
  /// set-up with the stored sample rate. Allocates.
  void Resize(int frameSize, double overlapFraction) override;

  /// Stores the rate (Hz; a non-positive or NaN rate is ignored) and runs the set-up
  /// (through Resize with the current frame size and overlap). Allocates.
  void SetSampleRate(double sampleRateHz);
  double SampleRate() const { return m_sampleRate; }

  /// Frame handler: analyses one spectrum and reports an accepted pitch.
  void ProcessFrame(int frameSize, float* spectrum) override;

  /// Stores a detected frequency (Hz) as the reported one, limited in its change of
  /// log10(frequency) by the rate limit when that is on and a frequency of at least
  /// 1 Hz was reported before.
  void PitchDetected(double frequencyHz);

  /// Frames whose largest magnitude is below (N/2) * ratio are skipped; 0 or below
  /// (the default, -1) disables the gate. The ratio relates to a full-scale sine,
  /// whose largest magnitude is about N/4.
  void SetVoicingRatio(double ratio) { m_voicingRatio = ratio; }
  /// Picks outside [minimumHz, maximumHz] are ignored (default 50 .. 2000).
  void SetFrequencyRange(double minimumHz, double maximumHz);
  /// Seconds an accepted pitch must persist (within 0.8 .. 1.25 of the previous
  /// frame's) before it is reported; 0 (default) reports every accepted frame.
  void SetHoldTime(double seconds) { m_holdTime = seconds; }
  /// 0 .. 1; below 1 limits the change of the reported pitch per report to
  /// (s^4 * 20 + 0.01) * hop / sampleRate in log10 units, times the hold frames when
  /// there are any. 1 (default) reports unlimited.
  void SetSmoothing(double smoothing) { m_smoothing = smoothing; }

  /// The last reported frequency in Hz; 0 until the first report after a set-up.
  double ReportedFrequency() const { return m_reportedFrequency; }
  /// Reports since the set-up (PitchDetected calls).
  long long ReportCount() const { return m_reportCount; }
  int HoldFrames() const { return m_holdFrames; }
  bool RateLimitOn() const { return m_rateLimitOn; }
  /// Largest change of log10(frequency) per report while the rate limit is on.
  double RateLimit() const { return m_rateLimit; }
  double VoicingRatio() const { return m_voicingRatio; }
  double MinimumFrequency() const { return m_minimumFrequency; }
  double MaximumFrequency() const { return m_maximumFrequency; }
  double HoldTime() const { return m_holdTime; }
  double Smoothing() const { return m_smoothing; }

private:
  void SetUp(double sampleRateHz);

  double m_sampleRate = kDefaultSampleRate;
  double m_reportedFrequency = 0.0;
  double m_voicingRatio = -1.0;
  double m_minimumFrequency = kLowestPitchHz;
  double m_maximumFrequency = kHighestPitchHz;
  double m_lastCandidate = 0.0;
  double m_holdTime = 0.0;
  double m_smoothing = 1.0;
  double m_rateLimit = 0.0;
  bool m_rateLimitOn = false;
  int m_holdFrames = 0;
  int m_countdown = 0;
  long long m_reportCount = 0;
};
