#include "framework/MQuorvelPresetWindow.h"

#include "framework/MGeneralSettings.h"

#include "base/MException.h"
#include "base/MStringList.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MFileDialog.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <string>

namespace
{
MWindowSystemCommon* SystemOf(MControl& origin)
{
  MWindow* window = origin.GetWindow();
  return window != nullptr ? window->GetWindowSystem() : nullptr;
}

MString NameOf(const MXmlItem& item)
{
  return MPresetTree::IsFolder(item) ? item.GetAttribute(MString("Name"), MString())
                                     : item.GetAttribute(MString("name"), MString());
}

// The buttons beside the tree, in their order, with the help line's text.
struct Action
{
  const char* id;
  const char* text;
  const char* help;
  bool (MQuorvelAudioEffectPlugin::PresetWindow::*run)();
};
const Action kActions[] = {
    {"PresetLoad", "Load", "<name>Load</name> applies the selected preset (a double click does the same).",
     &MQuorvelAudioEffectPlugin::PresetWindow::LoadSelected},
    {"PresetSave", "Save new...",
     "<name>Save new</name> keeps the current settings as a new preset in the selected folder.",
     &MQuorvelAudioEffectPlugin::PresetWindow::SaveNew},
    {"PresetReplace", "Replace", "<name>Replace</name> stores the current settings in the selected preset.",
     &MQuorvelAudioEffectPlugin::PresetWindow::ReplaceSelected},
    {"PresetRename", "Rename...", "<name>Rename</name> gives the selected preset or folder a new name.",
     &MQuorvelAudioEffectPlugin::PresetWindow::RenameSelected},
    {"PresetDelete", "Delete",
     "<name>Delete</name> removes the selected preset, or the selected folder with everything in it.",
     &MQuorvelAudioEffectPlugin::PresetWindow::DeleteSelected},
    {"PresetNewFolder", "New folder",
     "<name>New folder</name> adds a folder beside the selection, or inside the selected folder.",
     &MQuorvelAudioEffectPlugin::PresetWindow::AddFolder},
    {"PresetExport", "Export...", "<name>Export</name> writes the selected folder to a file you can share.",
     &MQuorvelAudioEffectPlugin::PresetWindow::ExportSelected},
    {"PresetImport", "Import...",
     "<name>Import</name> reads a shared preset folder from a file into the selected folder.",
     &MQuorvelAudioEffectPlugin::PresetWindow::Import},
    {"PresetFactory", "Factory presets",
     "<name>Factory presets</name> puts the presets shipped with the plug-in back; your own presets stay.",
     &MQuorvelAudioEffectPlugin::PresetWindow::RestoreFactory},
};
constexpr std::int32_t kActionCount = static_cast<std::int32_t>(std::size(kActions));
} // namespace

// ---- dialogs --------------------------------------------------------------------------------------

void MQuorvelEditorDialogs::Tell(MControl& origin, const MString& title, const MString& message)
{
  if (MWindowSystemCommon* system = SystemOf(origin))
    MMessageDialogWindow(title, message).Run(*system);
}

bool MQuorvelEditorDialogs::Ask(MControl& origin, const MString& title, const MString& question)
{
  MWindowSystemCommon* system = SystemOf(origin);
  return system != nullptr &&
         MMessageDialogWindow(title, question, MMessageDialogWindow::Buttons::YesNo).Run(*system) ==
             MModalValue::Yes;
}

bool MQuorvelEditorDialogs::Confirm(MControl& origin, const MString& title, const MString& question)
{
  return !MGeneralSettings::ShowConfirmations() || Ask(origin, title, question);
}

bool MQuorvelEditorDialogs::AskText(MControl& origin, const MString& title, const MString& prompt,
                                    MString& text)
{
  MWindowSystemCommon* system = SystemOf(origin);
  if (system == nullptr)
    return false;
  MEditTextDialog dialog(title, prompt, text);
  if (dialog.Run(*system) != MModalValue::Ok)
    return false;
  text = dialog.GetText();
  return true;
}

bool MQuorvelEditorDialogs::AskFile(MControl& origin, const MString& title, const MString& folder,
                                    const MString& extension, bool saving, MString& path)
{
  MWindowSystemCommon* system = SystemOf(origin);
  if (system == nullptr)
    return false;
  MStringList filter;
  filter.Add(extension);
  MFileDialog dialog(title, folder, filter);
  if (dialog.Run(*system) != MModalValue::Ok || dialog.GetPath().IsEmpty())
    return false;
  path = dialog.GetPath();
  // Exchange files are known by their extension: a typed name without it gets it.
  std::string name = path.ToUTF8();
  const std::string suffix = "." + extension.ToUTF8();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (saving &&
      (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0))
    path = path + MString::FromUTF8(suffix);
  return true;
}

