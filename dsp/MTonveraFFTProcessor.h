#pragma once
// The pitch corrector of one channel: a frame engine whose spectrum hook detects the
// pitch (channel 0 only), keeps a dry copy of the frame and adds a pitch-shifted copy.
//
// The effect holds one corrector per channel and later declares
// `using FFTProcessor = MTonveraFFTProcessor;` inside TonveraAudioEffectPlugin. It
// reaches its owner only through MTonveraCorrectorOwner: dry and wet gain, Keep
// formants, Formant shift, the common correction ratio, the note tracker, the display
// copies and this channel's synthesis phase store.
//
// Per frame (ProcessSpectrum): the window's spread of a constant offset is set aside,
// then AnalyseFrame (bin magnitudes, phases and true
// frequencies; the channel-0 corrector also picks the pitch), ScaleDry (the frame times
// the dry gain), AddShifted (the channel-0 corrector feeds the tracker and publishes the
// correction ratio; every corrector adds its frame shifted by correction ratio times
// its own channel ratio, scaled by the wet gain, with formants kept or moved as set).
//
// Measured on synthetic harmonic tones (tests/dsp, pitch by autocorrelation over whole
// periods): with Depth and Speed 1 a steady tone 30 cents sharp leaves within 0.1 cent
// of its note and within 0.3 dB of its level, from 0.1 s after the latency on, at 44.1
// and 48 kHz; at Speed 0 half of the offset is left after 0.50 s. Keep formants 1 holds
// a resonance within 2 bins of its place while the pitch moves 3 semitones.
//
// High quality (the owner's HighQuality): the channel-0 corrector refines its pitch pick from
// the harmonics' phase advance (MHarmonicShifter::RefineFundamental) and publishes it; every
// corrector then takes the harmonics of that fundamental out of its frame, shifts what remains
// as above, and adds the harmonics back at exactly ratio times their frequency, phase-locked to
// each other (MHarmonicShifter). A frame without a fundamental, or whose harmonics are not found,
// goes through the peak shift alone. Standard quality runs the peak shift alone, always.
//
// Configuration (owner, channel, detection, frame size, oversampling, synthesis window,
// sample rate, Reset) happens on the configuring thread under the effect's lock and may
// allocate (SetSampleRate and Resize do). Process and everything it calls run on the
// audio thread and allocate nothing, never block and never throw. Without an owner or a
// sample rate the corrector passes the audio through, delayed by N. Non-finite input
// samples spoil the output only while they are inside the frames.

#include "dsp/MHarmonicShifter.h"
#include "dsp/MPitchFFTPeak.h"
#include "dsp/MTonveraCorrectorOwner.h"

class MTonveraFFTProcessor : public MPitchFFTPeak<4096>
{
public:
  /// 440 Hz * 2^0.25 (about 523.251 Hz): the frequency of note 60.
  static constexpr double kReferenceFrequency = 523.2511306011972;

  /// No owner, channel 0, detection off, sample rate 0, nothing detected (-1).
  MTonveraFFTProcessor();

  /// The note number of a frequency in Hz: 60 + 12 log2(f / kReferenceFrequency).
  static double NoteOfFrequency(double frequencyHz);

  // ---- Configuration (not the audio thread) ----------------------------------

  void SetOwner(MTonveraCorrectorOwner* owner) { m_owner = owner; }
  MTonveraCorrectorOwner* Owner() const { return m_owner; }
  /// Which phase store of the owner this corrector uses (0..7).
  void SetChannelIndex(int channel) { m_channelIndex = channel; }
  int ChannelIndex() const { return m_channelIndex; }
  /// Only the channel-0 corrector detects the pitch and drives the note tracker.
  void SetDetect(bool detect) { m_detect = detect; }
  bool Detect() const { return m_detect; }
  /// The fixed Detune/Width ratio of this channel (1.0 for none).
  void SetChannelRatio(double ratio) { m_channelRatio = ratio; }
  double ChannelRatio() const { return m_channelRatio; }

