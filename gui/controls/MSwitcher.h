#pragma once
// MSwitcher: a switch over the discrete positions of its value (on/off for two positions). A
// click moves to the next position, wrapping after the last; wheel and keys step without
// wrapping; double click restores the default. The caption is drawn at the right of the switch.
//
// Threads: GUI thread.

#include "gui/controls/MControlValue.h"
#include "gui/controls/MValueGesture.h"

#include <cstdint>

class MSwitcher : public MControlValue
{
public:
  MSwitcher();
  ~MSwitcher() override = default;

  /// Moves to the next position (wrapping), fires the changed event; false when unbound.
  bool Advance();
  /// The switch's own area (left part of the client rectangle).
  MRect GetSwitchRect() const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  MStdCursor GetCursor(MPoint) const override { return m_gesture.GetCursor(); }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseWheel(MPoint position, std::int32_t delta, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void FillPaint(MControlPaint& paint) const override;
  void Paint(MDrawer& drawer) override;

private:
  MValueGesture m_gesture;
};
