#pragma once
// MKeyboardControl: a keyboard to play notes on (auditioning, test tones). Pressing a key with
// the mouse starts its note (velocity from how far down the key was struck), releasing ends it;
// sliding across keys plays them in turn. While focused, the computer keyboard plays one octave
// and a half from the octave base (A W S E D F T G Y H U J K O L P: C to E') and Z / X move the
// base an octave down / up. Every start and stop fires the note event (held notes are drawn in
// the accent colour).
//
// Threads: GUI thread.

#include "base/MCallback.h"
#include "base/MObject.h"
#include "gui/MControl.h"

#include <bitset>
#include <cstdint>

/// A note started (velocity 1..127) or stopped (velocity 0).
struct MNoteParams
{
  MObject* sender = nullptr;
  std::int32_t note = 0;
  std::int32_t velocity = 0;
};

class MKeyboardControl : public MControl
{
public:
  using NoteEvent = MCallback<MNoteParams>;

  MKeyboardControl();
  ~MKeyboardControl() override = default;

  /// Shows `count` keys from `first` (as MPiano::SetRange).
  void SetRange(std::int32_t first, std::int32_t count);
  std::int32_t GetOctaveBase() const { return m_octaveBase; }
  bool IsNoteHeld(std::int32_t note) const
  {
    return note >= 0 && note < 128 && m_held.test(std::size_t(note));
  }
  /// Starts / stops a note as the user would (events fire; nothing for a held / silent note).
  void NoteOn(std::int32_t note, std::int32_t velocity);
  void NoteOff(std::int32_t note);
  /// Stops every held note.
  void AllNotesOff();
  NoteEvent& GetNoteEvent() { return m_noteEvent; }

  std::int32_t NoteAt(MPoint position) const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnKeyUp(std::int32_t key, std::uint32_t modifiers) override;
  void OnFocusOut() override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  /// The note a computer key plays; -1 for other keys.
  std::int32_t NoteForKey(std::int32_t key) const;
  std::int32_t VelocityAt(std::int32_t note, MPoint position) const;

  std::int32_t m_first = 48;
  std::int32_t m_count = 25;
  std::int32_t m_octaveBase = 60;
  std::int32_t m_mouseNote = -1;
  std::bitset<128> m_held;
  std::bitset<128> m_keyNotes; // notes held by the computer keyboard
  NoteEvent m_noteEvent;
};
