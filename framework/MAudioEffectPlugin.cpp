#include "framework/MAudioEffectPlugin.h"

#include "base/MException.h"
#include "base/MLockGuard.h"
#include "base/MStorable.h"
#include "base/MXmlItem.h"
#include "framework/MAudioEffectPluginHost.h"
#include "framework/MSettingsText.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace
{
MString AttributeName(const MParameterInfo& info)
{
  MString name("parameter");
  name += info.key;
  if (info.type == MParameterInfo::kEnumeration)
    name += MString("Enum");
  return name;
}

MString EnumerationName(const MParameterInfo& info, std::int32_t index)
{
  const auto& fields = info.enumeration;
  if (fields.names == nullptr || index < 0 || index >= fields.count || fields.names[index] == nullptr)
    return MString();
  return MString::FromUTF8(fields.names[index]);
}

void SaveParameter(const MParameterInfo& info, MXmlItem& item)
{
  MString value;
  switch (info.type)
  {
  case MParameterInfo::kFloat:
    value = MString::FromDouble(info.floating.value, 12);
    break;
  case MParameterInfo::kInteger:
    value = MString::FromInteger(info.integer.value);
    break;
  case MParameterInfo::kEnumeration:
    value = EnumerationName(info, info.enumeration.value);
    break;
  case MParameterInfo::kBoolean:
    value = info.boolean.value.Load() ? MString("1") : MString("0");
    break;
  case MParameterInfo::kGroup:
    if (info.group.enabled == nullptr)
      return;
    value = info.group.enabled->Load() ? MString("1") : MString("0");
    break;
  case MParameterInfo::kText:
    value = info.text;
    break;
  default:
    return;
  }
  item.SetAttribute(AttributeName(info), value);
}

// Every value read here comes from outside: a number is clamped into the parameter's range, and
// text that is no number (or no name of the enumeration) leaves the parameter as it was.
void LoadParameter(MParameterInfo& info, const MXmlItem& item)
{
  if (info.type == MParameterInfo::kText)
  {
    if (item.HasAttribute(AttributeName(info)))
      info.text = item.GetAttribute();
    return;
  }
  double value = 0.0;
  if (!MAudioEffectPlugin::ReadStoredValue(info, item, value))
    return;
  switch (info.type)
  {
  case MParameterInfo::kFloat:
    info.floating.value = value;
    break;
  case MParameterInfo::kInteger:
    info.integer.value = static_cast<std::int32_t>(value);
    break;
  case MParameterInfo::kEnumeration:
    info.enumeration.value = static_cast<std::int32_t>(value);
    break;
  case MParameterInfo::kBoolean:
    info.boolean.value = value != 0.0;
    break;
  case MParameterInfo::kGroup:
    info.group.enabled->Store(value != 0.0);
    break;
  default:
    break;
  }
}

double BlockDouble(const MPluginCommandBlock& block, int index)
{
  const double* pointer = block.GetPointer<const double>(index);
  return pointer != nullptr ? *pointer : 0.0;
}

std::int32_t ToInt32(std::int64_t value)
{
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}
} // namespace

