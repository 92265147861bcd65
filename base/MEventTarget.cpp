#include "base/MEventTarget.h"

#include "base/MEventBase.h"
#include "base/MLockGuard.h"

MEventTarget::~MEventTarget()
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  for (MEventBase* event : m_subscriptions)
    event->EraseHandlersOfHeld(this);
  m_subscriptions.clear();
}

std::size_t MEventTarget::GetSubscriptionCount() const
{
  MLockGuard guard(MEventBase::GetGlobalLock());
  return m_subscriptions.size();
}
