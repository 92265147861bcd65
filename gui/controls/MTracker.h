#pragma once
// MTracker: a slider. Horizontal when wider than high (minimum at the left), vertical otherwise
// (minimum at the bottom). Pressing on the track moves the thumb there and drags it with the
// mouse (Shift: ten times finer); wheel, keys, double click and typed entry as MValueGesture.
// A bipolar tracker fills from the middle.
//
// Threads: GUI thread.

#include "gui/controls/MControlValue.h"
#include "gui/controls/MValueGesture.h"

#include <cstdint>

class MTracker : public MControlValue
{
public:
  MTracker();
  ~MTracker() override = default;

  void SetBipolar(bool bipolar);
  bool IsVertical() const;
  /// The normalised position of `position` (control coordinates) along the track, 0..1.
  double PositionToNormalised(MPoint position) const;
  MValueGesture& GetGesture() { return m_gesture; }

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  MStdCursor GetCursor(MPoint) const override { return m_gesture.GetCursor(); }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  bool OnCharacter(std::int32_t character, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void FillPaint(MControlPaint& paint) const override;
  /// The slider; the value's text is left to a label beside it.
  void Paint(MDrawer& drawer) override;

private:
  /// Track length in pixels (the thumb travels this far).
  std::int32_t TrackLength() const;

  MValueGesture m_gesture;
  bool m_bipolar = false;
};
