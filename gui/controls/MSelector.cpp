#include "gui/controls/MSelector.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MMenu.h"

#include <algorithm>

MSelector::MSelector()
{
  SetControlType(MControlType::Button);
  SetFlag(FlagTabStop, true);
}

MSelector::~MSelector() = default;

void MSelector::SetChoices(const MStringList& choices)
{
  m_choices = choices;
  SetSelection(m_selection < 0 ? 0 : m_selection);
}

void MSelector::SetSelection(std::int32_t index)
{
  // A negative index shows no choice (the value matches none of them).
  const std::int32_t clamped = m_choices.IsEmpty() || index < 0 ? -1 : std::min(index, m_choices.Count() - 1);
  if (clamped == m_selection)
    return;
  m_selection = clamped;
  Invalidate();
}

bool MSelector::Select(std::int32_t index)
{
  const std::int32_t old = m_selection;
  SetSelection(std::max(index, 0)); // stepping never leaves the list
  if (m_selection == old)
    return false;
  NotifyChanged();
  return true;
}

void MSelector::OpenChoices()
{
  if (m_popup == nullptr)
    m_popup = std::make_unique<MWindowMenu>();
  MMenu& menu = m_popup->GetMenu();
  menu.Clear();
  for (std::int32_t i = 0; i < m_choices.Count(); ++i)
  {
    MMenuItem item(m_choices.At(i));
    item.SetChecked(i == m_selection);
    menu.AddItem(std::move(item));
  }
  menu.SetSelection(m_selection);
  m_popup->Popup(*this, GetRect(), [this](std::int32_t index) { Select(index); });
}

MRect MSelector::GetLeftArrowRect() const
{
  const MRect rect = GetRect();
  const std::int32_t width = std::min(rect.Width() / 3, std::max(0, std::min(22, rect.Height())));
  return MRect{rect.left, rect.top, rect.left + std::max(0, width), rect.bottom};
}

MRect MSelector::GetRightArrowRect() const
{
  const MRect rect = GetRect();
  const std::int32_t width = GetLeftArrowRect().Width();
  return MRect{rect.right - width, rect.top, rect.right, rect.bottom};
}

MSize MSelector::GetPreferredSize() const
{
  std::int32_t width = 60;
  for (const MString& choice : m_choices)
    width = std::max(width, MControlUtility::MeasureText(*this, choice, GetFont()).x);
  return MSize{width + 56, MControlUtility::Metric(*this, MStyle::MetricButtonHeight, 24)};
}

bool MSelector::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || m_choices.IsEmpty())
    return false;
  if (GetLeftArrowRect().Contains(position))
    Select(m_selection - 1);
  else if (GetRightArrowRect().Contains(position))
    Select(m_selection + 1);
  else
    OpenChoices();
  return true;
}

bool MSelector::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  // Quick clicks on an arrow step quickly.
  if (GetLeftArrowRect().Contains(position) || GetRightArrowRect().Contains(position))
    return OnMouseDown(button, position, modifiers);
  return false;
}

bool MSelector::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  if (m_choices.IsEmpty())
    return false;
  Select(m_selection + (delta > 0 ? -1 : 1));
  return true;
}

bool MSelector::OnKeyDown(std::int32_t key, std::uint32_t)
{
  switch (key)
  {
  case MVirtualKey::Left:
  case MVirtualKey::Up:
    Select(m_selection - 1);
    return true;
  case MVirtualKey::Right:
  case MVirtualKey::Down:
    Select(m_selection + 1);
    return true;
  case MVirtualKey::Home:
    Select(0);
    return true;
  case MVirtualKey::End:
    Select(m_choices.Count() - 1);
    return true;
  case MVirtualKey::Return:
  case MVirtualKey::Space:
    OpenChoices();
    return true;
  default:
    return false;
  }
}

void MSelector::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  paint.text = m_selection >= 0 ? m_choices.At(m_selection) : MString();
  const MRect left = GetLeftArrowRect();
  const MRect right = GetRightArrowRect();
  MRect textRect = GetClientRect();
  textRect.left = std::max(textRect.left, left.right);
  textRect.right = std::min(textRect.right, right.left);
  MControlUtility::PaintStyled(drawer, *style, paint, textRect);
  if (left.Width() < 8 || left.Height() < 8)
    return;
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  const auto arrow = [&](const MRect& r, bool pointsLeft, bool enabled) {
    const double cx = (r.left + r.right) / 2.0 + (pointsLeft ? 2 : -2), cy = (r.top + r.bottom) / 2.0;
    const double d = pointsLeft ? -1 : 1;
    const MDrawer::PointF points[3] = {
        {cx - 2.5 * d, cy - 4.5}, {cx + 2.5 * d, cy}, {cx - 2.5 * d, cy + 4.5}};
    drawer.FillPolygon(points, text.WithAlpha(enabled ? 230 : 70));
  };
  arrow(left, true, m_selection > 0);
  arrow(right, false, m_selection >= 0 && m_selection + 1 < m_choices.Count());
}

void MSelector::LoadAttributes(const MXmlItem& item)
{
  MControl::LoadAttributes(item);
  if (item.HasAttribute("items"))
    SetChoices(MStringList::Split(item.GetAttribute(), u'|'));
  if (item.HasAttribute("selection"))
    SetSelection(std::int32_t(std::clamp<std::int64_t>(item.GetAttribute().ToInteger(), 0, 1 << 20)));
}

void MSelector::SaveAttributes(MXmlItem& item) const
{
  MControl::SaveAttributes(item);
  item.SetAttribute("items", m_choices.Join(MString("|")));
  item.SetAttribute("selection", MString::FromInteger(m_selection));
}
