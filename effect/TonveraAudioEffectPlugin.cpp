#include "effect/TonveraAudioEffectPlugin.h"

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "vector/MVector.h"

#include <algorithm>
#include <cmath>
#include <new>

TonveraAudioEffectPlugin::TonveraAudioEffectPlugin() : m_scaleAdapter(*this)
{
  // The correctors and their phase stores come with InitProcessing, for the channels in use.
  BuildParameters();
  for (std::atomic<bool>& reported : m_lastReportedScale)
    reported.store(true, std::memory_order_relaxed);
  for (auto& ratio : m_channelRatios)
    ratio = 1.0;
  m_scaleAdapter.m_idPart = "Scale";
}

TonveraAudioEffectPlugin::~TonveraAudioEffectPlugin() = default;

double TonveraAudioEffectPlugin::GetParameterValue(int index) const noexcept
{
  const MParameterInfo& info = m_parameters[static_cast<std::size_t>(index)];
  return info.Has(MParameterInfo::kInterpolating) ? info.floating.smoothed.Load()
                                                  : info.floating.value.Load();
}

int TonveraAudioEffectPlugin::FrameSizeForSampleRate(double sampleRate) noexcept
{
  const double scaled = sampleRate * 1024.0 / 44100.0;
  if (!(scaled > 0.0))
    return MAudioFFTProcessor::kMinFrameSize;
  const int t = static_cast<int>(std::min(scaled, 1048576.0));
  int size = t;
  if (t > 2)
  {
    int power = 1;
    while (power < t)
      power *= 2;
    // The nearer power of two; a tie takes the smaller.
    size = std::abs(power - t) < std::abs(power / 2 - t) ? power : power / 2;
  }
  return std::clamp(size, MAudioFFTProcessor::kMinFrameSize, kMaxFrameSize);
}

std::int32_t TonveraAudioEffectPlugin::InitProcessing(std::int32_t channels, double sampleRate)
{
  if (!(sampleRate > 0.0) || !std::isfinite(sampleRate))
    return -1;
  channels = std::clamp(channels, 1, kMaxChannels);
  MLockGuard guard(m_processingLock);
  try
  {
    // Made before anything changes: without the memory the previous set-up stays as it was.
    for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c)
    {
      if (m_phaseStores[c] == nullptr)
        m_phaseStores[c] = std::make_unique<MSynthesisPhaseStore>();
      if (m_correctors[c] == nullptr)
        m_correctors[c] = std::make_unique<FFTProcessor>();
    }
    ConfigureLive(channels, sampleRate);
  }
  catch (const std::bad_alloc&)
  {
    return -1;
  }
  for (std::size_t c = static_cast<std::size_t>(channels); c < kMaxChannels; ++c)
  {
    m_correctors[c].reset();
    m_phaseStores[c].reset();
  }
  m_channels = channels;
  m_sampleRate = sampleRate;
  const int frameSize = FrameSizeForSampleRate(sampleRate);
  for (int c = 0; c < channels; ++c)
  {
    FFTProcessor& corrector = GetCorrector(c);
    corrector.SetOwner(this);
    corrector.SetChannelIndex(c);
    corrector.SetSynthesisWindow(true);
    corrector.SetOversampling(4);
    corrector.SetDetect(c == 0);
    if (corrector.FrameSize() != frameSize)
      corrector.SetFrameSize(frameSize);
    // Sets the rate and rebuilds what depends on the frame size (allocates, here only).
    corrector.SetSampleRate(sampleRate);
    corrector.Reset();
  }
  m_tracker.SetSampleRate(sampleRate);
  m_tracker.UpdateCoefficients();
  m_noteSegmenter.SetSampleRate(sampleRate);
  m_noteSegmenter.Reset();
  ResetChannelsLocked();
  m_midSide = false; // the correctors start empty: nothing to turn into the other pair
  return 0;
}

void TonveraAudioEffectPlugin::ResetChannels()
{
  MLockGuard guard(m_processingLock);
  ResetChannelsLocked();
}

void TonveraAudioEffectPlugin::ResetChannelsLocked()
{
  const int channels = m_channels.Load();
  for (int c = 0; c < channels; ++c)
  {
    GetCorrector(c).UpdateAnalysisConstants();
    m_phaseStores[static_cast<std::size_t>(c)]->Clear();
  }
}

void TonveraAudioEffectPlugin::OnParametersChanged()
{
  // Only relaxed stores: the audio thread calls this before a block, and Process copies the
  // ratios into the correctors under its lock.
  if (!(m_sampleRate.Load() > 0.0))
    return;
  const int n = std::max(1, m_channels.Load());
  const double detune = GetParameterValue(kDetune) * 0.01;
  const double width = GetParameterValue(kWidth) * 0.01;
  const double step = n > 1 ? std::exp2(width / (n - 1) / 12.0) : 1.0;
  double ratio = std::exp2((-(width / n) * (n / 2) + detune) / 12.0);
  for (int c = 0; c < n; ++c)
  {
    m_channelRatios[static_cast<std::size_t>(c)] = ratio;
    ratio *= step;
  }
}

