#pragma once
// MDenormalGuard: flushes denormal floats to zero for the lifetime of the guard.
//
// On x86 with SSE the guard sets the flush-to-zero and denormals-are-zero bits of MXCSR and
// restores the caller's MXCSR on destruction, so a host's own floating-point mode is left as it
// was. Elsewhere it does nothing (the block driver's other defences still apply).
//
// Audio thread; never allocates, never throws. Keep it on the stack of the processing call.

#include <cstdint>

class MDenormalGuard
{
public:
  MDenormalGuard() noexcept;
  ~MDenormalGuard();
  MDenormalGuard(const MDenormalGuard&) = delete;
  MDenormalGuard& operator=(const MDenormalGuard&) = delete;

  /// True when this build can change the mode (x86 with SSE).
  static bool IsSupported() noexcept;
  /// True when flush-to-zero is on for the calling thread right now.
  static bool IsFlushingNow() noexcept;

private:
  std::uint32_t m_saved = 0;
};
