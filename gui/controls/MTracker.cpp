#include "gui/controls/MTracker.h"

#include "gui/MWindowSystem.h"

#include <algorithm>

namespace
{
constexpr std::int32_t kThumbLength = 10; // what the style's thumb takes of the track
} // namespace

MTracker::MTracker() : m_gesture(*this, MValueGesture::Axis::Horizontal, 200)
{
  SetControlType(MControlType::Tracker);
  SetFlag(FlagTabStop, true);
}

void MTracker::SetBipolar(bool bipolar)
{
  m_bipolar = bipolar;
  Invalidate();
}

bool MTracker::IsVertical() const
{
  const MRect client = GetClientRect();
  return client.Height() > client.Width();
}

std::int32_t MTracker::TrackLength() const
{
  const MRect client = GetClientRect();
  return std::max(1, (IsVertical() ? client.Height() : client.Width()) - kThumbLength - 2);
}

double MTracker::PositionToNormalised(MPoint position) const
{
  const MRect client = GetClientRect();
  const double along = IsVertical() ? double(client.bottom - 1 - kThumbLength / 2 - position.y)
                                    : double(position.x - client.left - 1 - kThumbLength / 2);
  return std::clamp(along / TrackLength(), 0.0, 1.0);
}

MSize MTracker::GetPreferredSize() const
{
  return MSize{140, 22};
}

bool MTracker::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  m_gesture.SetAxis(IsVertical() ? MValueGesture::Axis::Vertical : MValueGesture::Axis::Horizontal);
  m_gesture.SetPixelsPerRange(TrackLength());
  if (button == MMouseButton::Left && GetValue() != nullptr &&
      (modifiers & (MSystemEvent::ModDoubleClick | MSystemEvent::ModControl | MSystemEvent::ModShift)) == 0)
    SetNormalised(PositionToNormalised(position)); // jump, then drag from there
  return m_gesture.MouseDown(button, position, modifiers);
}

bool MTracker::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseMove(position, modifiers);
}

bool MTracker::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseUp(button, position, modifiers);
}

bool MTracker::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.DoubleClick(button, position, modifiers);
}

bool MTracker::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t modifiers)
{
  return m_gesture.Wheel(delta, modifiers);
}

bool MTracker::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  return m_gesture.KeyDown(key, modifiers);
}

bool MTracker::OnCharacter(std::int32_t character, std::uint32_t modifiers)
{
  return m_gesture.Character(character, modifiers);
}

void MTracker::OnCaptureLost()
{
  m_gesture.CaptureLost();
}

void MTracker::FillPaint(MControlPaint& paint) const
{
  MControlValue::FillPaint(paint);
  if (m_bipolar && paint.value >= 0)
    paint.value2 = 0.5;
}

void MTracker::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  paint.text = MString();
  style->PaintControl(drawer, paint);
}
