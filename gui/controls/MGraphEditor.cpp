#include "gui/controls/MGraphEditor.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>

MGraphEditor::MGraphEditor()
{
  SetControlType(MControlType::Edit);
  m_values = {0.8, 0.55, 0.7, 0.3, 0.9, 0.45, 0.6, 0.2, 0.75, 0.5, 0.65, 0.35, 0.85, 0.4, 0.58, 0.25};
}

void MGraphEditor::SetCount(std::int32_t count)
{
  m_values.resize(std::size_t(std::clamp(count, 1, kMaxValues)), m_default);
  Invalidate();
}

double MGraphEditor::GetValue(std::int32_t index) const
{
  return index >= 0 && index < GetCount() ? m_values[std::size_t(index)] : 0.0;
}

void MGraphEditor::SetValue(std::int32_t index, double value)
{
  if (index < 0 || index >= GetCount() || std::isnan(value))
    return;
  m_values[std::size_t(index)] = std::clamp(value, 0.0, 1.0);
  Invalidate();
}

void MGraphEditor::SetDefaultValue(double value)
{
  m_default = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
}

void MGraphEditor::SetBipolar(bool bipolar)
{
  m_bipolar = bipolar;
  Invalidate();
}

MRect MGraphEditor::GetPlotRect() const
{
  return GetClientRect().Inset(4, 4);
}

std::int32_t MGraphEditor::BarAt(std::int32_t x) const
{
  const MRect plot = GetPlotRect();
  if (plot.Width() <= 0)
    return 0;
  return std::clamp(std::int32_t(std::int64_t(x - plot.left) * GetCount() / plot.Width()), 0, GetCount() - 1);
}

double MGraphEditor::ValueAt(std::int32_t y) const
{
  const MRect plot = GetPlotRect();
  if (plot.Height() <= 1)
    return 0.0;
  return std::clamp(double(plot.bottom - 1 - y) / (plot.Height() - 1), 0.0, 1.0);
}

bool MGraphEditor::DrawTo(MPoint position, bool single)
{
  bool changed = false;
  const std::int32_t from = BarAt(m_last.x);
  const std::int32_t to = BarAt(position.x);
  if (single)
  {
    const double value = ValueAt(position.y);
    changed = m_values[std::size_t(m_firstBar)] != value;
    m_values[std::size_t(m_firstBar)] = value;
  }
  else
  {
    const std::int32_t step = to >= from ? 1 : -1;
    for (std::int32_t bar = from;; bar += step)
    {
      // Bars between two mouse events get the height of the straight line through them.
      const double t = to == from ? 1.0 : double(bar - from) / (to - from);
      const double value = ValueAt(std::int32_t(std::lround(m_last.y + t * (position.y - m_last.y))));
      changed = changed || m_values[std::size_t(bar)] != value;
      m_values[std::size_t(bar)] = value;
      if (bar == to)
        break;
    }
  }
  m_last = position;
  if (changed)
  {
    Invalidate();
    NotifyChanged();
  }
  return changed;
}

MSize MGraphEditor::GetPreferredSize() const
{
  return MSize{std::max(120, GetCount() * 10), 100};
}

bool MGraphEditor::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0)
    return OnMouseDoubleClick(button, position, modifiers);
  m_drawing = true;
  m_firstBar = BarAt(position.x);
  m_last = position;
  SetCapture();
  DrawTo(position, (modifiers & MSystemEvent::ModShift) != 0);
  return true;
}

bool MGraphEditor::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_drawing)
    return false;
  DrawTo(position, (modifiers & MSystemEvent::ModShift) != 0);
  return true;
}

bool MGraphEditor::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_drawing)
    return false;
  m_drawing = false;
  ReleaseCapture();
  return true;
}

bool MGraphEditor::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t bar = BarAt(position.x);
  if (m_values[std::size_t(bar)] != m_default)
  {
    m_values[std::size_t(bar)] = m_default;
    Invalidate();
    NotifyChanged();
  }
  return true;
}

void MGraphEditor::OnCaptureLost()
{
  m_drawing = false;
}

void MGraphEditor::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect plot = GetPlotRect();
  if (plot.Width() < 2 || plot.Height() < 2)
    return;
  const MRect saved = drawer.IntersectClip(plot);
  const MColor accent = MControlUtility::Disabled(style->GetColor(MStdColor::Highlight), paint.disabled);
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  const std::int32_t count = GetCount();
  const std::int32_t base = m_bipolar ? (plot.top + plot.bottom) / 2 : plot.bottom;
  if (m_bipolar)
    drawer.FillRectangle(MRect{plot.left, base, plot.right, base + 1}, text.WithAlpha(50));
  for (std::int32_t i = 0; i < count; ++i)
  {
    const std::int32_t left = plot.left + std::int32_t(std::int64_t(i) * plot.Width() / count);
    const std::int32_t right = plot.left + std::int32_t(std::int64_t(i + 1) * plot.Width() / count);
    const std::int32_t gap = right - left > 4 ? 1 : 0;
    const std::int32_t top =
        plot.bottom - 1 - std::int32_t(std::lround(m_values[std::size_t(i)] * (plot.Height() - 1)));
    const MRect bar{left + gap, std::min(top, base), right - gap, std::max(top, base) + 1};
    drawer.FillRectangle(bar, accent.WithAlpha(90));
    drawer.FillRectangle(MRect{bar.left, top, bar.right, top + 2}, accent);
  }
  drawer.RestoreClip(saved);
}
