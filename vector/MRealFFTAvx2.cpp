// AVX2 + FMA real FFT: the same passes as the portable transform (MRealFFT.cpp), each
// running eight sub-transforms or eight points at once on split real/imaginary vectors.
// Compiled with -mavx2 -mfma; only reached through the level-4 table. Sizes below 128 real
// points have too few points per pass for eight lanes and run the portable code.
//
// Measured against the portable transform on noise frames, sizes 64 .. 32768: forward at
// most 2.0e-7 of the largest bin, inverse at most 3.9e-7 N of the input scale (the
// differences come from fused multiply-adds in the twiddle products).

#include "vector/MVectorKernels.h"

#if defined(__AVX2__) && defined(__FMA__)

#include <immintrin.h>

namespace MVector::Detail
{
namespace
{
// Four complex vectors: the inputs a, b, c, d of a radix-4 butterfly, then its outputs.
// The short loops over them carry unroll pragmas: without full unrolling (g++ -O2 does not
// do it by itself) the arrays live on the stack and every pass runs about 1.7 times slower.
struct Quad
{
  __m256 r[4];
  __m256 i[4];
};

// y0 = (a+c) + (b+d), y1 = (a-c) - i(b-d), y2 = (a+c) - (b+d), y3 = (a-c) + i(b-d).
inline void Butterfly(Quad& v)
{
  const __m256 sacr = _mm256_add_ps(v.r[0], v.r[2]), saci = _mm256_add_ps(v.i[0], v.i[2]);
  const __m256 dacr = _mm256_sub_ps(v.r[0], v.r[2]), daci = _mm256_sub_ps(v.i[0], v.i[2]);
  const __m256 sbdr = _mm256_add_ps(v.r[1], v.r[3]), sbdi = _mm256_add_ps(v.i[1], v.i[3]);
  const __m256 dbdr = _mm256_sub_ps(v.r[1], v.r[3]), dbdi = _mm256_sub_ps(v.i[1], v.i[3]);
  v.r[0] = _mm256_add_ps(sacr, sbdr);
  v.i[0] = _mm256_add_ps(saci, sbdi);
  v.r[1] = _mm256_add_ps(dacr, dbdi);
  v.i[1] = _mm256_sub_ps(daci, dbdr);
  v.r[2] = _mm256_sub_ps(sacr, sbdr);
  v.i[2] = _mm256_sub_ps(saci, sbdi);
  v.r[3] = _mm256_sub_ps(dacr, dbdi);
  v.i[3] = _mm256_add_ps(daci, dbdr);
}

inline void Turn(__m256& re, __m256& im, __m256 wr, __m256 wi)
{
  const __m256 r = _mm256_fmsub_ps(re, wr, _mm256_mul_ps(im, wi));
  im = _mm256_fmadd_ps(re, wi, _mm256_mul_ps(im, wr));
  re = r;
}

// Turns outputs 1..3 by twiddles read from six arrays of `count` floats at index j.
inline void TurnLoaded(Quad& v, const float* tw, int count, int j)
{
#pragma GCC unroll 4
  for (int k = 1; k <= 3; ++k)
    Turn(v.r[k], v.i[k], _mm256_loadu_ps(tw + (2 * k - 2) * count + j),
         _mm256_loadu_ps(tw + (2 * k - 1) * count + j));
}

// Transposes four rows of eight lanes (the outputs k = 0..3 of eight sub-transforms) into
// eight groups of four stored in point order at dst[0..32). PermutedLanes: the lanes hold
// points in the order (0,1,4,5,2,3,6,7) left by a de-interleaving load.
template <bool PermutedLanes>
inline void StoreTransposed(float* dst, __m256 y0, __m256 y1, __m256 y2, __m256 y3)
{
  const __m256 t0 = _mm256_unpacklo_ps(y0, y1);
  const __m256 t1 = _mm256_unpackhi_ps(y0, y1);
  const __m256 t2 = _mm256_unpacklo_ps(y2, y3);
  const __m256 t3 = _mm256_unpackhi_ps(y2, y3);
  // u0 holds lanes 0 | 4, u1 lanes 1 | 5, u2 lanes 2 | 6, u3 lanes 3 | 7.
  const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44);
  const __m256 u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
  const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44);
  const __m256 u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
  if constexpr (PermutedLanes)
  {
    // Lanes hold points (0,1,4,5,2,3,6,7): u0 = 0|2, u1 = 1|3, u2 = 4|6, u3 = 5|7.
    _mm256_storeu_ps(dst, _mm256_permute2f128_ps(u0, u1, 0x20));
    _mm256_storeu_ps(dst + 8, _mm256_permute2f128_ps(u0, u1, 0x31));
    _mm256_storeu_ps(dst + 16, _mm256_permute2f128_ps(u2, u3, 0x20));
    _mm256_storeu_ps(dst + 24, _mm256_permute2f128_ps(u2, u3, 0x31));
  }
  else
  {
    _mm256_storeu_ps(dst, _mm256_permute2f128_ps(u0, u1, 0x20));
    _mm256_storeu_ps(dst + 8, _mm256_permute2f128_ps(u2, u3, 0x20));
    _mm256_storeu_ps(dst + 16, _mm256_permute2f128_ps(u0, u1, 0x31));
    _mm256_storeu_ps(dst + 24, _mm256_permute2f128_ps(u2, u3, 0x31));
  }
}

