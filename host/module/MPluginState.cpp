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

namespace
{
void ListPresets(const MXmlItem& parent, const std::string& folder,
                 std::vector<MPluginState::FactoryPreset>& list)
{
  for (int index = 0; index < parent.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = parent.GetSubItemAt(index);
    if (MPresetTree::IsPreset(item))
    {
      MMemoryStream stream;
      MXmlWriter::Write(item, stream);
      const auto& buffer = stream.GetBuffer();
      list.push_back({folder, item.GetAttribute(MString("name"), MString()).ToUTF8(),
                      std::string(reinterpret_cast<const char*>(buffer->GetData()), buffer->GetSize())});
    }
    else if (MPresetTree::IsFolder(item))
    {
      const std::string name = item.GetAttribute(MString("Name"), MString()).ToUTF8();
      ListPresets(item, folder.empty() ? name : folder + " " + name, list);
    }
  }
}
} // namespace

std::vector<MPluginState::FactoryPreset> MPluginState::FactoryPresets(MAudioPlugin& plugin)
{
  std::vector<FactoryPreset> list;
  if (const auto* presets = dynamic_cast<const MQuorvelAudioEffectPlugin*>(&plugin))
    ListPresets(presets->GetFactoryPresets(), "", list);
  return list;
}
