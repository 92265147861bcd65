#pragma once
// Translation of X11 input into the toolkit's terms: modifier masks into MSystemEvent modifier
// bits, key symbols into MVirtualKey codes and typed characters, pointer buttons into event codes
// (wheel from buttons 4/5, double clicks by time and distance), MStdCursor into cursor-font shapes.
//
// Plain functions over the numeric values of the X protocol (state masks, keysyms, button
// numbers), so this header needs no X header and the tables can be checked without a display.
// Called by MWindowSystemX11 on the GUI thread; nothing here allocates or throws.

#include "gui/MGuiTypes.h"
#include "gui/MWindowSystem.h"

#include <cstdint>

namespace MX11Input
{
/// MSystemEvent modifier bits for an X key/button state mask (Button1..3, Control, Mod1 = Alt,
/// Shift). The state of an X button event is the state *before* the event; the pointer event
/// translation below adds the pressed button and removes the released one, as a click reports.
std::uint32_t ModifiersFromState(unsigned int state);

/// MVirtualKey code for a key symbol (the unshifted symbol of the key: 'a' and 'A' both give
/// 0x41), or 0 when the key has no code (dead keys, most media keys).
std::int32_t VirtualKeyFromKeysym(unsigned long keysym);

/// The X key symbol of an MVirtualKey code, for key-state queries; 0 when there is none. For
/// Shift, Control and Menu it answers the left key; `alternative` receives the right one (or 0).
unsigned long KeysymFromVirtualKey(std::int32_t key, unsigned long* alternative);

/// The Unicode code point a key press types, from the text XLookupString produced (Latin-1,
/// `length` bytes) and its key symbol; 0 when it types nothing (cursor keys, Delete, modifiers).
std::uint32_t CharacterFromKey(const char* text, int length, unsigned long keysym);

/// Cursor-font shape (XC_ numbers of X11/cursorfont.h) for a standard cursor; -1 for Hollow, which
/// the window system draws as an empty cursor.
int CursorFontShape(MStdCursor cursor);

/// What an X pointer button does.
struct ButtonAction
{
  bool valid = false;          ///< false: the button is ignored (horizontal wheel, extra buttons)
  bool wheel = false;          ///< wheel notch: one MouseWheel event on press, nothing on release
  std::int32_t wheelDelta = 0; ///< +120 away from the user (button 4), -120 towards (button 5)
  MSystemEvent::Code down = MSystemEvent::LeftDown;
  MSystemEvent::Code up = MSystemEvent::LeftUp;
  MSystemEvent::Code doubleClick = MSystemEvent::LeftDoubleClick;
  std::uint32_t modifierBit = 0; ///< the button's own modifier bit
};
ButtonAction ActionForButton(unsigned int button);

/// Double-click detection: a press of the same button on the same window within kDoubleClickMs
/// (X server time) and kDoubleClickDistance pixels (each axis) of the previous press is a double
/// click. The press after a double click starts a new sequence, so a triple click is a double
/// click followed by a single one.
class ClickTracker
{
public:
  static constexpr std::uint32_t kDoubleClickMs = 400;
  static constexpr std::int32_t kDoubleClickDistance = 4;

  /// Records a press; true when it completes a double click.
  bool Press(unsigned long window, unsigned int button, std::uint32_t timeMs, MPoint position);
  /// Forgets the previous press (after a window closes). Focus changes do not: a click in a
  /// host's embedded window may move the focus by itself.
  void Reset() { m_window = 0; }

private:
  unsigned long m_window = 0;
  unsigned int m_button = 0;
  std::uint32_t m_timeMs = 0;
  MPoint m_position;
};
} // namespace MX11Input
