#include "base/MMutex.h"

#include <cassert>
#include <chrono>

// Built on a standard mutex and condition variable rather than a timed pthread mutex: the
// timed pthread lock calls are invisible to ThreadSanitizer, and a condition variable waits on
// the steady clock, so a change of the wall clock cannot stretch or cut a timeout.

// The mutexes the current thread owns, linked through the mutexes themselves (no allocation).
// At thread exit every mutex still on the list is abandoned and so becomes free for waiters.
class MOwnedMutexes
{
public:
  ~MOwnedMutexes()
  {
    while (m_first != nullptr)
    {
      MMutex* mutex = m_first;
      m_first = mutex->m_nextOwned;
      mutex->m_nextOwned = nullptr;
      mutex->Abandon();
    }
  }
  void Add(MMutex* mutex)
  {
    mutex->m_nextOwned = m_first;
    m_first = mutex;
  }
  void Remove(MMutex* mutex)
  {
    for (MMutex** link = &m_first; *link != nullptr; link = &(*link)->m_nextOwned)
    {
      if (*link == mutex)
      {
        *link = mutex->m_nextOwned;
        mutex->m_nextOwned = nullptr;
        return;
      }
    }
  }

private:
  MMutex* m_first = nullptr;
};

namespace
{
thread_local MOwnedMutexes t_ownedMutexes;
} // namespace

void MMutex::Abandon()
{
  {
    std::lock_guard<std::mutex> lock(m_state);
    m_owner = std::thread::id();
    m_holds = 0;
  }
  m_freed.notify_one();
}

int MMutex::Acquire(std::uint32_t timeoutMs)
{
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> lock(m_state);
  if (m_holds > 0 && m_owner == self)
  {
    ++m_holds;
    return 0;
  }
  auto isFree = [this] { return m_holds == 0; };
  if (timeoutMs == kInfinite)
    m_freed.wait(lock, isFree);
  else if (!m_freed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isFree))
    return 1;
  m_owner = self;
  m_holds = 1;
  t_ownedMutexes.Add(this);
  return 0;
}

void MMutex::Release()
{
  std::unique_lock<std::mutex> lock(m_state);
  assert(m_holds > 0 && m_owner == std::this_thread::get_id() &&
         "MMutex released by a thread that does not own it");
  if (m_holds == 0 || --m_holds > 0)
    return;
  t_ownedMutexes.Remove(this);
  m_owner = std::thread::id();
  lock.unlock();
  m_freed.notify_one();
}
