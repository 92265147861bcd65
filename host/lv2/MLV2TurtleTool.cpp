// The build's generator of the bundle's Turtle: tonvera-lv2-turtle DIR writes DIR/manifest.ttl,
// DIR/Tonvera.ttl and DIR/presets.ttl from the parameters and the embedded factory presets of the
// plug-in it creates, so the bundle describes exactly the ports the binary has and each preset
// holds the values the editor gives when it loads that preset into a new instance. Exit status 1
// with a message on failure.

#include "base/MException.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/lv2/MLV2Description.h"
#include "host/module/MModule.h"
#include "host/module/MPluginState.h"
#include "host/module/TonveraModuleInterface.h"

#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{
bool WriteFile(const std::string& path, const std::string& text)
{
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  return file.good();
}

/// Each factory preset as loaded into a new instance. Throws MException when one does not load.
std::vector<MLV2Description::Preset> ReadPresets(std::vector<std::string>& uris)
{
  std::unique_ptr<MAudioPlugin> owner(CreateTonveraPlugin());
  if (owner == nullptr)
    throw MException(MString("no plug-in"));
  std::vector<MLV2Description::Preset> presets;
  for (const MPluginState::FactoryPreset& entry : MPluginState::FactoryPresets(*owner))
  {
    // The preset applied to a new instance, and to one whose every parameter stood elsewhere
    // first: the ports it names are those that end up alike (a preset leaves what it does not
    // name as it was, and so do its port values).
    std::unique_ptr<MAudioPlugin> target(CreateTonveraPlugin());
    std::unique_ptr<MAudioPlugin> other(CreateTonveraPlugin());
    if (target == nullptr || other == nullptr)
      throw MException(MString("no plug-in"));
    for (std::int32_t index = 0; index < other->GetNumParameters(); ++index)
      other->SetParameter(index, other->GetParameter(index) < 0.5 ? 1.0 : 0.0);
    if (MPluginState::ApplyPreset(*target, entry.text.data(), entry.text.size()) !=
            MPluginState::PresetResult::kApplied ||
        MPluginState::ApplyPreset(*other, entry.text.data(), entry.text.size()) !=
            MPluginState::PresetResult::kApplied)
      throw MException(MString("no preset tree"));
    MLV2Description::Preset preset;
    preset.label = entry.name;
    const std::vector<MLV2Description::ControlScale> scales = MLV2Description::ControlScales(*target);
    for (std::int32_t index = 0; index < target->GetNumParameters(); ++index)
    {
      const MLV2Description::ControlScale& scale = scales[static_cast<std::size_t>(index)];
      const float value = scale.FromNormalised(target->GetParameter(index));
      preset.values.push_back(value == scale.FromNormalised(other->GetParameter(index))
                                  ? value
                                  : std::numeric_limits<float>::quiet_NaN());
    }
    preset.settings = entry.text;
    uris.push_back(MLV2Description::PresetUri(entry.folder, preset.label));
    presets.push_back(std::move(preset));
  }
  return presets;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: tonvera-lv2-turtle BUNDLE_DIR\n");
    return 1;
  }
  const std::string folder = argv[1];
  std::unique_ptr<MAudioPlugin> plugin(CreateTonveraPlugin());
  if (plugin == nullptr)
  {
    std::fprintf(stderr, "tonvera-lv2-turtle: the plug-in could not be created\n");
    return 1;
  }
  std::vector<std::string> uris;
  std::vector<MLV2Description::Preset> presets;
  try
  {
    presets = ReadPresets(uris);
  }
  catch (const MException& exception)
  {
    std::fprintf(stderr, "tonvera-lv2-turtle: the factory presets: %s\n",
                 exception.Message().ToUTF8().c_str());
    return 1;
  }
  const bool written =
      WriteFile(folder + "/manifest.ttl",
                MLV2Description::Manifest() + MLV2Description::PresetManifest(uris)) &&
      WriteFile(folder + "/Tonvera.ttl", MLV2Description::Plugins(*plugin)) &&
      WriteFile(folder + "/presets.ttl",
                MLV2Description::Presets(presets, uris, MLV2Description::ParameterSymbols(*plugin)));
  plugin.reset();
  MModuleLibrary::Shutdown();
  if (!written)
  {
    std::fprintf(stderr, "tonvera-lv2-turtle: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
