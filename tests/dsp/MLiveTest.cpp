// The low-latency path on steady voices: the detector stays on the true pitch hop after hop (a
// wobble would frequency-modulate the shifted voice), and the shifter's read-back keeps a high
// partial's level at every fraction of a sample its read point passes.

#include "dsp/MLivePitchDetector.h"
#include "dsp/MLiveShifter.h"

#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

// Bright tones (20 harmonics, 1/h) from a low male voice to a soprano's A, off their notes.
TEST(LiveTest, DetectorIsWithinATenthOfACentOnEveryHopAndTheShifterKeepsHighPartialsLevel)
{
  const double rate = 44100.0;
  for (double note : {45.3, 57.1, 62.2, 69.3})
  {
    const double hz = 440.0 * std::exp2((note - 69.0) / 12.0);
    std::vector<double> partials;
    for (int h = 1; h <= 20 && h * hz < rate / 2; ++h)
      partials.push_back(0.5 / h);
    const auto tone = MTestSignals::Harmonic(44100, hz, rate, partials);
    MLivePitchDetector detector;
    detector.Configure(rate);
    for (std::size_t at = 0; at + 256 <= tone.size(); at += 256)
    {
      detector.Push(tone.data() + at, 256);
      const double cents = 1200.0 * std::log2(detector.Estimate() / hz);
      ASSERT_TRUE(at < 4096 || std::abs(cents) < 0.1) << "note " << note << " at " << at << ": " << cents;
    }
  }
  // 8 kHz read back at 79/80 of its speed (jumps are 4 whole cycles); RMS over 79 cycles.
  const auto sine = MTestSignals::Sine(22050, 8000.0, rate, 0.5f);
  std::vector<float> out(sine.size());
  MLiveShifter shifter;
  shifter.Configure(256, 1024);
  for (std::size_t at = 0; at + 256 <= sine.size(); at += 256)
    shifter.Process(sine.data() + at, out.data() + at, 256, 0.9875, 4.0 * rate / 8000.0, 0.0f, 1.0f);
  for (std::size_t at = 2048; at + 441 <= out.size(); at += 441)
    ASSERT_NEAR(MTestSignals::Rms(out, at, at + 441), 0.5 / std::sqrt(2.0), 2e-5) << "at " << at;
}