// First pass (span M, stride 1): sub-transform p = point index, outputs to 4p + k. Reads
// either the interleaved real frame (forward) or split data (inverse).
template <bool Interleaved>
void FirstStage(const float* src, float* yr, float* yi, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  const int quarter = half / 4;
  const float* tw = Interleaved ? setup->firstStagePermuted : setup->stages[0].twiddles;
  for (int p = 0; p < quarter; p += 8)
  {
    Quad v;
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
    {
      if constexpr (Interleaved)
      {
        const __m256 lo = _mm256_loadu_ps(src + 2 * (p + j * quarter));
        const __m256 hi = _mm256_loadu_ps(src + 2 * (p + j * quarter) + 8);
        v.r[j] = _mm256_shuffle_ps(lo, hi, 0x88);
        v.i[j] = _mm256_shuffle_ps(lo, hi, 0xDD);
      }
      else
      {
        v.r[j] = _mm256_loadu_ps(src + p + j * quarter);
        v.i[j] = _mm256_loadu_ps(src + half + p + j * quarter);
      }
    }
    Butterfly(v);
    TurnLoaded(v, tw, quarter, p);
    StoreTransposed<Interleaved>(yr + 4 * p, v.r[0], v.r[1], v.r[2], v.r[3]);
    StoreTransposed<Interleaved>(yi + 4 * p, v.i[0], v.i[1], v.i[2], v.i[3]);
  }
}

// Second pass (stride 4): eight inputs cover two sub-transforms of four points each; the
// twiddles are pre-expanded per input index.
void SecondStage(const float* xr, const float* xi, float* yr, float* yi, const MRealFFTSetup* setup)
{
  const int quarter = setup->half / 4;
  const float* tw = setup->secondStageExpanded;
  for (int i = 0; i < quarter; i += 8)
  {
    Quad v;
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
    {
      v.r[j] = _mm256_loadu_ps(xr + i + j * quarter);
      v.i[j] = _mm256_loadu_ps(xi + i + j * quarter);
    }
    Butterfly(v);
    TurnLoaded(v, tw, quarter, i);
    // Lanes 0-3 belong to sub-transform i/4 (outputs at 4i + 4k), lanes 4-7 to the next one.
    _mm256_storeu_ps(yr + 4 * i, _mm256_permute2f128_ps(v.r[0], v.r[1], 0x20));
    _mm256_storeu_ps(yr + 4 * i + 8, _mm256_permute2f128_ps(v.r[2], v.r[3], 0x20));
    _mm256_storeu_ps(yr + 4 * i + 16, _mm256_permute2f128_ps(v.r[0], v.r[1], 0x31));
    _mm256_storeu_ps(yr + 4 * i + 24, _mm256_permute2f128_ps(v.r[2], v.r[3], 0x31));
    _mm256_storeu_ps(yi + 4 * i, _mm256_permute2f128_ps(v.i[0], v.i[1], 0x20));
    _mm256_storeu_ps(yi + 4 * i + 8, _mm256_permute2f128_ps(v.i[2], v.i[3], 0x20));
    _mm256_storeu_ps(yi + 4 * i + 16, _mm256_permute2f128_ps(v.i[0], v.i[1], 0x31));
    _mm256_storeu_ps(yi + 4 * i + 24, _mm256_permute2f128_ps(v.i[2], v.i[3], 0x31));
  }
}

// Later radix-4 passes (stride >= 16): the eight lanes are eight neighbouring sub-transforms
// sharing one twiddle.
void WideStage(const float* xr, const float* xi, float* yr, float* yi, int half,
               const MRealFFTSetup::Stage& stage)
{
  const int quarter = half / 4;
  const int stride = stage.stride;
  const int m = stage.span / 4;
  for (int p = 0; p < m; ++p)
  {
    __m256 w[6];
#pragma GCC unroll 6
    for (int c = 0; c < 6; ++c)
      w[c] = _mm256_broadcast_ss(stage.twiddles + c * m + p);
    for (int q = 0; q < stride; q += 8)
    {
      const int i = q + stride * p;
      Quad v;
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j)
      {
        v.r[j] = _mm256_loadu_ps(xr + i + j * quarter);
        v.i[j] = _mm256_loadu_ps(xi + i + j * quarter);
      }
      Butterfly(v);
      if (p != 0)
      {
#pragma GCC unroll 4
        for (int k = 1; k <= 3; ++k)
          Turn(v.r[k], v.i[k], w[2 * k - 2], w[2 * k - 1]);
      }
      const int o = q + 4 * stride * p;
#pragma GCC unroll 4
      for (int k = 0; k < 4; ++k)
      {
        _mm256_storeu_ps(yr + o + k * stride, v.r[k]);
        _mm256_storeu_ps(yi + o + k * stride, v.i[k]);
      }
    }
  }
}

