// The SSE2 twins of the polynomial items. Each runs the portable item's operations in the same
// order on two positions at once (SSE2 has no fused multiply-add, and the portable loops are
// compiled without contraction), so both give the same doubles; the float fills convert with
// the same rounding. Any length and alignment: unaligned loads and stores, one scalar tail.

#include "modulation/MEnvelopeItems.h"

#if TONVERA_ENVELOPE_SSE2

#include <emmintrin.h>

namespace
{
inline void Store(double* destination, __m128d values)
{
  _mm_storeu_pd(destination, values);
}

inline void Store(float* destination, __m128d values)
{
  // Two floats in the low 64 bits; the integer store is the one SSE2 offers for 8 bytes.
  _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), _mm_castps_si128(_mm_cvtpd_ps(values)));
}

// destination[i] = evaluate(first + i * step): the pairs through `pair`, an odd last position
// through the item's scalar Value.
template <typename T, typename Pair, typename Single>
void FillPairs(T* destination, double first, double step, int count, const Pair& pair, const Single& single)
{
  const __m128d start = _mm_set1_pd(first);
  const __m128d stride = _mm_set1_pd(step);
  const __m128d two = _mm_set1_pd(2.0);
  const __m128d four = _mm_set1_pd(4.0);
  __m128d index = _mm_set_pd(1.0, 0.0);
  __m128d index2 = _mm_set_pd(3.0, 2.0);
  int i = 0;
  // Two independent pairs per turn keep both multiply and add units busy.
  for (; i + 4 <= count; i += 4)
  {
    const __m128d a = pair(_mm_add_pd(start, _mm_mul_pd(index, stride)));
    const __m128d b = pair(_mm_add_pd(start, _mm_mul_pd(index2, stride)));
    Store(destination + i, a);
    Store(destination + i + 2, b);
    index = _mm_add_pd(index, four);
    index2 = _mm_add_pd(index2, four);
  }
  for (; i + 2 <= count; i += 2)
  {
    Store(destination + i, pair(_mm_add_pd(start, _mm_mul_pd(index, stride))));
    index = _mm_add_pd(index, two);
  }
  if (i < count)
    destination[i] = static_cast<T>(single(first + static_cast<double>(i) * step));
}

inline __m128d Splat(double value)
{
  return _mm_set1_pd(value);
}
} // namespace

// ---- Quadratic ------------------------------------------------------------------------------

namespace
{
struct QuadraticPair
{
  __m128d x0, c0, c1, c2;
  __m128d operator()(__m128d x) const
  {
    const __m128d d = _mm_sub_pd(x, x0);
    return _mm_add_pd(c0, _mm_mul_pd(d, _mm_add_pd(c1, _mm_mul_pd(d, c2))));
  }
};
} // namespace

void MEnvelopeComputer::ItemQuadraticSSE::FillDoubles(double* destination, double first, double step,
                                                      int count) const noexcept
{
  const QuadraticPair pair{Splat(m_x0), Splat(m_c[0]), Splat(m_c[1]), Splat(m_c[2])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemQuadratic::Value(x); });
}

void MEnvelopeComputer::ItemQuadraticSSE::FillFloats(float* destination, double first, double step,
                                                     int count) const noexcept
{
  const QuadraticPair pair{Splat(m_x0), Splat(m_c[0]), Splat(m_c[1]), Splat(m_c[2])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemQuadratic::Value(x); });
}

// ---- Fourth order -----------------------------------------------------------------------------

namespace
{
struct FourthOrderPair
{
  __m128d x0, c0, c1, c2, c3, c4;
  __m128d operator()(__m128d x) const
  {
    const __m128d d = _mm_sub_pd(x, x0);
    __m128d y = _mm_add_pd(c3, _mm_mul_pd(d, c4));
    y = _mm_add_pd(c2, _mm_mul_pd(d, y));
    y = _mm_add_pd(c1, _mm_mul_pd(d, y));
    return _mm_add_pd(c0, _mm_mul_pd(d, y));
  }
};
} // namespace

