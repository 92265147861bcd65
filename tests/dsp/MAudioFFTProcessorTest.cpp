#include "dsp/MAudioFFTProcessor.h"

#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numbers>
#include <vector>

namespace
{
// Block patterns a host may use: fixed lengths and a pseudo-random mix (0 means random).
const int kBlockLengths[] = {1, 7, 64, 1000, 4096, 0};

std::vector<int> BlockSequence(int pattern, std::size_t total)
{
  std::vector<int> blocks;
  std::uint32_t state = 12345;
  std::size_t done = 0;
  while (done < total)
  {
    int length = pattern;
    if (pattern == 0)
    {
      state = state * 1664525u + 1013904223u;
      length = 1 + static_cast<int>((state >> 8) % 1500u);
    }
    length = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(length), total - done));
    blocks.push_back(length);
    done += static_cast<std::size_t>(length);
  }
  return blocks;
}

void Configure(MAudioFFTProcessor& processor, int frameSize, int oversampling, bool synthesisWindow)
{
  processor.SetFrameSize(frameSize);
  processor.SetOversampling(oversampling);
  processor.SetSynthesisWindow(synthesisWindow);
  processor.Resize();
  processor.Reset();
}

std::vector<float> Stream(MAudioFFTProcessor& processor, const std::vector<float>& input, int pattern)
{
  std::vector<float> output(input.size(), -99.0f);
  std::size_t at = 0;
  for (int length : BlockSequence(pattern, input.size()))
  {
    processor.Process(input.data() + at, output.data() + at, length);
    at += static_cast<std::size_t>(length);
  }
  return output;
}

// Largest |output[t] - input[t - delay]| over t >= delay.
double MaxDeviation(const std::vector<float>& input, const std::vector<float>& output, std::size_t delay)
{
  double worst = 0.0;
  for (std::size_t t = delay; t < output.size(); ++t)
    worst = std::max(worst, std::fabs(static_cast<double>(output[t]) - input[t - delay]));
  return worst;
}

bool LeadingZeros(const std::vector<float>& output, std::size_t count)
{
  return std::all_of(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(count),
                     [](float x) { return x == 0.0f; });
}
} // namespace

// The corrector's configuration: oversampling 4, synthesis window, complementary Hann.
class MAudioFFTProcessorIdentity : public ::testing::TestWithParam<int>
{};

TEST_P(MAudioFFTProcessorIdentity, UntouchedSpectrumReturnsTheInputDelayedByNForEveryBlockPattern)
{
  const int n = GetParam();
  // Long enough for the input and output windows to reach the ends of their arrays and move
  // back several times at every size.
  const std::vector<float> input = MTestSignals::WhiteNoise(static_cast<std::size_t>(40 * n + 3001), 1.0f, 7);
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, n, 4, true);
  ASSERT_EQ(processor->LatencySamples(), n);

  std::vector<float> reference;
  double worst = 0.0;
  for (int pattern : kBlockLengths)
  {
    processor->Reset();
    const std::vector<float> output = Stream(*processor, input, pattern);
    SCOPED_TRACE(::testing::Message() << "N " << n << ", block pattern " << pattern);
    EXPECT_TRUE(LeadingZeros(output, static_cast<std::size_t>(n)));
    // Full scale is 1; float transforms of these sizes round at about 1e-6.
    const double deviation = MaxDeviation(input, output, static_cast<std::size_t>(n));
    worst = std::max(worst, deviation);
    EXPECT_LT(deviation, 1e-4);
    // The frames see the same samples whatever the blocks, so the output is identical.
    if (reference.empty())
      reference = output;
    else
      EXPECT_EQ(output, reference);
  }
  std::printf("identity at N %d: worst deviation %.3g of full scale\n", n, worst);
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, MAudioFFTProcessorIdentity, ::testing::Values(512, 1024, 4096));

namespace
{
// Scales the spectrum it is handed and notes which bin of 1 .. N/2 - 1 was loudest.
class MScalingProcessor : public MAudioFFTProcessor
{
public:
  void ProcessSpectrum(int frameSize, float* spectrum) override
  {
    ++m_frames;
    double loudestPower = -1.0;
    for (int k = 1; k < frameSize / 2; ++k)
    {
      const double power = std::hypot(spectrum[2 * k], spectrum[2 * k + 1]);
      if (power > loudestPower)
      {
        loudestPower = power;
        m_loudestBin = k;
      }
    }
    for (int i = 0; i < frameSize; ++i)
      spectrum[i] *= 0.25f;
  }

  int m_frames = 0;
  int m_loudestBin = -1;
};
} // namespace

// Without the synthesis window the plain complementary Hann sums to a constant at any hop of
// N/2^k; with it, the squared window needs at least four frames per sample. One processor goes
// through them all after a stream of something else: each set-up, the same one again first,
// starts a fresh stream.
TEST(MAudioFFTProcessor, OtherSettingsAreTransparentEachStartsAFreshStreamAndTheHookReachesTheOutput)
{
  struct Case
  {
    int n;
    int oversampling;
    bool synthesisWindow;
  };
  const Case cases[] = {{1024, 4, true}, {256, 8, false}, {256, 2, false},
                        {256, 4, false}, {256, 8, true},  {256, 16, true}};
  const std::vector<float> input = MTestSignals::WhiteNoise(6000, 1.0f, 3);
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, 1024, 4, true);
  Stream(*processor, MTestSignals::Sine(3333, 1000.0, 44100.0), 64);
  for (const Case& c : cases)
  {
    SCOPED_TRACE(::testing::Message() << "N " << c.n << ", oversampling " << c.oversampling << ", synthesis "
                                      << c.synthesisWindow);
    Configure(*processor, c.n, c.oversampling, c.synthesisWindow);
    ASSERT_EQ(processor->LatencySamples(), c.n);
    const std::vector<float> output = Stream(*processor, input, 0);
    EXPECT_TRUE(LeadingZeros(output, static_cast<std::size_t>(c.n)));
    EXPECT_LT(MaxDeviation(input, output, static_cast<std::size_t>(c.n)), 1e-4);
  }

  // The spectrum hook gets one spectrum per hop, and its changes reach the output.
  auto scaling = std::make_unique<MScalingProcessor>();
  Configure(*scaling, 1024, 4, true);
  // Bin 37 of a 1024-point frame at 44.1 kHz.
  const std::vector<float> tone = MTestSignals::Sine(14 * 256 + 100, 37.0 * 44100.0 / 1024.0, 44100.0);
  const std::vector<float> scaled = Stream(*scaling, tone, 7);
  // A frame completes after every hop of input, the first one included.
  EXPECT_EQ(scaling->m_frames, 14);
  EXPECT_EQ(scaling->m_loudestBin, 37);
  double worst = 0.0;
  for (std::size_t t = 1024; t < scaled.size(); ++t)
    worst = std::max(worst, std::fabs(scaled[t] - 0.25 * tone[t - 1024]));
  EXPECT_LT(worst, 1e-4);
}
