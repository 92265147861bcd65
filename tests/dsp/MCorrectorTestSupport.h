#pragma once
// Test owner, set-up and independent measurements for the corrector suites.

#include "dsp/MNoteTracker.h"
#include "dsp/MTonveraCorrectorOwner.h"
#include "dsp/MTonveraFFTProcessor.h"

#include <cmath>
#include <memory>
#include <vector>

namespace MCorrectorTest
{
constexpr int kFrameSize = 1024;

/// An owner with plain fields, standing in for the effect.
class TestOwner : public MTonveraCorrectorOwner
{
public:
  TestOwner(double sampleRate, double speed, double depth);

  double DryGain() const override { return dry; }
  double WetGain() const override { return wet; }
  double KeepFormants() const override { return keep; }
  double FormantShift() const override { return formantShift; }
  double CorrectionRatio() const override { return ratio; }
  void SetCorrectionRatio(double r) override { ratio = r; }
  MNoteTracker& Tracker() override { return tracker; }
  void SetDisplayNotes(double in, double out, int chosen) override
  {
    displayInput = in;
    displayOutput = out;
    displayChosen = chosen;
  }
  MSynthesisPhaseStore& PhaseStore(int channel) override { return stores[channel]; }
  bool HighQuality() const override { return high; }

  double dry = 0.0;
  double wet = 1.0;
  double keep = 0.0;
  double formantShift = 0.0;
  double ratio = 1.0;
  bool high = false;
  double displayInput = 48.0;
  double displayOutput = 48.0;
  int displayChosen = 48;
  MNoteTracker tracker;
  MSynthesisPhaseStore stores[8];
};

/// A corrector configured as the effect configures it (N = 1024, oversampling 4,
/// synthesis window on) for `channel`, detecting only on channel 0.
std::unique_ptr<MTonveraFFTProcessor> MakeCorrector(TestOwner& owner, double sampleRate, int channel);

/// Runs the channels through their correctors in blocks of `block` samples, channel 0
/// first in each block as the effect does; answers the outputs.
std::vector<std::vector<float>> RunChannels(std::vector<MTonveraFFTProcessor*> correctors,
                                            const std::vector<std::vector<float>>& inputs, int block);

/// Runs one channel's input through a fresh corrector of `owner` for `channel` (set up as
/// MakeCorrector does, with `channelRatio`) in blocks of `block` samples; answers the output.
std::vector<float> Correct(TestOwner& owner, double sampleRate, int channel, const std::vector<float>& input,
                           int block, double channelRatio = 1.0);

/// Fundamental frequency of x around `expectedHz`, measured without any spectral
/// analysis: the normalised correlation of x[begin, begin + length) with itself
/// `periods` periods later is maximised over lags within 3 % of the expected one and
/// refined by a parabola through the best lag and its neighbours.
double MeasureFrequency(const std::vector<float>& x, std::size_t begin, std::size_t length, double expectedHz,
                        double sampleRate, int periods);

/// 1200 log2(a / b).
inline double Cents(double a, double b)
{
  return 1200.0 * std::log2(a / b);
}

/// Frequency of a (continuous) note number: 440 Hz is note 57.
inline double FrequencyOfNote(double note)
{
  return 440.0 * std::exp2((note - 57.0) / 12.0);
}
} // namespace MCorrectorTest
