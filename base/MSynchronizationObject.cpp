#include "base/MSynchronizationObject.h"

#include "base/MLockGuard.h"

#include <chrono>
#include <thread>

int MSynchronizationObject::Acquire(std::uint32_t flags, std::uint32_t timeoutMs)
{
  const std::uint32_t mode = flags & kModeMask;
  const bool infinite = timeoutMs == MSynchronizer::kInfinite;
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::milliseconds(timeoutMs);

  m_lock.Acquire();
  bool waiting = false;
  try
  {
    AddWaiter(mode);
    waiting = true;
    for (;;)
    {
      if (CanAcquire(mode))
      {
        // Bookkeeping that may allocate (the per-thread hold word) happens in OnAcquired before
        // it changes any count, so a failure there leaves the counts as they were.
        OnAcquired(mode);
        waiting = false;
        RemoveWaiter(true, mode);
        m_lock.Release();
        return 0;
      }
      m_lock.Release();
      const bool expired = !infinite && std::chrono::steady_clock::now() - start >= limit;
      if (!expired)
        std::this_thread::yield();
      m_lock.Acquire();
      if (expired)
        break;
    }
    waiting = false;
    RemoveWaiter(false, mode);
  }
  catch (...)
  {
    // Leave no phantom waiter behind: a waiting writer that never leaves would hold back every
    // new reader for good.
    if (waiting)
      RemoveWaiter(false, mode);
    m_lock.Release();
    throw;
  }
  m_lock.Release();
  return 1;
}

void MSynchronizationObject::Release(std::uint32_t flags)
{
  bool becameFree;
  {
    MLockGuard guard(m_lock);
    becameFree = OnReleased(flags & kModeMask);
  }
  if (becameFree && (flags & kNoYieldAfterRelease) == 0)
    std::this_thread::yield();
}
