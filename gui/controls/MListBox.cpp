#include "gui/controls/MListBox.h"

#include "base/MStringList.h"
#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

MListBoxBase::MListBoxBase()
{
  SetControlType(MControlType::ListBox);
  SetFlag(FlagTabStop, true);
}

std::int32_t MListBoxBase::GetRowHeight() const
{
  return std::max(MControlUtility::Metric(*this, MStyle::MetricRowHeight, 20),
                  MControlUtility::LineHeight(*this, GetFont()) + 2);
}

MRect MListBoxBase::GetScrollBarRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t rows = std::max(1, client.Height() / GetRowHeight());
  if (GetItemCount() <= rows || client.IsEmpty())
    return MRect{};
  const std::int32_t width =
      std::min(client.Width(), MControlUtility::Metric(*this, MStyle::MetricScrollBar, 12));
  return MRect{client.right - width, client.top, client.right, client.bottom};
}

MRect MListBoxBase::GetRowsRect() const
{
  MRect rect = GetClientRect();
  const MRect bar = GetScrollBarRect();
  if (!bar.IsEmpty())
    rect.right = std::max(rect.left, bar.left - 1);
  return rect;
}

std::int32_t MListBoxBase::GetVisibleRows() const
{
  return std::max(1, GetClientRect().Height() / GetRowHeight());
}

MRect MListBoxBase::GetRowRect(std::int32_t index) const
{
  const MRect rows = GetRowsRect();
  const std::int32_t top = rows.top + (index - m_top) * GetRowHeight();
  return MRect{rows.left, top, rows.right, top + GetRowHeight()};
}

std::int32_t MListBoxBase::RowAt(MPoint position) const
{
  const MRect rows = GetRowsRect();
  if (!rows.Contains(position))
    return -1;
  const std::int32_t index = m_top + (position.y - rows.top) / GetRowHeight();
  return index < GetItemCount() ? index : -1;
}

void MListBoxBase::SetSelection(std::int32_t index)
{
  if (index < 0 || index >= GetItemCount())
    index = -1;
  if (index == m_selection)
    return;
  m_selection = index;
  Invalidate();
}

void MListBoxBase::Select(std::int32_t index)
{
  if (index >= 0 && (index >= GetItemCount() || !GetItemAt(index).IsSelectable()))
    return;
  const std::int32_t old = m_selection;
  SetSelection(index);
  if (m_selection >= 0)
    EnsureVisible(m_selection);
  if (m_selection != old)
    NotifyChanged();
}

bool MListBoxBase::Choose(std::int32_t index)
{
  if (index < 0 || index >= GetItemCount() || !GetItemAt(index).IsSelectable())
    return false;
  MOnItemParams<std::int32_t> params{this, index};
  m_chosen.Call(params);
  return true;
}

void MListBoxBase::SetTopIndex(std::int32_t index)
{
  const std::int32_t limit = std::max(0, GetItemCount() - GetVisibleRows());
  index = std::clamp(index, 0, limit);
  if (index == m_top)
    return;
  m_top = index;
  Invalidate();
}

void MListBoxBase::EnsureVisible(std::int32_t index)
{
  if (index < 0)
    return;
  if (index < m_top)
    SetTopIndex(index);
  else if (index >= m_top + GetVisibleRows())
    SetTopIndex(index - GetVisibleRows() + 1);
}

void MListBoxBase::OnSizeChanged()
{
  m_top = std::clamp(m_top, 0, std::max(0, GetItemCount() - GetVisibleRows()));
  EnsureVisible(m_selection);
}

void MListBoxBase::ItemsChanged()
{
  if (m_selection >= GetItemCount())
    m_selection = -1;
  if (m_hover >= GetItemCount())
    m_hover = -1;
  m_top = std::clamp(m_top, 0, std::max(0, GetItemCount() - GetVisibleRows()));
  Invalidate();
}