// The closing radix-8 pass (see the portable Radix8Stage): two four-point transforms of the
// even and odd inputs, joined by W8^k; stride >= 16 here.
void Radix8Stage(const float* xr, const float* xi, float* yr, float* yi, int stride)
{
  const __m256 h = _mm256_set1_ps(0.707106781186547524f);
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  for (int q = 0; q < stride; q += 8)
  {
    Quad e, o;
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
    {
      e.r[j] = _mm256_loadu_ps(xr + q + 2 * j * stride);
      e.i[j] = _mm256_loadu_ps(xi + q + 2 * j * stride);
      o.r[j] = _mm256_loadu_ps(xr + q + (2 * j + 1) * stride);
      o.i[j] = _mm256_loadu_ps(xi + q + (2 * j + 1) * stride);
    }
    Butterfly(e);
    Butterfly(o);
    const __m256 t1r = _mm256_mul_ps(h, _mm256_add_ps(o.r[1], o.i[1]));
    const __m256 t1i = _mm256_mul_ps(h, _mm256_sub_ps(o.i[1], o.r[1]));
    const __m256 t3r = _mm256_mul_ps(h, _mm256_sub_ps(o.i[3], o.r[3]));
    const __m256 t3i = _mm256_xor_ps(_mm256_mul_ps(h, _mm256_add_ps(o.r[3], o.i[3])), signBit);
    const __m256 tr[4] = {o.r[0], t1r, o.i[2], t3r};
    const __m256 ti[4] = {o.i[0], t1i, _mm256_xor_ps(o.r[2], signBit), t3i};
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k)
    {
      _mm256_storeu_ps(yr + q + k * stride, _mm256_add_ps(e.r[k], tr[k]));
      _mm256_storeu_ps(yi + q + k * stride, _mm256_add_ps(e.i[k], ti[k]));
      _mm256_storeu_ps(yr + q + (k + 4) * stride, _mm256_sub_ps(e.r[k], tr[k]));
      _mm256_storeu_ps(yi + q + (k + 4) * stride, _mm256_sub_ps(e.i[k], ti[k]));
    }
  }
}

// Passes after the first; a holds the first pass's output. Returns the buffer with the result.
float* LaterStages(float* a, float* b, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  for (int s = 1; s < setup->stageCount; ++s)
  {
    const MRealFFTSetup::Stage& stage = setup->stages[s];
    if (stage.span == 8)
      Radix8Stage(a, a + half, b, b + half, stage.stride);
    else if (stage.stride == 4)
      SecondStage(a, a + half, b, b + half, setup);
    else
      WideStage(a, a + half, b, b + half, half, stage);
    float* t = a;
    a = b;
    b = t;
  }
  return a;
}

