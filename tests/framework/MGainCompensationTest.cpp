// Automatic gain compensation through the plug-in: a fake effect with a fixed gain makes the
// output louder or softer than the input, and the compensation has to put the level back.
#include "framework/MGainCompensation.h"

#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace MFrameworkTest;

namespace
{
constexpr std::int32_t kBlock = 512;
constexpr double kRate = 44100.0;
// Slowest tracking allowed between two samples, plus float rounding of the measured ratio.
constexpr double kStepDb = MGainCompensation::kTrackingDbPerSecond / kRate + 1e-5;

// Plays a 441 Hz tone (amplitude 0: silence) through a stereo plug-in and watches the output.
struct Player
{
  TestPlugin plugin;
  std::int64_t position = 0;
  bool nullRight = false;   // the host hands no buffer for the right output
  double worstStepDb = 0.0; // largest change of the applied gain from one sample to the next
  double lastDb = NAN, lastAt = 0.0;

  // Plays `seconds`; answers the output's level against the input's over the last 0.1 s, in dB.
  double Play(double seconds, float amplitude)
  {
    const auto blocks = static_cast<std::int64_t>(seconds * kRate / kBlock);
    double in = 0.0, out = 0.0;
    for (std::int64_t block = 0; block < blocks; ++block, position += kBlock)
    {
      for (auto& channel : plugin.m_input)
        for (std::int32_t i = 0; i < kBlock; ++i)
          channel[i] = amplitude *
                       static_cast<float>(std::sin(2.0 * std::numbers::pi * 441.0 * (position + i) / kRate));
      float* inputs[8] = {plugin.m_input[0].data(), plugin.m_input[1].data()};
      float* outputs[8] = {plugin.m_output[0].data(), nullRight ? nullptr : plugin.m_output[1].data()};
      plugin.Process(inputs, outputs, kBlock, true);
      const bool tail = blocks - block <= static_cast<std::int64_t>(0.1 * kRate / kBlock);
      for (std::int32_t i = 0; i < kBlock; ++i)
      {
        const double x = plugin.m_input[0][i], y = plugin.m_output[0][i], dry = x * plugin.Effect().m_gain;
        in += tail ? x * x : 0.0;
        out += tail ? y * y : 0.0;
        if (std::fabs(dry) < 0.02)
          continue;
        const double db = 20.0 * std::log10(y / dry);
        if (!std::isnan(lastDb))
          worstStepDb = std::max(worstStepDb, std::fabs(db - lastDb) / (position + i - lastAt));
        lastDb = db;
        lastAt = position + i;
      }
    }
    return 10.0 * std::log10(out / in);
  }
};
} // namespace

TEST(MGainCompensationTest, OutputComesBackToTheInputLevelWithinTwelveDecibelsAtTheTrackingRate)
{
  const struct
  {
    float effectGain;
    bool nullRight;
    double expectedDb; // output against input once settled
  } cases[] = {
      {0.5f, false, 0.0}, {2.0f, false, 0.0}, {0.1f, false, -8.0}, {10.0f, false, 8.0}, {0.5f, true, 0.0}};
  for (const auto& c : cases)
  {
    Player player;
    player.nullRight = c.nullRight;
    player.plugin.SetAGCEnabled(true);
    player.plugin.Effect().m_gain = c.effectGain;
    EXPECT_NEAR(player.Play(5.0, 0.25f), c.expectedDb, 0.5) << c.effectGain << ' ' << c.nullRight;
    EXPECT_LE(player.worstStepDb, kStepDb) << c.effectGain;
  }
}

TEST(MGainCompensationTest, PausesAndASilentEffectHoldTheGainAndSwitchingOffReturnsToUnity)
{
  Player player;
  player.plugin.SetAGCEnabled(true);
  player.plugin.Effect().m_gain = 0.5f;
  player.Play(4.0, 0.25f);
  const double gain = player.plugin.GetAGCGainDb();
  player.Play(3.0, 0.0f);
  EXPECT_EQ(player.plugin.GetAGCGainDb(), gain) << "a pause in the input";
  player.plugin.Effect().m_gain = 0.0f;
  player.Play(3.0, 0.25f);
  EXPECT_EQ(player.plugin.GetAGCGainDb(), gain) << "an effect that falls silent";
  player.plugin.Effect().m_gain = 0.5f;
  EXPECT_NEAR(player.Play(0.2, 0.25f), 0.0, 0.5) << "back at once, no new settling";
  player.plugin.SetAGCEnabled(false);
  EXPECT_NEAR(player.Play(0.2, 0.25f), -6.02, 0.01);
}

TEST(MGainCompensationTest, SetMeasuresTwoSecondsOfAudioThenLandsAndCancelKeepsWhatWasThere)
{
  Player player;
  player.plugin.Effect().m_gain = 0.5f;
  player.plugin.StartOptimalGain();
  player.Play(1.0, 0.0f);
  EXPECT_EQ(player.plugin.GetOptimalGainProgress(), 0.0) << "silence does not count";
  player.Play(1.0, 0.25f);
  EXPECT_NEAR(player.plugin.GetOptimalGainProgress(), 0.5, 0.02);
  EXPECT_EQ(player.plugin.GetAGCGainDb(), 0.0) << "the gain holds while measuring";
  EXPECT_NEAR(player.Play(1.2, 0.25f), 0.0, 0.5);

  // A second computation cancelled half way: nothing lands, tracking goes on from the held gain.
  player.plugin.Effect().m_gain = 2.0f;
  const double before = player.plugin.GetAGCGainDb();
  player.plugin.StartOptimalGain();
  player.Play(1.0, 0.25f);
  EXPECT_EQ(player.plugin.GetAGCGainDb(), before);
  player.plugin.CancelOptimalGain();
  EXPECT_TRUE(player.plugin.IsAGCEnabled()) << "it was on before";
  player.worstStepDb = 0.0;
  EXPECT_NEAR(player.Play(2.5, 0.25f), 0.0, 0.5);
  EXPECT_LE(player.worstStepDb, kStepDb) << "the cancelled computation landed after all";

  // Cancelled from AGC off: off again, at unity.
  Player fresh;
  fresh.plugin.Effect().m_gain = 0.5f;
  fresh.plugin.StartOptimalGain();
  fresh.Play(2.5, 0.25f);
  ASSERT_TRUE(fresh.plugin.IsOptimalGainFinished());
  fresh.plugin.CancelOptimalGain();
  EXPECT_FALSE(fresh.plugin.IsAGCEnabled());
  EXPECT_NEAR(fresh.Play(0.2, 0.25f), -6.02, 0.01);
}
