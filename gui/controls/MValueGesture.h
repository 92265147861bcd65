#pragma once
// MValueGesture: how mouse, wheel and keys change the value of a value control. Knob, rotator,
// tracker, switcher and value button each own one and forward their input to it, so that every
// value control answers the same gestures:
//
//   drag (left button)    moves the normalised value by the distance dragged along the gesture's
//                         axis: up/right increases; the whole range takes `pixelsPerRange`
//                         pixels (Shift: ten times as many, for fine changes). The value follows
//                         the mouse relative to where the drag began (no jump on click).
//   tablet mode           (the window's MWindow::IsTabletMode) a press and the drag after it
//                         set the value the pointer points at (MControlValue::NormalisedAt,
//                         else the position along the axis over the client rectangle): a pen
//                         has no relative motion to speak of, and the pointer is never warped.
//   wheel                 Increment(±1 per notch); with Shift IncrementFine(±1 per notch)
//   double click          SetDefault (also Control+click)
//   Up/Right, Down/Left   Increment(±1); with Shift IncrementFine(±1)
//   PageUp/PageDown       Increment(±1, level 2) (four coarse steps)
//   Home/End              the minimum / the maximum
//   Return, or typing     typed entry: an edit field over the control (at least kMinEntryWidth
//   a digit               wide, drawn above the tree), prefilled with the value's text; Return
//                         applies it through SetValueText, Escape cancels, leaving the field
//                         applies it.
//   right click, the      the window's control menu (MControlMenu), which offers typed entry
//   context-menu key      among its entries; typed entry itself in a window without one
//   Escape                ends what the control menu waits for (MIDI learn)
//
// Every change goes through MControlValue's operations, which fire the changed event.
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>

class MControlValue;
class MEdit;

class MValueGesture
{
public:
  enum class Axis
  {
    Vertical,   ///< drag up increases
    Horizontal, ///< drag right increases
    Both,       ///< up or right increases (the larger movement counts)
  };

  /// Narrowest typed-entry field in pixels (wider than a small knob: it may reach beyond it).
  static constexpr std::int32_t kMinEntryWidth = 60;

  MValueGesture(MControlValue& control, Axis axis, std::int32_t pixelsPerRange = 200);

  void SetAxis(Axis axis) { m_axis = axis; }
  Axis GetAxis() const { return m_axis; }
  /// Pixels for the whole range (at least 1).
  void SetPixelsPerRange(std::int32_t pixels) { m_pixelsPerRange = pixels < 1 ? 1 : pixels; }
  std::int32_t GetPixelsPerRange() const { return m_pixelsPerRange; }
  /// When false, a plain click does not start a drag (the control handles clicks itself).
  void SetDragEnabled(bool enabled) { m_dragEnabled = enabled; }

  bool MouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers);
  bool MouseMove(MPoint position, std::uint32_t modifiers);
  bool MouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers);
  bool DoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers);
  bool Wheel(std::int32_t delta, std::uint32_t modifiers);
  bool KeyDown(std::int32_t key, std::uint32_t modifiers);
  bool Character(std::int32_t character, std::uint32_t modifiers);
  void CaptureLost();

  /// Whether a drag is running.
  bool IsDragging() const { return m_dragging; }
  /// The cursor over the control: the double arrow of the drag's axis as the control's style
  /// offers it (MStyle::GetDragCursor), the hand for controls that drag both ways or only take
  /// clicks, the arrow while the control has no value.
  MStdCursor GetCursor() const;
  /// Opens typed entry (an edit field child over the control), optionally starting with the
  /// typed character `first` instead of the value's text (0: the value's text, all selected).
  void OpenEntry(std::int32_t first = 0);
  /// The window's control menu under `anchor` (control coordinates); typed entry when the
  /// window has none or it offers nothing for the control.
  void OpenMenu(const MRect& anchor);
  /// Whether the entry field is showing.
  bool IsEntryOpen() const;
  /// The entry field (null until first opened).
  MEdit* GetEntry() const { return m_entry; }

private:
  void CloseEntry(bool accept);
  /// Tablet mode: the normalised value at `position` (control coordinates), 0..1.
  double AbsoluteAt(MPoint position) const;

  MControlValue& m_control;
  Axis m_axis;
  std::int32_t m_pixelsPerRange;
  bool m_dragEnabled = true;
  bool m_dragging = false;
  bool m_absolute = false; // the running drag follows the pointer's position (tablet mode)
  MPoint m_last;
  double m_position = 0; // normalised position the drag has reached (unclamped)
  std::int32_t m_wheelRest = 0;
  MEdit* m_entry = nullptr; // a child of the control, owned by it
  bool m_closing = false;
};
