// The block driver: sub-blocking, in-block interpolation, buffer repair, bypass, difference
// output, accumulation, oversampling, and no allocation once running.

#include "core/parameters/ParameterBaseCustom.h"
#include "core/parameters/ParameterFloatT.h"
#include "core/plugin/MDenormalGuard.h"
#include "tests/core/MCoreTestSupport.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MTestSignals.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using MCoreTest::HostBlock;
using MCoreTest::IdentityPlugin;

namespace
{
void RunBlock(IdentityPlugin& plugin, HostBlock& block, bool replacing = true)
{
  plugin.Process(block.inPointers.data(), block.outPointers.data(), block.Samples(), replacing);
}

std::vector<std::int32_t> ChunkLengths(const IdentityPlugin& plugin)
{
  std::vector<std::int32_t> lengths;
  for (const auto& chunk : plugin.m_chunks)
    lengths.push_back(chunk.samples);
  return lengths;
}

std::vector<std::int32_t> Repeat(std::int32_t length, int times, std::int32_t last = 0)
{
  std::vector<std::int32_t> lengths(static_cast<std::size_t>(times), length);
  if (last > 0)
    lengths.push_back(last);
  return lengths;
}

// An interpolated float parameter 0..1 whose smoothed value the test effect reads per chunk.
struct Smoothed
{
  MParameterInfo info;
  ParameterFloatT<ParameterBaseCustom>* parameter = nullptr;

  explicit Smoothed(MAudioPlugin& plugin)
  {
    info.type = MParameterInfo::kFloat;
    info.flags = MParameterInfo::kHostVisible | MParameterInfo::kInterpolated;
    info.floating.maximum = 1.0;
    parameter = new ParameterFloatT<ParameterBaseCustom>();
    parameter->m_descriptor = &info;
    plugin.AddAutomationAdapter(parameter);
    plugin.AssignAutomationIndices();
  }

  double Current() const
  {
    return info.Has(MParameterInfo::kInterpolating) ? info.floating.smoothed.Load()
                                                    : info.floating.value.Load();
  }
};

Smoothed* s_smoothed = nullptr;
} // namespace

// ---- sub-blocking ----------------------------------------------------------------------------------

TEST(MAudioPluginProcess, ChunkLengthsFollowTheBlockAndModulationLimits)
{
  const struct
  {
    std::int32_t blockLimit;
    std::int32_t modulationLimit;
    bool changeParameter;
    std::vector<std::int32_t> expected;
  } cases[] = {
      {64, 32, true, Repeat(32, 31, 8)},
      {MAudioPlugin::kUnlimited, 32, true, Repeat(32, 31, 8)},
      {MAudioPlugin::kUnlimited, 256, false, {1000}},
      {0, 256, false, Repeat(256, 3, 232)},
      {100, 256, false, Repeat(100, 10)},
      {20, 32, true, Repeat(20, 50)},
      {MAudioPlugin::kUnlimited, 32, false, {1000}},
  };
  for (const auto& c : cases)
  {
    IdentityPlugin plugin;
    Smoothed smoothed(plugin);
    plugin.SetBlockLimit(c.blockLimit);
    plugin.SetModulationLimit(c.modulationLimit);
    plugin.InitProcessing();
    HostBlock block(1000);
    RunBlock(plugin, block); // the first block only takes the interpolation snapshot
    plugin.m_chunks.clear();
    if (c.changeParameter)
      plugin.SetParameter(0, 0.9);
    RunBlock(plugin, block);
    EXPECT_EQ(ChunkLengths(plugin), c.expected)
        << "block limit " << c.blockLimit << ", modulation limit " << c.modulationLimit;
  }
}

TEST(MAudioPluginProcess, ChunksAdvanceEveryPointerAndTheSongPosition)
{
  IdentityPlugin plugin;
  plugin.SetBlockLimit(96);
  plugin.InitProcessing();
  plugin.GetTransport().tempo = 120.0;
  plugin.GetTransport().songPosition = 8.0;
  HostBlock block(1000);
  RunBlock(plugin, block);
  ASSERT_EQ(plugin.m_chunks.size(), 11u);
  std::int32_t offset = 0;
  for (const auto& chunk : plugin.m_chunks)
  {
    EXPECT_EQ(chunk.in0, block.in[0].data() + offset);
    EXPECT_EQ(chunk.in1, block.in[1].data() + offset);
    EXPECT_EQ(chunk.out0, block.out[0].data() + offset);
    EXPECT_EQ(chunk.out1, block.out[1].data() + offset);
    // 120 beats per minute at 48 kHz: one quarter note every 24000 samples.
    EXPECT_NEAR(chunk.songPosition, 8.0 + offset / 24000.0, 1e-12);
    offset += chunk.samples;
  }
  EXPECT_EQ(block.out[0], block.in[0]);
}

