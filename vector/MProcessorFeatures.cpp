// CPUID reading for GCC and Clang (including MinGW-w64) and for MSVC; other targets report
// no features and run the portable level.

#include "vector/MProcessorFeatures.h"

#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
#include <intrin.h>
#define MVECTOR_CPUID_MSVC 1
#elif (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define MVECTOR_CPUID_GNU 1
#endif

namespace
{
struct Registers
{
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

#if defined(MVECTOR_CPUID_MSVC)
Registers Cpuid(unsigned leaf, unsigned subLeaf)
{
  int r[4];
  __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subLeaf));
  return {static_cast<unsigned>(r[0]), static_cast<unsigned>(r[1]), static_cast<unsigned>(r[2]),
          static_cast<unsigned>(r[3])};
}

unsigned long long EnabledStateMask()
{
  return _xgetbv(0);
}
#elif defined(MVECTOR_CPUID_GNU)
Registers Cpuid(unsigned leaf, unsigned subLeaf)
{
  Registers r;
  __cpuid_count(leaf, subLeaf, r.eax, r.ebx, r.ecx, r.edx);
  return r;
}

// XGETBV by its encoding, so that no -mxsave is needed for this file.
unsigned long long EnabledStateMask()
{
  unsigned lo = 0, hi = 0;
  __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<unsigned long long>(hi) << 32) | lo;
}
#endif

MProcessorFeatures Read()
{
  MProcessorFeatures f;
#if defined(MVECTOR_CPUID_MSVC) || defined(MVECTOR_CPUID_GNU)
  const unsigned maxLeaf = Cpuid(0, 0).eax;
  if (maxLeaf < 1)
    return f;
  const Registers r1 = Cpuid(1, 0);
  f.sse = (r1.edx >> 25) & 1;
  f.sse2 = (r1.edx >> 26) & 1;
  f.sse3 = r1.ecx & 1;
  f.ssse3 = (r1.ecx >> 9) & 1;
  f.movbe = (r1.ecx >> 22) & 1;
  f.sse41 = (r1.ecx >> 19) & 1;
  const bool fma = (r1.ecx >> 12) & 1;
  const bool osxsave = (r1.ecx >> 27) & 1;
  const bool avxBit = (r1.ecx >> 28) & 1;
  // AVX is usable only when the system saves the SSE and AVX register state (XCR0 bits 1, 2).
  f.avx = avxBit && osxsave && (EnabledStateMask() & 0x6) == 0x6;
  const bool avx2 = maxLeaf >= 7 && ((Cpuid(7, 0).ebx >> 5) & 1);
  f.avx2Fma = f.avx && avx2 && fma;
  f.level = f.avx ? 4 : f.sse41 ? 3 : f.ssse3 ? 2 : f.sse3 ? 1 : 0;
#endif
  return f;
}
} // namespace

const MProcessorFeatures& MProcessorFeatures::Get()
{
  static const MProcessorFeatures s_features = Read();
  return s_features;
}
