// Speed of one pitch-corrector channel with pitch detection (the channel-0 corrector of
// the effect) per second of mono 44.1 kHz audio: N = 1024, oversampling 4, the effect's
// default settings (Depth and Speed 0.5, full wet, Keep formants 1, so the envelope
// path runs), host blocks of 512 samples, on a voice-like tone (a gliding, vibrating
// fundamental with formants and a little breath noise). After Google Benchmark's own
// table it prints
//   corrector rtf=<seconds of audio processed per second of CPU time>
// so 600 means six hundred times faster than real time, and
//   corrector note_hold_ratio=<CPU time with 25 cents of Note hold / CPU time without>
// the same second with the tracker holding its notes (the vibrato of the tone crosses the
// midpoints between notes, so the hold decides often); about 1 means the hold costs nothing,
// and
//   corrector high_ratio=<CPU time in High quality / CPU time in Standard>
// the same second through the high-quality shift (harmonic model), at the same settings.

#include "dsp/MNoteTracker.h"
#include "dsp/MTonveraCorrectorOwner.h"
#include "dsp/MTonveraFFTProcessor.h"

#include "MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

namespace
{
constexpr int kSampleRate = 44100;
constexpr int kBlock = 512;

class BenchOwner : public MTonveraCorrectorOwner
{
public:
  BenchOwner()
  {
    tracker.SetSampleRate(kSampleRate);
    tracker.UpdateCoefficients();
    for (MSynthesisPhaseStore& s : stores)
      s.Clear();
  }
  double DryGain() const override { return 0.0; }
  double WetGain() const override { return 1.0; }
  double KeepFormants() const override { return 1.0; }
  double FormantShift() const override { return 0.0; }
  double CorrectionRatio() const override { return ratio; }
  void SetCorrectionRatio(double r) override { ratio = r; }
  MNoteTracker& Tracker() override { return tracker; }
  void SetDisplayNotes(double, double, int) override {}
  MSynthesisPhaseStore& PhaseStore(int channel) override { return stores[channel]; }
  bool HighQuality() const override { return high; }

  double ratio = 1.0;
  bool high = false;
  MNoteTracker tracker;
  MSynthesisPhaseStore stores[8];
};

// One second of a sung vowel: fundamental gliding from 180 to 200 Hz with a 5.5 Hz
// vibrato of +/-30 cents, partials up to 5 kHz shaped by formants at 700 and 1200 Hz,
// and breath noise 40 dB down.
std::vector<float> VoiceLikeSecond()
{
  std::vector<float> x(kSampleRate);
  double phase = 0.0;
  std::uint32_t noise = 12345;
  for (int i = 0; i < kSampleRate; ++i)
  {
    const double t = static_cast<double>(i) / kSampleRate;
    const double f0 = (180.0 + 20.0 * t) * std::exp2(0.3 / 12.0 * std::sin(2.0 * std::numbers::pi * 5.5 * t));
    phase += 2.0 * std::numbers::pi * f0 / kSampleRate;
    double v = 0.0;
    for (int k = 1; k * f0 < 5000.0; ++k)
    {
      const double f = k * f0;
      const double formants = 1.0 / (1.0 + std::pow((f - 700.0) / 150.0, 2.0)) +
                              0.6 / (1.0 + std::pow((f - 1200.0) / 200.0, 2.0)) + 0.05;
      v += formants / k * std::sin(k * phase);
    }
    noise = noise * 1664525u + 1013904223u;
    v += 0.003 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    x[static_cast<std::size_t>(i)] = static_cast<float>(0.2 * v);
  }
  return x;
}

void RunCorrectorOneSecond(benchmark::State& state, double holdCents, bool high = false)
{
  auto owner = std::make_unique<BenchOwner>();
  owner->tracker.SetHoldCents(holdCents);
  owner->high = high;
  auto corrector = std::make_unique<MTonveraFFTProcessor>();
  corrector->SetOwner(owner.get());
  corrector->SetChannelIndex(0);
  corrector->SetSynthesisWindow(true);
  corrector->SetOversampling(4);
  corrector->SetFrameSize(1024);
  corrector->SetSampleRate(kSampleRate);
  corrector->SetDetect(true);
  corrector->Reset();
  const std::vector<float> input = VoiceLikeSecond();
  std::vector<float> output(input.size());
  for (auto _ : state)
  {
    for (int at = 0; at < kSampleRate; at += kBlock)
    {
      const int length = std::min(kBlock, kSampleRate - at);
      corrector->Process(input.data() + at, output.data() + at, length);
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
}

void CorrectorOneSecond(benchmark::State& state)
{
  RunCorrectorOneSecond(state, 0.0);
}

void CorrectorOneSecondNoteHold(benchmark::State& state)
{
  RunCorrectorOneSecond(state, 25.0);
}

void CorrectorOneSecondHigh(benchmark::State& state)
{
  RunCorrectorOneSecond(state, 0.0, true);
}

BENCHMARK(CorrectorOneSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(CorrectorOneSecondNoteHold)->Unit(benchmark::kMicrosecond);
BENCHMARK(CorrectorOneSecondHigh)->Unit(benchmark::kMicrosecond);

// Keeps the CPU time per iteration: on a shared machine it is what other processes'
// load disturbs least.
} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  const double micros = reporter.Micros("CorrectorOneSecond");
  if (micros > 0.0)
    std::printf("corrector rtf=%.1f\n", 1e6 / micros);
  const double holdMicros = reporter.Micros("CorrectorOneSecondNoteHold");
  if (micros > 0.0 && holdMicros > 0.0)
    std::printf("corrector note_hold_ratio=%.3f\n", holdMicros / micros);
  const double highMicros = reporter.Micros("CorrectorOneSecondHigh");
  if (micros > 0.0 && highMicros > 0.0)
    std::printf("corrector high_ratio=%.3f\n", highMicros / micros);
  return 0;
}
