// Results of the vector operations against their definitions, and agreement of every
// processor level this machine offers with the portable level.

#include "vector/MVector.h"

#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"
#include "tests/vector/MVectorLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace
{
// ---- Results ---------------------------------------------------------------------------

TEST_F(MVectorLevels, ArithmeticAndExtremesMatchTheirDefinitionsAndOnePassFormsTheirStepsAtEveryLevel)
{
  AtEveryLevel([&] {
    // 37 elements: several vector widths plus a tail.
    constexpr int kN = 37;
    std::vector<float> a(kN), b(kN), dst(kN);
    for (int i = 0; i < kN; ++i)
    {
      a[i] = 0.25f * static_cast<float>(i) - 3.0f;
      b[i] = 1.5f + static_cast<float>(i % 5);
    }
    // Each operation answers 0 and leaves in dst what `expected` says of element i.
    const auto check = [&](int status, auto expected, const char* what) {
      ASSERT_EQ(status, 0) << what;
      for (int i = 0; i < kN; ++i)
        EXPECT_EQ(dst[i], expected(i)) << what;
    };
    check(
        MVector::AddFloats(a.data(), b.data(), dst.data(), kN), [&](int i) { return a[i] + b[i]; }, "add");
    check(
        MVector::SubtractFloats(a.data(), b.data(), dst.data(), kN), [&](int i) { return b[i] - a[i]; },
        "b - a, not a - b");
    dst = b;
    check(
        MVector::AddFloatsInPlace(a.data(), dst.data(), kN), [&](int i) { return a[i] + b[i]; },
        "add in place");
    dst = a;
    check(
        MVector::AddConstantInPlace(0.5f, dst.data(), kN), [&](int i) { return a[i] + 0.5f; }, "constant");
    dst = a;
    check(
        MVector::MultiplyByScalar(-2.0f, dst.data(), kN), [&](int i) { return -2.0f * a[i]; }, "scalar");
    dst = a;
    check(
        MVector::MultiplyElementwise(b.data(), dst.data(), kN), [&](int i) { return a[i] * b[i]; },
        "elementwise");

    // Sums of exactly representable terms are exact in any order.
    float result = 0;
    double expectedDot = 0, expectedSum = 0;
    for (int i = 0; i < kN; ++i)
    {
      expectedDot += static_cast<double>(a[i]) * b[i];
      expectedSum += a[i];
    }
    ASSERT_EQ(MVector::DotProduct(a.data(), b.data(), kN, &result), 0);
    EXPECT_EQ(result, static_cast<float>(expectedDot));
    ASSERT_EQ(MVector::Sum(a.data(), kN, &result), 0);
    EXPECT_EQ(result, static_cast<float>(expectedSum));

    ASSERT_EQ(MVector::SetFloats(7.0f, dst.data(), kN), 0);
    EXPECT_EQ(dst, std::vector<float>(kN, 7.0f));
    ASSERT_EQ(MVector::ZeroFloats(dst.data(), kN), 0);
    EXPECT_EQ(dst, std::vector<float>(kN, 0.0f));
  });

  // Extremes take the lowest index on ties.
  struct Case
  {
    std::vector<float> values;
    float max;
    int maxIndex;
    float min;
    int minIndex;
  };
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> longTie(40, 0.0f);
  longTie[9] = 5.0f;
  longTie[33] = 5.0f;
  longTie[17] = -5.0f;
  longTie[18] = -5.0f;
  const std::vector<Case> cases = {
      {{3.0f}, 3.0f, 0, 3.0f, 0},
      {{1.0f, 4.0f, 4.0f, -2.0f, -2.0f}, 4.0f, 1, -2.0f, 3},
      {{-1.0f, -1.0f}, -1.0f, 0, -1.0f, 0},
      {longTie, 5.0f, 9, -5.0f, 17},
      {{0.0f, 1e30f, -1e30f, 1e30f, -1e30f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0f}, 1e30f, 1, -1e30f, 2},
      // NaN elements are passed over (a spectrum with one bad bin still has a peak).
      {{1.0f, kNaN, 3.0f, -2.0f, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}, 3.0f, 2, -2.0f, 3},
  };
  AtEveryLevel([&] {
    for (const Case& c : cases)
    {
      const int n = static_cast<int>(c.values.size());
      float value = 0, lo = 0, hi = 0;
      int index = -1;
      ASSERT_EQ(MVector::MaximumWithIndex(c.values.data(), n, &value, &index), 0);
      EXPECT_EQ(value, c.max);
      EXPECT_EQ(index, c.maxIndex);
      ASSERT_EQ(MVector::MinimumWithIndex(c.values.data(), n, &value, &index), 0);
      EXPECT_EQ(value, c.min);
      EXPECT_EQ(index, c.minIndex);
      ASSERT_EQ(MVector::Maximum(c.values.data(), n, &value), 0);
      EXPECT_EQ(value, c.max);
      ASSERT_EQ(MVector::MinMax(c.values.data(), n, &lo, &hi), 0);
      EXPECT_EQ(lo, c.min);
      EXPECT_EQ(hi, c.max);
    }
  });

  // The frame engine's one-pass forms round exactly as the steps they replace (a fused multiply-add
  // would differ in the last bit on noise), and may work in place.
  constexpr int kN = 1029; // vector widths and a tail
  const std::vector<float> x = MTestSignals::WhiteNoise(kN, 300.0f, 41);
  const std::vector<float> w = MTestSignals::WhiteNoise(kN, 1.0f, 42);
  const std::vector<float> acc = MTestSignals::WhiteNoise(kN, 0.5f, 43);
  const float scale = 1.0f / 1536.0f + 1e-7f;
  AtEveryLevel([&] {
    std::vector<float> steps = x, stepsAcc = acc;
    MVector::MultiplyByScalar(scale, steps.data(), kN);
    MVector::MultiplyElementwise(w.data(), steps.data(), kN);
    MVector::AddFloatsInPlace(steps.data(), stepsAcc.data(), kN);
    std::vector<float> onePassAcc = acc;
    ASSERT_EQ(MVector::ScaleWeightAddInPlace(x.data(), scale, w.data(), onePassAcc.data(), kN), 0);
    EXPECT_EQ(onePassAcc, stepsAcc);

    std::vector<float> product = x;
    ASSERT_EQ(MVector::MultiplyFloats(product.data(), w.data(), product.data(), kN), 0);
    std::vector<float> expected = x;
    MVector::MultiplyElementwise(w.data(), expected.data(), kN);
    EXPECT_EQ(product, expected);
  });
}

TEST(MVector, MoveHandlesOverlapInBothDirectionsAndSineAndCosineMayWriteOverTheirInput)
{
  float f[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_EQ(MVector::MoveFloats(f, f + 2, 8), 0);
  EXPECT_EQ(f[2], 0.0f);
  EXPECT_EQ(f[9], 7.0f);
  ASSERT_EQ(MVector::MoveFloats(f + 2, f, 8), 0);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_EQ(f[7], 7.0f);

  double x[5] = {0.0, 1.0, 2.0, 3.0, 4.0};
  double c[5];
  ASSERT_EQ(MVector::SinCosDoubles(x, x, c, 5), 0);
  for (int i = 0; i < 5; ++i)
  {
    EXPECT_NEAR(x[i], std::sin(i), 1e-12);
    EXPECT_NEAR(c[i], std::cos(i), 1e-12);
  }
}

TEST_F(MVectorLevels, MagnitudePhaseSineAndCosineHaveFloatAccuracyAtEveryLevel)
{
  // Points around the circle at radius 2, including the axes and both sides of the cut.
  constexpr int kN = 50;
  std::vector<float> pairs(2 * kN);
  std::vector<double> angles(kN);
  for (int i = 0; i < kN; ++i)
  {
    angles[i] = -std::numbers::pi + 2.0 * std::numbers::pi * (i + 0.5) / kN;
    pairs[2 * i] = static_cast<float>(2.0 * std::cos(angles[i]));
    pairs[2 * i + 1] = static_cast<float>(2.0 * std::sin(angles[i]));
  }
  const float axes[] = {1, 0, 0, 1, -1, 0, 0, -1, 0, 0, 3, 4};
  const float axesPhase[] = {0.0f,
                             static_cast<float>(std::numbers::pi / 2),
                             static_cast<float>(std::numbers::pi),
                             static_cast<float>(-std::numbers::pi / 2),
                             0.0f,
                             static_cast<float>(std::atan2(4.0, 3.0))};
  AtEveryLevel([&] {
    std::vector<float> magnitude(kN), phase(kN);
    ASSERT_EQ(MVector::Magnitude(pairs.data(), magnitude.data(), kN), 0);
    ASSERT_EQ(MVector::Phase(pairs.data(), phase.data(), kN), 0);
    for (int i = 0; i < kN; ++i)
    {
      EXPECT_NEAR(magnitude[i], 2.0, 4e-7);
      EXPECT_NEAR(phase[i], angles[i], 4e-7) << "i " << i;
    }
    float m[6], p[6];
    ASSERT_EQ(MVector::Magnitude(axes, m, 6), 0);
    ASSERT_EQ(MVector::Phase(axes, p, 6), 0);
    for (int i = 0; i < 6; ++i)
      EXPECT_NEAR(p[i], axesPhase[i], 3e-7) << "i " << i;
    EXPECT_EQ(m[4], 0.0f);
    EXPECT_EQ(m[5], 5.0f);
  });

  // Sine and cosine have float accuracy over a wide range.
  std::vector<double> x;
  // Up to 1e12: beyond the range where a three-part reduction by pi/2 stays exact.
  for (double scale : {1e-3, 1.0, 10.0, 1e3, 1e6, 1e9, 1e12})
  {
    auto noise = MTestSignals::WhiteNoise(203, 1.0f, 7);
    for (float v : noise)
      x.push_back(scale * v);
  }
  x.push_back(0.0);
  x.push_back(std::numbers::pi / 2);
  x.push_back(-std::numbers::pi);
  const int n = static_cast<int>(x.size());
  AtEveryLevel([&] {
    std::vector<double> s(n), c(n);
    ASSERT_EQ(MVector::SinCosDoubles(x.data(), s.data(), c.data(), n), 0);
    double worst = 0;
    for (int i = 0; i < n; ++i)
    {
      worst = std::max(worst, std::fabs(s[i] - std::sin(x[i])));
      worst = std::max(worst, std::fabs(c[i] - std::cos(x[i])));
    }
    // Half a float unit in the last place at 1.
    EXPECT_LE(worst, 6e-8);
  });
}

// ---- Windows -----------------------------------------------------------------------------

TEST(MVector, WindowsFollowTheirClosedFormsAreSymmetricAndLeaveOnePointAlone)
{
  struct Case
  {
    const char* name;
    int (*apply)(float*, int);
    double (*shape)(double x); // x = i / (n - 1)
  };
  const Case cases[] = {
      {"Hann", MVector::HannWindowInPlace,
       [](double x) { return 0.5 - 0.5 * std::cos(2 * std::numbers::pi * x); }},
      {"Blackman", MVector::BlackmanWindowInPlace,
       [](double x) {
         return 0.42 - 0.5 * std::cos(2 * std::numbers::pi * x) + 0.08 * std::cos(4 * std::numbers::pi * x);
       }},
      {"Triangular", MVector::TriangularWindowInPlace,
       [](double x) { return 1.0 - std::fabs(2.0 * x - 1.0); }},
  };
  for (const Case& c : cases)
  {
    for (int n : {3, 4, 5, 64, 1000, 4097})
    {
      // The window multiplies what is there: a frame of twos becomes twice the window.
      std::vector<float> f(n, 2.0f);
      ASSERT_EQ(c.apply(f.data(), n), 0);
      for (int i = 0; i < n; ++i)
      {
        EXPECT_NEAR(f[i], 2.0 * c.shape(static_cast<double>(i) / (n - 1)), 4e-7)
            << c.name << " n=" << n << " i=" << i;
        EXPECT_EQ(f[i], f[n - 1 - i]) << c.name;
      }
    }
  }
  // One point leaves the sample alone: the step 2 / (n - 1) has no meaning there (a division by
  // zero would give NaN).
  float f = 0.75f;
  ASSERT_EQ(MVector::BlackmanWindowInPlace(&f, 1), 0);
  ASSERT_EQ(MVector::TriangularWindowInPlace(&f, 1), 0);
  EXPECT_EQ(f, 0.75f);
}

// ---- Levels ------------------------------------------------------------------------------

TEST_F(MVectorLevels, LevelIsClampedToWhatTheProcessorHas)
{
  EXPECT_EQ(MVector::Level(), MVector::MaxLevel());
  EXPECT_EQ(MVector::SetLevel(-3), 0);
  EXPECT_EQ(MVector::Level(), 0);
  EXPECT_EQ(MVector::SetLevel(99), MVector::MaxLevel());
  if (MVector::HasAvx2Fma())
  {
    EXPECT_EQ(MVector::MaxLevel(), 4);
  }
}

// Every level against the portable one on noise, allocating nothing in any operation.
TEST_F(MVectorLevels, EveryLevelAgreesWithThePortableLevelOnNoiseAndAllocatesNothing)
{
  // 1003 elements: many full vectors and a tail of every kernel width.
  constexpr int kN = 1003;
  const std::vector<float> a = MTestSignals::WhiteNoise(2 * kN, 100.0f, 3);
  const std::vector<float> b = MTestSignals::WhiteNoise(kN, 1.0f, 4);
  std::vector<double> angles(kN);
  for (int i = 0; i < kN; ++i)
    angles[i] = 1e4 * a[i];

  struct Results
  {
    std::vector<float> magnitude = std::vector<float>(kN), phase = magnitude, added = magnitude;
    std::vector<double> sine = std::vector<double>(kN), cosine = sine;
    float dot = 0, sum = 0, max = 0, min = 0, low = 0, high = 0;
    int maxIndex = 0, minIndex = 0;
  };
  auto run = [&] {
    Results r;
    MAllocationCounter::Scope scope;
    EXPECT_EQ(MVector::Magnitude(a.data(), r.magnitude.data(), kN), 0);
    EXPECT_EQ(MVector::Phase(a.data(), r.phase.data(), kN), 0);
    EXPECT_EQ(MVector::SinCosDoubles(angles.data(), r.sine.data(), r.cosine.data(), kN), 0);
    EXPECT_EQ(MVector::DotProduct(a.data(), b.data(), kN, &r.dot), 0);
    EXPECT_EQ(MVector::Sum(a.data(), kN, &r.sum), 0);
    EXPECT_EQ(MVector::MaximumWithIndex(a.data(), kN, &r.max, &r.maxIndex), 0);
    EXPECT_EQ(MVector::MinimumWithIndex(a.data(), kN, &r.min, &r.minIndex), 0);
    EXPECT_EQ(MVector::MinMax(a.data(), kN, &r.low, &r.high), 0);
    EXPECT_EQ(MVector::AddFloats(a.data(), b.data(), r.added.data(), kN), 0);
    EXPECT_EQ(MVector::HannWindowInPlace(r.added.data(), kN), 0);
    EXPECT_EQ(scope.Count(), 0u);
    return r;
  };
  MVector::SetLevel(0);
  const Results portable = run();
  AtEveryLevel([&] {
    const Results r = run();
    for (int i = 0; i < kN; ++i)
    {
      // Two float units of the value for the magnitude (measured: one), two of pi for the angle.
      EXPECT_NEAR(r.magnitude[i], portable.magnitude[i], 2.4e-7 * portable.magnitude[i]);
      EXPECT_NEAR(r.phase[i], portable.phase[i], 4.8e-7);
      EXPECT_NEAR(r.sine[i], portable.sine[i], 1e-15);
      EXPECT_NEAR(r.cosine[i], portable.cosine[i], 1e-15);
    }
    // Both accumulate in double: at most one float rounding apart.
    EXPECT_NEAR(r.dot, portable.dot, 1.2e-7 * std::fabs(portable.dot));
    EXPECT_NEAR(r.sum, portable.sum, 1.2e-7 * std::fabs(portable.sum));
    EXPECT_EQ(r.max, portable.max);
    EXPECT_EQ(r.maxIndex, portable.maxIndex);
    EXPECT_EQ(r.min, portable.min);
    EXPECT_EQ(r.minIndex, portable.minIndex);
    EXPECT_EQ(r.low, r.min);
    EXPECT_EQ(r.high, r.max);
  });
}
} // namespace
