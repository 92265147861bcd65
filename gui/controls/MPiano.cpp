#include "gui/controls/MPiano.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlMenu.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>

MPiano::MPiano()
{
  SetControlType(MControlType::NoBackground);
  SetFlag(FlagTabStop, true);
  m_enabled.set();
}

bool MPiano::IsBlackKey(std::int32_t note)
{
  const std::int32_t pitchClass = ((note % 12) + 12) % 12;
  return pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 || pitchClass == 10;
}

void MPiano::SetRange(std::int32_t first, std::int32_t count)
{
  m_first = std::clamp(first, 0, 127);
  m_count = std::clamp(count, 1, 128 - m_first);
  m_cursor = -1;
  m_hover = -1;
  Invalidate();
}

bool MPiano::IsNoteEnabled(std::int32_t note) const
{
  return note >= 0 && note < 128 && m_enabled.test(std::size_t(note));
}

void MPiano::SetNoteEnabled(std::int32_t note, bool enabled)
{
  if (note < 0 || note >= 128)
    return;
  m_enabled.set(std::size_t(note), enabled);
  Invalidate();
}

bool MPiano::ToggleNote(std::int32_t note)
{
  if (note < m_first || note >= m_first + m_count)
    return false;
  SetNoteEnabled(note, !IsNoteEnabled(note));
  MOnItemParams<std::int32_t> params{this, note};
  m_noteEvent.Call(params);
  NotifyChanged();
  return true;
}

void MPiano::SetActiveNote(std::int32_t note)
{
  if (note == m_active)
    return;
  m_active = note;
  Invalidate();
}

namespace
{
std::int32_t CountWhites(std::int32_t first, std::int32_t last)
{
  std::int32_t count = 0;
  for (std::int32_t note = first; note <= last; ++note)
    count += MPiano::IsBlackKey(note) ? 0 : 1;
  return count;
}
} // namespace

std::int32_t MPiano::WhiteKeyCount() const
{
  return std::max(CountWhites(m_first, m_first + m_count - 1), 1);
}

MRect MPiano::GetKeyRect(std::int32_t note) const
{
  return ComputeKeyRect(GetClientRect(), m_first, m_count, note);
}

MRect MPiano::ComputeKeyRect(const MRect& client, std::int32_t first, std::int32_t count, std::int32_t note)
{
  if (note < first || note >= first + count || client.IsEmpty())
    return MRect{};
  const std::int32_t whites = std::max(CountWhites(first, first + count - 1), 1);
  const auto whiteLeft = [&](std::int32_t index) {
    return client.left + std::int32_t(std::int64_t(index) * client.Width() / whites);
  };
  // Index among the white keys of the white key at or left of `note`.
  const std::int32_t index = CountWhites(first, note) - 1;
  if (!IsBlackKey(note))
    return MRect{whiteLeft(index), client.top, whiteLeft(index + 1), client.bottom};
  // A black key straddles the border after the white key left of it.
  const std::int32_t border = whiteLeft(index + 1);
  const std::int32_t width = std::max(2, (whiteLeft(1) - whiteLeft(0)) * 3 / 5);
  const std::int32_t height = client.Height() * 62 / 100;
  return MRect{std::max(client.left, border - width / 2), client.top,
               std::min(client.right, border - width / 2 + width), client.top + height};
}

std::int32_t MPiano::NoteAt(MPoint position) const
{
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (IsBlackKey(note) && GetKeyRect(note).Contains(position))
      return note;
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (!IsBlackKey(note) && GetKeyRect(note).Contains(position))
      return note;
  return -1;
}

MSize MPiano::GetPreferredSize() const
{
  return MSize{WhiteKeyCount() * 18, 64};
}

bool MPiano::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button == MMouseButton::Right)
    return OpenMenu(NoteAt(position), MRect::FromSize(position.x, position.y, 1, 1));
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t note = NoteAt(position);
  if (note < 0)
    return false;
  m_pressed = note;
  m_cursor = note;
  SetCapture();
  ToggleNote(note);
  return true;
}

