#include "gui/controls/MSwitcher.h"

#include "base/MValue.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

MSwitcher::MSwitcher() : m_gesture(*this, MValueGesture::Axis::Both)
{
  SetControlType(MControlType::Switcher);
  SetFlag(FlagTabStop, true);
  SetTextAlignment(MAlign::Left | MAlign::VCenter);
  m_gesture.SetDragEnabled(false);
}

bool MSwitcher::Advance()
{
  MValue* value = GetValue();
  if (value == nullptr)
    return false;
  const int steps = value->GetStepCount();
  if (steps >= 2)
  {
    const int current = int(value->GetNormalised() * (steps - 1) + 0.5);
    return SetStep(current + 1 >= steps ? 0 : current + 1);
  }
  // Continuous values switch between their ends.
  return SetNormalised(value->GetNormalised() >= 0.5 ? 0.0 : 1.0);
}

MRect MSwitcher::GetSwitchRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t width = std::min(client.Width(), 40);
  return MRect{client.left, client.top, client.left + width, client.bottom};
}

MSize MSwitcher::GetPreferredSize() const
{
  const MSize caption = MControlUtility::MeasureText(*this, GetCaption(), GetFont());
  return MSize{40 + (caption.x > 0 ? caption.x + 8 : 0), 24};
}

bool MSwitcher::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button == MMouseButton::Left &&
      (modifiers & (MSystemEvent::ModDoubleClick | MSystemEvent::ModControl)) == 0)
    return Advance() || GetValue() != nullptr;
  return m_gesture.MouseDown(button, position, modifiers);
}

bool MSwitcher::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  // Two quick clicks on a switch are two switches, not a reset.
  return OnMouseDown(button, position, modifiers & ~std::uint32_t(MSystemEvent::ModDoubleClick));
}

bool MSwitcher::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t modifiers)
{
  return m_gesture.Wheel(delta, modifiers);
}

bool MSwitcher::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Space)
  {
    Advance();
    return true;
  }
  return m_gesture.KeyDown(key, modifiers);
}

void MSwitcher::FillPaint(MControlPaint& paint) const
{
  MControlValue::FillPaint(paint);
  paint.check = paint.value >= 0.5 ? MCheckState::On : MCheckState::Off;
}

void MSwitcher::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  paint.text = MString();
  MControlPaint body = paint;
  body.rect = GetSwitchRect();
  body.captionType = MCaptionType::None;
  style->PaintControl(drawer, body);
  if (GetCaption().IsEmpty())
    return;
  MControlPaint label = paint;
  label.type = MControlType::Static;
  label.text = GetCaption();
  label.textAlignment = MAlign::Left | MAlign::VCenter;
  label.clicked = false;
  const MRect client = GetClientRect();
  style->PaintContent(
      drawer, MRect{std::min(client.right, body.rect.right + 8), client.top, client.right, client.bottom},
      label);
}
