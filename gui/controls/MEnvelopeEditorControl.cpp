#include "gui/controls/MEnvelopeEditorControl.h"

#include "gui/MDrawer.h"
#include "gui/MWindowSystem.h"
#include "gui/controls/MControlUtility.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

MEnvelopeEditorControl::MEnvelopeEditorControl()
{
  SetControlType(MControlType::Edit);
  SetFlag(FlagTabStop, true);
  SetPoints({{0.0, 0.0}, {0.1, 1.0}, {0.35, 0.6}, {1.0, 0.0}});
}

void MEnvelopeEditorControl::SetPoints(std::vector<Point> points)
{
  std::vector<Point> clean;
  for (const Point& p : points)
    if (!std::isnan(p.time) && !std::isnan(p.level) && clean.size() < kMaxPoints)
      clean.push_back(Point{std::clamp(p.time, 0.0, 1.0), std::clamp(p.level, 0.0, 1.0)});
  std::stable_sort(clean.begin(), clean.end(),
                   [](const Point& a, const Point& b) { return a.time < b.time; });
  if (clean.empty() || clean.front().time > 0.0)
    clean.insert(clean.begin(), Point{0.0, clean.empty() ? 0.0 : clean.front().level});
  if (clean.size() < 2 || clean.back().time < 1.0)
    clean.push_back(Point{1.0, clean.back().level});
  if (clean.size() > kMaxPoints)
    clean.erase(clean.begin() + std::ptrdiff_t(kMaxPoints) - 1, clean.end() - 1);
  m_points = std::move(clean);
  m_selected = std::min<std::int32_t>(m_selected, std::int32_t(m_points.size()) - 1);
  m_hover = -1;
  Invalidate();
}

double MEnvelopeEditorControl::LevelAt(double time) const
{
  if (m_points.empty() || std::isnan(time))
    return 0.0;
  time = std::clamp(time, 0.0, 1.0);
  for (std::size_t i = 1; i < m_points.size(); ++i)
    if (time <= m_points[i].time)
    {
      const Point& a = m_points[i - 1];
      const Point& b = m_points[i];
      const double span = b.time - a.time;
      return span > 0 ? a.level + (b.level - a.level) * (time - a.time) / span : b.level;
    }
  return m_points.back().level;
}

bool MEnvelopeEditorControl::MovePoint(std::int32_t index, double time, double level)
{
  if (index < 0 || index >= std::int32_t(m_points.size()) || std::isnan(time) || std::isnan(level))
    return false;
  Point& point = m_points[std::size_t(index)];
  const Point old = point;
  if (index == 0)
    time = 0.0;
  else if (index + 1 == std::int32_t(m_points.size()))
    time = 1.0;
  else
    time = std::clamp(time, m_points[std::size_t(index) - 1].time, m_points[std::size_t(index) + 1].time);
  point = Point{time, std::clamp(level, 0.0, 1.0)};
  if (point == old)
    return false;
  Invalidate();
  NotifyChanged();
  return true;
}

std::int32_t MEnvelopeEditorControl::AddPoint(double time, double level)
{
  if (m_points.size() >= kMaxPoints || std::isnan(time) || std::isnan(level) || time <= 0.0 || time >= 1.0)
    return -1;
  const auto it = std::upper_bound(m_points.begin(), m_points.end(), time,
                                   [](double t, const Point& p) { return t < p.time; });
  const std::int32_t index = std::int32_t(it - m_points.begin());
  m_points.insert(it, Point{time, std::clamp(level, 0.0, 1.0)});
  m_selected = index;
  Invalidate();
  NotifyChanged();
  return index;
}

bool MEnvelopeEditorControl::RemovePoint(std::int32_t index)
{
  if (index <= 0 || index + 1 >= std::int32_t(m_points.size()))
    return false;
  m_points.erase(m_points.begin() + index);
  m_selected = -1;
  m_hover = -1;
  Invalidate();
  NotifyChanged();
  return true;
}

MRect MEnvelopeEditorControl::GetPlotRect() const
{
  return GetClientRect().Inset(6, 6);
}

MPoint MEnvelopeEditorControl::ToPixels(const Point& point) const
{
  const MRect plot = GetPlotRect();
  return MPoint{plot.left + std::int32_t(std::lround(point.time * (plot.Width() - 1))),
                plot.bottom - 1 - std::int32_t(std::lround(point.level * (plot.Height() - 1)))};
}

std::int32_t MEnvelopeEditorControl::PointAt(MPoint position) const
{
  std::int32_t best = -1;
  std::int64_t bestDistance = 7 * 7;
  for (std::size_t i = 0; i < m_points.size(); ++i)
  {
    const MPoint p = ToPixels(m_points[i]);
    const std::int64_t dx = std::int64_t(p.x) - position.x, dy = std::int64_t(p.y) - position.y;
    const std::int64_t d = dx * dx + dy * dy;
    if (d < bestDistance)
    {
      bestDistance = d;
      best = std::int32_t(i);
    }
  }
  return best;
}

MSize MEnvelopeEditorControl::GetPreferredSize() const
{
  return MSize{240, 120};
}

bool MEnvelopeEditorControl::OnMouseDown(MMouseButton button, MPoint position, std::uint32_t modifiers)
{
  if (button != MMouseButton::Left)
    return false;
  if ((modifiers & MSystemEvent::ModDoubleClick) != 0)
    return OnMouseDoubleClick(button, position, modifiers);
  m_selected = PointAt(position);
  Invalidate();
  if (m_selected < 0)
    return true;
  m_dragging = true;
  m_last = position;
  m_dragPoint = m_points[std::size_t(m_selected)];
  SetCapture();
  return true;
}

