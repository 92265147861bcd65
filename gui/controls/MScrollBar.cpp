#include "gui/controls/MScrollBar.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MPanel.h"

#include <algorithm>
#include <cmath>

// --- MScrollBar -----------------------------------------------------------------------------------

MScrollBar::MScrollBar(bool vertical) : m_vertical(vertical)
{
  SetControlType(vertical ? MControlType::VScrollBar : MControlType::HScrollBar);
}

void MScrollBar::SetRange(std::int32_t total, std::int32_t page)
{
  m_total = std::max(0, total);
  m_page = std::clamp(page, 0, m_total);
  SetScrollPosition(m_position);
  Invalidate();
}

void MScrollBar::SetScrollPosition(std::int32_t position)
{
  position = std::clamp(position, 0, std::max(0, GetMaxPosition()));
  if (position == m_position)
    return;
  m_position = position;
  Invalidate();
}

bool MScrollBar::MoveTo(std::int32_t position)
{
  const std::int32_t old = m_position;
  SetScrollPosition(position);
  if (m_position == old)
    return false;
  NotifyChanged();
  return true;
}

std::int32_t MScrollBar::TrackLength() const
{
  const MRect client = GetClientRect();
  return std::max(0, m_vertical ? client.Height() : client.Width());
}

MRect MScrollBar::GetThumbRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t track = TrackLength();
  if (m_total <= 0 || track <= 0)
    return MRect{};
  std::int32_t size = std::int32_t(std::int64_t(track) * m_page / m_total);
  size = std::min(track, std::max(size, std::min(16, track)));
  const std::int32_t room = track - size;
  const std::int32_t at =
      GetMaxPosition() > 0 ? std::int32_t(std::int64_t(room) * m_position / GetMaxPosition()) : 0;
  return m_vertical ? MRect{client.left, client.top + at, client.right, client.top + at + size}
                    : MRect{client.left + at, client.top, client.left + at + size, client.bottom};
}

MSize MScrollBar::GetPreferredSize() const
{
  const std::int32_t thickness = MControlUtility::Metric(*this, MStyle::MetricScrollBar, 12);
  return m_vertical ? MSize{thickness, 100} : MSize{100, thickness};
}

bool MScrollBar::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const MRect thumb = GetThumbRect();
  const std::int32_t along = m_vertical ? position.y : position.x;
  const std::int32_t thumbStart = m_vertical ? thumb.top : thumb.left;
  const std::int32_t thumbEnd = m_vertical ? thumb.bottom : thumb.right;
  if (along < thumbStart)
    MoveTo(m_position - std::max(1, m_page));
  else if (along >= thumbEnd)
    MoveTo(m_position + std::max(1, m_page));
  else
  {
    m_dragging = true;
    m_grab = along - thumbStart;
    SetCapture();
    SetClicked(true);
  }
  return true;
}

bool MScrollBar::OnMouseMove(MPoint position, std::uint32_t)
{
  if (!m_dragging)
    return false;
  const MRect client = GetClientRect();
  const MRect thumb = GetThumbRect();
  const std::int32_t thumbSize = m_vertical ? thumb.Height() : thumb.Width();
  const std::int32_t room = TrackLength() - thumbSize;
  const std::int32_t along = (m_vertical ? position.y - client.top : position.x - client.left) - m_grab;
  if (room > 0)
    MoveTo(std::int32_t(std::lround(double(along) * GetMaxPosition() / room)));
  return true;
}

bool MScrollBar::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  ReleaseCapture();
  SetClicked(false);
  return true;
}

void MScrollBar::OnCaptureLost()
{
  m_dragging = false;
  SetClicked(false);
}

bool MScrollBar::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  MoveTo(m_position + MControlUtility::WheelLines(delta) * m_lineStep);
  return true;
}