TEST(MAudioPluginProcess, ChangedInterpolatedParameterMovesLinearlyAcrossTheBlock)
{
  IdentityPlugin plugin;
  Smoothed smoothed(plugin);
  s_smoothed = &smoothed;
  plugin.m_onChunk = [](IdentityPlugin& p, std::int32_t) { p.m_observed.push_back(s_smoothed->Current()); };
  plugin.m_observed.reserve(64);
  plugin.SetModulationLimit(32);
  plugin.InitProcessing();
  plugin.SetParameter(0, 0.2);
  HostBlock block(1000);
  RunBlock(plugin, block);
  plugin.m_observed.clear();

  plugin.SetParameter(0, 0.8);
  RunBlock(plugin, block);
  ASSERT_EQ(plugin.m_observed.size(), 32u);
  for (std::size_t k = 0; k < plugin.m_observed.size(); ++k)
    EXPECT_NEAR(plugin.m_observed[k], 0.2 + 0.6 * (32.0 * static_cast<double>(k)) / 1000.0, 1e-12)
        << "chunk " << k;
  EXPECT_DOUBLE_EQ(smoothed.Current(), 0.8) << "the block ends on the target";
  EXPECT_FALSE(smoothed.info.Has(MParameterInfo::kInterpolating));
  s_smoothed = nullptr;
}

TEST(MAudioPluginProcess, HostChangeArrivingDuringARampIsKeptAndRampedToNext)
{
  IdentityPlugin plugin;
  Smoothed smoothed(plugin);
  s_smoothed = &smoothed;
  plugin.SetModulationLimit(100);
  plugin.InitProcessing();
  plugin.SetParameter(0, 0.0);
  HostBlock block(1000);
  RunBlock(plugin, block);

  // The host thread sets a new value while the audio thread is inside a ramp (here: from a chunk).
  plugin.m_onChunk = [](IdentityPlugin& p, std::int32_t) {
    if (p.m_chunks.size() == 5)
      p.SetParameter(0, 0.3);
  };
  plugin.SetParameter(0, 1.0);
  RunBlock(plugin, block);
  EXPECT_DOUBLE_EQ(smoothed.info.floating.value.Load(), 0.3)
      << "the host's value survives the end of the ramp";

  plugin.m_onChunk = [](IdentityPlugin& p, std::int32_t) { p.m_observed.push_back(s_smoothed->Current()); };
  plugin.m_observed.reserve(16);
  RunBlock(plugin, block);
  ASSERT_EQ(plugin.m_observed.size(), 10u);
  EXPECT_DOUBLE_EQ(plugin.m_observed.front(), 1.0) << "the next ramp starts where the last one ended";
  EXPECT_NEAR(plugin.m_observed.back(), 1.0 - 0.7 * 0.9, 1e-12);
  EXPECT_DOUBLE_EQ(smoothed.Current(), 0.3);
  s_smoothed = nullptr;
}

// ---- buffers -----------------------------------------------------------------------------------------

// Separate and in-place buffers, replacing or accumulating, the effect's output or the
// difference to the input (nothing, for an identity effect).
TEST(MAudioPluginProcess, EachOutputModeGivesWhatTheEffectMadeInSeparateOrSharedBuffers)
{
  const struct
  {
    const char* name;
    bool inPlace, replacing, difference;
    float gain;
  } cases[] = {{"separate", false, true, false, 0.5f},
               {"in place", true, true, false, 0.5f},
               {"accumulating", false, false, false, 2.0f},
               {"difference", false, true, true, 1.0f},
               {"difference in place", true, true, true, 1.0f}};
  for (const auto& c : cases)
  {
    IdentityPlugin plugin;
    plugin.m_gain = c.gain;
    plugin.m_differenceOutput = c.difference;
    plugin.SetBlockLimit(100);
    plugin.InitProcessing();
    HostBlock block(1000);
    const auto original = block.in;
    if (c.inPlace)
      block.InPlace();
    RunBlock(plugin, block, c.replacing);
    for (std::size_t channel = 0; channel < 2; ++channel)
      for (std::size_t i = 0; i < 1000; ++i)
      {
        const float effect = c.difference ? 0.0f : c.gain * original[channel][i];
        ASSERT_FLOAT_EQ(block.out[channel][i], c.replacing ? effect : 7.0f + effect) << c.name << " " << i;
      }
    if (c.inPlace)
    {
      EXPECT_NE(plugin.m_chunks[0].in0, plugin.m_chunks[0].out0) << "in-place processing reads a copy";
    }
  }
}

