#include "dsp/MTonveraFFTProcessor.h"

#include "dsp/MNoteTracker.h"
#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace
{
// How far (as a share) the pitch pick may lie from the fundamental the harmonics gave and still
// be taken for the same note.
constexpr double kFundamentalTolerance = 0.03;
// Harmonics this far below the loudest bin (-50 dB) are left to the peak shift: what it does to
// them (at worst -47 dB of the partial) lies near -97 dB of the voice. (At -40 dB the fit costs
// a fifth less, but the held note of the vocal-like test tone comes out 2 dB less clean.)
constexpr float kQuietHarmonic = 3e-3f;
// The highest harmonic the pick may slip to and still be taken for the fundamental.
constexpr double kMaxSlip = 4.0;
} // namespace

MTonveraFFTProcessor::MTonveraFFTProcessor() = default;

double MTonveraFFTProcessor::NoteOfFrequency(double frequencyHz)
{
  return 60.0 + 12.0 * std::log2(frequencyHz / kReferenceFrequency);
}

void MTonveraFFTProcessor::SetSampleRate(double sampleRateHz)
{
  m_sampleRate = sampleRateHz;
  Resize();
  if (Window().Length() == FrameSize())
    m_harmonic.Prepare(Window().Coefficients(), FrameSize());
  UpdateAnalysisConstants();
}

void MTonveraFFTProcessor::UpdateAnalysisConstants()
{
  // Without a sample rate the constants stay as they were; the phases still restart.
  SetAnalysisConstants(static_cast<double>(Oversampling()), m_sampleRate, FrameSize());
  ResetPhases();
  m_harmonic.ResetHistory();
  m_measuredFundamental = 0.0;
  // Also here, so that the audio thread only has to do it when N changed without a
  // configuration call.
  if (Window().Length() == FrameSize())
    UpdateDcLeak(FrameSize());
}

void MTonveraFFTProcessor::Reset()
{
  MPitchFFTPeak<4096>::Reset();
  UpdateAnalysisConstants();
}

void MTonveraFFTProcessor::ProcessSpectrum(int frameSize, float* spectrum)
{
  if (m_owner == nullptr || frameSize != FrameSize() || !(m_sampleRate > 0.0))
    return;
  m_dryEmpty = false;
  SeparateDc(frameSize, spectrum);
  AnalyseFrame(spectrum);
  ScaleDry(frameSize, spectrum);
  AddShifted(spectrum);
}

void MTonveraFFTProcessor::SeparateDc(int frameSize, float* spectrum)
{
  m_dcPartRe = 0.0;
  m_dcPartIm = 0.0;
  if (frameSize < 4)
    return;
  if (m_dcLeakFrameSize != frameSize)
    UpdateDcLeak(frameSize);
  // The window spreads a constant offset over the DC value and bin 1. The shifted copy
  // never contains the DC value, and bin 1 belongs to the lowest peak's region, so the
  // offset's share of bin 1 is taken out here (it would otherwise be shifted and phase-
  // rotated with that peak) and put back whole by ScaleDry, next to the DC value.
  const double dc = spectrum[0];
  m_dcPartRe = dc * m_dcLeakRe;
  m_dcPartIm = dc * m_dcLeakIm;
  spectrum[2] = static_cast<float>(spectrum[2] - m_dcPartRe);
  spectrum[3] = static_cast<float>(spectrum[3] - m_dcPartIm);
}

