#include "framework/MQuorvelPresetWindow.h"

#include "framework/MGeneralSettings.h"

#include "base/MException.h"
#include "base/MStringList.h"
#include "gui/MGridPlacer.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MButton.h"
#include "gui/controls/MFileDialog.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"

#include <algorithm>
#include <sstream>
#include <string>

namespace
{
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
  void (MQuorvelAudioEffectPlugin::PresetWindow::*run)(MQuorvelAudioEffectPlugin::PresetWindow::Done);
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
  MSheet::ShowOver(origin, std::make_unique<MMessageDialog>(title, message));
}

void MQuorvelEditorDialogs::Ask(MControl& origin, const MString& title, const MString& question,
                                Answer answer)
{
  auto dialog = std::make_unique<MMessageDialog>(title, question, MMessageDialog::Buttons::YesNo);
  if (MSheet::ShowOver(origin, std::move(dialog),
                       [answer](MModalValue value) { answer(value == MModalValue::Yes); }) == nullptr)
    answer(false);
}

void MQuorvelEditorDialogs::Confirm(MControl& origin, const MString& title, const MString& question,
                                    Answer answer)
{
  if (!MGeneralSettings::ShowConfirmations())
    answer(true);
  else
    Ask(origin, title, question, std::move(answer));
}

void MQuorvelEditorDialogs::AskText(MControl& origin, const MString& title, const MString& prompt,
                                    const MString& text, TextAnswer answer)
{
  auto dialog = std::make_unique<MEditTextDialog>(title, prompt, text);
  MEditTextDialog& asked = *dialog;
  // The completion runs before the sheet is destroyed: the field can still be read.
  MSheet::ShowOver(origin, std::move(dialog), [answer, &asked](MModalValue value) {
    if (value == MModalValue::Ok)
      answer(asked.GetText());
  });
}

void MQuorvelEditorDialogs::AskFile(MControl& origin, const MString& title, const MString& folder,
                                    const MString& extension, bool saving, TextAnswer answer)
{
  MStringList filter;
  filter.Add(extension);
  auto dialog = std::make_unique<MFileDialog>(title, folder, filter);
  MFileDialog& asked = *dialog;
  MSheet::ShowOver(origin, std::move(dialog), [=, &asked](MModalValue value) {
    MString path = asked.GetPath();
    if (value != MModalValue::Ok || path.IsEmpty())
      return;
    // Exchange files are known by their extension: a typed name without it gets it.
    std::string name = path.ToUTF8();
    const std::string suffix = "." + extension.ToUTF8();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (saving && (name.size() < suffix.size() ||
                   name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0))
      path = path + MString::FromUTF8(suffix);
    answer(path);
  });
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
  CollectExpanded(node, m_expanded);
}

void MQuorvelAudioEffectPlugin::PresetTree::CollectExpanded(const MTreeNode& node,
                                                            std::vector<std::vector<std::int32_t>>& paths)
{
  for (std::int32_t index = 0; index < node.GetChildCount(); ++index)
  {
    const auto& child = static_cast<const Node&>(node.GetChild(index));
    if (child.IsFolder() && child.IsExpanded())
      paths.push_back(child.GetPath());
    CollectExpanded(child, paths);
  }
}

std::vector<std::vector<std::int32_t>> MQuorvelAudioEffectPlugin::PresetTree::GetExpandedPaths() const
{
  std::vector<std::vector<std::int32_t>> paths;
  CollectExpanded(m_root, paths);
  return paths;
}

void MQuorvelAudioEffectPlugin::PresetTree::RememberExpanded(std::vector<std::vector<std::int32_t>> paths)
{
  if (m_shown)
    return;
  // Show collects the folders open in the (still empty) tree first: it keeps these instead.
  m_remembered = std::move(paths);
  m_rememberedSet = true;
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
    auto node = std::make_unique<Node>(NameOf(child), path, folder, MPresetTree::IdOf(child));
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
  if (m_rememberedSet && !m_shown)
  {
    m_expanded = std::move(m_remembered);
    m_shown = true; // the remembered folders, not all of them
  }
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

  const std::vector<std::int32_t> remembered = RestoreState();
  PresetManager& manager = m_plugin.GetPresetManager();
  const std::vector<std::int32_t> current = PathOfId(CurrentPresetId());
  m_tree->Show(manager.GetRoot(), !current.empty() ? current : remembered);
  ShowStatus();
  UpdateButtons();
  Layout();
}

