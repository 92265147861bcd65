#pragma once
// Window shapes for the spectral frame engine and the frame reader.
//
// An MSignalWindow holds one window's coefficients together with the figures the
// overlap-add needs: the sum of the coefficients and the sum of their squares.
//
// Threading: Build allocates (when the length grows) and may throw; call it while
// configuring, never on the audio thread. The read accessors are plain reads.

#include "base/MObject.h"

#include <vector>

class MSignalWindow : public MObject
{
public:
  /// Window types by number. Build takes the number as an int so that stored or
  /// foreign numbers reach the same check; numbers outside 0..8 are refused.
  enum Type : int
  {
    kRectangular = 0,
    kHamming = 1,
    kHann = 2,
    kBlackman = 3,
    kSine = 4,
    kSinc = 5,
    kTriangular = 6,
    kGaussian = 7,
    kKaiser = 8,
  };

  /// Whether Build overwrites the first half with the complement of the second half.
  enum class Complement
  {
    kNo,
    kYes,
  };

  /// Attenuation in dB from which the Kaiser shape derives its beta.
  static constexpr double kDefaultKaiserAttenuation = 170.0;

  MSignalWindow() = default;

  /// Computes `length` coefficients of window `type` (length 0 gives an empty window,
  /// length 1 the single coefficient 1). Shapes, with D = length - 1 and n = 0..D:
  ///   0 rectangular 1;  1 Hamming 0.53836 - 0.46164 cos(2 pi n / D);
  ///   2 Hann 0.5 (1 - cos(2 pi n / D)), symmetric, computed in double;
  ///   3 Blackman 0.42 - 0.5 cos(2 pi n / D) + 0.08 cos(4 pi n / D);
  ///   4 sine sin(pi n / D);  5 sinc sin(x)/x with x = 2n/D - 1 (1 where |x| < 1e-50);
  ///   6 triangular 1 - |2n/D - 1|;  7 Gaussian exp(-0.5 ((n - c) / (0.4 c))^2), c = D/2;
  ///   8 Kaiser I0(beta sqrt(1 - x^2)) / I0(beta), x = 2n/D - 1, beta from the attenuation.
  /// With Complement::kYes the Hann shape is taken over a period of `length` samples
  /// (denominator length instead of D), and then w[n] = 1 - w[n + length/2] for
  /// n < length/2 is applied to whatever shape was built. For the periodic Hann shape
  /// that step holds exactly, so both w and w^2 overlap-add to a constant at hops of
  /// length/2^k (k >= 1 for w, k >= 2 for w^2).
  /// Afterwards Sum() and SumOfSquares() describe the new coefficients.
  /// Throws MException "Unknown signal window type." for a type outside 0..8 and then
  /// leaves the window as it was.
  void Build(int type, int length, Complement complement = Complement::kNo);

  /// Sets the attenuation (dB) used by the next Kaiser build: beta = trunc((A - 8.7) *
  /// 0.1102) when A >= 20, else 0. Ignored by every other type.
  void SetKaiserAttenuation(double attenuationDb) { m_kaiserAttenuation = attenuationDb; }
  double KaiserAttenuation() const { return m_kaiserAttenuation; }

  const float* Coefficients() const { return m_coefficients.data(); }
  int Type() const { return m_type; }
  int Length() const { return m_length; }
  bool HasComplement() const { return m_complement == Complement::kYes; }
  /// Sum of the coefficients (S1).
  float Sum() const { return m_sum; }
  /// Sum of the squared coefficients (S2).
  float SumOfSquares() const { return m_sumOfSquares; }

  /// Zeroth-order modified Bessel function of the first kind, by its power series.
  static double BesselI0(double x);

private:
  std::vector<float> m_coefficients;
  int m_type = kHann;
  int m_length = 0;
  Complement m_complement = Complement::kNo;
  float m_sum = 0.0f;
  float m_sumOfSquares = 0.0f;
  double m_kaiserAttenuation = kDefaultKaiserAttenuation;
};
