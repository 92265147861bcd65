#include "gui/controls/MEdit.h"

#include "base/MXmlItem.h"
#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MMenu.h"

#include <algorithm>

namespace
{
constexpr MColor kFallbackText{0xE6, 0xE8, 0xEB, 0xFF};
constexpr MColor kFallbackAccent{0xE0, 0x8A, 0x2E, 0xFF};
} // namespace

MEdit::MEdit()
{
  SetControlType(MControlType::Edit);
  SetFlag(FlagTabStop, true);
}

MEdit::MEdit(const MString& text) : MEdit()
{
  SetText(text);
}

MEdit::~MEdit() = default;

void MEdit::SetText(const MString& text)
{
  m_buffer.SetText(text);
  if (m_buffer.IsMultiLine())
    m_buffer.SetCaret(0); // a text to read starts at its top
  m_original = m_buffer.GetText();
  m_dirty = false;
  m_scrollX = 0;
  m_scrollLine = 0;
  ScrollToCaret();
  Invalidate();
}

void MEdit::Commit()
{
  m_original = m_buffer.GetText();
  m_dirty = false;
  NotifyChanged();
  if (m_commitHandler)
    m_commitHandler(true);
}

void MEdit::Cancel()
{
  m_buffer.SetText(m_original);
  m_dirty = false;
  ScrollToCaret();
  Invalidate();
  if (m_commitHandler)
    m_commitHandler(false);
}

void MEdit::TextEdited()
{
  m_dirty = m_buffer.GetText() != m_original;
  ScrollToCaret();
  Invalidate();
}

MSize MEdit::GetPreferredSize() const
{
  const std::int32_t line = MControlUtility::LineHeight(*this, GetFont());
  return MSize{120, std::max(MControlUtility::Metric(*this, MStyle::MetricButtonHeight, 24), line + 8)};
}

MRect MEdit::GetTextRect() const
{
  return GetClientRect();
}

std::int32_t MEdit::TextWidth(const MString& text, std::int32_t count) const
{
  if (count <= 0)
    return 0;
  return MControlUtility::MeasureText(*this, text.Substring(0, count), GetFont()).x;
}

std::int32_t MEdit::PositionAt(MPoint position) const
{
  const MRect rect = GetTextRect();
  const MString& text = m_buffer.GetText();
  const std::int32_t x = position.x - rect.left + m_scrollX;
  std::int32_t previous = 0;
  for (std::int32_t i = 1; i <= text.Length(); ++i)
  {
    const std::int32_t width = TextWidth(text, i);
    if (x < (previous + width) / 2)
      return i - 1;
    previous = width;
  }
  return text.Length();
}

void MEdit::ScrollToCaret()
{
  const MRect rect = GetTextRect();
  const std::int32_t width = std::max(0, rect.Width() - 2);
  const std::int32_t caretX = TextWidth(m_buffer.GetText(), m_buffer.GetCaret());
  if (caretX - m_scrollX > width)
    m_scrollX = caretX - width;
  if (caretX < m_scrollX)
    m_scrollX = caretX;
  const std::int32_t total = TextWidth(m_buffer.GetText(), m_buffer.GetText().Length());
  m_scrollX = std::clamp(m_scrollX, 0, std::max(0, total - width));
}

bool MEdit::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  SetFocus();
  m_editing = true; // again after Return or Escape ended the last edit
  m_buffer.SetCaret(PositionAt(position), (modifiers & MSystemEvent::ModShift) != 0);
  m_selecting = true;
  SetCapture();
  Invalidate();
  return true;
}

bool MEdit::OnMouseMove(MPoint position, std::uint32_t)
{
  if (!m_selecting)
    return false;
  m_buffer.SetCaret(PositionAt(position), true);
  ScrollToCaret();
  Invalidate();
  return true;
}

bool MEdit::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_selecting)
    return false;
  m_selecting = false;
  ReleaseCapture();
  return true;
}

bool MEdit::OnMouseDoubleClick(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  SetFocus();
  m_editing = true;
  m_buffer.SelectAll();
  Invalidate();
  return true;
}

