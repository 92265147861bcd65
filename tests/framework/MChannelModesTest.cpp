#include "framework/MChannelModes.h"

#include "base/MString.h"
#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace MFrameworkTest;

namespace
{
constexpr std::int32_t kLatency = 64; // the fake effect's
constexpr std::int32_t kBlock = 256;
constexpr std::int32_t kBlocks = 4;

// Distinct, non-periodic test signals per channel; zero before time 0 (what a delay emits first).
float Signal(std::int32_t channel, std::int32_t n)
{
  if (n < 0)
    return 0.0f;
  return static_cast<float>(std::sin(0.01 * (channel + 1) * n + channel) * 0.5 + 0.001 * channel);
}

/// Runs kBlocks blocks of the channel signals through `plugin`; answers out[channel][n].
std::vector<std::vector<float>> RunSignals(TestPlugin& plugin, std::int32_t channels)
{
  std::vector<std::vector<float>> result(static_cast<std::size_t>(channels));
  for (std::int32_t block = 0; block < kBlocks; ++block)
  {
    for (std::int32_t c = 0; c < channels; ++c)
      for (std::int32_t i = 0; i < kBlock; ++i)
        plugin.m_input[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
            Signal(c, block * kBlock + i);
    plugin.Run(kBlock);
    // The host's input buffers are read-only to the plug-in, whatever the mode encodes.
    std::int32_t written = 0;
    for (std::int32_t c = 0; c < channels; ++c)
      for (std::int32_t i = 0; i < kBlock; ++i)
        written += plugin.m_input[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] !=
                   Signal(c, block * kBlock + i);
    EXPECT_EQ(written, 0) << "samples of the host's input buffers changed";
    for (std::int32_t c = 0; c < channels; ++c)
    {
      const auto& out = plugin.m_output[static_cast<std::size_t>(c)];
      result[static_cast<std::size_t>(c)].insert(result[static_cast<std::size_t>(c)].end(), out.begin(),
                                                 out.begin() + kBlock);
    }
  }
  return result;
}
} // namespace

TEST(MChannelModes, NamesRoundTripAndUnknownNamesGiveModeZero)
{
  for (std::int32_t mode = 0; mode < MChannelModes::kModeCount; ++mode)
    EXPECT_EQ(MChannelModes::FindByName(MString::FromLiteral(MChannelModes::GetInfo(mode).name)), mode);
  EXPECT_EQ(MChannelModes::FindByName(MString("mono + STEREO")), 5);
  EXPECT_EQ(MChannelModes::FindByName(MString("Quadraphonic")), 0);
  EXPECT_STREQ(MChannelModes::GetInfo(4).displayName, "Side");
  EXPECT_STREQ(MChannelModes::GetInfo(7).shortName, "7.1");
}

TEST(MChannelModes, EachStereoModeAroundAnIdentityEffectGivesWhatItsViewImplies)
{
  const auto L = [](std::int32_t n) { return Signal(0, n); };
  const auto R = [](std::int32_t n) { return Signal(1, n); };
  const auto M = [&](std::int32_t n) { return (L(n) + R(n)) * 0.5f; };
  const auto S = [&](std::int32_t n) { return (L(n) - R(n)) * 0.5f; };
  const std::int32_t d = kLatency;
  using Expect = std::function<float(std::int32_t)>;
  struct Case
  {
    std::int32_t mode;
    std::int32_t processed;
    Expect left, right;
  };
  const Case cases[] = {
      {0, 2, L, R},
      {1, 1, L, [&](std::int32_t n) { return R(n - d); }},
      {2, 1, [&](std::int32_t n) { return L(n - d); }, R},
      {3, 1, [&](std::int32_t n) { return M(n) + S(n - d); },
       [&](std::int32_t n) { return M(n) - S(n - d); }},
      {4, 1, [&](std::int32_t n) { return M(n - d) + S(n); },
       [&](std::int32_t n) { return M(n - d) - S(n); }},
      {5, 2, L, R},
      {6, 2, L, [&](std::int32_t n) { return -R(n); }},
  };
  for (const Case& c : cases)
  {
    TestPlugin plugin;
    plugin.SetChannelMode(c.mode);
    plugin.InitProcessing();
    EXPECT_EQ(plugin.Effect().GetChannelCount(), c.processed) << "mode " << c.mode;
    const auto out = RunSignals(plugin, 2);
    for (std::int32_t n = 0; n < kBlock * kBlocks; ++n)
    {
      ASSERT_NEAR(out[0][static_cast<std::size_t>(n)], c.left(n), 1e-6) << "mode " << c.mode << " n " << n;
      ASSERT_NEAR(out[1][static_cast<std::size_t>(n)], c.right(n), 1e-6) << "mode " << c.mode << " n " << n;
    }
  }
}

TEST(MChannelModes, MonoModeOnEqualChannelsGivesTheProcessedMidOnBothOutputs)
{
  TestPlugin plugin;
  plugin.SetChannelMode(3);
  plugin.InitProcessing();
  plugin.Effect().Parameter(FakeEffect::kDryWet).floating.value = 1.0; // the effect halves
  plugin.Effect().OnParametersChanged();
  for (std::int32_t i = 0; i < kBlock; ++i)
    plugin.m_input[0][static_cast<std::size_t>(i)] = plugin.m_input[1][static_cast<std::size_t>(i)] =
        Signal(0, i);
  plugin.Run(kBlock);
  for (std::int32_t i = 0; i < kBlock; ++i)
  {
    EXPECT_NEAR(plugin.m_output[0][static_cast<std::size_t>(i)], 0.5f * Signal(0, i), 1e-6);
    EXPECT_NEAR(plugin.m_output[1][static_cast<std::size_t>(i)], 0.5f * Signal(0, i), 1e-6);
  }
}

TEST(MChannelModes, AMonoLayoutReachesTheEffectUnchangedInEveryMode)
{
  for (std::int32_t mode : {1, 2, 3, 4, 6})
  {
    TestPlugin plugin(1);
    plugin.SetChannelMode(mode);
    plugin.InitProcessing();
    EXPECT_EQ(plugin.Effect().GetChannelCount(), 1);
    const auto out = RunSignals(plugin, 1);
    for (std::int32_t n = 0; n < kBlock * kBlocks; ++n)
      ASSERT_NEAR(out[0][static_cast<std::size_t>(n)], Signal(0, n), 1e-6) << "mode " << mode;
  }
}

TEST(MChannelModes, SurroundProcessesTheEnabledChannelsAndDelaysTheOthersByTheLatency)
{
  TestPlugin plugin(8);
  plugin.SetChannelMode(MChannelModes::kSurround);
  for (std::int32_t c = 4; c < 8; ++c)
    plugin.SetSurroundChannelEnabled(c, false);
  plugin.InitProcessing();
  ASSERT_EQ(plugin.GetActiveChannelMode(), MChannelModes::kSurround);
  EXPECT_EQ(plugin.Effect().GetChannelCount(), 4);
  plugin.Effect().Parameter(FakeEffect::kDryWet).floating.value = 1.0; // processed channels halve
  plugin.Effect().OnParametersChanged();
  const auto out = RunSignals(plugin, 8);
  for (std::int32_t c = 0; c < 8; ++c)
    for (std::int32_t n = 0; n < kBlock * kBlocks; ++n)
    {
      const float expected = c < 4 ? 0.5f * Signal(c, n) : Signal(c, n - kLatency);
      ASSERT_NEAR(out[static_cast<std::size_t>(c)][static_cast<std::size_t>(n)], expected, 1e-6)
          << "channel " << c << " n " << n;
    }

  // Surround on a stereo instance runs as Left + Right.
  {
    TestPlugin plugin;
    plugin.SetChannelMode(MChannelModes::kSurround);
    plugin.InitProcessing();
    EXPECT_EQ(plugin.GetActiveChannelMode(), 0);
    EXPECT_EQ(plugin.Effect().GetChannelCount(), 2);
  }
}
