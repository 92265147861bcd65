#include "framework/MGeneralSettings.h"

#include "base/MException.h"
#include "base/MStdFileStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "core/plugin/MSettingsFolder.h"

#include <filesystem>
#include <system_error>

namespace
{
using MSettingsFolder::ToPath;

const char* const kRootName = "GeneralSettings";

// "1" and "0" only: anything else keeps `value` as it is.
void ReadFlag(const MXmlItem& item, const char* name, bool& value)
{
  const MString key = MString::FromLiteral(name);
  if (!item.HasAttribute(key))
    return;
  const MString text = item.GetAttribute();
  if (text == MString("1"))
    value = true;
  else if (text == MString("0"))
    value = false;
}

// Automatic or one of the steps: anything else keeps `percent` as it is.
void ReadZoom(const MXmlItem& item, std::int32_t& percent)
{
  if (!item.HasAttribute(MString::FromLiteral(MGeneralSettings::kZoom)))
    return;
  const MString text = item.GetAttribute();
  const std::int64_t read = text.ToInteger();
  if (text != MString::FromInteger(read))
    return;
  if (read == MGeneralSettings::kZoomAutomatic)
    percent = MGeneralSettings::kZoomAutomatic;
  for (std::int32_t step : MGeneralSettings::kZoomSteps)
    if (read == step)
      percent = step;
}

// Reads the document: Missing when there is none, Unreadable (with `error`) when it cannot be
// parsed or is no general settings document.
enum class FileState
{
  Missing,
  Read,
  Unreadable,
};

// `whole` (when given) receives the parsed document of a readable file, sections included.
FileState ReadDocument(const MString& path, MGeneralSettings::Values& values, MString& error,
                       MXmlItem* whole = nullptr)
{
  values = MGeneralSettings::Values{};
  std::error_code code;
  if (path.IsEmpty() || !std::filesystem::exists(ToPath(path), code))
    return FileState::Missing;
  try
  {
    MStdFileStream stream(path, MStdFileStream::Mode::Read);
    MXmlItem document;
    MXmlReader::Read(stream, document);
    if (!document.GetName().EqualsName(MString::FromLiteral(kRootName)))
      throw MException(MString("The file holds no general settings."));
    ReadFlag(document, MGeneralSettings::kSurroundActivated, values.surroundActivated);
    ReadFlag(document, MGeneralSettings::kTabletMode, values.tabletMode);
    ReadFlag(document, MGeneralSettings::kShowConfirmations, values.showConfirmations);
    ReadZoom(document, values.zoomPercent);
    if (whole != nullptr)
      *whole = std::move(document);
    return FileState::Read;
  }
  catch (const MException& exception)
  {
    error = exception.Message();
  }
  catch (...)
  {
    error = MString("The file could not be read.");
  }
  values = MGeneralSettings::Values{};
  return FileState::Unreadable;
}
// Writes `values` and the sections: those of the readable file as they are, `section` (when
// given) in place of the one of its name. Save and SaveSection both come here.
bool Write(const MGeneralSettings::Values& values, const MXmlItem* section, MString& error,
           MString* movedAside);
} // namespace

MString MGeneralSettings::GetPath()
{
  return MSettingsFolder::FilePath(MString("GeneralSettings.xml"));
}

bool MGeneralSettings::Load(Values& values, MString& error)
{
  error = MString();
  return ReadDocument(GetPath(), values, error) != FileState::Unreadable;
}

MGeneralSettings::Values MGeneralSettings::Current()
{
  Values values;
  MString ignored;
  Load(values, ignored);
  return values;
}

bool MGeneralSettings::Save(const Values& values, MString& error, MString* movedAside)
{
  return Write(values, nullptr, error, movedAside);
}

bool MGeneralSettings::LoadSection(const MString& name, MXmlItem& section)
{
  Values values;
  MString error;
  MXmlItem whole;
  if (ReadDocument(GetPath(), values, error, &whole) != FileState::Read || !whole.HasSubItem(name))
    return false;
  section = whole.GetOrAddSubItem(name);
  return true;
}

bool MGeneralSettings::SaveSection(const MXmlItem& section, MString& error)
{
  Values values;
  MString ignored;
  Load(values, ignored);
  return Write(values, &section, error, nullptr);
}

namespace
{
bool Write(const MGeneralSettings::Values& values, const MXmlItem* section, MString& error,
           MString* movedAside)
{
  error = MString();
  if (movedAside != nullptr)
    *movedAside = MString();
  const MString path = MGeneralSettings::GetPath();
  MString temporary;
  try
  {
    if (path.IsEmpty() || !MSettingsFolder::Ensure())
      throw MException(MString("There is no settings folder to keep the general settings in."));
    MGeneralSettings::Values old;
    MString readError;
    std::error_code code;
    MXmlItem previous;
    if (ReadDocument(path, old, readError, &previous) == FileState::Unreadable)
    {
      // The file that could not be read is the user's: keep it under another name.
      const MString aside = MSettingsFolder::MoveAside(path);
      if (aside.IsEmpty())
        throw MException(MString("Could not move the unreadable general settings file aside."));
      if (movedAside != nullptr)
        *movedAside = aside;
    }
    MXmlItem document(MString::FromLiteral(kRootName));
    document.SetAttribute(MString::FromLiteral(MGeneralSettings::kSurroundActivated),
                          values.surroundActivated ? MString("1") : MString("0"));
    document.SetAttribute(MString::FromLiteral(MGeneralSettings::kTabletMode),
                          values.tabletMode ? MString("1") : MString("0"));
    document.SetAttribute(MString::FromLiteral(MGeneralSettings::kShowConfirmations),
                          values.showConfirmations ? MString("1") : MString("0"));
    document.SetAttribute(MString::FromLiteral(MGeneralSettings::kZoom),
                          MString::FromInteger(values.zoomPercent));
    for (int i = 0; i < previous.GetSubItemCount(); ++i)
      if (section == nullptr || !previous.GetSubItemAt(i).GetName().EqualsName(section->GetName()))
        document.AddSubItem(previous.GetSubItemAt(i));
    if (section != nullptr)
      document.AddSubItem(*section);
    temporary = path + MString(".tmp");
    {
      MStdFileStream stream(temporary, MStdFileStream::Mode::Write);
      MXmlWriter::Write(document, stream, false, "utf-8");
      stream.Close();
    }
    std::filesystem::rename(ToPath(temporary), ToPath(path), code);
    if (code)
      throw MException(MString("Could not replace the general settings file."));
    return true;
  }
  catch (const MException& exception)
  {
    error = exception.Message();
  }
  catch (...)
  {
    error = MString("Could not write the general settings file.");
  }
  if (!temporary.IsEmpty())
  {
    std::error_code ignored;
    std::filesystem::remove(ToPath(temporary), ignored);
  }
  return false;
}
} // namespace
