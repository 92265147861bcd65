#include "gui/controls/MValueButton.h"

#include "gui/MDrawer.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

MValueButton::MValueButton() : m_gesture(*this, MValueGesture::Axis::Both, 150)
{
  SetControlType(MControlType::Button);
  SetFlag(FlagTabStop, true);
}

MSize MValueButton::GetPreferredSize() const
{
  const MSize text = MControlUtility::MeasureText(*this, GetText(), GetFont());
  return MSize{std::max(64, text.x + 20), MControlUtility::Metric(*this, MStyle::MetricButtonHeight, 24)};
}

bool MValueButton::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseDown(button, position, modifiers);
}

bool MValueButton::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseMove(position, modifiers);
}

bool MValueButton::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseUp(button, position, modifiers);
}

bool MValueButton::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.DoubleClick(button, position, modifiers);
}

bool MValueButton::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t modifiers)
{
  return m_gesture.Wheel(delta, modifiers);
}

bool MValueButton::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  return m_gesture.KeyDown(key, modifiers);
}

bool MValueButton::OnCharacter(std::int32_t character, std::uint32_t modifiers)
{
  return m_gesture.Character(character, modifiers);
}

void MValueButton::OnCaptureLost()
{
  m_gesture.CaptureLost();
}

void MValueButton::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const double value = paint.value;
  paint.value = -1.0; // a button has no indicator of its own
  MControlUtility::PaintStyled(drawer, *style, paint, GetClientRect());
  if (value < 0)
    return;
  const MRect rect = GetRect().Inset(4, 0);
  if (rect.Width() < 4 || GetRect().Height() < 8)
    return;
  const std::int32_t y = GetRect().bottom - 4;
  const MRect track{rect.left, y, rect.right, y + 2};
  drawer.FillRectangle(track, MColor{0, 0, 0, 70});
  MRect fill = track;
  fill.right = fill.left + std::int32_t(std::lround(std::clamp(value, 0.0, 1.0) * track.Width()));
  drawer.FillRectangle(fill,
                       MControlUtility::Disabled(style->GetColor(MStdColor::Highlight), paint.disabled));
}
