// The high-quality shift: partials land at exactly ratio times their frequency with nothing
// around them, the harmonics of a low voice each reach their own multiple, and the waveform
// keeps its peak level. Measured outside the corrector: Blackman-Harris windowed spectra and
// projections of the output (side lobes below -92 dB).

#include "dsp/MRealFFT.h"
#include "dsp/MTonveraFFTProcessor.h"

#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

using namespace MCorrectorTest;

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int kLength = 8192;

double Window(int n)
{
  const double x = 2.0 * std::numbers::pi * n / kLength;
  return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2.0 * x) - 0.01168 * std::cos(3.0 * x);
}

// Windowed projection of x[begin, begin + kLength) on a complex exponential at f, whose phase
// counts from sample 0; scaled so that a sinusoid of amplitude A at f gives magnitude A.
std::complex<double> Projection(const std::vector<float>& x, std::size_t begin, double f)
{
  std::complex<double> sum;
  double weight = 0.0;
  for (int n = 0; n < kLength; ++n)
  {
    const double t = static_cast<double>(begin + static_cast<std::size_t>(n));
    sum += Window(n) * x[begin + static_cast<std::size_t>(n)] *
           std::polar(1.0, -2.0 * std::numbers::pi * f * t / kSampleRate);
    weight += Window(n);
  }
  return 2.0 * sum / weight;
}

// The frequency of the partial near `expected`, from the phase its projection gains over
// kLength samples, and its amplitude.
struct Partial
{
  double frequency;
  double amplitude;
};
Partial MeasurePartial(const std::vector<float>& x, std::size_t begin, double expected)
{
  const auto a = Projection(x, begin, expected);
  const auto b = Projection(x, begin + kLength, expected);
  const double drift = std::arg(b / a);
  return {expected + drift * kSampleRate / (2.0 * std::numbers::pi * kLength), std::abs(a)};
}

// Energy of the windowed spectrum of x[begin, begin + kLength) outside +-6 analysis bins of the
// multiples of f (from `low` to `high` Hz) over the energy inside them, in dB.
double SpuriousDb(const std::vector<float>& x, std::size_t begin, double f, double low, double high)
{
  MRealFFT fft;
  EXPECT_TRUE(fft.Prepare(kLength));
  std::vector<float> frame(kLength);
  for (int n = 0; n < kLength; ++n)
    frame[static_cast<std::size_t>(n)] =
        static_cast<float>(Window(n) * x[begin + static_cast<std::size_t>(n)]);
  fft.Forward(frame.data());
  const double binWidth = kSampleRate / kLength;
  double inside = 0.0;
  double outside = 0.0;
  for (int k = 1; k < kLength / 2; ++k)
  {
    const double hz = k * binWidth;
    if (hz < low || hz > high)
      continue;
    const double power =
        static_cast<double>(frame[2 * static_cast<std::size_t>(k)]) * frame[2 * static_cast<std::size_t>(k)] +
        static_cast<double>(frame[2 * static_cast<std::size_t>(k) + 1]) *
            frame[2 * static_cast<std::size_t>(k) + 1];
    const double harmonic = std::max(1.0, std::round(hz / f));
    (std::abs(hz - harmonic * f) <= 6.0 * binWidth ? inside : outside) += power;
  }
  return 10.0 * std::log10(std::max(outside, 1e-30) / std::max(inside, 1e-30));
}

double PeakOf(const std::vector<float>& x, std::size_t begin, std::size_t end)
{
  float peak = 0.0f;
  for (std::size_t i = begin; i < end; ++i)
    peak = std::max(peak, std::abs(x[i]));
  return peak;
}

// Runs `input` through a corrector in High quality that shifts by `ratio` the harmonics of
// `fundamental` (a second channel's corrector, as channel 0 would have set it up).
std::vector<float> ShiftInHigh(const std::vector<float>& input, double fundamental, double ratio)
{
  TestOwner owner(kSampleRate, 1.0, 1.0);
  owner.high = true;
  owner.ratio = ratio;
  owner.SetHarmonicFundamental(fundamental);
  auto corrector = MakeCorrector(owner, kSampleRate, 1);
  return RunChannels({corrector.get()}, {input}, 512)[0];
}
} // namespace

// Any ratio from an octave down to an octave up, and partials anywhere between two bins.
TEST(HarmonicShiftTest, SinusoidLandsOnExactlyRatioTimesItsFrequencyWithNothingAround)
{
  const double binWidth = kSampleRate / kFrameSize;
  const auto samples = static_cast<std::size_t>(kFrameSize + 3 * kLength);
  for (double ratio : {0.5, 0.7071, 0.9439, 1.0, 1.0293, 1.4142, 2.0})
    for (double position : {20.0, 23.25, 31.5, 37.8})
    {
      const double f = position * binWidth;
      SCOPED_TRACE(testing::Message() << "ratio " << ratio << ", input " << f << " Hz");
      const auto output = ShiftInHigh(MTestSignals::Sine(samples, f, kSampleRate, 0.5f), f, ratio);
      const std::size_t begin = kFrameSize + kLength / 2;
      const Partial partial = MeasurePartial(output, begin, f * ratio);
      EXPECT_LT(std::abs(Cents(partial.frequency, f * ratio)), 0.1);
      EXPECT_NEAR(20.0 * std::log10(partial.amplitude / 0.5), 0.0, 0.2);
      EXPECT_LT(SpuriousDb(output, begin, f * ratio, 20.0, kSampleRate / 2.0), -60.0);
    }
}

// Low male voices, A2 and E2 (whose harmonics lie 1.95 bins apart) 30 cents sharp, corrected
// onto the note by the detecting corrector: all twenty harmonics move to their own multiple at
// their own level, and the waveform's peak stays where it was.
TEST(HarmonicShiftTest, LowVoiceComesOutWithEveryHarmonicAtItsMultiple)
{
  std::vector<double> amplitudes;
  for (int h = 1; h <= 20; ++h)
    amplitudes.push_back(0.3 / h);
  for (const double note : {45.0, 40.0})
  {
    SCOPED_TRACE(testing::Message() << "note " << note);
    const double target = FrequencyOfNote(note);
    const auto samples = static_cast<std::size_t>(kFrameSize + 4 * kLength);
    const auto input = MTestSignals::Harmonic(samples, FrequencyOfNote(note + 0.3), kSampleRate, amplitudes);

    TestOwner owner(kSampleRate, 1.0, 1.0);
    owner.high = true;
    auto corrector = MakeCorrector(owner, kSampleRate, 0);
    const auto output = RunChannels({corrector.get()}, {input}, 512)[0];

    const std::size_t begin = kFrameSize + 2 * kLength;
    for (int h = 1; h <= 20; ++h)
    {
      SCOPED_TRACE(h);
      const Partial partial = MeasurePartial(output, begin, h * target);
      EXPECT_LT(std::abs(Cents(partial.frequency, h * target)), 0.5);
      EXPECT_NEAR(20.0 * std::log10(partial.amplitude / amplitudes[static_cast<std::size_t>(h - 1)]), 0.0,
                  0.5);
    }
    EXPECT_LT(SpuriousDb(output, begin, target, 60.0, 8000.0), -55.0);
    const double peakIn = PeakOf(input, begin, begin + kLength);
    const double peakOut = PeakOf(output, begin, begin + kLength);
    EXPECT_NEAR(20.0 * std::log10(peakOut / peakIn), 0.0, 1.0);
  }
}
