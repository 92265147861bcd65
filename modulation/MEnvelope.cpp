#include "modulation/MEnvelope.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MXmlItem.h"

#include <charconv>
#include <cmath>
#include <string>

namespace
{
struct ShapeEntry
{
  const char* name;
  const char* help;
  std::uint32_t flags;
};

constexpr const char* kSmoothHelp =
    "Fast, no curvature, provides smooth connection between neighboring segments.";

constexpr ShapeEntry kShapes[MEnvelope::kShapeCount] = {
    {"Mode 1", "Fastest, minimal curvature freedom.", 0x06},
    {"Mode 2", "Fast, average curvature freedom.", 0x06},
    {"Mode 3", "Very slow, very high curvature freedom.", 0x06},
    {"Free 1", "Normal speed, curvature adjustable in both axes.", 0x03},
    {"Double 1", "Double curved shape.", 0x06},
    {"Smooth 1", kSmoothHelp, 0x04},
    {"Smooth 2", kSmoothHelp, 0x04},
    {"Stairs", "Stairs-like image, curvature controls number of stairs.", 0x02},
    {"Pulses", "Pulses, curvature controls number of pulses.", 0x02},
    {"Saw", "Saw, curvature controls number of saw teeth.", 0x02},
    {"Triangles", "Triangles, curvature controls number of triangles.", 0x02},
    {"Sines", "Sines, curvature controls number of waves.", 0x02},
};

const ShapeEntry& EntryOf(int shape)
{
  if (shape < 0 || shape >= MEnvelope::kShapeCount)
    throw MException("Invalid control point type.");
  return kShapes[shape];
}

void CheckNumber(double value, double limit, const MString& what)
{
  if (!std::isfinite(value))
    throw MException(MFormat::Format("Envelope point {0} is not a finite number.", what));
  if (std::fabs(value) > limit)
    throw MException(MFormat::Format("Envelope point {0} ({1;.12}) is out of range.", what, value));
}

MString Text(double value)
{
  return MString::FromDouble(value, 17);
}

// Complete decimal text only: "nan", "inf", trailing junk and overflow are refused, where the
// lenient MString::ToDouble would read 0 or the largest double.
double ParseDouble(const MXmlItem& item, const MString& name, double fallback)
{
  if (!item.HasAttribute(name))
    return fallback;
  const std::string text = item.GetAttribute().ToUTF8();
  double value = 0.0;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+')
    ++begin;
  const auto result = std::from_chars(begin, end, value);
  if (begin == end || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
    throw MException(
        MFormat::Format("Envelope attribute {0} is not a number: \"{1}\".", name, item.GetAttribute()));
  return value;
}

std::int64_t ParseInteger(const MXmlItem& item, const MString& name, std::int64_t fallback)
{
  if (!item.HasAttribute(name))
    return fallback;
  const std::string text = item.GetAttribute().ToUTF8();
  std::int64_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
    throw MException(
        MFormat::Format("Envelope attribute {0} is not an integer: \"{1}\".", name, item.GetAttribute()));
  return value;
}

std::int32_t ParseInt32(const MXmlItem& item, const MString& name, std::int32_t fallback)
{
  const std::int64_t value = ParseInteger(item, name, fallback);
  if (value < INT32_MIN || value > INT32_MAX)
    throw MException(MFormat::Format("Envelope attribute {0} is out of range.", name));
  return static_cast<std::int32_t>(value);
}
} // namespace

MString MEnvelope::ShapeName(int shape)
{
  return MString::FromLiteral(EntryOf(shape).name);
}

MString MEnvelope::ShapeHelp(int shape)
{
  return MString::FromLiteral(EntryOf(shape).help);
}

std::uint32_t MEnvelope::ShapeFlags(int shape)
{
  return EntryOf(shape).flags;
}

void MEnvelope::CheckPoint(const ControlPoint& point)
{
  EntryOf(point.shape);
  if (point.roundingMode != kRoundingQuadratic && point.roundingMode != kRoundingCubic)
    throw MException(MFormat::Format("Invalid envelope rounding mode ({0}).", point.roundingMode));
  CheckNumber(point.x, kMaxMagnitude, "position");
  CheckNumber(point.y, kMaxMagnitude, "value");
  CheckNumber(point.horizontalCurvature, kMaxCurvature, "horizontal curvature");
  CheckNumber(point.curvature, kMaxCurvature, "curvature");
  CheckNumber(point.leftRounding, kMaxCurvature, "left rounding");
  CheckNumber(point.rightRounding, kMaxCurvature, "right rounding");
}

void MEnvelope::CheckPoints(const std::vector<ControlPoint>& points)
{
  if (points.size() > static_cast<std::size_t>(kMaxPoints))
    throw MException(MFormat::Format("An envelope has at most {0} points, not {1}.", kMaxPoints,
                                     static_cast<std::int64_t>(points.size())));
  for (std::size_t i = 0; i < points.size(); ++i)
  {
    CheckPoint(points[i]);
    if (i == 0)
      continue;
    const ControlPoint& previous = points[i - 1];
    if (points[i].x < previous.x)
      throw MException(MFormat::Format("Envelope points are not sorted by position (point {0}).",
                                       static_cast<std::int64_t>(i)));
    if (points[i].x == previous.x &&
        (points[i].y == previous.y || (i >= 2 && points[i - 2].x == points[i].x)))
      throw MException(
          MFormat::Format("Envelope point {0} duplicates its neighbour.", static_cast<std::int64_t>(i)));
  }
}

const MEnvelope::ControlPoint& MEnvelope::GetPoint(int index) const
{
  if (index < 0 || index >= GetPointCount())
    throw MException(MFormat::Format("Envelope point index {0} out of range.", index));
  return m_points[static_cast<std::size_t>(index)];
}

void MEnvelope::SetPoints(std::vector<ControlPoint> points)
{
  CheckPoints(points);
  m_points = std::move(points);
}

int MEnvelope::AddPoint(const ControlPoint& point)
{
  CheckPoint(point);
  std::size_t index = m_points.size();
  while (index > 0 && m_points[index - 1].x > point.x)
    --index;
  std::vector<ControlPoint> points = m_points;
  points.insert(points.begin() + static_cast<std::ptrdiff_t>(index), point);
  SetPoints(std::move(points));
  return static_cast<int>(index);
}

void MEnvelope::SetPoint(int index, const ControlPoint& point)
{
  GetPoint(index);
  std::vector<ControlPoint> points = m_points;
  points[static_cast<std::size_t>(index)] = point;
  SetPoints(std::move(points));
}

void MEnvelope::RemovePoint(int index)
{
  GetPoint(index);
  m_points.erase(m_points.begin() + index);
}

void MEnvelope::SetPositions(double startPosition, double secondPosition)
{
  CheckNumber(startPosition, kMaxMagnitude, "start position");
  CheckNumber(secondPosition, kMaxMagnitude, "second position");
  m_startPosition = startPosition;
  m_secondPosition = secondPosition;
}

void MEnvelope::SetRange(double minimum, double maximum)
{
  CheckNumber(minimum, kMaxMagnitude, "range minimum");
  CheckNumber(maximum, kMaxMagnitude, "range maximum");
  m_minimum = minimum;
  m_maximum = maximum;
}

void MEnvelope::Save(MXmlItem& item) const
{
  item.SetAttribute("Start", Text(m_startPosition));
  item.SetAttribute("Second", Text(m_secondPosition));
  item.SetAttribute("Minimum", Text(m_minimum));
  item.SetAttribute("Maximum", Text(m_maximum));
  item.SetAttribute("Count", MString::FromInteger(GetPointCount()));
  for (int i = item.GetSubItemCount() - 1; i >= 0; --i)
    if (item.GetSubItemAt(i).GetName().EqualsName("Point"))
      item.RemoveSubItemAt(i);
  for (const ControlPoint& point : m_points)
  {
    MXmlItem& sub = item.AddSubItem("Point");
    sub.SetAttribute("X", Text(point.x));
    sub.SetAttribute("Y", Text(point.y));
    sub.SetAttribute("Flags", MString::FromUnsigned(point.flags));
    sub.SetAttribute("HorizontalCurvature", Text(point.horizontalCurvature));
    sub.SetAttribute("Curvature", Text(point.curvature));
    sub.SetAttribute("LeftRounding", Text(point.leftRounding));
    sub.SetAttribute("RightRounding", Text(point.rightRounding));
    sub.SetAttribute("Shape", MString::FromInteger(point.shape));
    sub.SetAttribute("RoundingMode", MString::FromInteger(point.roundingMode));
  }
}

void MEnvelope::Load(const MXmlItem& item)
{
  // The counts are checked before anything is reserved, so a damaged or hostile count costs
  // nothing. Without a declared count, the points present are taken.
  std::int64_t found = 0;
  for (int i = 0; i < item.GetSubItemCount(); ++i)
    found += item.GetSubItemAt(i).GetName().EqualsName("Point") ? 1 : 0;
  const std::int64_t count = ParseInteger(item, "Count", found);
  if (count < 0 || count > kMaxPoints)
    throw MException(MFormat::Format("A stored envelope declares {0} points; at most {1} are allowed.", count,
                                     kMaxPoints));
  if (found != count)
    throw MException(MFormat::Format("A stored envelope declares {0} points but holds {1}.", count, found));

  std::vector<ControlPoint> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < item.GetSubItemCount(); ++i)
  {
    const MXmlItem& sub = item.GetSubItemAt(i);
    if (!sub.GetName().EqualsName("Point"))
      continue;
    ControlPoint point;
    point.x = ParseDouble(sub, "X", 0.0);
    point.y = ParseDouble(sub, "Y", 0.0);
    if (sub.HasAttribute("Flags"))
    {
      const std::string text = sub.GetAttribute().ToUTF8();
      const auto result = std::from_chars(text.data(), text.data() + text.size(), point.flags);
      if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        throw MException(
            MFormat::Format("Envelope attribute Flags is not an integer: \"{0}\".", sub.GetAttribute()));
    }
    point.horizontalCurvature = ParseDouble(sub, "HorizontalCurvature", 0.0);
    point.curvature = ParseDouble(sub, "Curvature", 0.0);
    point.leftRounding = ParseDouble(sub, "LeftRounding", 0.0);
    point.rightRounding = ParseDouble(sub, "RightRounding", 0.0);
    point.shape = ParseInt32(sub, "Shape", kShapeMode1);
    point.roundingMode = ParseInt32(sub, "RoundingMode", kRoundingQuadratic);
    points.push_back(point);
  }
  CheckPoints(points);

  MEnvelope loaded;
  loaded.SetPositions(ParseDouble(item, "Start", 0.0), ParseDouble(item, "Second", 0.0));
  loaded.SetRange(ParseDouble(item, "Minimum", 0.0), ParseDouble(item, "Maximum", 1.0));
  loaded.m_points = std::move(points);
  *this = std::move(loaded);
}
