#include "dsp/MAudioFFTProcessor.h"

#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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
{
};

TEST_P(MAudioFFTProcessorIdentity, UntouchedSpectrumReturnsTheInputDelayedByNForEveryBlockPattern)
{
  const int n = GetParam();
  const std::vector<float> input = MTestSignals::WhiteNoise(static_cast<std::size_t>(4 * n + 3001), 1.0f, 7);
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, n, 4, true);
  ASSERT_EQ(processor->LatencySamples(), n);

  std::vector<float> reference;
  for (int pattern : kBlockLengths)
  {
    processor->Reset();
    const std::vector<float> output = Stream(*processor, input, pattern);
    SCOPED_TRACE(::testing::Message() << "N " << n << ", block pattern " << pattern);
    EXPECT_TRUE(LeadingZeros(output, static_cast<std::size_t>(n)));
    // Full scale is 1; float transforms of these sizes round at about 1e-6.
    EXPECT_LT(MaxDeviation(input, output, static_cast<std::size_t>(n)), 1e-4);
    // The frames see the same samples whatever the blocks, so the output is identical.
    if (reference.empty())
      reference = output;
    else
      EXPECT_EQ(output, reference);
  }
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, MAudioFFTProcessorIdentity, ::testing::Values(512, 1024, 4096));

TEST(MAudioFFTProcessor, OtherUnitGainSettingsAreTransparentToo)
{
  // Without the synthesis window the plain complementary Hann sums to a constant at any
  // hop of N/2^k; with it, the squared window needs at least four frames per sample.
  struct Case
  {
    int oversampling;
    bool synthesisWindow;
  };
  const Case cases[] = {{8, false}, {2, false}, {4, false}, {8, true}, {16, true}};
  const std::vector<float> input = MTestSignals::WhiteNoise(6000, 1.0f, 3);
  for (const Case& c : cases)
  {
    auto processor = std::make_unique<MAudioFFTProcessor>();
    Configure(*processor, 256, c.oversampling, c.synthesisWindow);
    const std::vector<float> output = Stream(*processor, input, 0);
    SCOPED_TRACE(::testing::Message() << "oversampling " << c.oversampling << ", synthesis " << c.synthesisWindow);
    EXPECT_TRUE(LeadingZeros(output, 256));
    EXPECT_LT(MaxDeviation(input, output, 256), 1e-4);
  }
}

TEST(MAudioFFTProcessor, ResetStartsAFreshStreamWithNSamplesOfSilence)
{
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, 512, 4, true);
  const std::vector<float> first = MTestSignals::Sine(3333, 1000.0, 44100.0);
  Stream(*processor, first, 64);

  processor->Reset();
  const std::vector<float> second = MTestSignals::WhiteNoise(4000, 0.5f, 11);
  const std::vector<float> output = Stream(*processor, second, 100);
  EXPECT_TRUE(LeadingZeros(output, 512));
  EXPECT_LT(MaxDeviation(second, output, 512), 1e-4);
}

TEST(MAudioFFTProcessor, ChangingTheFrameSizeThenResizingGivesTheNewLatency)
{
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, 1024, 4, true);
  const std::vector<float> input = MTestSignals::WhiteNoise(5000, 1.0f, 5);
  Stream(*processor, input, 333);

  Configure(*processor, 256, 4, true);
  EXPECT_EQ(processor->LatencySamples(), 256);
  const std::vector<float> output = Stream(*processor, input, 333);
  EXPECT_TRUE(LeadingZeros(output, 256));
  EXPECT_LT(MaxDeviation(input, output, 256), 1e-4);
}

TEST(MAudioFFTProcessor, FrameSizesAreLimitedToPowersOfTwoFrom8To4096)
{
  MAudioFFTProcessor processor;
  const int requests[][2] = {{1024, 1024}, {1000, 512}, {8192, 4096}, {3, 8}, {-5, 8}, {4096, 4096}};
  for (const auto& request : requests)
  {
    processor.SetFrameSize(request[0]);
    EXPECT_EQ(processor.FrameSize(), request[1]) << "requested " << request[0];
  }
}

