#pragma once
// MControlMenu: the context menu of the controls that stand for a value the user may hand to
// something outside the toolkit (a plug-in parameter a MIDI controller can move).
//
// A window may carry one (MWindow::SetControlMenu); the value controls (through MValueGesture)
// and the piano ask it on a right click or the context-menu key. The menu decides what it offers
// for the control and `part` (a piano's note, -1 for the control as a whole); `enterValue`, when
// given, is the control's own typed entry, which the menu offers as one of its entries. A
// control whose window carries no menu, or whose menu offers nothing for it, opens its typed
// entry directly.
//
// While the menu waits for something it started for a control (IsWaiting), the control shows
// that it waits; Escape on the control ends the wait (Cancel).
//
// Threads: GUI thread. The window does not own the menu; whoever sets it clears it before the
// menu goes away.

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <functional>

class MControl;

class MControlMenu
{
public:
  virtual ~MControlMenu() = default;

  /// Opens the menu for `control` (and `part`) under `anchor` (control coordinates); false when
  /// it offers nothing for it (the caller then does what it does without a menu).
  virtual bool Open(MControl& control, std::int32_t part, const MRect& anchor,
                    std::function<void()> enterValue) = 0;
  /// Whether `control` (and `part`) waits for what the menu started.
  virtual bool IsWaiting(const MControl& control, std::int32_t part) const = 0;
  /// Ends a wait the menu started; false when nothing waited.
  virtual bool Cancel() = 0;
};
