#include "dsp/MPitchFFTBase.h"

#include "dsp/MAudioFFTProcessor.h"
#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using MCorrectorTest::Cents;

namespace
{
// The pitch path of the effect's first channel: a frame engine with N = 1024 and
// oversampling 4 whose spectrum hook runs the analysis on every frame.
class MPitchTracker : public MAudioFFTProcessor, public MPitchFFTBase<4096>
{
public:
  explicit MPitchTracker(double sampleRate)
  {
    SetFrameSize(1024);
    SetOversampling(4);
    SetSynthesisWindow(true);
    Resize();
    Reset();
    SetAnalysisConstants(4.0, sampleRate, 1024);
    m_detected.reserve(4096);
  }

  void ProcessSpectrum(int frameSize, float* spectrum) override
  {
    EstimateBinFrequencies(frameSize, spectrum, 1, INT_MAX);
    const int bin = FindPitchBin(frameSize);
    if (bin > 0)
    {
      const double f = BinFrequency(bin);
      if (f >= 50.0 && f <= 2000.0)
        m_frequency = f;
    }
    m_detected.push_back(m_frequency);
  }

  void Run(const std::vector<float>& input)
  {
    std::vector<float> output(input.size());
    for (std::size_t at = 0; at < input.size(); at += 256)
    {
      const int length = static_cast<int>(std::min<std::size_t>(256, input.size() - at));
      Process(input.data() + at, output.data() + at, length);
    }
  }

  double m_frequency = -1.0;
  std::vector<double> m_detected;
};

// A spectrum of N = 1024 floats whose bins have the given magnitudes (phase 0) on a
// floor of 0.001.
std::vector<float> CraftedSpectrum(const std::vector<std::pair<int, float>>& peaks)
{
  std::vector<float> spectrum(1024, 0.0f);
  for (int k = 0; k < 512; ++k)
    spectrum[2 * static_cast<std::size_t>(k)] = 0.001f;
  for (const auto& [bin, magnitude] : peaks)
    spectrum[2 * static_cast<std::size_t>(bin)] = magnitude;
  return spectrum;
}

const double kSampleRates[] = {44100.0, 48000.0};
const double kSineFrequencies[] = {80.0,  97.0,  131.0,  185.0,  262.0, 370.0,
                                   523.0, 741.0, 1047.0, 1480.0, 1900.0};
} // namespace

// At N = 1024 an 80 Hz sine lies under two bins above DC, where the window's leakage
// of its mirror image at -80 Hz bends the measured phase: the estimate swings by up to
// 3.3 cents from frame to frame (at 48 kHz). From 97 Hz on it stays within 2 cents;
// the stand-alone detector's 4096-point frames hold 2 cents down to 80 Hz.
// The engine's first three frames are partly made of the silence it starts with, and
// the fourth compares its phases with such a partial frame; from the fifth on, every
// frame measures a steady tone.
constexpr std::size_t kFirstSettledFrame = 4;

TEST(MPitchFFTBase, ASteadySineOrAWeakFundamentalIsDetectedOnceThePhasesHaveSettled)
{
  double worst = 0.0;
  double worst80 = 0.0;
  for (double rate : kSampleRates)
  {
    for (double frequency : kSineFrequencies)
    {
      SCOPED_TRACE(::testing::Message() << frequency << " Hz at " << rate << " Hz");
      auto tracker = std::make_unique<MPitchTracker>(rate);
      tracker->Run(MTestSignals::Sine(1024 * 8, frequency, rate, 0.5f));
      ASSERT_GE(tracker->m_detected.size(), 20u);
      for (std::size_t frame = kFirstSettledFrame; frame < tracker->m_detected.size(); ++frame)
      {
        const double cents = Cents(tracker->m_detected[frame], frequency);
        double& bucket = frequency < 90.0 ? worst80 : worst;
        bucket = std::max(bucket, std::fabs(cents));
        ASSERT_LT(std::fabs(cents), frequency < 90.0 ? 4.0 : 2.0) << "frame " << frame;
      }
    }
  }
  std::printf("steady sines, N 1024, oversampling 4: worst error %.4f cents (80 Hz: %.4f)\n", worst, worst80);

  // A weak fundamental below its second harmonic is still the fundamental.
  // The fundamental is 20 dB below the second harmonic: above the 1 % that lets the
  // harmonic product look at it.
  const std::vector<double> partials = {0.1, 1.0, 0.5, 0.3, 0.2, 0.1};
  double weakWorst = 0.0;
  for (double rate : kSampleRates)
  {
    for (double fundamental : {180.0, 220.0, 311.0, 440.0, 587.0})
    {
      SCOPED_TRACE(::testing::Message() << fundamental << " Hz at " << rate << " Hz");
      auto tracker = std::make_unique<MPitchTracker>(rate);
      tracker->Run(MTestSignals::Harmonic(1024 * 8, fundamental, rate, partials));
      for (std::size_t frame = kFirstSettledFrame; frame < tracker->m_detected.size(); ++frame)
      {
        const double cents = Cents(tracker->m_detected[frame], fundamental);
        weakWorst = std::max(weakWorst, std::fabs(cents));
        // An octave error would be 1200 cents. The second harmonic, ten times stronger
        // and only a few bins away, leaks into the fundamental's bin and bends its
        // phase by up to about 10 cents at 1024 points.
        ASSERT_LT(std::fabs(cents), 25.0) << "frame " << frame;
      }
    }
  }
  std::printf("fundamental 20 dB below the second harmonic: worst error %.4f cents\n", weakWorst);
}

TEST(MPitchFFTBase, PeakIsolationHarmonicProductAndOctaveCheckChooseTheFundamental)
{
  struct Case
  {
    const char* what;
    std::vector<std::pair<int, float>> peaks;
    int expected;
  };
  const Case cases[] = {
      {"a lone peak", {{30, 500.0f}, {29, 200.0f}, {31, 250.0f}}, 30},
      {"no peak reaches a magnitude of 1: no bin", {{30, 0.9f}, {60, 0.5f}}, -1},
      {"a lower peak under 1 % is ignored", {{20, 5.0f}, {40, 1000.0f}, {80, 900.0f}}, 40},
      {"a lower peak over 1 % wins the harmonic product",
       {{10, 100.0f}, {20, 1000.0f}, {30, 500.0f}, {40, 300.0f}},
       10},
      {"the octave check moves a product winner at 2b down to b",
       {{20, 300.0f}, {40, 1000.0f}, {60, 300.0f}, {80, 1000.0f}, {120, 1000.0f}, {160, 800.0f}},
       20},
      {"the octave check keeps 2b when b holds under a tenth of its product",
       {{20, 300.0f}, {40, 1000.0f}, {60, 100.0f}, {80, 1000.0f}, {120, 1000.0f}, {160, 800.0f}},
       40},
  };
  for (const Case& c : cases)
  {
    auto base = std::make_unique<MPitchFFTBase<4096>>();
    base->SetAnalysisConstants(4.0, 44100.0, 1024); // picks between bins 1 and 46
    const std::vector<float> spectrum = CraftedSpectrum(c.peaks);
    base->EstimateBinFrequencies(1024, spectrum.data(), 1, INT_MAX);
    EXPECT_EQ(base->FindPitchBin(1024), c.expected) << c.what;
  }
}
