#include "core/plugin/MAutomationUpdateRequestThread.h"

#include "base/MEventProcessor.h"
#include "base/MHostCallShield.h"

MAudioPlugin::AutomationUpdateRequestThread::AutomationUpdateRequestThread(MAudioPlugin& plugin)
    : m_plugin(plugin)
{
  m_updateEvent.Subscribe<&AutomationUpdateRequestThread::OnUpdate>(this);
}

MAudioPlugin::AutomationUpdateRequestThread::~AutomationUpdateRequestThread()
{
  Stop();
  m_updateEvent.ClearQueue();
}

void MAudioPlugin::AutomationUpdateRequestThread::Stop()
{
  RequestStop();
  Wait();
}

std::int32_t MAudioPlugin::AutomationUpdateRequestThread::Run()
{
  while (!IsStopRequested())
  {
    MHostCallShield::Run("MAudioPlugin::AutomationUpdateRequestThread::Run", [&] {
      if (m_plugin.GetNeedUpdateCount() > 0 && m_updateEvent.GetPendingCount() == 0)
      {
        MOnNotifyParams params;
        if (m_updateEvent.Post(nullptr, params))
          MEventProcessor::GetGlobal().WakeUp();
      }
      // While an editor is open its idle tick chooses a requested program (on the GUI thread).
      if (!m_plugin.IsEditorOpen())
        m_plugin.ApplyRequestedProgram();
      m_plugin.RunBackgroundTick();
    });
    WaitForWakeUp(kIntervalMs);
  }
  return 0;
}

void MAudioPlugin::AutomationUpdateRequestThread::OnUpdate(MOnNotifyParams&)
{
  m_plugin.ProcessAutomationUpdates();
}
