#pragma once
// Scoped guards: take a lock on construction, give it back on destruction.
//
//   MLockGuard guard(m_processingLock);            // waits without limit
//   MLockGuard guard(m_processingLock, 0);         // tries once; throws when the lock is busy
//   MTryLockGuard tryGuard(m_processingLock);      // tries once; never throws (audio thread)
//   MSynchronizationObjectGuard shared(m_treeLock, MSynchronizationObject::kModeShared);

#include "base/MSynchronizationObject.h"
#include "base/MSynchronizer.h"

#include <cstdint>

class MLockGuard
{
public:
  /// Acquires `lock` with the timeout in milliseconds (MSynchronizer::kInfinite: no limit,
  /// 0: try once). Throws MException "Could not acquire mutex." when the lock cannot be taken;
  /// the exception allocates, so the audio thread uses MTryLockGuard instead.
  explicit MLockGuard(MSynchronizer& lock, std::uint32_t timeoutMs = MSynchronizer::kInfinite);
  ~MLockGuard();
  MLockGuard(const MLockGuard&) = delete;
  MLockGuard& operator=(const MLockGuard&) = delete;

private:
  MSynchronizer& m_lock;
};

class MTryLockGuard
{
public:
  /// Tries `lock` once without waiting. Never throws, never allocates.
  explicit MTryLockGuard(MSynchronizer& lock) noexcept;
  ~MTryLockGuard();
  MTryLockGuard(const MTryLockGuard&) = delete;
  MTryLockGuard& operator=(const MTryLockGuard&) = delete;

  /// True when the lock was taken (and is released by the destructor).
  bool IsLocked() const noexcept { return m_locked; }

private:
  MSynchronizer& m_lock;
  bool m_locked;
};

class MSynchronizationObjectGuard
{
public:
  /// Acquires `object` in the mode and with the flags of `flags` (see MSynchronizationObject),
  /// waiting up to timeoutMs milliseconds. Throws MException
  /// "Could not acquire emulated synchronization object." on failure. The destructor releases
  /// with the same flags.
  MSynchronizationObjectGuard(MSynchronizationObject& object, std::uint32_t flags,
                              std::uint32_t timeoutMs = MSynchronizer::kInfinite);
  ~MSynchronizationObjectGuard();
  MSynchronizationObjectGuard(const MSynchronizationObjectGuard&) = delete;
  MSynchronizationObjectGuard& operator=(const MSynchronizationObjectGuard&) = delete;

private:
  MSynchronizationObject& m_object;
  std::uint32_t m_flags;
};