std::int64_t MAudioEffectPlugin::Command(std::int64_t command, MPluginCommandBlock* block)
{
  MPluginCommandBlock empty;
  MPluginCommandBlock& b = block != nullptr ? *block : empty;
  try
  {
    switch (command)
    {
    case MPluginCommand::kConnect:
      return Connect(b.GetPointer<MPluginHost>(0), b.Get(1));
    case MPluginCommand::kDestroy:
    {
      // Never delete an effect in the middle of a block.
      m_processingLock.Acquire();
      m_processingLock.Release();
      delete this;
      return 0;
    }
    case MPluginCommand::kGetParameterTable:
      return MPluginCommandBlock::FromPointer(&m_parameterTable);
    case MPluginCommand::kStart:
      Start();
      return 0;
    case MPluginCommand::kParameterChanged:
    {
      const std::int64_t index = b.Get(0);
      OnParameterChanged(ToInt32(index));
      if (index < 0 || index >= m_parameterTable.count || m_parameterTable.descriptors == nullptr ||
          m_parameterTable.descriptors[index].Has(MParameterInfo::kSetsChangedBit))
        OnParametersChanged();
      return 0;
    }
    case MPluginCommand::kEditorOpened:
      // The one place the editor's container crosses the command function untyped: the sender
      // (MAudioEffectPluginToAudioPluginAdapter::CreateUserControls) passes an MContainer*.
      CreateEditorContents(b.GetPointer<MContainer>(0));
      return 0;
    case MPluginCommand::kEditorClosed:
      EditorClosed();
      return 0;
    case MPluginCommand::kGetInstance:
      return GetHandle();
    case MPluginCommand::kStoreSettings:
    case MPluginCommand::kLoadSettings:
    {
      MXmlItem* item = b.GetPointer<MXmlItem>(0);
      if (item == nullptr)
        return 0;
      return (command == MPluginCommand::kStoreSettings ? StoreSettings(*item) : LoadSettings(*item)) ? 1 : 0;
    }
    case MPluginCommand::kNotify:
      OnCustomNotification();
      return 0;
    case MPluginCommand::kQuery:
      return CustomQuery(b.Get(0));
    case MPluginCommand::kCreateEditorContents:
      // As kEditorOpened: the block carries the editor's MContainer*.
      return CreateEditorContents(b.GetPointer<MContainer>(0));
    case MPluginCommand::kCustomCommand:
      return CustomCommand(b.Get(0), b.Get(1));
    case MPluginCommand::kInitProcessing:
    {
      const std::int32_t result = InitProcessing(ToInt32(b.Get(0)), BlockDouble(b, 1));
      OnParametersChanged();
      CommitParameterValues();
      return result;
    }
    case MPluginCommand::kProcess:
    {
      const Transport* transport = b.GetPointer<const Transport>(0);
      Process(transport != nullptr ? *transport : Transport{}, b.GetPointer<float*>(1),
              b.GetPointer<float*>(2), ToInt32(b.Get(3)));
      return 0;
    }
    case MPluginCommand::kGetCustomInteger:
      return GetCustomInteger();
    case MPluginCommand::kGetLatency:
      return GetLatency();
    case MPluginCommand::kSetCustomValue:
      SetCustomValue(b.Get(0));
      return 0;
    case MPluginCommand::kGetTailSize:
      return GetTailSize();
    case MPluginCommand::kProcessUpdate:
      ProcessUpdate();
      return 0;
    case MPluginCommand::kInitProcessingGUI:
      InitProcessingGUI();
      return 0;
    default:
      return MPluginCommand::kUnknown;
    }
  }
  catch (...)
  {
    // The command function is the boundary of the effect: nothing may cross it.
    return 0;
  }
}

void MAudioEffectPlugin::CommitParameterValues()
{
  for (std::int32_t index = 0; m_parameterTable.descriptors != nullptr && index < m_parameterTable.count;
       ++index)
  {
    MParameterInfo& info = m_parameterTable.descriptors[index];
    if (info.type == MParameterInfo::kFloat)
      info.floating.previous = info.floating.value.Load();
  }
}

void MAudioEffectPlugin::OnParameterChanged(std::int32_t) {}

void MAudioEffectPlugin::OnParametersChanged() {}

std::int32_t MAudioEffectPlugin::CreateEditorContents(MContainer*)
{
  return 0;
}

void MAudioEffectPlugin::EditorClosed() {}

std::int32_t MAudioEffectPlugin::GetControlParameter(const MControl&, std::int32_t) const
{
  return -1;
}

bool MAudioEffectPlugin::StoreSettings(MXmlItem& item)
{
  for (std::int32_t index = 0; m_parameterTable.descriptors != nullptr && index < m_parameterTable.count;
       ++index)
    SaveParameter(m_parameterTable.descriptors[index], item);
  MStoreContext context(true, item);
  StoreExtraSettings(context);
  return true;
}

void MAudioEffectPlugin::KeepInstanceSettings(MXmlItem& preset) const
{
  for (std::int32_t index = 0; m_parameterTable.descriptors != nullptr && index < m_parameterTable.count;
       ++index)
  {
    const MParameterInfo& info = m_parameterTable.descriptors[index];
    if ((info.flags2 & MParameterInfo::kKeptByPresets) != 0 && !preset.HasAttribute(AttributeName(info)))
      SaveParameter(info, preset);
  }
}

