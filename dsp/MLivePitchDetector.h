#pragma once
// Pitch of the most recent input, by the cumulative-mean-normalised difference of the last
// few tens of milliseconds: the detector that the low-latency path uses, because it needs no
// look-ahead (the spectral detector needs a whole frame of the future).
//
// The input is averaged down to about 22 kHz (pairs at 44.1/48 kHz, fours at 88.2/96 kHz),
// which leaves every voice fundamental and most of the harmonics that decide the period,
// and quarters the cost. Each Estimate compares the newest window of 15 ms with itself
// one period earlier for every period from 1/1200 s to 1/60 s:
//   d(t) = sum over the window of (x[j] - x[j - t])^2,  d'(t) = d(t) t / sum_{k<=t} d(k);
// the period is the first dip of d' below 0.15 (the shortest good period, which keeps a
// strong second harmonic from passing for the fundamental only when it really is periodic
// there), else the deepest dip when it is below 0.35; parabolic interpolation of d' around
// it gives a fraction of a sample. Octave slips: when the last estimate lies at about twice or
// half the new period and d' there is nearly as deep, the estimate stays on its octave.
// A window quieter than -60 dBFS RMS, or one without a dip deep enough, is unvoiced.
//
// Configure allocates (any thread but the audio thread, before Push/Estimate). Push and
// Estimate run on the audio thread and allocate nothing, never block, never throw.

#include "dsp/MRealFFT.h"

#include <cstdint>
#include <vector>

class MLivePitchDetector
{
public:
  /// Sizes the buffers for a rate in Hz (above 0) and clears the history. Allocates; without the
  /// memory it throws std::bad_alloc and leaves the detector as it was.
  void Configure(double sampleRateHz);
  /// Forgets the input and the last estimate. Allocates nothing.
  void Reset();

  /// Appends `samples` input samples (full rate). Audio thread.
  void Push(const float* input, int samples);
  /// The pitch of the newest window in Hz, or -1 when unvoiced, silent or not enough input
  /// has arrived yet. Audio thread.
  double Estimate();

  /// The newest window (decimated samples) and its length, for level measurements.
  const float* Window() const;
  int WindowSize() const { return m_window; }
  /// Input samples (full rate) between the newest sample and the window's centre.
  int WindowDelay() const { return m_window / 2 * m_decimation; }

private:
  double Refine(int lag) const;
  double RefineFullRate(double lag) const;

  int m_decimation = 1;
  double m_rate = 0.0; // after decimation
  int m_minLag = 2;
  int m_maxLag = 2;
  int m_window = 0;
  std::vector<float> m_history; // decimated input, oldest first; m_filled valid samples
  int m_filled = 0;
  std::vector<float> m_difference; // d'(t) for t = 0..m_maxLag + 1
  // The correlations of the newest window with every earlier one come from one transform of
  // the span, one of the window and one back: a few times cheaper than a dot product per lag.
  MRealFFT m_fft;
  std::vector<float> m_span;    // m_fft.PreparedSize() floats
  std::vector<float> m_window2; // the same, for the window's transform
  float m_accumulator = 0.0f;   // the running sum of the current decimation group
  int m_accumulated = 0;
  double m_lastLag = -1.0;
  // The full-rate input and the tapered window that places the period to a fraction of a
  // full-rate sample (see RefineFullRate).
  std::vector<float> m_full; // oldest first; m_fullFilled valid samples
  int m_fullFilled = 0;
  std::vector<float> m_taper; // m_window * m_decimation weights
  int m_fullMaxLag = 0;
};
