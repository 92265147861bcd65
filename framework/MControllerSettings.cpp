#include "framework/MControllerSettings.h"

#include "base/MXmlItem.h"
#include "core/plugin/MAudioPlugin.h"
#include "framework/MSettingsText.h"

#include <algorithm>
#include <cmath>

namespace
{
void PutInteger(MXmlItem& item, const char* name, std::int32_t value, std::int32_t omitted)
{
  if (value != omitted)
    item.SetAttribute(MString::FromLiteral(name), MString::FromInteger(value));
}

void PutDouble(MXmlItem& item, const char* name, double value, double omitted)
{
  if (std::fabs(value - omitted) >= 1e-50)
    item.SetAttribute(MString::FromLiteral(name), MString::FromDouble(value, 12));
}

void GetInteger(const MXmlItem& item, const char* name, std::int32_t& value, std::int32_t low,
                std::int32_t high)
{
  std::int32_t read = 0;
  if (item.HasAttribute(MString::FromLiteral(name)) && MSettingsText::ReadInteger(item.GetAttribute(), read))
    value = std::clamp(read, low, high);
}

void GetBool(const MXmlItem& item, const char* name, bool& value)
{
  std::int32_t read = 0;
  if (item.HasAttribute(MString::FromLiteral(name)) && MSettingsText::ReadInteger(item.GetAttribute(), read))
    value = read != 0;
}

void GetUnit(const MXmlItem& item, const char* name, double& value)
{
  double read = 0.0;
  if (item.HasAttribute(MString::FromLiteral(name)) && MSettingsText::ReadDouble(item.GetAttribute(), read))
    value = std::clamp(read, 0.0, 1.0);
}

MString ParameterName(const MAudioPlugin& plugin, std::int32_t index)
{
  return plugin.GetParameterName(index);
}

// Index of the host parameter of that name, -1 when there is none.
std::int32_t ResolveParameter(const MAudioPlugin& plugin, const MXmlItem& item)
{
  if (!item.HasAttribute(MString("ParameterName")))
    return -1;
  const MString name = item.GetAttribute();
  const std::int32_t count = plugin.GetNumParameters();
  for (std::int32_t index = 0; index < count; ++index)
    if (plugin.GetParameterName(index).EqualsName(name))
      return index;
  return -1;
}

void ReplaceSubItem(MXmlItem& item, const MString& name, MXmlItem list)
{
  if (item.HasSubItem(name))
  {
    item.GetSubItem() = std::move(list);
    return;
  }
  item.AddSubItem(std::move(list));
}
} // namespace

namespace MControllerSettings
{
void Save(const MAudioPlugin& plugin, const std::vector<MControllerAssignment>& controllers,
          const std::vector<MNoteControllerAssignment>& noteControllers, MXmlItem& item)
{
  MXmlItem list(MString("Controllers"));
  for (const MControllerAssignment& entry : controllers)
  {
    MXmlItem& sub = list.AddSubItem(MString("Controller"));
    PutInteger(sub, "Enabled", entry.enabled ? 1 : 0, 0);
    sub.SetAttribute(MString("ParameterName"), ParameterName(plugin, entry.parameter));
    PutDouble(sub, "Value", entry.value, 0.0);
    PutDouble(sub, "MaxValue", entry.maxValue, 0.0);
    PutDouble(sub, "Range", entry.range, 1.0);
    PutInteger(sub, "Channel", entry.channel, 0);
    PutInteger(sub, "Controller", entry.controller, 1);
    sub.SetAttribute(MString("FullRange"), MString::FromInteger(entry.rangeMode));
    PutInteger(sub, "Invert", entry.invert ? 1 : 0, 0);
  }
  ReplaceSubItem(item, MString("Controllers"), std::move(list));

  MXmlItem notes(MString("NoteControllers"));
  for (const MNoteControllerAssignment& entry : noteControllers)
  {
    MXmlItem& sub = notes.AddSubItem(MString("NoteController"));
    PutInteger(sub, "Enabled", entry.enabled ? 1 : 0, 0);
    sub.SetAttribute(MString("ParameterName"), ParameterName(plugin, entry.parameter));
    PutInteger(sub, "Mode", entry.mode, 1);
    PutInteger(sub, "Channel", entry.channel, 0);
    PutInteger(sub, "Note", entry.note, 48);
    PutDouble(sub, "Value", entry.value, 0.0);
    PutDouble(sub, "MaxValue", entry.maxValue, 1.0);
  }
  ReplaceSubItem(item, MString("NoteControllers"), std::move(notes));
}

void Load(const MAudioPlugin& plugin, const MXmlItem& item, std::vector<MControllerAssignment>& controllers,
          std::vector<MNoteControllerAssignment>& noteControllers)
{
  controllers.clear();
  noteControllers.clear();
  if (item.HasSubItem(MString("Controllers")))
  {
    const MXmlItem& list = item.GetSubItem();
    for (int index = 0; index < list.GetSubItemCount() && controllers.size() < kMaxAssignments; ++index)
    {
      const MXmlItem& sub = list.GetSubItemAt(index);
      if (!sub.GetName().EqualsName(MString("Controller")))
        continue;
      MControllerAssignment entry;
      entry.parameter = ResolveParameter(plugin, sub);
      if (entry.parameter < 0)
        continue;
      GetBool(sub, "Enabled", entry.enabled);
      GetUnit(sub, "Value", entry.value);
      GetUnit(sub, "MaxValue", entry.maxValue);
      GetUnit(sub, "Range", entry.range);
      GetInteger(sub, "Channel", entry.channel, 0, 16);
      GetInteger(sub, "Controller", entry.controller, 0, 131);
      GetInteger(sub, "FullRange", entry.rangeMode, 0, 4);
      GetBool(sub, "Invert", entry.invert);
      controllers.push_back(entry);
    }
  }
  if (item.HasSubItem(MString("NoteControllers")))
  {
    const MXmlItem& list = item.GetSubItem();
    for (int index = 0; index < list.GetSubItemCount() && noteControllers.size() < kMaxAssignments; ++index)
    {
      const MXmlItem& sub = list.GetSubItemAt(index);
      if (!sub.GetName().EqualsName(MString("NoteController")))
        continue;
      MNoteControllerAssignment entry;
      entry.parameter = ResolveParameter(plugin, sub);
      if (entry.parameter < 0)
        continue;
      GetBool(sub, "Enabled", entry.enabled);
      if (sub.HasAttribute(MString("Mode")))
        GetInteger(sub, "Mode", entry.mode, 0, 6);
      else if (sub.HasAttribute(MString("Logarithmic")))
      {
        bool logarithmic = false;
        GetBool(sub, "Logarithmic", logarithmic);
        entry.mode = logarithmic ? 1 : 0;
      }
      GetInteger(sub, "Channel", entry.channel, 0, 16);
      GetInteger(sub, "Note", entry.note, 0, 127);
      GetUnit(sub, "Value", entry.value);
      GetUnit(sub, "MaxValue", entry.maxValue);
      noteControllers.push_back(entry);
    }
  }
}
} // namespace MControllerSettings