void TonveraAudioEffectPlugin::Process(const Transport&, float** inputs, float** outputs,
                                       std::int32_t samples)
{
  if (inputs == nullptr || outputs == nullptr || samples < 1 || m_channels.Load() < 1)
    return;
  MTryLockGuard guard(m_processingLock);
  if (!guard.IsLocked())
  {
    // Another thread is re-preparing the state: this block comes out silent.
    for (int c = 0; c < m_channels.Load(); ++c)
      if (outputs[c] != nullptr)
        std::fill(outputs[c], outputs[c] + samples, 0.0f);
    return;
  }
  // Read under the lock: the correctors exist for exactly this many channels.
  const int channels = m_channels.Load();

  MParameterInfo& dryWet = m_parameters[kDryWet];
  const double x = GetParameterValue(kDryWet);
  dryWet.floating.previous = x;
  m_dryGain = std::min(2.0 - std::abs(x), 1.0);
  m_wetGain = std::min(x, 1.0);

  const double speed = GetParameterValue(kSpeed);
  const double depth = GetParameterValue(kDepth);
  if (std::abs(speed - m_tracker.Speed()) >= 1e-50 || std::abs(depth - m_tracker.Depth()) >= 1e-50)
  {
    m_tracker.SetSpeed(speed);
    m_tracker.SetDepth(depth);
    m_tracker.UpdateCoefficients();
  }
  m_tracker.SetHoldCents(GetParameterValue(kNoteHold));
  for (int c = 0; c < channels; ++c)
    GetCorrector(c).SetChannelRatio(m_channelRatios[static_cast<std::size_t>(c)]);

  const bool midSide = channels == 2 && std::abs(GetParameterValue(kWidth)) < 1e-50;
  if (midSide != m_midSide && channels == 2)
  {
    // Width crossed 0: the two correctors go on with the other pair of signals. Turning what
    // they gathered and what they still owe the output into the new pair keeps the output
    // continuous (left = mid + side, right = mid - side).
    const float half = midSide ? 0.5f : 1.0f;
    FFTProcessor::MixStreams(GetCorrector(0), GetCorrector(1), half, half, half, -half);
    // The two go on from one set of synthesis phases, so that their sum and difference add up
    // as the signals they stand for do.
    *m_phaseStores[1] = *m_phaseStores[0];
  }
  m_midSide = midSide;
  ProcessWithLive(inputs, outputs, samples, channels, midSide);
}

void TonveraAudioEffectPlugin::ProcessMidSide(float** inputs, float** outputs, std::int32_t samples)
{
  const float* left = inputs[0];
  const float* right = inputs[1];
  float* out0 = outputs[0];
  float* out1 = outputs[1];
  if (left == nullptr || right == nullptr || out0 == nullptr || out1 == nullptr)
    return;
  FFTProcessor& mid = GetCorrector(0);
  FFTProcessor& side = GetCorrector(1);
  // In pieces of the scratch size: inputs are read before the same samples of the outputs are
  // written, so processing in place works.
  for (std::int32_t done = 0; done < samples;)
  {
    const int count = std::min<std::int32_t>(kScratchSamples, samples - done);
    float* a = m_scratchA.data();
    float* b = m_scratchB.data();
    // mid = (l + r) / 2 and side = (l - r) / 2, in vector calls (halving is exact).
    MVector::AddFloats(left + done, right + done, a, count);
    MVector::SubtractFloats(right + done, left + done, b, count);
    MVector::MultiplyByScalar(0.5f, a, count);
    MVector::MultiplyByScalar(0.5f, b, count);
    m_pieceStart = done;
    mid.Process(a, out0 + done, count);
    side.Process(b, out1 + done, count);
    // left = mid + side, right = mid - side; the scratch is free again once both have run.
    MVector::AddFloats(out0 + done, out1 + done, a, count);
    MVector::SubtractFloats(out1 + done, out0 + done, out1 + done, count);
    MVector::CopyFloats(a, out0 + done, count);
    done += count;
  }
}

void TonveraAudioEffectPlugin::ProcessChannels(float** inputs, float** outputs, std::int32_t samples,
                                               int channels)
{
  // Channel 0 runs its whole block first, so the other channels use the correction it found.
  for (int c = 0; c < channels; ++c)
  {
    const float* in = inputs[c];
    float* out = outputs[c];
    if (in == nullptr || out == nullptr)
      continue;
    FFTProcessor& corrector = GetCorrector(c);
    // The frame engine wants input and output apart; the copy also allows processing in place.
    for (std::int32_t done = 0; done < samples;)
    {
      const int count = std::min<std::int32_t>(kScratchSamples, samples - done);
      std::copy(in + done, in + done + count, m_scratchA.data());
      m_pieceStart = done;
      corrector.Process(m_scratchA.data(), out + done, count);
      done += count;
    }
  }
}

