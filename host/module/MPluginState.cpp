#include "host/module/MPluginState.h"

#include "base/MMemoryStream.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MAudioPlugin.h"

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