// (No namespace-scope vector constants in this file: their initialisers would run AVX
// instructions at load time, on every processor.)
inline __m256 Reverse(__m256 v)
{
  return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// Interleaves eight real and eight imaginary parts into dst[0..16).
inline void StoreInterleaved(float* dst, __m256 re, __m256 im)
{
  const __m256 lo = _mm256_unpacklo_ps(re, im);
  const __m256 hi = _mm256_unpackhi_ps(re, im);
  _mm256_storeu_ps(dst, _mm256_permute2f128_ps(lo, hi, 0x20));
  _mm256_storeu_ps(dst + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
}

// Reads eight interleaved pairs from src[0..16) into element order, or reversed order.
inline void LoadInterleaved(const float* src, __m256i order, __m256* re, __m256* im)
{
  const __m256 lo = _mm256_loadu_ps(src);
  const __m256 hi = _mm256_loadu_ps(src + 8);
  *re = _mm256_permutevar8x32_ps(_mm256_shuffle_ps(lo, hi, 0x88), order);
  *im = _mm256_permutevar8x32_ps(_mm256_shuffle_ps(lo, hi, 0xDD), order);
}

// Split complex Z to the spectrum layout; bins k = k0..k0+7 and their partners M - k per
// step (see the portable SplitForward for the formulas).
void SplitForward(const float* zr, const float* zi, float* out, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  const __m256 halfV = _mm256_set1_ps(0.5f);
  out[0] = zr[0] + zi[0];
  out[1] = zr[0] - zi[0];
  for (int k0 = 1; k0 <= half / 2; k0 += 8)
  {
    const int j0 = half - k0 - 7;
    const __m256 zkr = _mm256_loadu_ps(zr + k0), zki = _mm256_loadu_ps(zi + k0);
    const __m256 zjr = Reverse(_mm256_loadu_ps(zr + j0)), zji = Reverse(_mm256_loadu_ps(zi + j0));
    const __m256 er = _mm256_mul_ps(halfV, _mm256_add_ps(zkr, zjr));
    const __m256 ei = _mm256_mul_ps(halfV, _mm256_sub_ps(zki, zji));
    const __m256 orr = _mm256_mul_ps(halfV, _mm256_add_ps(zki, zji));
    const __m256 oi = _mm256_mul_ps(halfV, _mm256_sub_ps(zjr, zkr));
    const __m256 wr = _mm256_loadu_ps(setup->splitRe + k0), wi = _mm256_loadu_ps(setup->splitIm + k0);
    const __m256 tr = _mm256_fmsub_ps(wr, orr, _mm256_mul_ps(wi, oi));
    const __m256 ti = _mm256_fmadd_ps(wr, oi, _mm256_mul_ps(wi, orr));
    StoreInterleaved(out + 2 * j0, Reverse(_mm256_sub_ps(er, tr)), Reverse(_mm256_sub_ps(ti, ei)));
    StoreInterleaved(out + 2 * k0, _mm256_add_ps(er, tr), _mm256_add_ps(ei, ti));
  }
}

// Spectrum layout to conj(2 Z) in split form (see the portable SplitInverse).
void SplitInverse(const float* in, float* zr, float* zi, const MRealFFTSetup* setup)
{
  const int half = setup->half;
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  const __m256i inOrder = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
  const __m256i reversed = _mm256_setr_epi32(7, 6, 3, 2, 5, 4, 1, 0);
  zr[0] = in[0] + in[1];
  zi[0] = in[1] - in[0];
  for (int k0 = 1; k0 <= half / 2; k0 += 8)
  {
    const int j0 = half - k0 - 7;
    __m256 xr, xi, yr, yi;
    LoadInterleaved(in + 2 * k0, inOrder, &xr, &xi);
    LoadInterleaved(in + 2 * j0, reversed, &yr, &yi);
    yi = _mm256_xor_ps(yi, signBit);
    const __m256 er = _mm256_add_ps(xr, yr), ei = _mm256_add_ps(xi, yi);
    const __m256 dr = _mm256_sub_ps(xr, yr), di = _mm256_sub_ps(xi, yi);
    const __m256 wr = _mm256_loadu_ps(setup->splitRe + k0), wi = _mm256_loadu_ps(setup->splitIm + k0);
    const __m256 orr = _mm256_fmadd_ps(wr, dr, _mm256_mul_ps(wi, di));
    const __m256 oi = _mm256_fmsub_ps(wr, di, _mm256_mul_ps(wi, dr));
    _mm256_storeu_ps(zr + j0, Reverse(_mm256_add_ps(er, oi)));
    _mm256_storeu_ps(zi + j0, Reverse(_mm256_sub_ps(ei, orr)));
    _mm256_storeu_ps(zr + k0, _mm256_sub_ps(er, oi));
    _mm256_storeu_ps(zi + k0, _mm256_xor_ps(_mm256_add_ps(ei, orr), signBit));
  }
}
} // namespace

void Avx2ForwardRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work)
{
  const int half = setup->half;
  if (half < 64)
  {
    PortableForwardRealFFT(srcDst, setup, work);
    return;
  }
  float* a = work;
  float* b = work + 2 * half;
  FirstStage<true>(srcDst, a, a + half, setup);
  const float* z = LaterStages(a, b, setup);
  SplitForward(z, z + half, srcDst, setup);
}

void Avx2InverseRealFFT(float* srcDst, const MRealFFTSetup* setup, float* work)
{
  const int half = setup->half;
  if (half < 64)
  {
    PortableInverseRealFFT(srcDst, setup, work);
    return;
  }
  float* a = work;
  float* b = work + 2 * half;
  SplitInverse(srcDst, a, a + half, setup);
  FirstStage<false>(a, b, b + half, setup);
  const float* z = LaterStages(b, a, setup);
  const __m256 signBit = _mm256_set1_ps(-0.0f);
  for (int m = 0; m < half; m += 8)
    StoreInterleaved(srcDst + 2 * m, _mm256_loadu_ps(z + m),
                     _mm256_xor_ps(_mm256_loadu_ps(z + half + m), signBit));
}
} // namespace MVector::Detail

#endif
