// The corrector's per-frame shift steps (N = 1024: 512 bins, the peaks and regions of a sung
// vowel with breath noise), each beside its previous or plain form in the same run.
//
// The weighted region move, shifted up by 3 % (regions drift apart) and down by 3 %
// (neighbouring regions overlap), in three forms:
//   previous  the formant weights gathered into a table per bin (target bin of every bin, then
//             RatioOfGathered), then the move with masked four-bin loads and stores;
//   tables    the same tables, then the current MoveRegions;
//   envelope  the current MoveRegions reading the envelope at the target itself (Keep formants 1).
// The envelope smoothing (three poles), at the portable level and at the processor's best.
// After Google Benchmark's table it prints
//   shift ratio=<r> previous_ns=... tables_ns=... envelope_ns=... speedup=<previous / envelope>
//   smoothing portable_ns=... best_ns=... speedup=<portable / best>
// The previous move needs AVX2 and FMA; without them its column reads 0 and the speed-up n/a.

#include "vector/MVector.h"

#include "MCapturingReporter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TONVERA_SHIFT_BENCH_PREVIOUS 1
#else
#define TONVERA_SHIFT_BENCH_PREVIOUS 0
#endif

namespace
{
constexpr int kBins = 512;
constexpr float kMaxGain = 4.0f;

#if TONVERA_SHIFT_BENCH_PREVIOUS
// The move as it was: every step of four bins reads and writes the target with masked loads and
// stores, which a following overlapping load has to wait for. Compiled for AVX2 alone and run
// only when the processor has it.
__attribute__((target("avx2,fma"))) void PreviousMoveRegions(const MVector::MShiftSource& source,
                                                             const MVector::MRegionMove* moves, int count,
                                                             const MVector::MShiftTarget& target)
{
  const __m256i pairIndex = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
  const __m256i laneNumbers = _mm256_setr_epi64x(0, 1, 2, 3);
  for (int r = 0; r < count; ++r)
  {
    const MVector::MRegionMove& move = moves[r];
    const __m256d angle = _mm256_set1_pd(move.angle);
    const __m256 cosine = _mm256_set1_ps(move.cosine);
    const __m256 sine = _mm256_set1_ps(move.sine);
    for (int j = move.first; j < move.end; j += 4)
    {
      const int t = j + move.shift;
      const __m256i inRegion = _mm256_cmpgt_epi64(_mm256_set1_epi64x(move.end - j), laneNumbers);
      const __m128i inRegion32 = _mm256_castsi256_si128(
          _mm256_permutevar8x32_epi32(inRegion, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
      const __m128 scale = _mm_maskload_ps(source.weight + j, inRegion32);
      const __m256d v = _mm256_cvtps_pd(_mm_mul_ps(_mm_maskload_ps(source.magnitude + j, inRegion32), scale));
      const __m256d loudest = _mm256_maskload_pd(target.loudest + t, inRegion);
      const __m256i wins =
          _mm256_and_si256(_mm256_castpd_si256(_mm256_cmp_pd(v, loudest, _CMP_GT_OQ)), inRegion);
      if (_mm256_testz_si256(wins, wins))
        continue;
      _mm256_maskstore_pd(target.loudest + t, wins, v);
      _mm256_maskstore_pd(
          target.phase + t, wins,
          _mm256_add_pd(_mm256_cvtps_pd(_mm_maskload_ps(source.phase + j, inRegion32)), angle));
      const __m256 pairs = _mm256_maskload_ps(source.pairs + 2 * j, inRegion);
      const __m256 rotated =
          _mm256_addsub_ps(_mm256_mul_ps(pairs, cosine), _mm256_mul_ps(_mm256_permute_ps(pairs, 0xB1), sine));
      _mm256_maskstore_ps(
          target.pairs + 2 * t, wins,
          _mm256_mul_ps(rotated, _mm256_permutevar8x32_ps(_mm256_castps128_ps256(scale), pairIndex)));
    }
  }
}
#endif

// One analysed frame: spectrum, magnitudes, phases, envelope and the regions around its peaks.
struct Frame
{
  std::vector<float> pairs = std::vector<float>(2 * kBins);
  std::vector<float> magnitude = std::vector<float>(kBins);
  std::vector<float> phase = std::vector<float>(kBins);
  std::vector<float> envelope = std::vector<float>(kBins);
  std::vector<std::int32_t> peaks = std::vector<std::int32_t>(kBins);
  std::vector<std::int32_t> bounds = std::vector<std::int32_t>(kBins + 1);
  int peakCount = 0;
};

Frame VoiceFrame()
{
  Frame f;
  std::uint32_t noise = 99;
  const double binHz = 44100.0 / 1024.0;
  for (int k = 0; k < kBins; ++k)
  {
    double re = 0.0;
    double im = 0.0;
    for (int h = 1; h * 190.0 < 5000.0; ++h)
    {
      const double offset = k - h * 190.0 / binHz;
      const double formants = 1.0 / (1.0 + std::pow((h * 190.0 - 700.0) / 150.0, 2.0)) + 0.05;
      const double amplitude = 60.0 * formants / h * std::exp(-offset * offset);
      re += amplitude * std::cos(h * 1.3);
      im += amplitude * std::sin(h * 1.3);
    }
    noise = noise * 1664525u + 1013904223u;
    re += 0.2 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    noise = noise * 1664525u + 1013904223u;
    im += 0.2 * (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
    const std::size_t u = static_cast<std::size_t>(k);
    f.pairs[2 * u] = static_cast<float>(re);
    f.pairs[2 * u + 1] = static_cast<float>(im);
  }
  MVector::MagnitudeAndPhase(f.pairs.data(), f.magnitude.data(), f.phase.data(), kBins);
  f.envelope = f.magnitude;
  const float poles[3] = {0.7f, 0.5f, 0.3f};
  MVector::SmoothTwoSided(f.envelope.data(), kBins, poles, 3, 1e-15f);
  MVector::PeaksAndValleys(f.magnitude.data(), kBins, f.peaks.data(), f.bounds.data(), &f.peakCount);
  f.bounds[0] = 1;
  f.bounds[static_cast<std::size_t>(f.peakCount)] = kBins;
  return f;
}

// The moves of a shift by `ratio`, built as the corrector builds them.
std::vector<MVector::MRegionMove> Moves(const Frame& f, double ratio)
{
  std::vector<MVector::MRegionMove> moves;
  for (int i = 0; i < f.peakCount; ++i)
  {
    const int p = f.peaks[static_cast<std::size_t>(i)];
    const int d = static_cast<int>(std::lround(p * ratio)) - p;
    const int hi = f.bounds[static_cast<std::size_t>(i) + 1];
    if (hi + d > kBins)
      break;
    const int lo = std::max(f.bounds[static_cast<std::size_t>(i)], 1 - d);
    const double angle = 0.1 * i;
    moves.push_back(
        {lo, hi, d, angle, static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))});
  }
  return moves;
}

enum Form
{
  kPrevious,
  kTables,
  kEnvelope
};

void Shift(benchmark::State& state)
{
  const Form form = static_cast<Form>(state.range(0));
  const double ratio = state.range(1) > 0 ? 1.03 : 1.0 / 1.03;
#if !TONVERA_SHIFT_BENCH_PREVIOUS
  if (form == kPrevious)
  {
    state.SkipWithError("no AVX2");
    return;
  }
#endif
  if (form == kPrevious && !MVector::HasAvx2Fma())
  {
    state.SkipWithError("no AVX2");
    return;
  }
  const Frame f = VoiceFrame();
  const std::vector<MVector::MRegionMove> moves = Moves(f, ratio);
  std::vector<std::int32_t> shifts(kBins + 8), targets(kBins);
  std::vector<float> weights(kBins);
  std::vector<double> loudest(kBins), phases(kBins);
  std::vector<float> out(2 * kBins);
  const int moved = moves.empty() ? 1 : moves.back().end;
  for (auto _ : state)
  {
    MVector::ZeroDoubles(loudest.data(), kBins);
    MVector::ZeroFloats(out.data(), 2 * kBins);
    MVector::MShiftSource source{f.pairs.data(), f.magnitude.data(), f.phase.data(), nullptr, 1.0, nullptr,
                                 kMaxGain};
    if (form == kEnvelope)
    {
      source.envelope = f.envelope.data();
    }
    else
    {
      // The weight tables as the formant path builds them: every bin's target, then the ratios.
      for (const MVector::MRegionMove& m : moves)
        for (int j = m.first; j < m.end; ++j)
          shifts[static_cast<std::size_t>(j)] = m.shift;
      for (int j = 1; j < moved; ++j)
      {
        const float position = std::clamp(static_cast<float>(j + shifts[static_cast<std::size_t>(j)]), 0.0f,
                                          static_cast<float>(kBins - 1));
        targets[static_cast<std::size_t>(j)] = static_cast<std::int32_t>(position);
      }
      MVector::RatioOfGathered(f.envelope.data(), targets.data() + 1, f.envelope.data() + 1, moved - 1,
                               kMaxGain, 1.0f, weights.data() + 1);
      source.weight = weights.data();
    }
    const MVector::MShiftTarget target{loudest.data(), phases.data(), out.data()};
#if TONVERA_SHIFT_BENCH_PREVIOUS
    if (form == kPrevious)
      PreviousMoveRegions(source, moves.data(), static_cast<int>(moves.size()), target);
    else
#endif
      MVector::MoveRegions(source, moves.data(), static_cast<int>(moves.size()), target);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Shift)
    ->ArgsProduct({{kPrevious, kTables, kEnvelope}, {1, -1}})
    ->Unit(benchmark::kNanosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", MCapturingReporter::Min);

// The envelope of the frame, three smoothing poles, at level 0 (argument 0) or the best level.
void Smoothing(benchmark::State& state)
{
  const Frame f = VoiceFrame();
  std::vector<float> envelope(kBins);
  const float poles[3] = {0.7f, 0.5f, 0.3f};
  const int level = MVector::SetLevel(state.range(0) == 0 ? 0 : MVector::MaxLevel());
  for (auto _ : state)
  {
    MVector::CopyFloats(f.magnitude.data(), envelope.data(), kBins);
    MVector::SmoothTwoSided(envelope.data(), kBins, poles, 3, 1e-15f);
    benchmark::DoNotOptimize(envelope.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel("level " + std::to_string(level));
  MVector::SetLevel(MVector::MaxLevel());
}

BENCHMARK(Smoothing)->Arg(0)->Arg(1)->Repetitions(5)->ComputeStatistics("min", MCapturingReporter::Min);
} // namespace

int main(int argc, char** argv)
{
  MCapturingReporter reporter;
  if (!reporter.RunAll(argc, argv))
    return 1;
  for (int up : {1, -1})
  {
    const auto ns = [&](Form form) {
      return reporter.Fastest("Shift/" + std::to_string(static_cast<int>(form)) + "/" + std::to_string(up));
    };
    const double previous = ns(kPrevious);
    const double envelope = ns(kEnvelope);
    std::printf("shift ratio=%.4f previous_ns=%.0f tables_ns=%.0f envelope_ns=%.0f speedup=",
                up > 0 ? 1.03 : 1.0 / 1.03, previous, ns(kTables), envelope);
    if (previous > 0.0 && envelope > 0.0)
      std::printf("%.2f\n", previous / envelope);
    else
      std::printf("n/a\n");
  }
  for (const char* name : {"Smoothing"})
  {
    const double portable = reporter.Fastest(std::string(name) + "/0");
    const double best = reporter.Fastest(std::string(name) + "/1");
    std::printf("%s portable_ns=%.0f best_ns=%.0f speedup=", "smoothing", portable, best);
    if (portable > 0.0 && best > 0.0)
      std::printf("%.2f\n", portable / best);
    else
      std::printf("n/a\n");
  }
  return 0;
}
