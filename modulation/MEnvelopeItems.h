#pragma once
// The segment evaluators of MEnvelopeComputer, one class per formula.
//
// Built by MEnvelopeComputer::Build (tests may build them directly). Every constructor takes the
// item's end first, then the segment from (x0, y0) to (x1, y1) with x0 < x1 and the shape's
// parameters; the values are precomputed there, so Value is a closed form without branches on
// the shape. Polynomial items keep their coefficients in d = x - x0 and evaluate by Horner's
// rule; the SSE2 twins run the same operations two positions at a time.
//
// Notation: dx = x1 - x0, dy = y1 - y0, c the curvature, r = c * c * 64 rounded to the nearest
// integer with halves going up, n = max(1, r). The periodic shapes read (ya, yb) = (y0, y1) when
// c >= -1e-50, else (y1, y0).

#include "modulation/MEnvelopeComputer.h"

/// k everywhere; derivatives 0.
class MEnvelopeComputer::ItemConstant : public Item
{
public:
  ItemConstant(double end, double k) : Item(end), m_k(k) {}
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
  double Value(double) const noexcept override { return m_k; }
  double LeftDerivative(double) const noexcept override { return 0.0; }
  double RightDerivative(double) const noexcept override { return 0.0; }

private:
  double m_k;
};

/// y0 + d * dy / dx; exact derivatives.
class MEnvelopeComputer::ItemLinear : public Item
{
public:
  ItemLinear(double end, double x0, double y0, double x1, double y1);
  double Value(double x) const noexcept override { return m_y0 + (x - m_x0) * m_slope; }
  double LeftDerivative(double) const noexcept override { return m_slope; }
  double RightDerivative(double) const noexcept override { return m_slope; }

private:
  double m_x0, m_y0, m_slope;
};

/// y0 + s d + a d^2 with s = (dy / dx)(1 - c), a = (dy - dx s) / dx^2; exact derivatives.
class MEnvelopeComputer::ItemQuadratic : public Item
{
public:
  ItemQuadratic(double end, double x0, double y0, double x1, double y1, double curvature);
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
  double Value(double x) const noexcept override
  {
    const double d = x - m_x0;
    return m_c[0] + d * (m_c[1] + d * m_c[2]);
  }
  double LeftDerivative(double x) const noexcept override { return 2.0 * m_c[2] * (x - m_x0) + m_c[1]; }
  double RightDerivative(double x) const noexcept override { return LeftDerivative(x); }

protected:
  double m_x0;
  double m_c[3];
};

/// y0 + dy v(u), u = d / dx: v = c u^4 + (1 - c) u for c >= 0; with k = -c otherwise,
/// v = -k u^4 + 4k u^3 - 6k u^2 + (1 + 3k) u. Exact derivatives.
class MEnvelopeComputer::ItemFourthOrder : public Item
{
public:
  ItemFourthOrder(double end, double x0, double y0, double x1, double y1, double curvature);
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
  double Value(double x) const noexcept override
  {
    const double d = x - m_x0;
    return m_c[0] + d * (m_c[1] + d * (m_c[2] + d * (m_c[3] + d * m_c[4])));
  }
  double LeftDerivative(double x) const noexcept override
  {
    const double d = x - m_x0;
    return m_c[1] + d * (2.0 * m_c[2] + d * (3.0 * m_c[3] + d * 4.0 * m_c[4]));
  }
  double RightDerivative(double x) const noexcept override { return LeftDerivative(x); }

protected:
  double m_x0;
  double m_c[5];
};

