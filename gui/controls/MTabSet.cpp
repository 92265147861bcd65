#include "gui/controls/MTabSet.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

MTabSet::MTabSet()
{
  SetControlType(MControlType::TabSet);
  SetFlag(FlagTabStop, true);
}

std::int32_t MTabSet::AddTab(const MString& title, std::unique_ptr<MControl> page)
{
  MControl* added = page != nullptr ? &AddChild(std::move(page)) : nullptr;
  m_tabs.push_back(Tab{title, added});
  if (m_selection < 0)
    m_selection = 0;
  LayoutPages();
  Invalidate();
  return GetTabCount() - 1;
}

MControl* MTabSet::GetPage(std::int32_t index) const
{
  return index >= 0 && index < GetTabCount() ? m_tabs[std::size_t(index)].page : nullptr;
}

void MTabSet::SetSelection(std::int32_t index)
{
  if (index < 0 || index >= GetTabCount() || index == m_selection)
    return;
  m_selection = index;
  LayoutPages();
  Invalidate();
}

bool MTabSet::Select(std::int32_t index)
{
  const std::int32_t old = m_selection;
  SetSelection(index);
  if (m_selection == old)
    return false;
  NotifyChanged();
  return true;
}

std::int32_t MTabSet::StripHeight() const
{
  return std::min(MControlUtility::Metric(*this, MStyle::MetricRowHeight, 20) + 6,
                  std::max(0, GetClientRect().Height()));
}

MRect MTabSet::GetTabRect(std::int32_t index) const
{
  const MRect client = GetClientRect();
  std::int32_t x = client.left + 6;
  for (std::int32_t i = 0; i < GetTabCount(); ++i)
  {
    const std::int32_t width =
        MControlUtility::MeasureText(*this, m_tabs[std::size_t(i)].title, GetFont()).x + 24;
    if (i == index)
      return MRect{x, client.top, std::min(x + width, client.right), client.top + StripHeight()};
    x += width + 2;
  }
  return MRect{};
}

MRect MTabSet::GetPageRect() const
{
  const MRect client = GetClientRect();
  const MRect page{client.left + 1, client.top + StripHeight(), client.right - 1, client.bottom - 1};
  return page.IsEmpty() ? MRect{} : page;
}

std::int32_t MTabSet::TabAt(MPoint position) const
{
  for (std::int32_t i = 0; i < GetTabCount(); ++i)
    if (GetTabRect(i).Contains(position))
      return i;
  return -1;
}

void MTabSet::LayoutPages()
{
  const MRect page = GetPageRect();
  for (std::int32_t i = 0; i < GetTabCount(); ++i)
    if (MControl* control = m_tabs[std::size_t(i)].page)
    {
      control->SetBounds(page);
      control->SetVisible(i == m_selection);
    }
}

MSize MTabSet::GetPreferredSize() const
{
  const MRect last = GetTabRect(GetTabCount() - 1);
  return MSize{std::max(200, last.right + 8), 150};
}

bool MTabSet::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t tab = TabAt(position);
  if (tab < 0)
    return false;
  Select(tab);
  return true;
}

bool MTabSet::OnMouseMove(MPoint position, std::uint32_t)
{
  const std::int32_t tab = TabAt(position);
  if (tab != m_hover)
  {
    m_hover = tab;
    Invalidate();
  }
  return false;
}

void MTabSet::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

bool MTabSet::OnKeyDown(std::int32_t key, std::uint32_t)
{
  if (key == MVirtualKey::Left)
    return Select(m_selection - 1) || true;
  if (key == MVirtualKey::Right)
    return Select(m_selection + 1) || true;
  return false;
}

void MTabSet::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  for (std::int32_t i = 0; i < GetTabCount(); ++i)
  {
    MControlPaint tab = paint;
    tab.text = m_tabs[std::size_t(i)].title;
    tab.clicked = i == m_selection;
    tab.highlighted = i == m_hover;
    tab.focused = paint.focused && i == m_selection;
    style->PaintContent(drawer, GetTabRect(i), tab);
  }
}
