#include "core/plugin/MDenormalGuard.h"

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#define TONVERA_HAS_MXCSR 1
#include <xmmintrin.h>
#else
#define TONVERA_HAS_MXCSR 0
#endif

namespace
{
// Flush-to-zero (bit 15) and denormals-are-zero (bit 6).
constexpr std::uint32_t kFlushBits = 0x8040u;
} // namespace

MDenormalGuard::MDenormalGuard() noexcept
{
#if TONVERA_HAS_MXCSR
  m_saved = _mm_getcsr();
  _mm_setcsr(m_saved | kFlushBits);
#endif
}

MDenormalGuard::~MDenormalGuard()
{
#if TONVERA_HAS_MXCSR
  _mm_setcsr(m_saved);
#endif
}

bool MDenormalGuard::IsSupported() noexcept
{
  return TONVERA_HAS_MXCSR != 0;
}

bool MDenormalGuard::IsFlushingNow() noexcept
{
#if TONVERA_HAS_MXCSR
  return (_mm_getcsr() & 0x8000u) != 0;
#else
  return false;
#endif
}