bool MScrollBar::OnKeyDown(std::int32_t key, std::uint32_t)
{
  switch (key)
  {
  case MVirtualKey::Up:
  case MVirtualKey::Left:
    MoveTo(m_position - m_lineStep);
    return true;
  case MVirtualKey::Down:
  case MVirtualKey::Right:
    MoveTo(m_position + m_lineStep);
    return true;
  case MVirtualKey::PageUp:
    MoveTo(m_position - std::max(1, m_page));
    return true;
  case MVirtualKey::PageDown:
    MoveTo(m_position + std::max(1, m_page));
    return true;
  case MVirtualKey::Home:
    MoveTo(0);
    return true;
  case MVirtualKey::End:
    MoveTo(GetMaxPosition());
    return true;
  default:
    return false;
  }
}

void MScrollBar::FillPaint(MControlPaint& paint) const
{
  MControl::FillPaint(paint);
  if (m_total > 0)
  {
    // The style places the thumb from value over value2 of the track.
    paint.value = double(m_position) / m_total;
    paint.value2 = double(m_page) / m_total;
  }
}

// --- MScroller ------------------------------------------------------------------------------------

MScroller::MScroller()
{
  SetControlType(MControlType::Control);
  m_viewport = &Add<MPanel>();
  m_viewport->SetControlType(MControlType::NoBackground);
  m_vertical = &Add<MScrollBar>(true);
  m_horizontal = &Add<MScrollBar>(false);
  m_vertical->GetChangedEvent().Subscribe<&MScroller::OnBarChanged>(this);
  m_horizontal->GetChangedEvent().Subscribe<&MScroller::OnBarChanged>(this);
  m_vertical->SetLineStep(16);
  m_horizontal->SetLineStep(16);
}

MControl& MScroller::SetContent(std::unique_ptr<MControl> content)
{
  if (m_content != nullptr)
    m_viewport->RemoveChild(*m_content);
  MControl& added = m_viewport->AddChild(std::move(content));
  m_content = &added;
  m_offset = MPoint{};
  UpdateLayout();
  return added;
}

void MScroller::UpdateLayout()
{
  const MRect client = GetClientRect();
  const std::int32_t thickness = MControlUtility::Metric(*this, MStyle::MetricScrollBar, 12);
  const MSize content = m_content != nullptr ? m_content->GetSize() : MSize{};
  bool needV = content.y > client.Height();
  bool needH = content.x > client.Width() - (needV ? thickness : 0);
  needV = content.y > client.Height() - (needH ? thickness : 0);
  const std::int32_t viewW = std::max(0, client.Width() - (needV ? thickness : 0));
  const std::int32_t viewH = std::max(0, client.Height() - (needH ? thickness : 0));
  m_vertical->SetVisible(needV);
  m_horizontal->SetVisible(needH);
  m_vertical->SetBounds(MRect{client.right - thickness, client.top, client.right, client.top + viewH});
  m_horizontal->SetBounds(MRect{client.left, client.bottom - thickness, client.left + viewW, client.bottom});
  m_viewport->SetBounds(MRect::FromSize(client.left, client.top, viewW, viewH));
  m_vertical->SetRange(content.y, viewH);
  m_horizontal->SetRange(content.x, viewW);
  ScrollTo(m_offset);
}

void MScroller::ScrollTo(MPoint offset)
{
  m_vertical->SetScrollPosition(offset.y);
  m_horizontal->SetScrollPosition(offset.x);
  m_offset = MPoint{m_horizontal->IsVisible() ? m_horizontal->GetScrollPosition() : 0,
                    m_vertical->IsVisible() ? m_vertical->GetScrollPosition() : 0};
  if (m_content != nullptr)
    m_content->SetPosition(MPoint{-m_offset.x, -m_offset.y});
  Invalidate();
}

void MScroller::OnBarChanged(MOnNotifyParams&)
{
  ScrollTo(MPoint{m_horizontal->GetScrollPosition(), m_vertical->GetScrollPosition()});
}

bool MScroller::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t modifiers)
{
  const std::int32_t step = MControlUtility::WheelLines(delta) * 16;
  if ((modifiers & MSystemEvent::ModShift) != 0)
    ScrollTo(MPoint{m_offset.x + step, m_offset.y});
  else
    ScrollTo(MPoint{m_offset.x, m_offset.y + step});
  return true;
}

