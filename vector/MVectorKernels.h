#pragma once
// Internal to the vector layer: the table of implementations that every public operation
// dispatches through, and the layout of a real-transform set-up.
//
// This header holds declarations and plain data only. It is included by translation units
// compiled for different instruction sets (the AVX2 files use -mavx2 -mfma); an inline
// function defined here could be emitted with AVX2 instructions and then chosen by the
// linker for a caller on a processor without them.

#include "vector/MVector.h"

namespace MVector
{
/// A real-transform set-up. All arrays live in one block from Allocate (memory).
struct MRealFFTSetup
{
  /// One pass of the complex transform of half the real size: a radix-4 pass over spans of
  /// `span` points with `stride` interleaved sub-transforms, or (span 8) the closing radix-8
  /// pass that replaces the last two levels when log2 of half is odd.
  struct Stage
  {
    int span;
    int stride;
    /// Radix-4 passes: six arrays of span/4 floats (w1 re, w1 im, w2 re, w2 im, w3 re, w3 im)
    /// holding exp(-2 pi i k p / span) for k = 1, 2, 3; null for the radix-8 pass.
    const float* twiddles;
  };

  int order;
  int size; // N real points
  int half; // M = N / 2 complex points
  int stageCount;
  Stage stages[16];
  /// First pass twiddles with every group of eight in the lane order (0,1,4,5,2,3,6,7) that a
  /// de-interleaving load produces; six arrays of half/4 floats, or null when half < 64.
  const float* firstStagePermuted;
  /// Second pass (stride 4) twiddles repeated per sub-transform, indexed like the input:
  /// six arrays of half/4 floats, or null when half < 64.
  const float* secondStageExpanded;
  /// exp(-2 pi i k / N) for k = 0 .. half/2 (re and im arrays), for the real/complex split.
  const float* splitRe;
  const float* splitIm;
  unsigned char* memory;
};

namespace Detail
{
/// One implementation of every operation; arguments are already checked.
struct Kernels
{
  void (*zeroDoubles)(double* d, int n);
  void (*zeroFloats)(float* f, int n);
  void (*setFloats)(float value, float* f, int n);
  void (*copyFloats)(const float* src, float* dst, int n);
  void (*moveFloats)(const float* src, float* dst, int n);
  void (*copyDoubles)(const double* src, double* dst, int n);
  void (*addFloats)(const float* a, const float* b, float* dst, int n);
  void (*subtractFloats)(const float* a, const float* b, float* dst, int n);
  void (*addFloatsInPlace)(const float* src, float* srcDst, int n);
  void (*addConstantInPlace)(float value, float* srcDst, int n);
  float (*dotProduct)(const float* a, const float* b, int n);
  float (*maximum)(const float* f, int n);
  void (*minMax)(const float* f, int n, float* min, float* max);
  int (*maximumIndex)(const float* f, int n);
  int (*minimumIndex)(const float* f, int n);
  void (*magnitude)(const float* pairs, float* dst, int n);
  void (*phase)(const float* pairs, float* dst, int n);
  void (*magnitudeAndPhase)(const float* pairs, float* magnitude, float* phase, int n);
  void (*binFrequencies)(const float* phase, float* previous, const float* expected, int n, int firstBin,
                         double binsPerRadian, double binWidth, double* frequency);
  void (*ratioOfGathered)(const float* table, const std::int32_t* index, const float* divisor, int n,
                          float limit, float scale, float* dst);
  int (*peaksAndValleys)(const float* f, int n, std::int32_t* peaks, std::int32_t* valleys);
  void (*moveRegions)(const MShiftSource& source, const MRegionMove* moves, int count,
                      const MShiftTarget& target);
  void (*hannWindow)(float* f, int n);
  void (*blackmanWindow)(float* f, int n);
  void (*triangularWindow)(float* f, int n);
  void (*sinCosDoubles)(const double* src, double* sinOut, double* cosOut, int n);
  void (*multiplyByScalar)(float value, float* f, int n);
  float (*sum)(const float* f, int n);
  void (*smoothTwoSided)(float* x, int n, const float* poles, int poleCount, float offset);
  void (*forwardRealFFT)(float* srcDst, const MRealFFTSetup* setup, float* work);
  void (*inverseRealFFT)(float* srcDst, const MRealFFTSetup* setup, float* work);
  void (*multiplyFloats)(const float* a, const float* b, float* dst, int n);
  void (*scaleWeightAddInPlace)(const float* src, float value, const float* weight, float* srcDst, int n);
};

/// The portable implementation (plain loops); every other table falls back to it.
extern const Kernels kPortableKernels;

/// The AVX2 + FMA implementation, or null when this build has none (not an x86 target).
/// Only to be used when the processor reports AVX2 and FMA and the system enables AVX.
const Kernels* Avx2Kernels();

// Portable pieces that the AVX2 kernels reuse for tails and special cases.
void PortableMagnitude(const float* pairs, float* dst, int n);
void PortablePhase(const float* pairs, float* dst, int n);
/// The valley between two peaks (see PeaksAndValleys), by the plain scan.
std::int32_t PortableValley(const float* f, int below, int peak);
int PortablePeaksAndValleys(const float* f, int n, std::int32_t* peaks, std::int32_t* valleys);
void PortableMoveRegions(const MShiftSource& source, const MRegionMove* moves, int count,
                         const MShiftTarget& target);
void PortableRatioOfGathered(const float* table, const std::int32_t* index, const float* divisor, int n,
                             float limit, float scale, float* dst);
void PortableBinFrequencies(const float* phase, float* previous, const float* expected, int n, int firstBin,
                            double binsPerRadian, double binWidth, double* frequency);
void PortableSinCos(const double* src, double* sinOut, double* cosOut, int n);
void PortableMultiplyFloats(const float* a, const float* b, float* dst, int n);
void PortableScaleWeightAddInPlace(const float* src, float value, const float* weight, float* srcDst, int n);
void PortableSmoothTwoSided(float* x, int n, const float* poles, int poleCount, float offset);
void PortableForwardRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work);
void PortableInverseRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work);

/// Builds the set-up for 2^order points (order already checked); null when out of memory.
MRealFFTSetup* NewRealFFTSetup(int order);
void DeleteRealFFTSetup(MRealFFTSetup* setup);
/// Floats of work buffer the transforms need: two split complex arrays of half points.
int RealFFTWorkFloats(const MRealFFTSetup* setup);
} // namespace Detail
} // namespace MVector