void MTonveraFFTProcessor::AnalyseFrame(float* spectrum)
{
  const int n = FrameSize();
  const bool high = m_owner->HighQuality() && m_harmonic.PreparedSize() == n;
  EstimateBinFrequencies(n, spectrum, 1, std::numeric_limits<int>::max());
  if (m_detect)
  {
    const int bin = FindPitchBin(n);
    double f = bin > 0 ? BinFrequencies()[bin] : -1.0;
    // A voice whose fundamental lies well under its next harmonics makes the pick slip to one
    // of them now and then. While the last frame's fundamental was there to be fitted, such a
    // pick is taken back to it: fitted on the slipped pick, the fundamental would be handed to
    // the peak shift for a frame, whose phase does not follow the harmonic model's.
    if (high && f > 0.0 && m_harmonic.FundamentalKept() && m_measuredFundamental > 0.0)
    {
      const double multiple = std::round(f / m_measuredFundamental);
      if (multiple >= 2.0 && multiple <= kMaxSlip && IsNearMeasured(f / multiple))
        f /= multiple;
    }
    // The high-quality refinement compares each frame with the previous one. While the pick
    // stays near the fundamental the last frame's harmonics gave, that one is used and the
    // refinement is not needed (its next frame starts afresh).
    if (high && IsNearMeasured(f))
      m_harmonic.ResetRefinement();
    else if (high)
    {
      const double refined = m_harmonic.RefineFundamental(spectrum, n, f, BinWidth(), PhaseStep());
      if (refined >= MHarmonicShifter::kConfirmedSpacing * BinWidth())
        f = refined;
    }
    const bool accepted = f >= kLowestPitchHz && f <= kHighestPitchHz;
    if (accepted)
    {
      m_detectedFrequency = f;
      m_detectedNote = NoteOfFrequency(f);
    }
    // While the pick stays near the fundamental the last frame's harmonics gave, the harmonics
    // are fitted there: it is the more precise of the two.
    double fundamental = high && accepted ? f : 0.0;
    const bool confirmed = fundamental > 0.0 && IsNearMeasured(fundamental);
    if (confirmed)
      fundamental = m_measuredFundamental;
    // Harmonics closer than kConfirmedSpacing (a low voice) are fitted here every frame, but
    // moved by the harmonic model only once their own phase advance has confirmed the pick:
    // the pick alone wanders by more than their spacing allows.
    m_fitFundamental = fundamental;
    const bool close = fundamental < MHarmonicShifter::kConfirmedSpacing * BinWidth();
    m_owner->SetHarmonicFundamental(close && !confirmed ? 0.0 : fundamental);
  }
  // High quality finds the peaks of the frame only when its harmonics are not taken out.
  if (high)
    FindLargestMagnitude(n);
  else
    FindPeaksAndRegions(n);
  ComputeEnvelope(n);
  m_harmonicFundamental = 0.0;
  if (high)
  {
    const double published = m_owner->HarmonicFundamental();
    const double f0 = m_detect ? m_fitFundamental : published;
    // The fit needs bin 1 whole: the constant offset's share goes back in for it, and is
    // worked out again from the DC value less the harmonics' leakage into it.
    spectrum[2] = static_cast<float>(spectrum[2] + m_dcPartRe);
    spectrum[3] = static_cast<float>(spectrum[3] + m_dcPartIm);
    // Harmonics 50 dB below the frame's loudest bin are not worth fitting.
    const bool fitted = m_harmonic.Fit(spectrum, n, f0 > 0.0 ? f0 / BinWidth() : 0.0, m_residual,
                                       Magnitudes(), LargestMagnitude() * kQuietHarmonic) > 0;
    const double dc = spectrum[0] - m_harmonic.FittedDc();
    m_dcPartRe = dc * m_dcLeakRe;
    m_dcPartIm = dc * m_dcLeakIm;
    for (float* bins : {spectrum, m_residual})
    {
      bins[2] = static_cast<float>(bins[2] - m_dcPartRe);
      bins[3] = static_cast<float>(bins[3] - m_dcPartIm);
    }
    if (m_detect)
    {
      // The harmonics' own phase advance gives the fundamental the tracker follows.
      const double measured = m_harmonic.MeasureFundamental(BinWidth(), n, HopSize());
      const double previous = m_measuredFundamental;
      m_measuredFundamental = 0.0;
      if (measured >= kLowestPitchHz && measured <= kHighestPitchHz &&
          std::abs(measured / f0 - 1.0) < kFundamentalTolerance)
      {
        // The next frame's harmonics are placed at the mean of the last two measurements: the
        // placement then does not feed its own error back from frame to frame.
        m_measuredFundamental = previous > 0.0 ? 0.5 * (measured + previous) : measured;
        m_detectedFrequency = measured;
        m_detectedNote = NoteOfFrequency(measured);
      }
    }
    if (fitted && published > 0.0)
    {
      m_harmonicFundamental = f0;
      UseResidualAsSource(n, m_residual, m_harmonic.ChangedEnd());
      return;
    }
    FindPeaksAndRegions(n);
  }
  else
  {
    m_measuredFundamental = 0.0;
  }
  KeepSourceSpectrum(n, spectrum);
}

bool MTonveraFFTProcessor::IsNearMeasured(double f) const
{
  return m_measuredFundamental > 0.0 && std::abs(f / m_measuredFundamental - 1.0) < kFundamentalTolerance;
}

void MTonveraFFTProcessor::UpdateDcLeak(int frameSize)
{
  // W(1) / W(0) of the analysis window, from its coefficients (runs once per frame size).
  const MSignalWindow& window = Window();
  double sum = 0.0;
  double re = 0.0;
  double im = 0.0;
  if (window.Length() == frameSize)
  {
    const float* w = window.Coefficients();
    for (int i = 0; i < frameSize; ++i)
    {
      const double angle = 2.0 * std::numbers::pi * i / frameSize;
      sum += w[i];
      re += w[i] * std::cos(angle);
      im -= w[i] * std::sin(angle);
    }
  }
  m_dcLeakRe = sum != 0.0 ? re / sum : 0.0;
  m_dcLeakIm = sum != 0.0 ? im / sum : 0.0;
  m_dcLeakFrameSize = frameSize;
}

