#pragma once
// Vector operations and the real FFT that all signal processing runs on.
//
// Every operation checks its pointers first (kNullPointer), then its length
// (kBadLength: below 1, or below 3 for the Hann window), and only then works; on a
// non-zero status nothing is changed. Lengths are element counts (pairs for the
// complex operations). The implementation is chosen once per process from the
// processor's features (see Level()); every level gives the portable path's results
// up to float rounding. Measured differences of level 4 (AVX2 + FMA) from level 0 over
// noise inputs: real FFT forward at most 2.0e-7 of the largest bin, inverse at most
// 3.9e-7 N of the input scale (all sizes 8 .. 32768); Phase 4.8e-7 rad (two float units
// at pi); Magnitude 1 unit in the last place; SinCosDoubles 1.1e-16; extremes, indices and
// element-wise arithmetic identical; DotProduct and Sum within one rounding of the result.
// Forward FFT against a DFT evaluated in double: relative rms error 0.17 .. 0.34 log2(N)
// float units (u = 2^-24), 1.1e-7 at N = 1024, at every level.
//
// Thread safety: all operations are reentrant. None allocates except Allocate and
// CreateRealFFT, so they are safe on the audio thread.

#include <cstddef>
#include <cstdint>

namespace MVector
{
/// Status codes returned by every operation.
enum Status : int
{
  kOk = 0,
  kBadLength = -6,
  kNullPointer = -8,
};

// ---- Processor level -------------------------------------------------------

/// The implementation level in use: 0 portable, 1 SSE3, 2 SSSE3, 3 SSE4.1, 4 AVX
/// (with AVX2 and FMA kernels where the processor has them). Read once at load.
int Level();

/// The highest level this processor supports.
int MaxLevel();

/// True when the processor reports SSE. Reported for callers; MultiplyByScalar,
/// MultiplyElementwise and Sum dispatch by level like every other operation, and their
/// vectorised and plain loops give the same results.
bool HasSSE();

/// Selects the implementation level, clamped to 0..MaxLevel(); returns the level now in
/// use. For tests and benchmarks that compare levels; not to be called while another
/// thread runs vector operations.
int SetLevel(int level);

/// True when level 4 runs the AVX2 + FMA kernels on this processor (AVX2 and FMA present and
/// enabled); an AVX-only processor at level 4 runs the portable loops.
bool HasAvx2Fma();

// ---- Fills, copies, arithmetic ---------------------------------------------

int ZeroDoubles(double* d, int n);
int ZeroFloats(float* f, int n);
int SetFloats(float value, float* f, int n);
/// dst[i] = src[i]; the ranges must not overlap.
int CopyFloats(const float* src, float* dst, int n);
/// As CopyFloats, overlapping ranges allowed.
int MoveFloats(const float* src, float* dst, int n);
int CopyDoubles(const double* src, double* dst, int n);
/// dst[i] = a[i] + b[i].
int AddFloats(const float* a, const float* b, float* dst, int n);
/// dst[i] = b[i] - a[i] (note the order).
int SubtractFloats(const float* a, const float* b, float* dst, int n);
/// srcDst[i] += src[i].
int AddFloatsInPlace(const float* src, float* srcDst, int n);
/// srcDst[i] += value; returns kOk at once (after the checks) when value is 0.
int AddConstantInPlace(float value, float* srcDst, int n);
/// result = sum of a[i] * b[i].
int DotProduct(const float* a, const float* b, int n, float* result);

// ---- Extremes ----------------------------------------------------------------
//
// Comparisons are strict, so the first occurrence of an extreme wins; a NaN element is
// never taken over a number (only a NaN in element 0 is reported, with index 0).

int Maximum(const float* f, int n, float* result);
int MinMax(const float* f, int n, float* min, float* max);
/// Largest value and the first (lowest) index holding it.
int MaximumWithIndex(const float* f, int n, float* max, int* index);
/// Smallest value and the first (lowest) index holding it.
int MinimumWithIndex(const float* f, int n, float* min, int* index);

// ---- Complex pairs -----------------------------------------------------------

/// dst[i] = sqrt(re^2 + im^2) of the i-th of n interleaved (re, im) pairs.
int Magnitude(const float* pairs, float* dst, int n);
/// dst[i] = atan2(im, re) of the i-th of n interleaved (re, im) pairs, in radians.
int Phase(const float* pairs, float* dst, int n);

/// magnitude[i] and phase[i] of the i-th pair in one pass: exactly what Magnitude and Phase
/// give at the same level.
int MagnitudeAndPhase(const float* pairs, float* magnitude, float* phase, int n);

/// True frequencies (Hz) of n bins from their phase advance over one hop: for bin
/// k = firstBin + i, d = phase[i] - previous[i] - expected[i], brought into -pi .. pi by
/// whole turns (a d of exactly +pi becomes -pi and -pi becomes +pi; a non-finite d counts
/// as 0), and frequency[i] = (d * binsPerRadian + k) * binWidth. previous[i] then takes
/// phase[i]. expected[i] is the advance of a partial at the bin centre, best given already
/// reduced to -pi .. pi: d is formed in float, so large angles would lose precision; the
/// frequency is formed from d in double. Measured against the exact advance of partials
/// within 2 bins of their bin centre: within 1e-6 bins (float phases), at every level.
/// previous may not overlap phase.
int BinFrequencies(const float* phase, float* previous, const float* expected, int n, int firstBin,
                   double binsPerRadian, double binWidth, double* frequency);

/// dst[i] = min(table[index[i]] / divisor[i], limit) * scale: a ratio whose numerator is
/// looked up. Every index must lie inside table (not checked). A NaN ratio stays NaN.
/// Bit-identical at every level.
int RatioOfGathered(const float* table, const std::int32_t* index, const float* divisor, int n, float limit,
                    float scale, float* dst);

/// The peaks of f and the valleys between them. Peaks: every i with 2 <= i < n - 2 whose
/// value is greater than each of f[i - 2], f[i - 1], f[i + 1] and f[i + 2], in rising order
/// into peaks (*peakCount of them; peaks must have room for n values, the vector level
/// writes ahead of the count). Valleys: for every peak k >= 1, valleys[k] is the index of the
/// smallest value strictly between peaks[k - 1] and peaks[k] (the first of equal ones; a NaN
/// is taken only as the first value of the gap), or peaks[k] when the two are neighbours;
/// valleys[0] is not written, and valleys must have room for n values. kBadLength for
/// n < 1. Identical results at every level.
int PeaksAndValleys(const float* f, int n, std::int32_t* peaks, std::int32_t* valleys, int* peakCount);

/// One region of a phase-locked spectral shift (see MoveRegions): the source bins
/// [first, end) move to [first + shift, end + shift) and turn by `angle`, whose cosine and
/// sine (rounded to float) are given.
struct MRegionMove
{
  int first;
  int end;
  int shift;
  double angle;
  float cosine;
  float sine;
};

/// What MoveRegions reads: the source spectrum as (re, im) pairs per bin, its magnitudes and
/// phases (radians), and the weight of each bin: weight[j] when weight is given; else, when
/// envelope is given, the envelope ratio min(envelope[t] / envelope[j], limit) * gain (in
/// float; t = j + shift is the target bin, so the envelope holds still while the bins move);
/// else one gain for all.
struct MShiftSource
{
  const float* pairs;
  const float* magnitude;
  const float* phase;
  const float* weight;
  double gain;
  const float* envelope;
  float limit;
};

/// What MoveRegions writes, indexed by target bin: the loudest contribution so far, its phase
/// and its (re, im) pair.
struct MShiftTarget
{
  double* loudest;
  double* phase;
  float* pairs;
};

/// For each region in turn, and each of its source bins j, with t = j + shift: v = magnitude[j] * w
/// (in float, then widened) with w the bin's weight or envelope ratio, or magnitude[j] * gain
/// (in double) without either, and scale = w or the gain in float. When v > loudest[t] (a NaN never wins):
/// loudest[t] = v, phase[t] = phase[j] + angle, and the pair at t becomes the source pair at j rotated by the
/// angle and scaled: ((re c - im s) scale, (re s + im c) scale). Bins of one region never compete with each
/// other; a later region competes with what the earlier ones wrote. Every target index must lie inside the
/// target arrays. Bit-identical at every level. kBadLength when count < 0 or a region has end < first (then
/// nothing is written).
int MoveRegions(const MShiftSource& source, const MRegionMove* moves, int count, const MShiftTarget& target);

// ---- Windows (in place) --------------------------------------------------------

/// f[i] *= 0.5 * (1 - cos(2 pi i / (n - 1))); n must be at least 3.
int HannWindowInPlace(float* f, int n);
/// Blackman shape with parameter alpha = -0.16: f[i] *= 0.42 - 0.5 cos(2 pi i / (n - 1))
/// + 0.08 cos(4 pi i / (n - 1)). A single point (n = 1) is left as it is.
int BlackmanWindowInPlace(float* f, int n);
/// Linear rise and fall in steps of 2 / (n - 1): f[i] *= 1 - |2 i / (n - 1) - 1|.
/// A single point (n = 1) is left as it is.
///
/// All windows are exactly symmetric (f[i] and f[n-1-i] get the same weight).
int TriangularWindowInPlace(float* f, int n);

// ---- Sine and cosine -----------------------------------------------------------

/// sinOut[i] = sin(src[i]), cosOut[i] = cos(src[i]), within float accuracy (measured
/// within 1.2e-16 of the C library at every level, any argument). src may be one of the
/// output arrays.
int SinCosDoubles(const double* src, double* sinOut, double* cosOut, int n);

// ---- The program's own inner loops ---------------------------------------------

/// f[i] *= value.
int MultiplyByScalar(float value, float* f, int n);
/// srcDst[i] *= src[i].
int MultiplyElementwise(const float* src, float* srcDst, int n);
/// dst[i] = a[i] * b[i]: CopyFloats and MultiplyElementwise in one pass. dst may be a or b.
int MultiplyFloats(const float* a, const float* b, float* dst, int n);
/// srcDst[i] += src[i] * value * weight[i], each product rounded on its own (never one fused
/// multiply-add): MultiplyByScalar, MultiplyElementwise and AddFloatsInPlace in one pass, src
/// left as it is. Bit-identical at every level.
int ScaleWeightAddInPlace(const float* src, float value, const float* weight, float* srcDst, int n);
/// result = sum of f[i].
int Sum(const float* f, int n, float* result);

/// Two-sided one-pole smoothing of x[0 .. n) in place, for each of the poleCount poles in
/// turn (each 0 <= a < 1): a backward pass y = (1 - a) x[i] + a y + offset for i from n - 1
/// down to 0, then a forward pass y = a x[i] + a y + offset for i from 0 up, y starting at 0
/// in every pass and each result replacing x[i]. DC gains: 1 backward, a / (1 - a) forward.
/// Level 4 splits the recursion into chunks run side by side (n a multiple of 256, up to
/// 2048; other lengths run the portable loop). Every level stays within float rounding of
/// the recursion evaluated in double: measured 5 float units relative with the poles 0.7,
/// 0.5, 0.3 on spectrum-like data, 47 with a single pole 0.95. No allocation (uses 8 KB of
/// stack). poleCount 0 leaves x unchanged.
int SmoothTwoSided(float* x, int n, const float* poles, int poleCount, float offset);

// ---- Real FFT -------------------------------------------------------------------
//
// Spectrum layout (N floats in place, N = 2^order): element 0 = DC, element 1 =
// Nyquist, elements 2k and 2k+1 = real and imaginary part of bin k, 1 <= k < N/2.
// Unnormalised in both directions: Inverse(Forward(x)) = N * x. Sizes 8 .. 32768.

/// Opaque transform set-up for one size.
struct MRealFFTSetup;

/// Normalisation flag of CreateRealFFT; this system uses kNoNormalisation only.
enum FFTFlag : int
{
  kNoNormalisation = 0,
};

/// Makes a set-up for 2^order points (3 <= order <= 15) into *holder. Allocates, so not for
/// the audio thread. hint is accepted for compatibility and ignored. kBadLength for an order
/// out of range or a flag other than kNoNormalisation; kNullPointer for a null holder or
/// when memory runs out. *holder is written only on success.
int CreateRealFFT(MRealFFTSetup** holder, int order, int flag, int hint);
/// Bytes of the work buffer that ForwardRealFFT and InverseRealFFT need for this set-up.
int RealFFTWorkSize(const MRealFFTSetup* setup, int* bytes);
/// Forward transform in place; work must hold RealFFTWorkSize bytes, aligned for floats
/// (a buffer from Allocate is). No allocation; safe on the audio thread.
int ForwardRealFFT(float* srcDst, const MRealFFTSetup* setup, unsigned char* work);
/// Inverse transform in place, from the spectrum layout back to N samples (N times the
/// frame that gave the spectrum). Same conditions as ForwardRealFFT. One set-up and work
/// buffer serve one thread at a time; set-ups may be shared when each thread has its
/// own work buffer.
int InverseRealFFT(float* srcDst, const MRealFFTSetup* setup, unsigned char* work);

/// A 64-byte aligned buffer of this family (work buffers); null when bytes < 1.
unsigned char* Allocate(int bytes);
/// Releases a buffer from Allocate; null is ignored.
void Free(void* buffer);
/// Releases a set-up from CreateRealFFT; null is ignored.
void FreeRealFFT(MRealFFTSetup* setup);
} // namespace MVector
