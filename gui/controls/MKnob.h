#pragma once
// Round value controls.
//  - MKnob: a knob with a value arc from -135° to +135°, its caption above and the value's text
//    below. Gestures of MValueGesture, dragging vertically (200 px for the whole range). A bipolar
//    knob draws its arc from the centre.
//  - MRotator: an endless knob; its marker turns a full circle over the range. Dragging turns it
//    with the mouse around its centre (Shift: a tenth as fast); wheel and keys as MValueGesture.
//
// Threads: GUI thread.

#include "gui/controls/MControlValue.h"
#include "gui/controls/MValueGesture.h"

#include <cstdint>

class MKnob : public MControlValue
{
public:
  MKnob();
  ~MKnob() override = default;

  /// Bipolar knobs draw their arc from the middle of the range.
  void SetBipolar(bool bipolar);
  bool IsBipolar() const { return m_bipolar; }
  /// Whether the value's text is shown below the knob (default yes).
  void SetShowValue(bool show);
  MValueGesture& GetGesture() { return m_gesture; }

  /// The knob's circle area (control coordinates): the client rectangle without the caption and
  /// value lines.
  MRect GetKnobRect() const;
  /// Tablet mode: the value on the arc at the angle of `position` around the knob's centre
  /// (below the arc's ends: the nearer end); the current value at the very centre.
  double NormalisedAt(MPoint position) const override;

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
  void Paint(MDrawer& drawer) override;
  /// Reads "bipolar" and "showvalue" besides the content attributes.
  void LoadAttributes(const MXmlItem& item) override;
  void SaveAttributes(MXmlItem& item) const override;

protected:
  MValueGesture m_gesture;

private:
  bool m_bipolar = false;
  bool m_showValue = true;
};

class MRotator : public MKnob
{
public:
  MRotator();
  ~MRotator() override = default;

  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  /// Tablet mode: the position of the angle around the centre (12 o'clock is the minimum).
  double NormalisedAt(MPoint position) const override { return TurnsAt(position); }
  /// The hand: the rotator turns with the mouse around its centre.
  MStdCursor GetCursor(MPoint) const override
  {
    return GetValue() != nullptr ? MStdCursor::Link : MStdCursor::Arrow;
  }

private:
  /// Angle of `position` around the knob's centre, in turns (0 = 12 o'clock, clockwise).
  double TurnsAt(MPoint position) const;

  bool m_turning = false;
  double m_lastTurns = 0;
  double m_position = 0;
};
