#pragma once
// MEditBuffer: the text, caret and selection of an edit field, with the editing keys, kept apart
// from drawing so that MEdit, MComboEdit and MMultiLineEdit share one set of rules.
//
// Keys (MVirtualKey codes, modifier bits of MSystemEvent): Left/Right move by a character (with
// Control by a word), Home/End to the start/end of the line (with Control of the text), Up/Down
// move by a line in multi-line buffers, Shift extends the selection, Back/Delete erase the
// selection or one character (with Control a word), Control+A selects everything. Characters
// replace the selection. There is no clipboard.
//
// Threads: GUI thread (one owner). Editing allocates.

#include "base/MString.h"

#include <cstdint>

class MEditBuffer
{
public:
  explicit MEditBuffer(bool multiLine = false) : m_multiLine(multiLine) {}

  const MString& GetText() const noexcept { return m_text; }
  bool IsMultiLine() const noexcept { return m_multiLine; }
  /// Replaces the text (cut to the maximal length), caret at the end, nothing selected.
  void SetText(const MString& text);
  /// Longest text accepted (characters); 0 or less is no limit.
  void SetMaxLength(std::int32_t maxLength);

  std::int32_t GetCaret() const noexcept { return m_caret; }
  /// Selection as [start, end); empty when start == end.
  std::int32_t GetSelectionStart() const noexcept { return m_caret < m_anchor ? m_caret : m_anchor; }
  std::int32_t GetSelectionEnd() const noexcept { return m_caret < m_anchor ? m_anchor : m_caret; }
  bool HasSelection() const noexcept { return m_caret != m_anchor; }
  /// Moves the caret to `position` (clipped); `extend` keeps the anchor (selects).
  void SetCaret(std::int32_t position, bool extend = false);
  void SelectAll();

  /// Applies an editing key. Answers whether the key was one of the editing keys (consumed),
  /// whether or not it changed anything. Return, Escape and Tab are not editing keys here
  /// (multi-line buffers take Return as a line break).
  bool HandleKey(std::int32_t key, std::uint32_t modifiers);
  /// Types `codePoint`, replacing the selection. Control characters (below 0x20, except a line
  /// break in multi-line buffers) and characters beyond the maximal length are refused (false).
  bool InsertCharacter(std::int32_t codePoint);
  /// Inserts text (line breaks dropped in single-line buffers), replacing the selection.
  void InsertText(const MString& text);
  /// Erases the selection; answers whether there was one.
  bool DeleteSelection();

  /// Line and column of a text position (multi-line: lines split at '\n').
  void PositionToLine(std::int32_t position, std::int32_t& line, std::int32_t& column) const;
  /// Text position of a line and column (both clipped).
  std::int32_t LineToPosition(std::int32_t line, std::int32_t column) const;
  std::int32_t GetLineCount() const;
  /// Text of line `line` (without its break); empty beyond the last line.
  MString GetLine(std::int32_t line) const;

private:
  std::int32_t WordLeft(std::int32_t from) const;
  std::int32_t WordRight(std::int32_t from) const;
  std::int32_t LineStart(std::int32_t position) const;
  std::int32_t LineEnd(std::int32_t position) const;

  MString m_text;
  std::int32_t m_caret = 0;
  std::int32_t m_anchor = 0;
  std::int32_t m_maxLength = 0;
  bool m_multiLine;
};
