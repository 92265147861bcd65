// The preset state shared by the threads that reach it: the editor (preset bar, preset window,
// morph pad), the update thread applying MIDI program changes and preset steps, the host's
// program calls and state saves, and the audio thread that only queues. Runs under
// ThreadSanitizer: a data race fails the suite.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace MFrameworkTest;

TEST(MPresetConcurrency, EditorUpdateThreadAndHostProgramCallsTakeTurnsWithThePresets)
{
  const MString path = MQuorvelAudioEffectPlugin::GetPresetFilePath();
  std::filesystem::remove(path.ToUTF8());
  TestPlugin plugin;
  std::atomic<bool> stop{false};

  // Audio thread: blocks, and MIDI program changes it only queues. Nothing here is read yet:
  // the update thread and the editor race to read the tree first.
  std::thread audio([&] {
    for (std::int32_t block = 0; !stop.load(); ++block)
    {
      plugin.Run(256);
      plugin.ProcessProgramChange(0, 0.0, 0, block % 5);
      std::this_thread::yield();
    }
  });
  // The update thread's work (its own tick runs as well while no editor is open).
  std::thread update([&] {
    while (!stop.load())
    {
      plugin.ApplyQueuedPresetStep();
      std::this_thread::yield();
    }
  });
  // The host: its program list (the slots), and project saves and loads.
  std::thread host([&] {
    for (std::int32_t call = 0; !stop.load(); ++call)
    {
      plugin.SetCurrentProgram(call % MQuorvelAudioEffectPlugin::kPresetSlots);
      EXPECT_EQ(plugin.GetProgramName(plugin.GetCurrentProgram()).Length(), 6);
      if (call % 8 == 0)
      {
        const auto state = plugin.SaveState();
        ASSERT_NE(state, nullptr);
        EXPECT_TRUE(plugin.LoadState(state->GetData(), state->GetSize()));
      }
    }
  });

  // The editor: preset names, steps, saving and deleting, slots, and the morph pad.
  for (int round = 0; round < 40; ++round)
  {
    EXPECT_FALSE(plugin.GetCurrentPresetName().IsEmpty());
    MString error;
    plugin.StepPreset(round % 3 == 0 ? -1 : 1, error);
    EXPECT_TRUE(plugin.ChangePresetTree(
        [&](MQuorvelAudioEffectPlugin::PresetManager& manager) {
          if (MXmlItem* mine = MPresetTree::FindChild(manager.GetRoot(), MString("Mine"), false);
              mine != nullptr && round % 4 == 3)
            manager.Remove(*mine);
          else
            manager.SaveCurrent(manager.GetRoot(), MString("Mine"));
        },
        error))
        << error.ToUTF8();
    plugin.SelectSlot(round % 2 == 0 ? 4 : 5);
    plugin.PrepareMorph();
    plugin.Morph(0.25, 0.75);
    plugin.OnEditorIdle();
  }
  stop = true;
  audio.join();
  update.join();
  host.join();

  MPresetTree file;
  ASSERT_NO_THROW(file.Load(path));
  EXPECT_TRUE(file.GetRoot() == plugin.GetPresetManager().GetRoot());
  std::filesystem::remove(path.ToUTF8());
}
