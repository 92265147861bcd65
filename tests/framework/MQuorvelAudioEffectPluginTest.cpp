// The common effect base: slots and A/B, ABCD morphing, protection levels, copy and paste, and
// presets applied to a live plug-in.
#include "framework/MQuorvelAudioEffectPlugin.h"

#include "tests/framework/MFakeEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace MFrameworkTest;

namespace
{
std::string Text(TestPlugin& plugin)
{
  return Inflate(plugin.SaveState());
}

double Get(TestPlugin& plugin, const char* name)
{
  return plugin.GetParameter(plugin.IndexOf(name));
}
} // namespace

TEST(MQuorvelAudioEffectPluginTest, SlotCActiveStoresItsIndexAndSevenSlotsThatLoadBackElsewhere)
{
  TestPlugin plugin;
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.125);
  ASSERT_TRUE(plugin.SelectSlot(2));
  plugin.SetParameter(plugin.IndexOf("Depth"), 0.875);
  const std::string text = Text(plugin);
  EXPECT_NE(text.find("PresetIndex=\"2\""), std::string::npos);
  for (int slot = 0; slot < 8; ++slot)
    EXPECT_EQ(text.find("<Preset" + std::to_string(slot)) != std::string::npos, slot != 2) << slot;

  TestPlugin other;
  const auto bytes = plugin.SaveState();
  ASSERT_TRUE(other.LoadState(bytes->GetData(), bytes->GetSize()));
  EXPECT_EQ(other.GetPresetIndex(), 2);
  EXPECT_EQ(Text(other), text);
  // Slot A's state came with the slot items; the A/B switch goes back and forth.
  other.SelectSlot(0);
  EXPECT_DOUBLE_EQ(Get(other, "Depth"), 0.125);
  other.ToggleAB();
  EXPECT_EQ(other.GetPreviousPresetIndex(), 0);
  EXPECT_DOUBLE_EQ(Get(other, "Depth"), 0.875);
  EXPECT_FALSE(other.SelectSlot(8));
}

TEST(MQuorvelAudioEffectPluginTest, MorphCornersGiveSlotsAToDAndTheCentreTheirMean)
{
  TestPlugin plugin;
  const double depth[4] = {0.125, 0.25, 0.5, 0.875};
  const double shift[4] = {1.0, 0.0, 0.75, 0.25};
  for (int slot = 0; slot < 4; ++slot)
  {
    plugin.SelectSlot(slot);
    plugin.SetParameter(plugin.IndexOf("Depth"), depth[slot]);
    plugin.SetParameter(plugin.IndexOf("Formant shift"), shift[slot]);
  }
  EXPECT_TRUE(plugin.MorphOverwritesActiveSlot());
  EXPECT_NE(plugin.MorphWarningText().ToUTF8().find("Preset D is currently selected"), std::string::npos);
  EXPECT_FALSE(plugin.Morph(0.5, 0.5)); // not prepared
  plugin.SelectSlot(MQuorvelAudioEffectPlugin::kFirstSlotOutsideMorph);
  plugin.PrepareMorph();
  const double cases[][4] = {{0, 0, depth[0], shift[0]}, {1, 0, depth[1], shift[1]},
                             {0, 1, depth[2], shift[2]}, {1, 1, depth[3], shift[3]},
                             {0.5, 0.5, 0.4375, 0.5},    {-3, 7, depth[2], shift[2]}};
  for (const auto& c : cases)
  {
    ASSERT_TRUE(plugin.Morph(c[0], c[1]));
    EXPECT_DOUBLE_EQ(Get(plugin, "Depth"), c[2]) << c[0] << "," << c[1];
    EXPECT_DOUBLE_EQ(Get(plugin, "Formant shift"), c[3]) << c[0] << "," << c[1];
  }
  EXPECT_FALSE(plugin.Morph(std::nan(""), 0.0));
}

TEST(MQuorvelAudioEffectPluginTest, ProtectionLevelsChooseTheStoredBlockSize)
{
  TestPlugin plugin;
  const char* stored[] = {"=\"2048\"", nullptr, "=\"32\"", "=\"8\"", "=\"1\""};
  for (int level = 0; level < MQuorvelAudioEffectPlugin::kProtectionLevels; ++level)
  {
    plugin.SetProtectionLevel(level);
    EXPECT_EQ(plugin.GetProtectionLevel(), level);
    const std::size_t at =
        Text(plugin).find(std::string("MaxLFOBlockSize") + (stored[level] ? stored[level] : ""));
    EXPECT_EQ(at != std::string::npos, stored[level] != nullptr) << level;
  }
  plugin.SetMaxLFOBlockSize(100);
  EXPECT_EQ(plugin.GetProtectionLevel(), -1);
}