bool MEdit::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Return)
  {
    m_editing = false; // first: the commit handler may destroy the field
    Commit();
    return true;
  }
  if (key == MVirtualKey::Escape)
  {
    m_editing = false;
    if (!m_dirty && !m_commitHandler)
      return false; // nothing to undo: let the window close on Escape
    Cancel();
    return true;
  }
  if (m_readOnly && (key == MVirtualKey::Back || key == MVirtualKey::Delete))
    return true;
  if (!m_buffer.HandleKey(key, modifiers))
    return false;
  TextEdited();
  return true;
}

bool MEdit::OnCharacter(std::int32_t character, std::uint32_t modifiers)
{
  if ((modifiers & (MSystemEvent::ModControl | MSystemEvent::ModAlt)) != 0 && character < 0x20)
    return false;
  if (m_readOnly || !m_buffer.InsertCharacter(character))
    return false;
  TextEdited();
  return true;
}

void MEdit::OnFocusIn()
{
  m_original = m_buffer.GetText();
  m_dirty = false;
  m_editing = true;
  ScrollToCaret();
  Invalidate();
}

void MEdit::OnSizeChanged()
{
  ScrollToCaret();
}

void MEdit::OnFocusOut()
{
  m_selecting = false;
  m_editing = false;
  if (m_dirty)
    Commit();
  else if (m_commitHandler)
    m_commitHandler(false);
  Invalidate();
}

void MEdit::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  PaintText(drawer, paint);
}

void MEdit::PaintText(MDrawer& drawer, const MControlPaint& paint)
{
  MStyle* style = GetStyle();
  const MRect rect = GetTextRect();
  if (rect.IsEmpty() || style == nullptr)
    return;
  const MRect saved = drawer.IntersectClip(rect);
  const MString& text = m_buffer.GetText();
  const MColor accent = MControlUtility::Color(*this, MStdColor::Highlight, kFallbackAccent);
  // Scrolling follows the caret while editing; a field at rest shows the start of its text.
  const std::int32_t scrollX = paint.focused ? m_scrollX : 0;
  if (paint.focused && m_buffer.HasSelection())
  {
    const std::int32_t x0 = rect.left - scrollX + TextWidth(text, m_buffer.GetSelectionStart());
    const std::int32_t x1 = rect.left - scrollX + TextWidth(text, m_buffer.GetSelectionEnd());
    const std::int32_t line = MControlUtility::LineHeight(*this, GetFont());
    const std::int32_t top = rect.top + (rect.Height() - line) / 2;
    drawer.FillRectangle(MRect{x0, top, x1, top + line}, accent.WithAlpha(110));
  }
  MControlPaint content = paint;
  content.text = text;
  content.textAlignment = MAlign::Left | MAlign::VCenter;
  const MRect textRect{rect.left - scrollX, rect.top,
                       std::max(rect.right, rect.left - scrollX + TextWidth(text, text.Length()) + 2),
                       rect.bottom};
  if (!text.IsEmpty())
    style->PaintContent(drawer, textRect, content);
  if (paint.focused && !paint.disabled && !m_readOnly)
  {
    const std::int32_t x = rect.left - scrollX + TextWidth(text, m_buffer.GetCaret());
    const std::int32_t line = MControlUtility::LineHeight(*this, GetFont());
    const std::int32_t top = rect.top + (rect.Height() - line) / 2;
    drawer.FillRectangle(MRect{x, top, x + 1, top + line},
                         MControlUtility::Color(*this, MStdColor::Text, kFallbackText));
  }
  drawer.RestoreClip(saved);
}

void MEdit::LoadAttributes(const MXmlItem& item)
{
  MControl::LoadAttributes(item);
  if (item.HasAttribute("maxlength"))
    SetMaxLength(std::int32_t(std::clamp<std::int64_t>(item.GetAttribute().ToInteger(), 0, 1 << 20)));
  if (item.HasAttribute("readonly"))
    m_readOnly = item.GetAttribute().ToInteger() != 0;
  if (item.HasAttribute("text"))
    SetText(item.GetAttribute());
}

void MEdit::SaveAttributes(MXmlItem& item) const
{
  MControl::SaveAttributes(item);
  item.SetAttribute("text", m_buffer.GetText());
  item.SetAttribute("readonly", m_readOnly ? MString("1") : MString("0"));
}

// --- MComboEdit -------------------------------------------------------------------------------------

MComboEdit::MComboEdit() = default;

MComboEdit::~MComboEdit() = default;