// ---- the tree -------------------------------------------------------------------------------------

MXmlItem* MQuorvelAudioEffectPlugin::PresetTree::Resolve(MXmlItem& root,
                                                         const std::vector<std::int32_t>& path)
{
  MXmlItem* item = &root;
  for (const std::int32_t index : path)
  {
    if (index < 0 || index >= item->GetSubItemCount())
      return nullptr;
    item = &item->GetSubItemAt(index);
  }
  return item;
}

std::vector<std::int32_t> MQuorvelAudioEffectPlugin::PresetTree::PathOf(const MXmlItem& root,
                                                                        const MXmlItem& item)
{
  for (std::int32_t index = 0; index < root.GetSubItemCount(); ++index)
  {
    const MXmlItem& child = root.GetSubItemAt(index);
    if (&child == &item)
      return {index};
    if (MPresetTree::IsFolder(child))
    {
      std::vector<std::int32_t> below = PathOf(child, item);
      if (!below.empty())
      {
        below.insert(below.begin(), index);
        return below;
      }
    }
  }
  return {};
}

void MQuorvelAudioEffectPlugin::PresetTree::CollectExpanded(const MTreeNode& node)
{
  for (std::int32_t index = 0; index < node.GetChildCount(); ++index)
  {
    const auto& child = static_cast<const Node&>(node.GetChild(index));
    if (child.IsFolder() && child.IsExpanded())
      m_expanded.push_back(child.GetPath());
    CollectExpanded(child);
  }
}

void MQuorvelAudioEffectPlugin::PresetTree::AddItems(const MXmlItem& item, MTreeNode& parent,
                                                     std::vector<std::int32_t>& path)
{
  for (std::int32_t index = 0; index < item.GetSubItemCount(); ++index)
  {
    const MXmlItem& child = item.GetSubItemAt(index);
    const bool folder = MPresetTree::IsFolder(child);
    if (!folder && !MPresetTree::IsPreset(child))
      continue;
    path.push_back(index);
    auto node = std::make_unique<Node>(NameOf(child), path, folder);
    Node& added = *node;
    parent.AddChild(std::move(node));
    if (folder)
    {
      AddItems(child, added, path);
      // Folders open the first time they are shown; afterwards they keep the user's choice.
      const bool wasExpanded = std::find(m_expanded.begin(), m_expanded.end(), path) != m_expanded.end();
      added.SetExpanded(!m_shown || wasExpanded);
    }
    path.pop_back();
  }
}

void MQuorvelAudioEffectPlugin::PresetTree::Show(const MXmlItem& root,
                                                 const std::vector<std::int32_t>& select)
{
  m_expanded.clear();
  CollectExpanded(m_root);
  SetSelection(nullptr);
  m_root.ClearChildren();
  std::vector<std::int32_t> path;
  AddItems(root, m_root, path);
  m_shown = true;
  TreeChanged();
  if (!select.empty())
    SetSelection(FindNode(select));
}

MQuorvelAudioEffectPlugin::PresetTree::Node* MQuorvelAudioEffectPlugin::PresetTree::GetSelectedNode() const
{
  return static_cast<Node*>(GetSelection());
}

MQuorvelAudioEffectPlugin::PresetTree::Node*
MQuorvelAudioEffectPlugin::PresetTree::FindNode(const std::vector<std::int32_t>& path)
{
  MTreeNode* node = &m_root;
  for (std::size_t depth = 0; depth < path.size(); ++depth)
  {
    MTreeNode* next = nullptr;
    for (std::int32_t index = 0; index < node->GetChildCount() && next == nullptr; ++index)
    {
      auto& child = static_cast<Node&>(node->GetChild(index));
      if (child.GetPath().size() == depth + 1 && child.GetPath()[depth] == path[depth])
        next = &child;
    }
    if (next == nullptr)
      return nullptr;
    node = next;
  }
  return node == &m_root ? nullptr : static_cast<Node*>(node);
}

// ---- the window -----------------------------------------------------------------------------------

