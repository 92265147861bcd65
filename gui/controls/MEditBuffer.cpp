#include "gui/controls/MEditBuffer.h"

#include "gui/MWindowSystem.h"

#include <algorithm>

namespace
{
bool IsWordCharacter(char16_t c)
{
  return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
         c >= 0x80;
}
} // namespace

void MEditBuffer::SetText(const MString& text)
{
  m_text = text;
  if (!m_multiLine)
  {
    for (std::int32_t i = m_text.Length() - 1; i >= 0; --i)
      if (m_text.At(i) == u'\n' || m_text.At(i) == u'\r')
        m_text.Remove(i, 1);
  }
  if (m_maxLength > 0 && m_text.Length() > m_maxLength)
    m_text = m_text.Substring(0, m_maxLength);
  m_caret = m_anchor = m_text.Length();
}

void MEditBuffer::SetMaxLength(std::int32_t maxLength)
{
  m_maxLength = maxLength;
  if (m_maxLength > 0 && m_text.Length() > m_maxLength)
    SetText(m_text);
}

void MEditBuffer::SetCaret(std::int32_t position, bool extend)
{
  m_caret = std::clamp(position, 0, m_text.Length());
  if (!extend)
    m_anchor = m_caret;
}

void MEditBuffer::SelectAll()
{
  m_anchor = 0;
  m_caret = m_text.Length();
}

std::int32_t MEditBuffer::WordLeft(std::int32_t from) const
{
  while (from > 0 && !IsWordCharacter(m_text.At(from - 1)))
    --from;
  while (from > 0 && IsWordCharacter(m_text.At(from - 1)))
    --from;
  return from;
}

std::int32_t MEditBuffer::WordRight(std::int32_t from) const
{
  const std::int32_t n = m_text.Length();
  while (from < n && IsWordCharacter(m_text.At(from)))
    ++from;
  while (from < n && !IsWordCharacter(m_text.At(from)))
    ++from;
  return from;
}

std::int32_t MEditBuffer::LineStart(std::int32_t position) const
{
  while (position > 0 && m_text.At(position - 1) != u'\n')
    --position;
  return position;
}

std::int32_t MEditBuffer::LineEnd(std::int32_t position) const
{
  while (position < m_text.Length() && m_text.At(position) != u'\n')
    ++position;
  return position;
}

void MEditBuffer::PositionToLine(std::int32_t position, std::int32_t& line, std::int32_t& column) const
{
  position = std::clamp(position, 0, m_text.Length());
  line = 0;
  std::int32_t start = 0;
  for (std::int32_t i = 0; i < position; ++i)
    if (m_text.At(i) == u'\n')
    {
      ++line;
      start = i + 1;
    }
  column = position - start;
}

std::int32_t MEditBuffer::LineToPosition(std::int32_t line, std::int32_t column) const
{
  std::int32_t position = 0;
  for (std::int32_t l = 0; l < line; ++l)
  {
    const std::int32_t end = LineEnd(position);
    if (end >= m_text.Length())
      return end;
    position = end + 1;
  }
  return std::min(position + std::max(column, 0), LineEnd(position));
}

std::int32_t MEditBuffer::GetLineCount() const
{
  std::int32_t count = 1;
  for (std::int32_t i = 0; i < m_text.Length(); ++i)
    count += m_text.At(i) == u'\n' ? 1 : 0;
  return count;
}

MString MEditBuffer::GetLine(std::int32_t line) const
{
  if (line < 0 || line >= GetLineCount())
    return MString();
  const std::int32_t start = LineToPosition(line, 0);
  return m_text.Substring(start, LineEnd(start) - start);
}

bool MEditBuffer::DeleteSelection()
{
  if (!HasSelection())
    return false;
  const std::int32_t start = GetSelectionStart();
  m_text.Remove(start, GetSelectionEnd() - start);
  m_caret = m_anchor = start;
  return true;
}

bool MEditBuffer::HandleKey(std::int32_t key, std::uint32_t modifiers)
{
  const bool shift = (modifiers & MSystemEvent::ModShift) != 0;
  const bool control = (modifiers & MSystemEvent::ModControl) != 0;
  switch (key)
  {
  case MVirtualKey::Left:
    if (HasSelection() && !shift)
      SetCaret(GetSelectionStart());
    else
      SetCaret(control ? WordLeft(m_caret) : m_caret - 1, shift);
    return true;
  case MVirtualKey::Right:
    if (HasSelection() && !shift)
      SetCaret(GetSelectionEnd());
    else
      SetCaret(control ? WordRight(m_caret) : m_caret + 1, shift);
    return true;
  case MVirtualKey::Home:
    SetCaret(control ? 0 : LineStart(m_caret), shift);
    return true;
  case MVirtualKey::End:
    SetCaret(control ? m_text.Length() : LineEnd(m_caret), shift);
    return true;
  case MVirtualKey::Up:
  case MVirtualKey::Down:
  {
    if (!m_multiLine)
      return false;
    std::int32_t line = 0, column = 0;
    PositionToLine(m_caret, line, column);
    line += key == MVirtualKey::Up ? -1 : 1;
    if (line < 0)
      SetCaret(0, shift);
    else if (line >= GetLineCount())
      SetCaret(m_text.Length(), shift);
    else
      SetCaret(LineToPosition(line, column), shift);
    return true;
  }
  case MVirtualKey::Back:
    if (!DeleteSelection() && m_caret > 0)
    {
      const std::int32_t from = control ? WordLeft(m_caret) : m_caret - 1;
      m_text.Remove(from, m_caret - from);
      m_caret = m_anchor = from;
    }
    return true;
  case MVirtualKey::Delete:
    if (!DeleteSelection() && m_caret < m_text.Length())
      m_text.Remove(m_caret, (control ? WordRight(m_caret) : m_caret + 1) - m_caret);
    return true;
  case 'A':
    if (!control)
      return false;
    SelectAll();
    return true;
  default:
    return false;
  }
}

bool MEditBuffer::InsertCharacter(std::int32_t codePoint)
{
  if (codePoint == '\r')
    codePoint = '\n';
  const bool lineBreak = codePoint == '\n';
  if ((codePoint < 0x20 && !(lineBreak && m_multiLine)) || codePoint == 0x7F || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return false;
  char16_t units[2];
  std::int32_t count = 1;
  if (codePoint >= 0x10000)
  {
    units[0] = char16_t(0xD800 + ((codePoint - 0x10000) >> 10));
    units[1] = char16_t(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    count = 2;
  }
  else
    units[0] = char16_t(codePoint);
  const std::int32_t selected = GetSelectionEnd() - GetSelectionStart();
  if (m_maxLength > 0 && m_text.Length() - selected + count > m_maxLength)
    return false;
  DeleteSelection();
  m_text.Insert(m_caret, MString(units, count));
  m_caret = m_anchor = m_caret + count;
  return true;
}

void MEditBuffer::InsertText(const MString& text)
{
  for (std::int32_t i = 0; i < text.Length(); ++i)
  {
    const char16_t c = text.At(i);
    if ((c == u'\n' || c == u'\r') && !m_multiLine)
      continue;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.Length())
    {
      const char16_t low = text.At(i + 1);
      InsertCharacter(0x10000 + ((std::int32_t(c) - 0xD800) << 10) + (std::int32_t(low) - 0xDC00));
      ++i;
      continue;
    }
    InsertCharacter(c);
  }
}
