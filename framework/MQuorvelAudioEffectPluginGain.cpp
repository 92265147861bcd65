// Automatic gain compensation of the common effect base: the block driver's hooks and the
// optimal-gain computation behind "Set" (its progress sheet is the editor library's,
// MQuorvelAudioEffectPluginGainWindow.cpp).

#include "framework/MQuorvelAudioEffectPlugin.h"

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

void MQuorvelAudioEffectPlugin::SetEditorOpen(bool open)
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->SetEditorOpen(*this, open);
  MAudioEffectPluginToAudioPluginAdapter::SetEditorOpen(open);
}
