#pragma once
// MGraphEditor: edits a row of values 0..1 drawn as bars (a step pattern, a harmonic spectrum,
// a gain curve). Dragging draws: every bar the mouse crosses takes the mouse's height (bars in
// between are filled in straight). Shift+drag limits the change to the bar first touched; a
// double click on a bar resets it to its default. Each user change fires the changed event.
// A bipolar graph draws bars from the middle.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>
#include <vector>

class MGraphEditor : public MControl
{
public:
  static constexpr std::int32_t kMaxValues = 1024;

  MGraphEditor();
  ~MGraphEditor() override = default;

  /// Number of bars (1..kMaxValues); new bars take the default value.
  void SetCount(std::int32_t count);
  std::int32_t GetCount() const { return std::int32_t(m_values.size()); }
  double GetValue(std::int32_t index) const;
  /// Sets a bar (limited to 0..1) without the changed event.
  void SetValue(std::int32_t index, double value);
  void SetDefaultValue(double value);
  void SetBipolar(bool bipolar);
  const std::vector<double>& GetValues() const { return m_values; }

  /// The bar under `x` (control coordinates, clamped to the bars).
  std::int32_t BarAt(std::int32_t x) const;
  /// The value a mouse at `y` means.
  double ValueAt(std::int32_t y) const;

  MSize GetPreferredSize() const override;
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  MRect GetPlotRect() const;
  /// Draws from the last point to `position`; answers whether a bar changed.
  bool DrawTo(MPoint position, bool single);

  std::vector<double> m_values;
  double m_default = 0.5;
  bool m_bipolar = false;
  bool m_drawing = false;
  std::int32_t m_firstBar = -1;
  MPoint m_last;
};
