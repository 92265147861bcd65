#pragma once
// MEnvelope: a curve drawn by the user as control points, the input of MEnvelopeComputer.
//
// Each control point carries the shape of the segment that leaves it (twelve shapes, see
// ShapeName), a curvature and an optional rounding of the corner at the point. The points are
// kept sorted by x; two points may share an x (a vertical step), three may not.
//
// Every change is checked before it is made, and a rejected change throws MException and leaves
// the envelope as it was:
//  - a shape outside 0..kShapeCount - 1: "Invalid control point type.";
//  - a rounding mode other than 0 and 1;
//  - a coordinate, curvature, rounding amount or range bound that is not a finite number, or
//    whose size exceeds kMaxMagnitude (coordinates, positions, range) or kMaxCurvature
//    (curvatures and rounding amounts);
//  - points out of order by x, a point equal to its neighbour in x and y, or a third point at
//    the same x;
//  - more than kMaxPoints points.
// Rounding amounts are fractions 0..1 of the window on each side of a point; larger or negative
// amounts are kept as given and read as 0..1 by the computer.
//
// Threads: an envelope belongs to one thread at a time (the GUI thread while it is edited);
// everything here may allocate.

#include "base/MObject.h"
#include "base/MString.h"

#include <cstdint>
#include <vector>

class MXmlItem;

class MEnvelope : public MObject
{
public:
  /// Shape indices of ControlPoint::shape.
  enum Shape : std::int32_t
  {
    kShapeMode1 = 0,
    kShapeMode2 = 1,
    kShapeMode3 = 2,
    kShapeFree1 = 3,
    kShapeDouble1 = 4,
    kShapeSmooth1 = 5,
    kShapeSmooth2 = 6,
    kShapeStairs = 7,
    kShapePulses = 8,
    kShapeSaw = 9,
    kShapeTriangles = 10,
    kShapeSines = 11,
  };
  static constexpr int kShapeCount = 12;

  /// ShapeFlags bits: the shape reads ControlPoint::horizontalCurvature (0x01) or
  /// ControlPoint::curvature (0x02); 0x04 marks the smooth-connection shapes' table entry.
  static constexpr std::uint32_t kUsesHorizontalCurvature = 0x01;
  static constexpr std::uint32_t kUsesCurvature = 0x02;

  /// ControlPoint::flags bits.
  static constexpr std::uint64_t kFlagLeftRoundingBothSides = 0x04;
  static constexpr std::uint64_t kFlagSymmetricWindow = 0x08;

  /// ControlPoint::roundingMode values.
  static constexpr std::int32_t kRoundingQuadratic = 0;
  static constexpr std::int32_t kRoundingCubic = 1;

  /// Limits of the checks above. Positions and values beyond 1e100 in size would overflow the
  /// cubic coefficients; curvatures of the editor lie in -1..1.
  static constexpr int kMaxPoints = 65536;
  static constexpr double kMaxMagnitude = 1e100;
  static constexpr double kMaxCurvature = 100.0;

  struct ControlPoint
  {
    double x = 0.0;
    double y = 0.0;
    /// kFlagLeftRoundingBothSides, kFlagSymmetricWindow; other bits are kept and ignored.
    std::uint64_t flags = 0;
    /// Used by shape "Free 1" only; read as -1..1.
    double horizontalCurvature = 0.0;
    /// -1..1 in the editor.
    double curvature = 0.0;
    double leftRounding = 0.0;
    double rightRounding = 0.0;
    std::int32_t shape = kShapeMode1;
    std::int32_t roundingMode = kRoundingQuadratic;
  };

  /// The shape's name as shown ("Mode 1" .. "Sines"), its help text and its ShapeFlags bits.
  /// Throw MException "Invalid control point type." for an index outside 0..kShapeCount - 1.
  static MString ShapeName(int shape);
  static MString ShapeHelp(int shape);
  static std::uint32_t ShapeFlags(int shape);

  /// Throws MException (see the file comment) when `point` is not acceptable on its own.
  static void CheckPoint(const ControlPoint& point);
  /// Throws MException when the list is not acceptable as a whole (each point, order, count).
  static void CheckPoints(const std::vector<ControlPoint>& points);

  MEnvelope() = default;

  int GetPointCount() const { return static_cast<int>(m_points.size()); }
  const std::vector<ControlPoint>& GetPoints() const { return m_points; }
  /// The point at `index`; throws MException outside 0..GetPointCount() - 1.
  const ControlPoint& GetPoint(int index) const;

  /// Replaces all points after checking them; throws and changes nothing when they fail.
  void SetPoints(std::vector<ControlPoint> points);
  /// Inserts the point after every point of a smaller or equal x; answers its index.
  int AddPoint(const ControlPoint& point);
  /// Replaces the point at `index`; the result must still be in order.
  void SetPoint(int index, const ControlPoint& point);
  /// Removes the point at `index`; throws MException outside the list.
  void RemovePoint(int index);

  /// The position where a generator starts reading the curve, and the second position value
  /// that travels with it (both copied by the computer).
  double GetStartPosition() const { return m_startPosition; }
  double GetSecondPosition() const { return m_secondPosition; }
  void SetPositions(double startPosition, double secondPosition);

  /// The value range; an envelope without points is the middle of it.
  double GetMinimum() const { return m_minimum; }
  double GetMaximum() const { return m_maximum; }
  void SetRange(double minimum, double maximum);

  /// Writes the envelope into `item` (attributes and one "Point" sub-item per point, earlier
  /// contents of those names replaced) with every double in 17 significant digits, so that a
  /// stored envelope reads back bit for bit.
  void Save(MXmlItem& item) const;
  /// Reads an envelope written by Save. Absent attributes read as their default; the point
  /// count, declared or (when absent) counted, must match the "Point" sub-items and lie within
  /// kMaxPoints; every number must be complete decimal text. Throws MException on any failure and then leaves
  /// the envelope unchanged.
  void Load(const MXmlItem& item);

private:
  std::vector<ControlPoint> m_points;
  double m_startPosition = 0.0;
  double m_secondPosition = 0.0;
  double m_minimum = 0.0;
  double m_maximum = 1.0;
};