TEST(MAudioPluginProcess, NullChannelPointersAreReplacedAsSpecifiedAndUnusableCountsDoNothing)
{
  IdentityPlugin plugin;
  plugin.InitProcessing();

  HostBlock second(256);
  second.inPointers[1] = nullptr;
  second.outPointers[1] = nullptr;
  RunBlock(plugin, second);
  EXPECT_EQ(plugin.m_chunks.back().in1, second.in[0].data()) << "second input reads the first";
  EXPECT_EQ(plugin.m_chunks.back().out1, second.out[0].data()) << "second output writes the first";

  HostBlock first(256);
  first.inPointers[0] = nullptr;
  RunBlock(plugin, first);
  const auto& chunk = plugin.m_chunks.back();
  EXPECT_EQ(chunk.in0, chunk.in1) << "the whole bus reads the scratch buffer";
  for (const std::vector<float>& channel : first.out)
    for (const float sample : channel)
      ASSERT_EQ(sample, 0.0f) << "the scratch buffer is silent";

  // With one usable input channel a stereo bus is dual mono.
  plugin.SetUsableChannelsPerBus(1, -1);
  HostBlock mono(256);
  RunBlock(plugin, mono);
  EXPECT_EQ(mono.out[1], mono.in[0]);

  HostBlock noOutput(256);
  noOutput.outPointers[0] = nullptr;
  plugin.m_chunks.clear();
  RunBlock(plugin, noOutput);
  EXPECT_TRUE(plugin.m_chunks.empty()) << "without a first output nothing runs";

  // Zero, negative and absurd sample counts, and a missing output array, do nothing.
  HostBlock block(16);
  for (const std::int32_t samples : {0, -5, MAudioPlugin::kMaxBlockSamples + 1})
    plugin.Process(block.inPointers.data(), block.outPointers.data(), samples, true);
  plugin.Process(block.inPointers.data(), nullptr, 16, true);
  EXPECT_TRUE(plugin.m_chunks.empty());
  EXPECT_EQ(block.out[0], std::vector<float>(16, 7.0f));
}

// ---- bypass and denormals -------------------------------------------------------------------------------

TEST(MAudioPluginProcess, BypassOutputsTheInputDelayedByTheLatency)
{
  IdentityPlugin plugin;
  plugin.m_effectLatency = 100;
  plugin.m_bypassed = true;
  plugin.InitProcessing();
  EXPECT_EQ(plugin.GetReportedLatency(), 100);

  std::vector<float> input;
  std::vector<float> output;
  for (int b = 0; b < 5; ++b)
  {
    HostBlock block(77, static_cast<std::uint32_t>(10 + b));
    if (b % 2 == 1)
      block.InPlace();
    const std::vector<float> in = block.in[1];
    RunBlock(plugin, block);
    input.insert(input.end(), in.begin(), in.end());
    output.insert(output.end(), block.out[1].begin(), block.out[1].end());
  }
  EXPECT_TRUE(plugin.m_chunks.empty()) << "a bypassed block runs no hooks";
  for (std::size_t i = 0; i < output.size(); ++i)
    ASSERT_EQ(output[i], i < 100 ? 0.0f : input[i - 100]) << i;
}

TEST(MAudioPluginProcess, ProcessingRunsWithDenormalsFlushedAndRestoresTheCallersMode)
{
  if (!MDenormalGuard::IsSupported())
    GTEST_SKIP() << "no flush-to-zero control on this processor";
  IdentityPlugin plugin;
  plugin.InitProcessing();
  const bool before = MDenormalGuard::IsFlushingNow();
  HostBlock block(64);
  RunBlock(plugin, block);
  EXPECT_TRUE(plugin.m_chunks.back().flushing);
  EXPECT_EQ(MDenormalGuard::IsFlushingNow(), before);
}

// ---- oversampling ----------------------------------------------------------------------------------------

TEST(MAudioPluginProcess, OversampledIdentityEffectReturnsTheInputDelayedByTheReportedLatency)
{
  for (const int factor : {2, 4})
  {
    IdentityPlugin plugin(2, 2, 256);
    plugin.m_oversampling = factor;
    plugin.SetSampleRate(48000.0);
    plugin.InitProcessing();
    const std::int32_t latency = plugin.GetReportedLatency();
    EXPECT_EQ(latency, 6144 / factor);

    const int blocks = (latency + 2048) / 256 + 1;
    const std::vector<float> tone =
        MTestSignals::Sine(static_cast<std::size_t>(blocks * 256), 2400.0, 48000.0, 0.5f);
    std::vector<float> output;
    for (int b = 0; b < blocks; ++b)
    {
      HostBlock block(256);
      std::copy(tone.begin() + b * 256, tone.begin() + (b + 1) * 256, block.in[0].begin());
      RunBlock(plugin, block);
      output.insert(output.end(), block.out[0].begin(), block.out[0].end());
      ASSERT_EQ(plugin.m_chunks.back().samples, 256 * factor) << "the effect runs at the oversampled rate";
    }
    double error = 0.0;
    double signal = 0.0;
    for (std::size_t i = static_cast<std::size_t>(latency) + 200; i < output.size(); ++i)
    {
      const double expected = tone[i - static_cast<std::size_t>(latency)];
      error += (output[i] - expected) * (output[i] - expected);
      signal += expected * expected;
    }
    EXPECT_LT(10.0 * std::log10(error / signal), -80.0) << "factor " << factor;
  }
}