/// y0 + dy (1 - max(0, 1 - u^a)^(1/a)), a = e^(3c); u is held to 0..1.
class MEnvelopeComputer::ItemExponencial : public Item
{
public:
  ItemExponencial(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;

private:
  double m_x0, m_y0, m_dx, m_dy, m_a;
};

/// The quadratic Bezier curve from P0 through the control point C to P1 (x0 <= xC <= x1), at the
/// parameter t with x(t) = x: t = u when |x0 - 2 xC + x1| < 1e-10, else the root of the
/// quadratic, computed as d / (xC - x0 + sqrt((xC - x0)^2 + d D)) (the same root, without the
/// cancellation of the textbook form).
class MEnvelopeComputer::ItemBezier : public Item
{
public:
  ItemBezier(double end, double x0, double y0, double xC, double yC, double x1, double y1);
  /// The "Free 1" segment: C = (x0 + dx (h + 1) / 2, y0 + dy (c + 1) / 2), h held to -1..1.
  static void FreeControlPoint(double x0, double y0, double x1, double y1, double horizontalCurvature,
                               double curvature, double& xC, double& yC);
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
  double Value(double x) const noexcept override;

protected:
  double m_x0, m_y0;
  /// xC - x0, (xC - x0)^2, D = x0 - 2 xC + x1, x1 - x0.
  double m_xc, m_xc2, m_d, m_dx;
  /// y(t) = (m_a t + m_b) t + y0.
  double m_a, m_b;
  bool m_linearT;
};

/// Two fourth-order halves split at the midpoint M: curvature c from P0 to M, -c from M to P1.
class MEnvelopeComputer::ItemDouble : public Item
{
public:
  ItemDouble(double end, double x0, double y0, double x1, double y1, double curvature);
  ~ItemDouble() override;
  double Value(double x) const noexcept override;

private:
  double m_xm;
  std::unique_ptr<ItemFourthOrder> m_first, m_second;
};

/// The Hermite cubic through (x0, y0) with slope m0 and (x1, y1) with slope m1:
/// y0 + m0 d + A d^2 + B d^3, A = (3 dy - (2 m0 + m1) dx) / dx^2, B = (dy - A dx^2 - m0 dx) / dx^3;
/// exact derivatives.
class MEnvelopeComputer::ItemCubic : public Item
{
public:
  ItemCubic(double end, double x0, double y0, double m0, double x1, double y1, double m1);
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
  double Value(double x) const noexcept override
  {
    const double d = x - m_x0;
    return m_c[0] + d * (m_c[1] + d * (m_c[2] + d * m_c[3]));
  }
  /// Exact: the difference quotient's rounding error (about 1e-16 |y| / 1e-10) would reach the
  /// slopes that "Smooth 1" segments and corner roundings take from this item.
  double LeftDerivative(double x) const noexcept override
  {
    const double d = x - m_x0;
    return m_c[1] + d * (2.0 * m_c[2] + d * 3.0 * m_c[3]);
  }
  double RightDerivative(double x) const noexcept override { return LeftDerivative(x); }

protected:
  double m_x0;
  double m_c[4];
};

/// Shared state of the periodic shapes.
class MEnvelopeComputer::ItemPeriodic : public Item
{
public:
  /// r as defined in the file comment.
  static double StepCount(double curvature);

protected:
  ItemPeriodic(double end, double x0, double y0, double x1, double y1, double curvature);
  double m_x0, m_dx, m_y0, m_y1, m_dy, m_n, m_ya, m_yb;
  bool m_rising;
};

/// y0 + trunc(d n / dx) dy / n; derivatives 0.
class MEnvelopeComputer::ItemStairs : public ItemPeriodic
{
public:
  ItemStairs(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;
  double LeftDerivative(double) const noexcept override { return 0.0; }
  double RightDerivative(double) const noexcept override { return 0.0; }
};

/// Level trunc(d 2n / dx) even: first, odd: second; (first, second) = (y1, y0) when
/// c - 1e-20 > 0, else (y0, y1). Derivatives 0.
class MEnvelopeComputer::ItemPulses : public ItemPeriodic
{
public:
  ItemPulses(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;
  double LeftDerivative(double) const noexcept override { return 0.0; }
  double RightDerivative(double) const noexcept override { return 0.0; }
};

/// ya + frac(d n / dx) (yb - ya).
class MEnvelopeComputer::ItemSaw : public ItemPeriodic
{
public:
  ItemSaw(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;
};

/// ya + (1 - |rem(d (2n - 1) / dx, 2) - 1|) (yb - ya).
class MEnvelopeComputer::ItemTriangles : public ItemPeriodic
{
public:
  ItemTriangles(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;
};

/// mid + amp sin(d (2 pi n - pi) / dx - pi / 2), amp = (yb - ya) / 2, mid = ya + amp.
class MEnvelopeComputer::ItemSines : public ItemPeriodic
{
public:
  ItemSines(double end, double x0, double y0, double x1, double y1, double curvature);
  double Value(double x) const noexcept override;
};

#if TONVERA_ENVELOPE_SSE2
// The SSE2 twins: the same values, fills two positions at a time (modulation/MEnvelopeItemsSSE2.cpp).

class MEnvelopeComputer::ItemQuadraticSSE : public ItemQuadratic
{
public:
  using ItemQuadratic::ItemQuadratic;
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
};

class MEnvelopeComputer::ItemFourthOrderSSE : public ItemFourthOrder
{
public:
  using ItemFourthOrder::ItemFourthOrder;
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
};

class MEnvelopeComputer::ItemBezierSSE : public ItemBezier
{
public:
  using ItemBezier::ItemBezier;
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
};

class MEnvelopeComputer::ItemCubicSSE : public ItemCubic
{
public:
  using ItemCubic::ItemCubic;
  void FillDoubles(double* destination, double first, double step, int count) const noexcept override;
  void FillFloats(float* destination, double first, double step, int count) const noexcept override;
};
#endif
