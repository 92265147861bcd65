#include "base/MSemaphore.h"

#include <cassert>

#ifdef _WIN32
#include <windows.h>

struct MSemaphore::Handle
{
  HANDLE semaphore;
};

MSemaphore::MSemaphore() : m_handle(new Handle{CreateSemaphoreW(nullptr, 0, kMaximumCount, nullptr)})
{
  assert(m_handle->semaphore != nullptr);
}

MSemaphore::~MSemaphore()
{
  if (m_handle->semaphore != nullptr)
    CloseHandle(m_handle->semaphore);
}

int MSemaphore::Acquire(std::uint32_t timeoutMs)
{
  const DWORD wait = timeoutMs == kInfinite ? INFINITE : DWORD(timeoutMs);
  return WaitForSingleObject(m_handle->semaphore, wait) == WAIT_OBJECT_0 ? 0 : 1;
}

void MSemaphore::Release()
{
  ReleaseSemaphore(m_handle->semaphore, 1, nullptr);
}

#else
#include <cerrno>
#include <ctime>
#include <semaphore.h>

struct MSemaphore::Handle
{
  sem_t semaphore;
};

MSemaphore::MSemaphore() : m_handle(new Handle)
{
  [[maybe_unused]] const int result = sem_init(&m_handle->semaphore, 0, 0);
  assert(result == 0);
}

MSemaphore::~MSemaphore()
{
  sem_destroy(&m_handle->semaphore);
}

int MSemaphore::Acquire(std::uint32_t timeoutMs)
{
  sem_t* semaphore = &m_handle->semaphore;
  if (timeoutMs == 0)
  {
    while (sem_trywait(semaphore) != 0)
      if (errno != EINTR)
        return 1;
    return 0;
  }
  if (timeoutMs == kInfinite)
  {
    while (sem_wait(semaphore) != 0)
      if (errno != EINTR)
        return 1;
    return 0;
  }
  // sem_timedwait takes an absolute wall-clock deadline; it is the timed wait that every POSIX
  // system has and that the thread checkers understand.
  timespec deadline{};
  clock_gettime(CLOCK_REALTIME, &deadline);
  deadline.tv_sec += time_t(timeoutMs / 1000);
  deadline.tv_nsec += long(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L)
  {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  while (sem_timedwait(semaphore, &deadline) != 0)
    if (errno != EINTR)
      return 1;
  return 0;
}

void MSemaphore::Release()
{
  // Fails with EOVERFLOW at the maximum count, which is the documented limit.
  sem_post(&m_handle->semaphore);
}
#endif