void TonveraAudioEffectPlugin::SetDisplayNotes(double inputNote, double outputNote, int chosenNote)
{
  m_displayInputNote = inputNote;
  m_displayOutputNote = outputNote;
  m_displayChosenNote = chosenNote;
}

bool TonveraAudioEffectPlugin::ReadDisplay(MAudioPlugin::DisplaySnapshot& snapshot) const noexcept
{
  snapshot.inputNote = m_displayInputNote.Load();
  snapshot.outputNote = m_displayOutputNote.Load();
  snapshot.chosenNote = m_displayChosenNote.Load();
  return true;
}

void TonveraAudioEffectPlugin::ShowDisplay(const MAudioPlugin::DisplaySnapshot& snapshot)
{
  SetDisplayNotes(snapshot.inputNote, snapshot.outputNote, snapshot.chosenNote);
}

void TonveraAudioEffectPlugin::OnTrackedFrame(int frameOffset, const float* frame, int frameSize)
{
  const std::int32_t offset = m_blockOffset + m_pieceStart + frameOffset;
  if (!m_midiOutput.AnySounding())
    m_noteSegmenter.NoteEnded(); // ended by the adapter (InitProcessing, Panic, bypass)
  if (!m_midiOutput.IsEnabled())
  {
    // Switched off while a note sounds: it ends here rather than hang.
    m_midiOutput.EndNotes(offset);
    m_noteSegmenter.NoteEnded();
    return;
  }
  MNoteSegmenter::Frame tracked;
  tracked.chosen = MMIDINoteNumber::FromTracker(m_tracker.ChosenNote());
  tracked.inputPitch = MMIDINoteNumber::PitchFromTracker(m_tracker.InputNote());
  tracked.levelDb = MNoteSegmenter::LevelDb(frame, frameSize);
  tracked.hopSamples = m_liveTracking ? m_liveHop : GetCorrector(0).HopSize();
  tracked.holdCents = m_tracker.HoldCents();
  const MNoteSegmenter::Decision decision = m_noteSegmenter.Feed(tracked);
  if (decision.change == MNoteSegmenter::Change::kNone)
    return;
  m_midiOutput.EndNotes(offset);
  if (decision.change == MNoteSegmenter::Change::kStart &&
      !m_midiOutput.NoteOn(offset, 0, decision.note.Number(), decision.velocity))
    m_noteSegmenter.NoteEnded();
}

MSynthesisPhaseStore& TonveraAudioEffectPlugin::PhaseStore(int channel)
{
  return *m_phaseStores[static_cast<std::size_t>(std::clamp(channel, 0, m_channels.Load() - 1))];
}

std::int32_t TonveraAudioEffectPlugin::GetLatency()
{
  // From the rate alone (a relaxed atomic), never from the correctors: the editor's idle tick
  // asks on the GUI thread while the host thread may be sizing them. The frame size follows the
  // rate of the last successful InitProcessing, which is the rate stored.
  const double rate = m_sampleRate.Load();
  if (rate <= 0.0)
    return IsLive() ? MAudioFFTProcessor::kDefaultFrameSize / 4 : MAudioFFTProcessor::kDefaultFrameSize;
  return IsLive() ? LiveLatencyForSampleRate(rate) : FrameSizeForSampleRate(rate);
}

void TonveraAudioEffectPlugin::AddAutomationAdapters(MAudioPlugin& plugin)
{
  plugin.AddAutomationAdapter(&m_scaleAdapter);
}

// ---- the editor's controls (built and drawn by the editor library, TonveraEditor.cpp) ----------------

std::atomic<const TonveraAudioEffectPlugin::EditorPart*> TonveraAudioEffectPlugin::s_editorPart{nullptr};

std::int32_t TonveraAudioEffectPlugin::CreateEditorContents(MContainer* contents)
{
  const EditorPart* part = s_editorPart.load(std::memory_order_acquire);
  return part != nullptr ? part->CreateEditorContents(*this, contents) : -1;
}

void TonveraAudioEffectPlugin::ProcessUpdate()
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->ProcessUpdate(*this);
}

void TonveraAudioEffectPlugin::RefreshPiano()
{
  // GUI thread, like the piano itself; nothing to redraw while the editor is closed.
  if (m_pianoControl == nullptr)
    return;
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->RefreshPiano(*this);
}

void TonveraAudioEffectPlugin::EditorClosed()
{
  m_pianoControl = nullptr;
  m_tuningIndicator = nullptr;
}

std::int32_t TonveraAudioEffectPlugin::GetControlParameter(const MControl& control, std::int32_t part) const
{
  const EditorPart* editor = s_editorPart.load(std::memory_order_acquire);
  return editor != nullptr ? editor->GetControlParameter(*this, control, part) : -1;
}
