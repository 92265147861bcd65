#pragma once
// The low-latency pitch shifter of one channel: the input is read back from a delay line at
// the pitch ratio, and whenever the read point drifts too far from the nominal delay it jumps
// by one period of the voice, crossfaded over one period. A jump of a whole period lands on
// the same point of the waveform, so a voiced input comes out without the comb and
// flutter that a fixed-length loop leaves.
//
// The nominal delay is the latency L. While the ratio is 1 the read point stays where it is,
// so an unshifted input comes out exactly L samples late; while shifting, the read point moves
// by (1 - ratio) per sample inside [L - P/2, L + P/2] (P the period), moved up where needed so
// that neither tap ever reads ahead of the newest sample. Without a period (unvoiced input) the
// read point returns to L over a short crossfade, which is how a click after a note comes out
// on time again. Formants move with the pitch: the read-back is a resampling.
//
// Configure allocates (not on the audio thread). Process, Feed and Reset run on the audio
// thread and allocate nothing, never block, never throw.

#include <vector>

class MLiveShifter
{
public:
  /// Delay line for delays up to `maxDelaySamples` (at least 4 * L for low voices); latency
  /// L in samples (at least 4). Clears the line. Allocates; without the memory it throws
  /// std::bad_alloc and leaves the shifter as it was.
  void Configure(int latencySamples, int maxDelaySamples);
  /// Empties the delay line and puts the read point at L. Allocates nothing.
  void Reset();
  int Latency() const { return m_latency; }

  /// Writes `samples` input samples without producing output (keeps the history while the
  /// other path runs).
  void Feed(const float* input, int samples);
  /// Writes the input and produces dryGain * (input L samples late) + wetGain * (the shifted
  /// input). The ratio moves linearly from the last call's ratio to `ratio` over the first 16
  /// samples of the call; `periodSamples` is the voice's period (0 or less: unvoiced). `input` and `output`
  /// may be the same.
  void Process(const float* input, float* output, int samples, double ratio, double periodSamples,
               float dryGain, float wetGain);

private:
  void Write(float sample);
  float Read(double delay) const;
  void StartJump(double target, int length);

  std::vector<float> m_line;       // 2 * m_size: every sample at its index and m_size above
  const float* m_kernel = nullptr; // interpolation rows shared by every shifter, see Read
  int m_size = 0;
  int m_mask = 0;
  int m_write = 0;
  int m_latency = 4;
  int m_maxDelay = 8;
  double m_delay = 4.0;
  double m_ratio = 1.0;
  // An active crossfade: the read point fades from m_delay to m_fadeDelay.
  bool m_fading = false;
  double m_fadeDelay = 0.0;
  int m_fadePosition = 0;
  int m_fadeLength = 1;
};
