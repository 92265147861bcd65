#include "dsp/MSignalWindow.h"

#include "base/MException.h"

#include <cmath>
#include <numbers>

namespace
{
constexpr double kPi = std::numbers::pi;

double KaiserBeta(double attenuationDb)
{
  if (attenuationDb < 20.0)
    return 0.0;
  return std::trunc((attenuationDb - 8.7) * 0.1102);
}

double Shape(int type, int n, double d, double kaiserBeta)
{
  switch (type)
  {
  case MSignalWindow::kRectangular:
    return 1.0;
  case MSignalWindow::kHamming:
    return 0.53836 - 0.46164 * std::cos(2.0 * kPi * n / d);
  case MSignalWindow::kHann:
    return 0.5 * (1.0 - std::cos(2.0 * kPi * n / d));
  case MSignalWindow::kBlackman:
  {
    // Blackman with parameter alpha = -0.16: (1 + alpha)/2 - cos/2 - alpha/2 cos(2x).
    const double alpha = -0.16;
    return (1.0 + alpha) / 2.0 - 0.5 * std::cos(2.0 * kPi * n / d) -
           alpha / 2.0 * std::cos(4.0 * kPi * n / d);
  }
  case MSignalWindow::kSine:
    return std::sin(kPi * n / d);
  case MSignalWindow::kSinc:
  {
    const double x = 2.0 * n / d - 1.0;
    return std::fabs(x) < 1e-50 ? 1.0 : std::sin(x) / x;
  }
  case MSignalWindow::kTriangular:
    return 1.0 - std::fabs(2.0 * n / d - 1.0);
  case MSignalWindow::kGaussian:
  {
    const double c = d / 2.0;
    const double z = (n - c) / (0.4 * c);
    return std::exp(-0.5 * z * z);
  }
  case MSignalWindow::kKaiser:
  {
    const double x = 2.0 * n / d - 1.0;
    const double r = std::sqrt(std::fmax(0.0, 1.0 - x * x));
    return MSignalWindow::BesselI0(kaiserBeta * r) / MSignalWindow::BesselI0(kaiserBeta);
  }
  default:
    return 0.0;
  }
}
} // namespace

double MSignalWindow::BesselI0(double x)
{
  // sum over k of ((x/2)^k / k!)^2; the terms shrink fast once k exceeds x/2.
  const double half = 0.5 * x;
  double term = 1.0;
  double sum = 1.0;
  for (int k = 1; k < 500; ++k)
  {
    term *= half / k;
    const double square = term * term;
    sum += square;
    if (square < sum * 1e-17)
      break;
  }
  return sum;
}

void MSignalWindow::Build(int type, int length, Complement complement)
{
  if (type < kRectangular || type > kKaiser)
  {
    throw MException("Unknown signal window type.");
  }
  if (length < 0)
    length = 0;

  m_coefficients.resize(static_cast<std::size_t>(length));
  float* w = m_coefficients.data();
  if (length == 1)
  {
    // Every shape is 1 at its centre; the formulas would divide by zero here.
    w[0] = 1.0f;
  }
  else if (length > 1)
  {
    // The complementary Hann is the periodic one: its halves complement each other
    // exactly, which the symmetric shape only approximates (a hop-rate ripple of up to
    // 6e-4 in the overlapped squared window at 512 points).
    const bool periodic = complement == Complement::kYes && type == kHann;
    const double d = periodic ? static_cast<double>(length) : static_cast<double>(length - 1);
    const double beta = KaiserBeta(m_kaiserAttenuation);
    for (int n = 0; n < length; ++n)
      w[n] = static_cast<float>(Shape(type, n, d, beta));
  }
  if (complement == Complement::kYes)
  {
    const int half = length / 2;
    for (int n = 0; n < half; ++n)
      w[n] = 1.0f - w[n + half];
  }

  double sum = 0.0;
  double sumOfSquares = 0.0;
  for (int n = 0; n < length; ++n)
  {
    sum += w[n];
    sumOfSquares += static_cast<double>(w[n]) * w[n];
  }
  m_sum = static_cast<float>(sum);
  m_sumOfSquares = static_cast<float>(sumOfSquares);
  m_type = type;
  m_length = length;
  m_complement = complement;
}
