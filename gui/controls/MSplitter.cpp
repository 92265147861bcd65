#include "gui/controls/MSplitter.h"

#include "gui/MDrawer.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

MSplitter::MSplitter(bool horizontal) : m_horizontal(horizontal)
{
  SetControlType(MControlType::NoBackground);
}

void MSplitter::SetPanes(std::unique_ptr<MControl> first, std::unique_ptr<MControl> second)
{
  if (m_first != nullptr)
    RemoveChild(*m_first);
  if (m_second != nullptr)
    RemoveChild(*m_second);
  m_first = first != nullptr ? &AddChild(std::move(first)) : nullptr;
  m_second = second != nullptr ? &AddChild(std::move(second)) : nullptr;
  Arrange();
}

void MSplitter::SetRatio(double ratio)
{
  m_ratio = std::isnan(ratio) ? 0.5 : std::clamp(ratio, 0.0, 1.0);
  Arrange();
  Invalidate();
}

std::int32_t MSplitter::Room() const
{
  const MRect client = GetClientRect();
  return std::max(0, (m_horizontal ? client.Width() : client.Height()) - kDivider);
}

MRect MSplitter::GetDividerRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t room = Room();
  std::int32_t at = std::int32_t(std::lround(m_ratio * room));
  if (room >= 2 * kMinPane)
    at = std::clamp(at, kMinPane, room - kMinPane);
  const MRect divider = m_horizontal
                            ? MRect{client.left + at, client.top, client.left + at + kDivider, client.bottom}
                            : MRect{client.left, client.top + at, client.right, client.top + at + kDivider};
  return divider.Intersect(client);
}

void MSplitter::Arrange()
{
  const MRect client = GetClientRect();
  const MRect divider = GetDividerRect();
  const MRect first = m_horizontal ? MRect{client.left, client.top, divider.left, client.bottom}
                                   : MRect{client.left, client.top, client.right, divider.top};
  const MRect second = m_horizontal ? MRect{divider.right, client.top, client.right, client.bottom}
                                    : MRect{client.left, divider.bottom, client.right, client.bottom};
  if (m_first != nullptr)
    m_first->SetBounds(first);
  if (m_second != nullptr)
    m_second->SetBounds(second);
}

MStdCursor MSplitter::GetCursor(MPoint position) const
{
  if (!m_dragging && !GetDividerRect().Contains(position))
    return MStdCursor::Arrow;
  return m_horizontal ? MStdCursor::ArrowLR : MStdCursor::ArrowUD;
}

bool MSplitter::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  const MRect divider = GetDividerRect();
  if (button != MMouseButton::Left || !divider.Contains(position))
    return false;
  m_dragging = true;
  m_grab = m_horizontal ? position.x - divider.left : position.y - divider.top;
  SetCapture();
  SetClicked(true);
  return true;
}

bool MSplitter::OnMouseMove(MPoint position, std::uint32_t)
{
  if (!m_dragging)
    return false;
  const MRect client = GetClientRect();
  const std::int32_t room = Room();
  if (room <= 0)
    return true;
  const std::int32_t at = (m_horizontal ? position.x - client.left : position.y - client.top) - m_grab;
  const double ratio = std::clamp(double(at) / room, 0.0, 1.0);
  if (ratio != m_ratio)
  {
    SetRatio(ratio);
    NotifyChanged();
  }
  return true;
}

bool MSplitter::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  ReleaseCapture();
  SetClicked(false);
  return true;
}

bool MSplitter::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || !GetDividerRect().Contains(position))
    return false;
  SetRatio(0.5);
  NotifyChanged();
  return true;
}

void MSplitter::OnCaptureLost()
{
  m_dragging = false;
  SetClicked(false);
}

void MSplitter::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect divider = GetDividerRect();
  if (divider.Width() < 3 || divider.Height() < 3)
    return;
  const MRect saved = drawer.IntersectClip(divider);
  const bool active = paint.clicked || paint.highlighted;
  const MColor line =
      active ? style->GetColor(MStdColor::Highlight) : style->GetColor(MStdColor::Text).WithAlpha(40);
  const MColor color = MControlUtility::Disabled(line, paint.disabled);
  const double cx = (divider.left + divider.right) / 2.0, cy = (divider.top + divider.bottom) / 2.0;
  if (m_horizontal)
  {
    drawer.FillRectangle(
        MRect{divider.left + kDivider / 2, divider.top, divider.left + kDivider / 2 + 1, divider.bottom},
        color.WithAlpha(active ? 180 : 255));
    for (int i = -1; i <= 1; ++i)
      drawer.FillCircle(
          cx + 0.5, cy + i * 6, 1.6,
          MControlUtility::Disabled(style->GetColor(MStdColor::Text).WithAlpha(150), paint.disabled));
  }
  else
  {
    drawer.FillRectangle(
        MRect{divider.left, divider.top + kDivider / 2, divider.right, divider.top + kDivider / 2 + 1},
        color.WithAlpha(active ? 180 : 255));
    for (int i = -1; i <= 1; ++i)
      drawer.FillCircle(
          cx + i * 6, cy + 0.5, 1.6,
          MControlUtility::Disabled(style->GetColor(MStdColor::Text).WithAlpha(150), paint.disabled));
  }
  drawer.RestoreClip(saved);
}
