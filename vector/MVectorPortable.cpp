// Portable implementations: plain loops that any C++ compiler turns into correct code.
// They define the results; the vectorised tables must agree with them up to float rounding.

#include "vector/MVectorKernels.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace MVector::Detail
{
namespace
{
void ZeroDoubles(double* d, int n)
{
  for (int i = 0; i < n; ++i)
    d[i] = 0.0;
}

void ZeroFloats(float* f, int n)
{
  for (int i = 0; i < n; ++i)
    f[i] = 0.0f;
}

void SetFloats(float value, float* f, int n)
{
  for (int i = 0; i < n; ++i)
    f[i] = value;
}

// Copies go through memmove even where the contract forbids overlap: a caller that breaks
// the rule still gets the data rather than undefined behaviour, and the cost is the same.
void CopyFloats(const float* src, float* dst, int n)
{
  std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(float));
}

void CopyDoubles(const double* src, double* dst, int n)
{
  std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(double));
}

void AddFloats(const float* a, const float* b, float* dst, int n)
{
  for (int i = 0; i < n; ++i)
    dst[i] = a[i] + b[i];
}

void SubtractFloats(const float* a, const float* b, float* dst, int n)
{
  for (int i = 0; i < n; ++i)
    dst[i] = b[i] - a[i];
}

void AddFloatsInPlace(const float* src, float* srcDst, int n)
{
  for (int i = 0; i < n; ++i)
    srcDst[i] += src[i];
}

void AddConstantInPlace(float value, float* srcDst, int n)
{
  for (int i = 0; i < n; ++i)
    srcDst[i] += value;
}

// Sums accumulate in double so that the result is the float rounding of a nearly exact sum,
// whatever order a vectorised level adds in.
float DotProduct(const float* a, const float* b, int n)
{
  double acc = 0.0;
  for (int i = 0; i < n; ++i)
    acc += static_cast<double>(a[i]) * static_cast<double>(b[i]);
  return static_cast<float>(acc);
}

float Sum(const float* f, int n)
{
  double acc = 0.0;
  for (int i = 0; i < n; ++i)
    acc += f[i];
  return static_cast<float>(acc);
}

// Extremes compare with a strict "greater" ("less"): the first occurrence wins and a NaN is
// never taken over a number (only a NaN in element 0 stays).
float Maximum(const float* f, int n)
{
  float best = f[0];
  for (int i = 1; i < n; ++i)
    if (f[i] > best)
      best = f[i];
  return best;
}

void MinMax(const float* f, int n, float* min, float* max)
{
  float lo = f[0];
  float hi = f[0];
  for (int i = 1; i < n; ++i)
  {
    if (f[i] < lo)
      lo = f[i];
    if (f[i] > hi)
      hi = f[i];
  }
  *min = lo;
  *max = hi;
}

int MaximumIndex(const float* f, int n)
{
  int best = 0;
  for (int i = 1; i < n; ++i)
    if (f[i] > f[best])
      best = i;
  return best;
}

int MinimumIndex(const float* f, int n)
{
  int best = 0;
  for (int i = 1; i < n; ++i)
    if (f[i] < f[best])
      best = i;
  return best;
}

void MultiplyByScalar(float value, float* f, int n)
{
  for (int i = 0; i < n; ++i)
    f[i] *= value;
}

// Applies a symmetric window w(cos(i t), cos(2 i t)) with t = 2 pi / (n - 1). Only the first
// half is evaluated and mirrored, so both ends get bit-identical weights (a Hann window of
// three points ends in exact zeros). cos(i t) comes from a rotation recurrence in double,
// re-seeded from the library every 32 steps; its error stays near 1e-15.
template <typename Shape>
void ApplySymmetricWindow(float* f, int n, Shape shape)
{
  const double step = 2.0 * std::numbers::pi / static_cast<double>(n - 1);
  const double stepCos = std::cos(step);
  const double stepSin = std::sin(step);
  double c = 1.0;
  double s = 0.0;
  for (int i = 0; i <= (n - 1) / 2; ++i)
  {
    if (i % 32 == 0)
    {
      c = std::cos(step * i);
      s = std::sin(step * i);
    }
    const double weight = shape(c, 2.0 * c * c - 1.0, i);
    f[i] = static_cast<float>(f[i] * weight);
    if (n - 1 - i != i)
      f[n - 1 - i] = static_cast<float>(f[n - 1 - i] * weight);
    const double nextC = c * stepCos - s * stepSin;
    s = s * stepCos + c * stepSin;
    c = nextC;
  }
}

