// Automatic gain compensation of the common effect base: the block driver's hooks and the
// optimal-gain computation behind "Set" with its progress sheet.

#include "framework/MQuorvelAudioEffectPlugin.h"

#include "framework/MGeneralSettings.h"
#include "gui/MWindow.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MSheet.h"

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
  if (editorWindow == nullptr)
    return;
  CloseOptimalGainWindow();
  MDialog& shown = MSheet::Show(
      *editorWindow,
      std::make_unique<MProgressDialog>(MString("AGC"), MString("Computing optimal output gain using AGC")));
  auto& dialog = static_cast<MProgressDialog&>(shown);
  // Cancel or Escape: the computation ends and the switch goes back. When the plug-in takes the
  // sheet away itself (done, switched off, editor closed) it has let go of it first.
  dialog.SetCompletion([this, &dialog](MModalValue) {
    if (m_optimalGainDialog != &dialog)
      return;
    m_optimalGainDialog = nullptr;
    m_optimalGainAlive.reset();
    CancelOptimalGain();
    RefreshPresetBar();
  });
  m_optimalGainDialog = &dialog;
  m_optimalGainAlive = dialog.GetLifetime();
  StartOptimalGain();
  UpdateOptimalGainWindow();
}

void MQuorvelAudioEffectPlugin::UpdateOptimalGainWindow()
{
  MProgressDialog* dialog = GetOptimalGainDialog();
  if (dialog == nullptr)
    return;
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
    m_optimalGainTicket = 0;
    EndOptimalGainDialog();
    return;
  }
  const double progress = GetOptimalGainProgress();
  MString message("Computing optimal output gain using AGC\n\n");
  message += progress > 0.0 ? MString("Measuring the audio as it plays...")
                            : MString("Waiting for audio (silence does not count)...");
  dialog->SetProgress(progress, message);
}

void MQuorvelAudioEffectPlugin::EndOptimalGainDialog()
{
  MProgressDialog* dialog = GetOptimalGainDialog();
  m_optimalGainDialog = nullptr;
  m_optimalGainAlive.reset();
  if (dialog != nullptr)
    dialog->End(MModalValue::Ok);
}

void MQuorvelAudioEffectPlugin::CloseOptimalGainWindow()
{
  if (GetOptimalGainDialog() == nullptr)
    return;
  EndOptimalGainDialog();
  CancelOptimalGain();
}

void MQuorvelAudioEffectPlugin::SetEditorOpen(bool open)
{
  if (!open)
    CloseOptimalGainWindow();
  else if (GetEditor() != nullptr && GetEditor()->GetWindow() != nullptr)
    GetEditor()->GetWindow()->SetTabletMode(MGeneralSettings::TabletMode());
  MAudioEffectPluginToAudioPluginAdapter::SetEditorOpen(open);
}
