// The plug-in's preset tree: presets.xml in the preset folder, the factory presets, preset steps.

#include "base/MException.h"
#include "base/MHostCallShield.h"
#include "base/MMemoryStream.h"
#include "base/MStorable.h"
#include "base/MXmlReader.h"
#include "core/plugin/MSettingsFolder.h"
#include "framework/MQuorvelAudioEffectPlugin.h"

#include <cstddef>
#include <filesystem>
#include <system_error>

extern const unsigned char kFactoryPresets[];
extern const std::size_t kFactoryPresetsSize;

namespace
{
using MSettingsFolder::ToPath;

MString Join(const MString& folder, const MString& name)
{
  if (folder.IsEmpty())
    return MString();
  MString path = folder;
#ifdef _WIN32
  path += u'\\';
#else
  path += u'/';
#endif
  path += name;
  return path;
}

// The sibling of `parent` that is a folder named `name`, or a preset named `name`.
MXmlItem* FindChild(MXmlItem& parent, const MXmlItem& like)
{
  const bool folder = MPresetTree::IsFolder(like);
  const MString attribute = folder ? MString("Name") : MString("name");
  const MString name = like.GetAttribute(attribute, MString());
  for (int index = 0; index < parent.GetSubItemCount(); ++index)
  {
    MXmlItem& item = parent.GetSubItemAt(index);
    if (MPresetTree::IsFolder(item) == folder && MPresetTree::IsPreset(item) == !folder &&
        item.GetAttribute(attribute, MString()).EqualsName(name))
      return &item;
  }
  return nullptr;
}

// Puts every folder and preset of `from` into `into`: presets replace ones of the same name,
// folders merge with ones of the same name; everything else in `into` stays.
void Merge(const MXmlItem& from, MXmlItem& into)
{
  for (int index = 0; index < from.GetSubItemCount(); ++index)
  {
    const MXmlItem& item = from.GetSubItemAt(index);
    if (!MPresetTree::IsFolder(item) && !MPresetTree::IsPreset(item))
      continue;
    MXmlItem* existing = FindChild(into, item);
    if (MPresetTree::IsPreset(item))
    {
      if (existing != nullptr)
        *existing = item;
      else
        into.AddSubItem(item);
      continue;
    }
    if (existing == nullptr)
    {
      existing = &into.AddSubItem(MString("Directory"));
      existing->SetAttribute(MString("Name"), item.GetAttribute(MString("Name"), MString()));
    }
    Merge(item, *existing);
  }
}
} // namespace

MString MQuorvelAudioEffectPlugin::GetPresetFolder()
{
  return MSettingsFolder::FilePath(MString("Presets"));
}

MString MQuorvelAudioEffectPlugin::GetPresetFilePath()
{
  return Join(GetPresetFolder(), MString("presets.xml"));
}

MXmlItem MQuorvelAudioEffectPlugin::GetFactoryPresets() const
{
  MXmlItem tree(MString("presets"));
  try
  {
    MMemoryStream stream(kFactoryPresets, kFactoryPresetsSize);
    MXmlItem document;
    MXmlReader::Read(stream, document);
    MPresetTree::Check(document, MString("presets"));
    // The shipped document names the effect it belongs to.
    if (document.GetAttribute(MString("Effect"), MString()).EqualsName(m_pluginName))
    {
      document.RemoveAttribute(MString("Effect"));
      tree = std::move(document);
    }
  }
  catch (const MException&)
  {
    // The shipped document is checked by the tests; a damaged build ships no factory presets.
  }
  return tree;
}

MQuorvelAudioEffectPlugin::PresetManager& MQuorvelAudioEffectPlugin::GetPresetManager()
{
  if (m_presetTreeLoaded)
    return m_presetManager;
  m_presetTreeLoaded = true;
  const MString path = GetPresetFilePath();
  std::error_code error;
  if (path.IsEmpty() || !std::filesystem::exists(ToPath(path), error))
  {
    // First use: the factory presets, written at once so the user's tree exists on disk.
    m_presetManager.GetRoot() = GetFactoryPresets();
    MString ignored;
    if (!path.IsEmpty() && m_presetManager.GetPresetCount() > 0)
      SavePresetTree(ignored);
    return m_presetManager;
  }
  try
  {
    m_presetManager.Load(path);
  }
  catch (const MException& exception)
  {
    m_presetFileUnreadable = true;
    m_presetTreeError = exception.Message();
  }
  return m_presetManager;
}

