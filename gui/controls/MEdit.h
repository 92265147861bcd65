#pragma once
// Text entry.
//  - MEdit: one line of editable text with a caret and a selection (MEditBuffer has the keys).
//    A click places the caret, a drag selects, a double click selects everything. Return commits
//    (fires the changed event and the commit handler with true), Escape restores the text the
//    field had when it got the focus (commit handler with false); losing the focus with a
//    changed text commits. Read-only fields select but do not edit. From the focus (or a click)
//    until Return, Escape or the focus leaves, the field asks for the keyboard (WantsTextInput).
//  - MComboEdit: an edit field with a list of choices: a button at the right edge opens them in
//    a popup menu, Up/Down (or Alt+Down) step through them; a choice replaces the text and
//    commits.
//  - MMultiLineEdit: several lines; Return breaks the line, Control+Return commits, the wheel
//    and the caret scroll the lines.
//
// Threads: GUI thread.

#include "base/MStringList.h"
#include "gui/MControl.h"
#include "gui/controls/MEditBuffer.h"

#include <cstdint>
#include <functional>
#include <memory>

class MWindowMenu;

class MEdit : public MControl
{
public:
  /// Called after Return (true) or Escape (false), and when the focus leaves: true when the
  /// changed text was committed, false when nothing had changed.
  using CommitHandler = std::function<void(bool accepted)>;

  MEdit();
  explicit MEdit(const MString& text);
  ~MEdit() override;

  const MString& GetText() const { return m_buffer.GetText(); }
  /// Replaces the text (no changed event); the caret goes to the end.
  void SetText(const MString& text);
  void SetMaxLength(std::int32_t maxLength) { m_buffer.SetMaxLength(maxLength); }
  void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
  bool IsReadOnly() const { return m_readOnly; }
  MEditBuffer& GetBuffer() { return m_buffer; }
  const MEditBuffer& GetBuffer() const { return m_buffer; }
  void SetCommitHandler(CommitHandler handler) { m_commitHandler = std::move(handler); }

  /// Accepts the text: fires the changed event and the commit handler (true).
  void Commit();
  /// Restores the text of the last focus-in or commit and calls the commit handler (false).
  void Cancel();

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  /// From the focus or a click until Return, Escape or the focus leaves; never when read-only.
  bool WantsTextInput() const override { return m_editing && !m_readOnly; }
  /// The text beam.
  MStdCursor GetCursor(MPoint) const override { return MStdCursor::IBeam; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnCharacter(std::int32_t character, std::uint32_t modifiers) override;
  void OnFocusIn() override;
  void OnFocusOut() override;
  void Paint(MDrawer& drawer) override;
  /// Reads "text", "maxlength" and "readonly" besides the control's attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

protected:
  void OnSizeChanged() override;
  /// The rectangle the text occupies (the client rectangle, less a combo button).
  virtual MRect GetTextRect() const;
  /// The text position under `position` (control coordinates).
  virtual std::int32_t PositionAt(MPoint position) const;
  /// Keeps the caret inside the visible part (horizontal scroll).
  virtual void ScrollToCaret();
  /// Paints the lines, selection and caret inside the text rectangle.
  virtual void PaintText(MDrawer& drawer, const MControlPaint& paint);
  /// Pixel width of the first `count` characters of `text`.
  std::int32_t TextWidth(const MString& text, std::int32_t count) const;
  /// The text changed through the user (not committed yet).
  void TextEdited();

  MEditBuffer m_buffer;
  std::int32_t m_scrollX = 0;
  std::int32_t m_scrollLine = 0;

private:
  MString m_original;
  CommitHandler m_commitHandler;
  bool m_readOnly = false;
  bool m_selecting = false;
  bool m_dirty = false;
  bool m_editing = false;
};

class MComboEdit : public MEdit
{
public:
  MComboEdit();
  ~MComboEdit() override;

  void SetChoices(const MStringList& choices) { m_choices = choices; }
  const MStringList& GetChoices() const { return m_choices; }
  /// Takes choice `index` as the text and commits; false outside the list.
  bool Choose(std::int32_t index);
  /// Index of the current text among the choices; -1 when it is none of them.
  std::int32_t GetChoiceIndex() const;
  /// Opens the choices in a popup under the field (nothing without an open window).
  void OpenChoices();

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void Paint(MDrawer& drawer) override;

protected:
  MRect GetTextRect() const override;
  /// The drop-down button at the right edge.
  /// The arrow over the button, the text beam elsewhere.
  MStdCursor GetCursor(MPoint position) const override
  {
    return GetButtonRect().Contains(position) ? MStdCursor::Arrow : MStdCursor::IBeam;
  }
  MRect GetButtonRect() const;

private:
  MStringList m_choices;
  std::unique_ptr<MWindowMenu> m_popup;
};

class MMultiLineEdit : public MEdit
{
public:
  MMultiLineEdit();
  explicit MMultiLineEdit(const MString& text);
  ~MMultiLineEdit() override = default;

  MSize GetPreferredSize() const override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  /// First visible line.
  std::int32_t GetScrollLine() const { return m_scrollLine; }

protected:
  std::int32_t PositionAt(MPoint position) const override;
  void ScrollToCaret() override;
  void PaintText(MDrawer& drawer, const MControlPaint& paint) override;

private:
  std::int32_t VisibleLines() const;
};
