#pragma once
// The processor features the vector layer dispatches on, read once per process.
//
// Internal to the vector layer (tests may read it). Get() may be called from any thread; the
// first call reads the CPUID report and the operating system's enabled register state.

struct MProcessorFeatures
{
  bool sse = false;
  /// SSE2 (always present on x86-64); the envelope computer's polynomial twins need it.
  bool sse2 = false;
  bool sse3 = false;
  bool ssse3 = false;
  /// Recorded beside SSSE3 (level 2); no kernel depends on it.
  bool movbe = false;
  bool sse41 = false;
  /// AVX reported by the processor and its register state enabled by the operating system.
  bool avx = false;
  /// AVX2 and FMA reported as well (with AVX enabled): the level-4 kernels may run.
  bool avx2Fma = false;
  /// 4 AVX, 3 SSE4.1, 2 SSSE3, 1 SSE3, 0 none of these (or not an x86 processor).
  int level = 0;

  static const MProcessorFeatures& Get();
};
