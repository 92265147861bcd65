#pragma once
// Trees.
//  - MTreeNode: a node with a text, owned child nodes, an expanded flag and a word of user data.
//    A node may say it has children before they are made (lazy nodes: directories).
//  - MTreeControlBase: shows the expanded part of a tree under an invisible root as indented
//    rows with a triangle before nodes that have children. A click selects (changed event), a
//    click on the triangle or a double click expands/collapses, Return chooses (chosen event);
//    Up/Down move, Right expands or steps into the first child, Left collapses or steps to the
//    parent, Home/End, the wheel scrolls three rows. OnExpanding lets a subclass fill a node the
//    first time it opens.
//  - MTreeControlT<Node>: a tree of nodes of type Node (an MTreeNode); MTreeControl of MTreeNode.
//  - MDirectoryTreeControl: the folders under a root folder, read with std::filesystem when a
//    node first opens (unreadable folders show no children).
//  - MStringListBoxWithTree: a container with a tree of groups on the left and a list on the
//    right showing the strings of the selected group; choosing a string fires the changed event.
//
// Threads: GUI thread. MDirectoryTreeControl reads the file system on the GUI thread when a
// node opens (one directory at a time).

#include "base/MCallback.h"
#include "base/MEventParams.h"
#include "base/MStringList.h"
#include "gui/controls/MContainer.h"

#include <cstdint>
#include <memory>
#include <vector>

class MListBox;

class MTreeNode
{
public:
  MTreeNode() = default;
  explicit MTreeNode(const MString& text) : m_text(text) {}
  virtual ~MTreeNode() = default;
  MTreeNode(const MTreeNode&) = delete;
  MTreeNode& operator=(const MTreeNode&) = delete;

  const MString& GetText() const { return m_text; }
  void SetText(const MString& text) { m_text = text; }
  MTreeNode* GetParent() const { return m_parent; }
  std::int32_t GetChildCount() const { return std::int32_t(m_children.size()); }
  MTreeNode& GetChild(std::int32_t index) const { return *m_children[std::size_t(index)]; }
  /// Takes ownership of `child`; answers it.
  MTreeNode& AddChild(std::unique_ptr<MTreeNode> child);
  void ClearChildren() { m_children.clear(); }
  bool IsExpanded() const { return m_expanded; }
  void SetExpanded(bool expanded) { m_expanded = expanded; }
  /// Whether a triangle is shown: children exist, or may exist (lazy nodes not yet read).
  virtual bool MayHaveChildren() const { return !m_children.empty(); }
  std::intptr_t GetData() const { return m_data; }
  void SetData(std::intptr_t data) { m_data = data; }
  /// Depth below the root (the root's children: 0).
  std::int32_t GetDepth() const;

private:
  MString m_text;
  MTreeNode* m_parent = nullptr;
  std::vector<std::unique_ptr<MTreeNode>> m_children;
  std::intptr_t m_data = 0;
  bool m_expanded = false;
};

class MTreeControlBase : public MControl
{
public:
  using ChosenEvent = MCallback<MOnItemParams<MTreeNode*>>;

  MTreeControlBase();
  ~MTreeControlBase() override = default;

  /// The invisible root whose children are the top rows.
  virtual MTreeNode& GetRoot() = 0;

  MTreeNode* GetSelection() const { return m_selection; }
  /// Selects `node` (null: none) without the changed event; its ancestors are expanded.
  void SetSelection(MTreeNode* node);
  /// The user's selection: fires the changed event when it changed.
  void Select(MTreeNode* node);
  /// Expands or collapses `node` (OnExpanding runs before the first expansion).
  void SetExpanded(MTreeNode& node, bool expanded);
  ChosenEvent& GetChosenEvent() { return m_chosen; }
  /// The tree changed (nodes added or removed): rebuilds the rows. Call after editing nodes.
  void TreeChanged();

  /// Visible rows in order.
  const std::vector<MTreeNode*>& GetRows() const;
  std::int32_t RowOf(const MTreeNode* node) const;
  std::int32_t RowAt(MPoint position) const;
  MRect GetRowRect(std::int32_t row) const;
  std::int32_t GetRowHeight() const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void Paint(MDrawer& drawer) override;

protected:
  /// Keeps the scroll position valid and the selection in view.
  void OnSizeChanged() override;
  /// `node` opens for the first time (lazy trees fill it here). Default: nothing.
  virtual void OnExpanding(MTreeNode& node);
  static constexpr std::int32_t kIndent = 14;

private:
  void RebuildRows() const;
  void AppendRows(MTreeNode& node) const;
  void EnsureVisible(std::int32_t row);
  std::int32_t VisibleRows() const;

  MTreeNode* m_selection = nullptr;
  mutable std::vector<MTreeNode*> m_rows;
  mutable bool m_rowsValid = false;
  std::int32_t m_top = 0;
  std::int32_t m_hover = -1;
  ChosenEvent m_chosen;
};

template <class Node>
class MTreeControlT : public MTreeControlBase
{
public:
  MTreeNode& GetRoot() override { return m_root; }
  /// Adds a node of type Node with `text` under `parent` (null: the root); answers it.
  template <class... Arguments>
  Node& AddNode(MTreeNode* parent, Arguments&&... arguments)
  {
    auto node = std::make_unique<Node>(std::forward<Arguments>(arguments)...);
    Node& added = *node;
    (parent != nullptr ? *parent : m_root).AddChild(std::move(node));
    TreeChanged();
    return added;
  }
  void Clear()
  {
    SetSelection(nullptr);
    m_root.ClearChildren();
    TreeChanged();
  }

protected:
  Node m_root;
};

class MTreeControl : public MTreeControlT<MTreeNode>
{};

/// A folder of MDirectoryTreeControl: its path and whether it was read.
class MDirectoryNode : public MTreeNode
{
public:
  MDirectoryNode() = default;
  MDirectoryNode(const MString& name, const MString& path) : MTreeNode(name), m_path(path) {}
  const MString& GetPath() const { return m_path; }
  bool IsRead() const { return m_read; }
  void SetRead() { m_read = true; }
  bool MayHaveChildren() const override { return !m_read || GetChildCount() > 0; }

private:
  MString m_path;
  bool m_read = false;
};

class MDirectoryTreeControl : public MTreeControlT<MDirectoryNode>
{
public:
  MDirectoryTreeControl() = default;
  /// Shows the folders under `path` (the folder itself is the top row, expanded).
  void SetRootPath(const MString& path);
  /// Path of the selected folder; empty when none.
  MString GetSelectedPath() const;

protected:
  void OnExpanding(MTreeNode& node) override;
};

class MStringListBoxWithTree : public MContainer
{
public:
  MStringListBoxWithTree();
  ~MStringListBoxWithTree() override = default;

  /// Adds a group at `path` (names separated by '/'; missing parents are made) holding `strings`.
  void AddGroup(const MString& path, const MStringList& strings);
  MTreeControl& GetTree() { return *m_tree; }
  MListBox& GetList() { return *m_list; }
  /// The selected string; empty when none.
  MString GetSelectedString() const;

  void Arrange() override;

private:
  void OnTreeChanged(MOnNotifyParams& params);
  void OnListChanged(MOnNotifyParams& params);
  MTreeNode* FindOrMake(const MString& path);

  MTreeControl* m_tree;
  MListBox* m_list;
  std::vector<MStringList> m_groups;
};