bool MAudioEffectPlugin::ReadStoredValue(const MParameterInfo& info, const MXmlItem& item, double& plain)
{
  if (!item.HasAttribute(AttributeName(info)))
    return false;
  const MString text = item.GetAttribute();
  switch (info.type)
  {
  case MParameterInfo::kFloat:
  {
    double value = 0.0;
    if (!MSettingsText::ReadDouble(text, value))
      return false;
    const auto& fields = info.floating;
    plain =
        std::clamp(value, std::min(fields.minimum, fields.maximum), std::max(fields.minimum, fields.maximum));
    return true;
  }
  case MParameterInfo::kInteger:
  {
    std::int32_t value = 0;
    if (!MSettingsText::ReadInteger(text, value))
      return false;
    const auto& fields = info.integer;
    plain =
        std::clamp(value, std::min(fields.minimum, fields.maximum), std::max(fields.minimum, fields.maximum));
    return true;
  }
  case MParameterInfo::kEnumeration:
    for (std::int32_t index = 0; index < info.enumeration.count; ++index)
      if (info.enumeration.names != nullptr && info.enumeration.names[index] != nullptr &&
          EnumerationName(info, index).EqualsName(text))
      {
        plain = index;
        return true;
      }
    return false;
  case MParameterInfo::kBoolean:
  case MParameterInfo::kGroup:
  {
    std::int32_t value = 0;
    if ((info.type == MParameterInfo::kGroup && info.group.enabled == nullptr) ||
        !MSettingsText::ReadInteger(text, value))
      return false;
    plain = value != 0 ? 1.0 : 0.0;
    return true;
  }
  default:
    return false;
  }
}

bool MAudioEffectPlugin::ReadStoredAdapterValue(const MAudioPlugin::AutomationAdapter&, std::int32_t,
                                                const MXmlItem&, double&) const
{
  return false;
}

bool MAudioEffectPlugin::LoadSettings(MXmlItem& item)
{
  for (std::int32_t index = 0; m_parameterTable.descriptors != nullptr && index < m_parameterTable.count;
       ++index)
    LoadParameter(m_parameterTable.descriptors[index], item);
  {
    MLockGuard guard(m_processingLock);
    MStoreContext context(false, item);
    StoreExtraSettings(context);
  }
  AfterSettingsLoaded();
  OnParametersChanged();
  CommitParameterValues();
  return true;
}

void MAudioEffectPlugin::StoreExtraSettings(MStoreContext&) {}

void MAudioEffectPlugin::AfterSettingsLoaded() {}

void MAudioEffectPlugin::AddAutomationAdapters(MAudioPlugin&) {}

void MAudioEffectPlugin::SetParametersChanged()
{
  m_effectFlags.SetBits(kParametersChanged);
}

void MAudioEffectPlugin::OnCustomNotification() {}

std::int32_t MAudioEffectPlugin::CustomQuery(std::int64_t)
{
  return 0;
}

void MAudioEffectPlugin::Randomize(double amount)
{
  for (std::int32_t index = 0; m_parameterTable.descriptors != nullptr && index < m_parameterTable.count;
       ++index)
    m_parameterTable.descriptors[index].Randomize(amount);
  if (std::fabs(amount - 1.0) < 1e-50)
    RandomizeSmart();
  OnParametersChanged();
}

void MAudioEffectPlugin::RandomizeSmart() {}

MMIDIOutputQueue* MAudioEffectPlugin::GetMIDIOutput()
{
  return nullptr;
}

bool MAudioEffectPlugin::ReadDisplay(MAudioPlugin::DisplaySnapshot&) const noexcept
{
  return false;
}

void MAudioEffectPlugin::ShowDisplay(const MAudioPlugin::DisplaySnapshot&) {}

void MAudioEffectPlugin::RandomizeSmartFinish() {}

std::int64_t MAudioEffectPlugin::CustomCommand(std::int64_t, std::int64_t)
{
  return 0;
}

std::int32_t MAudioEffectPlugin::InitProcessing(std::int32_t channels, double sampleRate)
{
  m_channels = channels;
  m_sampleRate = sampleRate;
  return 0;
}

void MAudioEffectPlugin::InitProcessingGUI() {}

void MAudioEffectPlugin::ProcessUpdate() {}

std::int32_t MAudioEffectPlugin::GetCustomInteger()
{
  return 0;
}

std::int32_t MAudioEffectPlugin::GetLatency()
{
  return 0;
}

std::int32_t MAudioEffectPlugin::GetTailSize()
{
  return 0;
}

void MAudioEffectPlugin::SetCustomValue(std::int64_t) {}

MAudioEffectPluginHost* MAudioEffectPlugin::GetHost() const noexcept
{
  return dynamic_cast<MAudioEffectPluginHost*>(m_pluginHost);
}

bool MAudioEffectPlugin::TakeParametersChanged() noexcept
{
  if (!AreParametersChanged())
    return false;
  m_effectFlags.ClearBits(kParametersChanged);
  return true;
}
