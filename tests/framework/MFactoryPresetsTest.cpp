// The factory presets with the real effect: every one loads exactly as written with the scale it
// names, and they reach the user's tree on first use and can be restored.

#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MQuorvelAudioEffectPlugin.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

namespace
{
// A settings folder of the test's own, so the user's presets are never touched.
struct PrivateSettings
{
  PrivateSettings() { setenv("XDG_CONFIG_HOME", root.c_str(), 1); }
  ~PrivateSettings() { std::filesystem::remove_all(root); }
  std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("tonvera-factory-" + std::to_string(std::random_device{}()));
};

std::unique_ptr<MQuorvelAudioEffectPlugin> Create()
{
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
  return std::unique_ptr<MQuorvelAudioEffectPlugin>(
      dynamic_cast<MQuorvelAudioEffectPlugin*>(CreateTonveraPlugin()));
}
} // namespace

TEST(MFactoryPresets, EveryPresetLoadsExactlyAsWrittenWithTheScaleItNames)
{
  PrivateSettings settings;
  const auto plugin = Create();
  MPresetTree factory;
  factory.SetTree(plugin->GetFactoryPresets());
  ASSERT_GE(factory.GetPresetCount(), 12);
  EXPECT_GE(factory.CountPresetsIn("Randomizer"), 1);
  for (MXmlItem* preset : factory.ListPresets())
  {
    SCOPED_TRACE(preset->GetAttribute("name", "").ToUTF8());
    plugin->GetPresetManager().ApplyPreset(*preset);
    MXmlItem state("settings");
    plugin->SavePresetSettings(state);
    // Every attribute is a real key with a value in range: the state gives back the same number.
    for (int i = 0; i < preset->GetAttributeCount(); ++i)
    {
      const MAttribute& attribute = preset->GetAttributeAt(i);
      if (attribute.name.EqualsName("name"))
        continue;
      ASSERT_TRUE(state.HasAttribute(attribute.name)) << attribute.name.ToUTF8();
      EXPECT_EQ(state.GetAttribute().ToDouble(), attribute.value.ToDouble()) << attribute.name.ToUTF8();
    }
    const bool* pattern = TonveraAudioEffectPlugin::ScalePattern(
        static_cast<int>(state.GetAttribute("ScaleType", "").ToInteger()));
    const auto root = static_cast<int>(state.GetAttribute("ScaleNote", "").ToInteger());
    ASSERT_NE(pattern, nullptr);
    std::string expected;
    for (int pitch = 0; pitch < 12; ++pitch)
      expected += pattern[(pitch - root + 12) % 12] ? '1' : '0';
    EXPECT_EQ(state.GetAttribute("Scale", "").ToUTF8(), expected);
  }
}

TEST(MFactoryPresets, FirstUseWritesThemToTheUsersTreeAndRestoringKeepsTheUsersOwn)
{
  PrivateSettings settings;
  std::int32_t shipped = 0;
  {
    const auto plugin = Create();
    auto& manager = plugin->GetPresetManager();
    shipped = manager.GetPresetCount();
    ASSERT_TRUE(std::filesystem::exists(MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8()));
    manager.Remove(manager.GetPreset(0));
    manager.SaveCurrent(*manager.FindFolder("Factory"), "Mine");
    MString error;
    ASSERT_TRUE(plugin->SavePresetTree(error)) << error.ToUTF8();
  }
  const auto plugin = Create();
  auto& manager = plugin->GetPresetManager();
  EXPECT_EQ(manager.GetPresetCount(), shipped);
  plugin->RestoreFactoryPresets();
  plugin->RestoreFactoryPresets();
  EXPECT_EQ(manager.GetPresetCount(), shipped + 1);
  int found = 0;
  for (MXmlItem* preset : manager.ListPresets())
    for (const char* name : {"Hard tune", "Mine"})
      found += preset->GetAttribute("name", "").ToUTF8() == name ? 1 : 0;
  EXPECT_EQ(found, 2);
}
