// "GlobalConfiguration.xml": defaults shared by every instance of the plug-in.

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MStdFileStream.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MAudioPlugin.h"
#include "core/plugin/MSettingsFolder.h"
#include "gui/MGuiTypes.h" // MSize: a value type, no GUI library

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace
{
using MSettingsFolder::ToPath;

enum class ReadResult
{
  Read,
  Missing,
  Unreadable
};

// Reads the document; `document` stays empty unless it was read.
ReadResult ReadConfigurationFile(MXmlItem& document)
{
  document.Clear();
  const MString path = MAudioPlugin::GetConfigurationPath();
  if (path.IsEmpty())
    return ReadResult::Missing;
  std::error_code error;
  const auto status = std::filesystem::status(ToPath(path), error);
  if (status.type() == std::filesystem::file_type::not_found)
    return ReadResult::Missing;
  if (error || status.type() != std::filesystem::file_type::regular)
    return ReadResult::Unreadable;
  try
  {
    MStdFileStream stream(path, MStdFileStream::Mode::Read);
    MXmlReader::Read(stream, document);
    return ReadResult::Read;
  }
  catch (...)
  {
    document.Clear();
    return ReadResult::Unreadable;
  }
}

// False (with `document` empty) when the document is missing or could not be read.
bool ReadConfiguration(MXmlItem& document)
{
  return ReadConfigurationFile(document) == ReadResult::Read;
}

void WriteConfiguration(const MXmlItem& document)
{
  if (!MSettingsFolder::Ensure())
    throw MException(MString("Could not create the settings folder."));
  const MString path = MAudioPlugin::GetConfigurationPath();
  const bool replaced = MStdFileStream::WriteReplacing(
      path, [&document](MStream& stream) { MXmlWriter::Write(document, stream, false, "utf-8"); });
  if (!replaced)
    throw MException(MString("Could not replace the configuration document."));
}

std::int32_t ReadMode(const MString& itemName)
{
  MXmlItem document;
  if (!ReadConfiguration(document) || !document.HasSubItem(itemName))
    return 0;
  return static_cast<std::int32_t>(document.GetSubItem().GetText().ToInteger());
}
} // namespace

MString MAudioPlugin::GetConfigurationPath()
{
  return MSettingsFolder::FilePath(MString("GlobalConfiguration.xml"));
}

bool MAudioPlugin::LoadDefaultSettings()
{
  return MHostCallShield::Run("MAudioPlugin::LoadDefaultSettings", false, [&] {
    MXmlItem document;
    if (!ReadConfiguration(document) || !document.HasSubItem(MString("DefaultSettings")))
      return false;
    MXmlItem& defaults = document.GetSubItem();
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    MStoreContext context(false, defaults);
    Store(context);
    return true;
  });
}

bool MAudioPlugin::SetDefaultSettingsToCurrent()
{
  if (m_mirror)
    return false; // it holds only what the host mirrors, not the whole state
  return MHostCallShield::Run("MAudioPlugin::SetDefaultSettingsToCurrent", false, [&] {
    MXmlItem settings(MString("Settings"));
    MStoreContext context(true, settings);
    Store(context);

    // The document holds the user's other defaults as well: one that exists but cannot be read
    // is kept aside rather than replaced by one that holds only these settings.
    MXmlItem document;
    if (ReadConfigurationFile(document) == ReadResult::Unreadable &&
        MSettingsFolder::MoveAside(MAudioPlugin::GetConfigurationPath()).IsEmpty())
      return false;
    document.SetName(MString("Configuration"));
    for (int index = document.GetSubItemCount(); index-- > 0;)
    {
      if (document.GetSubItemAt(index).GetName().EqualsName(MString("DefaultSettings")))
        document.RemoveSubItemAt(index);
    }
    settings.SetName(MString("DefaultSettings"));
    document.AddSubItem(std::move(settings));
    WriteConfiguration(document);
    return true;
  });
}

std::int32_t MAudioPlugin::GetEditorMode() const
{
  return MHostCallShield::Run("MAudioPlugin::GetEditorMode", std::int32_t{0},
                              [] { return ReadMode(MString("EditorMode")); });
}

MSize MAudioPlugin::GetDefaultEditorSize() const
{
  const MSize fallback{kDefaultEditorWidth, kDefaultEditorHeight};
  return MHostCallShield::Run("MAudioPlugin::GetDefaultEditorSize", fallback, [&] {
    MXmlItem document;
    if (!ReadConfiguration(document))
      return fallback;
    // A missing, non-numeric or absurd entry keeps the built-in extent of that axis.
    const auto extent = [&](const MString& name, std::int32_t minimum, std::int32_t standard) {
      if (!document.HasSubItem(name))
        return standard;
      const MString text = document.GetSubItem().GetText();
      const std::int64_t value = text.ToInteger();
      if (text.IsEmpty() || value <= 0)
        return standard;
      return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, minimum, kMaxEditorExtent));
    };
    return MSize{extent(MString("EditorWidth"), kMinEditorWidth, fallback.x),
                 extent(MString("EditorHeight"), kMinEditorHeight, fallback.y)};
  });
}

std::int32_t MAudioPlugin::GetTabletMode() const
{
  return MHostCallShield::Run("MAudioPlugin::GetTabletMode", std::int32_t{0},
                              [] { return ReadMode(MString("TabletMode")); });
}