MQuorvelAudioEffectPlugin::PresetWindow::PresetWindow(MQuorvelAudioEffectPlugin& plugin) : m_plugin(plugin)
{
  SetCaption(MString("Presets"));
  m_tree = &Add<PresetTree>();
  m_tree->SetId(MString("PresetTree"));
  m_tree->SetHelp(MString("Double-click a preset to load it."));
  m_tree->GetChangedEvent().Subscribe<&PresetWindow::OnTreeChanged>(this);
  m_tree->GetChosenEvent().Subscribe<&PresetWindow::OnChosen>(this);
  m_status = &Add<MStaticMultiLine>(MString());
  m_status->SetId(MString("PresetStatus"));
  m_status->SetFont(MStdFont::Small);
  for (const Action& action : kActions)
  {
    MButton& button = Add<MButton>(MString::FromLiteral(action.text));
    button.SetId(MString::FromLiteral(action.id));
    button.SetHelp(MString::FromLiteral(action.help));
    button.GetChangedEvent().Subscribe<&PresetWindow::OnButton>(this);
    m_actions.push_back(&button);
  }
  AddButton(MString("Close"), MModalValue::Ok);
  SetSize(MSize{kWidth, kHeight});
  SetInitialFocus(m_tree);

  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  m_tree->Show(manager.GetRoot(), current != nullptr ? PresetTree::PathOf(manager.GetRoot(), *current)
                                                     : std::vector<std::int32_t>{});
  // A presets.xml that could not be read is kept as it is; saving moves it aside first.
  if (!m_plugin.GetPresetTreeError().IsEmpty())
    m_status->SetText(MString("presets.xml could not be read (") + m_plugin.GetPresetTreeError() +
                      MString("). It will be kept as presets.xml.unreadable when you save."));
  UpdateButtons();
  Layout();
}

MQuorvelAudioEffectPlugin::PresetWindow::~PresetWindow() = default;

void MQuorvelAudioEffectPlugin::PresetWindow::LayoutContent(const MRect& content)
{
  if (m_tree == nullptr)
    return;
  constexpr std::int32_t kButtonWidth = 128;
  constexpr std::int32_t kRow = 26;
  constexpr std::int32_t kGap = 6;
  const std::int32_t statusHeight = m_status->GetText().IsEmpty() ? 0 : 34;
  const std::int32_t treeRight = std::max(content.left + 1, content.right - kButtonWidth - 2 * kGap);
  m_tree->SetBounds(MRect{content.left, content.top, treeRight, content.bottom - statusHeight});
  m_status->SetVisible(statusHeight > 0);
  m_status->SetBounds(MRect{content.left, content.bottom - statusHeight + 4, treeRight, content.bottom});
  std::int32_t y = content.top;
  for (std::size_t index = 0; index < m_actions.size(); ++index)
  {
    // Loading and saving, then editing, then files: a little air between the groups.
    if (index == 3 || index == 6)
      y += kGap + 2;
    m_actions[index]->SetBounds(MRect{content.right - kButtonWidth, y, content.right, y + kRow});
    y += kRow + kGap;
  }
}

void MQuorvelAudioEffectPlugin::PresetWindow::SelectPath(const std::vector<std::int32_t>& path)
{
  m_tree->SetSelection(m_tree->FindNode(path));
  UpdateButtons();
}

MXmlItem* MQuorvelAudioEffectPlugin::PresetWindow::SelectedItem()
{
  const PresetTree::Node* node = m_tree->GetSelectedNode();
  return node != nullptr ? PresetTree::Resolve(m_plugin.GetPresetManager().GetRoot(), node->GetPath())
                         : nullptr;
}

const MXmlItem* MQuorvelAudioEffectPlugin::PresetWindow::CurrentPreset()
{
  PresetManager& manager = m_plugin.GetPresetManager();
  const std::int32_t current = m_plugin.GetCurrentPresetIndex();
  if (current < 0 || current >= manager.GetPresetCount())
    return nullptr;
  return &manager.GetPreset(current);
}

MXmlItem& MQuorvelAudioEffectPlugin::PresetWindow::TargetFolder(std::vector<std::int32_t>& folderPath)
{
  MXmlItem& root = m_plugin.GetPresetManager().GetRoot();
  folderPath.clear();
  if (const PresetTree::Node* node = m_tree->GetSelectedNode())
  {
    folderPath = node->GetPath();
    if (!node->IsFolder())
      folderPath.pop_back();
  }
  MXmlItem* folder = PresetTree::Resolve(root, folderPath);
  if (folder == nullptr)
  {
    folderPath.clear();
    return root;
  }
  return *folder;
}

