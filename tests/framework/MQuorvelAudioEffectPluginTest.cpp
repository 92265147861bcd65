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

void SetPlain(TestPlugin& plugin, const char* name, double normalised)
{
  plugin.SetParameter(plugin.IndexOf(name), normalised);
}
} // namespace

TEST(MQuorvelAudioEffectPluginTest, SlotCActiveStoresItsIndexAndSevenSlotsThatLoadBackElsewhere)
{
  TestPlugin plugin;
  SetPlain(plugin, "Depth", 0.125);
  ASSERT_TRUE(plugin.SelectSlot(2));
  SetPlain(plugin, "Depth", 0.875);
  EXPECT_DOUBLE_EQ(plugin.GetParameter(plugin.IndexOf("Depth")), 0.875);

  const std::string text = Text(plugin);
  EXPECT_NE(text.find("PresetIndex=\"2\""), std::string::npos);
  for (int slot = 0; slot < 8; ++slot)
    EXPECT_EQ(text.find("<Preset" + std::to_string(slot)) != std::string::npos, slot != 2) << slot;

  TestPlugin other;
  const auto bytes = plugin.SaveState();
  ASSERT_TRUE(other.LoadState(bytes->GetData(), bytes->GetSize()));
  EXPECT_EQ(other.GetPresetIndex(), 2);
  EXPECT_EQ(Text(other), text);
  EXPECT_DOUBLE_EQ(other.GetParameter(other.IndexOf("Depth")), 0.875);
  // Slot A's state came with the slot items; the A/B switch goes back and forth.
  other.SelectSlot(0);
  EXPECT_DOUBLE_EQ(other.GetParameter(other.IndexOf("Depth")), 0.125);
  other.ToggleAB();
  EXPECT_EQ(other.GetPresetIndex(), 2);
  EXPECT_EQ(other.GetPreviousPresetIndex(), 0);
  EXPECT_DOUBLE_EQ(other.GetParameter(other.IndexOf("Depth")), 0.875);
  EXPECT_FALSE(other.SelectSlot(8));
  EXPECT_FALSE(other.SelectSlot(-1));
}

TEST(MQuorvelAudioEffectPluginTest, MorphCornersGiveSlotsAToDAndTheCentreTheirMean)
{
  TestPlugin plugin;
  const double depth[4] = {0.125, 0.25, 0.5, 0.875};
  const double shift[4] = {1.0, 0.0, 0.75, 0.25};
  for (int slot = 0; slot < 4; ++slot)
  {
    plugin.SelectSlot(slot);
    SetPlain(plugin, "Depth", depth[slot]);
    SetPlain(plugin, "Formant shift", shift[slot]);
  }
  EXPECT_TRUE(plugin.MorphOverwritesActiveSlot());
  EXPECT_NE(plugin.MorphWarningText().ToUTF8().find("Preset D is currently selected"), std::string::npos);
  EXPECT_FALSE(plugin.Morph(0.5, 0.5)); // not prepared
  plugin.SelectSlot(MQuorvelAudioEffectPlugin::kFirstSlotOutsideMorph);
  plugin.PrepareMorph();

  const struct
  {
    double u, v, depth, shift;
  } cases[] = {{0, 0, depth[0], shift[0]}, {1, 0, depth[1], shift[1]},
               {0, 1, depth[2], shift[2]}, {1, 1, depth[3], shift[3]},
               {0.5, 0.5, 0.4375, 0.5},    {-3, 7, depth[2], shift[2]}}; // clamped into the square
  for (const auto& c : cases)
  {
    ASSERT_TRUE(plugin.Morph(c.u, c.v));
    EXPECT_DOUBLE_EQ(plugin.GetParameter(plugin.IndexOf("Depth")), c.depth) << c.u << "," << c.v;
    EXPECT_DOUBLE_EQ(plugin.GetParameter(plugin.IndexOf("Formant shift")), c.shift) << c.u << "," << c.v;
  }
  EXPECT_FALSE(plugin.Morph(std::nan(""), 0.0));
}

