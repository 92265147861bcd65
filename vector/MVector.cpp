// Public entry points: argument checks in the documented order (pointers, then lengths),
// then one call through the implementation table of the current level.

#include "vector/MVector.h"

#include "vector/MProcessorFeatures.h"
#include "vector/MVectorKernels.h"

#include <atomic>
#include <new>

namespace MVector
{
namespace
{
using Detail::Kernels;

// The table in use. Starts as the portable one (constant-initialised, so calls made by
// other static initialisers before ours are safe) and is replaced once at load.
constinit std::atomic<const Kernels*> s_kernels{&Detail::kPortableKernels};
constinit std::atomic<int> s_level{0};

const Kernels& TableForLevel(int level)
{
  // Levels 1 to 3 run the portable loops: the frame sizes here make the transform the only
  // hot spot, and a processor without AVX is rare enough not to pay for three more kernel
  // sets. Level 4 has hand-written kernels, used when the processor also has AVX2 and FMA
  // (an AVX-only processor stays on the portable loops).
  if (level >= 4 && MProcessorFeatures::Get().avx2Fma && Detail::Avx2Kernels() != nullptr)
    return *Detail::Avx2Kernels();
  return Detail::kPortableKernels;
}

const Kernels& K()
{
  return *s_kernels.load(std::memory_order_relaxed);
}

// Chooses the level once when the library is loaded.
[[maybe_unused]] const int s_initialLevel = SetLevel(MaxLevel());

template <typename... P>
bool AnyNull(const P*... p)
{
  return ((p == nullptr) || ...);
}
} // namespace

int Level()
{
  return s_level.load(std::memory_order_relaxed);
}

int MaxLevel()
{
  return MProcessorFeatures::Get().level;
}

bool HasSSE()
{
  return MProcessorFeatures::Get().sse;
}

bool HasAvx2Fma()
{
  return MProcessorFeatures::Get().avx2Fma && Detail::Avx2Kernels() != nullptr;
}

int SetLevel(int level)
{
  const int clamped = level < 0 ? 0 : (level > MaxLevel() ? MaxLevel() : level);
  s_kernels.store(&TableForLevel(clamped), std::memory_order_relaxed);
  s_level.store(clamped, std::memory_order_relaxed);
  return clamped;
}

#define MVECTOR_CHECK(length, minimum, ...)                                                                  \
  do                                                                                                         \
  {                                                                                                          \
    if (AnyNull(__VA_ARGS__))                                                                                \
      return kNullPointer;                                                                                   \
    if ((length) < (minimum))                                                                                \
      return kBadLength;                                                                                     \
  } while (false)

int ZeroDoubles(double* d, int n)
{
  MVECTOR_CHECK(n, 1, d);
  K().zeroDoubles(d, n);
  return kOk;
}

int ZeroFloats(float* f, int n)
{
  MVECTOR_CHECK(n, 1, f);
  K().zeroFloats(f, n);
  return kOk;
}

int SetFloats(float value, float* f, int n)
{
  MVECTOR_CHECK(n, 1, f);
  K().setFloats(value, f, n);
  return kOk;
}

int CopyFloats(const float* src, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, src, dst);
  K().copyFloats(src, dst, n);
  return kOk;
}

int MoveFloats(const float* src, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, src, dst);
  K().moveFloats(src, dst, n);
  return kOk;
}

int CopyDoubles(const double* src, double* dst, int n)
{
  MVECTOR_CHECK(n, 1, src, dst);
  K().copyDoubles(src, dst, n);
  return kOk;
}

int AddFloats(const float* a, const float* b, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, a, b, dst);
  K().addFloats(a, b, dst, n);
  return kOk;
}

int SubtractFloats(const float* a, const float* b, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, a, b, dst);
  K().subtractFloats(a, b, dst, n);
  return kOk;
}

int AddFloatsInPlace(const float* src, float* srcDst, int n)
{
  MVECTOR_CHECK(n, 1, src, srcDst);
  K().addFloatsInPlace(src, srcDst, n);
  return kOk;
}