void MQuorvelAudioEffectPlugin::PresetWindow::Fail(const MString& what, const MString& why)
{
  m_plugin.GetEditorDialogs().Tell(*m_tree, MString("Presets"), what + MString(" ") + why);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::Commit(MXmlItem before, const MXmlItem* current,
                                                     const std::vector<std::int32_t>& select)
{
  PresetManager& manager = m_plugin.GetPresetManager();
  MString error;
  if (!m_plugin.SavePresetTree(error))
  {
    // The file was not replaced: the document goes back to what the file holds.
    manager.GetRoot() = std::move(before);
    m_tree->Show(manager.GetRoot(), m_tree->GetSelectedNode() != nullptr
                                        ? m_tree->GetSelectedNode()->GetPath()
                                        : std::vector<std::int32_t>{});
    UpdateButtons();
    Fail(MString("The presets could not be saved, so nothing was changed:"), error);
    return false;
  }
  // Items keep their addresses through edits of their siblings: the current preset is found
  // again by address, and is no longer current when it was removed.
  std::int32_t index = -1;
  if (current != nullptr)
  {
    const std::vector<MXmlItem*> presets = manager.ListPresets();
    const auto found = std::find(presets.begin(), presets.end(), current);
    if (found != presets.end())
      index = static_cast<std::int32_t>(found - presets.begin());
  }
  m_plugin.SetCurrentPresetIndex(index);
  m_tree->Show(manager.GetRoot(), select);
  UpdateButtons();
  m_plugin.RefreshPresetBar();
  return true;
}

bool MQuorvelAudioEffectPlugin::PresetWindow::LoadSelected()
{
  const MXmlItem* item = SelectedItem();
  if (item == nullptr || !MPresetTree::IsPreset(*item))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  const std::vector<MXmlItem*> presets = manager.ListPresets();
  const auto found = std::find(presets.begin(), presets.end(), item);
  if (found == presets.end())
    return false;
  try
  {
    manager.ApplyPresetAt(static_cast<std::int32_t>(found - presets.begin()));
  }
  catch (const MException& exception)
  {
    Fail(MString("The preset could not be loaded:"), exception.Message());
    return false;
  }
  m_plugin.RefreshPresetBar();
  return true;
}

bool MQuorvelAudioEffectPlugin::PresetWindow::SaveNew()
{
  MString name = MString::FromLiteral(MPresetTree::kUnnamedPreset);
  if (!m_plugin.GetEditorDialogs().AskText(*m_tree, MString("Save preset"),
                                           MString("Name of the new preset:"), name))
    return false;
  if (name.IsEmpty())
    name = MString::FromLiteral(MPresetTree::kUnnamedPreset);
  PresetManager& manager = m_plugin.GetPresetManager();
  MXmlItem before = manager.GetRoot();
  std::vector<std::int32_t> folderPath;
  MXmlItem& folder = TargetFolder(folderPath);
  const MXmlItem& added = manager.SaveCurrent(folder, name);
  // The saved state is the current preset from now on.
  return Commit(std::move(before), &added, PresetTree::PathOf(manager.GetRoot(), added));
}

bool MQuorvelAudioEffectPlugin::PresetWindow::ReplaceSelected()
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr || !MPresetTree::IsPreset(*item))
    return false;
  if (!m_plugin.GetEditorDialogs().Confirm(*m_tree, MString("Presets"),
                                           MString::FromLiteral(MPresetTree::kReplaceQuestion)))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  MXmlItem before = manager.GetRoot();
  const std::vector<std::int32_t> path = m_tree->GetSelectedNode()->GetPath();
  manager.ReplaceWithCurrent(*item);
  return Commit(std::move(before), item, path);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::RenameSelected()
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr)
    return false;
  MString name = NameOf(*item);
  if (!m_plugin.GetEditorDialogs().AskText(*m_tree, MString("Rename"), MString("New name:"), name) ||
      name.IsEmpty() || name == NameOf(*item))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  MXmlItem before = manager.GetRoot();
  const std::vector<std::int32_t> path = m_tree->GetSelectedNode()->GetPath();
  MPresetTree::Rename(*item, name);
  return Commit(std::move(before), current, path);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::DeleteSelected()
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr)
    return false;
  const bool folder = MPresetTree::IsFolder(*item);
  MString question =
      folder ? MString("Are you sure you want to delete the folder \"") + NameOf(*item) +
                   MString("\" and everything in it?")
             : MString("Are you sure you want to delete the preset \"") + NameOf(*item) + MString("\"?");
  if (!m_plugin.GetEditorDialogs().Confirm(*m_tree, MString("Presets"), question))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  MXmlItem before = manager.GetRoot();
  std::vector<std::int32_t> path = m_tree->GetSelectedNode()->GetPath();
  if (!manager.Remove(*item))
    return false;
  // The selection moves to the item before the removed one, or to its folder.
  if (path.back() > 0)
    --path.back();
  else
    path.pop_back();
  return Commit(std::move(before), current == item ? nullptr : current, path);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::AddFolder()
{
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  MXmlItem before = manager.GetRoot();
  std::vector<std::int32_t> folderPath;
  MXmlItem& parent = TargetFolder(folderPath);
  const MXmlItem& added = manager.AddFolder(parent);
  return Commit(std::move(before), current, PresetTree::PathOf(manager.GetRoot(), added));
}

