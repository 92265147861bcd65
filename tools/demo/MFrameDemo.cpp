// tonvera-frame-demo: streams a synthetic sung phrase through the spectral frame engine
// with the corrector's settings (N = 1024, oversampling 4, synthesis window) in
// host-sized blocks and prints the measured latency, how far the output strays from the
// delayed input, and what a second of mono 44.1 kHz audio costs. It also runs the
// stand-alone pitch detector over the phrase and compares each note with what was sung.
//
//   tonvera-frame-demo [--block SAMPLES] [--help]

#include "MSyntheticVoice.h"
#include "dsp/MAudioFFTProcessor.h"
#include "dsp/MPitchDetectorFFT.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int kFrameSize = 1024;
constexpr int kOversampling = 4;

void PrintHelp()
{
  std::printf("usage: tonvera-frame-demo [--block SAMPLES]\n"
              "  Streams a synthetic sung phrase through the spectral frame engine (N=%d,\n"
              "  oversampling %d, synthesis window) and reports latency, transparency and cost.\n"
              "  --block SAMPLES  host block length, 1..65536 (default 512)\n",
              kFrameSize, kOversampling);
}

void Configure(MAudioFFTProcessor& engine)
{
  engine.SetFrameSize(kFrameSize);
  engine.SetOversampling(kOversampling);
  engine.SetSynthesisWindow(true);
  engine.Resize();
  engine.Reset();
}

void Stream(MAudioFFTProcessor& engine, const std::vector<float>& input, std::vector<float>& output,
            int block)
{
  for (std::size_t at = 0; at < input.size(); at += static_cast<std::size_t>(block))
  {
    const int length =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), input.size() - at));
    engine.Process(input.data() + at, output.data() + at, length);
  }
}

// The lag (0 .. maxLag) at which the output best matches the input.
int CrossCorrelationLag(const std::vector<float>& input, const std::vector<float>& output, int maxLag)
{
  int best = 0;
  double bestValue = -1e300;
  for (int lag = 0; lag <= maxLag; ++lag)
  {
    double sum = 0.0;
    for (std::size_t t = static_cast<std::size_t>(lag); t < output.size(); ++t)
      sum += static_cast<double>(output[t]) * input[t - static_cast<std::size_t>(lag)];
    if (sum > bestValue)
    {
      bestValue = sum;
      best = lag;
    }
  }
  return best;
}

void PitchCheck(const std::vector<float>& voice, const std::vector<MSyntheticVoice::Note>& phrase)
{
  auto detector = std::make_unique<MPitchDetectorFFT>();
  detector->SetSampleRate(kSampleRate);
  const int n = detector->FrameSize();
  const int hop = detector->HopSize();

  // Report after each frame, tagged with the centre of the frame that produced it.
  std::vector<std::pair<double, double>> reports; // (centre time s, frequency Hz)
  long long seen = 0;
  for (std::size_t at = 0; at + static_cast<std::size_t>(hop) <= voice.size();
       at += static_cast<std::size_t>(hop))
  {
    detector->Process(voice.data() + at, hop);
    if (detector->ReportCount() != seen)
    {
      seen = detector->ReportCount();
      const double end = static_cast<double>(at + static_cast<std::size_t>(hop));
      reports.emplace_back((end - n / 2.0) / kSampleRate, detector->ReportedFrequency());
    }
  }

  std::printf("  pitch (stand-alone detector, N=%d, hop %d), median report per note:\n", n, hop);
  double start = 0.0;
  int index = 1;
  for (const auto& note : phrase)
  {
    // Only frames wholly inside the note, away from its glide and fades.
    const double half = n / 2.0 / kSampleRate;
    std::vector<double> inside;
    for (const auto& [time, frequency] : reports)
      if (time - half >= start + 0.05 && time + half <= start + note.seconds - 0.06)
        inside.push_back(frequency);
    if (inside.empty())
    {
      std::printf("    note %d sung %7.2f Hz: no frame lies wholly inside it\n", index, note.frequencyHz);
    }
    else
    {
      std::nth_element(inside.begin(), inside.begin() + static_cast<std::ptrdiff_t>(inside.size() / 2),
                       inside.end());
      const double median = inside[inside.size() / 2];
      std::printf(
          "    note %d sung %7.2f Hz, detected %7.2f Hz (%+.1f cents, %zu frames; vibrato +-35 cents)\n",
          index, note.frequencyHz, median, 1200.0 * std::log2(median / note.frequencyHz), inside.size());
    }
    start += note.seconds;
    ++index;
  }
}
} // namespace

