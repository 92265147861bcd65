#include "tests/core/MLockWaitCounter.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TONVERA_LOCK_COUNTER_OFF 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) || !defined(__linux__)
#define TONVERA_LOCK_COUNTER_OFF 1
#endif

#ifndef TONVERA_LOCK_COUNTER_OFF
#include <atomic>

#include <dlfcn.h>
#include <pthread.h>
#endif

namespace
{
thread_local std::size_t t_count = 0;
thread_local bool t_active = false;
} // namespace

#ifndef TONVERA_LOCK_COUNTER_OFF
// Every caller in the process that does not bind the call itself lands here: the executable's
// definition comes first in the lookup order. The real call is found once, without a static guard
// (a guard may itself lock).
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex)
{
  using Lock = int (*)(pthread_mutex_t*);
  static std::atomic<Lock> s_real{nullptr};
  Lock real = s_real.load(std::memory_order_relaxed);
  if (real == nullptr)
  {
    real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    s_real.store(real, std::memory_order_relaxed);
  }
  if (t_active)
    ++t_count;
  return real(mutex);
}
#endif

MLockWaitCounter::Scope::Scope() : m_start(t_count), m_wasActive(t_active)
{
  t_active = true;
}

MLockWaitCounter::Scope::~Scope()
{
  t_active = m_wasActive;
}

std::size_t MLockWaitCounter::Scope::Count() const
{
  return t_count - m_start;
}

std::size_t MLockWaitCounter::ThreadCount()
{
  return t_count;
}

bool MLockWaitCounter::IsCounting()
{
#ifdef TONVERA_LOCK_COUNTER_OFF
  return false;
#else
  return true;
#endif
}