bool MPiano::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  // Each click of a quick pair toggles.
  return OnMouseDown(button, position, modifiers);
}

bool MPiano::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || m_pressed < 0)
    return false;
  m_pressed = -1;
  ReleaseCapture();
  Invalidate();
  return true;
}

bool MPiano::OnMouseMove(MPoint position, std::uint32_t)
{
  const std::int32_t note = NoteAt(position);
  if (note != m_hover)
  {
    m_hover = note;
    Invalidate();
  }
  return m_pressed >= 0;
}

void MPiano::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

bool MPiano::OnKeyDown(std::int32_t key, std::uint32_t)
{
  switch (key)
  {
  case MVirtualKey::Left:
  case MVirtualKey::Right:
    m_cursor = m_cursor < 0 ? m_first
                            : std::clamp(m_cursor + (key == MVirtualKey::Right ? 1 : -1), m_first,
                                         m_first + m_count - 1);
    Invalidate();
    return true;
  case MVirtualKey::Space:
  case MVirtualKey::Return:
    ToggleNote(m_cursor < 0 ? m_first : m_cursor);
    return true;
  case MVirtualKey::Menu:
  {
    const std::int32_t note = m_cursor < 0 ? m_first : m_cursor;
    return OpenMenu(note, GetKeyRect(note));
  }
  case MVirtualKey::Escape:
    if (MWindow* window = GetWindow(); window != nullptr && window->GetControlMenu() != nullptr)
      return window->GetControlMenu()->Cancel();
    return false;
  default:
    return false;
  }
}

bool MPiano::OpenMenu(std::int32_t note, const MRect& anchor)
{
  MWindow* window = GetWindow();
  if (note < 0 || window == nullptr || window->GetControlMenu() == nullptr)
    return false;
  m_cursor = note;
  return window->GetControlMenu()->Open(*this, note, anchor, {});
}

