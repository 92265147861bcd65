#include "gui/controls/MVector2DEditor.h"

#include "base/MValue.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

MVector2DEditor::MVector2DEditor()
{
  SetControlType(MControlType::Edit);
  SetFlag(FlagTabStop, true);
}

void MVector2DEditor::Bind(MValue* x, MValue* y)
{
  m_valueX = x;
  m_valueY = y;
  Invalidate();
}

double MVector2DEditor::GetX() const
{
  return m_valueX != nullptr ? m_valueX->GetNormalised() : m_x;
}

double MVector2DEditor::GetY() const
{
  return m_valueY != nullptr ? m_valueY->GetNormalised() : m_y;
}

void MVector2DEditor::SetPoint(double x, double y)
{
  x = std::isnan(x) ? 0.0 : std::clamp(x, 0.0, 1.0);
  y = std::isnan(y) ? 0.0 : std::clamp(y, 0.0, 1.0);
  m_x = x;
  m_y = y;
  if (m_valueX != nullptr)
    m_valueX->SetNormalised(x);
  if (m_valueY != nullptr)
    m_valueY->SetNormalised(y);
  Invalidate();
}

bool MVector2DEditor::MovePoint(double x, double y)
{
  const double oldX = GetX(), oldY = GetY();
  SetPoint(x, y);
  if (GetX() == oldX && GetY() == oldY)
    return false;
  NotifyChanged();
  return true;
}

void MVector2DEditor::SetDefaultPoint(double x, double y)
{
  m_defaultX = std::isnan(x) ? 0.5 : std::clamp(x, 0.0, 1.0);
  m_defaultY = std::isnan(y) ? 0.5 : std::clamp(y, 0.0, 1.0);
}

MRect MVector2DEditor::GetPadRect() const
{
  return GetClientRect().Inset(6, 6);
}

MPoint MVector2DEditor::ToPixels(double x, double y) const
{
  const MRect pad = GetPadRect();
  return MPoint{pad.left + std::int32_t(std::lround(x * std::max(0, pad.Width() - 1))),
                pad.bottom - 1 - std::int32_t(std::lround(y * std::max(0, pad.Height() - 1)))};
}

MSize MVector2DEditor::GetPreferredSize() const
{
  return MSize{140, 140};
}

bool MVector2DEditor::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0)
    return OnMouseDoubleClick(button, position, modifiers);
  const MRect pad = GetPadRect();
  if ((modifiers & MSystemEvent::ModShift) == 0 && pad.Width() > 1 && pad.Height() > 1)
    MovePoint(double(position.x - pad.left) / (pad.Width() - 1),
              double(pad.bottom - 1 - position.y) / (pad.Height() - 1));
  m_dragging = true;
  m_last = position;
  SetCapture();
  SetClicked(true);
  return true;
}

bool MVector2DEditor::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_dragging)
    return false;
  const MRect pad = GetPadRect();
  const double scale = (modifiers & MSystemEvent::ModShift) != 0 ? 0.1 : 1.0;
  const double dx = scale * (position.x - m_last.x) / std::max(1, pad.Width() - 1);
  const double dy = scale * (m_last.y - position.y) / std::max(1, pad.Height() - 1);
  m_last = position;
  MovePoint(GetX() + dx, GetY() + dy);
  return true;
}

bool MVector2DEditor::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  ReleaseCapture();
  SetClicked(false);
  return true;
}

bool MVector2DEditor::OnMouseDoubleClick(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  MovePoint(m_defaultX, m_defaultY);
  return true;
}

bool MVector2DEditor::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  const double step = (modifiers & MSystemEvent::ModShift) != 0 ? 0.002 : 0.02;
  switch (key)
  {
  case MVirtualKey::Left:
    MovePoint(GetX() - step, GetY());
    return true;
  case MVirtualKey::Right:
    MovePoint(GetX() + step, GetY());
    return true;
  case MVirtualKey::Up:
    MovePoint(GetX(), GetY() + step);
    return true;
  case MVirtualKey::Down:
    MovePoint(GetX(), GetY() - step);
    return true;
  default:
    return false;
  }
}

void MVector2DEditor::OnCaptureLost()
{
  m_dragging = false;
  SetClicked(false);
}

void MVector2DEditor::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect pad = GetPadRect();
  if (pad.Width() < 4 || pad.Height() < 4)
    return;
  const MRect saved = drawer.IntersectClip(GetClientRect());
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  const MColor accent = MControlUtility::Disabled(style->GetColor(MStdColor::Highlight), paint.disabled);
  for (int i = 1; i < 4; ++i)
  {
    const std::int32_t x = pad.left + pad.Width() * i / 4;
    const std::int32_t y = pad.top + pad.Height() * i / 4;
    const std::uint8_t alpha = i == 2 ? 45 : 20;
    drawer.FillRectangle(MRect{x, pad.top, x + 1, pad.bottom}, text.WithAlpha(alpha));
    drawer.FillRectangle(MRect{pad.left, y, pad.right, y + 1}, text.WithAlpha(alpha));
  }
  const MPoint p = ToPixels(GetX(), GetY());
  drawer.FillRectangle(MRect{p.x, pad.top, p.x + 1, pad.bottom}, accent.WithAlpha(110));
  drawer.FillRectangle(MRect{pad.left, p.y, pad.right, p.y + 1}, accent.WithAlpha(110));
  drawer.FillCircle(p.x + 0.5, p.y + 0.5, 9, accent.WithAlpha(paint.clicked ? 90 : 45));
  drawer.FillCircle(p.x + 0.5, p.y + 0.5, 5.5, MColor{0, 0, 0, 150});
  drawer.FillCircle(p.x + 0.5, p.y + 0.5, 4.5,
                    paint.highlighted || paint.clicked
                        ? MControlUtility::Mix(accent, MColor{255, 255, 255, 255}, 0.25)
                        : accent);
  drawer.RestoreClip(saved);
}
