#pragma once
// The preset window of the common editor and the dialogs the common editor asks and tells with.
//
//  - MQuorvelEditorDialogs: how the preset bar, the preset window and the general settings ask
//    the user (a yes/no question, a name, a file) and tell them about a failure. Every one of
//    them returns at once: the default shows a sheet (MSheet) over the editor window that holds
//    the control that asked, and the answer arrives later through a callback on the GUI thread
//    (never when the editor closes first). A test installs its own answers through
//    MQuorvelAudioEffectPlugin::SetEditorDialogs; it may answer at once.
//  - MQuorvelAudioEffectPlugin::PresetTree: the user's preset tree as a tree control, folders
//    with their presets. A node remembers its item's id and where it sits in the document (child
//    indices from the root), never a pointer, so that it survives edits and merges.
//  - MQuorvelAudioEffectPlugin::PresetWindow: the tree with its actions: load (double click or
//    "Load"), save the current state as a new preset or over the selected one, rename, delete,
//    new folder, export and import of a folder as an exchange file, and the factory presets put
//    back. Every change is written to presets.xml at once; when that fails the document in
//    memory goes back to what it was before the change, presets.xml stays as it was and the user
//    is told why. Destructive actions always ask first.
//
// Threads: GUI thread only. The window is a dialog shown as a sheet in the editor
// (OpenPresetWindow); it holds no pointer into the document between two actions, and an action
// waiting for an answer changes nothing until the answer comes. Every action names its target by
// id (MPresetTree::FindById): when another instance removed it meanwhile, the action is refused
// and the user told so; it never falls on whatever took the target's place.

#include "base/MString.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MTreeControl.h"

#include <cstdint>
#include <functional>
#include <vector>

class MButton;
class MStatic;

class MQuorvelEditorDialogs
{
public:
  /// Hears a yes/no answer: true for yes; false for no or a dismissed question.
  using Answer = std::function<void(bool yes)>;
  /// Hears the text (a name, a path) the user confirmed with OK; not called otherwise.
  using TextAnswer = std::function<void(const MString& text)>;

  virtual ~MQuorvelEditorDialogs() = default;

  /// Tells the user `message` (plain text, never mark-up) with an OK button. Nothing when
  /// `origin` is in no window.
  virtual void Tell(MControl& origin, const MString& title, const MString& message);
  /// Asks a yes/no question. Without a window for `origin`, `answer` hears false at once.
  virtual void Ask(MControl& origin, const MString& title, const MString& question, Answer answer);
  /// A destructive action's confirmation: Ask, or yes at once when the user switched
  /// confirmations off in the general settings ("showconfirmations").
  void Confirm(MControl& origin, const MString& title, const MString& question, Answer answer);
  /// Asks for a line of text, starting with `text`; `answer` hears the text on OK.
  virtual void AskText(MControl& origin, const MString& title, const MString& prompt, const MString& text,
                       TextAnswer answer);
  /// Asks for a file with extension `extension` (without the dot) in a file dialog starting in
  /// `folder`; `answer` hears the path on OK. When `saving`, a name typed without the extension
  /// gets it appended.
  virtual void AskFile(MControl& origin, const MString& title, const MString& folder,
                       const MString& extension, bool saving, TextAnswer answer);
};

class MQuorvelAudioEffectPlugin::PresetTree : public MTreeControlBase
{
public:
  /// A folder or a preset of the document: the child indices leading to its item.
  class Node : public MTreeNode
  {
  public:
    Node() = default;
    Node(const MString& text, std::vector<std::int32_t> path, bool folder, MString id = MString())
        : MTreeNode(text), m_path(std::move(path)), m_folder(folder), m_id(std::move(id))
    {}
    const std::vector<std::int32_t>& GetPath() const { return m_path; }
    /// The id of the node's folder or preset (MPresetTree::IdOf).
    const MString& GetId() const { return m_id; }
    bool IsFolder() const { return m_folder; }
    /// A folder shows its triangle even while empty.
    bool MayHaveChildren() const override { return m_folder || GetChildCount() > 0; }

  private:
    std::vector<std::int32_t> m_path;
    bool m_folder = false;
    MString m_id;
  };

  MTreeNode& GetRoot() override { return m_root; }

  /// Shows `root` (the preset document): folders and presets in document order. The first time
  /// every folder is open; afterwards the folders the user opened stay open. The item at
  /// `select` is selected (its folders opened) when it exists; an empty path selects nothing.
  void Show(const MXmlItem& root, const std::vector<std::int32_t>& select);
  /// The selected node; null when none.
  Node* GetSelectedNode() const;
  /// The node at `path`; null when there is none.
  Node* FindNode(const std::vector<std::int32_t>& path);
  /// The paths of the open folders, as shown now.
  std::vector<std::vector<std::int32_t>> GetExpandedPaths() const;
  /// Before the first Show: the folders at `paths` open, every other one closed (a remembered
  /// state instead of everything open).
  void RememberExpanded(std::vector<std::vector<std::int32_t>> paths);

