// The oversampler must be a pure delay of exactly its reported latency for everything in the
// passband, keep the images of the upsampled signal far down, and reject what the effect
// produces above the host's Nyquist frequency when coming back down.

#include "core/plugin/MOversampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

namespace
{
constexpr int kAnalysis = 4096; // host samples analysed; tones sit exactly on bins of this length

std::vector<float> Tone(int samples, double cyclesPerSample)
{
  std::vector<float> x(static_cast<std::size_t>(samples));
  for (int i = 0; i < samples; ++i)
    x[static_cast<std::size_t>(i)] =
        static_cast<float>(std::sin(2.0 * std::numbers::pi * cyclesPerSample * i));
  return x;
}

// Amplitude of the component at `bin` of the last `length` samples (coherent: no window needed).
double Amplitude(const std::vector<float>& x, int length, int bin)
{
  const std::size_t start = x.size() - static_cast<std::size_t>(length);
  double re = 0.0;
  double im = 0.0;
  for (int n = 0; n < length; ++n)
  {
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(bin) * n / length;
    re += x[start + static_cast<std::size_t>(n)] * std::cos(phase);
    im -= x[start + static_cast<std::size_t>(n)] * std::sin(phase);
  }
  return 2.0 * std::hypot(re, im) / length;
}

std::vector<float> RoundTrip(MOversampler& up, MOversampler& down, const std::vector<float>& in, int factor)
{
  const int block = 256;
  std::vector<float> out(in.size());
  std::vector<float> high(static_cast<std::size_t>(block * factor));
  for (std::size_t at = 0; at < in.size(); at += block)
  {
    const int n = static_cast<int>(std::min<std::size_t>(block, in.size() - at));
    up.Upsample(in.data() + at, high.data(), n);
    down.Downsample(high.data(), out.data() + at, n, false);
  }
  return out;
}

struct Setting
{
  int factor;
  bool highQuality;
  int latency;
  double passband; // fraction of the host rate up to which the figures are checked
};

class MOversamplerRoundTrip : public ::testing::TestWithParam<Setting>
{};
} // namespace

TEST_P(MOversamplerRoundTrip, PassbandToneComesBackDelayedByExactlyTheLatency)
{
  const Setting setting = GetParam();
  MOversampler up;
  MOversampler down;
  up.Configure(setting.factor, setting.highQuality, 48000.0);
  down.Configure(setting.factor, setting.highQuality, 48000.0);
  ASSERT_EQ(up.GetLatency(), setting.latency);
  ASSERT_EQ(MOversampler::LatencyFor(setting.factor, setting.highQuality), setting.latency);

  double worstRippleDb = 0.0;
  double worstErrorDb = -400.0;
  const int total = setting.latency + 400 + kAnalysis;
  for (int bin = 40; bin <= static_cast<int>(setting.passband * kAnalysis); bin += 41)
  {
    const double frequency = static_cast<double>(bin) / kAnalysis;
    const std::vector<float> in = Tone(total, frequency);
    const std::vector<float> out = RoundTrip(up, down, in, setting.factor);
    up.Reset();
    down.Reset();

    // out[n] must equal in[n - latency]: compare over the analysed tail.
    double signal = 0.0;
    double error = 0.0;
    for (int n = total - kAnalysis; n < total; ++n)
    {
      const double expected = in[static_cast<std::size_t>(n - setting.latency)];
      const double difference = out[static_cast<std::size_t>(n)] - expected;
      signal += expected * expected;
      error += difference * difference;
    }
    const double gainDb = 20.0 * std::log10(Amplitude(out, kAnalysis, bin));
    worstRippleDb = std::max(worstRippleDb, std::fabs(gainDb));
    worstErrorDb = std::max(worstErrorDb, 10.0 * std::log10(error / signal));
  }
  std::printf("[ figures  ] factor %d %s: passband ripple %.5f dB, delayed-copy error %.1f dB\n",
              setting.factor, setting.highQuality ? "high quality" : "standard", worstRippleDb, worstErrorDb);
  EXPECT_LT(worstRippleDb, 0.1);
  // A delay off by one sample would leave an error near 0 dB at these frequencies.
  EXPECT_LT(worstErrorDb, -40.0);
}