void MQuorvelAudioEffectPlugin::PresetWindow::ShowStatus()
{
  // A presets.xml that could not be read is kept as it is; saving moves it aside first. The
  // status line shows plain text: a path or message with mark-up characters stays as it is.
  const MString error = m_plugin.GetPresetTreeError();
  m_status->SetText(error.IsEmpty()
                        ? MString()
                        : MString("presets.xml could not be read (") + error +
                              MString("). It will be kept as presets.xml.unreadable when you save."));
}

void MQuorvelAudioEffectPlugin::PresetWindow::Refresh()
{
  // The selection follows its item wherever the merge put it.
  const PresetTree::Node* node = m_tree->GetSelectedNode();
  const std::vector<std::int32_t> selected =
      node != nullptr ? PathOfId(node->GetId()) : std::vector<std::int32_t>{};
  m_tree->Show(m_plugin.GetPresetManager().GetRoot(), selected);
  const bool hadStatus = !m_status->GetText().IsEmpty();
  ShowStatus();
  if (hadStatus != !m_status->GetText().IsEmpty())
    Layout();
  UpdateButtons();
}

template <class... Arguments, class Action>
std::function<void(Arguments...)> MQuorvelAudioEffectPlugin::PresetWindow::WhileOpen(Action action)
{
  return [alive = GetLifetime(), action](Arguments... arguments) {
    if (!alive.expired())
      action(arguments...);
  };
}

MQuorvelAudioEffectPlugin::PresetWindow::~PresetWindow() = default;

namespace
{
MString PathText(const std::vector<std::int32_t>& path)
{
  MString text;
  for (std::size_t i = 0; i < path.size(); ++i)
    text += (i > 0 ? MString(".") : MString()) + MString::FromInteger(path[i]);
  return text;
}

// "2.0.1" → {2, 0, 1}; anything that is not a path of indices gives an empty path.
std::vector<std::int32_t> ParsePath(const std::string& text)
{
  std::vector<std::int32_t> path;
  std::istringstream parts(text);
  for (std::string part; std::getline(parts, part, '.');)
  {
    if (part.empty() || part.size() > 6 || part.find_first_not_of("0123456789") != std::string::npos)
      return {};
    path.push_back(std::stoi(part));
  }
  return path;
}
} // namespace

void MQuorvelAudioEffectPlugin::PresetWindow::StoreWindowState() const
{
  MXmlItem section(MString::FromLiteral(kStateSection));
  MGeneralSettings::LoadSection(MString::FromLiteral(kStateSection),
                                section); // the other windows' states stay
  MXmlItem& state = section.GetOrAddSubItem(MString::FromLiteral(kStateItem));
  MString expanded;
  for (const std::vector<std::int32_t>& path : m_tree->GetExpandedPaths())
    expanded += (expanded.IsEmpty() ? MString() : MString(";")) + PathText(path);
  state.SetAttribute(MString("expanded"), expanded);
  const PresetTree::Node* selected = m_tree->GetSelectedNode();
  state.SetAttribute(MString("selected"), selected != nullptr ? PathText(selected->GetPath()) : MString());
  state.SetAttribute(MString("windowsizex"), MString::FromInteger(GetSize().x));
  state.SetAttribute(MString("windowsizey"), MString::FromInteger(GetSize().y));
  MString ignored; // a state that cannot be kept is not worth a message
  MGeneralSettings::SaveSection(section, ignored);
}

