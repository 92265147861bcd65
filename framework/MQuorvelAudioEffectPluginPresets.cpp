// The plug-in's preset tree: presets.xml in the preset folder, the factory presets, preset steps.

#include "base/MException.h"
#include "base/MFileLock.h"
#include "base/MHostCallShield.h"
#include "base/MMemoryStream.h"
#include "base/MStorable.h"
#include "base/MXmlReader.h"
#include "core/plugin/MSettingsFolder.h"
#include "framework/MQuorvelAudioEffectPlugin.h"

#include <algorithm>
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
      // A factory preset put back over the user's copy stays that item (its id).
      const MString id = existing != nullptr ? MPresetTree::IdOf(*existing) : MPresetTree::NewId();
      MXmlItem& put = existing != nullptr ? (*existing = item) : into.AddSubItem(item);
      put.SetAttribute(MString("id"), id);
      continue;
    }
    if (existing == nullptr)
    {
      existing = &into.AddSubItem(MString("Directory"));
      existing->SetAttribute(MString("Name"), item.GetAttribute(MString("Name"), MString()));
      existing->SetAttribute(MString("id"), MPresetTree::NewId());
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
  // The tree counts as read only once it is filled: another thread waits here until then.
  const std::lock_guard presets(m_presetMutex);
  if (m_presetTreeLoaded)
    return m_presetManager;
  const MString path = GetPresetFilePath();
  std::error_code error;
  if (path.IsEmpty() || !std::filesystem::exists(ToPath(path), error))
  {
    // First use: the factory presets, written at once so the user's tree exists on disk (unless
    // another instance wrote its tree meanwhile: that one is read).
    MXmlItem factory = GetFactoryPresets();
    try
    {
      // A mirror leaves the file to the instances: it only reads one they wrote.
      if (path.IsEmpty() || factory.GetSubItemCount() == 0 || IsMirror())
        m_presetManager.SetTree(std::move(factory));
      else
        m_presetManager.LoadOrCreate(path, std::move(factory));
    }
    catch (const MException& exception)
    {
      m_presetTreeError = exception.Message();
    }
  }
  else
  {
    try
    {
      m_presetManager.Load(path);
    }
    catch (const MException& exception)
    {
      m_presetFileUnreadable = true;
      m_presetTreeError = exception.Message();
    }
  }
  m_presetTreeLoaded = true;
  return m_presetManager;
}

