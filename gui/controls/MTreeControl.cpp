#include "gui/controls/MTreeControl.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MListBox.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

// --- MTreeNode --------------------------------------------------------------------------------------

MTreeNode& MTreeNode::AddChild(std::unique_ptr<MTreeNode> child)
{
  child->m_parent = this;
  m_children.push_back(std::move(child));
  return *m_children.back();
}

std::int32_t MTreeNode::GetDepth() const
{
  std::int32_t depth = -1;
  for (const MTreeNode* node = m_parent; node != nullptr; node = node->m_parent)
    ++depth;
  return std::max(depth, 0);
}

// --- MTreeControlBase -------------------------------------------------------------------------------

MTreeControlBase::MTreeControlBase()
{
  SetControlType(MControlType::TreeControl);
  SetFlag(FlagTabStop, true);
}

void MTreeControlBase::OnExpanding(MTreeNode&) {}

void MTreeControlBase::OnSizeChanged()
{
  m_top = std::clamp(m_top, 0, std::max(0, std::int32_t(GetRows().size()) - VisibleRows()));
  EnsureVisible(RowOf(m_selection));
}

void MTreeControlBase::TreeChanged()
{
  m_rowsValid = false;
  // A selection that left the tree is dropped.
  if (m_selection != nullptr)
  {
    bool found = false;
    for (MTreeNode* node = m_selection; node != nullptr; node = node->GetParent())
      found = found || node == &GetRoot();
    if (!found)
      m_selection = nullptr;
  }
  Invalidate();
}

void MTreeControlBase::AppendRows(MTreeNode& node) const
{
  for (std::int32_t i = 0; i < node.GetChildCount(); ++i)
  {
    MTreeNode& child = node.GetChild(i);
    m_rows.push_back(&child);
    if (child.IsExpanded())
      AppendRows(child);
  }
}

void MTreeControlBase::RebuildRows() const
{
  if (m_rowsValid)
    return;
  m_rows.clear();
  AppendRows(const_cast<MTreeControlBase*>(this)->GetRoot());
  m_rowsValid = true;
}

const std::vector<MTreeNode*>& MTreeControlBase::GetRows() const
{
  RebuildRows();
  return m_rows;
}

std::int32_t MTreeControlBase::RowOf(const MTreeNode* node) const
{
  const auto& rows = GetRows();
  const auto it = std::find(rows.begin(), rows.end(), node);
  return it == rows.end() ? -1 : std::int32_t(it - rows.begin());
}

std::int32_t MTreeControlBase::GetRowHeight() const
{
  return std::max(MControlUtility::Metric(*this, MStyle::MetricRowHeight, 20),
                  MControlUtility::LineHeight(*this, GetFont()) + 2);
}

std::int32_t MTreeControlBase::VisibleRows() const
{
  return std::max(1, GetClientRect().Height() / GetRowHeight());
}

MRect MTreeControlBase::GetRowRect(std::int32_t row) const
{
  const MRect client = GetClientRect();
  const std::int32_t top = client.top + (row - m_top) * GetRowHeight();
  return MRect{client.left, top, client.right, top + GetRowHeight()};
}

std::int32_t MTreeControlBase::RowAt(MPoint position) const
{
  const MRect client = GetClientRect();
  if (!client.Contains(position))
    return -1;
  const std::int32_t row = m_top + (position.y - client.top) / GetRowHeight();
  return row < std::int32_t(GetRows().size()) ? row : -1;
}

void MTreeControlBase::EnsureVisible(std::int32_t row)
{
  if (row < 0)
    return;
  if (row < m_top)
    m_top = row;
  else if (row >= m_top + VisibleRows())
    m_top = row - VisibleRows() + 1;
  m_top = std::clamp(m_top, 0, std::max(0, std::int32_t(GetRows().size()) - VisibleRows()));
  Invalidate();
}

void MTreeControlBase::SetSelection(MTreeNode* node)
{
  for (MTreeNode* parent = node != nullptr ? node->GetParent() : nullptr; parent != nullptr;
       parent = parent->GetParent())
    if (!parent->IsExpanded())
      SetExpanded(*parent, true);
  m_selection = node;
  EnsureVisible(RowOf(node));
  Invalidate();
}

void MTreeControlBase::Select(MTreeNode* node)
{
  if (node == m_selection)
    return;
  SetSelection(node);
  NotifyChanged();
}

void MTreeControlBase::SetExpanded(MTreeNode& node, bool expanded)
{
  if (expanded && !node.IsExpanded())
    OnExpanding(node);
  node.SetExpanded(expanded);
  // Collapsing hides the selection: it moves to the collapsed node.
  if (!expanded && m_selection != nullptr && m_selection != &node)
    for (MTreeNode* parent = m_selection->GetParent(); parent != nullptr; parent = parent->GetParent())
      if (parent == &node)
      {
        m_selection = &node;
        break;
      }
  m_rowsValid = false;
  m_top = std::clamp(m_top, 0, std::max(0, std::int32_t(GetRows().size()) - VisibleRows()));
  Invalidate();
}

