#include "base/MLock.h"

int MLock::Acquire(std::uint32_t timeoutMs)
{
  if (timeoutMs == 0)
    return m_mutex.try_lock() ? 0 : 1;
  m_mutex.lock();
  return 0;
}

void MLock::Release()
{
  m_mutex.unlock();
}