// --- MZoomer --------------------------------------------------------------------------------------

MZoomer::MZoomer()
{
  SetControlType(MControlType::HScrollBar);
}

void MZoomer::SetRange(double start, double length)
{
  if (!std::isfinite(start))
    start = 0;
  if (!std::isfinite(length))
    length = 1;
  m_length = std::clamp(length, kMinLength, 1.0);
  m_start = std::clamp(start, 0.0, 1.0 - m_length);
  Invalidate();
}

bool MZoomer::ChangeRange(double start, double length)
{
  const double oldStart = m_start, oldLength = m_length;
  SetRange(start, length);
  if (m_start == oldStart && m_length == oldLength)
    return false;
  NotifyChanged();
  return true;
}

bool MZoomer::Zoom(double factor)
{
  const double centre = m_start + m_length / 2;
  const double length = std::clamp(m_length * factor, kMinLength, 1.0);
  return ChangeRange(centre - length / 2, length);
}

MRect MZoomer::GetWindowRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t width = client.Width();
  std::int32_t left = client.left + std::int32_t(std::lround(m_start * width));
  std::int32_t right = client.left + std::int32_t(std::lround((m_start + m_length) * width));
  if (right - left < 8)
    right = std::min(client.right, left + 8);
  return MRect{left, client.top, right, client.bottom};
}

MSize MZoomer::GetPreferredSize() const
{
  return MSize{200, 16};
}

bool MZoomer::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const MRect window = GetWindowRect();
  if (std::abs(position.x - window.left) <= 4)
    m_drag = Drag::Start;
  else if (std::abs(position.x - window.right) <= 4)
    m_drag = Drag::End;
  else if (window.Contains(position))
    m_drag = Drag::Move;
  else
  {
    // Beside the window: centre it there.
    const MRect client = GetClientRect();
    if (client.Width() > 0)
      ChangeRange(double(position.x - client.left) / client.Width() - m_length / 2, m_length);
    m_drag = Drag::Move;
  }
  m_lastX = position.x;
  m_dragStart = m_start;
  m_dragEnd = m_start + m_length;
  SetCapture();
  SetClicked(true);
  return true;
}

bool MZoomer::OnMouseMove(MPoint position, std::uint32_t)
{
  if (m_drag == Drag::None)
    return false;
  const std::int32_t width = std::max(1, GetClientRect().Width());
  const double delta = double(position.x - m_lastX) / width;
  switch (m_drag)
  {
  case Drag::Move:
    ChangeRange(m_dragStart + delta, m_length);
    break;
  case Drag::Start:
  {
    const double start = std::clamp(m_dragStart + delta, 0.0, m_dragEnd - kMinLength);
    ChangeRange(start, m_dragEnd - start);
    break;
  }
  case Drag::End:
  {
    const double end = std::clamp(m_dragEnd + delta, m_dragStart + kMinLength, 1.0);
    ChangeRange(m_dragStart, end - m_dragStart);
    break;
  }
  case Drag::None:
    break;
  }
  return true;
}

bool MZoomer::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || m_drag == Drag::None)
    return false;
  m_drag = Drag::None;
  ReleaseCapture();
  SetClicked(false);
  return true;
}

bool MZoomer::OnMouseDoubleClick(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  ChangeRange(0.0, 1.0);
  return true;
}

void MZoomer::OnCaptureLost()
{
  m_drag = Drag::None;
  SetClicked(false);
}

bool MZoomer::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  Zoom(delta > 0 ? 0.8 : 1.25);
  return true;
}

void MZoomer::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  paint.value = m_start;
  paint.value2 = m_length;
  style->PaintControl(drawer, paint);
  // Grips at both ends of the window.
  const MRect window = GetWindowRect().Inset(0, 4);
  if (window.Height() < 2 || window.Width() < 10)
    return;
  const MColor grip =
      MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled).WithAlpha(150);
  drawer.FillRectangle(MRect{window.left + 4, window.top, window.left + 5, window.bottom}, grip);
  drawer.FillRectangle(MRect{window.right - 5, window.top, window.right - 4, window.bottom}, grip);
}
