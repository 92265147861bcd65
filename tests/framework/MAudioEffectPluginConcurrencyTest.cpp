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

// MIDI reaches the plug-in before each block, outside the processing lock, while the host
// thread loads states that replace the controller lists and the preset controller.
TEST(MAudioEffectPluginConcurrency, MIDIMappingRunsBesideStateLoadsThatReplaceTheControllerLists)
{
  TestPlugin plugin;
  MControllerAssignment assignment;
  assignment.enabled = true;
  assignment.parameter = plugin.IndexOf("Depth");
  assignment.controller = 11;
  plugin.m_controllers.assign(32, assignment);
  MNoteControllerAssignment note;
  note.enabled = true;
  note.parameter = plugin.IndexOf("Speed");
  plugin.m_noteControllers.assign(32, note);
  plugin.m_controllersEnabled = true;
  plugin.m_noteControllersEnabled = true;
  plugin.m_presetController.enabled = true;
  plugin.m_presetController.controller = 11;
  const auto full = plugin.SaveState();
  const std::vector<std::uint8_t> withLists(full->GetData(), full->GetData() + full->GetSize());
  plugin.m_controllers.clear();
  plugin.m_noteControllers.clear();
  const auto empty = plugin.SaveState();
  const std::vector<std::uint8_t> withoutLists(empty->GetData(), empty->GetData() + empty->GetSize());

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    for (std::uint8_t i = 0; !stop.load(); ++i)
    {
      const std::uint8_t controller[3] = {0xB0, 11, static_cast<std::uint8_t>(i & 0x7F)};
      const std::uint8_t noteOn[3] = {0x90, static_cast<std::uint8_t>(i & 0x7F), 100};
      plugin.ProcessMIDIEvent(i % 64, controller);
      plugin.ProcessMIDIEvent(i % 64, noteOn);
      plugin.Run(64);
    }
  });
  for (int round = 0; round < 100; ++round)
  {
    const auto& bytes = round % 2 == 0 ? withLists : withoutLists;
    EXPECT_TRUE(plugin.LoadState(bytes.data(), bytes.size()));
  }
  stop = true;
  audio.join();
  EXPECT_TRUE(plugin.m_controllers.empty());
}