TEST(MAudioFFTProcessor, StreamingAllocatesNothing)
{
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, 4096, 4, true);
  const std::vector<float> input = MTestSignals::WhiteNoise(20000, 1.0f, 9);
  std::vector<float> output(input.size());
  const std::vector<int> blocks = BlockSequence(0, input.size());
  MAllocationCounter::Scope scope;
  std::size_t at = 0;
  for (int length : blocks)
  {
    processor->Process(input.data() + at, output.data() + at, length);
    at += static_cast<std::size_t>(length);
  }
  processor->Reset();
  processor->Process(input.data(), output.data(), 5000);
  EXPECT_EQ(scope.Count(), 0u);
}

namespace
{
// Records what the engine hands to the spectrum hook, and optionally changes it.
class MRecordingProcessor : public MAudioFFTProcessor
{
public:
  void ProcessSpectrum(int frameSize, float* spectrum) override
  {
    ++m_frames;
    m_lastFrameSize = frameSize;
    int loudest = 0;
    double loudestPower = -1.0;
    for (int k = 1; k < frameSize / 2; ++k)
    {
      const double power = static_cast<double>(spectrum[2 * k]) * spectrum[2 * k] +
                           static_cast<double>(spectrum[2 * k + 1]) * spectrum[2 * k + 1];
      if (power > loudestPower)
      {
        loudestPower = power;
        loudest = k;
      }
    }
    m_loudestBin = loudest;
    for (int i = 0; i < frameSize; ++i)
      spectrum[i] *= m_gain;
  }

  int m_frames = 0;
  int m_lastFrameSize = 0;
  int m_loudestBin = -1;
  float m_gain = 1.0f;
};
} // namespace

TEST(MAudioFFTProcessor, TheHookSeesOneSpectrumPerHopInTheSharedLayout)
{
  auto processor = std::make_unique<MRecordingProcessor>();
  Configure(*processor, 1024, 4, true);
  // Bin 37 of a 1024-point frame at 44.1 kHz.
  const double frequency = 37.0 * 44100.0 / 1024.0;
  const std::vector<float> input = MTestSignals::Sine(14 * 256 + 100, frequency, 44100.0);
  Stream(*processor, input, 7);
  // A frame completes after every hop of input, the first one included.
  EXPECT_EQ(processor->m_frames, 14);
  EXPECT_EQ(processor->m_lastFrameSize, 1024);
  EXPECT_EQ(processor->m_loudestBin, 37);
}

TEST(MAudioFFTProcessor, ASpectrumScaledInTheHookScalesTheOutput)
{
  auto processor = std::make_unique<MRecordingProcessor>();
  Configure(*processor, 512, 4, true);
  processor->m_gain = 0.25f;
  const std::vector<float> input = MTestSignals::WhiteNoise(4000, 1.0f, 21);
  const std::vector<float> output = Stream(*processor, input, 64);
  double worst = 0.0;
  for (std::size_t t = 512; t < output.size(); ++t)
    worst = std::max(worst, std::fabs(output[t] - 0.25 * input[t - 512]));
  EXPECT_LT(worst, 1e-4);
}

TEST(MAudioFFTProcessor, NullBuffersAndEmptyBlocksChangeNothing)
{
  auto processor = std::make_unique<MAudioFFTProcessor>();
  Configure(*processor, 512, 4, true);
  const std::vector<float> input = MTestSignals::WhiteNoise(3000, 1.0f, 2);
  std::vector<float> output(input.size());
  processor->Process(input.data(), output.data(), 100);
  processor->Process(nullptr, output.data(), 100);
  processor->Process(input.data(), nullptr, 100);
  processor->Process(input.data(), output.data(), 0);
  processor->Process(input.data(), output.data(), -4);
  processor->Process(input.data() + 100, output.data() + 100, 2900);
  EXPECT_LT(MaxDeviation(input, output, 512), 1e-4);
}
