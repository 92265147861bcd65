#include "gui/controls/MKeyboardControl.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MPiano.h"

#include <algorithm>

namespace
{
// Computer keys laid out like a piano: the home row plays the white keys, the row above the
// black ones.
constexpr char kKeys[] = "AWSEDFTGYHUJKOLP";
} // namespace

MKeyboardControl::MKeyboardControl()
{
  SetControlType(MControlType::NoBackground);
  SetFlag(FlagTabStop, true);
}

void MKeyboardControl::SetRange(std::int32_t first, std::int32_t count)
{
  AllNotesOff();
  m_first = std::clamp(first, 0, 127);
  m_count = std::clamp(count, 1, 128 - m_first);
  Invalidate();
}

void MKeyboardControl::NoteOn(std::int32_t note, std::int32_t velocity)
{
  if (note < 0 || note >= 128 || m_held.test(std::size_t(note)))
    return;
  m_held.set(std::size_t(note));
  MNoteParams params{this, note, std::clamp(velocity, 1, 127)};
  m_noteEvent.Call(params);
  Invalidate();
}

void MKeyboardControl::NoteOff(std::int32_t note)
{
  if (note < 0 || note >= 128 || !m_held.test(std::size_t(note)))
    return;
  m_held.reset(std::size_t(note));
  m_keyNotes.reset(std::size_t(note));
  MNoteParams params{this, note, 0};
  m_noteEvent.Call(params);
  Invalidate();
}

void MKeyboardControl::AllNotesOff()
{
  for (std::int32_t note = 0; note < 128; ++note)
    NoteOff(note);
  m_mouseNote = -1;
}

std::int32_t MKeyboardControl::NoteAt(MPoint position) const
{
  const MRect client = GetClientRect();
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (MPiano::IsBlackKey(note) && MPiano::ComputeKeyRect(client, m_first, m_count, note).Contains(position))
      return note;
  for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    if (!MPiano::IsBlackKey(note) &&
        MPiano::ComputeKeyRect(client, m_first, m_count, note).Contains(position))
      return note;
  return -1;
}

std::int32_t MKeyboardControl::VelocityAt(std::int32_t note, MPoint position) const
{
  const MRect key = MPiano::ComputeKeyRect(GetClientRect(), m_first, m_count, note);
  if (key.Height() <= 1)
    return 100;
  return std::clamp(30 + 97 * (position.y - key.top) / (key.Height() - 1), 1, 127);
}

std::int32_t MKeyboardControl::NoteForKey(std::int32_t key) const
{
  for (std::int32_t i = 0; kKeys[i] != 0; ++i)
    if (kKeys[i] == key)
      return m_octaveBase + i;
  return -1;
}

MSize MKeyboardControl::GetPreferredSize() const
{
  return MSize{15 * 18, 70};
}

bool MKeyboardControl::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t note = NoteAt(position);
  if (note < 0)
    return false;
  SetCapture();
  m_mouseNote = note;
  NoteOn(note, VelocityAt(note, position));
  return true;
}

bool MKeyboardControl::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  return OnMouseDown(button, position, modifiers);
}

bool MKeyboardControl::OnMouseMove(MPoint position, std::uint32_t)
{
  if (m_mouseNote < 0)
    return false;
  const std::int32_t note = NoteAt(position);
  if (note != m_mouseNote)
  {
    NoteOff(m_mouseNote);
    m_mouseNote = note;
    if (note >= 0)
      NoteOn(note, VelocityAt(note, position));
  }
  return true;
}

bool MKeyboardControl::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || m_mouseNote < 0)
  {
    if (button == MMouseButton::Left)
      ReleaseCapture();
    return false;
  }
  NoteOff(m_mouseNote);
  m_mouseNote = -1;
  ReleaseCapture();
  return true;
}

void MKeyboardControl::OnCaptureLost()
{
  if (m_mouseNote >= 0)
    NoteOff(m_mouseNote);
  m_mouseNote = -1;
}

bool MKeyboardControl::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if ((modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) != 0)
    return false;
  if (key == 'Z' || key == 'X')
  {
    AllNotesOff();
    m_octaveBase = std::clamp(m_octaveBase + (key == 'Z' ? -12 : 12), 0, 108);
    return true;
  }
  const std::int32_t note = NoteForKey(key);
  if (note < 0 || note >= 128)
    return false;
  // Auto-repeat sends more downs for a held key: the note keeps sounding.
  if (!m_held.test(std::size_t(note)))
  {
    NoteOn(note, 100);
    m_keyNotes.set(std::size_t(note));
  }
  return true;
}

bool MKeyboardControl::OnKeyUp(std::int32_t key, std::uint32_t)
{
  const std::int32_t note = NoteForKey(key);
  if (note < 0 || note >= 128 || !m_keyNotes.test(std::size_t(note)))
    return false;
  NoteOff(note);
  return true;
}

void MKeyboardControl::OnFocusOut()
{
  // Keys released while another control had the focus would leave notes hanging.
  for (std::int32_t note = 0; note < 128; ++note)
    if (m_keyNotes.test(std::size_t(note)))
      NoteOff(note);
  MControl::OnFocusOut();
}

void MKeyboardControl::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect client = GetClientRect();
  const MColor accent = style->GetColor(MStdColor::Highlight);
  for (int pass = 0; pass < 2; ++pass)
    for (std::int32_t note = m_first; note < m_first + m_count; ++note)
    {
      const bool black = MPiano::IsBlackKey(note);
      if (black != (pass == 1))
        continue;
      const MRect key = MPiano::ComputeKeyRect(client, m_first, m_count, note);
      const MRect face = black ? key : key.Inset(1, 0);
      if (face.IsEmpty())
        continue;
      const bool held = IsNoteHeld(note);
      MColor top = black ? MColor{0x33, 0x36, 0x3D, 0xFF} : MColor{0xF4, 0xF4, 0xF0, 0xFF};
      MColor bottom = black ? MColor{0x16, 0x17, 0x1A, 0xFF} : MColor{0xCF, 0xCF, 0xCA, 0xFF};
      if (held)
      {
        top = MControlUtility::Mix(top, accent, 0.55);
        bottom = MControlUtility::Mix(bottom, accent, 0.75);
      }
      drawer.FillRectangle(key, MControlUtility::Disabled(MColor{0x0E, 0x0F, 0x11, 0xFF}, paint.disabled));
      drawer.FillGradient(MRect{face.left, face.top, face.right, face.bottom - (held ? 0 : 2)},
                          MControlUtility::Disabled(top, paint.disabled),
                          MControlUtility::Disabled(bottom, paint.disabled));
      // Marks under the keys the computer keyboard plays.
      const std::int32_t offset = note - m_octaveBase;
      if (paint.focused && offset >= 0 && kKeys[0] != 0 && offset < std::int32_t(sizeof(kKeys) - 1) &&
          face.Width() >= 8)
        drawer.FillCircle((face.left + face.right) / 2.0, face.bottom - 7, 1.8,
                          accent.WithAlpha(black ? 220 : 180));
    }
}
