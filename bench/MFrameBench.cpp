// Cost of the spectral frame engine (N = 1024, oversampling 4, synthesis window) per
// second of mono 44.1 kHz audio, in host blocks of 512 samples, against the bare forward
// and inverse transforms of the same number of frames in the same run. After Google
// Benchmark's own table it prints
//   frame N=1024 os=4 cost_per_audio_second_us=... rtf=... ratio_to_fft=...
// where the cost is CPU time per second of audio, rtf is that time over the audio's
// duration (lower is faster) and ratio_to_fft the engine's cost over the bare
// transforms' cost.

#include "dsp/MAudioFFTProcessor.h"
#include "vector/MVector.h"

#include "bench/MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kSampleRate = 44100;
constexpr int kFrameSize = 1024;
constexpr int kOversampling = 4;
constexpr int kBlock = 512;

// Frames the engine runs for one second of audio (after its first frame): one per hop.
constexpr int kFramesPerSecond = kSampleRate / (kFrameSize / kOversampling);

std::vector<float> Noise(std::size_t samples)
{
  std::vector<float> x(samples);
  std::uint32_t state = 1;
  for (float& v : x)
  {
    state = state * 1664525u + 1013904223u;
    v = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  }
  return x;
}

void EngineOneSecond(benchmark::State& state)
{
  auto engine = std::make_unique<MAudioFFTProcessor>();
  engine->SetFrameSize(kFrameSize);
  engine->SetOversampling(kOversampling);
  engine->SetSynthesisWindow(true);
  engine->Resize();
  engine->Reset();
  const std::vector<float> input = Noise(kSampleRate);
  std::vector<float> output(input.size());
  for (auto _ : state)
  {
    for (int at = 0; at < kSampleRate; at += kBlock)
    {
      const int length = std::min(kBlock, kSampleRate - at);
      engine->Process(input.data() + at, output.data() + at, length);
    }
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
}

void BareTransformsOneSecond(benchmark::State& state)
{
  MVector::MRealFFTSetup* setup = nullptr;
  MVector::CreateRealFFT(&setup, 10, MVector::kNoNormalisation, 0);
  int bytes = 0;
  MVector::RealFFTWorkSize(setup, &bytes);
  unsigned char* work = MVector::Allocate(bytes > 64 ? bytes : 64);
  std::vector<float> frame = Noise(kFrameSize);
  for (auto _ : state)
  {
    for (int f = 0; f < kFramesPerSecond; ++f)
    {
      MVector::ForwardRealFFT(frame.data(), setup, work);
      MVector::InverseRealFFT(frame.data(), setup, work);
      // Keep the values bounded: forward then inverse multiplies by N.
      MVector::MultiplyByScalar(1.0f / kFrameSize, frame.data(), kFrameSize);
    }
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  MVector::Free(work);
  MVector::FreeRealFFT(setup);
}

BENCHMARK(EngineOneSecond)->Unit(benchmark::kMicrosecond);
BENCHMARK(BareTransformsOneSecond)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;

  const double engine = reporter.Micros("EngineOneSecond");
  const double bare = reporter.Micros("BareTransformsOneSecond");
  if (engine < 0.0 || bare <= 0.0)
    return 0; // filtered out
  std::printf("frame N=%d os=%d cost_per_audio_second_us=%.1f rtf=%.6f ratio_to_fft=%.3f\n", kFrameSize,
              kOversampling, engine, engine / 1e6, engine / bare);
  return 0;
}
