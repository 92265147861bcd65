// The vector operations that run the corrector's per-bin loops, against their definitions
// evaluated plainly in double, at every processor level this machine offers.

#include "vector/MVector.h"

#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"
#include "tests/vector/MVectorLevels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <numbers>
#include <vector>

namespace
{
class MVectorSpectral : public MVectorLevels
{};

// A magnitude-like spectrum: positive, spanning many orders of magnitude, with a few
// strong peaks over a noise floor and stretches of near silence.
std::vector<float> SpectrumLike(int n, std::uint32_t seed)
{
  const std::vector<float> noise = MTestSignals::WhiteNoise(static_cast<std::size_t>(n), 1.0f, seed);
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
  {
    float v = std::fabs(noise[static_cast<std::size_t>(i)]);
    if (i % 37 == 5)
      v *= 1e4f;
    if (i > n / 2 && i < n / 2 + n / 8)
      v *= 1e-12f;
    x[static_cast<std::size_t>(i)] = v;
  }
  return x;
}

std::vector<double> SmoothInDouble(const std::vector<float>& x, const std::vector<float>& poles,
                                   double offset)
{
  std::vector<double> y(x.begin(), x.end());
  const int n = static_cast<int>(y.size());
  for (float pole : poles)
  {
    const double a = pole;
    double state = 0.0;
    for (int i = n - 1; i >= 0; --i)
      y[static_cast<std::size_t>(i)] = state =
          (1.0 - a) * y[static_cast<std::size_t>(i)] + a * state + offset;
    state = 0.0;
    for (int i = 0; i < n; ++i)
      y[static_cast<std::size_t>(i)] = state = a * y[static_cast<std::size_t>(i)] + a * state + offset;
  }
  return y;
}

TEST_F(MVectorSpectral, TwoSidedSmoothingFollowsTheRecursionAndKeepsAConstantAtItsDcGain)
{
  const std::vector<std::vector<float>> poleSets = {{0.7f, 0.5f, 0.3f}, {0.9f}, {0.2f, 0.95f}};
  // Lengths with and without the chunked layout of the vector level, and a short one.
  for (int n : {5, 37, 256, 512, 1000, 1024, 2048, 4096})
  {
    for (const std::vector<float>& poles : poleSets)
    {
      const std::vector<float> input = SpectrumLike(n, static_cast<std::uint32_t>(n));
      const std::vector<double> expected = SmoothInDouble(input, poles, 1e-15);
      AtEveryLevel([&] {
        std::vector<float> x = input;
        ASSERT_EQ(MVector::SmoothTwoSided(x.data(), n, poles.data(), static_cast<int>(poles.size()), 1e-15f),
                  0);
        double worst = 0.0;
        for (int i = 0; i < n; ++i)
          worst = std::max(
              worst, std::fabs(x[static_cast<std::size_t>(i)] / expected[static_cast<std::size_t>(i)] - 1.0));
        // Each step adds a rounding or two, and a pole a carries the errors over about
        // 1 / (1 - a) steps: measured at most 47 float units (6e-8 each) with the pole 0.95,
        // 5 with the envelope's three poles.
        const double bound = poles.size() == 3 ? 1e-6 : 5e-6;
        EXPECT_LT(worst, bound) << "n " << n << ", " << poles.size() << " poles";
      });
    }
  }

  // A constant keeps its DC gain.
  // Away from the ends a constant c comes out as c times the DC gains (1 backward, a / (1 - a)
  // forward) plus the offsets' own steady state; with offset 0 it is c a / (1 - a) per pole.
  AtEveryLevel([&] {
    std::vector<float> x(512, 3.0f);
    const float poles[] = {0.5f, 0.25f};
    ASSERT_EQ(MVector::SmoothTwoSided(x.data(), 512, poles, 2, 0.0f), 0);
    const double gain = (0.5 / 0.5) * (0.25 / 0.75);
    for (int i = 40; i < 472; ++i)
      EXPECT_NEAR(x[static_cast<std::size_t>(i)], 3.0 * gain, 1e-6) << "bin " << i;
  });
}

TEST_F(MVectorSpectral, MagnitudeAndPhaseInOnePassEqualTheSeparateOperations)
{
  constexpr int kN = 203;
  const std::vector<float> pairs = MTestSignals::WhiteNoise(2 * kN, 50.0f, 9);
  AtEveryLevel([&] {
    std::vector<float> magnitude(kN), phase(kN), oneMagnitude(kN), onePhase(kN);
    MVector::Magnitude(pairs.data(), magnitude.data(), kN);
    MVector::Phase(pairs.data(), phase.data(), kN);
    ASSERT_EQ(MVector::MagnitudeAndPhase(pairs.data(), oneMagnitude.data(), onePhase.data(), kN), 0);
    EXPECT_EQ(oneMagnitude, magnitude);
    EXPECT_EQ(onePhase, phase);
  });
}

// A partial at bin k + f (f a fraction of a bin) advances its phase by (k + f) 2 pi / 4
// per hop at oversampling 4: the frequency must come back as (k + f) bin widths.
TEST_F(MVectorSpectral, BinFrequenciesRecoverTheOffsetOfEveryPartialFromItsPhaseAdvance)
{
  constexpr int kN = 517;
  constexpr int kFirst = 3;
  constexpr double kStep = 2.0 * std::numbers::pi / 4.0;
  constexpr double kWidth = 44100.0 / 4096.0;
  const std::vector<float> offsets = MTestSignals::WhiteNoise(kN, 1.9f, 11); // bins, within +-2
  const std::vector<float> start = MTestSignals::WhiteNoise(kN, 3.14159f, 12);
  std::vector<float> expected(kN), previous(kN), phase(kN);
  std::vector<double> truth(kN);
  for (int i = 0; i < kN; ++i)
  {
    const int k = kFirst + i;
    const double centred = k * kStep;
    expected[i] = static_cast<float>(std::remainder(centred, 2.0 * std::numbers::pi));
    previous[i] = start[i];
    phase[i] =
        static_cast<float>(std::remainder(start[i] + (k + offsets[i]) * kStep, 2.0 * std::numbers::pi));
    truth[i] = (k + offsets[i]) * kWidth;
  }
  // Non-finite phases count as no offset at all.
  phase[7] = std::numeric_limits<float>::quiet_NaN();
  truth[7] = (kFirst + 7) * kWidth;
  phase[8] = std::numeric_limits<float>::infinity();
  truth[8] = (kFirst + 8) * kWidth;
  AtEveryLevel([&] {
    std::vector<float> before = previous;
    std::vector<double> frequency(kN);
    ASSERT_EQ(MVector::BinFrequencies(phase.data(), before.data(), expected.data(), kN, kFirst,
                                      4.0 / (2.0 * std::numbers::pi), kWidth, frequency.data()),
              0);
    for (int i = 0; i < kN; ++i)
    {
      // The phases carry float rounding (2.4e-7 rad at pi, three of them in d): under
      // 1e-6 bins at oversampling 4.
      EXPECT_NEAR(frequency[i], truth[i], 1e-6 * kWidth) << "bin " << kFirst + i;
      if (i != 7)
      {
        EXPECT_EQ(before[i], phase[i]) << "the previous phases take the new ones";
      }
    }
  });
}

TEST_F(MVectorSpectral, RatioOfGatheredLooksUpTheNumeratorAndLimitsTheRatio)
{
  constexpr int kN = 45;
  std::vector<float> table(64), divisor(kN), dst(kN);
  std::vector<std::int32_t> index(kN);
  for (int i = 0; i < 64; ++i)
    table[static_cast<std::size_t>(i)] = 1.0f + static_cast<float>(i);
  for (int i = 0; i < kN; ++i)
  {
    index[static_cast<std::size_t>(i)] = (i * 7) % 64;
    divisor[static_cast<std::size_t>(i)] = 2.0f + static_cast<float>(i % 5);
  }
  divisor[10] = 0.0f; // 1 + 70 % 64 over 0: infinite, so the limit
  table[static_cast<std::size_t>(index[11])] = std::numeric_limits<float>::quiet_NaN();
  AtEveryLevel([&] {
    ASSERT_EQ(
        MVector::RatioOfGathered(table.data(), index.data(), divisor.data(), kN, 4.0f, 0.5f, dst.data()), 0);
    for (int i = 0; i < kN; ++i)
    {
      const std::size_t u = static_cast<std::size_t>(i);
      if (i == 11)
      {
        EXPECT_TRUE(std::isnan(dst[u]));
        continue;
      }
      const float ratio = table[static_cast<std::size_t>(index[u])] / divisor[u];
      EXPECT_EQ(dst[u], std::min(ratio, 4.0f) * 0.5f) << "element " << i;
    }
    EXPECT_EQ(dst[10], 2.0f);
  });
}

// Noise with planted features: equal minima in a gap, a NaN first in a gap and one inside,
// a gap longer than eight values, neighbouring peaks (f[i] > both neighbours on each side
// cannot hold for i and i + 1, so peaks two apart with one value between).
TEST_F(MVectorSpectral, PeaksAndValleysFollowTheirDefinitionAtEveryLevel)
{
  for (int n : {5, 37, 300, 1024})
  {
    std::vector<float> f =
        MTestSignals::WhiteNoise(static_cast<std::size_t>(n), 1.0f, static_cast<std::uint32_t>(n));
    for (float& v : f)
      v = std::fabs(v);
    if (n > 100)
    {
      // Peaks at 20 and 29 around a gap with equal minima at 22 and 26 (22 wins) and a
      // NaN at 24 (never a minimum; a NaN within two bins of a peak would unmake it).
      const float planted[] = {5.0f, 0.3f,  0.05f, 0.2f, std::numeric_limits<float>::quiet_NaN(),
                               0.2f, 0.05f, 0.3f,  0.4f, 6.0f};
      std::copy(std::begin(planted), std::end(planted), f.begin() + 20);
      // Peaks at 39 and 60 around a falling gap of 20 values.
      for (int i = 40; i < 60; ++i)
        f[static_cast<std::size_t>(i)] = 0.001f * static_cast<float>(60 - i);
      f[39] = 9.0f;
      f[60] = 9.0f;
    }
    // The definition.
    std::vector<std::int32_t> expectedPeaks;
    for (int i = 2; i < n - 2; ++i)
    {
      const float v = f[static_cast<std::size_t>(i)];
      if (v > f[static_cast<std::size_t>(i - 2)] && v > f[static_cast<std::size_t>(i - 1)] &&
          v > f[static_cast<std::size_t>(i + 1)] && v > f[static_cast<std::size_t>(i + 2)])
        expectedPeaks.push_back(i);
    }
    std::vector<std::int32_t> expectedValleys(expectedPeaks.size());
    for (std::size_t p = 1; p < expectedPeaks.size(); ++p)
    {
      int best = expectedPeaks[p];
      for (int i = expectedPeaks[p - 1] + 1; i < expectedPeaks[p]; ++i)
        if (i == expectedPeaks[p - 1] + 1 ||
            f[static_cast<std::size_t>(i)] < f[static_cast<std::size_t>(best)])
          best = i;
      expectedValleys[p] = best;
    }
    if (n > 100)
    {
      const auto at = std::find(expectedPeaks.begin(), expectedPeaks.end(), 29);
      ASSERT_NE(at, expectedPeaks.end());
      ASSERT_EQ(at[-1], 20);
      EXPECT_EQ(expectedValleys[static_cast<std::size_t>(at - expectedPeaks.begin())], 22);
      const auto far = std::find(expectedPeaks.begin(), expectedPeaks.end(), 60);
      ASSERT_NE(far, expectedPeaks.end());
      EXPECT_EQ(expectedValleys[static_cast<std::size_t>(far - expectedPeaks.begin())], 59);
    }
    AtEveryLevel([&] {
      std::vector<std::int32_t> peaks(static_cast<std::size_t>(n)), valleys(static_cast<std::size_t>(n));
      int count = -1;
      ASSERT_EQ(MVector::PeaksAndValleys(f.data(), n, peaks.data(), valleys.data(), &count), 0);
      ASSERT_EQ(count, static_cast<int>(expectedPeaks.size())) << "n " << n;
      for (int p = 0; p < count; ++p)
      {
        const std::size_t u = static_cast<std::size_t>(p);
        EXPECT_EQ(peaks[u], expectedPeaks[u]) << "peak " << p << ", n " << n;
        if (p > 0)
        {
          EXPECT_EQ(valleys[u], expectedValleys[u]) << "valley " << p << ", n " << n;
        }
      }
    });
  }
}

// Two overlapping regions of a noise spectrum, moved with one gain, with weights and with the
// envelope ratio: every level must give the same winners, phases and rotated pairs as the
// sequential definition, and a quarter turn must take (re, im) to (-im, re).
TEST_F(MVectorSpectral, MovedRegionsRotateTheirBinsAndTheLouderContributionWins)
{
  constexpr int kBins = 64;
  const std::vector<float> pairs = MTestSignals::WhiteNoise(2 * kBins, 10.0f, 21);
  std::vector<float> magnitude(kBins), phase(kBins), weight(kBins), envelope(kBins);
  const std::vector<float> noise = MTestSignals::WhiteNoise(kBins, 1.0f, 22);
  for (int j = 0; j < kBins; ++j)
  {
    const std::size_t u = static_cast<std::size_t>(j);
    magnitude[u] = std::hypot(pairs[2 * u], pairs[2 * u + 1]);
    phase[u] = std::atan2(pairs[2 * u + 1], pairs[2 * u]);
    weight[u] = 1.0f + noise[u];
    envelope[u] = 0.5f + 0.4f * std::sin(0.3f * static_cast<float>(j)); // ratios up to 9: some limited
  }
  magnitude[20] = std::numeric_limits<float>::quiet_NaN(); // never wins
  const float quarterCos = 0.0f;
  const float quarterSin = 1.0f;
  // Region A (bins 5 .. 27) moves up by 3, region B (bins 17 .. 40) down by 2: their
  // targets overlap on 15 .. 30.
  const MVector::MRegionMove moves[] = {{5, 27, 3, 1.5707963267948966, quarterCos, quarterSin},
                                        {17, 40, -2, -0.3, std::cos(-0.3f), std::sin(-0.3f)}};
  enum Mode
  {
    kGain,
    kWeights,
    kEnvelope
  };
  for (Mode mode : {kGain, kWeights, kEnvelope})
  {
    const bool weighted = mode != kGain;
    const MVector::MShiftSource source{pairs.data(), magnitude.data(),
                                       phase.data(), mode == kWeights ? weight.data() : nullptr,
                                       0.75,         mode == kEnvelope ? envelope.data() : nullptr,
                                       4.0f};
    // The definition, one bin after the other.
    std::vector<double> loudest(kBins, 0.0), outPhase(kBins, 0.0);
    std::vector<float> out(2 * kBins, 0.0f);
    for (const MVector::MRegionMove& move : moves)
      for (int j = move.first; j < move.end; ++j)
      {
        const std::size_t u = static_cast<std::size_t>(j);
        const std::size_t t = static_cast<std::size_t>(j + move.shift);
        const float scale = mode == kGain      ? 0.75f
                            : mode == kWeights ? weight[u]
                                               : std::min(envelope[t] / envelope[u], 4.0f) * 0.75f;
        const double v = weighted ? static_cast<double>(magnitude[u] * scale) : magnitude[u] * 0.75;
        if (v > loudest[t])
        {
          loudest[t] = v;
          outPhase[t] = phase[u] + move.angle;
          out[2 * t] = (pairs[2 * u] * move.cosine - pairs[2 * u + 1] * move.sine) * scale;
          out[2 * t + 1] = (pairs[2 * u] * move.sine + pairs[2 * u + 1] * move.cosine) * scale;
        }
      }
    // Target 18 gets region A's bin 15 and region B's NaN bin 20: A's stays.
    EXPECT_EQ(outPhase[18], phase[15] + moves[0].angle);
    AtEveryLevel([&] {
      std::vector<double> gotLoudest(kBins, 0.0), gotPhase(kBins, 0.0);
      std::vector<float> got(2 * kBins, 0.0f);
      const MVector::MShiftTarget target{gotLoudest.data(), gotPhase.data(), got.data()};
      ASSERT_EQ(MVector::MoveRegions(source, moves, 2, target), 0);
      EXPECT_EQ(gotLoudest, loudest) << ", mode " << mode;
      EXPECT_EQ(gotPhase, outPhase);
      EXPECT_EQ(got, out);
      // Bin 8 comes from region A alone: a quarter turn of source bin 5.
      if (mode != kEnvelope)
      {
        const float scale = weighted ? weight[5] : 0.75f;
        EXPECT_EQ(got[16], -pairs[11] * scale);
        EXPECT_EQ(got[17], pairs[10] * scale);
      }
    });
  }
}

TEST_F(MVectorSpectral, SpectralOperationsCheckArgumentsAndAllocateNothing)
{
  std::vector<float> x(1024, 1.0f);
  const float pole = 0.5f;
  EXPECT_EQ(MVector::SmoothTwoSided(nullptr, 8, &pole, 1, 0.0f), MVector::kNullPointer);
  EXPECT_EQ(MVector::SmoothTwoSided(x.data(), 8, nullptr, 1, 0.0f), MVector::kNullPointer);
  EXPECT_EQ(MVector::SmoothTwoSided(x.data(), 0, &pole, 1, 0.0f), MVector::kBadLength);
  EXPECT_EQ(MVector::SmoothTwoSided(x.data(), 8, &pole, -1, 0.0f), MVector::kBadLength);
  EXPECT_EQ(MVector::SmoothTwoSided(x.data(), 8, &pole, 0, 0.0f), MVector::kOk);
  EXPECT_EQ(x[0], 1.0f) << "no poles, no change";
  const MVector::MRegionMove backwards{5, 4, 0, 0.0, 1.0f, 0.0f};
  double loudest = 0.0, phase = 0.0;
  const MVector::MShiftSource source{x.data(), x.data(), x.data(), nullptr, 1.0, nullptr, 0.0f};
  const MVector::MShiftTarget target{&loudest, &phase, x.data()};
  EXPECT_EQ(MVector::MoveRegions(source, &backwards, 1, target), MVector::kBadLength);
  EXPECT_EQ(MVector::MoveRegions(source, nullptr, 1, target), MVector::kNullPointer);
  EXPECT_EQ(MVector::MoveRegions(source, &backwards, 0, target), MVector::kOk)
      << "no regions, nothing to check";
  AtEveryLevel([&] {
    MAllocationCounter::Scope scope;
    MVector::SmoothTwoSided(x.data(), 1024, &pole, 1, 1e-15f);
    EXPECT_EQ(scope.Count(), 0u);
  });
}
} // namespace
