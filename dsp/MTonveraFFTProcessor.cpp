#include "dsp/MTonveraFFTProcessor.h"

#include "dsp/MNoteTracker.h"
#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

MTonveraFFTProcessor::MTonveraFFTProcessor() = default;

double MTonveraFFTProcessor::NoteOfFrequency(double frequencyHz)
{
  return 60.0 + 12.0 * std::log2(frequencyHz / kReferenceFrequency);
}

void MTonveraFFTProcessor::SetSampleRate(double sampleRateHz)
{
  m_sampleRate = sampleRateHz;
  Resize();
  UpdateAnalysisConstants();
}

void MTonveraFFTProcessor::UpdateAnalysisConstants()
{
  // Without a sample rate the constants stay as they were; the phases still restart.
  SetAnalysisConstants(static_cast<double>(Oversampling()), m_sampleRate, FrameSize());
  ResetPhases();
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
  EstimateBinFrequencies(n, spectrum, 1, std::numeric_limits<int>::max());
  if (m_detect)
  {
    const int bin = FindPitchBin(n);
    if (bin > 0)
    {
      const double f = BinFrequencies()[bin];
      if (f >= kLowestPitchHz && f <= kHighestPitchHz)
      {
        m_detectedFrequency = f;
        m_detectedNote = NoteOfFrequency(f);
      }
    }
  }
  FindPeaksAndRegions(n);
  ComputeEnvelope(n);
  KeepSourceSpectrum(n, spectrum);
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
  if (std::abs(m_keep) < 1e-50 && std::abs(m_formantRatio - 1.0) < 1e-50)
    ShiftPeaks(n, ratio, wet, store, spectrum, empty);
  else
    ShiftPeaksWithFormants(n, ratio, wet, m_keep, m_formantRatio, store, spectrum, empty);
}
