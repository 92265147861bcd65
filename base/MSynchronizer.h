#pragma once
// Abstract lock interface of the library: every operating-system lock (MLock, MMutex,
// MSemaphore) answers Acquire with a timeout and Release.

#include "base/MObject.h"

#include <cstdint>

class MSynchronizer : public MObject
{
public:
  /// Timeout value that waits without limit.
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

  MSynchronizer() = default;
  MSynchronizer(const MSynchronizer&) = delete;
  MSynchronizer& operator=(const MSynchronizer&) = delete;
  ~MSynchronizer() override = default;

  /// Takes the lock, waiting at most timeoutMs milliseconds (kInfinite: no limit, 0: try once).
  /// Any thread; blocks up to the timeout; allocates nothing.
  /// Returns 0 on success, non-zero when the lock could not be taken.
  virtual int Acquire(std::uint32_t timeoutMs) = 0;

  /// Gives back one successful Acquire. Call it on the thread that acquired (MSemaphore: any thread).
  virtual void Release() = 0;
};