std::vector<std::int32_t> MQuorvelAudioEffectPlugin::PresetWindow::RestoreState()
{
  MXmlItem section;
  if (!MGeneralSettings::LoadSection(MString::FromLiteral(kStateSection), section) ||
      !section.HasSubItem(MString::FromLiteral(kStateItem)))
    return {};
  const MXmlItem& state = section.GetOrAddSubItem(MString::FromLiteral(kStateItem));
  if (state.HasAttribute(MString("expanded")))
  {
    std::vector<std::vector<std::int32_t>> paths;
    std::istringstream list(state.GetAttribute().ToUTF8());
    for (std::string text; std::getline(list, text, ';');)
      if (std::vector<std::int32_t> path = ParsePath(text); !path.empty())
        paths.push_back(std::move(path));
    m_tree->RememberExpanded(std::move(paths));
  }
  const std::int64_t width = state.GetAttribute(MString("windowsizex"), MString()).ToInteger();
  const std::int64_t height = state.GetAttribute(MString("windowsizey"), MString()).ToInteger();
  // Within what the window needs and what a screen holds; the sheet fits it into the editor.
  if (width >= kWidth / 2 && height >= kHeight / 2 && width <= 4 * kWidth && height <= 4 * kHeight)
    SetSize(MSize{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)});
  return ParsePath(state.GetAttribute(MString("selected"), MString()).ToUTF8());
}

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
  MGridPlacer buttons(MRect{content.right - kButtonWidth, content.top, content.right, content.bottom}, kGap,
                      kGap);
  for (std::size_t index = 0; index < m_actions.size(); ++index)
  {
    // Loading and saving, then editing, then files: a little air between the groups.
    if (index == 3 || index == 6)
      buttons.Skip(kGap + 2);
    buttons.PlaceWide(*m_actions[index], kRow);
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

MString MQuorvelAudioEffectPlugin::PresetWindow::CurrentPresetId()
{
  PresetManager& manager = m_plugin.GetPresetManager();
  const std::int32_t current = m_plugin.GetCurrentPresetIndex();
  if (current < 0 || current >= manager.GetPresetCount())
    return MString();
  return MPresetTree::IdOf(manager.GetPreset(current));
}

std::vector<std::int32_t> MQuorvelAudioEffectPlugin::PresetWindow::PathOfId(const MString& id)
{
  PresetManager& manager = m_plugin.GetPresetManager();
  const MXmlItem* item = manager.FindById(id);
  return item != nullptr ? PresetTree::PathOf(manager.GetRoot(), *item) : std::vector<std::int32_t>{};
}

MXmlItem* MQuorvelAudioEffectPlugin::PresetWindow::Target(const MString& id, const MString& name)
{
  MXmlItem* item = m_plugin.GetPresetManager().FindById(id);
  if (item == nullptr)
  {
    Fail(MString("\"") + name + MString("\" is no longer there:"),
         MString("another instance of the plug-in removed it. Nothing was changed."));
    Refresh();
  }
  return item;
}

MXmlItem& MQuorvelAudioEffectPlugin::PresetWindow::TargetFolder(std::vector<std::int32_t>& folderPath)
{
  // The selection's item found by its id (a merge may have moved it), and its folder.
  PresetManager& manager = m_plugin.GetPresetManager();
  MXmlItem& root = manager.GetRoot();
  folderPath.clear();
  const PresetTree::Node* node = m_tree->GetSelectedNode();
  MXmlItem* folder = node != nullptr ? manager.FindById(node->GetId()) : nullptr;
  if (folder != nullptr && !MPresetTree::IsFolder(*folder))
    folder = manager.FindParent(*folder);
  if (folder == nullptr || folder == &root)
    return root;
  folderPath = PresetTree::PathOf(root, *folder);
  return *folder;
}

bool MQuorvelAudioEffectPlugin::PresetWindow::IsFactoryFolder(const MXmlItem& item) const
{
  if (!MPresetTree::IsFolder(item))
    return false;
  const MXmlItem factory = m_plugin.GetFactoryPresets();
  for (std::int32_t index = 0; index < factory.GetSubItemCount(); ++index)
    if (const MXmlItem& folder = factory.GetSubItemAt(index);
        MPresetTree::IsFolder(folder) && NameOf(folder) == NameOf(item))
      return true;
  return false;
}

void MQuorvelAudioEffectPlugin::PresetWindow::Fail(const MString& what, const MString& why)
{
  m_plugin.GetEditorDialogs().Tell(*m_tree, MString("Presets"), what + MString(" ") + why);
}

bool MQuorvelAudioEffectPlugin::PresetWindow::Commit(MXmlItem before, const MString& current,
                                                     const MString& select)
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
  // Saved, with something to tell (a damaged file kept under another name).
  if (!error.IsEmpty())
    m_plugin.GetEditorDialogs().Tell(*m_tree, MString("Presets"), error);
  // The merge may have moved everything: the current preset is found again by id, and is no
  // longer current when it was removed.
  m_plugin.SetCurrentPresetIndex(manager.IndexOfPreset(current));
  m_tree->Show(manager.GetRoot(), PathOfId(select));
  UpdateButtons();
  m_plugin.RefreshPresetBar();
  return true;
}

namespace
{
void Report(const MQuorvelAudioEffectPlugin::PresetWindow::Done& done, bool outcome)
{
  if (done)
    done(outcome);
}
} // namespace