bool MEnvelopeEditorControl::OnMouseMove(MPoint position, std::uint32_t modifiers)
{
  if (!m_dragging)
  {
    const std::int32_t hover = PointAt(position);
    if (hover != m_hover)
    {
      m_hover = hover;
      Invalidate();
    }
    return false;
  }
  const MRect plot = GetPlotRect();
  const double scale = (modifiers & MSystemEvent::ModShift) != 0 ? 0.1 : 1.0;
  m_dragPoint.time += scale * (position.x - m_last.x) / std::max(1, plot.Width() - 1);
  m_dragPoint.level -= scale * (position.y - m_last.y) / std::max(1, plot.Height() - 1);
  m_dragPoint.time = std::clamp(m_dragPoint.time, 0.0, 1.0);
  m_dragPoint.level = std::clamp(m_dragPoint.level, 0.0, 1.0);
  m_last = position;
  MovePoint(m_selected, m_dragPoint.time, m_dragPoint.level);
  return true;
}

bool MEnvelopeEditorControl::OnMouseUp(MMouseButton button, MPoint, std::uint32_t)
{
  if (button != MMouseButton::Left || !m_dragging)
    return false;
  m_dragging = false;
  ReleaseCapture();
  return true;
}

bool MEnvelopeEditorControl::OnMouseDoubleClick(MMouseButton button, MPoint position, std::uint32_t)
{
  if (button != MMouseButton::Left)
    return false;
  const std::int32_t point = PointAt(position);
  if (point >= 0)
  {
    RemovePoint(point);
    return true;
  }
  const MRect plot = GetPlotRect();
  if (plot.Width() > 1)
  {
    const double time = double(position.x - plot.left) / (plot.Width() - 1);
    AddPoint(time, LevelAt(time));
  }
  return true;
}

bool MEnvelopeEditorControl::OnKeyDown(std::int32_t key, std::uint32_t modifiers)
{
  const std::int32_t count = std::int32_t(m_points.size());
  const double step = (modifiers & MSystemEvent::ModShift) != 0 ? 0.002 : 0.02;
  switch (key)
  {
  case MVirtualKey::Delete:
  case MVirtualKey::Back:
    return RemovePoint(m_selected) || true;
  case MVirtualKey::Tab:
    return false;
  case MVirtualKey::Home:
    m_selected = 0;
    break;
  case MVirtualKey::End:
    m_selected = count - 1;
    break;
  case MVirtualKey::Up:
  case MVirtualKey::Down:
    if (m_selected >= 0)
      MovePoint(m_selected, m_points[std::size_t(m_selected)].time,
                m_points[std::size_t(m_selected)].level + (key == MVirtualKey::Up ? step : -step));
    return true;
  case MVirtualKey::Left:
  case MVirtualKey::Right:
    if ((modifiers & MSystemEvent::ModControl) != 0 && m_selected >= 0)
      MovePoint(m_selected,
                m_points[std::size_t(m_selected)].time + (key == MVirtualKey::Right ? step : -step),
                m_points[std::size_t(m_selected)].level);
    else
      m_selected = std::clamp(m_selected + (key == MVirtualKey::Right ? 1 : -1), 0, count - 1);
    break;
  default:
    return false;
  }
  Invalidate();
  return true;
}

void MEnvelopeEditorControl::OnMouseLeave()
{
  m_hover = -1;
  MControl::OnMouseLeave();
}

void MEnvelopeEditorControl::OnCaptureLost()
{
  m_dragging = false;
}

void MEnvelopeEditorControl::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  style->PaintControl(drawer, paint);
  const MRect plot = GetPlotRect();
  if (plot.Width() < 4 || plot.Height() < 4 || m_points.empty())
    return;
  const MRect saved = drawer.IntersectClip(GetClientRect());
  const MColor text = MControlUtility::Disabled(style->GetColor(MStdColor::Text), paint.disabled);
  const MColor accent = MControlUtility::Disabled(style->GetColor(MStdColor::Highlight), paint.disabled);
  for (int i = 1; i < 4; ++i)
  {
    const std::int32_t x = plot.left + plot.Width() * i / 4;
    const std::int32_t y = plot.top + plot.Height() * i / 4;
    drawer.FillRectangle(MRect{x, plot.top, x + 1, plot.bottom}, text.WithAlpha(22));
    drawer.FillRectangle(MRect{plot.left, y, plot.right, y + 1}, text.WithAlpha(22));
  }
  std::vector<MDrawer::PointF> area;
  area.reserve(m_points.size() + 2);
  for (const Point& p : m_points)
  {
    const MPoint px = ToPixels(p);
    area.push_back({px.x + 0.5, px.y + 0.5});
  }
  area.push_back({area.back().x, double(plot.bottom)});
  area.push_back({area.front().x, double(plot.bottom)});
  drawer.FillPolygon(area, accent.WithAlpha(45));
  for (std::size_t i = 1; i < m_points.size(); ++i)
    drawer.Line(area[i - 1].x, area[i - 1].y, area[i].x, area[i].y, accent, 2.0);
  for (std::size_t i = 0; i < m_points.size(); ++i)
  {
    const bool selected = std::int32_t(i) == m_selected;
    const bool hover = std::int32_t(i) == m_hover;
    const double r = selected || hover ? 5.0 : 4.0;
    drawer.FillCircle(area[i].x, area[i].y, r + 1, MColor{0, 0, 0, 140});
    drawer.FillCircle(area[i].x, area[i].y, r, selected ? accent : text);
    if (selected && paint.focused)
      drawer.FrameCircle(area[i].x, area[i].y, r + 3, 1.2, accent.WithAlpha(160));
  }
  drawer.RestoreClip(saved);
}
