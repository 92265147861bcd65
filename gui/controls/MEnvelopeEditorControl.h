#pragma once
// MEnvelopeEditorControl: edits an envelope drawn as straight segments between points. A point
// is (time 0..1, level 0..1); points stay sorted by time, the first sits at time 0 and the last at
// time 1 (they move only vertically). Dragging a point moves it between its neighbours (Shift:
// ten times finer); a double click on empty space adds a point on the curve there, a double
// click on a point (not the ends) removes it; Delete removes the selected point. Each user change
// fires the changed event.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>
#include <vector>

class MEnvelopeEditorControl : public MControl
{
public:
  struct Point
  {
    double time = 0.0;
    double level = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
  };
  static constexpr std::size_t kMaxPoints = 256;

  MEnvelopeEditorControl();
  ~MEnvelopeEditorControl() override = default;

  const std::vector<Point>& GetPoints() const { return m_points; }
  /// Replaces the points: sorted, limited to 0..1 (not-a-number dropped), the ends forced to
  /// times 0 and 1 (added when missing), at most kMaxPoints. No changed event.
  void SetPoints(std::vector<Point> points);
  /// Level of the drawn envelope at `time` (linear between points).
  double LevelAt(double time) const;
  std::int32_t GetSelectedPoint() const { return m_selected; }

  /// The user's edits; each fires the changed event when it changed something.
  bool MovePoint(std::int32_t index, double time, double level);
  /// Adds a point at `time` on the curve; answers its index (-1 when full).
  std::int32_t AddPoint(double time, double level);
  bool RemovePoint(std::int32_t index);

  /// Pixel position of a point and the point near `position` (within 6 px; -1 when none).
  MPoint ToPixels(const Point& point) const;
  std::int32_t PointAt(MPoint position) const;

  MSize GetPreferredSize() const override;
  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnMouseLeave() override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  MRect GetPlotRect() const;

  std::vector<Point> m_points;
  std::int32_t m_selected = -1;
  std::int32_t m_hover = -1;
  bool m_dragging = false;
  MPoint m_last;
  Point m_dragPoint;
};
