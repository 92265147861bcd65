#include "dsp/MSignalWindow.h"

#include "base/MException.h"
#include "tests/base/MExpectMessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

namespace
{
constexpr double kPi = std::numbers::pi;

struct ShapeCase
{
  int type;
  const char* name;
  // The textbook shape at n of a window of `length` points (D = length - 1).
  std::function<double(int n, int length)> shape;
};

double Unit(int n, int length)
{
  return 2.0 * n / (length - 1) - 1.0; // -1 .. 1 across the window
}

const ShapeCase kShapes[] = {
    {MSignalWindow::kRectangular, "rectangular", [](int, int) { return 1.0; }},
    {MSignalWindow::kHamming, "Hamming",
     [](int n, int l) { return 0.53836 - 0.46164 * std::cos(2 * kPi * n / (l - 1)); }},
    {MSignalWindow::kHann, "Hann", [](int n, int l) { return std::pow(std::sin(kPi * n / (l - 1)), 2.0); }},
    {MSignalWindow::kBlackman, "Blackman",
     [](int n, int l) {
       return 0.42 - 0.5 * std::cos(2 * kPi * n / (l - 1)) + 0.08 * std::cos(4 * kPi * n / (l - 1));
     }},
    {MSignalWindow::kSine, "sine", [](int n, int l) { return std::sin(kPi * n / (l - 1)); }},
    {MSignalWindow::kSinc, "sinc",
     [](int n, int l) {
       const double x = Unit(n, l);
       return x == 0.0 ? 1.0 : std::sin(x) / x;
     }},
    {MSignalWindow::kTriangular, "triangular", [](int n, int l) { return 1.0 - std::fabs(Unit(n, l)); }},
    {MSignalWindow::kGaussian, "Gaussian",
     [](int n, int l) {
       const double sigma = 0.4 * (l - 1) / 2.0;
       const double z = (n - (l - 1) / 2.0) / sigma;
       return std::exp(-z * z / 2.0);
     }},
    // Default attenuation 170 dB: beta = trunc(161.3 * 0.1102) = 17.
    {MSignalWindow::kKaiser, "Kaiser",
     [](int n, int l) {
       const double x = Unit(n, l);
       return std::cyl_bessel_i(0.0, 17.0 * std::sqrt(1.0 - x * x)) / std::cyl_bessel_i(0.0, 17.0);
     }},
};
} // namespace

TEST(MSignalWindow, EveryTypeFollowsItsShapeWithMatchingSumsAndUnknownTypesAreRefused)
{
  for (const ShapeCase& c : kShapes)
  {
    for (int length : {9, 64, 1001})
    {
      SCOPED_TRACE(::testing::Message() << c.name << ", length " << length);
      MSignalWindow window;
      window.Build(c.type, length);
      ASSERT_EQ(window.Length(), length);
      EXPECT_EQ(window.Type(), c.type);
      double sum = 0.0;
      double sumOfSquares = 0.0;
      for (int n = 0; n < length; ++n)
      {
        const double expected = c.shape(n, length);
        EXPECT_NEAR(window.Coefficients()[n], expected, 2e-7) << "n = " << n;
        sum += expected;
        sumOfSquares += expected * expected;
      }
      EXPECT_NEAR(window.Sum(), sum, 1e-5 * length);
      EXPECT_NEAR(window.SumOfSquares(), sumOfSquares, 1e-5 * length);
    }
  }

  // Unknown types are refused and leave the window as it was.
  MSignalWindow window;
  window.Build(MSignalWindow::kTriangular, 16);
  for (int type : {-1, 9, 100})
  {
    EXPECT_EQ(MessageOf([&] { window.Build(type, 32); }), "Unknown signal window type.") << type;
    EXPECT_EQ(window.Type(), MSignalWindow::kTriangular);
    EXPECT_EQ(window.Length(), 16);
  }

  // A low Kaiser attenuation gives the rectangular shape.
  MSignalWindow kaiser;
  kaiser.SetKaiserAttenuation(19.9);
  kaiser.Build(MSignalWindow::kKaiser, 32);
  for (int n = 0; n < 32; ++n)
    EXPECT_FLOAT_EQ(kaiser.Coefficients()[n], 1.0f);

  // The Bessel function the Kaiser shape is built on: reference values of I0 from its power series
  // summed in exact rational arithmetic.
  EXPECT_DOUBLE_EQ(MSignalWindow::BesselI0(0.0), 1.0);
  EXPECT_NEAR(MSignalWindow::BesselI0(1.0), 1.2660658777520084, 1e-15);
  EXPECT_NEAR(MSignalWindow::BesselI0(5.0) / 27.239871823604446, 1.0, 1e-14);
  EXPECT_NEAR(MSignalWindow::BesselI0(17.0) / 2354970.2231682935, 1.0, 1e-12);
}

TEST(MSignalWindow, ComplementaryHannHalvesAddToOneAndItsSquareOverlapsFlat)
{
  for (int length : {8, 512, 4096})
  {
    SCOPED_TRACE(::testing::Message() << "length " << length);
    MSignalWindow window;
    window.Build(MSignalWindow::kHann, length, MSignalWindow::Complement::kYes);
    EXPECT_TRUE(window.HasComplement());
    const float* w = window.Coefficients();
    const int half = length / 2;
    for (int n = 0; n < half; ++n)
      ASSERT_EQ(w[n] + w[n + half], 1.0f) << "n = " << n;
    // Four copies at hops of length/4 sum, squared, to 4 * S2 / length = 1.5 everywhere.
    const int hop = length / 4;
    for (int n = 0; n < hop; ++n)
    {
      double overlap = 0.0;
      for (int k = 0; k < 4; ++k)
        overlap += static_cast<double>(w[n + k * hop]) * w[n + k * hop];
      ASSERT_NEAR(overlap, 1.5, 1e-6) << "n = " << n;
    }
    EXPECT_NEAR(window.Sum(), length / 2.0, 1e-3);
    EXPECT_NEAR(window.SumOfSquares(), 3.0 * length / 8.0, 1e-3);
  }
}
