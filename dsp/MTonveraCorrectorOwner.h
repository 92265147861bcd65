#pragma once
// What a pitch corrector (MTonveraFFTProcessor) reads from and writes to the effect that
// owns it. The effect implements this interface; tests drive a corrector with a small
// owner of their own.
//
// Threads: every operation is called on the audio thread, from inside the corrector's
// frame processing, while the effect holds its processing lock. Implementations must
// not allocate, block or throw.

#include "dsp/MSynthesisPhaseStore.h"

class MNoteTracker;

class MTonveraCorrectorOwner
{
public:
  virtual ~MTonveraCorrectorOwner() = default;

  /// Gain of the unshifted signal, 0..1, derived from Dry/wet for the current block.
  virtual double DryGain() const = 0;
  /// Gain of the shifted signal, 0..1, derived from Dry/wet for the current block.
  virtual double WetGain() const = 0;
  /// The Keep formants value, 0..1 (0 lets the spectral envelope move with the pitch).
  virtual double KeepFormants() const = 0;
  /// The Formant shift value in semitones, -12..12.
  virtual double FormantShift() const = 0;

  /// The pitch ratio common to all channels, as the channel-0 corrector last set it
  /// (1.0 before any correction).
  virtual double CorrectionRatio() const = 0;
  /// Called by the channel-0 corrector once per frame.
  virtual void SetCorrectionRatio(double ratio) = 0;

  /// The tracker that the channel-0 corrector feeds with the detected note. (Not named
  /// NoteTracker: the effect declares that name as the tracker's type.)
  virtual MNoteTracker& Tracker() = 0;
  /// Copies of the tracker's input note, output note and chosen note for the editor's
  /// tuning display; called by the channel-0 corrector once per frame.
  virtual void SetDisplayNotes(double inputNote, double outputNote, int chosenNote) = 0;

  /// Called by the channel-0 corrector once per frame, after the tracker was fed: the frame
  /// ends `frameOffset` samples into the corrector's current Process call, and `frame` holds
  /// its `frameSize` input samples. Base: nothing.
  virtual void OnTrackedFrame(int frameOffset, const float* frame, int frameSize)
  {
    (void)frameOffset;
    (void)frame;
    (void)frameSize;
  }

  /// The synthesis phase store of channel 0..7.
  virtual MSynthesisPhaseStore& PhaseStore(int channel) = 0;

  /// Whether the correctors run the high-quality shift (harmonics moved by exact ratios).
  /// Base: no, the peak shift alone.
  virtual bool HighQuality() const { return false; }

  /// The fundamental (Hz) of the frame the channel-0 corrector analysed last, for the other
  /// channels' harmonic model; 0 when that frame had none. Only the high-quality shift sets it.
  void SetHarmonicFundamental(double hz) { m_harmonicFundamental = hz; }
  double HarmonicFundamental() const { return m_harmonicFundamental; }

private:
  double m_harmonicFundamental = 0.0;
};