std::int32_t MListBoxBase::NextSelectable(std::int32_t from, std::int32_t direction) const
{
  for (std::int32_t i = from + direction; i >= 0 && i < GetItemCount(); i += direction)
    if (GetItemAt(i).IsSelectable())
      return i;
  return from;
}

MSize MListBoxBase::GetPreferredSize() const
{
  std::int32_t width = 80;
  for (std::int32_t i = 0; i < std::min(GetItemCount(), 200); ++i)
    width = std::max(width, MControlUtility::MeasureText(*this, GetItemAt(i).GetText(), GetFont()).x + 24);
  return MSize{width, GetRowHeight() * std::clamp(GetItemCount(), 3, 10) + 6};
}

bool MListBoxBase::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  const MRect bar = GetScrollBarRect();
  if (bar.Contains(position))
  {
    const std::int32_t count = GetItemCount();
    const std::int32_t thumbTop = bar.top + bar.Height() * m_top / std::max(1, count);
    const std::int32_t thumbBottom = bar.top + bar.Height() * (m_top + GetVisibleRows()) / std::max(1, count);
    if (position.y < thumbTop)
      SetTopIndex(m_top - GetVisibleRows());
    else if (position.y >= thumbBottom)
      SetTopIndex(m_top + GetVisibleRows());
    else
    {
      m_draggingThumb = true;
      m_thumbGrab = position.y - thumbTop;
      SetCapture();
    }
    return true;
  }
  const std::int32_t row = RowAt(position);
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0 && row >= 0)
  {
    Choose(row);
    return true;
  }
  if (row >= 0)
    Select(row);
  return true;
}

bool MListBoxBase::OnMouseMove(MPoint position, std::uint32_t)
{
  if (m_draggingThumb)
  {
    const MRect bar = GetScrollBarRect();
    if (bar.Height() > 0)
      SetTopIndex((position.y - m_thumbGrab - bar.top) * GetItemCount() / bar.Height());
    return true;
  }
  const std::int32_t row = RowAt(position);
  if (row != m_hover)
  {
    m_hover = row;
    if (m_hoverSelects && row >= 0 && GetItemAt(row).IsSelectable())
      SetSelection(row);
    Invalidate();
  }
  return false;
}

bool MListBoxBase::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  if (m_draggingThumb)
  {
    m_draggingThumb = false;
    ReleaseCapture();
    return true;
  }
  if (m_hoverSelects)
  {
    const std::int32_t row = RowAt(position);
    if (row >= 0)
      Choose(row);
    return true;
  }
  return false;
}

bool MListBoxBase::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t row = RowAt(position);
  if (row < 0)
    return false;
  Select(row);
  Choose(row);
  return true;
}

bool MListBoxBase::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  const std::int32_t old = m_top;
  SetTopIndex(m_top + MControlUtility::WheelLines(delta));
  return m_top != old || GetItemCount() > GetVisibleRows();
}

bool MListBoxBase::OnKeyDown(std::int32_t key, std::uint32_t)
{
  const std::int32_t count = GetItemCount();
  if (count == 0)
    return false;
  const std::int32_t page = std::max(1, GetVisibleRows() - 1);
  switch (key)
  {
  case MVirtualKey::Up:
    Select(m_selection < 0 ? NextSelectable(count, -1) : NextSelectable(m_selection, -1));
    return true;
  case MVirtualKey::Down:
    Select(NextSelectable(m_selection, 1));
    return true;
  case MVirtualKey::Home:
    Select(NextSelectable(-1, 1));
    return true;
  case MVirtualKey::End:
    Select(NextSelectable(count, -1));
    return true;
  case MVirtualKey::PageUp:
  case MVirtualKey::PageDown:
  {
    const std::int32_t direction = key == MVirtualKey::PageUp ? -1 : 1;
    std::int32_t target = std::clamp((m_selection < 0 ? 0 : m_selection) + direction * page, 0, count - 1);
    if (!GetItemAt(target).IsSelectable())
    {
      const std::int32_t next = NextSelectable(target, direction);
      target = next != target ? next : NextSelectable(target, -direction);
    }
    if (GetItemAt(target).IsSelectable())
      Select(target);
    return true;
  }
  case MVirtualKey::Return:
    return m_selection >= 0 && Choose(m_selection);
  default:
    return false;
  }
}