void MEnvelopeComputer::ItemFourthOrderSSE::FillDoubles(double* destination, double first, double step,
                                                        int count) const noexcept
{
  const FourthOrderPair pair{Splat(m_x0),   Splat(m_c[0]), Splat(m_c[1]),
                             Splat(m_c[2]), Splat(m_c[3]), Splat(m_c[4])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemFourthOrder::Value(x); });
}

void MEnvelopeComputer::ItemFourthOrderSSE::FillFloats(float* destination, double first, double step,
                                                       int count) const noexcept
{
  const FourthOrderPair pair{Splat(m_x0),   Splat(m_c[0]), Splat(m_c[1]),
                             Splat(m_c[2]), Splat(m_c[3]), Splat(m_c[4])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemFourthOrder::Value(x); });
}

// ---- Cubic --------------------------------------------------------------------------------------

namespace
{
struct CubicPair
{
  __m128d x0, c0, c1, c2, c3;
  __m128d operator()(__m128d x) const
  {
    const __m128d d = _mm_sub_pd(x, x0);
    __m128d y = _mm_add_pd(c2, _mm_mul_pd(d, c3));
    y = _mm_add_pd(c1, _mm_mul_pd(d, y));
    return _mm_add_pd(c0, _mm_mul_pd(d, y));
  }
};
} // namespace

void MEnvelopeComputer::ItemCubicSSE::FillDoubles(double* destination, double first, double step,
                                                  int count) const noexcept
{
  const CubicPair pair{Splat(m_x0), Splat(m_c[0]), Splat(m_c[1]), Splat(m_c[2]), Splat(m_c[3])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemCubic::Value(x); });
}

void MEnvelopeComputer::ItemCubicSSE::FillFloats(float* destination, double first, double step,
                                                 int count) const noexcept
{
  const CubicPair pair{Splat(m_x0), Splat(m_c[0]), Splat(m_c[1]), Splat(m_c[2]), Splat(m_c[3])};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemCubic::Value(x); });
}

// ---- Bezier -----------------------------------------------------------------------------------

namespace
{
struct BezierPair
{
  __m128d x0, y0, xc, xc2, d, dx, a, b;
  bool linearT;
  __m128d operator()(__m128d x) const
  {
    const __m128d distance = _mm_sub_pd(x, x0);
    __m128d t;
    if (linearT)
      t = _mm_div_pd(distance, dx);
    else
    {
      // max(v, 0) and max(1e-300, s) order their operands as std::max does in Value.
      const __m128d root =
          _mm_sqrt_pd(_mm_max_pd(_mm_add_pd(xc2, _mm_mul_pd(distance, d)), _mm_setzero_pd()));
      t = _mm_div_pd(distance, _mm_max_pd(_mm_set1_pd(1e-300), _mm_add_pd(xc, root)));
    }
    return _mm_add_pd(_mm_mul_pd(_mm_add_pd(_mm_mul_pd(a, t), b), t), y0);
  }
};
} // namespace

void MEnvelopeComputer::ItemBezierSSE::FillDoubles(double* destination, double first, double step,
                                                   int count) const noexcept
{
  const BezierPair pair{Splat(m_x0), Splat(m_y0), Splat(m_xc), Splat(m_xc2), Splat(m_d),
                        Splat(m_dx), Splat(m_a),  Splat(m_b),  m_linearT};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemBezier::Value(x); });
}

void MEnvelopeComputer::ItemBezierSSE::FillFloats(float* destination, double first, double step,
                                                  int count) const noexcept
{
  const BezierPair pair{Splat(m_x0), Splat(m_y0), Splat(m_xc), Splat(m_xc2), Splat(m_d),
                        Splat(m_dx), Splat(m_a),  Splat(m_b),  m_linearT};
  FillPairs(destination, first, step, count, pair, [this](double x) { return ItemBezier::Value(x); });
}

#endif
