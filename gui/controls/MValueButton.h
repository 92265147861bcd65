#pragma once
// MValueButton: a compact field that shows the value's text and changes it by dragging (up or
// right increases, 150 px for the whole range, Shift finer), the wheel, keys, a double click
// (default) and typed entry (right click, Return or typing a digit), all as MValueGesture. A thin
// bar along its bottom edge shows the position in the range.
//
// Threads: GUI thread.

#include "gui/controls/MControlValue.h"
#include "gui/controls/MValueGesture.h"

#include <cstdint>

class MValueButton : public MControlValue
{
public:
  MValueButton();
  ~MValueButton() override = default;

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
  void Paint(MDrawer& drawer) override;

private:
  MValueGesture m_gesture;
};
