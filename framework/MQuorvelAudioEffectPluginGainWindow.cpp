// The progress sheet of the optimal-gain computation ("Set" in the preset bar), and the editor's
// tablet mode. Part of the framework's editor library.

#include "framework/MGeneralSettings.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "gui/MWindow.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MSheet.h"

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

void MQuorvelAudioEffectPlugin::SetCommonEditorOpen(bool open)
{
  if (!open)
    CloseOptimalGainWindow();
  else if (GetEditor() != nullptr && GetEditor()->GetWindow() != nullptr)
    GetEditor()->GetWindow()->SetTabletMode(MGeneralSettings::TabletMode());
}
