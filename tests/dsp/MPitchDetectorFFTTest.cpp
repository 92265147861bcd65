#include "dsp/MPitchDetectorFFT.h"

#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using MCorrectorTest::Cents;

namespace
{
constexpr int kN = 4096;
constexpr int kHop = 2048;

// One 4096-sample sine segment (amplitude 0.5) per entry; 0 Hz gives silence. Meant for
// a detector without overlap, so that every frame sees exactly one segment.
std::vector<float> Segments(const std::vector<double>& frequencies, double rate)
{
  std::vector<float> signal;
  for (double f : frequencies)
  {
    const std::vector<float> segment = f > 0.0 ? MTestSignals::Sine(kN, f, rate, 0.5f)
                                               : std::vector<float>(static_cast<std::size_t>(kN), 0.0f);
    signal.insert(signal.end(), segment.begin(), segment.end());
  }
  return signal;
}

std::unique_ptr<MPitchDetectorFFT> MakeDetector(double rate, double overlap, double holdFrames,
                                                double smoothing)
{
  auto detector = std::make_unique<MPitchDetectorFFT>();
  const double hop = kN - std::trunc(kN * overlap);
  detector->SetHoldTime(holdFrames * hop / rate);
  detector->SetSmoothing(smoothing);
  detector->Resize(kN, overlap);
  detector->SetSampleRate(rate);
  return detector;
}

// Feeds the signal one frame at a time and returns the report count after each frame.
std::vector<long long> ReportsPerFrame(MPitchDetectorFFT& detector, const std::vector<float>& signal)
{
  std::vector<long long> reports;
  std::size_t at = 0;
  const std::size_t first = static_cast<std::size_t>(detector.FrameSize());
  const std::size_t hop = static_cast<std::size_t>(detector.HopSize());
  for (std::size_t length = first; at + length <= signal.size(); length = hop)
  {
    detector.Process(signal.data() + at, static_cast<int>(length));
    at += length;
    reports.push_back(detector.ReportCount());
  }
  return reports;
}
} // namespace

TEST(MPitchDetectorFFT, ASteadySineIsReportedWithinTwoCentsAfterTheFirstThreeFrames)
{
  double worst = 0.0;
  for (double rate : {44100.0, 48000.0})
  {
    for (double frequency : {80.0, 97.0, 131.0, 185.0, 262.0, 370.0, 523.0, 741.0, 1047.0, 1480.0, 1900.0})
    {
      SCOPED_TRACE(::testing::Message() << frequency << " Hz at " << rate << " Hz");
      auto detector = MakeDetector(rate, 0.5, 0.0, 1.0);
      const std::vector<float> signal = MTestSignals::Sine(kN + 9 * kHop, frequency, rate, 0.5f);
      std::size_t at = 0;
      for (int frame = 0; frame < 10; ++frame)
      {
        const std::size_t length = frame == 0 ? kN : kHop;
        detector->Process(signal.data() + at, static_cast<int>(length));
        at += length;
        // Hold time 0: every accepted frame is a report.
        ASSERT_EQ(detector->ReportCount(), frame + 1);
        if (frame >= 3)
        {
          const double cents = Cents(detector->ReportedFrequency(), frequency);
          worst = std::max(worst, std::fabs(cents));
          ASSERT_LT(std::fabs(cents), 2.0) << "frame " << frame;
        }
      }
    }
  }
  std::printf("stand-alone detector, N 4096, hop 2048: worst error %.5f cents\n", worst);
}

TEST(MPitchDetectorFFT, AHoldOfKFramesReportsOnlyAfterKConfirmingFramesAndIsRoundedAtSetUp)
{
  // Without overlap each frame holds one segment. A run of r frames within 0.8 .. 1.25
  // of each other starts the count with its first frame and confirms it with each of
  // the r - 1 others; a report needs k confirmations. 200 and 300 Hz are a fifth apart,
  // outside the window, so every change of segment frequency starts a new run.
  const double rate = 44100.0;
  for (int k : {1, 2, 4})
  {
    SCOPED_TRACE(::testing::Message() << "hold " << k << " frames");
    auto detector = MakeDetector(rate, 0.0, k, 1.0);
    ASSERT_EQ(detector->HoldFrames(), k);

    // Runs of k frames never report; a run of k + 1 reports once at its end; small
    // wobbles inside the window do not break a run.
    std::vector<double> frequencies;
    std::vector<long long> expected;
    long long count = 0;
    auto addRun = [&](double f, int length, bool reportsAtEnd) {
      for (int i = 0; i < length; ++i)
      {
        frequencies.push_back(f * (i % 2 == 0 ? 1.0 : 1.1));
        if (reportsAtEnd && i == length - 1)
          ++count;
        expected.push_back(count);
      }
    };
    addRun(200.0, k, false);
    addRun(300.0, k, false);
    addRun(200.0, k + 1, true);
    addRun(300.0, k, false);
    addRun(200.0, k + 1, true);

    EXPECT_EQ(ReportsPerFrame(*detector, Segments(frequencies, rate)), expected);
    // Without overlap a frame's phase reference is the previous segment, so the
    // frequency is only known to half a bin (10.8 Hz bins: 46 cents at 200 Hz).
    EXPECT_LT(std::fabs(Cents(detector->ReportedFrequency(), k % 2 == 0 ? 200.0 : 220.0)), 50.0);
  }

  // Set-up rounds the hold time to frames and restarts the report.
  auto detector = MakeDetector(44100.0, 0.5, 0.0, 1.0);
  detector->Process(MTestSignals::Sine(3 * kN, 220.0, 44100.0, 0.5f).data(), 3 * kN);
  EXPECT_GT(detector->ReportedFrequency(), 0.0);

  // At 32768 Hz a hop of 2048 lasts 1/16 s, so these hold times are exact in binary:
  // 2.5 frames round up to 3, 2.4375 down to 2.
  detector->SetHoldTime(2.5 / 16.0);
  detector->SetSampleRate(32768.0);
  EXPECT_EQ(detector->HoldFrames(), 3);
  EXPECT_EQ(detector->ReportedFrequency(), 0.0);
  EXPECT_EQ(detector->ReportCount(), 0);
  detector->SetHoldTime(2.4375 / 16.0);
  detector->SetSampleRate(32768.0);
  EXPECT_EQ(detector->HoldFrames(), 2);
  EXPECT_FALSE(detector->RateLimitOn());
  detector->SetSampleRate(0.0); // refused: the rate stays
  EXPECT_EQ(detector->SampleRate(), 32768.0);
}

