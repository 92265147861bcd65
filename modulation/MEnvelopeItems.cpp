#include "modulation/MEnvelopeItems.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace
{
// The portable fill loops. Positions are first + i * step with i converted exactly, the form
// the SSE2 twins reproduce.
template <typename T, typename Evaluate>
void FillWith(T* destination, double first, double step, int count, const Evaluate& evaluate)
{
  for (int i = 0; i < count; ++i)
    destination[i] = static_cast<T>(evaluate(first + static_cast<double>(i) * step));
}

// Difference quotients need a step that survives the subtraction: 1e-10 near the origin, and
// at least 2^12 units in the last place of x beyond |x| = 110 (at x = 1e6 a fixed 1e-10 is
// below one unit and the quotient would read 0 or a multiple of the slope). The quotient
// divides by the step actually taken.
double DerivativeStep(double x)
{
  return std::max(1e-10, std::fabs(x) * 0x1p-40);
}
} // namespace

// ---- Item ---------------------------------------------------------------------------------

void MEnvelopeComputer::Item::FillDoubles(double* destination, double first, double step,
                                          int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return Value(x); });
}

void MEnvelopeComputer::Item::FillFloats(float* destination, double first, double step,
                                         int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return Value(x); });
}

double MEnvelopeComputer::Item::LeftDerivative(double x) const noexcept
{
  const double before = x - DerivativeStep(x);
  return (Value(x) - Value(before)) / (x - before);
}

double MEnvelopeComputer::Item::RightDerivative(double x) const noexcept
{
  const double after = x + DerivativeStep(x);
  return (Value(after) - Value(x)) / (after - x);
}

// ---- Constant and linear --------------------------------------------------------------------

void MEnvelopeComputer::ItemConstant::FillDoubles(double* destination, double, double,
                                                  int count) const noexcept
{
  std::fill(destination, destination + std::max(count, 0), m_k);
}

void MEnvelopeComputer::ItemConstant::FillFloats(float* destination, double, double, int count) const noexcept
{
  std::fill(destination, destination + std::max(count, 0), static_cast<float>(m_k));
}

MEnvelopeComputer::ItemLinear::ItemLinear(double end, double x0, double y0, double x1, double y1)
    : Item(end), m_x0(x0), m_y0(y0), m_slope((y1 - y0) / (x1 - x0))
{}

// ---- Quadratic ------------------------------------------------------------------------------

MEnvelopeComputer::ItemQuadratic::ItemQuadratic(double end, double x0, double y0, double x1, double y1,
                                                double curvature)
    : Item(end), m_x0(x0)
{
  const double dx = x1 - x0, dy = y1 - y0;
  const double s = (dy / dx) * (1.0 - curvature);
  m_c[0] = y0;
  m_c[1] = s;
  m_c[2] = (dy - dx * s) / (dx * dx);
}

void MEnvelopeComputer::ItemQuadratic::FillDoubles(double* destination, double first, double step,
                                                   int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemQuadratic::Value(x); });
}

void MEnvelopeComputer::ItemQuadratic::FillFloats(float* destination, double first, double step,
                                                  int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemQuadratic::Value(x); });
}

// ---- Fourth order -----------------------------------------------------------------------------

MEnvelopeComputer::ItemFourthOrder::ItemFourthOrder(double end, double x0, double y0, double x1, double y1,
                                                    double curvature)
    : Item(end), m_x0(x0)
{
  const double dy = y1 - y0;
  const double inverse = 1.0 / (x1 - x0);
  // The polynomial v(u) in u = d / dx, then each power of u scaled into d.
  double v[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
  if (curvature >= 0.0)
  {
    v[4] = curvature;
    v[1] = 1.0 - curvature;
  }
  else
  {
    const double k = -curvature;
    v[4] = -k;
    v[3] = 4.0 * k;
    v[2] = -6.0 * k;
    v[1] = 1.0 + 3.0 * k;
  }
  m_c[0] = y0;
  double scale = dy;
  for (int power = 1; power <= 4; ++power)
  {
    scale *= inverse;
    m_c[power] = v[power] * scale;
  }
}

void MEnvelopeComputer::ItemFourthOrder::FillDoubles(double* destination, double first, double step,
                                                     int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemFourthOrder::Value(x); });
}