TEST(MQuorvelAudioEffectPluginTest, PastedStateLoadsWholeAndBadTextChangesNothing)
{
  TestPlugin source;
  source.SetParameter(source.IndexOf("Speed"), 0.25);
  source.SelectSlot(5);
  source.SetAGCEnabled(true);
  const MString copied = source.CopySettingsText();
  EXPECT_TRUE(copied.StartsWith(MString("<?xml version=\"1.0\" encoding=\"utf-8\"?><settings ")));
  TestPlugin target;
  const std::string before = Text(target);
  MString error;
  for (const char* bad :
       {"", "plain words", "<other a=\"1\"/>", "<settings PresetIndex=\"3\"", "<settings><x></settings>"})
  {
    EXPECT_FALSE(target.PasteSettingsText(MString::FromUTF8(bad), error)) << bad;
    EXPECT_FALSE(error.IsEmpty()) << bad;
    EXPECT_EQ(Text(target), before) << bad;
  }
  ASSERT_TRUE(target.PasteSettingsText(copied, error)) << error.ToUTF8();
  EXPECT_EQ(Text(target), Text(source));
}

TEST(MQuorvelAudioEffectPluginTest, CompressedAndExpandedPresetsApplyAlikeAndKeepControllers)
{
  TestPlugin source;
  source.SetParameter(source.IndexOf("Formant shift"), 0.9);
  const MXmlItem expanded =
      source.GetPresetManager().SaveCurrent(source.GetPresetManager().GetRoot(), "Mine");
  TestPlugin first;
  TestPlugin second;
  first.GetPresetManager().ApplyPreset(expanded);
  second.GetPresetManager().ApplyPreset(MPresetTree::Compress(expanded));
  EXPECT_EQ(Text(first), Text(second));
  EXPECT_DOUBLE_EQ(Get(second, "Formant shift"), 0.9);

  // A preset without controller lists leaves the assignments alone.
  first.m_controllers.assign(1, MControllerAssignment{});
  first.m_controllers[0].parameter = first.IndexOf("Speed");
  MXmlItem bare("preset");
  bare.SetAttribute("parameterAutoTuneDepth", "0.75");
  first.GetPresetManager().ApplyPreset(bare);
  EXPECT_DOUBLE_EQ(Get(first, "Depth"), 0.75);
  ASSERT_EQ(first.m_controllers.size(), 1u);
  EXPECT_EQ(first.m_controllers[0].parameter, first.IndexOf("Speed"));

  // A MIDI program change waits for the host or GUI thread, then applies that preset.
  first.GetPresetManager().GetRoot().AddSubItem(bare);
  first.GetPresetManager().GetRoot().AddSubItem(bare).SetAttribute("parameterAutoTuneDepth", "0.5");
  first.ProcessProgramChange(0, 0.0, 0, 1);

  EXPECT_DOUBLE_EQ(Get(first, "Depth"), 0.75);
  first.ApplyQueuedPresetStep();
  EXPECT_DOUBLE_EQ(Get(first, "Depth"), 0.5);
  EXPECT_EQ(first.GetCurrentPresetIndex(), 1);
}

TEST(MQuorvelAudioEffectPluginTest, UnreadablePresetFileIsReportedAndMovedAsideNeverOverwritten)
{
  const std::string path = MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8();
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const std::string broken = "<?xml version=\"1.0\"?><presets><preset name=\"cut";
  std::ofstream(path, std::ios::binary) << broken;

  TestPlugin plugin;
  auto& manager = plugin.GetPresetManager();
  EXPECT_NE(plugin.GetPresetTreeError().ToUTF8().find("Unexpected end of XML input."), std::string::npos);
  EXPECT_EQ(manager.GetPresetCount(), 0);
  manager.SaveCurrent(manager.GetRoot(), "New");
  MString error;
  ASSERT_TRUE(plugin.SavePresetTree(error)) << error.ToUTF8();
  std::stringstream aside;
  aside << std::ifstream(path + ".unreadable", std::ios::binary).rdbuf();
  EXPECT_EQ(aside.str(), broken);
  MPresetTree back;
  back.Load(MString::FromUTF8(path));
  EXPECT_EQ(back.GetPresetCount(), 1);
  std::filesystem::remove(path);
  std::filesystem::remove(path + ".unreadable");
}
