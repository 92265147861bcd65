#pragma once
// Base of the library's emulated locks, which know modes (shared or exclusive). The bookkeeping
// lives in the derived class and is always consulted under an internal MLock; a waiting thread
// does not block in the operating system but yields the processor and asks again.

#include "base/MLock.h"
#include "base/MObject.h"

#include <cstdint>

class MSynchronizationObject : public MObject
{
public:
  /// Modes, in the low 28 bits of the flags.
  static constexpr std::uint32_t kModeShared = 0;
  static constexpr std::uint32_t kModeExclusive = 1;
  static constexpr std::uint32_t kModeMask = 0x0FFFFFFFu;
  /// Flag: do not yield the processor after a release that freed the object.
  static constexpr std::uint32_t kNoYieldAfterRelease = 0x40000000u;

  MSynchronizationObject() = default;
  MSynchronizationObject(const MSynchronizationObject&) = delete;
  MSynchronizationObject& operator=(const MSynchronizationObject&) = delete;
  ~MSynchronizationObject() override = default;

  /// Acquires in the mode of `flags`, waiting up to timeoutMs milliseconds
  /// (MSynchronizer::kInfinite: no limit; 0: ask once). Any thread; the wait is a yield loop.
  /// Allocates only what the derived bookkeeping needs. Returns 0 on success, 1 on timeout.
  int Acquire(std::uint32_t flags, std::uint32_t timeoutMs = MSynchronizer::kInfinite);

  /// Releases one hold in the mode of `flags` on the acquiring thread. When the object became
  /// completely free the caller yields once, unless kNoYieldAfterRelease is set.
  void Release(std::uint32_t flags);

protected:
  // The bookkeeping questions, always asked with the internal lock held, in this order of use.
  /// The calling thread starts waiting for `mode`.
  virtual void AddWaiter(std::uint32_t mode) = 0;
  /// Whether the calling thread may now take `mode`.
  virtual bool CanAcquire(std::uint32_t mode) = 0;
  /// The calling thread took `mode`.
  virtual void OnAcquired(std::uint32_t mode) = 0;
  /// The calling thread stops waiting for `mode`; acquired tells whether it got it.
  virtual void RemoveWaiter(bool acquired, std::uint32_t mode) = 0;
  /// The calling thread gave back one hold of `mode`; true when nobody holds the object now.
  virtual bool OnReleased(std::uint32_t mode) = 0;

  /// The internal lock; derived classes take it for consistent reads of their bookkeeping.
  MLock& GetInternalLock() { return m_lock; }

private:
  MLock m_lock;
};
