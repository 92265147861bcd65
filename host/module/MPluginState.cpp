#include "host/module/MPluginState.h"

#include "base/MMemoryStream.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MAudioPlugin.h"
#include "framework/MPresetTree.h"
#include "framework/MQuorvelAudioEffectPlugin.h"

std::vector<std::uint8_t> MPluginState::Save(MAudioPlugin& plugin)
{
  MXmlItem settings(MString("settings"));
  MStoreContext context(true, settings);
  plugin.Store(context);
  MMemoryStream stream;
  MXmlWriter::WriteCompressed(settings, stream);
  const auto& buffer = *stream.GetBuffer();
  return {buffer.GetData(), buffer.GetData() + buffer.GetSize()};
}

void MPluginState::Load(MAudioPlugin& plugin, const void* bytes, std::size_t size)
{
  MMemoryStream stream(bytes, size);
  MXmlItem settings;
  MXmlReader::ReadCompressed(stream, settings);
  MStoreContext context(false, settings);
  plugin.Store(context);
}

MPluginState::PresetResult MPluginState::ApplyPreset(MAudioPlugin& plugin, const void* text, std::size_t size)
{
  auto* presets = dynamic_cast<MQuorvelAudioEffectPlugin*>(&plugin);
  if (presets == nullptr)
    return PresetResult::kNoPresets;
  if (size > 0 && static_cast<const std::uint8_t*>(text)[size - 1] == 0)
    --size;
  MMemoryStream stream(text, size);
  MXmlItem preset;
  MXmlReader::Read(stream, preset);
  if (!MPresetTree::IsPreset(preset))
    return PresetResult::kNotAPreset;
  MQuorvelAudioEffectPlugin::PresetManager(*presets).ApplyPreset(preset);
  return PresetResult::kApplied;
}
