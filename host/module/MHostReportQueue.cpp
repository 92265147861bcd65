#include "host/module/MHostReportQueue.h"

#include "core/plugin/MAudioPluginAdapter.h"

void MHostReportQueue::Queue(std::uint32_t reports)
{
  m_pending.fetch_or(reports, std::memory_order_relaxed);
  Deliver();
}

void MHostReportQueue::StateChanged()
{
  // Inside the host's own program call the host knows already.
  if (IsUIThread() && m_choosingProgram.load(std::memory_order_relaxed))
    return;
  Queue(kStateChanged);
}

void MHostReportQueue::ProgramChanged()
{
  if (!m_choosingProgram.load(std::memory_order_relaxed))
    StateChanged();
}

void MHostReportQueue::Deliver()
{
  if (!IsUIThread())
    return;
  if (MAudioPluginAdapter::IsInsideHostCall())
  {
    // Reports another thread queued wait for the target's tick, not for the end of this call.
    if (m_pending.load(std::memory_order_relaxed) != 0)
      m_target.WaitForTick();
    return;
  }
  if (!m_target.CanTellHost())
    return;
  m_target.TellHost(m_pending.exchange(0, std::memory_order_relaxed));
}