  /// The item at `path` under `root`; null when the path leads nowhere.
  static MXmlItem* Resolve(MXmlItem& root, const std::vector<std::int32_t>& path);
  /// The path of `item` under `root`; empty when it is not there.
  static std::vector<std::int32_t> PathOf(const MXmlItem& root, const MXmlItem& item);

private:
  void AddItems(const MXmlItem& item, MTreeNode& parent, std::vector<std::int32_t>& path);
  void CollectExpanded(const MTreeNode& node);
  static void CollectExpanded(const MTreeNode& node, std::vector<std::vector<std::int32_t>>& paths);

  Node m_root;
  std::vector<std::vector<std::int32_t>> m_expanded;
  std::vector<std::vector<std::int32_t>> m_remembered;
  bool m_rememberedSet = false;
  bool m_shown = false;
};

class MQuorvelAudioEffectPlugin::PresetWindow : public MDialog
{
public:
  static constexpr std::int32_t kWidth = 560;
  static constexpr std::int32_t kHeight = 452;
  /// Hears whether an action did what it was asked, once its questions are answered; a refusal
  /// or a failure has been told to the user through the plug-in's editor dialogs by then.
  using Done = std::function<void(bool done)>;

  /// Builds the window for `plugin`'s preset tree (read from presets.xml on first use).
  explicit PresetWindow(MQuorvelAudioEffectPlugin& plugin);
  ~PresetWindow() override;

  PresetTree& GetTree() { return *m_tree; }
  /// Selects the item at `path` (as a click would, without the changed event).
  void SelectPath(const std::vector<std::int32_t>& path);
  /// Shows the plug-in's preset tree afresh (after presets.xml changed under the window, say by
  /// another instance), keeping the selection where its path still leads to an item, and the
  /// status line. GUI thread.
  void Refresh();

  // The actions of the buttons. Each returns at once; `done` (optional) hears the outcome.

  /// Applies the selected preset and makes it the current one.
  void LoadSelected(Done done = {});
  /// Asks a name ("Unnamed preset" offered) and adds the current state as a preset to the
  /// selected folder (the folder of the selected preset; the top level when nothing is selected).
  void SaveNew(Done done = {});
  /// Asks "Are you sure you want to replace selected preset?" and stores the current state in
  /// the selected preset, keeping its name and place.
  void ReplaceSelected(Done done = {});
  /// Asks a new name for the selected folder or preset.
  void RenameSelected(Done done = {});
  /// Asks, then removes the selected folder (with its contents) or preset.
  void DeleteSelected(Done done = {});
  /// Adds a folder "New folder" beside the selection (inside a selected folder).
  void AddFolder(Done done = {});
  /// Writes the selected folder to an exchange file chosen in the file dialog.
  void ExportSelected(Done done = {});
  /// Reads an exchange file chosen in the file dialog into the selected folder (the top level
  /// when none is selected).
  void Import(Done done = {});
  /// Asks, then puts the factory presets back (see RestoreFactoryPresets).
  void RestoreFactory(Done done = {});

  /// Where the user left the window, kept as the sub-item "Presets" of the general settings'
  /// section "WindowState": "expanded" (the open folders' paths, child indices joined by "." and
  /// separated by ";"), "selected" (the selection's path) and "windowsizex" / "windowsizey".
  /// The opener stores it when the user closes the window (not when the editor closes under it);
  /// the next window opens with those folders open, that size (within the editor) and that
  /// selection unless a preset is current, which is then selected.
  static constexpr const char* kStateSection = "WindowState";
  static constexpr const char* kStateItem = "Presets";
  void StoreWindowState() const;

protected:
  void LayoutContent(const MRect& content) override;

private:
  /// Writes the document; on failure puts `before` back and tells the user. `current` is the id
  /// of the preset that was current before the change (kept current when it survived); `select`
  /// the id of the item to select afterwards.
  bool Commit(MXmlItem before, const MString& current, const MString& select);
  void Fail(const MString& what, const MString& why);
  /// The id of the current preset; empty when none.
  MString CurrentPresetId();
  MXmlItem* SelectedItem();
  /// The item of the id an action remembered; null, with the user told that it has gone, when
  /// another instance removed it meanwhile.
  MXmlItem* Target(const MString& id, const MString& name);
  /// The path of the item with id `id`; empty when it is not there.
  std::vector<std::int32_t> PathOfId(const MString& id);
  /// The folder new items go to, and the path of the selection's folder.
  /// Whether `item` is a top-level folder of the factory presets.
  bool IsFactoryFolder(const MXmlItem& item) const;
  MXmlItem& TargetFolder(std::vector<std::int32_t>& folderPath);
  void UpdateButtons();
  void ShowStatus();
  void OnButton(MOnNotifyParams& params);
  void OnTreeChanged(MOnNotifyParams& params);
  void OnChosen(MOnItemParams<MTreeNode*>& params);
  /// The remembered selection's path (empty: none), after the folders and size were applied.
  std::vector<std::int32_t> RestoreState();
  /// `action` wrapped so that it does nothing once this window is gone.
  template <class... Arguments, class Action>
  std::function<void(Arguments...)> WhileOpen(Action action);

  MQuorvelAudioEffectPlugin& m_plugin;
  PresetTree* m_tree = nullptr;
  MStatic* m_status = nullptr;
  std::vector<MButton*> m_actions;
};
