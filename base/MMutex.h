#pragma once
// Operating-system style mutex: created unowned and unnamed, recursive for its owner, with a
// timed wait.

#include "base/MSynchronizer.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class MMutex : public MSynchronizer
{
public:
  MMutex() = default;
  ~MMutex() override = default;

  /// Waits up to timeoutMs milliseconds (0: try once, kInfinite: no limit) until no other thread
  /// owns the mutex, then owns it (once more, if the caller already does). Any thread; blocks;
  /// allocates nothing. Returns 0 on success, 1 on timeout.
  int Acquire(std::uint32_t timeoutMs = kInfinite) override;

  /// Releases one hold; the mutex becomes free when the owner released every hold.
  /// Must be called by the owning thread.
  void Release() override;

private:
  std::mutex m_state;
  std::condition_variable m_freed;
  std::thread::id m_owner;
  std::uint32_t m_holds = 0;
};
