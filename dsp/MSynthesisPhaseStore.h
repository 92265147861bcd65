#pragma once
// The synthesis phases of one channel of a pitch shifter (MPitchFFTPeak), kept across frames
// by whoever owns the shifter. Written and read on the audio thread only, inside the frame
// processing; Clear allocates nothing.

/// The accumulated output phase of each bin of one channel, kept across frames, and
/// whether the channel's last frame was silent. The shifter's owner holds one per channel.
struct MSynthesisPhaseStore
{
  static constexpr int kBins = 2048;

  double phases[kBins] = {};
  bool silent = false;
  /// The high-quality shift's common delay of the harmonics (samples, within half a period of
  /// the voice's fundamental), and that period (samples; 0 before the first).
  double harmonicDelay = 0.0;
  double harmonicPeriod = 0.0;

  /// All phases 0 (the harmonic delay too), not silent (the state of a new stream).
  void Clear()
  {
    for (double& p : phases)
      p = 0.0;
    silent = false;
    harmonicDelay = 0.0;
    harmonicPeriod = 0.0;
  }
};
