#include "gui/controls/MValueGesture.h"

#include "base/MValue.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlMenu.h"
#include "gui/controls/MControlValue.h"
#include "gui/controls/MEdit.h"

#include <algorithm>
#include <cstdlib>

MValueGesture::MValueGesture(MControlValue& control, Axis axis, std::int32_t pixelsPerRange)
    : m_control(control), m_axis(axis), m_pixelsPerRange(std::max(1, pixelsPerRange))
{}

bool MValueGesture::MouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (m_control.GetValue() == nullptr)
    return false;
  if (button == MMouseButton::Right)
  {
    OpenMenu(MRect::FromSize(position.x, position.y, 1, 1));
    return true;
  }
  if (button != MMouseButton::Left)
    return false;
  if ((modifiers & (MSystemEvent::ModDoubleClick | MSystemEvent::ModControl)) != 0)
  {
    m_control.SetDefault();
    return true;
  }
  if (!m_dragEnabled)
    return false;
  m_dragging = true;
  m_last = position;
  m_position = m_control.GetNormalised();
  m_control.SetCapture();
  m_control.SetClicked(true);
  m_control.BeginGesture();
  const MWindow* window = m_control.GetWindow();
  m_absolute = window != nullptr && window->IsTabletMode();
  if (m_absolute)
    m_control.SetNormalised(AbsoluteAt(position));
  return true;
}

double MValueGesture::AbsoluteAt(MPoint position) const
{
  const double own = m_control.NormalisedAt(position);
  if (own >= 0.0)
    return std::min(own, 1.0);
  const MRect client = m_control.GetClientRect();
  const double across = (position.x - client.left) / static_cast<double>(std::max(1, client.Width() - 1));
  const double up = (client.bottom - 1 - position.y) / static_cast<double>(std::max(1, client.Height() - 1));
  bool horizontal = m_axis == Axis::Horizontal;
  if (m_axis == Axis::Both)
    horizontal = client.Width() >= client.Height();
  return std::clamp(horizontal ? across : up, 0.0, 1.0);
}

bool MValueGesture::MouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_dragging)
    return false;
  if (m_absolute)
  {
    m_control.SetNormalised(AbsoluteAt(position));
    return true;
  }
  const std::int32_t dx = position.x - m_last.x;
  const std::int32_t dy = m_last.y - position.y; // up is positive
  m_last = position;
  std::int32_t distance = 0;
  switch (m_axis)
  {
  case Axis::Vertical:
    distance = dy;
    break;
  case Axis::Horizontal:
    distance = dx;
    break;
  case Axis::Both:
    distance = std::abs(dx) > std::abs(dy) ? dx : dy;
    break;
  }
  const double scale = (modifiers & MSystemEvent::ModShift) != 0 ? 10.0 : 1.0;
  m_position = std::clamp(m_position + distance / (m_pixelsPerRange * scale), 0.0, 1.0);
  m_control.SetNormalised(m_position);
  return true;
}

bool MValueGesture::MouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  m_control.ReleaseCapture();
  m_control.SetClicked(false);
  m_control.EndGesture();
  return true;
}

bool MValueGesture::DoubleClick(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || m_control.GetValue() == nullptr)
    return false;
  m_control.SetDefault();
  return true;
}

void MValueGesture::CaptureLost()
{
  m_dragging = false;
  m_control.SetClicked(false);
  m_control.EndGesture();
}

bool MValueGesture::Wheel(std::int32_t delta, std::uint32_t modifiers)
{
  if (m_control.GetValue() == nullptr)
    return false;
  // Smooth-scrolling devices send fractions of a notch: keep the rest for the next event.
  m_wheelRest += delta;
  const std::int32_t notches = m_wheelRest / 120;
  m_wheelRest -= notches * 120;
  if (notches == 0)
    return true;
  if ((modifiers & MSystemEvent::ModShift) != 0)
    m_control.IncrementFine(notches);
  else
    m_control.Increment(notches);
  return true;
}