void MQuorvelAudioEffectPlugin::PresetWindow::LoadSelected(Done done)
{
  const PresetTree::Node* node = m_tree->GetSelectedNode();
  if (node == nullptr || node->IsFolder())
    return Report(done, false);
  const MXmlItem* item = Target(node->GetId(), node->GetText());
  if (item == nullptr || !MPresetTree::IsPreset(*item))
    return Report(done, false);
  PresetManager& manager = m_plugin.GetPresetManager();
  try
  {
    manager.ApplyPresetAt(manager.IndexOfPreset(MPresetTree::IdOf(*item)));
  }
  catch (const MException& exception)
  {
    Fail(MString("The preset could not be loaded:"), exception.Message());
    return Report(done, false);
  }
  m_plugin.RefreshPresetBar();
  Report(done, true);
}

// The actions that ask first remember the selection's id, never an item nor a place: the
// document may change while the question is open (another instance saves, the file is merged).
// The answer finds the item again by id, or refuses when it has gone.

void MQuorvelAudioEffectPlugin::PresetWindow::SaveNew(Done done)
{
  m_plugin.GetEditorDialogs().AskText(
      *m_tree, MString("Save preset"), MString("Name of the new preset:"),
      MString::FromLiteral(MPresetTree::kUnnamedPreset),
      WhileOpen<const MString&>([this, done](const MString& text) {
        const MString name = text.IsEmpty() ? MString::FromLiteral(MPresetTree::kUnnamedPreset) : text;
        PresetManager& manager = m_plugin.GetPresetManager();
        MXmlItem before = manager.GetRoot();
        std::vector<std::int32_t> folderPath;
        MXmlItem* folder = &TargetFolder(folderPath);
        // The user's own presets never go among the factory's: with a factory preset or folder
        // selected, the new one goes to the top level.
        if (!folderPath.empty() && IsFactoryFolder(manager.GetRoot().GetSubItemAt(folderPath.front())))
          folder = &manager.GetRoot();
        const MString added = MPresetTree::IdOf(manager.SaveCurrent(*folder, name));
        // The saved state is the current preset from now on.
        Report(done, Commit(std::move(before), added, added));
      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::ReplaceSelected(Done done)
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr || !MPresetTree::IsPreset(*item))
    return Report(done, false);
  const MString id = MPresetTree::IdOf(*item);
  const MString name = NameOf(*item);
  m_plugin.GetEditorDialogs().Confirm(*m_tree, MString("Presets"),
                                      MString::FromLiteral(MPresetTree::kReplaceQuestion),
                                      WhileOpen<bool>([this, done, id, name](bool yes) {
                                        if (!yes)
                                          return Report(done, false);
                                        PresetManager& manager = m_plugin.GetPresetManager();
                                        MXmlItem* target = Target(id, name);
                                        if (target == nullptr || !MPresetTree::IsPreset(*target))
                                          return Report(done, false);
                                        MXmlItem before = manager.GetRoot();
                                        manager.ReplaceWithCurrent(*target);
                                        Report(done, Commit(std::move(before), id, id));
                                      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::RenameSelected(Done done)
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr)
    return Report(done, false);
  const MString id = MPresetTree::IdOf(*item);
  const MString old = NameOf(*item);
  m_plugin.GetEditorDialogs().AskText(*m_tree, MString("Rename"), MString("New name:"), old,
                                      WhileOpen<const MString&>([this, done, id, old](const MString& name) {
                                        if (name.IsEmpty() || name == old)
                                          return Report(done, false);
                                        PresetManager& manager = m_plugin.GetPresetManager();
                                        MXmlItem* target = Target(id, old);
                                        if (target == nullptr)
                                          return Report(done, false);
                                        const MString current = CurrentPresetId();
                                        MXmlItem before = manager.GetRoot();
                                        MPresetTree::Rename(*target, name);
                                        Report(done, Commit(std::move(before), current, id));
                                      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::DeleteSelected(Done done)
{
  MXmlItem* item = SelectedItem();
  if (item == nullptr)
    return Report(done, false);
  const bool folder = MPresetTree::IsFolder(*item);
  const MString name = NameOf(*item);
  const MString question =
      folder ? MString("Are you sure you want to delete the folder \"") + name +
                   MString("\" and everything in it?")
             : MString("Are you sure you want to delete the preset \"") + name + MString("\"?");
  const MString id = MPresetTree::IdOf(*item);
  m_plugin.GetEditorDialogs().Confirm(
      *m_tree, MString("Presets"), question, WhileOpen<bool>([this, done, id, name](bool yes) {
        if (!yes)
          return Report(done, false);
        PresetManager& manager = m_plugin.GetPresetManager();
        MXmlItem* target = Target(id, name);
        if (target == nullptr)
          return Report(done, false);
        // The selection moves to the item before the removed one, or to its folder.
        MString select;
        if (MXmlItem* parent = manager.FindParent(*target))
          for (int index = 0; index < parent->GetSubItemCount() && &parent->GetSubItemAt(index) != target;
               ++index)
            if (MPresetTree::IsFolder(parent->GetSubItemAt(index)) ||
                MPresetTree::IsPreset(parent->GetSubItemAt(index)))
              select = MPresetTree::IdOf(parent->GetSubItemAt(index));
        if (select.IsEmpty())
          if (const MXmlItem* parent = manager.FindParent(*target);
              parent != &manager.GetRoot() && parent != nullptr)
            select = MPresetTree::IdOf(*parent);
        const MString current = CurrentPresetId();
        MXmlItem before = manager.GetRoot();
        if (!manager.Remove(*target))
          return Report(done, false);
        Report(done, Commit(std::move(before), current == id ? MString() : current, select));
      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::AddFolder(Done done)
{
  PresetManager& manager = m_plugin.GetPresetManager();
  const MString current = CurrentPresetId();
  MXmlItem before = manager.GetRoot();
  std::vector<std::int32_t> folderPath;
  MXmlItem& parent = TargetFolder(folderPath);
  const MString added = MPresetTree::IdOf(manager.AddFolder(parent));
  Report(done, Commit(std::move(before), current, added));
}

void MQuorvelAudioEffectPlugin::PresetWindow::ExportSelected(Done done)
{
  const MXmlItem* item = SelectedItem();
  if (item == nullptr || !MPresetTree::IsFolder(*item))
  {
    Fail(MString("Export:"), MString("Choose the folder to export first."));
    return Report(done, false);
  }
  const MString id = MPresetTree::IdOf(*item);
  const MString name = NameOf(*item);
  m_plugin.GetEditorDialogs().AskFile(
      *m_tree, MString::FromLiteral(MPresetTree::kExportTitle), GetPresetFolder(),
      MString::FromLiteral(MPresetTree::kExchangeExtension), true,
      WhileOpen<const MString&>([this, done, id, name](const MString& path) {
        const MXmlItem* target = Target(id, name);
        if (target == nullptr || !MPresetTree::IsFolder(*target))
          return Report(done, false);
        try
        {
          m_plugin.GetPresetManager().ExportFolder(*target, path);
        }
        catch (const MException& exception)
        {
          Fail(MString("The folder could not be exported:"), exception.Message());
          return Report(done, false);
        }
        Report(done, true);
      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::Import(Done done)
{
  m_plugin.GetEditorDialogs().AskFile(
      *m_tree, MString::FromLiteral(MPresetTree::kImportTitle), GetPresetFolder(),
      MString::FromLiteral(MPresetTree::kExchangeExtension), false,
      WhileOpen<const MString&>([this, done](const MString& path) {
        PresetManager& manager = m_plugin.GetPresetManager();
        const MString current = CurrentPresetId();
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
          return Report(done, false);
        }
        // The imported folder is the last one of its parent.
        MString select;
        if (parent.GetSubItemCount() > 0)
          select = MPresetTree::IdOf(parent.GetSubItemAt(parent.GetSubItemCount() - 1));
        Report(done, Commit(std::move(before), current, select));
      }));
}

void MQuorvelAudioEffectPlugin::PresetWindow::RestoreFactory(Done done)
{
  m_plugin.GetEditorDialogs().Confirm(
      *m_tree, MString("Presets"),
      MString("Put the factory presets back? Factory presets you changed are replaced by the originals; "
              "your own presets stay."),
      WhileOpen<bool>([this, done](bool yes) {
        if (!yes)
          return Report(done, false);
        PresetManager& manager = m_plugin.GetPresetManager();
        const MString current = CurrentPresetId();
        MXmlItem before = manager.GetRoot();
        m_plugin.RestoreFactoryPresets();
        Report(done, Commit(std::move(before), current, MString()));
      }));
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
      (this->*kActions[index].run)(Done());
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