TEST(MPitchDetectorFFT, TheRateLimitBoundsEachReportsStepInLogFrequency)
{
  const double rate = 44100.0;
  for (double holdFrames : {0.0, 2.0})
  {
    SCOPED_TRACE(::testing::Message() << "hold " << holdFrames << " frames");
    auto detector = MakeDetector(rate, 0.5, holdFrames, 0.5);
    ASSERT_TRUE(detector->RateLimitOn());
    // (0.5^4 * 20 + 0.01) * hop / rate, times the hold frames when there are any.
    const double limit = 1.26 * kHop / rate * (holdFrames > 0.0 ? holdFrames : 1.0);
    EXPECT_NEAR(detector->RateLimit(), limit, 1e-12);

    std::vector<float> signal = MTestSignals::Sine(kN + 8 * kHop, 200.0, rate, 0.5f);
    const std::vector<float> octave = MTestSignals::Sine(40 * kHop, 400.0, rate, 0.5f);
    signal.insert(signal.end(), octave.begin(), octave.end());

    double previous = 0.0;
    long long reports = 0;
    double largestStep = 0.0;
    for (std::size_t at = 0; at + kHop <= signal.size(); at += kHop)
    {
      detector->Process(signal.data() + at, kHop);
      if (detector->ReportCount() == reports)
        continue;
      reports = detector->ReportCount();
      const double now = detector->ReportedFrequency();
      if (previous > 0.0)
      {
        const double step = std::fabs(std::log10(now) - std::log10(previous));
        largestStep = std::max(largestStep, step);
        EXPECT_LE(step, limit + 1e-12);
      }
      previous = now;
    }
    // The octave (0.301 in log10) takes several reports, each at the limit.
    EXPECT_NEAR(largestStep, limit, 1e-9);
    EXPECT_LT(std::fabs(Cents(previous, 400.0)), 2.0);
  }
}

TEST(MPitchDetectorFFT, QuietFramesPitchesOutsideTheRangeAndFramesBelowTheVoicingGateLeaveTheReportAlone)
{
  const double rate = 48000.0;
  auto detector = MakeDetector(rate, 0.0, 0.0, 1.0);
  detector->SetFrequencyRange(100.0, 1000.0);
  detector->SetSampleRate(rate);
  // A 1e-4 sine peaks at about 1e-4 * 4096 / 4 = 0.1, below the unit magnitude a pick needs.
  std::vector<float> signal = MTestSignals::Sine(2 * kN, 300.0, rate, 0.5f);
  const std::vector<float> rejected = Segments({0.0, 80.0, 1500.0}, rate);
  signal.insert(signal.end(), rejected.begin(), rejected.end());
  const std::vector<float> quiet = MTestSignals::Sine(kN, 500.0, rate, 1e-4f);
  signal.insert(signal.end(), quiet.begin(), quiet.end());

  const std::vector<long long> reports = ReportsPerFrame(*detector, signal);
  EXPECT_EQ(reports, (std::vector<long long>{1, 2, 2, 2, 2, 2}));
  EXPECT_LT(std::fabs(Cents(detector->ReportedFrequency(), 300.0)), 2.0);

  // The voicing gate skips frames below its share of full scale.
  // A bin-centred sine of amplitude 0.5 peaks at 0.5 * S1 / 2 with S1 = (N - 1) / 2 for
  // the symmetric Hann: about 512. The gate needs (N / 2) * ratio, 2048 * ratio.
  const double gateRate = 44100.0;
  const double frequency = 40.0 * gateRate / kN;
  struct Case
  {
    double ratio;
    long long expectedReports;
  };
  for (const Case& c : {Case{-1.0, 4}, Case{0.2, 4}, Case{0.3, 0}})
  {
    auto detector = MakeDetector(gateRate, 0.0, 0.0, 1.0);
    detector->SetVoicingRatio(c.ratio);
    const std::vector<float> signal = MTestSignals::Sine(4 * kN, frequency, gateRate, 0.5f);
    detector->Process(signal.data(), static_cast<int>(signal.size()));
    EXPECT_EQ(detector->ReportCount(), c.expectedReports) << "ratio " << c.ratio;
  }
}

TEST(MPitchDetectorFFT, DetectingAllocatesNothing)
{
  auto detector = MakeDetector(44100.0, 0.5, 2.0, 0.3);
  const std::vector<float> signal = MTestSignals::Harmonic(20 * kN, 150.0, 44100.0, {0.4, 1.0, 0.5});
  MAllocationCounter::Scope scope;
  for (std::size_t at = 0; at < signal.size(); at += 1000)
    detector->Process(signal.data() + at, static_cast<int>(std::min<std::size_t>(1000, signal.size() - at)));
  EXPECT_EQ(scope.Count(), 0u);
  EXPECT_GT(detector->ReportCount(), 5);
}