int AddConstantInPlace(float value, float* srcDst, int n)
{
  MVECTOR_CHECK(n, 1, srcDst);
  if (value == 0.0f)
    return kOk;
  K().addConstantInPlace(value, srcDst, n);
  return kOk;
}

int DotProduct(const float* a, const float* b, int n, float* result)
{
  MVECTOR_CHECK(n, 1, a, b, result);
  *result = K().dotProduct(a, b, n);
  return kOk;
}

int Maximum(const float* f, int n, float* result)
{
  MVECTOR_CHECK(n, 1, f, result);
  *result = K().maximum(f, n);
  return kOk;
}

int MinMax(const float* f, int n, float* min, float* max)
{
  MVECTOR_CHECK(n, 1, f, min, max);
  K().minMax(f, n, min, max);
  return kOk;
}

int MaximumWithIndex(const float* f, int n, float* max, int* index)
{
  MVECTOR_CHECK(n, 1, f, max, index);
  const int i = K().maximumIndex(f, n);
  *max = f[i];
  *index = i;
  return kOk;
}

int MinimumWithIndex(const float* f, int n, float* min, int* index)
{
  MVECTOR_CHECK(n, 1, f, min, index);
  const int i = K().minimumIndex(f, n);
  *min = f[i];
  *index = i;
  return kOk;
}

int Magnitude(const float* pairs, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, pairs, dst);
  K().magnitude(pairs, dst, n);
  return kOk;
}

int Phase(const float* pairs, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, pairs, dst);
  K().phase(pairs, dst, n);
  return kOk;
}

int MagnitudeAndPhase(const float* pairs, float* magnitude, float* phase, int n)
{
  MVECTOR_CHECK(n, 1, pairs, magnitude, phase);
  K().magnitudeAndPhase(pairs, magnitude, phase, n);
  return kOk;
}

int BinFrequencies(const float* phase, float* previous, const float* expected, int n, int firstBin,
                   double binsPerRadian, double binWidth, double* frequency)
{
  MVECTOR_CHECK(n, 1, phase, previous, expected, frequency);
  K().binFrequencies(phase, previous, expected, n, firstBin, binsPerRadian, binWidth, frequency);
  return kOk;
}

int RatioOfGathered(const float* table, const std::int32_t* index, const float* divisor, int n, float limit,
                    float scale, float* dst)
{
  MVECTOR_CHECK(n, 1, table, index, divisor, dst);
  K().ratioOfGathered(table, index, divisor, n, limit, scale, dst);
  return kOk;
}

int PeaksAndValleys(const float* f, int n, std::int32_t* peaks, std::int32_t* valleys, int* peakCount)
{
  MVECTOR_CHECK(n, 1, f, peaks, valleys, peakCount);
  *peakCount = K().peaksAndValleys(f, n, peaks, valleys);
  return kOk;
}

int MoveRegions(const MShiftSource& source, const MRegionMove* moves, int count, const MShiftTarget& target)
{
  if (AnyNull(moves, source.pairs, source.magnitude, source.phase, target.loudest, target.phase,
              target.pairs))
    return kNullPointer;
  if (count < 0)
    return kBadLength;
  for (int i = 0; i < count; ++i)
    if (moves[i].end < moves[i].first)
      return kBadLength;
  if (count > 0)
    K().moveRegions(source, moves, count, target);
  return kOk;
}

int HannWindowInPlace(float* f, int n)
{
  MVECTOR_CHECK(n, 3, f);
  K().hannWindow(f, n);
  return kOk;
}

int BlackmanWindowInPlace(float* f, int n)
{
  MVECTOR_CHECK(n, 1, f);
  K().blackmanWindow(f, n);
  return kOk;
}

int TriangularWindowInPlace(float* f, int n)
{
  MVECTOR_CHECK(n, 1, f);
  K().triangularWindow(f, n);
  return kOk;
}

