#include "tests/support/MAllocationCounter.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local std::size_t t_count = 0;
thread_local bool t_active = false;

#ifndef TONVERA_NO_ALLOCATION_COUNTING
void* CountedAllocate(std::size_t size, std::size_t alignment)
{
  if (t_active)
    ++t_count;
  if (size == 0)
    size = 1;
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t))
    p = std::malloc(size);
  else
  {
    // aligned_alloc wants a size that is a multiple of the alignment.
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, rounded);
  }
  return p;
}
#endif
} // namespace

MAllocationCounter::Scope::Scope() : m_start(t_count), m_wasActive(t_active)
{
  t_active = true;
}

MAllocationCounter::Scope::~Scope()
{
  t_active = m_wasActive;
}

std::size_t MAllocationCounter::Scope::Count() const
{
  return t_count - m_start;
}

std::size_t MAllocationCounter::ThreadCount()
{
  return t_count;
}

#ifndef TONVERA_NO_ALLOCATION_COUNTING
void* operator new(std::size_t size)
{
  if (void* p = CountedAllocate(size, alignof(std::max_align_t)))
    return p;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
  return ::operator new(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
  return CountedAllocate(size, alignof(std::max_align_t));
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
  return CountedAllocate(size, alignof(std::max_align_t));
}

void* operator new(std::size_t size, std::align_val_t alignment)
{
  if (void* p = CountedAllocate(size, static_cast<std::size_t>(alignment)))
    return p;
  throw std::bad_alloc();
}

void* operator new[](std::size_t size, std::align_val_t alignment)
{
  return ::operator new(size, alignment);
}

void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
  return CountedAllocate(size, static_cast<std::size_t>(alignment));
}

void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
  return CountedAllocate(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* p) noexcept
{
  std::free(p);
}
void operator delete[](void* p) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept
{
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
  std::free(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
  std::free(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept
{
  std::free(p);
}
#endif // TONVERA_NO_ALLOCATION_COUNTING