bool MQuorvelAudioEffectPlugin::ChangePresetTree(const std::function<void(PresetManager&)>& change,
                                                 MString& error)
{
  error = MString();
  const MString path = GetPresetFilePath();
  if (path.IsEmpty())
  {
    error = MString("There is no settings folder to keep the presets in.");
    return false;
  }
  if (IsMirror())
  {
    // A preset saved here would hold the controller lists and slots of this window, not the
    // instance's: the host hands over the parameters only.
    error = MString("Presets cannot be saved here: the host gives this window the plug-in's parameters only. "
                    "Nothing was changed.");
    return false;
  }
  const std::lock_guard presets(m_presetMutex);
  PresetManager& manager = GetPresetManager();
  try
  {
    // A file still unreadable under the lock is moved aside by the change itself (another
    // instance may have written a sound one since this one failed to read it: that one is
    // merged, never moved).
    KeepingCurrentPreset([&] { manager.Change(path, [&](MPresetTree&) { change(manager); }); });
    m_presetFileUnreadable = false;
    m_presetTreeError = MString();
    const MString aside = manager.TakeMovedAside();
    if (!aside.IsEmpty())
      error = MString("presets.xml could not be read; it was kept as ") + aside +
              MString(" and your presets were saved in a new presets.xml.");
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

bool MQuorvelAudioEffectPlugin::SavePresetTree(MString& error)
{
  return ChangePresetTree([](PresetManager&) {}, error);
}

bool MQuorvelAudioEffectPlugin::PresetFileChanged()
{
  const std::lock_guard presets(m_presetMutex);
  const MString path = GetPresetFilePath();
  return m_presetTreeLoaded && !m_presetFileUnreadable && !path.IsEmpty() &&
         m_presetManager.ChangedOnDisk(path);
}

bool MQuorvelAudioEffectPlugin::ReloadPresetTree()
{
  return MHostCallShield::Run("MQuorvelAudioEffectPlugin::ReloadPresetTree", false, [&] {
    const MString path = GetPresetFilePath();
    const std::lock_guard presets(m_presetMutex);
    PresetManager& manager = GetPresetManager();
    if (m_presetFileUnreadable || path.IsEmpty())
      return false;
    bool changed = false;
    try
    {
      KeepingCurrentPreset([&] { changed = manager.Synchronize(path); });
    }
    catch (const MException&)
    {
      // A file another program left unreadable: this tree stays, the next change reports it.
    }
    return changed;
  });
}

template <class Body>
void MQuorvelAudioEffectPlugin::KeepingCurrentPreset(Body&& body)
{
  // A merge rebuilds the tree: the current preset is found again by its id, and is no longer
  // current when another instance removed it.
  const std::int32_t index = GetCurrentPresetIndex();
  const MString current = index >= 0 && index < m_presetManager.GetPresetCount()
                              ? MPresetTree::IdOf(m_presetManager.GetPreset(index))
                              : MString();
  body();
  if (!current.IsEmpty())
    SetCurrentPresetIndex(m_presetManager.IndexOfPreset(current));
}

void MQuorvelAudioEffectPlugin::RestoreFactoryPresets()
{
  MHostCallShield::Run("MQuorvelAudioEffectPlugin::RestoreFactoryPresets", [&] {
    const std::lock_guard presets(m_presetMutex);
    Merge(GetFactoryPresets(), GetPresetManager().GetRoot());
  });
}

void MQuorvelAudioEffectPlugin::LoadPresetSettings(MXmlItem& settings)
{
  const std::lock_guard presets(m_presetMutex);
  // A preset written without controller lists must not clear the user's assignments.
  if (!settings.HasSubItem(MString("Controllers")) && !settings.HasSubItem(MString("NoteControllers")))
  {
    MXmlItem current(MString("settings"));
    MControllerSettings::Save(*this, m_controllers, m_noteControllers, current);
    for (int index = 0; index < current.GetSubItemCount(); ++index)
      settings.AddSubItem(current.GetSubItemAt(index));
  }
  // Nor may one change what belongs to the instance rather than the sound unless it says so.
  if (const MAudioEffectPlugin* effect = GetEffect())
    effect->KeepInstanceSettings(settings);
  MStoreContext context(false, settings);
  StoreSettings(context);
  ReportStateChangedToHost();
}

void MQuorvelAudioEffectPlugin::SavePresetSettings(MXmlItem& settings)
{
  const std::lock_guard presets(m_presetMutex);
  MStoreContext context(true, settings);
  StoreSettings(context);
}

MString MQuorvelAudioEffectPlugin::GetCurrentPresetName()
{
  // Without a current preset the tree is not needed: opening the editor reads no file then.
  const auto presets = LockPresets();
  const std::int32_t current = GetCurrentPresetIndex();
  MString name;
  if (current >= 0 && current < GetPresetManager().GetPresetCount())
    name = GetPresetManager().GetPreset(current).GetAttribute(MString("name"), MString());
  return name.IsEmpty() ? MString::FromLiteral(MPresetTree::kUnnamedPreset) : name;
}

bool MQuorvelAudioEffectPlugin::StepPreset(std::int32_t step, MString& error)
{
  error = MString();
  const auto presets = LockPresets();
  PresetManager& manager = GetPresetManager();
  const std::int64_t count = manager.GetPresetCount();
  if (count == 0 || step == 0)
    return false;
  std::int64_t index = GetCurrentPresetIndex();
  if (index < 0 || index >= count)
    index = step > 0 ? -1 : count;
  index += step;
  // A damaged preset is passed over (the first problem is reported); after a full round nothing
  // could be applied and the state is as it was.
  for (std::int64_t attempt = 0; attempt<count; ++attempt, index += step> 0 ? 1 : -1)
  {
    index = ((index % count) + count) % count;
    try
    {
      manager.ApplyPresetAt(static_cast<std::int32_t>(index));
      return true;
    }
    catch (const MException& exception)
    {
      if (error.IsEmpty())
        error = exception.Message();
    }
  }
  return false;
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
    // The update thread must not wait for a window action of the GUI thread: whoever finds the
    // lock taken leaves the work for its next tick (the queue keeps it).
    std::unique_lock applying(m_presetMutex, std::try_to_lock);
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
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->OnEditorIdle(*this);
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
  const std::lock_guard presets(m_presetMutex);
  return GetPresetManager().CountPresetsIn(MString("Randomizer"));
}
