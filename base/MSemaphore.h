#pragma once
// Counting semaphore of the operating system, created with count 0 and maximum 0x7FFFFFFF.
// Threads use it as a wake-up signal: one side releases, the other waits with a timeout.

#include "base/MSynchronizer.h"

#include <memory>

class MSemaphore : public MSynchronizer
{
public:
  /// Highest count the semaphore can reach; releases beyond it are ignored.
  static constexpr std::uint32_t kMaximumCount = 0x7FFFFFFFu;

  /// Creates the semaphore with count 0. Allocates; any thread.
  MSemaphore();
  ~MSemaphore() override;

  /// Waits up to timeoutMs milliseconds (0: try once, kInfinite: no limit) for a positive count
  /// and takes one from it. Any thread; blocks. Returns 0 on success, 1 on timeout.
  int Acquire(std::uint32_t timeoutMs = kInfinite) override;

  /// Raises the count by 1 and so wakes one waiter. Any thread; never blocks and allocates
  /// nothing (safe on the audio thread).
  void Release() override;

private:
  struct Handle;
  std::unique_ptr<Handle> m_handle;
};