bool MListBoxBase::OnCharacter(std::int32_t character, std::uint32_t modifiers)
{
  if (character <= 0x20 || character > 0xFFFF ||
      (modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) != 0)
    return false;
  const char16_t wanted = MString::FoldForName(char16_t(character));
  const std::int32_t count = GetItemCount();
  for (std::int32_t step = 1; step <= count; ++step)
  {
    const std::int32_t i = ((m_selection < 0 ? -1 : m_selection) + step + count) % count;
    const MString& text = GetItemAt(i).GetText();
    if (GetItemAt(i).IsSelectable() && !text.IsEmpty() && MString::FoldForName(text.At(0)) == wanted)
    {
      Select(i);
      return true;
    }
  }
  return false;
}

void MListBoxBase::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

void MListBoxBase::OnCaptureLost()
{
  m_draggingThumb = false;
}

void MListBoxBase::PaintItem(MDrawer& drawer, MStyle& style, std::int32_t, const MRect& rect,
                             MControlPaint& paint)
{
  style.PaintContent(drawer, rect, paint);
}

void MListBoxBase::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect rows = GetRowsRect();
  if (rows.IsEmpty())
    return;
  const MRect saved = drawer.IntersectClip(rows);
  const std::int32_t count = GetItemCount();
  const std::int32_t visible = GetVisibleRows() + 1;
  for (std::int32_t i = m_top; i < count && i < m_top + visible; ++i)
  {
    const MListItem& item = GetItemAt(i);
    MControlPaint row = paint;
    row.text = item.GetText();
    row.clicked = i == m_selection;
    row.highlighted = i == m_hover && item.IsSelectable();
    row.disabled = paint.disabled || !item.IsEnabled();
    row.focused = paint.focused && i == m_selection;
    PaintItem(drawer, *style, i, GetRowRect(i), row);
  }
  drawer.RestoreClip(saved);
  const MRect bar = GetScrollBarRect();
  if (!bar.IsEmpty())
  {
    MControlPaint scroll = paint;
    scroll.type = MControlType::VScrollBar;
    scroll.rect = bar;
    scroll.captionType = MCaptionType::None;
    scroll.focused = false;
    scroll.clicked = m_draggingThumb;
    scroll.value = double(m_top) / std::max(1, count);
    scroll.value2 = double(GetVisibleRows()) / std::max(1, count);
    style->PaintControl(drawer, scroll);
  }
}

// --- MListBox ---------------------------------------------------------------------------------------

MListBox::MListBox() = default;

MString MListBox::GetSelectedText() const
{
  return GetSelection() >= 0 ? GetItem(GetSelection()).GetText() : MString();
}

void MListBox::LoadAttributes(const MXmlItem& item)
{
  MListBoxT<MStringItem>::LoadAttributes(item);
  if (item.HasAttribute("items"))
  {
    Clear();
    for (const MString& text : MStringList::Split(item.GetAttribute(), u'|'))
      AddString(text);
  }
  if (item.HasAttribute("selection"))
    SetSelection(std::int32_t(std::clamp<std::int64_t>(item.GetAttribute().ToInteger(), -1, GetItemCount())));
}

void MListBox::SaveAttributes(MXmlItem& item) const
{
  MListBoxT<MStringItem>::SaveAttributes(item);
  MStringList texts;
  for (const MStringItem& entry : m_items)
    texts.Add(entry.GetText());
  item.SetAttribute("items", texts.Join(MString("|")));
  item.SetAttribute("selection", MString::FromInteger(GetSelection()));
}