bool MValueGesture::KeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (m_control.GetValue() == nullptr)
    return false;
  const bool fine = (modifiers & MSystemEvent::ModShift) != 0;
  switch (key)
  {
  case MVirtualKey::Up:
  case MVirtualKey::Right:
    fine ? m_control.IncrementFine(1) : m_control.Increment(1);
    return true;
  case MVirtualKey::Down:
  case MVirtualKey::Left:
    fine ? m_control.IncrementFine(-1) : m_control.Increment(-1);
    return true;
  case MVirtualKey::PageUp:
    m_control.Increment(1, 2);
    return true;
  case MVirtualKey::PageDown:
    m_control.Increment(-1, 2);
    return true;
  case MVirtualKey::Home:
    m_control.SetNormalised(0.0);
    return true;
  case MVirtualKey::End:
    m_control.SetNormalised(1.0);
    return true;
  case MVirtualKey::Return:
    OpenEntry();
    return true;
  case MVirtualKey::Menu:
    OpenMenu(m_control.GetClientRect());
    return true;
  case MVirtualKey::Escape:
    if (MWindow* window = m_control.GetWindow(); window != nullptr && window->GetControlMenu() != nullptr)
      return window->GetControlMenu()->Cancel();
    return false;
  default:
    return false;
  }
}

bool MValueGesture::Character(std::int32_t character, std::uint32_t modifiers)
{
  if (m_control.GetValue() == nullptr || (modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) != 0)
    return false;
  if ((character >= '0' && character <= '9') || character == '-' || character == '+' || character == '.')
  {
    OpenEntry(character);
    return true;
  }
  return false;
}

MStdCursor MValueGesture::GetCursor() const
{
  if (m_control.GetValue() == nullptr)
    return MStdCursor::Arrow;
  if (!m_dragEnabled || m_axis == Axis::Both)
    return MStdCursor::Link;
  const MStdCursor wanted = m_axis == Axis::Vertical ? MStdCursor::ArrowUD : MStdCursor::ArrowLR;
  const MStyle* style = m_control.GetStyle();
  return style != nullptr ? style->GetDragCursor(wanted) : wanted;
}

bool MValueGesture::IsEntryOpen() const
{
  return m_entry != nullptr && m_entry->IsVisible();
}

void MValueGesture::OpenMenu(const MRect& anchor)
{
  MWindow* window = m_control.GetWindow();
  MControlMenu* menu = window != nullptr ? window->GetControlMenu() : nullptr;
  if (menu == nullptr || !menu->Open(m_control, -1, anchor, [this] { OpenEntry(); }))
    OpenEntry();
}

void MValueGesture::OpenEntry(std::int32_t first)
{
  if (m_control.GetValue() == nullptr)
    return;
  if (m_entry == nullptr)
  {
    auto entry = std::make_unique<MEdit>();
    entry->SetFlag(MControl::FlagTabStop, false);
    // It may be wider than its control: drawn and hit above the tree, wherever the control ends.
    entry->SetFlag(MControl::FlagOverlayControl, true);
    entry->SetCommitHandler([this](bool accepted) { CloseEntry(accepted); });
    m_entry = entry.get();
    m_control.AddChild(std::move(entry));
  }
  // Over the middle of the control, one text line high, at least kMinEntryWidth wide; moved
  // sideways to stay inside the window when the control sits at its edge.
  const MRect rect = m_control.GetRect();
  const std::int32_t height = std::min(rect.Height(), 24);
  const std::int32_t width = std::max(rect.Width(), kMinEntryWidth);
  std::int32_t left = (rect.Width() - width) / 2;
  if (const MWindow* window = m_control.GetWindow(); window != nullptr)
  {
    const std::int32_t windowLeft = m_control.GetWindowPosition().x;
    const std::int32_t room = window->GetSize().x;
    if (width <= room)
      left = std::clamp(windowLeft + left, 0, room - width) - windowLeft;
  }
  m_entry->SetBounds(MRect::FromSize(left, (rect.Height() - height) / 2, width, height));
  m_entry->SetText(m_control.GetValue()->GetText());
  if (first != 0)
  {
    m_entry->GetBuffer().SelectAll();
    m_entry->GetBuffer().InsertCharacter(first);
  }
  else
    m_entry->GetBuffer().SelectAll();
  m_entry->SetVisible(true);
  m_entry->SetFocus();
  m_entry->Invalidate();
}

void MValueGesture::CloseEntry(bool accept)
{
  if (m_entry == nullptr || !m_entry->IsVisible() || m_closing)
    return;
  m_closing = true;
  const MString text = m_entry->GetText();
  const bool hadFocus = m_entry->IsFocused();
  // Hiding drops the entry's focus; its focus-out calls back here, which m_closing ignores.
  m_entry->SetVisible(false);
  m_closing = false;
  if (accept)
    m_control.SetValueText(text);
  if (hadFocus)
    m_control.SetFocus();
  m_control.Invalidate();
}
