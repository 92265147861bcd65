#include "dsp/MTonveraFFTProcessor.h"

#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

using namespace MCorrectorTest;

namespace
{
// A voice-like harmonic tone: falling partials up to the fifth.
const std::vector<double> kPartials = {0.3, 0.15, 0.1, 0.075, 0.06};

struct ToneCase
{
  double sampleRate;
  double note; // the input note: 30 cents above a whole note
};

class CorrectorSteadyTone : public testing::TestWithParam<ToneCase>
{};

TEST_P(CorrectorSteadyTone, ComesOutOnTheNoteAtTheInputLevel)
{
  const ToneCase& c = GetParam();
  const double target = FrequencyOfNote(std::round(c.note));
  const auto samples = static_cast<std::size_t>(1.5 * c.sampleRate);
  // Two channels, one corrector each; the right one is quieter and only follows the
  // ratio that the left one's detection sets.
  std::vector<std::vector<float>> inputs = {
      MTestSignals::Harmonic(samples, FrequencyOfNote(c.note), c.sampleRate, kPartials),
      MTestSignals::Harmonic(samples, FrequencyOfNote(c.note), c.sampleRate, {0.1, 0.05, 0.03})};

  auto owner = std::make_unique<TestOwner>(c.sampleRate, 1.0, 1.0);
  auto left = MakeCorrector(*owner, c.sampleRate, 0);
  auto right = MakeCorrector(*owner, c.sampleRate, 1);
  const auto outputs = RunChannels({left.get(), right.get()}, inputs, 300);

  EXPECT_NEAR(left->DetectedNote(), c.note, 0.05);
  EXPECT_EQ(owner->displayChosen, static_cast<int>(std::round(c.note)));

  const std::size_t start = kFrameSize + static_cast<std::size_t>(0.1 * c.sampleRate);
  const std::size_t window = 2048;
  const int periods = 8;
  const std::size_t reach = window + static_cast<std::size_t>(1.1 * periods * c.sampleRate / target);
  for (std::size_t ch = 0; ch < 2; ++ch)
  {
    SCOPED_TRACE(ch);
    double worst = 0.0;
    for (std::size_t begin = start; begin + reach < samples;
         begin += static_cast<std::size_t>(0.05 * c.sampleRate))
    {
      const double f = MeasureFrequency(outputs[ch], begin, window, target, c.sampleRate, periods);
      worst = std::max(worst, std::abs(Cents(f, target)));
    }
    EXPECT_LT(worst, 3.0) << "worst pitch error in cents";
    RecordProperty(ch == 0 ? "worstCentsLeft" : "worstCentsRight", std::to_string(worst));

    // Level over whole output after the settling time against the input's.
    const double inLevel = MTestSignals::Rms(inputs[ch], start - kFrameSize, samples - kFrameSize);
    const double outLevel = MTestSignals::Rms(outputs[ch], start, samples);
    const double levelDb = 20.0 * std::log10(outLevel / inLevel);
    EXPECT_NEAR(levelDb, 0.0, 1.0);
    RecordProperty(ch == 0 ? "levelDbLeft" : "levelDbRight", std::to_string(levelDb));
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, CorrectorSteadyTone,
                         testing::Values(ToneCase{44100.0, 45.3}, ToneCase{48000.0, 45.3},
                                         ToneCase{44100.0, 62.3}, ToneCase{48000.0, 55.3}));

TEST(CorrectorTest, AtSpeedZeroTheOffsetShrinksOverAboutOneSecond)
{
  for (double sampleRate : {44100.0, 48000.0})
  {
    SCOPED_TRACE(sampleRate);
    const double note = 57.3;
    const double target = FrequencyOfNote(57.0);
    const auto samples = static_cast<std::size_t>(2.0 * sampleRate);
    auto owner = std::make_unique<TestOwner>(sampleRate, 0.0, 1.0);
    const std::vector<float> output =
        Correct(*owner, sampleRate, 0,
                MTestSignals::Harmonic(samples, FrequencyOfNote(note), sampleRate, kPartials), 512);

    // Offset in cents against time since the tone's first sample left the corrector,
    // each measurement taken over about 30 ms (4 periods of lag, 1024 samples).
    const std::size_t window = 1024;
    const int periods = 4;
    const std::size_t lag = static_cast<std::size_t>(periods * sampleRate / target);
    double halfTime = -1.0;
    double previousOffset = 30.0;
    double previousTime = 0.0;
    double offsetAt1200ms = 100.0;
    for (std::size_t begin = kFrameSize; begin + window + lag + 8 < samples; begin += 256)
    {
      const double f = MeasureFrequency(output, begin, window, target, sampleRate, periods);
      const double offset = Cents(f, target);
      const double t = (static_cast<double>(begin - kFrameSize) + 0.5 * (window + lag)) / sampleRate;
      if (halfTime < 0.0 && offset <= 15.0 && t > 0.05)
        halfTime = previousTime + (previousOffset - 15.0) / (previousOffset - offset) * (t - previousTime);
      if (t <= 1.2)
        offsetAt1200ms = offset;
      previousOffset = offset;
      previousTime = t;
    }
    EXPECT_NEAR(halfTime, 0.5, 0.1);
    EXPECT_LT(std::abs(offsetAt1200ms), 3.0);
    RecordProperty(sampleRate == 44100.0 ? "halfTime44k" : "halfTime48k", std::to_string(halfTime));
  }
}

// A 200 Hz harmonic tone through a resonance at 1500 Hz that is Gaussian on a decibel
// scale (9 dB high, 350 Hz wide), partials up to 6 kHz.
double ResonanceGainDb(double f)
{
  return 9.0 * std::exp(-0.5 * std::pow((f - 1500.0) / 350.0, 2.0));
}

std::vector<float> ResonantTone(std::size_t samples, double f0, double sampleRate)
{
  std::vector<double> partials;
  for (int k = 1; k * f0 < 6000.0; ++k)
    partials.push_back(0.03 * std::pow(10.0, ResonanceGainDb(k * f0) / 20.0));
  return MTestSignals::Harmonic(samples, f0, sampleRate, partials);
}

// Where the resonance of a harmonic signal sits: the level of each partial between
// 300 Hz and 5.4 kHz (a Hann-weighted projection onto its frequency), in decibels
// against the tone's floor of 0.03, and the centroid of the part more than 3 dB above
// that floor. For a bump that is symmetric in frequency the centroid is its centre, and
// it averages out the small ripple that the corrector's envelope has between partials.
double ResonanceFrequency(const std::vector<float>& x, std::size_t begin, std::size_t length, double f0,
                          double sampleRate)
{
  double weighted = 0.0;
  double total = 0.0;
  for (int k = 1; k * f0 < 5400.0; ++k)
  {
    const double f = k * f0;
    if (f < 300.0)
      continue;
    std::complex<double> sum = 0.0;
    const double w = 2.0 * std::numbers::pi * f / sampleRate;
    for (std::size_t i = 0; i < length; ++i)
    {
      const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / length);
      sum += hann * x[begin + i] * std::polar(1.0, -w * static_cast<double>(i));
    }
    // A partial of amplitude A projects to A * length / 4 under the Hann weights.
    const double levelDb = 20.0 * std::log10(std::abs(sum) / (0.25 * length * 0.03) + 1e-12);
    const double above = std::max(0.0, levelDb - 3.0);
    weighted += above * f;
    total += above;
  }
  return total > 0.0 ? weighted / total : 0.0;
}

struct FormantCase
{
  const char* name;
  double keep;
  double formantShift;    // semitones
  double pitchShift;      // semitones, through the channel ratio
  double resonanceFactor; // where the resonance should go, relative to 1500 Hz
};

class CorrectorFormants : public testing::TestWithParam<FormantCase>
{};

TEST_P(CorrectorFormants, ResonanceStaysOrMovesAsSet)
{
  const FormantCase& c = GetParam();
  for (double sampleRate : {44100.0, 48000.0})
  {
    SCOPED_TRACE(sampleRate);
    const auto samples = static_cast<std::size_t>(0.8 * sampleRate);
    const double f0 = 200.0;
    const std::vector<float> input = ResonantTone(samples, f0, sampleRate);
    auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
    owner->keep = c.keep;
    owner->formantShift = c.formantShift;
    // A channel without detection: the correction ratio stays 1, the channel ratio
    // carries the pitch shift.
    const auto output = Correct(*owner, sampleRate, 1, input, 512, std::exp2(c.pitchShift / 12.0));

    const std::size_t begin = 2 * kFrameSize;
    const std::size_t length = samples - begin;
    const double inputPeak = ResonanceFrequency(input, 0, length, f0, sampleRate);
    const double outputPeak =
        ResonanceFrequency(output, begin, length, f0 * std::exp2(c.pitchShift / 12.0), sampleRate);
    const double binWidth = sampleRate / kFrameSize;
    EXPECT_NEAR(inputPeak, 1500.0, 0.5 * binWidth) << "the measurement itself";
    EXPECT_NEAR(outputPeak, 1500.0 * c.resonanceFactor, 2.0 * binWidth);
    RecordProperty(std::string(c.name) + (sampleRate == 44100.0 ? "44k" : "48k"), std::to_string(outputPeak));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CorrectorFormants,
    testing::Values(FormantCase{"KeepFormantsHoldsTheResonance", 1.0, 0.0, 3.0, 1.0},
                    FormantCase{"NoKeepMovesItWithThePitch", 0.0, 0.0, 3.0, 1.189207115002721},
                    FormantCase{"KeepFormantsHoldsItShiftingDown", 1.0, 0.0, -3.0, 1.0},
                    FormantCase{"NoKeepMovesItDown", 0.0, 0.0, -3.0, 0.8408964152537145},
                    FormantCase{"FormantShiftOctaveMovesItAlone", 1.0, 12.0, 0.0, 2.0}),
    [](const testing::TestParamInfo<FormantCase>& info) { return std::string(info.param.name); });

TEST(CorrectorTest, DryOnlyReturnsTheInputDelayedByTheFrameSizeAndAConstantPassesWhateverTheMix)
{
  for (double sampleRate : {44100.0, 48000.0})
  {
    const auto samples = static_cast<std::size_t>(0.5 * sampleRate);
    auto input = MTestSignals::Harmonic(samples, 231.0, sampleRate, kPartials);
    const auto noise = MTestSignals::WhiteNoise(samples, 0.2f);
    for (std::size_t i = 0; i < samples; ++i)
      input[i] += noise[i];
    auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
    owner->dry = 1.0;
    owner->wet = 0.0;
    owner->keep = 1.0;
    const auto output = Correct(*owner, sampleRate, 0, input, 333);
    double worst = 0.0;
    for (std::size_t i = 0; i + kFrameSize < samples; ++i)
      worst = std::max(worst, static_cast<double>(std::abs(output[i + kFrameSize] - input[i])));
    for (std::size_t i = 0; i < kFrameSize; ++i)
      worst = std::max(worst, static_cast<double>(std::abs(output[i])));
    EXPECT_LT(worst, 1e-4);
  }

  // Fully wet, with or without dry, a constant input passes unchanged.
  for (const double dry : {0.0, 1.0, 0.5})
  {
    SCOPED_TRACE(dry);
    const double sampleRate = 44100.0;
    const std::vector<float> input(static_cast<std::size_t>(0.3 * sampleRate), 0.25f);
    auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
    owner->dry = dry;
    const auto output = Correct(*owner, sampleRate, 0, input, 256);
    // From the first sample that all four overlapping frames cover fully.
    for (std::size_t i = 2 * kFrameSize; i < input.size(); ++i)
      ASSERT_NEAR(output[i], 0.25f, 1e-4) << "sample " << i;
  }
}

// Fully wet, the shifted copy is written straight into the cleared frame; a dry gain too small
// to hear takes the path that makes the copy apart and adds it. Both must give the same sound,
// with a constant offset (the DC share kept in bin 1) under a tone being corrected.
TEST(CorrectorTest, FullyWetFrameMatchesTheAddedCopy)
{
  const double sampleRate = 44100.0;
  const auto samples = static_cast<std::size_t>(0.3 * sampleRate);
  std::vector<float> input = MTestSignals::Harmonic(samples, FrequencyOfNote(57.3), sampleRate, kPartials);
  for (float& x : input)
    x += 0.1f;
  std::vector<std::vector<float>> outputs;
  for (double dry : {0.0, 1e-30})
  {
    auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
    owner->dry = dry;
    outputs.push_back(Correct(*owner, sampleRate, 0, input, 512));
  }
  for (std::size_t i = 0; i < samples; ++i)
    ASSERT_NEAR(outputs[0][i], outputs[1][i], 1e-9) << "sample " << i;
  EXPECT_GT(MTestSignals::Rms(outputs[0], 2 * kFrameSize, samples), 0.05) << "the tone comes through";
}

TEST(CorrectorTest, PartialsShiftedBeyondNyquistAreDroppedNotFolded)
{
  const double sampleRate = 44100.0;
  const auto samples = static_cast<std::size_t>(0.3 * sampleRate);
  auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
  // 25.8 kHz would lie above Nyquist.
  const auto output = Correct(*owner, sampleRate, 1, MTestSignals::Sine(samples, 20500.0, sampleRate, 0.5f),
                              512, std::exp2(4.0 / 12.0));
  EXPECT_LT(MTestSignals::Rms(output, 2 * kFrameSize, samples), 1e-3);
}

TEST(CorrectorTest, DetectionPublishesTheRatioAndTheDisplayNotes)
{
  const double sampleRate = 48000.0;
  const auto samples = static_cast<std::size_t>(0.3 * sampleRate);
  const std::vector<std::vector<float>> inputs = {
      MTestSignals::Harmonic(samples, FrequencyOfNote(52.3), sampleRate, kPartials)};
  auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
  auto corrector = MakeCorrector(*owner, sampleRate, 0);
  EXPECT_DOUBLE_EQ(corrector->DetectedFrequency(), -1.0);
  RunChannels({corrector.get()}, inputs, 512);
  EXPECT_NEAR(corrector->DetectedFrequency(), FrequencyOfNote(52.3), 0.5);
  EXPECT_EQ(owner->displayChosen, 52);
  EXPECT_NEAR(owner->displayOutput, 52.0, 1e-9);
  EXPECT_NEAR(Cents(owner->ratio, 1.0), -(owner->displayInput - 52.0) * 100.0, 1e-6);

  // Silence keeps the last accepted pitch (taken while the tone faded out of the
  // frames), so correction goes on towards it.
  const std::vector<std::vector<float>> silence = {std::vector<float>(samples, 0.0f)};
  RunChannels({corrector.get()}, silence, 512);
  const double kept = corrector->DetectedFrequency();
  EXPECT_LT(std::abs(Cents(kept, FrequencyOfNote(52.3))), 50.0);
  RunChannels({corrector.get()}, silence, 512);
  EXPECT_EQ(corrector->DetectedFrequency(), kept);
}

TEST(CorrectorTest, RecoversFromNonFiniteInput)
{
  const double sampleRate = 44100.0;
  const auto samples = static_cast<std::size_t>(1.0 * sampleRate);
  const double note = 57.3;
  std::vector<float> input = MTestSignals::Harmonic(samples, FrequencyOfNote(note), sampleRate, kPartials);
  for (std::size_t i = 4000; i < 4100; ++i)
    input[i] =
        (i % 2 == 0) ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
  auto owner = std::make_unique<TestOwner>(sampleRate, 1.0, 1.0);
  owner->keep = 1.0;
  const auto output = Correct(*owner, sampleRate, 0, input, 256);

  const std::size_t begin = samples / 2;
  for (std::size_t i = begin; i < samples; ++i)
    ASSERT_TRUE(std::isfinite(output[i])) << "sample " << i;
  const double target = FrequencyOfNote(57.0);
  const double f = MeasureFrequency(output, begin, 4096, target, sampleRate, 8);
  EXPECT_LT(std::abs(Cents(f, target)), 3.0);
}

TEST(CorrectorTest, StreamingAllocatesNothingInEitherQuality)
{
  const double sampleRate = 44100.0;
  const auto samples = static_cast<std::size_t>(sampleRate);
  const std::vector<std::vector<float>> inputs = {ResonantTone(samples, 180.0, sampleRate),
                                                  ResonantTone(samples, 180.0, sampleRate)};
  std::vector<std::vector<float>> outputs = {std::vector<float>(samples), std::vector<float>(samples)};
  for (bool high : {false, true})
  {
    auto owner = std::make_unique<TestOwner>(sampleRate, 0.5, 0.5);
    owner->keep = 1.0;
    owner->formantShift = 2.0;
    owner->dry = 0.5;
    owner->high = high;
    auto left = MakeCorrector(*owner, sampleRate, 0);
    auto right = MakeCorrector(*owner, sampleRate, 1);
    right->SetChannelRatio(0.99);

    MAllocationCounter::Scope scope;
    std::size_t start = 0;
    for (int block : {1, 64, 333, 1024, 4000})
    {
      for (int repeat = 0; repeat < 4 && start + static_cast<std::size_t>(block) <= samples; ++repeat)
      {
        left->Process(inputs[0].data() + start, outputs[0].data() + start, block);
        right->Process(inputs[1].data() + start, outputs[1].data() + start, block);
        start += static_cast<std::size_t>(block);
      }
    }
    owner->keep = 0.0;
    owner->formantShift = 0.0;
    left->Process(inputs[0].data() + start, outputs[0].data() + start, 2048);
    left->Reset();
    EXPECT_EQ(scope.Count(), 0u) << (high ? "High" : "Standard");
  }
}
} // namespace
