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
#include <numeric>

using namespace MCorrectorTest;

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int kLength = 8192;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

double Window(int n, int length = kLength)
{
  const double x = kTwoPi * n / length;
  return 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2.0 * x) - 0.01168 * std::cos(3.0 * x);
}

// Windowed projection of x[begin, begin + kLength) on a complex exponential at f, whose phase
// counts from sample 0; scaled (the window adds up to 0.35875 kLength) so that a sinusoid of
// amplitude A at f gives magnitude A.
std::complex<double> Projection(const std::vector<float>& x, std::size_t begin, double f)
{
  std::complex<double> sum;
  for (std::size_t i = begin; i < begin + kLength; ++i)
    sum += Window(static_cast<int>(i - begin)) * x[i] *
           std::polar(1.0, -kTwoPi * f * static_cast<double>(i) / kSampleRate);
  return 2.0 * sum / (0.35875 * kLength);
}

// The frequency of the partial near `expected`, from the phase its projection gains over
// kLength samples, and its amplitude.
struct Partial
{
  double frequency, amplitude;
};
Partial MeasurePartial(const std::vector<float>& x, std::size_t begin, double expected)
{
  const auto a = Projection(x, begin, expected);
  const auto b = Projection(x, begin + kLength, expected);
  return {expected + std::arg(b / a) * kSampleRate / (kTwoPi * kLength), std::abs(a)};
}

// Power of bins 0 .. length / 2 - 1 of the windowed spectrum of x[begin, begin + length).
std::vector<double> Powers(const std::vector<float>& x, std::size_t begin, int length)
{
  MRealFFT fft;
  EXPECT_TRUE(fft.Prepare(length));
  std::vector<float> frame(x.begin() + begin, x.begin() + begin + length);
  for (int n = 0; n < length; ++n)
    frame[static_cast<std::size_t>(n)] *= static_cast<float>(Window(n, length));
  fft.Forward(frame.data());
  std::vector<double> powers(static_cast<std::size_t>(length / 2));
  for (std::size_t k = 1; k < powers.size(); ++k)
    powers[k] = std::norm(std::complex<double>(frame[2 * k], frame[2 * k + 1]));
  return powers;
}

// Energy of the windowed spectrum of x[begin, begin + kLength) outside +-6 analysis bins of the
// multiples of f (from `low` to `high` Hz) over the energy inside them, in dB.
double SpuriousDb(const std::vector<float>& x, std::size_t begin, double f, double low, double high)
{
  const auto powers = Powers(x, begin, kLength);
  const double binWidth = kSampleRate / kLength;
  double energy[2] = {}; // within 6 bins of a harmonic, and further
  for (std::size_t k = 1; k < powers.size(); ++k)
    if (const double hz = static_cast<double>(k) * binWidth; hz >= low && hz <= high)
      energy[std::abs(hz - std::max(1.0, std::round(hz / f)) * f) > 6.0 * binWidth] += powers[k];
  return 10.0 * std::log10(std::max(energy[1], 1e-30) / std::max(energy[0], 1e-30));
}

double PeakOf(const std::vector<float>& x, std::size_t begin, std::size_t end)
{
  const auto [low, high] = std::minmax_element(x.begin() + begin, x.begin() + end);
  return std::max(-*low, *high);
}

// Runs `input` through a corrector in High quality: the detecting one, or with a `fundamental`
// one that shifts its harmonics by `ratio` (a second channel's, as channel 0 would set it up).
std::vector<float> ShiftInHigh(const std::vector<float>& input, double fundamental = 0.0, double ratio = 1.0)
{
  TestOwner owner(kSampleRate, 1.0, 1.0);
  owner.high = true;
  owner.ratio = ratio;
  owner.SetHarmonicFundamental(fundamental);
  return Correct(owner, kSampleRate, fundamental > 0.0 ? 1 : 0, input, 256);
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
    const auto output = ShiftInHigh(input);
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
    EXPECT_NEAR(
        20.0 * std::log10(PeakOf(output, begin, begin + kLength) / PeakOf(input, begin, begin + kLength)),
        0.0, 1.0);
  }
}

// A fundamental 12 dB under the second harmonic, drifting from 40 to 60 cents under E4 (with a
// 3 Hz vibrato of 8 cents): the pick slips to the second harmonic now and then, and the
// fundamental passes between the harmonic model and the peak shift, keeping its level.
TEST(HarmonicShiftTest, WeakFundamentalKeepsItsLevelWhenThePickSlipsAnOctave)
{
  std::vector<float> input(static_cast<std::size_t>(kSampleRate * 1.5));
  double phase = 0.0;
  for (std::size_t i = 0; i < input.size(); ++i)
  {
    const double t = static_cast<double>(i) / kSampleRate;
    phase += FrequencyOfNote(51.6 - 0.2 * t / 1.5 + 0.08 * std::sin(3.0 * kTwoPi * t)) / kSampleRate;
    for (int h = 1; h <= 8; ++h)
      input[i] += static_cast<float>((h == 1 ? 0.04 : 0.16 / (h - 1)) * std::sin(kTwoPi * h * phase));
  }
  const auto output = ShiftInHigh(input);
  // The fundamental's share (172 .. 473 Hz) of each hop's spectrum, N = 1024, in dB.
  std::vector<double> shares;
  for (std::size_t begin = 4 * kFrameSize; begin + kFrameSize <= output.size(); begin += kFrameSize / 4)
  {
    const auto powers = Powers(output, begin, kFrameSize);
    shares.push_back(10.0 * std::log10(std::accumulate(powers.begin() + 4, powers.begin() + 12, 0.0) /
                                       std::accumulate(powers.begin(), powers.end(), 0.0)));
  }
  EXPECT_LT(std::ranges::max(shares) - std::ranges::min(shares), 2.0) << "dB from hop to hop";
}
