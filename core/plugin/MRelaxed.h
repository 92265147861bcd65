#pragma once
// MRelaxed<T>: a scalar shared between threads without a lock.
//
// Parameter values, flags and the plug-in's capability switches are written by the host's
// parameter thread or the GUI thread and read by the audio thread. Each is one aligned scalar
// written whole; MRelaxed makes that an atomic access with relaxed ordering, so no torn value
// and no data race, while keeping descriptor records copyable and aggregate-initialisable
// (a copy reads the source once and stores it).
//
// Any thread; never blocks, never allocates. T must be a trivially copyable scalar.

#include <atomic>
#include <type_traits>

template <class T>
class MRelaxed
{
  static_assert(std::is_trivially_copyable_v<T>, "MRelaxed holds plain scalars");

public:
  constexpr MRelaxed() noexcept : m_value(T{}) {}
  constexpr MRelaxed(T value) noexcept : m_value(value) {}
  MRelaxed(const MRelaxed& other) noexcept : m_value(other.Load()) {}
  MRelaxed& operator=(const MRelaxed& other) noexcept
  {
    Store(other.Load());
    return *this;
  }
  MRelaxed& operator=(T value) noexcept
  {
    Store(value);
    return *this;
  }

  T Load() const noexcept { return m_value.load(std::memory_order_relaxed); }
  void Store(T value) noexcept { m_value.store(value, std::memory_order_relaxed); }
  operator T() const noexcept { return Load(); }

  /// Sets the bits of `mask` (integral T only); atomic read-modify-write.
  void SetBits(T mask) noexcept requires std::is_integral_v<T>
  {
    m_value.fetch_or(mask, std::memory_order_relaxed);
  }
  /// Clears the bits of `mask` (integral T only); atomic read-modify-write.
  void ClearBits(T mask) noexcept requires std::is_integral_v<T>
  {
    m_value.fetch_and(static_cast<T>(~mask), std::memory_order_relaxed);
  }

private:
  std::atomic<T> m_value;
};
