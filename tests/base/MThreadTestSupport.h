#pragma once
// Bounded waiting for the concurrency tests: a fault makes a test fail, never hang.

#include <chrono>
#include <cstdint>
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
} // namespace MThreadTestSupport
