#include "gui/controls/MKnob.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;
} // namespace

MKnob::MKnob() : m_gesture(*this, MValueGesture::Axis::Vertical, 200)
{
  SetControlType(MControlType::Knob);
  SetFlag(FlagTabStop, true);
}

void MKnob::SetBipolar(bool bipolar)
{
  m_bipolar = bipolar;
  Invalidate();
}

void MKnob::SetShowValue(bool show)
{
  m_showValue = show;
  Invalidate();
}

MRect MKnob::GetKnobRect() const
{
  MRect rect = GetClientRect();
  const std::int32_t small = MControlUtility::LineHeight(*this, MStdFont::Small);
  if (!GetCaption().IsEmpty() && GetCaptionType() == MCaptionType::None)
    rect.top = std::min(rect.bottom, rect.top + small + 2);
  if (m_showValue)
    rect.bottom = std::max(rect.top, rect.bottom - small - 2);
  return rect;
}

MSize MKnob::GetPreferredSize() const
{
  const std::int32_t knob = MControlUtility::Metric(*this, MStyle::MetricKnobSize, 44);
  const std::int32_t small = MControlUtility::LineHeight(*this, MStdFont::Small);
  std::int32_t height = knob;
  if (!GetCaption().IsEmpty())
    height += small + 2;
  if (m_showValue)
    height += small + 2;
  return MSize{std::max(knob + 16, MControlUtility::MeasureText(*this, GetCaption(), MStdFont::Small).x + 4),
               height};
}

double MKnob::NormalisedAt(MPoint position) const
{
  const MRect knob = GetKnobRect();
  const double dx = position.x - (knob.left + knob.right) / 2.0;
  const double dy = position.y - (knob.top + knob.bottom) / 2.0;
  if (std::abs(dx) < 1.0 && std::abs(dy) < 1.0)
    return GetNormalised();
  // Degrees clockwise from 12 o'clock; the arc runs from -135 to +135.
  const double degrees = std::atan2(dx, -dy) * 180.0 / kPi;
  return std::clamp((degrees + 135.0) / 270.0, 0.0, 1.0);
}

bool MKnob::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseDown(button, position, modifiers);
}

bool MKnob::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseMove(position, modifiers);
}

bool MKnob::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.MouseUp(button, position, modifiers);
}

bool MKnob::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return m_gesture.DoubleClick(button, position, modifiers);
}

bool MKnob::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t modifiers)
{
  return m_gesture.Wheel(delta, modifiers);
}

bool MKnob::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  return m_gesture.KeyDown(key, modifiers);
}

bool MKnob::OnCharacter(std::int32_t character, std::uint32_t modifiers)
{
  return m_gesture.Character(character, modifiers);
}

void MKnob::OnCaptureLost()
{
  m_gesture.CaptureLost();
}

void MKnob::FillPaint(MControlPaint& paint) const
{
  MControlValue::FillPaint(paint);
  if (m_bipolar && paint.value >= 0)
    paint.value2 = 0.5;
}

void MKnob::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MString valueText = paint.text;
  const MRect client = GetClientRect();
  const MRect knob = GetKnobRect();
  // The caption bar (when the control has a caption type) and the knob itself.
  paint.text = MString();
  MControlPaint body = paint;
  body.rect = knob;
  body.captionType = MCaptionType::None;
  if (paint.captionType != MCaptionType::None)
  {
    MControlPaint frame = paint;
    frame.type = MControlType::NoBackground;
    style->PaintControl(drawer, frame);
  }
  style->PaintControl(drawer, body);

  MControlPaint label = paint;
  label.type = MControlType::Static;
  label.font = MStdFont::Small;
  label.textAlignment = MAlign::Center;
  label.clicked = false;
  const std::int32_t small = MControlUtility::LineHeight(*this, MStdFont::Small);
  if (!GetCaption().IsEmpty() && paint.captionType == MCaptionType::None)
  {
    label.text = GetCaption();
    style->PaintContent(
        drawer, MRect{client.left, client.top, client.right, std::min(client.bottom, client.top + small + 2)},
        label);
  }
  if (m_showValue && !valueText.IsEmpty())
  {
    label.text = valueText;
    style->PaintContent(
        drawer, MRect{client.left, std::max(client.top, knob.bottom), client.right, client.bottom}, label);
  }
}

void MKnob::LoadAttributes(const MXmlItem& item)
{
  MControlValue::LoadAttributes(item);
  if (item.HasAttribute("bipolar"))
    m_bipolar = item.GetAttribute().ToInteger() != 0;
  if (item.HasAttribute("showvalue"))
    m_showValue = item.GetAttribute().ToInteger() != 0;
}

void MKnob::SaveAttributes(MXmlItem& item) const
{
  MControlValue::SaveAttributes(item);
  item.SetAttribute("bipolar", m_bipolar ? MString("1") : MString("0"));
  item.SetAttribute("showvalue", m_showValue ? MString("1") : MString("0"));
}

// --- MRotator ---------------------------------------------------------------------------------------

MRotator::MRotator()
{
  SetControlType(MControlType::Rotator);
}

double MRotator::TurnsAt(MPoint position) const
{
  const MRect knob = GetKnobRect();
  const double dx = position.x - (knob.left + knob.right) / 2.0;
  const double dy = position.y - (knob.top + knob.bottom) / 2.0;
  double turns = std::atan2(dx, -dy) / (2 * kPi);
  if (turns < 0)
    turns += 1.0;
  return turns;
}

bool MRotator::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  const bool tablet = GetWindow() != nullptr && GetWindow()->IsTabletMode();
  if (button != MMouseButton::Left || GetValue() == nullptr || tablet ||
      (modifiers & (MSystemEvent::ModDoubleClick | MSystemEvent::ModControl)) != 0)
    return MKnob::OnMouseDown(button, position, modifiers);
  m_turning = true;
  m_lastTurns = TurnsAt(position);
  m_position = GetNormalised();
  SetCapture();
  SetClicked(true);
  BeginGesture();
  return true;
}

bool MRotator::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_turning)
    return MKnob::OnMouseMove(position, modifiers);
  const double turns = TurnsAt(position);
  double delta = turns - m_lastTurns;
  // Crossing 12 o'clock: take the short way round.
  if (delta > 0.5)
    delta -= 1.0;
  if (delta < -0.5)
    delta += 1.0;
  m_lastTurns = turns;
  if ((modifiers & MSystemEvent::ModShift) != 0)
    delta /= 10.0;
  m_position = std::clamp(m_position + delta, 0.0, 1.0);
  SetNormalised(m_position);
  return true;
}

bool MRotator::OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (!m_turning || button != MMouseButton::Left)
    return MKnob::OnMouseUp(button, position, modifiers);
  m_turning = false;
  ReleaseCapture();
  SetClicked(false);
  EndGesture();
  return true;
}

void MRotator::OnCaptureLost()
{
  m_turning = false;
  MKnob::OnCaptureLost();
}
