#include "gui/controls/MSignalGeneratorEditor.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr double kPi = 3.14159265358979323846;
} // namespace

// --- MSignalShape -----------------------------------------------------------------------------------

double MSignalShape::Evaluate(double position) const
{
  if (!std::isfinite(position))
    return 0.0;
  double t = position + phase;
  t -= std::floor(t);
  double level = 0.0;
  switch (wave)
  {
  case Wave::Sine:
    level = std::sin(2 * kPi * t);
    break;
  case Wave::Triangle:
    level = t < 0.25 ? 4 * t : t < 0.75 ? 2 - 4 * t : 4 * t - 4;
    break;
  case Wave::Saw:
    level = t < 0.5 ? 2 * t : 2 * t - 2;
    break;
  case Wave::Square:
    level = t < pulseWidth ? 1.0 : -1.0;
    break;
  }
  return amplitude * level;
}

void MSignalShape::Clamp()
{
  if (static_cast<std::int32_t>(wave) < 0 || static_cast<std::int32_t>(wave) >= kWaveCount)
    wave = Wave::Sine;
  amplitude = std::isnan(amplitude) ? 1.0 : std::clamp(amplitude, 0.0, 1.0);
  phase = std::isfinite(phase) ? phase - std::floor(phase) : 0.0;
  pulseWidth = std::isnan(pulseWidth) ? 0.5 : std::clamp(pulseWidth, 0.05, 0.95);
}

MString MSignalShape::WaveName(Wave wave)
{
  switch (wave)
  {
  case Wave::Sine:
    return "Sine";
  case Wave::Triangle:
    return "Triangle";
  case Wave::Saw:
    return "Saw";
  case Wave::Square:
    return "Square";
  }
  return "Sine";
}

// --- MSignalGeneratorViewer ---------------------------------------------------------------------------

MSignalGeneratorViewer::MSignalGeneratorViewer()
{
  SetControlType(MControlType::Edit);
}

void MSignalGeneratorViewer::SetShape(const MSignalShape& shape)
{
  m_shape = shape;
  m_shape.Clamp();
  Invalidate();
}

void MSignalGeneratorViewer::SetPeriods(std::int32_t periods)
{
  m_periods = std::clamp(periods, 1, 16);
  Invalidate();
}

void MSignalGeneratorViewer::SetPlayPosition(double position)
{
  m_position = std::isfinite(position) ? position : -1.0;
  Invalidate();
}

MSize MSignalGeneratorViewer::GetPreferredSize() const
{
  return MSize{200, 100};
}

MRect MSignalGeneratorViewer::GetPlotRect() const
{
  return GetClientRect().Inset(2, 4);
}

void MSignalGeneratorViewer::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect plot = GetPlotRect();
  if (plot.Width() < 4 || plot.Height() < 4)
    return;
  const MRect saved = drawer.IntersectClip(GetClientRect());
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  const MColor accent = MControlUtility::Disabled(style->GetColor(MStdColor::Highlight), paint.disabled);
  const double mid = (plot.top + plot.bottom) / 2.0;
  const double half = plot.Height() / 2.0 - 1;
  // Zero line and period borders.
  drawer.FillRectangle(MRect{plot.left, std::int32_t(mid), plot.right, std::int32_t(mid) + 1},
                       text.WithAlpha(40));
  for (std::int32_t p = 1; p < m_periods; ++p)
  {
    const std::int32_t x = plot.left + plot.Width() * p / m_periods;
    drawer.FillRectangle(MRect{x, plot.top, x + 1, plot.bottom}, text.WithAlpha(28));
  }
  // The curve: a filled band to the zero line and the line itself.
  const std::int32_t samples = std::min(plot.Width(), 2048);
  std::vector<MDrawer::PointF> band;
  band.reserve(std::size_t(samples) * 2 + 2);
  double lastX = plot.left, lastY = mid - half * m_shape.Evaluate(0.0);
  for (std::int32_t i = 0; i <= samples; ++i)
  {
    const double x = plot.left + double(i) * plot.Width() / samples;
    const double y = mid - half * m_shape.Evaluate(double(i) * m_periods / samples);
    band.push_back({x, y});
    if (i > 0)
      drawer.Line(lastX, lastY, x, y, accent, 1.6);
    lastX = x;
    lastY = y;
  }
  band.push_back({double(plot.right), mid});
  band.push_back({double(plot.left), mid});
  drawer.FillPolygon(band, accent.WithAlpha(40));
  if (m_position >= 0)
  {
    const double within = std::fmod(m_position, double(m_periods));
    const std::int32_t x = plot.left + std::int32_t(within / m_periods * plot.Width());
    drawer.FillRectangle(MRect{x, plot.top, x + 1, plot.bottom}, text.WithAlpha(160));
    drawer.FillCircle(x + 0.5, mid - half * m_shape.Evaluate(within), 3, text);
  }
  drawer.RestoreClip(saved);
}

