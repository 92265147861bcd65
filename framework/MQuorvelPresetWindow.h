#pragma once
// The preset window of the common editor and the dialogs the common editor asks and tells with.
//
//  - MQuorvelEditorDialogs: how the preset bar and the preset window ask the user (a yes/no
//    question, a name, a file) and tell them about a failure. The default runs the toolkit's
//    modal dialogs on the window system of the control that asked; a test installs its own
//    answers through MQuorvelAudioEffectPlugin::SetEditorDialogs.
//  - MQuorvelAudioEffectPlugin::PresetTree: the user's preset tree as a tree control, folders
//    with their presets. A node remembers where its item sits in the document (child indices
//    from the root), never a pointer, so that it survives edits and a rolled-back document.
//  - MQuorvelAudioEffectPlugin::PresetWindow: the tree with its actions: load (double click or
//    "Load"), save the current state as a new preset or over the selected one, rename, delete,
//    new folder, export and import of a folder as an exchange file, and the factory presets put
//    back. Every change is written to presets.xml at once; when that fails the document in
//    memory goes back to what it was before the change, presets.xml stays as it was and the user
//    is told why. Destructive actions always ask first.
//
// Threads: GUI thread only. The window runs modally (OpenPresetWindow); it holds no pointer into
// the document between two actions.

#include "base/MString.h"
#include "framework/MQuorvelAudioEffectPlugin.h"
#include "gui/controls/MDialogWindow.h"
#include "gui/controls/MTreeControl.h"

#include <cstdint>
#include <vector>

class MButton;
class MStatic;

class MQuorvelEditorDialogs
{
public:
  virtual ~MQuorvelEditorDialogs() = default;

  /// Tells the user `message` (STML-free text) with an OK button. Nothing when `origin` is in no
  /// open window.
  virtual void Tell(MControl& origin, const MString& title, const MString& message);
  /// Asks a yes/no question; true for yes. False when `origin` is in no open window.
  virtual bool Ask(MControl& origin, const MString& title, const MString& question);
  /// A destructive action's confirmation: Ask, or yes at once when the user switched
  /// confirmations off in the general settings ("showconfirmations").
  bool Confirm(MControl& origin, const MString& title, const MString& question);
  /// Asks for a line of text, starting with `text`; true with `text` replaced on OK.
  virtual bool AskText(MControl& origin, const MString& title, const MString& prompt, MString& text);
  /// Asks for a file with extension `extension` (without the dot) in a file dialog starting in
  /// `folder`; true with `path` set on OK. When `saving`, a name typed without the extension
  /// gets it appended.
  virtual bool AskFile(MControl& origin, const MString& title, const MString& folder,
                       const MString& extension, bool saving, MString& path);
};

class MQuorvelAudioEffectPlugin::PresetTree : public MTreeControlBase
{
public:
  /// A folder or a preset of the document: the child indices leading to its item.
  class Node : public MTreeNode
  {
  public:
    Node() = default;
    Node(const MString& text, std::vector<std::int32_t> path, bool folder)
        : MTreeNode(text), m_path(std::move(path)), m_folder(folder)
    {}
    const std::vector<std::int32_t>& GetPath() const { return m_path; }
    bool IsFolder() const { return m_folder; }
    /// A folder shows its triangle even while empty.
    bool MayHaveChildren() const override { return m_folder || GetChildCount() > 0; }

  private:
    std::vector<std::int32_t> m_path;
    bool m_folder = false;
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

  /// The item at `path` under `root`; null when the path leads nowhere.
  static MXmlItem* Resolve(MXmlItem& root, const std::vector<std::int32_t>& path);
  /// The path of `item` under `root`; empty when it is not there.
  static std::vector<std::int32_t> PathOf(const MXmlItem& root, const MXmlItem& item);

private:
  void AddItems(const MXmlItem& item, MTreeNode& parent, std::vector<std::int32_t>& path);
  void CollectExpanded(const MTreeNode& node);

  Node m_root;
  std::vector<std::vector<std::int32_t>> m_expanded;
  bool m_shown = false;
};

class MQuorvelAudioEffectPlugin::PresetWindow : public MDialogWindow
{
public:
  static constexpr std::int32_t kWidth = 560;
  static constexpr std::int32_t kHeight = 420;

  /// Builds the window for `plugin`'s preset tree (read from presets.xml on first use).
  explicit PresetWindow(MQuorvelAudioEffectPlugin& plugin);
  ~PresetWindow() override;

  PresetTree& GetTree() { return *m_tree; }
  /// Selects the item at `path` (as a click would, without the changed event).
  void SelectPath(const std::vector<std::int32_t>& path);

  // The actions of the buttons. Each answers whether it did what it was asked; a refusal or a
  // failure has been told to the user through the plug-in's editor dialogs by then.

  /// Applies the selected preset and makes it the current one.
  bool LoadSelected();
  /// Asks a name ("Unnamed preset" offered) and adds the current state as a preset to the
  /// selected folder (the folder of the selected preset; the top level when nothing is selected).
  bool SaveNew();
  /// Asks "Are you sure you want to replace selected preset?" and stores the current state in
  /// the selected preset, keeping its name and place.
  bool ReplaceSelected();
  /// Asks a new name for the selected folder or preset.
  bool RenameSelected();
  /// Asks, then removes the selected folder (with its contents) or preset.
  bool DeleteSelected();
  /// Adds a folder "New folder" beside the selection (inside a selected folder).
  bool AddFolder();
  /// Writes the selected folder to an exchange file chosen in the file dialog.
  bool ExportSelected();
  /// Reads an exchange file chosen in the file dialog into the selected folder (the top level
  /// when none is selected).
  bool Import();
  /// Asks, then puts the factory presets back (see RestoreFactoryPresets).
  bool RestoreFactory();

protected:
  void LayoutContent(const MRect& content) override;

private:
  /// Writes the document; on failure puts `before` back and tells the user. `current` is the
  /// preset that was current before the change (kept current when it survived).
  bool Commit(MXmlItem before, const MXmlItem* current, const std::vector<std::int32_t>& select);
  void Fail(const MString& what, const MString& why);
  const MXmlItem* CurrentPreset();
  MXmlItem* SelectedItem();
  /// The folder new items go to, and the path of the selection's folder.
  MXmlItem& TargetFolder(std::vector<std::int32_t>& folderPath);
  void UpdateButtons();
  void OnButton(MOnNotifyParams& params);
  void OnTreeChanged(MOnNotifyParams& params);
  void OnChosen(MOnItemParams<MTreeNode*>& params);

  MQuorvelAudioEffectPlugin& m_plugin;
  PresetTree* m_tree = nullptr;
  MStatic* m_status = nullptr;
  std::vector<MButton*> m_actions;
};