  /// Stores the sample rate (Hz), runs Resize (allocates) and recomputes the analysis
  /// constants, which clears the bin-phase history.
  virtual void SetSampleRate(double sampleRateHz);
  double SampleRate() const { return m_sampleRate; }
  /// Recomputes oversampling, phase step, bin width and the lowest and highest pitch
  /// bins from the current frame size, oversampling and sample rate (unchanged while the
  /// rate is 0), and zeroes the previous phases. Allocates nothing.
  void UpdateAnalysisConstants();

  /// The frame engine's reset, then UpdateAnalysisConstants. Allocates nothing.
  void Reset() override;

  // ---- Audio thread -------------------------------------------------------------

  /// The per-frame work described above; does nothing (the frame passes unchanged)
  /// without an owner or a sample rate.
  void ProcessSpectrum(int frameSize, float* spectrum) override;

  /// Bin magnitudes, phases and frequencies of the frame; with detection on, the pitch
  /// pick (kept only when 50..2000 Hz); then peaks, regions and the envelope.
  void AnalyseFrame(float* spectrum);
  /// Reads Keep formants and Formant shift for this frame and scales the frame by the
  /// dry gain (a gain of 0 clears it, so non-finite bins become 0 too). The DC value passes unchanged, and so
  /// does the share of bin 1 that the analysis window spreads out of it (taken out before the analysis by
  /// ProcessSpectrum), so a constant offset passes unchanged at any mix.
  virtual void ScaleDry(int frameSize, float* spectrum);
  /// Adds the shifted copy (see the file comment).
  virtual void AddShifted(float* spectrum);

  /// Last accepted pitch in Hz and its note number; -1 until one was detected. Kept
  /// through quiet or unvoiced frames.
  double DetectedFrequency() const { return m_detectedFrequency; }
  double DetectedNote() const { return m_detectedNote; }

private:
  void UpdateDcLeak(int frameSize);
  // Whether a pick f lies near the fundamental the last frame's harmonics gave.
  bool IsNearMeasured(double f) const;
  void AddHarmonics(double ratio, double wet, MSynthesisPhaseStore& store, bool wasSilent, float* spectrum);
  void SeparateDc(int frameSize, float* spectrum);

  bool m_detect = false;
  double m_detectedFrequency = -1.0;
  double m_detectedNote = -1.0;
  double m_sampleRate = 0.0;
  MTonveraCorrectorOwner* m_owner = nullptr;
  double m_keep = 0.0;
  double m_formantRatio = 1.0;
  // Set by ScaleDry when the dry gain is 0 and the frame's bins from 1 on were cleared; the
  // next AddShifted writes into them directly.
  bool m_dryEmpty = false;
  int m_channelIndex = 0;
  double m_channelRatio = 1.0;

  // Bin 1 of the window's own spectrum relative to its DC value: a constant input c
  // puts c * W(0) into the DC value and c * W(1) into bin 1.
  int m_dcLeakFrameSize = 0;
  double m_dcLeakRe = 0.0;
  double m_dcLeakIm = 0.0;
  // The constant offset's share of bin 1 in the current frame.
  double m_dcPartRe = 0.0;
  double m_dcPartIm = 0.0;

  // The high-quality shift's harmonic part, the frame less its harmonics, and the fundamental
  // (Hz) the current frame's harmonics were fitted to (0: none, the peak shift alone).
  MHarmonicShifter m_harmonic;
  double m_harmonicFundamental = 0.0;
  // Detecting corrector: the fundamental measured from the last frame's fitted harmonics (0:
  // none); the next frame fits its harmonics there while the pick stays near it. The
  // fundamental the detecting corrector fits this frame's harmonics to, published or not.
  double m_measuredFundamental = 0.0;
  double m_fitFundamental = 0.0;
  alignas(64) float m_residual[kMaxBins * 2] = {};
};