void HannWindow(float* f, int n)
{
  ApplySymmetricWindow(f, n, [](double c, double, int) { return 0.5 - 0.5 * c; });
}

// A single point has no shape (the step 2 pi / (n - 1) would divide by zero): weight 1.
void BlackmanWindow(float* f, int n)
{
  if (n < 2)
    return;
  // alpha = -0.16: a0 = (1 + alpha) / 2 = 0.42, a1 = 0.5, a2 = -alpha / 2 = 0.08.
  constexpr double kAlpha = -0.16;
  ApplySymmetricWindow(
      f, n, [](double c, double c2, int) { return 0.5 * (1.0 + kAlpha) - 0.5 * c - 0.5 * kAlpha * c2; });
}

void TriangularWindow(float* f, int n)
{
  if (n < 2)
    return;
  const double rise = 2.0 / static_cast<double>(n - 1);
  ApplySymmetricWindow(f, n, [rise](double, double, int i) { return rise * i; });
}

void MoveFloats(const float* src, float* dst, int n)
{
  std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(float));
}
} // namespace

void PortableMagnitude(const float* pairs, float* dst, int n)
{
  for (int i = 0; i < n; ++i)
  {
    const float re = pairs[2 * i];
    const float im = pairs[2 * i + 1];
    dst[i] = std::sqrt(re * re + im * im);
  }
}

void PortablePhase(const float* pairs, float* dst, int n)
{
  for (int i = 0; i < n; ++i)
    dst[i] = std::atan2(pairs[2 * i + 1], pairs[2 * i]);
}

namespace
{
// One pass of y[i] = a * y[i - 1] + c[i] (y before the start = 0) over `count` values
// spaced `Stride` apart from x (stride -1 runs backwards), in place, with c[i] =
// gain * x[i] + offset. The serial recursion costs a multiply and an add of latency per
// value; taking blocks of eight, whose partial sums do not depend on the carry, leaves
// one multiply-add of latency per block. Rounding differs from the plain recursion only
// in the last bits of float.
template <int Stride>
void OnePolePass(float* x, int count, float a, float gain, float offset)
{
  float powers[8];
  powers[0] = a;
  for (int i = 1; i < 8; ++i)
    powers[i] = powers[i - 1] * a;
  float carry = 0.0f;
  int i = 0;
  for (; i + 8 <= count; i += 8)
  {
    float t[8];
    t[0] = gain * x[Stride * i] + offset;
    for (int k = 1; k < 8; ++k)
      t[k] = gain * x[Stride * (i + k)] + offset + a * t[k - 1];
    for (int k = 0; k < 8; ++k)
      x[Stride * (i + k)] = t[k] + powers[k] * carry;
    carry = x[Stride * (i + 7)];
  }
  for (; i < count; ++i)
  {
    carry = gain * x[Stride * i] + offset + a * carry;
    x[Stride * i] = carry;
  }
}
} // namespace

void PortableSmoothTwoSided(float* x, int n, const float* poles, int poleCount, float offset)
{
  for (int p = 0; p < poleCount; ++p)
  {
    const float a = poles[p];
    OnePolePass<-1>(x + n - 1, n, a, 1.0f - a, offset);
    OnePolePass<1>(x, n, a, a, offset);
  }
}

void PortableMagnitudeAndPhase(const float* pairs, float* magnitude, float* phase, int n)
{
  PortableMagnitude(pairs, magnitude, n);
  PortablePhase(pairs, phase, n);
}

// Whole turns come off with a two-part 2 pi (the float nearest to it plus the remainder), so
// that removing them adds no more than a rounding of d itself.
void PortableBinFrequencies(const float* phase, float* previous, const float* expected, int n, int firstBin,
                            double binsPerRadian, double binWidth, double* frequency)
{
  constexpr float kTwoPiHigh = 6.28318548f;
  constexpr float kTwoPiLow = -1.74845553e-7f;
  constexpr float kTurnsPerRadian = 0.159154943f;
  for (int i = 0; i < n; ++i)
  {
    float d = phase[i] - previous[i] - expected[i];
    previous[i] = phase[i];
    if (!(std::fabs(d) <= 3.40282347e38f))
      d = 0.0f;
    // Half a turn rounds away from zero, so +pi goes to -pi and -pi to +pi.
    const float turns = std::trunc(d * kTurnsPerRadian + std::copysign(0.5f, d));
    d = d - turns * kTwoPiHigh;
    d = d - turns * kTwoPiLow;
    // The rest in double: only the offset from the bin centre carries float rounding.
    frequency[i] = (static_cast<double>(d) * binsPerRadian + (firstBin + i)) * binWidth;
  }
}

