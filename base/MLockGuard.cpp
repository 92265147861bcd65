#include "base/MLockGuard.h"

#include "base/MException.h"
#include "base/MString.h"

MLockGuard::MLockGuard(MSynchronizer& lock, std::uint32_t timeoutMs) : m_lock(lock)
{
  if (m_lock.Acquire(timeoutMs) != 0)
    throw MException(MString("Could not acquire mutex."));
}

MLockGuard::~MLockGuard()
{
  m_lock.Release();
}

MTryLockGuard::MTryLockGuard(MSynchronizer& lock) noexcept : m_lock(lock), m_locked(lock.Acquire(0) == 0) {}

MTryLockGuard::~MTryLockGuard()
{
  if (m_locked)
    m_lock.Release();
}

MSynchronizationObjectGuard::MSynchronizationObjectGuard(MSynchronizationObject& object, std::uint32_t flags,
                                                         std::uint32_t timeoutMs)
    : m_object(object), m_flags(flags)
{
  if (m_object.Acquire(flags, timeoutMs) != 0)
    throw MException(MString("Could not acquire emulated synchronization object."));
}

MSynchronizationObjectGuard::~MSynchronizationObjectGuard()
{
  m_object.Release(m_flags);
}