TEST(MAudioPluginProcess, OversampledOutputIsClippedToTheClipLevel)
{
  IdentityPlugin plugin(2, 2, 512);
  plugin.m_oversampling = 2;
  plugin.m_oversamplingHighQuality = false;
  plugin.m_gain = 4.0f;
  plugin.m_clipLevel = 0.5;
  plugin.InitProcessing();
  for (int b = 0; b < 4; ++b)
  {
    HostBlock block(512);
    RunBlock(plugin, block);
    for (const float sample : block.out[0])
      ASSERT_LE(std::fabs(sample), 0.5f);
  }
}

// ---- real time -------------------------------------------------------------------------------------------

TEST(MAudioPluginProcess, ProcessAllocatesNothingOnceBlockSizeAndChannelsAreStable)
{
  const struct
  {
    const char* name;
    int oversampling;
    bool bypassed;
    bool inPlace;
    bool replacing;
    int blockSamples;
  } cases[] = {
      {"chunked with interpolation", 1, false, false, true, 512},
      {"in place", 1, false, true, true, 512},
      {"accumulating", 1, false, false, false, 512},
      {"bypassed", 1, true, false, true, 512},
      {"oversampled", 4, false, false, true, 512},
      {"oversampled, longer than announced", 4, false, false, true, 5000}, // processed in pieces
  };
  for (const auto& c : cases)
  {
    IdentityPlugin plugin(2, 2, 512);
    Smoothed smoothed(plugin);
    plugin.SetModulationLimit(32);
    plugin.m_effectLatency = 64;
    plugin.m_oversampling = c.oversampling;
    plugin.m_bypassed = c.bypassed;
    plugin.InitProcessing();
    HostBlock warmUp(512);
    RunBlock(plugin, warmUp, c.replacing);
    HostBlock block(c.blockSamples);
    if (c.inPlace)
      block.InPlace();
    for (int round = 0; round < 3; ++round)
    {
      plugin.SetParameter(0, round % 2 == 0 ? 0.9 : 0.1);
      plugin.m_chunks.clear();
      MAllocationCounter::Scope scope;
      RunBlock(plugin, block, c.replacing);
      EXPECT_EQ(scope.Count(), 0u) << c.name;
    }
  }
}

// Channels, buses or oversampling changed without InitProcessing: the block must not grow
// buffers on the audio thread. It is silent instead, and the next InitProcessing brings the
// effect back with the new layout.
TEST(MAudioPluginProcess, LayoutChangedWithoutInitialisationAllocatesNothingAndIsSilentUntilInitialised)
{
  const struct
  {
    const char* name;
    void (*change)(IdentityPlugin& plugin);
  } cases[] = {
      {"two buses", [](IdentityPlugin& plugin) { plugin.SetCurrentChannelCounts(4, 4); }},
      {"oversampling on", [](IdentityPlugin& plugin) { plugin.m_oversampling = 4; }},
  };
  for (const auto& c : cases)
  {
    IdentityPlugin plugin(2, 2, 512);
    plugin.SetCurrentChannelCounts(2, 2);
    plugin.InitProcessing();
    std::array<std::vector<float>, 4> in, out;
    std::array<float*, 16> inPointers{}, outPointers{};
    for (std::size_t channel = 0; channel < 4; ++channel)
    {
      in[channel].assign(512, 0.5f);
      out[channel].assign(512, 7.0f);
      const std::size_t slot = channel / 2 * MAudioPlugin::kPointersPerBus + channel % 2;
      inPointers[slot] = in[channel].data();
      outPointers[slot] = out[channel].data();
    }
    plugin.Process(inPointers.data(), outPointers.data(), 512, true);
    ASSERT_EQ(out[0][511], 0.5f) << c.name;

    c.change(plugin);
    for (auto& channel : out)
      channel.assign(512, 7.0f);
    {
      MAllocationCounter::Scope scope;
      plugin.Process(inPointers.data(), outPointers.data(), 512, true);
      EXPECT_EQ(scope.Count(), 0u) << c.name;
    }
    EXPECT_EQ(out[0][0], 0.0f) << c.name;
    EXPECT_EQ(out[0][511], 0.0f) << c.name;

    plugin.InitProcessing();
    for (int round = 0; round < 4; ++round) // an oversampled identity is late by its latency
      plugin.Process(inPointers.data(), outPointers.data(), 512, true);
    EXPECT_NEAR(out[0][511], 0.5f, 1e-3f) << c.name;
  }
}
