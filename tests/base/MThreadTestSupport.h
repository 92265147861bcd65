#pragma once
// Bounded waiting for the concurrency tests: a fault makes a test fail, never hang.

#include "base/MSemaphore.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

namespace MThreadTestSupport
{
/// Generous limit for things that happen within microseconds when all is well.
constexpr std::uint32_t kPatienceMs = 5000;

/// Polls `condition` every millisecond until it holds (true) or kPatienceMs passed (false).
template <class Condition>
bool WaitUntil(Condition condition)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
  while (!condition())
  {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

/// Takes a lock on a thread of its own (`acquire` answers 0 once it holds it) and keeps it until
/// Finish, when `release` gives it back.
class MHoldingThread
{
public:
  MHoldingThread(std::function<int()> acquire, std::function<void()> release)
      : m_thread([this, acquire, release] {
          m_result = acquire();
          m_taken.Release();
          m_finish.Acquire(kPatienceMs);
          if (m_result == 0)
            release();
        })
  {}
  ~MHoldingThread() { Finish(); }

  /// Waits until the thread holds the lock (or gave up). True when it holds it.
  bool WaitTaken() { return m_taken.Acquire(kPatienceMs) == 0 && m_result == 0; }
  void Finish()
  {
    if (!m_thread.joinable())
      return;
    m_finish.Release();
    m_thread.join();
  }

private:
  MSemaphore m_taken;
  MSemaphore m_finish;
  int m_result = -1;
  std::thread m_thread;
};
} // namespace MThreadTestSupport