MSize MTreeControlBase::GetPreferredSize() const
{
  return MSize{180, GetRowHeight() * 8 + 6};
}

bool MTreeControlBase::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t row = RowAt(position);
  if (row < 0)
    return true;
  MTreeNode* node = GetRows()[std::size_t(row)];
  const MRect rect = GetRowRect(row);
  const std::int32_t arrowLeft = rect.left + node->GetDepth() * kIndent;
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0 ||
      (node->MayHaveChildren() && position.x >= arrowLeft && position.x < arrowLeft + kIndent))
  {
    SetExpanded(*node, !node->IsExpanded());
    if ((modifiers & MSystemEvent::ModDoubleClick) == 0)
      return true;
  }
  Select(node);
  return true;
}

bool MTreeControlBase::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t row = RowAt(position);
  if (row < 0)
    return false;
  MTreeNode* node = GetRows()[std::size_t(row)];
  Select(node);
  if (node->MayHaveChildren())
    SetExpanded(*node, !node->IsExpanded());
  MOnItemParams<MTreeNode*> params{this, node};
  m_chosen.Call(params);
  return true;
}

bool MTreeControlBase::OnMouseMove(MPoint position, std::uint32_t)
{
  const std::int32_t row = RowAt(position);
  if (row != m_hover)
  {
    m_hover = row;
    Invalidate();
  }
  return false;
}

void MTreeControlBase::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

bool MTreeControlBase::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  m_top = std::clamp(m_top + MControlUtility::WheelLines(delta), 0,
                     std::max(0, std::int32_t(GetRows().size()) - VisibleRows()));
  Invalidate();
  return true;
}

bool MTreeControlBase::OnKeyDown(std::int32_t key, std::uint32_t)
{
  const auto& rows = GetRows();
  if (rows.empty())
    return false;
  const std::int32_t count = std::int32_t(rows.size());
  const std::int32_t row = RowOf(m_selection);
  switch (key)
  {
  case MVirtualKey::Up:
    Select(rows[std::size_t(std::max(0, row < 0 ? count - 1 : row - 1))]);
    return true;
  case MVirtualKey::Down:
    Select(rows[std::size_t(std::min(count - 1, row + 1))]);
    return true;
  case MVirtualKey::Home:
    Select(rows.front());
    return true;
  case MVirtualKey::End:
    Select(rows.back());
    return true;
  case MVirtualKey::Right:
    if (m_selection == nullptr)
      return false;
    if (!m_selection->IsExpanded() && m_selection->MayHaveChildren())
      SetExpanded(*m_selection, true);
    else if (m_selection->GetChildCount() > 0)
      Select(&m_selection->GetChild(0));
    return true;
  case MVirtualKey::Left:
    if (m_selection == nullptr)
      return false;
    if (m_selection->IsExpanded())
      SetExpanded(*m_selection, false);
    else if (m_selection->GetParent() != nullptr && m_selection->GetParent() != &GetRoot())
      Select(m_selection->GetParent());
    return true;
  case MVirtualKey::Return:
  {
    if (m_selection == nullptr)
      return false;
    MOnItemParams<MTreeNode*> params{this, m_selection};
    m_chosen.Call(params);
    return true;
  }
  default:
    return false;
  }
}

void MTreeControlBase::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect client = GetClientRect();
  if (client.IsEmpty())
    return;
  const MRect saved = drawer.IntersectClip(client);
  const auto& rows = GetRows();
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  for (std::int32_t row = m_top; row < std::int32_t(rows.size()) && row <= m_top + VisibleRows(); ++row)
  {
    MTreeNode* node = rows[std::size_t(row)];
    const MRect rect = GetRowRect(row);
    const std::int32_t indent = node->GetDepth() * kIndent;
    MControlPaint item = paint;
    item.text = node->GetText();
    item.clicked = node == m_selection;
    item.highlighted = row == m_hover;
    item.focused = paint.focused && item.clicked;
    style->PaintContent(drawer, MRect{rect.left + indent + kIndent + 1, rect.top, rect.right, rect.bottom},
                        item);
    if (node->MayHaveChildren())
    {
      const double cx = rect.left + indent + kIndent / 2.0, cy = (rect.top + rect.bottom) / 2.0;
      const MColor arrow = item.clicked ? style->GetColor(MStdColor::Text) : text.WithAlpha(170);
      if (node->IsExpanded())
      {
        const MDrawer::PointF points[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}};
        drawer.FillPolygon(points, arrow);
      }
      else
      {
        const MDrawer::PointF points[3] = {{cx - 2, cy - 4}, {cx + 3, cy}, {cx - 2, cy + 4}};
        drawer.FillPolygon(points, arrow);
      }
    }
  }
  drawer.RestoreClip(saved);
}

