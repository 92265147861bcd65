#pragma once
// MVector2DEditor: an XY pad for two values. The point (x, y), each 0..1 (y up), is dragged with
// the mouse (Shift: ten times finer), nudged with the arrow keys, and reset to its default by a
// double click. The pad can be bound to two MValue scales: then it shows and changes them
// through SetNormalised. Each user change fires the changed event.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>

class MValue;

class MVector2DEditor : public MControl
{
public:
  MVector2DEditor();
  ~MVector2DEditor() override = default;

  /// Binds the two scales (not owned; null unbinds that axis).
  void Bind(MValue* x, MValue* y);
  double GetX() const;
  double GetY() const;
  /// Sets the point (limited to 0..1) without the changed event.
  void SetPoint(double x, double y);
  /// The user's move; fires the changed event when the point moved.
  bool MovePoint(double x, double y);
  void SetDefaultPoint(double x, double y);

  MPoint ToPixels(double x, double y) const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  MRect GetPadRect() const;

  MValue* m_valueX = nullptr;
  MValue* m_valueY = nullptr;
  double m_x = 0.5;
  double m_y = 0.5;
  double m_defaultX = 0.5;
  double m_defaultY = 0.5;
  bool m_dragging = false;
  MPoint m_last;
};