void MEnvelopeComputer::ItemFourthOrder::FillFloats(float* destination, double first, double step,
                                                    int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemFourthOrder::Value(x); });
}

// ---- Exponential --------------------------------------------------------------------------------

MEnvelopeComputer::ItemExponencial::ItemExponencial(double end, double x0, double y0, double x1, double y1,
                                                    double curvature)
    : Item(end), m_x0(x0), m_y0(y0), m_dx(x1 - x0), m_dy(y1 - y0), m_a(std::exp(3.0 * curvature))
{}

double MEnvelopeComputer::ItemExponencial::Value(double x) const noexcept
{
  // u^a of a negative u is not a number; positions outside the segment read its ends.
  const double u = std::clamp((x - m_x0) / m_dx, 0.0, 1.0);
  return m_y0 + m_dy * (1.0 - std::pow(std::max(0.0, 1.0 - std::pow(u, m_a)), 1.0 / m_a));
}

// ---- Bezier -----------------------------------------------------------------------------------

MEnvelopeComputer::ItemBezier::ItemBezier(double end, double x0, double y0, double xC, double yC, double x1,
                                          double y1)
    : Item(end), m_x0(x0), m_y0(y0), m_xc(xC - x0), m_xc2((xC - x0) * (xC - x0)), m_d(x0 - 2.0 * xC + x1),
      m_dx(x1 - x0), m_a(y0 - 2.0 * yC + y1), m_b(2.0 * (yC - y0)),
      m_linearT(std::fabs(x0 - 2.0 * xC + x1) < 1e-10)
{}

void MEnvelopeComputer::ItemBezier::FreeControlPoint(double x0, double y0, double x1, double y1,
                                                     double horizontalCurvature, double curvature, double& xC,
                                                     double& yC)
{
  // Outside -1..1 the control point would leave the segment, x(t) would turn back and the
  // root would not exist for part of it.
  const double h = std::clamp(horizontalCurvature, -1.0, 1.0);
  xC = x0 + (x1 - x0) * (h + 1.0) / 2.0;
  yC = y0 + (y1 - y0) * (curvature + 1.0) / 2.0;
}

double MEnvelopeComputer::ItemBezier::Value(double x) const noexcept
{
  const double d = x - m_x0;
  double t;
  if (m_linearT)
    t = d / m_dx;
  else
  {
    // The discriminant is (xC - x0)^2 at d = 0 and (x1 - xC)^2 at d = dx; rounding may take it
    // a hair below 0 there. The denominator is 0 only at d = 0 with xC = x0, where t = 0.
    const double root = std::sqrt(std::max(0.0, m_xc2 + d * m_d));
    t = d / std::max(m_xc + root, 1e-300);
  }
  return (m_a * t + m_b) * t + m_y0;
}

void MEnvelopeComputer::ItemBezier::FillDoubles(double* destination, double first, double step,
                                                int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemBezier::Value(x); });
}

void MEnvelopeComputer::ItemBezier::FillFloats(float* destination, double first, double step,
                                               int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemBezier::Value(x); });
}

// ---- Double -------------------------------------------------------------------------------------

MEnvelopeComputer::ItemDouble::ItemDouble(double end, double x0, double y0, double x1, double y1,
                                          double curvature)
    : Item(end), m_xm((x0 + x1) / 2.0)
{
  const double ym = (y0 + y1) / 2.0;
  m_first = std::make_unique<ItemFourthOrder>(m_xm, x0, y0, m_xm, ym, curvature);
  m_second = std::make_unique<ItemFourthOrder>(end, m_xm, ym, x1, y1, -curvature);
}

MEnvelopeComputer::ItemDouble::~ItemDouble() = default;

double MEnvelopeComputer::ItemDouble::Value(double x) const noexcept
{
  return x < m_xm ? m_first->ItemFourthOrder::Value(x) : m_second->ItemFourthOrder::Value(x);
}

// ---- Cubic --------------------------------------------------------------------------------------

