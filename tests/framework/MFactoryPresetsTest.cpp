// The factory presets with the real effect: every one loads exactly as written, its scale is the
// scale it names, and they reach the user's tree on first use and can be restored.

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
// Each test gets a settings folder of its own, so the user's presets are never touched.
struct PrivateSettings
{
  PrivateSettings()
      : root(std::filesystem::temp_directory_path() /
             ("tonvera-factory-" + std::to_string(std::random_device{}())))
  {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    saved = old != nullptr ? old : "";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
  }
  ~PrivateSettings()
  {
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    std::filesystem::remove_all(root);
  }
  std::filesystem::path root;
  std::string saved;
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
  ASSERT_NE(plugin, nullptr);
  MPresetTree factory;
  factory.SetTree(plugin->GetFactoryPresets());
  ASSERT_GE(factory.GetPresetCount(), 12);
  EXPECT_GE(factory.CountPresetsIn("Randomizer"), 1);
  for (MXmlItem* preset : factory.ListPresets())
  {
    const std::string name = preset->GetAttribute("name", "").ToUTF8();
    SCOPED_TRACE(name);
    plugin->GetPresetManager().ApplyPreset(*preset);
    MXmlItem state("settings");
    plugin->SavePresetSettings(state);
    // Every attribute names a real key and holds a value in range: the state reads back the text.
    for (int i = 0; i < preset->GetAttributeCount(); ++i)
    {
      const MAttribute& attribute = preset->GetAttributeAt(i);
      if (attribute.name.EqualsName("name"))
        continue;
      ASSERT_TRUE(state.HasAttribute(attribute.name)) << attribute.name.ToUTF8();
      EXPECT_EQ(state.GetAttribute().ToDouble(), attribute.value.ToDouble()) << attribute.name.ToUTF8();
    }
    const int kind = static_cast<int>(preset->GetAttribute("ScaleType", "-1").ToInteger());
    const int root = static_cast<int>(preset->GetAttribute("ScaleNote", "-1").ToInteger());
    const bool* pattern = TonveraAudioEffectPlugin::ScalePattern(kind);
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
  const MString path = MQuorvelAudioEffectPlugin::GetPresetFilePath();
  std::int32_t shipped = 0;
  {
    const auto plugin = Create();
    auto& manager = plugin->GetPresetManager();
    shipped = manager.GetPresetCount();
    ASSERT_GT(shipped, 0);
    ASSERT_TRUE(std::filesystem::exists(path.ToUTF8()));
    manager.Remove(manager.GetPreset(0));
    manager.SaveCurrent(*manager.FindFolder("Factory"), "Mine");
    MString error;
    ASSERT_TRUE(plugin->SavePresetTree(error)) << error.ToUTF8();
  }
  const auto plugin = Create();
  auto& manager = plugin->GetPresetManager();
  EXPECT_EQ(manager.GetPresetCount(), shipped);
  plugin->RestoreFactoryPresets();
  EXPECT_EQ(manager.GetPresetCount(), shipped + 1);
  plugin->RestoreFactoryPresets();
  EXPECT_EQ(manager.GetPresetCount(), shipped + 1);
  int found = 0;
  for (MXmlItem* preset : manager.ListPresets())
    for (const char* name : {"Hard tune", "Mine"})
      found += preset->GetAttribute("name", "").ToUTF8() == name ? 1 : 0;
  EXPECT_EQ(found, 2);
}