void PortableRatioOfGathered(const float* table, const std::int32_t* index, const float* divisor, int n,
                             float limit, float scale, float* dst)
{
  for (int i = 0; i < n; ++i)
  {
    const float ratio = table[index[i]] / divisor[i];
    dst[i] = (limit < ratio ? limit : ratio) * scale;
  }
}

std::int32_t PortableValley(const float* f, int below, int peak)
{
  if (below >= peak - 1)
    return peak;
  int quietest = below + 1;
  float quietestValue = f[quietest];
  for (int k = below + 2; k < peak; ++k)
  {
    if (f[k] < quietestValue)
    {
      quietest = k;
      quietestValue = f[k];
    }
  }
  return quietest;
}

int PortablePeaksAndValleys(const float* f, int n, std::int32_t* peaks, std::int32_t* valleys)
{
  int count = 0;
  for (int k = 2; k < n - 2; ++k)
  {
    const float v = f[k];
    if (v > f[k - 2] && v > f[k - 1] && v > f[k + 1] && v > f[k + 2])
      peaks[count++] = k;
  }
  for (int i = 1; i < count; ++i)
    valleys[i] = PortableValley(f, peaks[i - 1], peaks[i]);
  return count;
}

void PortableMoveRegions(const MShiftSource& source, const MRegionMove* moves, int count,
                         const MShiftTarget& target)
{
  const float gain = static_cast<float>(source.gain);
  for (int r = 0; r < count; ++r)
  {
    const MRegionMove& move = moves[r];
    for (int j = move.first; j < move.end; ++j)
    {
      const int t = j + move.shift;
      double v;
      float scale;
      if (source.weight != nullptr)
      {
        v = static_cast<double>(source.magnitude[j] * source.weight[j]);
        scale = source.weight[j];
      }
      else if (source.envelope != nullptr)
      {
        const float ratio = source.envelope[t] / source.envelope[j];
        scale = (source.limit < ratio ? source.limit : ratio) * gain;
        v = static_cast<double>(source.magnitude[j] * scale);
      }
      else
      {
        v = static_cast<double>(source.magnitude[j]) * source.gain;
        scale = gain;
      }
      if (v > target.loudest[t])
      {
        target.loudest[t] = v;
        target.phase[t] = source.phase[j] + move.angle;
        const float re = source.pairs[2 * j];
        const float im = source.pairs[2 * j + 1];
        target.pairs[2 * t] = (re * move.cosine - im * move.sine) * scale;
        target.pairs[2 * t + 1] = (re * move.sine + im * move.cosine) * scale;
      }
    }
  }
}

void PortableSinCos(const double* src, double* sinOut, double* cosOut, int n)
{
  for (int i = 0; i < n; ++i)
  {
    // Read first: src may be the same array as one of the outputs.
    const double x = src[i];
    sinOut[i] = std::sin(x);
    cosOut[i] = std::cos(x);
  }
}

void PortableMultiplyFloats(const float* a, const float* b, float* dst, int n)
{
  for (int i = 0; i < n; ++i)
    dst[i] = a[i] * b[i];
}

void PortableScaleWeightAddInPlace(const float* src, float value, const float* weight, float* srcDst, int n)
{
  for (int i = 0; i < n; ++i)
  {
    const float scaled = src[i] * value;
    const float weighted = scaled * weight[i];
    srcDst[i] += weighted;
  }
}

const Kernels kPortableKernels = {
    ZeroDoubles,
    ZeroFloats,
    SetFloats,
    CopyFloats,
    MoveFloats,
    CopyDoubles,
    AddFloats,
    SubtractFloats,
    AddFloatsInPlace,
    AddConstantInPlace,
    DotProduct,
    Maximum,
    MinMax,
    MaximumIndex,
    MinimumIndex,
    PortableMagnitude,
    PortablePhase,
    PortableMagnitudeAndPhase,
    PortableBinFrequencies,
    PortableRatioOfGathered,
    PortablePeaksAndValleys,
    PortableMoveRegions,
    HannWindow,
    BlackmanWindow,
    TriangularWindow,
    PortableSinCos,
    MultiplyByScalar,
    Sum,
    PortableSmoothTwoSided,
    PortableForwardRealFFT,
    PortableInverseRealFFT,
    PortableMultiplyFloats,
    PortableScaleWeightAddInPlace,
};
} // namespace MVector::Detail