// --- MSignalGeneratorEditor ---------------------------------------------------------------------------

MSignalGeneratorEditor::MSignalGeneratorEditor()
{
  SetFlag(FlagTabStop, true);
}

bool MSignalGeneratorEditor::ChangeShape(const MSignalShape& shape)
{
  MSignalShape clamped = shape;
  clamped.Clamp();
  if (clamped == m_shape)
    return false;
  SetShape(clamped);
  NotifyChanged();
  return true;
}

MRect MSignalGeneratorEditor::GetWaveButtonRect() const
{
  const MRect plot = GetPlotRect();
  const std::int32_t width = MControlUtility::MeasureText(*this, MString("Triangle"), MStdFont::Small).x + 14;
  const std::int32_t height = MControlUtility::LineHeight(*this, MStdFont::Small) + 4;
  return MRect{plot.left + 2, plot.top, std::min(plot.right, plot.left + 2 + width),
               std::min(plot.bottom, plot.top + height)};
}

bool MSignalGeneratorEditor::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0)
    return OnMouseDoubleClick(button, position, modifiers);
  if (GetWaveButtonRect().Contains(position))
  {
    MSignalShape next = m_shape;
    next.wave = static_cast<MSignalShape::Wave>((static_cast<std::int32_t>(m_shape.wave) + 1) %
                                                MSignalShape::kWaveCount);
    ChangeShape(next);
    return true;
  }
  m_dragging = true;
  m_last = position;
  SetCapture();
  return true;
}

bool MSignalGeneratorEditor::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_dragging)
    return false;
  const MRect plot = GetPlotRect();
  MSignalShape next = m_shape;
  const double dx = double(position.x - m_last.x) / std::max(1, plot.Width());
  const double dy = double(m_last.y - position.y) / std::max(1, plot.Height() / 2);
  m_last = position;
  next.amplitude += dy;
  if ((modifiers & MSystemEvent::ModShift) != 0)
    next.pulseWidth += dx;
  else
    next.phase -= dx * m_periods;
  ChangeShape(next);
  return true;
}

bool MSignalGeneratorEditor::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  ReleaseCapture();
  return true;
}

bool MSignalGeneratorEditor::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left || GetWaveButtonRect().Contains(position))
    return false;
  MSignalShape reset;
  reset.wave = m_shape.wave;
  ChangeShape(reset);
  return true;
}

bool MSignalGeneratorEditor::OnKeyDown(std::int32_t key, std::uint32_t)
{
  MSignalShape next = m_shape;
  switch (key)
  {
  case MVirtualKey::Space:
    next.wave = static_cast<MSignalShape::Wave>((static_cast<std::int32_t>(m_shape.wave) + 1) %
                                                MSignalShape::kWaveCount);
    break;
  case MVirtualKey::Up:
    next.amplitude += 0.05;
    break;
  case MVirtualKey::Down:
    next.amplitude -= 0.05;
    break;
  case MVirtualKey::Left:
    next.phase -= 1.0 / 64;
    break;
  case MVirtualKey::Right:
    next.phase += 1.0 / 64;
    break;
  default:
    return false;
  }
  ChangeShape(next);
  return true;
}

void MSignalGeneratorEditor::OnCaptureLost()
{
  m_dragging = false;
}

void MSignalGeneratorEditor::Paint(MDrawer& drawer)
{
  MSignalGeneratorViewer::Paint(drawer);
  MStyle* style = GetStyle();
  const MRect button = GetWaveButtonRect();
  if (style == nullptr || button.Width() < 20 || button.Height() < 10)
    return;
  MControlPaint paint;
  FillPaint(paint);
  MControlPaint label = paint;
  label.type = MControlType::Button;
  label.rect = button;
  label.captionType = MCaptionType::None;
  label.focused = false;
  label.text = MSignalShape::WaveName(m_shape.wave);
  label.font = MStdFont::Small;
  style->PaintControl(drawer, label);
  style->PaintContent(drawer, button, label);
}