bool MQuorvelAudioEffectPlugin::SavePresetTree(MString& error)
{
  error = MString();
  const MString path = GetPresetFilePath();
  if (path.IsEmpty())
  {
    error = MString("There is no settings folder to keep the presets in.");
    return false;
  }
  try
  {
    if (m_presetFileUnreadable)
    {
      // The file that could not be read is the user's: keep it under another name.
      std::error_code code;
      if (MSettingsFolder::MoveAside(path).IsEmpty() && std::filesystem::exists(ToPath(path), code))
        throw MException(MString("Could not move the unreadable preset file aside."));
      m_presetFileUnreadable = false;
    }
    m_presetManager.Save(path);
    return true;
  }
  catch (const MException& exception)
  {
    error = exception.Message();
  }
  catch (...)
  {
    error = MString("Could not write the preset file.");
  }
  return false;
}

void MQuorvelAudioEffectPlugin::RestoreFactoryPresets()
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::RestoreFactoryPresets",
                       [&] { Merge(GetFactoryPresets(), GetPresetManager().GetRoot()); });
}

void MQuorvelAudioEffectPlugin::LoadPresetSettings(MXmlItem& settings)
{
  // A preset written without controller lists must not clear the user's assignments.
  if (!settings.HasSubItem(MString("Controllers")) && !settings.HasSubItem(MString("NoteControllers")))
  {
    MXmlItem current(MString("settings"));
    MControllerSettings::Save(*this, m_controllers, m_noteControllers, current);
    for (int index = 0; index < current.GetSubItemCount(); ++index)
      settings.AddSubItem(current.GetSubItemAt(index));
  }
  MStoreContext context(false, settings);
  StoreSettings(context);
  ReportStateChangedToHost();
}

void MQuorvelAudioEffectPlugin::SavePresetSettings(MXmlItem& settings)
{
  MStoreContext context(true, settings);
  StoreSettings(context);
}

void MQuorvelAudioEffectPlugin::ApplyPresetStep(std::int32_t step)
{
  // Audio thread: applying a preset reads files and allocates, so it waits for the host or GUI
  // thread. Steps add up until then.
  m_queuedPresetStep.fetch_add(step, std::memory_order_relaxed);
}

void MQuorvelAudioEffectPlugin::ApplyQueuedPresetStep()
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::ApplyQueuedPresetStep", [&] {
    std::unique_lock<std::mutex> applying(m_queuedStepMutex, std::try_to_lock);
    if (!applying.owns_lock())
      return;
    const std::int32_t program = m_queuedProgram.exchange(-1, std::memory_order_relaxed);
    const std::int32_t step = m_queuedPresetStep.exchange(0, std::memory_order_relaxed);
    // The idle tick calls this all the time: the tree is read only when something is asked for.
    if (program < 0 && step == 0)
      return;
    PresetManager& manager = GetPresetManager();
    if (program >= 0 && program < manager.GetPresetCount())
      manager.ApplyPresetAt(program);
    if (step != 0)
      manager.Step(step);
  });
}

void MQuorvelAudioEffectPlugin::ProcessProgramChange(std::int32_t delta, double time, std::int32_t channel,
                                                     std::int32_t program)
{
  MAudioEffectPluginToAudioPluginAdapter::ProcessProgramChange(delta, time, channel, program);
  if (program >= 0 && program < 128)
    m_queuedProgram.store(program, std::memory_order_relaxed);
}

void MQuorvelAudioEffectPlugin::OnEditorIdle()
{
  MAudioEffectPluginToAudioPluginAdapter::OnEditorIdle();
  ApplyQueuedPresetStep();
  UpdateOptimalGainWindow();
  RefreshPresetBarIfChanged();
}

void MQuorvelAudioEffectPlugin::BackgroundTick(void* context)
{
  // While no editor is open nobody idles: a queued program change or step is applied here.
  auto& plugin = *static_cast<MQuorvelAudioEffectPlugin*>(context);
  if (plugin.IsEditorOpen() || (plugin.m_queuedProgram.load(std::memory_order_relaxed) < 0 &&
                                plugin.m_queuedPresetStep.load(std::memory_order_relaxed) == 0))
    return;
  plugin.ApplyQueuedPresetStep();
}

std::int32_t MQuorvelAudioEffectPlugin::ChooseSmartRandom()
{
  return GetPresetManager().CountPresetsIn(MString("Randomizer"));
}