bool MComboEdit::Choose(std::int32_t index)
{
  if (index < 0 || index >= m_choices.Count())
    return false;
  m_buffer.SetText(m_choices.At(index));
  m_buffer.SelectAll();
  ScrollToCaret();
  Commit();
  Invalidate();
  return true;
}

std::int32_t MComboEdit::GetChoiceIndex() const
{
  for (std::int32_t i = 0; i < m_choices.Count(); ++i)
    if (m_choices.At(i) == GetText())
      return i;
  return -1;
}

MRect MComboEdit::GetButtonRect() const
{
  const MRect client = GetClientRect();
  const std::int32_t width = std::min(client.Width(), std::max(0, std::min(20, client.Height() + 4)));
  return MRect{client.right - width, client.top, client.right, client.bottom};
}

MRect MComboEdit::GetTextRect() const
{
  MRect rect = GetClientRect();
  rect.right = std::max(rect.left, GetButtonRect().left - 2);
  return rect;
}

void MComboEdit::OpenChoices()
{
  if (m_popup == nullptr)
    m_popup = std::make_unique<MWindowMenu>();
  MMenu& menu = m_popup->GetMenu();
  menu.Clear();
  for (std::int32_t i = 0; i < m_choices.Count(); ++i)
    menu.AddItem(MMenuItem(m_choices.At(i)));
  menu.SetSelection(GetChoiceIndex());
  m_popup->Popup(*this, GetRect(), [this](std::int32_t index) { Choose(index); });
}

bool MComboEdit::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button == MMouseButton::Left && GetButtonRect().Contains(position))
  {
    SetFocus();
    OpenChoices();
    return true;
  }
  return MEdit::OnMouseDown(button, position, modifiers);
}

bool MComboEdit::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Down && (modifiers & MSystemEvent::ModAlt) != 0)
  {
    OpenChoices();
    return true;
  }
  if ((key == MVirtualKey::Up || key == MVirtualKey::Down) && m_choices.Count() > 0)
  {
    const std::int32_t current = GetChoiceIndex();
    const std::int32_t next =
        current < 0 ? 0 : std::clamp(current + (key == MVirtualKey::Down ? 1 : -1), 0, m_choices.Count() - 1);
    Choose(next);
    return true;
  }
  return MEdit::OnKeyDown(key, modifiers);
}

void MComboEdit::Paint(MDrawer& drawer)
{
  MEdit::Paint(drawer);
  const MRect button = GetButtonRect();
  if (button.Width() < 8 || button.Height() < 6)
    return;
  const bool disabled = !IsEnabledInWindow();
  const MColor text =
      MControlUtility::Disabled(MControlUtility::Color(*this, MStdColor::Text, kFallbackText), disabled);
  drawer.FillRectangle(MRect{button.left, button.top + 3, button.left + 1, button.bottom - 3},
                       text.WithAlpha(50));
  const double cx = (button.left + button.right) / 2.0 + 1, cy = (button.top + button.bottom) / 2.0;
  const MDrawer::PointF arrow[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}};
  drawer.FillPolygon(arrow, text.WithAlpha(IsHighlighted() ? 255 : 200));
}

// --- MMultiLineEdit ---------------------------------------------------------------------------------

MMultiLineEdit::MMultiLineEdit()
{
  m_buffer = MEditBuffer(true);
  SetText(MString());
}

MMultiLineEdit::MMultiLineEdit(const MString& text) : MMultiLineEdit()
{
  SetText(text);
}

MSize MMultiLineEdit::GetPreferredSize() const
{
  return MSize{200, MControlUtility::LineHeight(*this, GetFont()) * 4 + 8};
}

std::int32_t MMultiLineEdit::VisibleLines() const
{
  return std::max(1, GetTextRect().Height() / MControlUtility::LineHeight(*this, GetFont()));
}

bool MMultiLineEdit::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  if (key == MVirtualKey::Return)
  {
    if ((modifiers & MSystemEvent::ModControl) != 0)
      return MEdit::OnKeyDown(key, modifiers); // commits and ends the edit
    if (IsReadOnly() || !m_buffer.InsertCharacter('\n'))
      return true;
    TextEdited();
    return true;
  }
  return MEdit::OnKeyDown(key, modifiers);
}

