// Automatic gain compensation of the common effect base: the block driver's hooks and the
// optimal-gain computation behind "Set" with its progress window.

#include "framework/MQuorvelAudioEffectPlugin.h"

#include "gui/MWindow.h"
#include "gui/controls/MDialogWindow.h"

bool MQuorvelAudioEffectPlugin::IsGainCompensationEnabled() const
{
  return m_agc || m_gainCompensation.IsRunning();
}

void MQuorvelAudioEffectPlugin::PrepareGainCompensation(double hostRate)
{
  m_gainCompensation.Prepare(hostRate);
}

void MQuorvelAudioEffectPlugin::MeasureGainCompensationInput(float** inputs, std::int32_t buses,
                                                             std::int32_t samples)
{
  m_gainCompensation.MeasureInput(inputs, buses, GetNumInputs(), GetChannelsPerBus(), samples);
}

void MQuorvelAudioEffectPlugin::ApplyGainCompensation(float** outputs, std::int32_t buses,
                                                      std::int32_t samples)
{
  m_gainCompensation.Apply(outputs, buses, GetNumOutputs(), GetChannelsPerBus(), samples, m_agc);
}

// ---- the optimal-gain computation ----------------------------------------------------------------

void MQuorvelAudioEffectPlugin::StartOptimalGain()
{
  // A computation that is still running keeps the switch from before the first one.
  if (m_optimalGainTicket == 0 || m_gainCompensation.IsComputationFinished(m_optimalGainTicket))
    m_agcBeforeOptimalGain = m_agc;
  m_optimalGainTicket = m_gainCompensation.StartComputation();
  m_agc = true;
}

double MQuorvelAudioEffectPlugin::GetOptimalGainProgress() const noexcept
{
  return m_optimalGainTicket != 0 ? m_gainCompensation.GetComputationProgress(m_optimalGainTicket) : 0.0;
}

bool MQuorvelAudioEffectPlugin::IsOptimalGainFinished() const noexcept
{
  return m_optimalGainTicket != 0 && m_gainCompensation.IsComputationFinished(m_optimalGainTicket);
}

void MQuorvelAudioEffectPlugin::CancelOptimalGain()
{
  if (m_optimalGainTicket == 0)
    return;
  m_gainCompensation.CancelComputation(m_optimalGainTicket);
  m_optimalGainTicket = 0;
  m_agc = m_agcBeforeOptimalGain;
}

void MQuorvelAudioEffectPlugin::OpenOptimalGainWindow(MControl& origin)
{
  MWindow* editorWindow = origin.GetWindow();
  MWindowSystemCommon* system = editorWindow != nullptr ? editorWindow->GetWindowSystem() : nullptr;
  if (system == nullptr)
    return;
  CloseOptimalGainWindow();
  auto window =
      std::make_unique<MProgressWindow>(MString("AGC"), MString("Computing optimal output gain using AGC"));
  window->SetVisible(true);
  window->Open(*system); // throws when the window system cannot make it: nothing started then
  StartOptimalGain();
  m_optimalGainWindow = std::move(window);
  UpdateOptimalGainWindow();
}

void MQuorvelAudioEffectPlugin::UpdateOptimalGainWindow()
{
  MProgressWindow* window = m_optimalGainWindow.get();
  if (window == nullptr)
    return;
  // Cancel, Escape, Return (Cancel is the only button) and the window's close box all end here.
  if (window->IsCancelled() || window->GetModalResult() != MModalValue::None || !window->IsOpen())
  {
    CloseOptimalGainWindow();
    return;
  }
  if (!m_agc)
  {
    // Switched off meanwhile: that ends the computation, and the switch stays off.
    m_agcBeforeOptimalGain = false;
    CloseOptimalGainWindow();
    return;
  }
  if (IsOptimalGainFinished())
  {
    ReportStateChangedToHost();
    m_optimalGainWindow.reset();
    m_optimalGainTicket = 0;
    return;
  }
  const double progress = GetOptimalGainProgress();
  MString message("Computing optimal output gain using AGC\n\n");
  message += progress > 0.0 ? MString("Measuring the audio as it plays...")
                            : MString("Waiting for audio (silence does not count)...");
  window->SetProgress(progress, message);
}

void MQuorvelAudioEffectPlugin::CloseOptimalGainWindow()
{
  if (m_optimalGainWindow == nullptr)
    return;
  m_optimalGainWindow.reset();
  CancelOptimalGain();
}

void MQuorvelAudioEffectPlugin::SetEditorOpen(bool open)
{
  if (!open)
    CloseOptimalGainWindow();
  MAudioEffectPluginToAudioPluginAdapter::SetEditorOpen(open);
}
