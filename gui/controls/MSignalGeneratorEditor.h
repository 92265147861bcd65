#pragma once
// A periodic signal shape and the controls that show and edit it.
//  - MSignalShape: one period of a wave (sine, triangle, saw, square) with amplitude, phase and
//    pulse width; Evaluate gives the level at a position in the period.
//  - MSignalGeneratorViewer: draws one period (or more) of a shape, with an optional playing
//    position marker. Display only.
//  - MSignalGeneratorEditor: the viewer plus editing: a click on the wave name at the top left
//    (or Space) picks the next wave, dragging vertically sets the amplitude and horizontally the
//    phase (Shift: the pulse width of squares), a double click restores the defaults. Each user
//    change fires the changed event.
//
// Threads: GUI thread.

#include "gui/MControl.h"

#include <cstdint>

struct MSignalShape
{
  enum class Wave : std::int32_t
  {
    Sine,
    Triangle,
    Saw,
    Square,
  };
  static constexpr std::int32_t kWaveCount = 4;

  Wave wave = Wave::Sine;
  double amplitude = 1.0;  ///< 0..1
  double phase = 0.0;      ///< 0..1 of a period
  double pulseWidth = 0.5; ///< 0.05..0.95, squares only

  /// Level in -amplitude..amplitude at `position` (periods; any real number).
  double Evaluate(double position) const;
  /// Limits every field to its range (not-a-number fields take their defaults).
  void Clamp();
  static MString WaveName(Wave wave);

  friend bool operator==(const MSignalShape&, const MSignalShape&) = default;
};

class MSignalGeneratorViewer : public MControl
{
public:
  MSignalGeneratorViewer();
  ~MSignalGeneratorViewer() override = default;

  const MSignalShape& GetShape() const { return m_shape; }
  /// Replaces the shape (clamped) and invalidates; no changed event.
  void SetShape(const MSignalShape& shape);
  /// Periods shown (1..16).
  void SetPeriods(std::int32_t periods);
  /// Playing position in periods; negative hides the marker.
  void SetPlayPosition(double position);

  MSize GetPreferredSize() const override;
  void Paint(MDrawer& drawer) override;

protected:
  /// The plot area (control coordinates).
  MRect GetPlotRect() const;

  MSignalShape m_shape;
  std::int32_t m_periods = 1;
  double m_position = -1.0;
};

class MSignalGeneratorEditor : public MSignalGeneratorViewer
{
public:
  MSignalGeneratorEditor();
  ~MSignalGeneratorEditor() override = default;

  /// The user's change: sets the shape and fires the changed event when it changed.
  bool ChangeShape(const MSignalShape& shape);
  /// The wave-name button area (top left of the plot).
  MRect GetWaveButtonRect() const;

  bool AcceptsFocus() const override { return true; }
  bool OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseMove(MPoint position, std::uint32_t modifiers) override;
  bool OnMouseUp(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t modifiers) override;
  bool OnKeyDown(std::int32_t key, std::uint32_t modifiers) override;
  void OnCaptureLost() override;
  void Paint(MDrawer& drawer) override;

private:
  bool m_dragging = false;
  MPoint m_last;
};
