// The factory presets with the real effect: written into the user's tree on first use, each one
// loads exactly as written with the scale it names and leaves Live and Quality as they were (a
// preset switches them only when it names them), and restoring them keeps the user's own.

#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include "effect/TonveraAudioEffectPlugin.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "tests/support/MPrivateSettingsFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

TEST(MFactoryPresets, FirstUseWritesThemAndEachLoadsExactlyAsWrittenAndRestoringKeepsTheUsersOwn)
{
  // A settings folder of the test's own, so the user's presets are never touched.
  const MTestSupport::MScopedSettingsFolder settings("tonvera-factory-presets");
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kVst2);
  std::unique_ptr<MQuorvelAudioEffectPlugin> plugin(
      dynamic_cast<MQuorvelAudioEffectPlugin*>(CreateTonveraPlugin()));
  auto& manager = plugin->GetPresetManager();
  const std::int32_t shipped = manager.GetPresetCount();
  ASSERT_GE(shipped, 12);
  EXPECT_TRUE(std::filesystem::exists(MQuorvelAudioEffectPlugin::GetPresetFilePath().ToUTF8()));
  auto& effect = dynamic_cast<TonveraAudioEffectPlugin&>(*plugin->GetEffect());
  effect.GetParameterInfo(TonveraAudioEffectPlugin::kLive).enumeration.value = 1;
  auto& quality = effect.GetParameterInfo(TonveraAudioEffectPlugin::kQuality).enumeration.value;
  ASSERT_EQ(quality.Load(), TonveraAudioEffectPlugin::kHighQuality);
  for (MXmlItem* preset : manager.ListPresets())
  {
    manager.ApplyPreset(*preset);
    EXPECT_TRUE(effect.IsLive()) << preset->GetAttribute("name", "").ToUTF8();
    EXPECT_EQ(quality.Load(), TonveraAudioEffectPlugin::kHighQuality)
        << preset->GetAttribute("name", "").ToUTF8();
    MXmlItem state("settings");
    plugin->SavePresetSettings(state);
    for (int i = 0; i < preset->GetAttributeCount(); ++i) // real keys, values in range
    {
      const MAttribute& attribute = preset->GetAttributeAt(i);
      // The name and the id belong to the tree, every other attribute to the state.
      EXPECT_TRUE(attribute.name.EqualsName("name") || attribute.name.EqualsName("id") ||
                  (state.HasAttribute(attribute.name) &&
                   state.GetAttribute().ToDouble() == attribute.value.ToDouble()))
          << preset->GetAttribute("name", "").ToUTF8() << ": " << attribute.name.ToUTF8();
    }
    const bool* pattern = TonveraAudioEffectPlugin::ScalePattern(
        static_cast<int>(state.GetAttribute("ScaleType", "").ToInteger()));
    const auto root = static_cast<int>(state.GetAttribute("ScaleNote", "").ToInteger());
    ASSERT_NE(pattern, nullptr); // the notes are the scale that ScaleType and ScaleNote name
    for (int pitch = 0; pitch < 12; ++pitch)
      EXPECT_EQ(state.GetAttribute("Scale", "")[pitch] == u'1', pattern[(pitch - root + 12) % 12]) << pitch;
  }

  manager.Remove(manager.GetPreset(0));
  const MXmlItem mine = manager.SaveCurrent(*manager.FindFolder("Factory"), "Mine");
  effect.GetParameterInfo(TonveraAudioEffectPlugin::kLive).enumeration.value = 0;
  manager.ApplyPreset(mine);
  EXPECT_TRUE(effect.IsLive());
  plugin->RestoreFactoryPresets();
  plugin->RestoreFactoryPresets();
  EXPECT_EQ(manager.CountPresetsIn("Factory"), shipped + 1);
}
