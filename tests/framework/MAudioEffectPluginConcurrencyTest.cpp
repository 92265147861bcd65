// One thread processes while another changes parameters, saves and loads the state: no data
// race, no lost or torn state, and every block still reaches the effect whole.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace MFrameworkTest;

TEST(MAudioEffectPluginConcurrency, ProcessingRunsBesideParameterChangesSavesAndLoads)
{
  TestPlugin plugin;
  const std::int32_t dryWet = plugin.IndexOf("Dry/wet");
  const std::int32_t depth = plugin.IndexOf("Depth");
  plugin.SetParameter(dryWet, 0.25);
  const auto reference = plugin.SaveState();
  const std::vector<std::uint8_t> saved(reference->GetData(), reference->GetData() + reference->GetSize());

  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::atomic<bool> exited{false};
  std::thread audio([&] {
    while (!stop.load())
    {
      plugin.Run(256);
      // Every output sample is the input times a gain the parameter can produce (0 .. 1), and
      // one block never mixes two gains.
      const float first = plugin.m_output[0][0];
      bool whole = first >= 0.0f && first <= 0.25f;
      for (int i = 1; i < 256; ++i)
        whole = whole && plugin.m_output[0][i] == first;
      EXPECT_TRUE(whole);
      if (!whole)
        break;
      ++blocks;
    }
    exited = true;
  });

  for (int round = 0; round < 200; ++round)
  {
    plugin.SetParameter(dryWet, (round % 10) / 10.0);
    plugin.SetParameter(depth, (round % 7) / 7.0);
    if (round % 4 == 0)
    {
      EXPECT_NE(plugin.SaveState(), nullptr);
    }
    if (round % 4 == 2)
    {
      EXPECT_TRUE(plugin.LoadState(saved.data(), saved.size()));
    }
  }
  EXPECT_TRUE(plugin.LoadState(saved.data(), saved.size()));
  // Let the audio thread see the final state at least once.
  const int seen = blocks.load();
  while (blocks.load() < seen + 2 && !exited.load())
    std::this_thread::yield();
  stop = true;
  audio.join();

  EXPECT_DOUBLE_EQ(plugin.GetParameter(dryWet), 0.25);
  EXPECT_FLOAT_EQ(plugin.m_output[0][0], 0.25f * 0.25f);
}