TEST(MQuorvelAudioEffectPluginTest, ProtectionLevelsChooseTheStoredBlockSize)
{
  TestPlugin plugin;
  const char* stored[] = {"MaxLFOBlockSize=\"2048\"", nullptr, "MaxLFOBlockSize=\"32\"",
                          "MaxLFOBlockSize=\"8\"", "MaxLFOBlockSize=\"1\""};
  for (int level = 0; level < MQuorvelAudioEffectPlugin::kProtectionLevels; ++level)
  {
    plugin.SetProtectionLevel(level);
    EXPECT_EQ(plugin.GetProtectionLevel(), level);
    const std::string text = Text(plugin);
    if (stored[level] != nullptr)
      EXPECT_NE(text.find(stored[level]), std::string::npos) << level;
    else
      EXPECT_EQ(text.find("MaxLFOBlockSize"), std::string::npos);
  }
  plugin.SetMaxLFOBlockSize(100);
  EXPECT_EQ(plugin.GetProtectionLevel(), -1);
}

TEST(MQuorvelAudioEffectPluginTest, PastedStateLoadsWholeAndBadTextChangesNothing)
{
  TestPlugin source;
  SetPlain(source, "Speed", 0.25);
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
  SetPlain(source, "Depth", 0.3);
  SetPlain(source, "Formant shift", 0.9);
  auto& manager = source.GetPresetManager();
  const MXmlItem expanded = manager.SaveCurrent(manager.GetRoot(), "Mine");
  const MXmlItem compressed = MPresetTree::Compress(expanded);

  TestPlugin first;
  TestPlugin second;
  first.GetPresetManager().ApplyPreset(expanded);
  second.GetPresetManager().ApplyPreset(compressed);
  EXPECT_EQ(Text(first), Text(second));
  EXPECT_DOUBLE_EQ(second.GetParameter(second.IndexOf("Formant shift")), 0.9);

  // A preset without controller lists leaves the assignments alone.
  first.m_controllers.assign(1, MControllerAssignment{});
  first.m_controllers[0].parameter = first.IndexOf("Speed");
  MXmlItem bare("preset");
  bare.SetAttribute("name", "Bare");
  bare.SetAttribute("parameterAutoTuneDepth", "0.75");
  first.GetPresetManager().ApplyPreset(bare);
  EXPECT_DOUBLE_EQ(first.GetParameter(first.IndexOf("Depth")), 0.75);
  ASSERT_EQ(first.m_controllers.size(), 1u);
  EXPECT_EQ(first.m_controllers[0].parameter, first.IndexOf("Speed"));
}

TEST(MQuorvelAudioEffectPluginTest, UnreadablePresetFileIsReportedAndMovedAsideNeverOverwritten)
{
  const MString path = MQuorvelAudioEffectPlugin::GetPresetFilePath();
  ASSERT_FALSE(path.IsEmpty());
  std::filesystem::create_directories(std::filesystem::path(path.ToUTF8()).parent_path());
  const std::string broken = "<?xml version=\"1.0\"?><presets><preset name=\"cut";
  std::ofstream(path.ToUTF8(), std::ios::binary) << broken;

  TestPlugin plugin;
  auto& manager = plugin.GetPresetManager();
  EXPECT_NE(plugin.GetPresetTreeError().ToUTF8().find("Unexpected end of XML input."), std::string::npos);
  EXPECT_EQ(manager.GetPresetCount(), 0);
  manager.SaveCurrent(manager.GetRoot(), "New");
  MString error;
  ASSERT_TRUE(plugin.SavePresetTree(error)) << error.ToUTF8();

  std::stringstream aside;
  aside << std::ifstream(path.ToUTF8() + ".unreadable", std::ios::binary).rdbuf();
  EXPECT_EQ(aside.str(), broken);
  MPresetTree back;
  back.Load(path);
  EXPECT_EQ(back.GetPresetCount(), 1);
  std::filesystem::remove(path.ToUTF8());
  std::filesystem::remove(path.ToUTF8() + ".unreadable");
}
