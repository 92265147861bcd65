// Every segment shape against its formula, written here in the segment's own coordinate
// u = (x - x0) / dx; the SSE2 twins against the portable items.

#include "modulation/MEnvelopeComputer.h"
#include "modulation/MEnvelopeItems.h"

#include "tests/support/MAllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace
{
using Point = MEnvelope::ControlPoint;

Point At(double x, double y, int shape = MEnvelope::kShapeMode1, double curvature = 0.0,
         double horizontal = 0.0)
{
  Point p;
  p.x = x;
  p.y = y;
  p.shape = shape;
  p.curvature = curvature;
  p.horizontalCurvature = horizontal;
  return p;
}

template <typename T>
T Ulp(T value)
{
  return std::nextafter(std::fabs(value), T(1e30)) - std::fabs(value);
}

// Quadratic Bezier through (0, 0), (xc, yc), (1, 1) at horizontal position u, by bisection.
double BezierAt(double u, double xc, double yc)
{
  double low = 0.0, high = 1.0;
  for (int i = 0; i < 200; ++i)
  {
    const double t = (low + high) / 2.0;
    (2.0 * t * (1.0 - t) * xc + t * t < u ? low : high) = t;
  }
  const double t = (low + high) / 2.0;
  return 2.0 * t * (1.0 - t) * yc + t * t;
}

double Fourth(double u, double c)
{
  if (c >= 0.0)
    return c * std::pow(u, 4) + (1.0 - c) * u;
  // Mirror image of the c > 0 curve: starts steep, ends flat.
  return 1.0 - (-c * std::pow(1.0 - u, 4) + (1.0 + c) * (1.0 - u));
}

// The curve of a shape from (0, 0) to (1, 1) as a fraction of the rise; n = round(c^2 64).
double Expected(int shape, double c, double h, double u)
{
  const double n = std::max(1.0, std::floor(c * c * 64.0 + 0.5));
  const bool up = c >= 0.0;
  const auto orient = [up](double v) { return up ? v : 1.0 - v; };
  switch (shape)
  {
  case MEnvelope::kShapeMode1:
    return (1.0 - c) * u + c * u * u;
  case MEnvelope::kShapeMode2:
    return Fourth(u, c);
  case MEnvelope::kShapeMode3:
  {
    const double a = std::exp(3.0 * c);
    return 1.0 - std::pow(1.0 - std::pow(u, a), 1.0 / a);
  }
  case MEnvelope::kShapeFree1:
    return BezierAt(u, (h + 1.0) / 2.0, (c + 1.0) / 2.0);
  case MEnvelope::kShapeDouble1:
    return u < 0.5 ? Fourth(2.0 * u, c) / 2.0 : 0.5 + Fourth(2.0 * u - 1.0, -c) / 2.0;
  case MEnvelope::kShapeStairs:
    return n < 2.0 ? 0.0 : std::floor(u * n) / n;
  case MEnvelope::kShapePulses:
    return (static_cast<long>(u * 2.0 * n) % 2 == 0) == (c > 0.0) ? 1.0 : 0.0;
  case MEnvelope::kShapeSaw:
    return orient(u * n - std::floor(u * n));
  case MEnvelope::kShapeTriangles:
  {
    const double phase = std::fmod(u * (2.0 * n - 1.0), 2.0);
    return orient(phase <= 1.0 ? phase : 2.0 - phase);
  }
  default:
    return orient((1.0 - std::cos(u * (2.0 * n - 1.0) * std::numbers::pi)) / 2.0);
  }
}

struct ShapeCase
{
  int shape;
  double curvature;
  double horizontal;
};

const ShapeCase kShapeCases[] = {
    {MEnvelope::kShapeMode1, 0.0, 0},    {MEnvelope::kShapeMode1, 1.0, 0},
    {MEnvelope::kShapeMode1, -1.0, 0},   {MEnvelope::kShapeMode1, 0.35, 0},
    {MEnvelope::kShapeMode2, 0.0, 0},    {MEnvelope::kShapeMode2, 1.0, 0},
    {MEnvelope::kShapeMode2, -1.0, 0},   {MEnvelope::kShapeMode2, -0.4, 0},
    {MEnvelope::kShapeMode3, 1.0, 0},    {MEnvelope::kShapeMode3, -1.0, 0},
    {MEnvelope::kShapeMode3, 0.3, 0},    {MEnvelope::kShapeFree1, 0.0, 0},
    {MEnvelope::kShapeFree1, 1.0, 1.0},  {MEnvelope::kShapeFree1, -1, -1.0},
    {MEnvelope::kShapeFree1, 0.6, -0.3}, {MEnvelope::kShapeFree1, 0.5, 1e-11},
    {MEnvelope::kShapeDouble1, 1.0, 0},  {MEnvelope::kShapeDouble1, -0.7, 0},
    {MEnvelope::kShapeStairs, 0.1, 0},   {MEnvelope::kShapeStairs, 0.5, 0},
    {MEnvelope::kShapeStairs, -0.3, 0},  {MEnvelope::kShapePulses, 0.0, 0},
    {MEnvelope::kShapePulses, 0.4, 0},   {MEnvelope::kShapePulses, -0.4, 0},
    {MEnvelope::kShapeSaw, 0.0, 0},      {MEnvelope::kShapeSaw, -0.3, 0},
    {MEnvelope::kShapeSaw, 1.0, 0},      {MEnvelope::kShapeTriangles, 0.3, 0},
    {MEnvelope::kShapeTriangles, -1, 0}, {MEnvelope::kShapeSines, 0.0, 0},
    {MEnvelope::kShapeSines, 0.5, 0},    {MEnvelope::kShapeSines, -0.2, 0},
};

TEST(MEnvelopeShapes, EverySegmentAndItsDerivativesFollowTheFormulaNearAndFarFromTheOrigin)
{
  // Segments far from 0 must be as exact as near it: expanding the polynomials in x itself
  // would lose all digits at x0 = 1e6.
  for (const double x0 : {2.0, -7.5, 1e6})
  {
    for (const ShapeCase& test : kShapeCases)
    {
      const double dx = 3.0, y0 = 0.25, dy = -1.5;
      MEnvelope envelope;
      envelope.SetPoints({At(x0, y0, test.shape, test.curvature, test.horizontal), At(x0 + dx, y0 + dy)});
      MEnvelopeComputer computer;
      computer.Build(envelope, MEnvelopeComputer::Kernels::kPortable);
      // Positions away from the steps of the periodic shapes, plus both ends.
      std::vector<double> positions = {0.0, 1e-9, 1.0 - 1e-9};
      for (int k = 0; k < 23; ++k)
        positions.push_back((k + 0.37) / 23.0);
      for (const double u : positions)
      {
        // The fraction the position really stands for, once rounded to a double.
        const double x = x0 + u * dx;
        const double expected =
            y0 + dy * Expected(test.shape, test.curvature, test.horizontal, (x - x0) / dx);
        EXPECT_NEAR(computer.ValueAt(x), expected, 2e-8)
            << MEnvelope::ShapeName(test.shape).ToUTF8() << " c=" << test.curvature
            << " h=" << test.horizontal << " x0=" << x0 << " u=" << u;
      }
      EXPECT_EQ(computer.ValueAt(x0 + dx), y0 + dy) << "the last point's value from x1 on";
    }
  }

  // Exact and numeric derivatives match the formulas.
  struct Case
  {
    int shape;
    double curvature;
    std::function<double(double)> slope; // d/du of the unit curve
  };
  const Case cases[] = {
      {MEnvelope::kShapeMode1, 0.6, [](double u) { return 0.4 + 1.2 * u; }},
      {MEnvelope::kShapeMode2, 0.5, [](double u) { return 2.0 * u * u * u + 0.5; }},
      {MEnvelope::kShapeMode2, -1.0, [](double u) { return 4.0 * std::pow(1.0 - u, 3); }},
      {MEnvelope::kShapeMode3, 0.5,
       [](double u) {
         const double a = std::exp(1.5);
         return std::pow(1.0 - std::pow(u, a), 1.0 / a - 1.0) * std::pow(u, a - 1.0);
       }},
      {MEnvelope::kShapeSines, 0.0,
       [](double u) { return std::numbers::pi / 2.0 * std::sin(u * std::numbers::pi); }},
  };
  for (const double x0 : {0.0, 1e6})
    for (const Case& test : cases)
    {
      MEnvelope envelope;
      envelope.SetPoints({At(x0, 1.0, test.shape, test.curvature), At(x0 + 2.0, 3.0)});
      MEnvelopeComputer computer;
      computer.Build(envelope);
      for (const double u : {0.2, 0.5, 0.9})
      {
        const double expected = test.slope(u); // rise 2 over run 2
        EXPECT_NEAR(computer.LeftDerivative(x0 + 2.0 * u), expected, 2e-4) << test.shape << " at " << x0;
        EXPECT_NEAR(computer.RightDerivative(x0 + 2.0 * u), expected, 2e-4) << test.shape << " at " << x0;
      }
    }
}

TEST(MEnvelopeShapes, SSE2TwinsAgreeWithThePortableItemsAtAnyLengthAndAlignment)
{
  if (!MEnvelopeComputer::HasSSE2Twins())
    GTEST_SKIP() << "no SSE2 on this build or processor";
  // Sixteen points of the polynomial shapes, smooth neighbours and quadratic and cubic corners.
  std::vector<Point> points;
  const int shapes[] = {MEnvelope::kShapeMode1, MEnvelope::kShapeMode2, MEnvelope::kShapeFree1,
                        MEnvelope::kShapeSmooth1, MEnvelope::kShapeSmooth2};
  for (int i = 0; i < 16; ++i)
  {
    Point p = At(i * 0.75, std::sin(i * 1.3), shapes[i % 5], 0.9 - 0.13 * i, 0.5 - 0.07 * i);
    p.leftRounding = p.rightRounding = (i % 3) * 0.4;
    p.roundingMode = i % 2;
    points.push_back(p);
  }
  MEnvelope envelope;
  envelope.SetPoints(points);
  MEnvelopeComputer portable, twins;
  portable.Build(envelope, MEnvelopeComputer::Kernels::kPortable);
  twins.Build(envelope);
#if TONVERA_ENVELOPE_SSE2
  int twinItems = 0;
  for (int i = 0; i < twins.GetItemCount(); ++i)
  {
    const MEnvelopeComputer::Item* item = twins.GetItem(i);
    twinItems += dynamic_cast<const MEnvelopeComputer::ItemQuadraticSSE*>(item) != nullptr ||
                 dynamic_cast<const MEnvelopeComputer::ItemFourthOrderSSE*>(item) != nullptr ||
                 dynamic_cast<const MEnvelopeComputer::ItemBezierSSE*>(item) != nullptr ||
                 dynamic_cast<const MEnvelopeComputer::ItemCubicSSE*>(item) != nullptr;
  }
  EXPECT_GT(twinItems, 8) << "the twins are the ones compared";
#endif
  for (int count : {0, 1, 2, 3, 7, 64, 257, 1001})
    for (int offset : {0, 1, 3})
    {
      std::vector<double> d1(count + 4), d2(count + 4);
      std::vector<float> f1(count + 4), f2(count + 4);
      portable.ResetCursor();
      twins.ResetCursor();
      MAllocationCounter::Scope scope;
      portable.FillDoubles(d1.data() + offset, -0.5, 12.5 / 1001.0, count);
      twins.FillDoubles(d2.data() + offset, -0.5, 12.5 / 1001.0, count);
      portable.ResetCursor();
      twins.ResetCursor();
      portable.FillFloats(f1.data() + offset, -0.5, 12.5 / 1001.0, count);
      twins.FillFloats(f2.data() + offset, -0.5, 12.5 / 1001.0, count);
      EXPECT_EQ(scope.Count(), 0u) << "fills allocate nothing";
      for (int i = 0; i < count + 4; ++i)
      {
        EXPECT_LE(std::fabs(d1[i] - d2[i]), 4 * Ulp(d1[i])) << count << "/" << offset << " at " << i;
        EXPECT_LE(std::fabs(f1[i] - f2[i]), 4 * Ulp(f1[i])) << count << "/" << offset << " at " << i;
      }
    }
}
} // namespace
