#include "core/plugin/MModuleRandom.h"

#include <atomic>

namespace
{
std::atomic<std::uint32_t> s_state{1};
}

std::uint32_t MModuleRandom::NextState() noexcept
{
  std::uint32_t current = s_state.load(std::memory_order_relaxed);
  std::uint32_t next = 0;
  do
  {
    next = current * 214013u + 2531011u;
  } while (!s_state.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return next;
}

void MModuleRandom::Seed(std::uint32_t state) noexcept
{
  s_state.store(state, std::memory_order_relaxed);
}
