// The real FFT against theory: a directly evaluated DFT (which also fixes the layout of the
// spectrum: DC and Nyquist first, then re/im pairs), the round trip, agreement between levels,
// and no allocation in the transform calls.

#include "vector/MVector.h"

#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"
#include "tests/vector/MVectorLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <vector>

namespace
{
// One set-up and its work buffer; frees both.
class Transform
{
public:
  explicit Transform(int order)
  {
    EXPECT_EQ(MVector::CreateRealFFT(&m_setup, order, MVector::kNoNormalisation, 0), MVector::kOk);
    int bytes = 0;
    EXPECT_EQ(MVector::RealFFTWorkSize(m_setup, &bytes), MVector::kOk);
    m_work = MVector::Allocate(bytes);
  }
  ~Transform()
  {
    MVector::Free(m_work);
    MVector::FreeRealFFT(m_setup);
  }
  Transform(const Transform&) = delete;
  Transform& operator=(const Transform&) = delete;

  std::vector<float> Forward(std::vector<float> x) const
  {
    EXPECT_EQ(MVector::ForwardRealFFT(x.data(), m_setup, m_work), MVector::kOk);
    return x;
  }
  std::vector<float> Inverse(std::vector<float> x) const
  {
    EXPECT_EQ(MVector::InverseRealFFT(x.data(), m_setup, m_work), MVector::kOk);
    return x;
  }
  MVector::MRealFFTSetup* Setup() const { return m_setup; }
  unsigned char* Work() const { return m_work; }

private:
  MVector::MRealFFTSetup* m_setup = nullptr;
  unsigned char* m_work = nullptr;
};

class MRealFFT : public MVectorLevels
{};

// Bin k of the spectrum layout as a complex number (0 <= k <= N/2).
std::complex<double> Bin(const std::vector<float>& spectrum, int k)
{
  const int n = static_cast<int>(spectrum.size());
  if (k == 0)
    return spectrum[0];
  if (k == n / 2)
    return spectrum[1];
  return {spectrum[2 * k], spectrum[2 * k + 1]};
}

// The DFT evaluated directly in double, bins 0..N/2.
std::vector<std::complex<double>> DirectDFT(const std::vector<float>& x)
{
  const int n = static_cast<int>(x.size());
  std::vector<std::complex<double>> out(n / 2 + 1);
  for (int k = 0; k <= n / 2; ++k)
  {
    std::complex<double> acc = 0;
    for (int t = 0; t < n; ++t)
    {
      // Reduce k t mod n first so the angle stays exact for large products.
      const double angle = -2.0 * std::numbers::pi * static_cast<double>((static_cast<long>(k) * t) % n) / n;
      acc += static_cast<double>(x[t]) * std::complex<double>(std::cos(angle), std::sin(angle));
    }
    out[k] = acc;
  }
  return out;
}

TEST(MRealFFTSetup, BadArgumentsAreRefusedAndLeaveTheHolderAloneAndBuffersAreAligned)
{
  MVector::MRealFFTSetup* const sentinel = reinterpret_cast<MVector::MRealFFTSetup*>(0x10);
  MVector::MRealFFTSetup* holder = sentinel;
  EXPECT_EQ(MVector::CreateRealFFT(nullptr, 10, 0, 0), MVector::kNullPointer);
  EXPECT_EQ(MVector::CreateRealFFT(nullptr, 99, 0, 0), MVector::kNullPointer);
  for (int order : {-1, 0, 2, 16, 31})
  {
    EXPECT_EQ(MVector::CreateRealFFT(&holder, order, 0, 0), MVector::kBadLength) << order;
    EXPECT_EQ(holder, sentinel);
  }

  Transform t(4);
  std::vector<float> frame(16, 1.0f);
  const std::vector<float> before = frame;
  int bytes = -1;
  EXPECT_EQ(MVector::RealFFTWorkSize(nullptr, &bytes), MVector::kNullPointer);
  EXPECT_EQ(bytes, -1);
  EXPECT_EQ(MVector::RealFFTWorkSize(t.Setup(), nullptr), MVector::kNullPointer);
  EXPECT_EQ(MVector::ForwardRealFFT(nullptr, t.Setup(), t.Work()), MVector::kNullPointer);
  EXPECT_EQ(MVector::ForwardRealFFT(frame.data(), nullptr, t.Work()), MVector::kNullPointer);
  EXPECT_EQ(MVector::ForwardRealFFT(frame.data(), t.Setup(), nullptr), MVector::kNullPointer);
  EXPECT_EQ(MVector::InverseRealFFT(nullptr, t.Setup(), t.Work()), MVector::kNullPointer);
  EXPECT_EQ(MVector::InverseRealFFT(frame.data(), nullptr, t.Work()), MVector::kNullPointer);
  EXPECT_EQ(MVector::InverseRealFFT(frame.data(), t.Setup(), nullptr), MVector::kNullPointer);
  EXPECT_EQ(frame, before);

  EXPECT_EQ(MVector::Allocate(0), nullptr);
  MVector::Free(nullptr);
  MVector::FreeRealFFT(nullptr);
  // Buffers are aligned to 64 bytes.
  for (int bytes : {1, 63, 64, 1000})
  {
    unsigned char* p = MVector::Allocate(bytes);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
    MVector::Free(p);
  }
}

TEST_F(MRealFFT, ForwardAgreesWithADirectDFTAtEveryLevel)
{
  // Error bound: for a radix-2 transform whose twiddles carry a relative error mu, the
  // computed spectrum satisfies ||X - X_exact|| / ||X_exact|| <= log2(N) eta / (1 - log2(N) eta)
  // with eta = mu + gamma_4 (sqrt 2 + mu), gamma_4 = 4u / (1 - 4u), u = 2^-24 (the standard
  // worst-case analysis of the Cooley-Tukey FFT). Twiddles rounded once from double give
  // mu <= u, so eta < 6.7u. A radix-4 pass does no more roundings per point than the two
  // radix-2 passes it replaces; the real/complex split adds one more such pass. Hence
  //   relative rms error <= 7 (log2(N) + 1) u.
  // Measured: 0.17 .. 0.34 log2(N) u at every level (1.1e-7 at N = 1024).
  const double u = std::ldexp(1.0, -24);
  AtEveryLevel([&] {
    for (int order = 3; order <= 12; ++order)
    {
      const int n = 1 << order;
      const std::vector<float> x = MTestSignals::WhiteNoise(n, 1.0f, 11 + order);
      const std::vector<std::complex<double>> exact = DirectDFT(x);
      Transform t(order);
      const std::vector<float> spectrum = t.Forward(x);
      double errorSquares = 0, exactSquares = 0;
      for (int k = 0; k <= n / 2; ++k)
      {
        // Bins 1..N/2-1 appear twice in the full spectrum (k and N-k).
        const double weight = (k == 0 || k == n / 2) ? 1.0 : 2.0;
        errorSquares += weight * std::norm(Bin(spectrum, k) - exact[k]);
        exactSquares += weight * std::norm(exact[k]);
      }
      const double relative = std::sqrt(errorSquares / exactSquares);
      EXPECT_LE(relative, 7.0 * (order + 1) * u) << "N=" << n;
    }
  });
}

TEST_F(MRealFFT, ForwardThenInverseReturnsNTimesTheFrameForEverySizeAlignedOrNot)
{
  AtEveryLevel([&] {
    for (int order = 3; order <= 15; ++order)
    {
      const int n = 1 << order;
      const std::vector<float> x = MTestSignals::WhiteNoise(n, 1.0f, 3 + order);
      Transform t(order);
      const std::vector<float> back = t.Inverse(t.Forward(x));
      double worst = 0;
      for (int i = 0; i < n; ++i)
        worst = std::max(worst, std::fabs(back[i] - static_cast<double>(n) * x[i]));
      EXPECT_LE(worst / n, 1e-5) << "N=" << n;
    }
  });

  // Unaligned frames transform like aligned ones.
  const int order = 10;
  const int n = 1 << order;
  Transform t(order);
  const std::vector<float> x = MTestSignals::WhiteNoise(n, 1.0f, 9);
  AtEveryLevel([&] {
    const std::vector<float> aligned = t.Forward(x);
    // One float past an aligned start: every vector load and store is misaligned.
    std::vector<float> shifted(n + 1);
    std::copy(x.begin(), x.end(), shifted.begin() + 1);
    ASSERT_EQ(MVector::ForwardRealFFT(shifted.data() + 1, t.Setup(), t.Work()), MVector::kOk);
    EXPECT_TRUE(std::equal(aligned.begin(), aligned.end(), shifted.begin() + 1));
    ASSERT_EQ(MVector::InverseRealFFT(shifted.data() + 1, t.Setup(), t.Work()), MVector::kOk);
    const std::vector<float> back = t.Inverse(aligned);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), shifted.begin() + 1));
  });
}