bool MQuorvelAudioEffectPlugin::PresetWindow::ExportSelected()
{
  const MXmlItem* item = SelectedItem();
  if (item == nullptr || !MPresetTree::IsFolder(*item))
  {
    Fail(MString("Export:"), MString("Choose the folder to export first."));
    return false;
  }
  MString path;
  if (!m_plugin.GetEditorDialogs().AskFile(*m_tree, MString::FromLiteral(MPresetTree::kExportTitle),
                                           GetPresetFolder(),
                                           MString::FromLiteral(MPresetTree::kExchangeExtension), true, path))
    return false;
  try
  {
    m_plugin.GetPresetManager().ExportFolder(*item, path);
  }
  catch (const MException& exception)
  {
    Fail(MString("The folder could not be exported:"), exception.Message());
    return false;
  }
  return true;
}

bool MQuorvelAudioEffectPlugin::PresetWindow::Import()
{
  MString path;
  if (!m_plugin.GetEditorDialogs().AskFile(
          *m_tree, MString::FromLiteral(MPresetTree::kImportTitle), GetPresetFolder(),
          MString::FromLiteral(MPresetTree::kExchangeExtension), false, path))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  MXmlItem before = manager.GetRoot();
  std::vector<std::int32_t> folderPath;
  MXmlItem& parent = TargetFolder(folderPath);
  try
  {
    manager.ImportFolder(path, parent);
  }
  catch (const MException& exception)
  {
    Fail(MString("The file could not be imported:"), exception.Message());
    return false;
  }
  // The imported folder is the last one of its parent.
  MXmlItem* target = PresetTree::Resolve(manager.GetRoot(), folderPath);
  std::vector<std::int32_t> select = folderPath;
  if (target != nullptr && target->GetSubItemCount() > 0)
    select.push_back(target->GetSubItemCount() - 1);
  return Commit(std::move(before), current, select);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::RestoreFactory()
{
  if (!m_plugin.GetEditorDialogs().Confirm(
          *m_tree, MString("Presets"),
          MString("Put the factory presets back? Factory presets you changed are replaced by the originals; "
                  "your own presets stay.")))
    return false;
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* current = CurrentPreset();
  MXmlItem before = manager.GetRoot();
  m_plugin.RestoreFactoryPresets();
  return Commit(std::move(before), current, {});
}

void MQuorvelAudioEffectPlugin::PresetWindow::UpdateButtons()
{
  const PresetTree::Node* node = m_tree->GetSelectedNode();
  const bool preset = node != nullptr && !node->IsFolder();
  const bool folder = node != nullptr && node->IsFolder();
  for (std::int32_t index = 0; index < kActionCount; ++index)
  {
    const MString id = MString::FromLiteral(kActions[index].id);
    bool enabled = true;
    if (id == MString("PresetLoad") || id == MString("PresetReplace"))
      enabled = preset;
    else if (id == MString("PresetRename") || id == MString("PresetDelete"))
      enabled = node != nullptr;
    else if (id == MString("PresetExport"))
      enabled = folder;
    m_actions[static_cast<std::size_t>(index)]->SetEnabled(enabled);
  }
}

void MQuorvelAudioEffectPlugin::PresetWindow::OnButton(MOnNotifyParams& params)
{
  for (std::size_t index = 0; index < m_actions.size(); ++index)
  {
    if (params.sender == m_actions[index])
    {
      (this->*kActions[index].run)();
      return;
    }
  }
}

void MQuorvelAudioEffectPlugin::PresetWindow::OnTreeChanged(MOnNotifyParams&)
{
  UpdateButtons();
}

void MQuorvelAudioEffectPlugin::PresetWindow::OnChosen(MOnItemParams<MTreeNode*>& params)
{
  const auto* node = static_cast<PresetTree::Node*>(params.item);
  if (node != nullptr && !node->IsFolder())
    LoadSelected();
}