void MPiano::PaintKey(MDrawer& drawer, MStyle& style, std::int32_t note, bool disabledControl, bool focused)
{
  const MRect key = GetKeyRect(note);
  if (key.IsEmpty())
    return;
  const bool black = IsBlackKey(note);
  const bool on = IsNoteEnabled(note);
  const MColor accent = style.GetColor(MStdColor::Highlight);
  MColor top = black ? (on ? MColor{0x3A, 0x3E, 0x46, 0xFF} : MColor{0x1B, 0x1D, 0x21, 0xFF})
                     : (on ? MColor{0xF2, 0xF2, 0xEE, 0xFF} : MColor{0x8C, 0x90, 0x96, 0xFF});
  MColor bottom = black ? (on ? MColor{0x24, 0x27, 0x2D, 0xFF} : MColor{0x12, 0x13, 0x16, 0xFF})
                        : (on ? MColor{0xD8, 0xD8, 0xD2, 0xFF} : MColor{0x72, 0x76, 0x7C, 0xFF});
  if (note == m_pressed)
  {
    top = MControlUtility::Mix(top, accent, 0.35);
    bottom = MControlUtility::Mix(bottom, accent, 0.35);
  }
  else if (note == m_hover)
  {
    top = MControlUtility::Mix(top, MColor{255, 255, 255, 255}, 0.12);
    bottom = MControlUtility::Mix(bottom, MColor{255, 255, 255, 255}, 0.12);
  }
  const MRect body = black ? key : key.Inset(1, 0);
  if (body.IsEmpty())
    return;
  drawer.FillRectangle(key, MControlUtility::Disabled(MColor{0x0E, 0x0F, 0x11, 0xFF}, disabledControl));
  const MRect face{body.left, body.top, body.right, body.bottom - 1};
  drawer.FillGradient(face, MControlUtility::Disabled(top, disabledControl),
                      MControlUtility::Disabled(bottom, disabledControl));
  // Enabled notes carry an accent bar at the front edge of the key.
  const std::int32_t barHeight = std::max(2, std::min(5, key.Height() / 12));
  const MRect bar{face.left + (black ? 2 : 3), face.bottom - barHeight - (black ? 3 : 4),
                  face.right - (black ? 2 : 3), face.bottom - (black ? 3 : 4)};
  if (on && !bar.IsEmpty())
    drawer.FillRoundRectangle(bar, 1.5, MControlUtility::Disabled(accent, disabledControl));
  if (note == m_active)
  {
    const double r = std::max(2.0, std::min(5.0, face.Width() / 4.0));
    drawer.FillCircle((face.left + face.right) / 2.0, face.top + face.Height() * (black ? 0.35 : 0.55), r,
                      MControlUtility::Disabled(accent, disabledControl));
  }
  if (focused && note == m_cursor)
    drawer.FrameRoundRectangle(face, 2, 1.5, accent.WithAlpha(220));
  // A key waiting for MIDI learn: a thick accent frame with a darker core, bright or dim.
  if (const MWindow* window = GetWindow(); window != nullptr && window->GetControlMenu() != nullptr &&
                                           window->GetControlMenu()->IsWaiting(*this, note))
  {
    drawer.FrameRoundRectangle(face.Inset(1, 1), 2, 3, accent);
    drawer.FrameRoundRectangle(face.Inset(4, 4), 2, 1, MColor{0x10, 0x10, 0x10, 0xC0});
  }
  if (!black && note % 12 == 0 && face.Width() >= 11 && face.Height() >= 30)
  {
    // Octave names on the C keys: MIDI note 60 is C4.
    MControlPaint label;
    label.type = MControlType::Static;
    label.font = MStdFont::Small;
    label.text = MString("C");
    label.text += MString::FromInteger(note / 12 - 1);
    label.textAlignment = MAlign::Center | MAlign::Bottom;
    label.disabled = true; // the muted text colour reads well on both key colours
    const std::int32_t inset = barHeight + 6;
    style.PaintContent(drawer, MRect{face.left, face.top, face.right, face.bottom - inset}, label);
  }
}

void MPiano::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  // Keys decorate themselves near their edges: whatever the size, nothing leaves the control.
  const MRect saved = drawer.IntersectClip(GetRect());
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (!IsBlackKey(note))
      PaintKey(drawer, *style, note, paint.disabled, paint.focused);
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (IsBlackKey(note))
      PaintKey(drawer, *style, note, paint.disabled, paint.focused);
  if (paint.focused)
    drawer.FrameRoundRectangle(GetRect(), 2, 1, style->GetColor(MStdColor::Highlight).WithAlpha(150));
  drawer.RestoreClip(saved);
}

void MPiano::LoadAttributes(const MXmlItem& item)
{
  MControl::LoadAttributes(item);
  std::int64_t first = m_first, count = m_count;
  if (item.HasAttribute("firstnote"))
    first = item.GetAttribute().ToInteger();
  if (item.HasAttribute("notecount"))
    count = item.GetAttribute().ToInteger();
  SetRange(std::int32_t(std::clamp<std::int64_t>(first, 0, 127)),
           std::int32_t(std::clamp<std::int64_t>(count, 1, 128)));
  if (item.HasAttribute("notes"))
  {
    const MString notes = item.GetAttribute();
    for (std::int32_t i = 0; i < std::min<std::int32_t>(notes.Length(), 128); ++i)
      m_enabled.set(std::size_t(i), notes.At(i) == u'1');
  }
}

void MPiano::SaveAttributes(MXmlItem& item) const
{
  MControl::SaveAttributes(item);
  item.SetAttribute("firstnote", MString::FromInteger(m_first));
  item.SetAttribute("notecount", MString::FromInteger(m_count));
  MString notes;
  for (std::size_t i = 0; i < 128; ++i)
    notes += m_enabled.test(i) ? u'1' : u'0';
  item.SetAttribute("notes", notes);
}