int main(int argc, char** argv)
{
  int block = 512;
  for (int i = 1; i < argc; ++i)
  {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
    {
      PrintHelp();
      return 0;
    }
    if (std::strcmp(argv[i], "--block") == 0 && i + 1 < argc)
    {
      block = std::atoi(argv[++i]);
      if (block < 1 || block > 65536)
      {
        std::fprintf(stderr, "tonvera-frame-demo: block length must be 1..65536\n");
        return 2;
      }
      continue;
    }
    std::fprintf(stderr, "tonvera-frame-demo: unknown argument '%s' (try --help)\n", argv[i]);
    return 2;
  }

  const std::vector<MSyntheticVoice::Note> phrase = MSyntheticVoice::DefaultPhrase();
  const std::vector<float> voice = MSyntheticVoice::Sing(phrase, kSampleRate, 0.5f);
  const double seconds = static_cast<double>(voice.size()) / kSampleRate;
  std::printf("Tonvera spectral frame engine demo\n");
  std::printf("  signal: synthetic voice, %zu notes with vibrato, %.2f s at %.0f Hz, peak 0.50\n",
              phrase.size(), seconds, kSampleRate);
  std::printf("  engine: N=%d, oversampling %d, synthesis window on, host blocks of %d samples\n", kFrameSize,
              kOversampling, block);

  auto engine = std::make_unique<MAudioFFTProcessor>();
  Configure(*engine);
  std::vector<float> output(voice.size());
  Stream(*engine, voice, output, block);

  const int lag = CrossCorrelationLag(voice, output, 4 * kFrameSize);
  double deviation = 0.0;
  for (std::size_t t = static_cast<std::size_t>(lag); t < output.size(); ++t)
    deviation = std::max(
        deviation, std::fabs(static_cast<double>(output[t]) - voice[t - static_cast<std::size_t>(lag)]));
  const bool silentStart =
      std::all_of(output.begin(), output.begin() + kFrameSize, [](float x) { return x == 0.0f; });
  std::printf("  latency (cross-correlation): %d samples (%.2f ms); reported latency %d\n", lag,
              1000.0 * lag / kSampleRate, engine->LatencySamples());
  std::printf("  max deviation from the delayed input after the latency: %.3g (%.1f dBFS)\n", deviation,
              20.0 * std::log10(std::max(deviation, 1e-30)));
  std::printf("  first %d output samples exactly silent: %s\n", kFrameSize, silentStart ? "yes" : "no");

  // Cost: repeat the phrase until at least half a second of CPU time has been spent.
  // CPU time rather than wall time, so that other processes on the machine do not count.
  int passes = 0;
  const std::clock_t begin = std::clock();
  double cpuSeconds = 0.0;
  do
  {
    engine->Reset();
    Stream(*engine, voice, output, block);
    ++passes;
    cpuSeconds = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
  } while (cpuSeconds < 0.5 || passes < 3);
  const double perSecond = 1e6 * cpuSeconds / (passes * seconds);
  std::printf("  cost: %.1f us of CPU time per second of mono 44.1 kHz audio (%.0fx real time; %d passes)\n",
              perSecond, 1e6 / perSecond, passes);

  PitchCheck(voice, phrase);
  return lag == kFrameSize && deviation < 1e-4 && silentStart ? 0 : 1;
}