TEST_F(MRealFFT, EveryLevelAgreesWithThePortableLevel)
{
  for (int order = 3; order <= 15; ++order)
  {
    const int n = 1 << order;
    const std::vector<float> x = MTestSignals::WhiteNoise(n, 1.0f, 21 + order);
    Transform t(order);
    MVector::SetLevel(0);
    const std::vector<float> forward0 = t.Forward(x);
    const std::vector<float> inverse0 = t.Inverse(forward0);
    double scale = 0;
    for (float v : forward0)
      scale = std::max(scale, std::fabs(static_cast<double>(v)));
    for (int level = 1; level <= MVector::MaxLevel(); ++level)
    {
      MVector::SetLevel(level);
      SCOPED_TRACE(::testing::Message() << "level " << level);
      const std::vector<float> forward = t.Forward(x);
      const std::vector<float> inverse = t.Inverse(forward0);
      double worstForward = 0, worstInverse = 0;
      for (int i = 0; i < n; ++i)
      {
        worstForward = std::max(worstForward, std::fabs(static_cast<double>(forward[i]) - forward0[i]));
        worstInverse = std::max(worstInverse, std::fabs(static_cast<double>(inverse[i]) - inverse0[i]));
      }
      // A few float units of the largest bin (the input's scale for the inverse, times N).
      EXPECT_LE(worstForward / scale, 8.0 * order * std::ldexp(1.0, -24)) << "N=" << n;
      EXPECT_LE(worstInverse / n, 8.0 * order * std::ldexp(1.0, -24)) << "N=" << n;
    }
  }
}

TEST_F(MRealFFT, TransformsAllocateNothing)
{
  AtEveryLevel([&] {
    for (int order : {3, 10, 15})
    {
      Transform t(order);
      std::vector<float> x = MTestSignals::WhiteNoise(std::size_t{1} << order);
      MAllocationCounter::Scope scope;
      MVector::ForwardRealFFT(x.data(), t.Setup(), t.Work());
      MVector::InverseRealFFT(x.data(), t.Setup(), t.Work());
      EXPECT_EQ(scope.Count(), 0u);
    }
  });
}
} // namespace