// --- MDirectoryTreeControl --------------------------------------------------------------------------

namespace
{
std::filesystem::path ToPath(const MString& text)
{
  return std::filesystem::path(text.ToUTF16());
}

MString FromPath(const std::filesystem::path& path)
{
  return MString(std::u16string_view(path.u16string()));
}
} // namespace

void MDirectoryTreeControl::SetRootPath(const MString& path)
{
  Clear();
  const std::filesystem::path root = ToPath(path);
  MString name = FromPath(root.filename());
  if (name.IsEmpty())
    name = path;
  MDirectoryNode& top = AddNode(nullptr, name, path);
  SetExpanded(top, true);
  TreeChanged();
}

MString MDirectoryTreeControl::GetSelectedPath() const
{
  const auto* node = static_cast<const MDirectoryNode*>(GetSelection());
  return node != nullptr ? node->GetPath() : MString();
}

void MDirectoryTreeControl::OnExpanding(MTreeNode& node)
{
  auto& directory = static_cast<MDirectoryNode&>(node);
  if (directory.IsRead())
    return;
  directory.SetRead();
  std::vector<std::filesystem::path> folders;
  std::error_code error;
  std::filesystem::directory_iterator it(ToPath(directory.GetPath()),
                                         std::filesystem::directory_options::skip_permission_denied, error);
  // A folder that cannot be listed simply shows no children; the limit keeps a huge folder from
  // stalling the GUI thread.
  for (; !error && it != std::filesystem::directory_iterator() && folders.size() < 4096; it.increment(error))
  {
    std::error_code kind;
    if (it->is_directory(kind) && !kind)
      folders.push_back(it->path());
  }
  std::sort(folders.begin(), folders.end());
  for (const std::filesystem::path& folder : folders)
    directory.AddChild(std::make_unique<MDirectoryNode>(FromPath(folder.filename()), FromPath(folder)));
  TreeChanged();
}

// --- MStringListBoxWithTree -------------------------------------------------------------------------

MStringListBoxWithTree::MStringListBoxWithTree()
{
  m_tree = &Add<MTreeControl>();
  m_list = &Add<MListBox>();
  m_tree->GetChangedEvent().Subscribe<&MStringListBoxWithTree::OnTreeChanged>(this);
  m_list->GetChangedEvent().Subscribe<&MStringListBoxWithTree::OnListChanged>(this);
}

MTreeNode* MStringListBoxWithTree::FindOrMake(const MString& path)
{
  MTreeNode* node = &m_tree->GetRoot();
  for (const MString& name : MStringList::Split(path, u'/'))
  {
    if (name.IsEmpty())
      continue;
    MTreeNode* next = nullptr;
    for (std::int32_t i = 0; i < node->GetChildCount() && next == nullptr; ++i)
      if (node->GetChild(i).GetText() == name)
        next = &node->GetChild(i);
    if (next == nullptr)
    {
      next = &node->AddChild(std::make_unique<MTreeNode>(name));
      next->SetData(-1);
    }
    node = next;
  }
  return node;
}

void MStringListBoxWithTree::AddGroup(const MString& path, const MStringList& strings)
{
  MTreeNode* node = FindOrMake(path);
  if (node == &m_tree->GetRoot())
    return;
  m_groups.push_back(strings);
  node->SetData(std::intptr_t(m_groups.size()) - 1);
  m_tree->TreeChanged();
}

MString MStringListBoxWithTree::GetSelectedString() const
{
  return m_list->GetSelectedText();
}

void MStringListBoxWithTree::Arrange()
{
  const MRect client = GetClientRect();
  const std::int32_t split = client.left + client.Width() * 2 / 5;
  const std::int32_t gap = MControlUtility::Metric(*this, MStyle::MetricSpacing, 6);
  m_tree->SetBounds(MRect{client.left, client.top, std::max(client.left, split - gap / 2), client.bottom});
  m_list->SetBounds(
      MRect{std::min(client.right, split + gap - gap / 2), client.top, client.right, client.bottom});
}

void MStringListBoxWithTree::OnTreeChanged(MOnNotifyParams&)
{
  m_list->Clear();
  const MTreeNode* node = m_tree->GetSelection();
  const std::intptr_t group = node != nullptr ? node->GetData() : -1;
  if (group >= 0 && group < std::intptr_t(m_groups.size()))
    for (const MString& text : m_groups[std::size_t(group)])
      m_list->AddString(text);
}

void MStringListBoxWithTree::OnListChanged(MOnNotifyParams&)
{
  NotifyChanged();
}
