// Times one forward plus one inverse real transform of our FFT and of FFTW single precision
// (planned with FFTW_MEASURE, r2c then c2r) for each size, then prints one summary line per
// size:  fft N=<n> ours_ns=<ns per pair> fftw_ns=<ns per pair> ratio=<ours / fftw>
// Times are processor time of the benchmark thread (not wall time, which on a shared machine
// counts other programs' slices too). Each case runs several short repetitions and the
// fastest is taken, the figure least disturbed by cache and frequency noise.

#include "vector/MVector.h"

#include "MCapturingReporter.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr int kSizes[] = {512, 1024, 2048, 4096};

void FillNoise(float* x, int n)
{
  unsigned state = 12345;
  for (int i = 0; i < n; ++i)
  {
    state = state * 1664525u + 1013904223u;
    x[i] = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
  }
}

int Order(int n)
{
  int order = 0;
  while ((1 << order) < n)
    ++order;
  return order;
}

void Ours(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  MVector::MRealFFTSetup* setup = nullptr;
  MVector::CreateRealFFT(&setup, Order(n), MVector::kNoNormalisation, 0);
  int bytes = 0;
  MVector::RealFFTWorkSize(setup, &bytes);
  unsigned char* work = MVector::Allocate(bytes);
  float* x = reinterpret_cast<float*>(MVector::Allocate(n * static_cast<int>(sizeof(float))));
  FillNoise(x, n);
  const float scale = 1.0f / static_cast<float>(n);
  for (auto _ : state)
  {
    MVector::ForwardRealFFT(x, setup, work);
    MVector::InverseRealFFT(x, setup, work);
    // Keeps the data at its scale (the pair multiplies by n); the same cost is paid below.
    x[0] *= scale;
    benchmark::DoNotOptimize(x);
    benchmark::ClobberMemory();
  }
  MVector::Free(x);
  MVector::Free(work);
  MVector::FreeRealFFT(setup);
}

void Fftw(benchmark::State& state)
{
  const int n = static_cast<int>(state.range(0));
  float* x = fftwf_alloc_real(static_cast<std::size_t>(n));
  fftwf_complex* spectrum = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  const fftwf_plan forward = fftwf_plan_dft_r2c_1d(n, x, spectrum, FFTW_MEASURE);
  const fftwf_plan inverse = fftwf_plan_dft_c2r_1d(n, spectrum, x, FFTW_MEASURE);
  FillNoise(x, n);
  const float scale = 1.0f / static_cast<float>(n);
  for (auto _ : state)
  {
    fftwf_execute(forward);
    fftwf_execute(inverse);
    x[0] *= scale;
    benchmark::DoNotOptimize(x);
    benchmark::ClobberMemory();
  }
  fftwf_destroy_plan(forward);
  fftwf_destroy_plan(inverse);
  fftwf_free(spectrum);
  fftwf_free(x);
}

} // namespace

int main(int argc, char** argv)
{
  for (int n : kSizes)
  {
    for (auto [name, function] : {std::pair{"ours", &Ours}, std::pair{"fftw", &Fftw}})
    {
      benchmark::RegisterBenchmark((std::string("fft_") + name).c_str(), function)
          ->Arg(n)
          ->Unit(benchmark::kNanosecond)
          ->MinTime(0.2)
          ->Repetitions(5)
          ->ComputeStatistics("min", MCapturingReporter::Min)
          ->ReportAggregatesOnly(true);
    }
  }
  MCapturingReporter collector;
  if (!collector.RunAll(argc, argv))
    return 1;

  for (int n : kSizes)
  {
    const double ours = collector.Fastest("fft_ours/" + std::to_string(n));
    const double fftw = collector.Fastest("fft_fftw/" + std::to_string(n));
    std::printf("fft N=%d ours_ns=%.0f fftw_ns=%.0f ratio=%.2f\n", n, ours, fftw,
                fftw > 0 ? ours / fftw : 0.0);
  }
  std::fflush(stdout);
  return 0;
}