MEnvelopeComputer::ItemCubic::ItemCubic(double end, double x0, double y0, double m0, double x1, double y1,
                                        double m1)
    : Item(end), m_x0(x0)
{
  const double dx = x1 - x0, dy = y1 - y0;
  m_c[0] = y0;
  m_c[1] = m0;
  m_c[2] = 0.0;
  m_c[3] = 0.0;
  // Build never makes an empty cubic; should one arrive, it stays the line through P0.
  if (dx > 0.0)
  {
    m_c[2] = (3.0 * dy - (2.0 * m0 + m1) * dx) / (dx * dx);
    m_c[3] = (dy - m_c[2] * dx * dx - m0 * dx) / (dx * dx * dx);
  }
}

void MEnvelopeComputer::ItemCubic::FillDoubles(double* destination, double first, double step,
                                               int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemCubic::Value(x); });
}

void MEnvelopeComputer::ItemCubic::FillFloats(float* destination, double first, double step,
                                              int count) const noexcept
{
  FillWith(destination, first, step, count, [this](double x) { return ItemCubic::Value(x); });
}

// ---- Periodic shapes ------------------------------------------------------------------------------

double MEnvelopeComputer::ItemPeriodic::StepCount(double curvature)
{
  return std::floor(curvature * curvature * 64.0 + 0.5);
}

MEnvelopeComputer::ItemPeriodic::ItemPeriodic(double end, double x0, double y0, double x1, double y1,
                                              double curvature)
    : Item(end), m_x0(x0), m_dx(x1 - x0), m_y0(y0), m_y1(y1), m_dy(y1 - y0),
      m_n(std::max(1.0, StepCount(curvature))), m_ya(curvature + 1e-50 >= 0.0 ? y0 : y1),
      m_yb(curvature + 1e-50 >= 0.0 ? y1 : y0), m_rising(curvature - 1e-20 > 0.0)
{}

MEnvelopeComputer::ItemStairs::ItemStairs(double end, double x0, double y0, double x1, double y1,
                                          double curvature)
    : ItemPeriodic(end, x0, y0, x1, y1, curvature)
{}

double MEnvelopeComputer::ItemStairs::Value(double x) const noexcept
{
  return m_y0 + std::trunc((x - m_x0) * m_n / m_dx) * (m_dy / m_n);
}

MEnvelopeComputer::ItemPulses::ItemPulses(double end, double x0, double y0, double x1, double y1,
                                          double curvature)
    : ItemPeriodic(end, x0, y0, x1, y1, curvature)
{}

double MEnvelopeComputer::ItemPulses::Value(double x) const noexcept
{
  // The level stays a double: a count beyond the int range must not overflow a conversion.
  const double level = std::trunc((x - m_x0) * (2.0 * m_n) / m_dx);
  const bool even = std::fmod(level, 2.0) == 0.0;
  const double first = m_rising ? m_y1 : m_y0;
  const double second = m_rising ? m_y0 : m_y1;
  return even ? first : second;
}

MEnvelopeComputer::ItemSaw::ItemSaw(double end, double x0, double y0, double x1, double y1, double curvature)
    : ItemPeriodic(end, x0, y0, x1, y1, curvature)
{}

double MEnvelopeComputer::ItemSaw::Value(double x) const noexcept
{
  return m_ya + std::fmod((x - m_x0) * m_n / m_dx, 1.0) * (m_yb - m_ya);
}

MEnvelopeComputer::ItemTriangles::ItemTriangles(double end, double x0, double y0, double x1, double y1,
                                                double curvature)
    : ItemPeriodic(end, x0, y0, x1, y1, curvature)
{}

double MEnvelopeComputer::ItemTriangles::Value(double x) const noexcept
{
  const double phase = std::fmod((x - m_x0) * (2.0 * m_n - 1.0) / m_dx, 2.0);
  return m_ya + (1.0 - std::fabs(phase - 1.0)) * (m_yb - m_ya);
}

MEnvelopeComputer::ItemSines::ItemSines(double end, double x0, double y0, double x1, double y1,
                                        double curvature)
    : ItemPeriodic(end, x0, y0, x1, y1, curvature)
{}

double MEnvelopeComputer::ItemSines::Value(double x) const noexcept
{
  constexpr double pi = std::numbers::pi;
  const double amplitude = (m_yb - m_ya) / 2.0;
  return m_ya + amplitude + amplitude * std::sin((x - m_x0) * (2.0 * pi * m_n - pi) / m_dx - pi / 2.0);
}