bool MMultiLineEdit::OnMouseWheel(MPoint, std::int32_t delta, std::uint32_t)
{
  const std::int32_t lines = m_buffer.GetLineCount();
  const std::int32_t step = MControlUtility::WheelLines(delta);
  m_scrollLine = std::clamp(m_scrollLine + step, 0, std::max(0, lines - VisibleLines()));
  Invalidate();
  return true;
}

std::int32_t MMultiLineEdit::PositionAt(MPoint position) const
{
  const MRect rect = GetTextRect();
  const std::int32_t lineHeight = MControlUtility::LineHeight(*this, GetFont());
  const std::int32_t line = std::max(0, m_scrollLine + (position.y - rect.top) / lineHeight);
  if (line >= m_buffer.GetLineCount())
    return m_buffer.GetText().Length();
  const MString text = m_buffer.GetLine(line);
  std::int32_t previous = 0;
  std::int32_t column = text.Length();
  for (std::int32_t i = 1; i <= text.Length(); ++i)
  {
    const std::int32_t width = TextWidth(text, i);
    if (position.x - rect.left < (previous + width) / 2)
    {
      column = i - 1;
      break;
    }
    previous = width;
  }
  return m_buffer.LineToPosition(line, column);
}

void MMultiLineEdit::ScrollToCaret()
{
  std::int32_t line = 0, column = 0;
  m_buffer.PositionToLine(m_buffer.GetCaret(), line, column);
  const std::int32_t visible = VisibleLines();
  if (line < m_scrollLine)
    m_scrollLine = line;
  if (line >= m_scrollLine + visible)
    m_scrollLine = line - visible + 1;
  m_scrollLine = std::clamp(m_scrollLine, 0, std::max(0, m_buffer.GetLineCount() - 1));
  m_scrollX = 0;
}

void MMultiLineEdit::PaintText(MDrawer& drawer, const MControlPaint& paint)
{
  MStyle* style = GetStyle();
  const MRect rect = GetTextRect();
  if (rect.IsEmpty() || style == nullptr)
    return;
  const MRect saved = drawer.IntersectClip(rect);
  const std::int32_t lineHeight = MControlUtility::LineHeight(*this, GetFont());
  const MColor accent = MControlUtility::Color(*this, MStdColor::Highlight, kFallbackAccent);
  const std::int32_t lines = m_buffer.GetLineCount();
  const std::int32_t selectionStart = m_buffer.GetSelectionStart();
  const std::int32_t selectionEnd = m_buffer.GetSelectionEnd();
  MControlPaint content = paint;
  content.textAlignment = MAlign::Left | MAlign::VCenter;
  for (std::int32_t line = m_scrollLine, top = rect.top; line < lines && top < rect.bottom;
       ++line, top += lineHeight)
  {
    const MString text = m_buffer.GetLine(line);
    const std::int32_t start = m_buffer.LineToPosition(line, 0);
    const MRect row{rect.left, top, rect.right, top + lineHeight};
    if (paint.focused && selectionEnd > start && selectionStart <= start + text.Length())
    {
      const std::int32_t a = std::max(selectionStart, start) - start;
      const std::int32_t b = std::min(selectionEnd, start + text.Length()) - start;
      const std::int32_t tail = selectionEnd > start + text.Length() ? 4 : 0; // the selected break
      drawer.FillRectangle(
          MRect{row.left + TextWidth(text, a), row.top, row.left + TextWidth(text, b) + tail, row.bottom},
          accent.WithAlpha(110));
    }
    if (!text.IsEmpty())
    {
      content.text = text;
      style->PaintContent(drawer,
                          MRect{row.left, row.top,
                                std::max(row.right, row.left + TextWidth(text, text.Length()) + 2),
                                row.bottom},
                          content);
    }
  }
  if (paint.focused && !paint.disabled && !IsReadOnly())
  {
    std::int32_t line = 0, column = 0;
    m_buffer.PositionToLine(m_buffer.GetCaret(), line, column);
    const std::int32_t x = rect.left + TextWidth(m_buffer.GetLine(line), column);
    const std::int32_t top = rect.top + (line - m_scrollLine) * lineHeight;
    drawer.FillRectangle(MRect{x, top, x + 1, top + lineHeight},
                         MControlUtility::Color(*this, MStdColor::Text, kFallbackText));
  }
  drawer.RestoreClip(saved);
}
