// Real FFT set-up and the portable transform.
//
// A real frame x of N points is read as M = N/2 complex points z[m] = x[2m] + i x[2m+1].
// Z = DFT_M(z) is computed by a self-sorting (Stockham) radix-4 transform in split form
// (real parts, then imaginary parts) that ping-pongs between the two halves of the work
// buffer; when log2 M is odd the last two levels form one radix-8 pass (span 8, no
// twiddles), which saves a pass over the data. The spectrum of x then follows from
// X[k] = E[k] + W^k O[k], X[M-k] = conj(E[k] - W^k O[k]), W = exp(-2 pi i / N), where
// E[k] = (Z[k] + conj Z[M-k]) / 2 and O[k] = (Z[k] - conj Z[M-k]) / 2i.
// The inverse undoes that split (scaled by 2, so the result is N x, not x) and runs the
// same forward complex transform on the conjugate, conjugating again on the way out.

#include "vector/MVectorKernels.h"

#include <cmath>
#include <new>
#include <numbers>

namespace MVector::Detail
{
namespace
{
// exp(-2 pi i k / n) in double, rounded once; exact zeros where the true value is zero.
void Twiddle(long k, long n, float* re, float* im)
{
  const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
  double c = std::cos(angle);
  double s = std::sin(angle);
  if (std::fabs(c) < 1e-14)
    c = 0.0;
  if (std::fabs(s) < 1e-14)
    s = 0.0;
  *re = static_cast<float>(c);
  *im = static_cast<float>(s);
}

// Writes the six twiddle arrays of a radix-4 pass over `span` points, `count` entries each,
// entry j holding the twiddles of sub-transform index p = pOf(j).
template <typename IndexMap>
void FillRadix4Twiddles(float* dst, int span, int count, IndexMap pOf)
{
  for (int j = 0; j < count; ++j)
  {
    const long p = pOf(j);
    for (int k = 1; k <= 3; ++k)
      Twiddle(k * p, span, &dst[(2 * k - 2) * count + j], &dst[(2 * k - 1) * count + j]);
  }
}

void Radix4Stage(const float* xr, const float* xi, float* yr, float* yi, int half, int span, int stride,
                 const float* tw)
{
  const int m = span / 4;
  const int quarter = half / 4;
  for (int p = 0; p < m; ++p)
  {
    const float w1r = tw[p], w1i = tw[m + p];
    const float w2r = tw[2 * m + p], w2i = tw[3 * m + p];
    const float w3r = tw[4 * m + p], w3i = tw[5 * m + p];
    for (int q = 0; q < stride; ++q)
    {
      const int i = q + stride * p;
      const float ar = xr[i], ai = xi[i];
      const float br = xr[i + quarter], bi = xi[i + quarter];
      const float cr = xr[i + 2 * quarter], ci = xi[i + 2 * quarter];
      const float dr = xr[i + 3 * quarter], di = xi[i + 3 * quarter];
      const float sacr = ar + cr, saci = ai + ci;
      const float dacr = ar - cr, daci = ai - ci;
      const float sbdr = br + dr, sbdi = bi + di;
      const float dbdr = br - dr, dbdi = bi - di;
      // Outputs k = 0..3: (a+c) + (b+d), (a-c) - i(b-d), (a+c) - (b+d), (a-c) + i(b-d),
      // the last three turned by w^k.
      const float u1r = dacr + dbdi, u1i = daci - dbdr;
      const float u2r = sacr - sbdr, u2i = saci - sbdi;
      const float u3r = dacr - dbdi, u3i = daci + dbdr;
      const int o = q + 4 * stride * p;
      yr[o] = sacr + sbdr;
      yi[o] = saci + sbdi;
      yr[o + stride] = u1r * w1r - u1i * w1i;
      yi[o + stride] = u1r * w1i + u1i * w1r;
      yr[o + 2 * stride] = u2r * w2r - u2i * w2i;
      yi[o + 2 * stride] = u2r * w2i + u2i * w2r;
      yr[o + 3 * stride] = u3r * w3r - u3i * w3i;
      yi[o + 3 * stride] = u3r * w3i + u3i * w3r;
    }
  }
}

// The closing pass when log2 M is odd: eight-point transforms (span 8, so no twiddles) of
// x[q + j stride], j = 0..7, into y[q + k stride]; as two four-point transforms of the even
// and odd inputs joined by W8^k = exp(-2 pi i k / 8).
void Radix8Stage(const float* xr, const float* xi, float* yr, float* yi, int stride)
{
  constexpr float kHalfSqrt2 = 0.707106781186547524f;
  for (int q = 0; q < stride; ++q)
  {
    float er[4], ei[4], orr[4], oi[4];
    for (int half = 0; half < 2; ++half)
    {
      // Four-point transform of inputs half, half + 2, half + 4, half + 6.
      const int i = q + half * stride;
      const float ar = xr[i], ai = xi[i];
      const float br = xr[i + 2 * stride], bi = xi[i + 2 * stride];
      const float cr = xr[i + 4 * stride], ci = xi[i + 4 * stride];
      const float dr = xr[i + 6 * stride], di = xi[i + 6 * stride];
      const float sacr = ar + cr, saci = ai + ci, dacr = ar - cr, daci = ai - ci;
      const float sbdr = br + dr, sbdi = bi + di, dbdr = br - dr, dbdi = bi - di;
      float* outR = half == 0 ? er : orr;
      float* outI = half == 0 ? ei : oi;
      outR[0] = sacr + sbdr;
      outI[0] = saci + sbdi;
      outR[1] = dacr + dbdi;
      outI[1] = daci - dbdr;
      outR[2] = sacr - sbdr;
      outI[2] = saci - sbdi;
      outR[3] = dacr - dbdi;
      outI[3] = daci + dbdr;
    }
    // W8^k O_k for k = 1, 2, 3.
    const float t1r = kHalfSqrt2 * (orr[1] + oi[1]), t1i = kHalfSqrt2 * (oi[1] - orr[1]);
    const float t2r = oi[2], t2i = -orr[2];
    const float t3r = kHalfSqrt2 * (oi[3] - orr[3]), t3i = -kHalfSqrt2 * (orr[3] + oi[3]);
    const float tr[4] = {orr[0], t1r, t2r, t3r};
    const float ti[4] = {oi[0], t1i, t2i, t3i};
    for (int k = 0; k < 4; ++k)
    {
      yr[q + k * stride] = er[k] + tr[k];
      yi[q + k * stride] = ei[k] + ti[k];
      yr[q + (k + 4) * stride] = er[k] - tr[k];
      yi[q + (k + 4) * stride] = ei[k] - ti[k];
    }
  }
}

// Runs all passes on split data in a (real parts a[0..M), imaginary a[M..2M)), using b as
// the other buffer; returns the buffer holding the result.
float* ComplexForward(float* a, float* b, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  for (int s = 0; s < setup->stageCount; ++s)
  {
    const MRealFFTSetup::Stage& stage = setup->stages[s];
    if (stage.span == 8)
      Radix8Stage(a, a + half, b, b + half, stage.stride);
    else
      Radix4Stage(a, a + half, b, b + half, half, stage.span, stage.stride, stage.twiddles);
    float* t = a;
    a = b;
    b = t;
  }
  return a;
}

// Z (split) to the spectrum layout in out.
void SplitForward(const float* zr, const float* zi, float* out, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  out[0] = zr[0] + zi[0];
  out[1] = zr[0] - zi[0];
  for (int k = 1; k <= half / 2; ++k)
  {
    const int j = half - k;
    const float er = 0.5f * (zr[k] + zr[j]);
    const float ei = 0.5f * (zi[k] - zi[j]);
    const float orr = 0.5f * (zi[k] + zi[j]);
    const float oi = 0.5f * (zr[j] - zr[k]);
    const float wr = setup->splitRe[k], wi = setup->splitIm[k];
    const float tr = wr * orr - wi * oi;
    const float ti = wr * oi + wi * orr;
    out[2 * j] = er - tr;
    out[2 * j + 1] = ti - ei;
    out[2 * k] = er + tr;
    out[2 * k + 1] = ei + ti;
  }
}

// Spectrum layout in `in` to conj(2 Z) in split form.
void SplitInverse(const float* in, float* zr, float* zi, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  zr[0] = in[0] + in[1];
  zi[0] = in[1] - in[0];
  for (int k = 1; k <= half / 2; ++k)
  {
    const int j = half - k;
    const float xr = in[2 * k], xi = in[2 * k + 1];
    const float yr = in[2 * j], yi = -in[2 * j + 1];
    const float er = xr + yr, ei = xi + yi;
    const float dr = xr - yr, di = xi - yi;
    const float wr = setup->splitRe[k], wi = setup->splitIm[k];
    // o = conj(w) d
    const float orr = wr * dr + wi * di;
    const float oi = wr * di - wi * dr;
    zr[j] = er + oi;
    zi[j] = ei - orr;
    zr[k] = er - oi;
    zi[k] = -(ei + orr);
  }
}
} // namespace

void PortableForwardRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work)
{
  const int half = setup->half;
  float* a = work;
  float* b = work + 2 * half;
  for (int m = 0; m < half; ++m)
  {
    a[m] = srcDst[2 * m];
    a[half + m] = srcDst[2 * m + 1];
  }
  const float* z = ComplexForward(a, b, setup);
  SplitForward(z, z + half, srcDst, setup);
}

void PortableInverseRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work)
{
  const int half = setup->half;
  float* a = work;
  float* b = work + 2 * half;
  SplitInverse(srcDst, a, a + half, setup);
  const float* z = ComplexForward(a, b, setup);
  for (int m = 0; m < half; ++m)
  {
    srcDst[2 * m] = z[m];
    srcDst[2 * m + 1] = -z[half + m];
  }
}

MRealFFTSetup* NewRealFFTSetup(int order)
{
  auto* setup = new (std::nothrow) MRealFFTSetup{};
  if (setup == nullptr)
    return nullptr;
  const int size = 1 << order;
  const int half = size / 2;
  const int quarter = half / 4;
  setup->order = order;
  setup->size = size;
  setup->half = half;

  // Plan the passes and count the twiddle floats.
  long floats = 0;
  int span = half;
  int stride = 1;
  while (span > 1)
  {
    setup->stages[setup->stageCount++] = {span, stride, nullptr};
    if (span == 8)
      break;
    floats += 6 * (span / 4);
    span /= 4;
    stride *= 4;
  }
  const bool vectorLayouts = half >= 64;
  if (vectorLayouts)
    floats += 12L * quarter;
  const int splitCount = half / 2 + 1;
  floats += 2L * (splitCount + 16);

  setup->memory = Allocate(static_cast<int>(floats * sizeof(float)));
  if (setup->memory == nullptr)
  {
    delete setup;
    return nullptr;
  }
  float* cursor = reinterpret_cast<float*>(setup->memory);
  for (int s = 0; s < setup->stageCount; ++s)
  {
    MRealFFTSetup::Stage& stage = setup->stages[s];
    if (stage.span == 8)
      continue;
    const int m = stage.span / 4;
    FillRadix4Twiddles(cursor, stage.span, m, [](int j) { return j; });
    stage.twiddles = cursor;
    cursor += 6 * m;
  }
  if (vectorLayouts)
  {
    static constexpr int kLaneOrder[8] = {0, 1, 4, 5, 2, 3, 6, 7};
    FillRadix4Twiddles(cursor, half, quarter, [](int j) { return (j & ~7) + kLaneOrder[j & 7]; });
    setup->firstStagePermuted = cursor;
    cursor += 6 * quarter;
    // From half = 64 up, the second pass is always a radix-4 pass with stride 4.
    FillRadix4Twiddles(cursor, setup->stages[1].span, quarter, [](int j) { return j / 4; });
    setup->secondStageExpanded = cursor;
    cursor += 6 * quarter;
  }
  float* splitRe = cursor;
  float* splitIm = cursor + splitCount + 16;
  for (int k = 0; k < splitCount; ++k)
    Twiddle(k, size, &splitRe[k], &splitIm[k]);
  setup->splitRe = splitRe;
  setup->splitIm = splitIm;
  return setup;
}

void DeleteRealFFTSetup(MRealFFTSetup* setup)
{
  if (setup == nullptr)
    return;
  Free(setup->memory);
  delete setup;
}

int RealFFTWorkFloats(const MRealFFTSetup* setup)
{
  return 2 * setup->size;
}
} // namespace MVector::Detail
