#pragma once
// MPiano: a keyboard of `count` keys from MIDI note `first` in which every key is a switch: a note
// is enabled (allowed, drawn bright with an accent bar) or disabled (greyed). Clicking a key
// toggles its note and fires the note event with the note number, then the changed event.
// Left/Right move a keyboard cursor over the keys, Space toggles the key under it. One note can
// be marked as active (the pitch being heard), drawn with an accent dot. A right click on a key (or
// the context-menu key on the cursor's key) opens the window's control menu for that note; a key
// the menu waits for is framed in the accent colour, and Escape ends the wait.
//
// Threads: GUI thread.

#include "base/MCallback.h"
#include "base/MEventParams.h"
#include "gui/MControl.h"

#include <bitset>
#include <cstdint>

class MPiano : public MControl
{
public:
  using NoteEvent = MCallback<MOnItemParams<std::int32_t>>;

  MPiano();
  ~MPiano() override = default;

  /// Shows `count` keys (1..128) from note `first` (0..127); notes past 127 are cut off.
  void SetRange(std::int32_t first, std::int32_t count);
  std::int32_t GetFirstNote() const { return m_first; }
  std::int32_t GetNoteCount() const { return m_count; }

  bool IsNoteEnabled(std::int32_t note) const;
  /// Sets a note's state without firing events (notes outside 0..127 are ignored).
  void SetNoteEnabled(std::int32_t note, bool enabled);
  /// The user's toggle: flips the note, fires the note event and the changed event. False for a
  /// note outside the shown range.
  bool ToggleNote(std::int32_t note);
  /// The note marked as sounding; -1 for none.
  void SetActiveNote(std::int32_t note);
  std::int32_t GetActiveNote() const { return m_active; }
  NoteEvent& GetNoteEvent() { return m_noteEvent; }

  /// The note of the key under `position` (black keys win over the white keys below them); -1
  /// when none.
  std::int32_t NoteAt(MPoint position) const;
  /// Rectangle of the key of `note` (control coordinates); empty outside the range.
  MRect GetKeyRect(std::int32_t note) const;
  static bool IsBlackKey(std::int32_t note);
  /// Key geometry shared with MKeyboardControl: the rectangle of `note` on a keyboard of `count`
  /// keys from `first` filling `client`; empty outside the range.
  static MRect ComputeKeyRect(const MRect& client, std::int32_t first, std::int32_t count, std::int32_t note);

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void Paint(MDrawer& drawer) override;
  /// Reads "firstnote", "notecount" and "notes" (128 characters '0'/'1') besides the control's.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

private:
  std::int32_t WhiteKeyCount() const;
  /// The window's control menu for `note` under `anchor`; false when there is none.
  bool OpenMenu(std::int32_t note, const MRect& anchor);
  void PaintKey(MDrawer& drawer, MStyle& style, std::int32_t note, bool disabledControl, bool focused);

  std::int32_t m_first = 48;
  std::int32_t m_count = 25;
  std::bitset<128> m_enabled;
  std::int32_t m_active = -1;
  std::int32_t m_hover = -1;
  std::int32_t m_pressed = -1;
  std::int32_t m_cursor = -1;
  NoteEvent m_noteEvent;
};