void MTonveraFFTProcessor::ScaleDry(int frameSize, float* spectrum)
{
  m_keep = m_owner->KeepFormants();
  m_formantRatio = std::exp2(-m_owner->FormantShift() / 12.0);
  const float dry = static_cast<float>(m_owner->DryGain());
  if (frameSize < 4)
    return;
  // Element 0, the DC value, stays as it is. A dry gain of 0 (fully wet, the usual setting)
  // clears the rest, and the shifted copy is then written straight into it.
  m_dryEmpty = dry == 0.0f;
  if (m_dryEmpty)
    MVector::ZeroFloats(spectrum + 1, frameSize - 1);
  else
    MVector::MultiplyByScalar(dry, spectrum + 1, frameSize - 1);
  spectrum[2] = static_cast<float>(spectrum[2] + m_dcPartRe);
  spectrum[3] = static_cast<float>(spectrum[3] + m_dcPartIm);
  m_dcPartRe = 0.0;
  m_dcPartIm = 0.0;
}

void MTonveraFFTProcessor::AddShifted(float* spectrum)
{
  if (m_detect)
  {
    MNoteTracker& tracker = m_owner->Tracker();
    const int hop = HopSize();
    if (m_detectedFrequency > 0.0)
      tracker.FeedNote(NoteOfFrequency(m_detectedFrequency), hop);
    else
      tracker.FeedNote(std::nullopt, hop);
    const double ratio =
        tracker.OutputNote() >= 0.0 ? std::exp2((tracker.OutputNote() - tracker.InputNote()) / 12.0) : 1.0;
    m_owner->SetCorrectionRatio(ratio);
    m_owner->SetDisplayNotes(tracker.InputNote(), tracker.OutputNote(), tracker.ChosenNote());
    m_owner->OnTrackedFrame(FrameInputOffset(), FrameInput(), FrameSize());
  }

  const double ratio = m_owner->CorrectionRatio() * m_channelRatio;
  const double wet = m_owner->WetGain();
  MSynthesisPhaseStore& store = m_owner->PhaseStore(m_channelIndex);
  const int n = FrameSize();
  const bool empty = m_dryEmpty;
  m_dryEmpty = false;
  const bool wasSilent = store.silent;
  m_harmonic.HandOverPhases(store.phases, ratio, m_harmonicFundamental > 0.0);
  if (std::abs(m_keep) < 1e-50 && std::abs(m_formantRatio - 1.0) < 1e-50)
    ShiftPeaks(n, ratio, wet, store, spectrum, empty);
  else
    ShiftPeaksWithFormants(n, ratio, wet, m_keep, m_formantRatio, store, spectrum, empty);
  if (m_harmonicFundamental > 0.0)
    AddHarmonics(ratio, wet, store, wasSilent, spectrum);
}

void MTonveraFFTProcessor::AddHarmonics(double ratio, double wet, MSynthesisPhaseStore& store, bool wasSilent,
                                        float* spectrum)
{
  // The same limits as the peak shift's.
  if (!(ratio >= 1.0 / 64.0 && ratio <= 64.0))
    ratio = 1.0;
  double formantRatio = m_formantRatio;
  if (!(formantRatio >= 1.0 / 64.0 && formantRatio <= 64.0))
    formantRatio = 1.0;
  const double keep = std::isfinite(m_keep) ? std::clamp(m_keep, 0.0, 1.0) : 0.0;
  // The harmonics restart with the other phases after silence. Then their common delay grows
  // by (ratio - 1) samples per sample, which advances harmonic h by (ratio - 1) times its own
  // advance. A whole period of the fundamental changes no harmonic, so the delay is kept within
  // half a period (the less it is, the less a changing period moves the phases). A period a
  // whole number of times shorter than the voice's (the pick slipped to a harmonic) wraps it by
  // the voice's: wrapped by the shorter one, the odd harmonics, the fundamental among them,
  // would turn by pi against the neighbouring frames (a dip where they overlap).
  if (wasSilent && !store.silent)
  {
    store.harmonicDelay = 0.0;
    store.harmonicPeriod = 0.0;
  }
  const double period = m_sampleRate / m_harmonicFundamental;
  const double multiple = store.harmonicPeriod > 0.0 ? std::round(store.harmonicPeriod / period) : 0.0;
  double wrap = period;
  if (multiple >= 2.0 && multiple <= kMaxSlip &&
      std::abs(store.harmonicPeriod / (multiple * period) - 1.0) < kFundamentalTolerance)
    wrap = multiple * period;
  else
    store.harmonicPeriod = period;
  const double delay = std::remainder(store.harmonicDelay + (ratio - 1.0) * HopSize(), wrap);
  store.harmonicDelay = std::isfinite(delay) ? delay : 0.0;
  const double theta = 2.0 * std::numbers::pi * store.harmonicDelay / period;
  const bool formants = !(keep < 1e-50 && std::abs(formantRatio - 1.0) < 1e-50);
  m_harmonic.Synthesize(spectrum, FrameSize(), ratio, theta, wet, formants ? Envelope() : nullptr, keep,
                        formantRatio, kMaxFormantGain);
  // The DC value passed whole, the input harmonics' leakage included; only the dry share of
  // that leakage stays (the shifted harmonics brought their own).
  spectrum[0] = static_cast<float>(spectrum[0] - (1.0 - m_owner->DryGain()) * m_harmonic.FittedDc());
}