int SinCosDoubles(const double* src, double* sinOut, double* cosOut, int n)
{
  MVECTOR_CHECK(n, 1, src, sinOut, cosOut);
  K().sinCosDoubles(src, sinOut, cosOut, n);
  return kOk;
}

int MultiplyByScalar(float value, float* f, int n)
{
  MVECTOR_CHECK(n, 1, f);
  K().multiplyByScalar(value, f, n);
  return kOk;
}

int MultiplyElementwise(const float* src, float* srcDst, int n)
{
  MVECTOR_CHECK(n, 1, src, srcDst);
  K().multiplyFloats(srcDst, src, srcDst, n);
  return kOk;
}

int MultiplyFloats(const float* a, const float* b, float* dst, int n)
{
  MVECTOR_CHECK(n, 1, a, b, dst);
  K().multiplyFloats(a, b, dst, n);
  return kOk;
}

int ScaleWeightAddInPlace(const float* src, float value, const float* weight, float* srcDst, int n)
{
  MVECTOR_CHECK(n, 1, src, weight, srcDst);
  K().scaleWeightAddInPlace(src, value, weight, srcDst, n);
  return kOk;
}

int Sum(const float* f, int n, float* result)
{
  MVECTOR_CHECK(n, 1, f, result);
  *result = K().sum(f, n);
  return kOk;
}

int SmoothTwoSided(float* x, int n, const float* poles, int poleCount, float offset)
{
  MVECTOR_CHECK(n, 1, x, poles);
  if (poleCount < 0)
    return kBadLength;
  if (poleCount > 0)
    K().smoothTwoSided(x, n, poles, poleCount, offset);
  return kOk;
}

int CreateRealFFT(MRealFFTSetup** holder, int order, int flag, int /*hint*/)
{
  if (holder == nullptr)
    return kNullPointer;
  // An unknown flag is refused rather than silently giving a different scaling.
  if (order < 3 || order > 15 || flag != kNoNormalisation)
    return kBadLength;
  MRealFFTSetup* setup = Detail::NewRealFFTSetup(order);
  if (setup == nullptr)
    return kNullPointer;
  *holder = setup;
  return kOk;
}

int RealFFTWorkSize(const MRealFFTSetup* setup, int* bytes)
{
  if (AnyNull(setup, bytes))
    return kNullPointer;
  *bytes = Detail::RealFFTWorkFloats(setup) * static_cast<int>(sizeof(float));
  return kOk;
}

int ForwardRealFFT(float* srcDst, const MRealFFTSetup* setup, unsigned char* work)
{
  if (AnyNull(srcDst, setup, work))
    return kNullPointer;
  K().forwardRealFFT(srcDst, setup, reinterpret_cast<float*>(work));
  return kOk;
}

int InverseRealFFT(float* srcDst, const MRealFFTSetup* setup, unsigned char* work)
{
  if (AnyNull(srcDst, setup, work))
    return kNullPointer;
  K().inverseRealFFT(srcDst, setup, reinterpret_cast<float*>(work));
  return kOk;
}

#undef MVECTOR_CHECK

unsigned char* Allocate(int bytes)
{
  if (bytes < 1)
    return nullptr;
  // Rounded up to whole 64-byte lines so that vector loads of the last line stay inside.
  const std::size_t size = (static_cast<std::size_t>(bytes) + 63) & ~std::size_t{63};
  // The throwing form, caught here: it pairs with the aligned delete in Free under every
  // replacement of the global allocation functions (the nothrow aligned form is often not
  // replaced alongside them).
  try
  {
    return static_cast<unsigned char*>(::operator new (size, std::align_val_t{64}));
  }
  catch (const std::bad_alloc&)
  {
    return nullptr;
  }
}

void Free(void* buffer)
{
  if (buffer != nullptr)
    ::operator delete (buffer, std::align_val_t{64});
}

void FreeRealFFT(MRealFFTSetup* setup)
{
  Detail::DeleteRealFFTSetup(setup);
}
} // namespace MVector
