#include "base/MEventProcessor.h"

#include "base/MEventBase.h"
#include "base/MLockGuard.h"

#include <new>

MEventProcessor::MEventProcessor()
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  MEventBase::GetProcessorsHeld().push_back(this);
}

MEventProcessor::~MEventProcessor()
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  auto& registry = MEventBase::GetProcessorsHeld();
  for (auto it = registry.begin(); it != registry.end(); ++it)
  {
    if (*it == this)
    {
      registry.erase(it);
      break;
    }
  }
  // Records queued for this processor could never be delivered; the events become idle.
  for (MEventBase* event : m_pending)
    if (event->m_processor == this)
      event->DropPendingHeld();
  m_pending.clear();
}

void MEventProcessor::Process()
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  while (!m_pending.empty())
  {
    MEventBase* event = m_pending.front();
    m_pending.pop_front();
    event->DispatchPendingHeld();
  }
}

std::size_t MEventProcessor::GetPendingCount() const
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  return m_pending.size();
}

void MEventProcessor::WakeUp()
{
  if (const WakeUpHandler handler = m_wakeUpHandler.load(std::memory_order_acquire))
    handler();
}

MEventProcessor& MEventProcessor::GetGlobal()
{
  // Placement in static storage without a destructor: events of static lifetime may still
  // withdraw from it during process exit.
  alignas(MEventProcessor) static unsigned char storage[sizeof(MEventProcessor)];
  static MEventProcessor* processor = new (storage) MEventProcessor;
  return *processor;
}
