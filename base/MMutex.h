#pragma once
// Operating-system style mutex: created unowned and unnamed, recursive for its owner, with a
// timed wait. A mutex whose owner thread ends without releasing it is abandoned: the next
// acquisition succeeds, as the operating system's mutex does.

#include "base/MSynchronizer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class MMutex : public MSynchronizer
{
public:
  MMutex() = default;
  /// Destroy a mutex only while no thread owns it.
  ~MMutex() override = default;

  /// Waits up to timeoutMs milliseconds (0: try once, kInfinite: no limit) until no other thread
  /// owns the mutex (or its owner ended), then owns it (once more, if the caller already does).
  /// Any thread; blocks; allocates nothing (but a thread's first ownership registers a
  /// thread-exit hook). Returns 0 on success, 1 on timeout.
  int Acquire(std::uint32_t timeoutMs = kInfinite) override;

  /// Releases one hold; the mutex becomes free when the owner released every hold.
  /// Must be called by the owning thread.
  void Release() override;

private:
  friend class MOwnedMutexes;
  void Abandon();

  std::mutex m_state;
  std::condition_variable m_freed;
  std::thread::id m_owner;
  std::uint32_t m_holds = 0;
  MMutex* m_nextOwned = nullptr; // the owner thread's list of owned mutexes; used by that thread only
};
