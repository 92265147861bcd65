#pragma once
// Critical section: a lock that the owning thread may take again (recursive).

#include "base/MSynchronizer.h"

#include <mutex>

class MLock : public MSynchronizer
{
public:
  MLock() = default;
  ~MLock() override = default;

  /// Timeout 0 tries once and fails at once when another thread holds the lock; every other
  /// timeout waits without limit (a critical section has no timed wait). The owning thread
  /// always succeeds again. A try (timeout 0) never blocks and is safe on the audio thread.
  /// Returns 0 on success, 1 on failure.
  int Acquire(std::uint32_t timeoutMs = kInfinite) override;

  /// Releases one hold of the calling thread.
  void Release() override;

private:
  std::recursive_mutex m_mutex;
};