INSTANTIATE_TEST_SUITE_P(FactorsAndQualities, MOversamplerRoundTrip,
                         ::testing::Values(Setting{2, true, 3072, 0.45}, Setting{4, true, 1536, 0.45},
                                           Setting{2, false, 768, 0.40}, Setting{4, false, 384, 0.40}));

TEST(MOversampler, UpsampledImagesStayMoreThan90DecibelsDownAtHighQuality)
{
  for (const int factor : {2, 4})
  {
    MOversampler up;
    up.Configure(factor, true, 44100.0);
    double worstDb = -400.0;
    for (int bin = 41; bin <= static_cast<int>(0.45 * kAnalysis); bin += 97)
    {
      const int total = up.GetLatency() + 400 + kAnalysis;
      const std::vector<float> in = Tone(total, static_cast<double>(bin) / kAnalysis);
      std::vector<float> high(static_cast<std::size_t>(total * factor));
      up.Upsample(in.data(), high.data(), total);
      up.Reset();
      const int length = kAnalysis * factor;
      const double wanted = Amplitude(high, length, bin);
      EXPECT_NEAR(wanted, 1.0, 0.0116) << "the upsampled tone keeps its level (0.1 dB)";
      // Images of the tone sit at k * hostRate +- f for k = 1 .. factor / 2.
      for (int k = 1; k <= factor / 2; ++k)
      {
        for (const int image : {k * kAnalysis - bin, k * kAnalysis + bin})
        {
          if (image >= length / 2)
            continue;
          worstDb = std::max(worstDb, 20.0 * std::log10(Amplitude(high, length, image) / wanted));
        }
      }
    }
    std::printf("[ figures  ] factor %d high quality: strongest image %.1f dB\n", factor, worstDb);
    EXPECT_LT(worstDb, -90.0) << "factor " << factor;
  }
}

TEST(MOversampler, DownsamplingRejectsContentAboveTheHostPassbandAtHighQuality)
{
  for (const int factor : {2, 4})
  {
    MOversampler down;
    down.Configure(factor, true, 44100.0);
    double worstDb = -400.0;
    const int length = kAnalysis * factor;
    // Tones from 0.55 of the host rate up to the oversampled Nyquist frequency.
    for (int bin = static_cast<int>(0.55 * kAnalysis) + 1; bin < length / 2; bin += 173)
    {
      const int total = down.GetLatency() + 400 + kAnalysis;
      const std::vector<float> high = Tone(total * factor, static_cast<double>(bin) / length);
      std::vector<float> out(static_cast<std::size_t>(total));
      down.Downsample(high.data(), out.data(), total, false);
      down.Reset();
      double power = 0.0;
      for (int n = total - kAnalysis; n < total; ++n)
        power += static_cast<double>(out[static_cast<std::size_t>(n)]) * out[static_cast<std::size_t>(n)];
      // Level relative to a full-scale sine (mean power 0.5).
      worstDb = std::max(worstDb, 10.0 * std::log10(power / kAnalysis / 0.5 + 1e-30));
    }
    std::printf("[ figures  ] factor %d high quality: strongest alias %.1f dB\n", factor, worstDb);
    EXPECT_LT(worstDb, -90.0) << "factor " << factor;
  }

  // Accumulating adds to the output: silence leaves it as it was.
  MOversampler down;
  down.Configure(2, false, 48000.0);
  std::vector<float> high(512, 0.0f);
  std::vector<float> out(256, 0.25f);
  down.Downsample(high.data(), out.data(), 256, true);
  for (const float sample : out)
    ASSERT_FLOAT_EQ(sample, 0.25f);
}
