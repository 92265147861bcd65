#pragma once
// MLayoutCorner: four corner slots and four embedded side layouts around the free rectangle.
//
// Targets (names compared case-insensitively): "corner0" top-left, "corner1" top-right,
// "corner2" bottom-left, "corner3" bottom-right, and the bands "left", "top", "right",
// "bottom". A control added without a target goes to the "left" band; the per-control attribute
// "target" (LoadControlAttributes) moves it. A control put into an occupied corner replaces the
// old one, which leaves the layout. Any other target name throws MException
// "Invalid target for corner layout.".
//
// Arrangement: each corner control sits in its corner with its own size (less nothing: its
// border is kept inside that size). The top and bottom bands run between the corners of their
// edge, the left and right bands between the corners of theirs; each occupied corner shifts the
// adjacent bands by its size + g. The strip at an edge is as thick as the thickest of its band
// and its two corners; the free rectangle shrinks by each non-empty strip + g.
//
// Threads and failure: as MLayout.

#include "gui/layout/MLayoutSide.h"

#include <array>

class MLayoutCorner : public MLayout
{
public:
  enum Target : std::int32_t
  {
    Corner0 = 0, ///< top-left
    Corner1 = 1, ///< top-right
    Corner2 = 2, ///< bottom-left
    Corner3 = 3, ///< bottom-right
    TargetLeft = 4,
    TargetTop = 5,
    TargetRight = 6,
    TargetBottom = 7,
  };

  MLayoutCorner();
  /// Unlinks every control of the corners and bands.
  ~MLayoutCorner() override;

  /// Target of a name (see the file comment); throws MException "Invalid target for corner
  /// layout." for anything else.
  static Target ParseTarget(const MString& name);

  /// Reads "target" and moves the control there (it must be in this layout); throws for an
  /// unknown name, leaving the control where it was.
  void LoadControlAttributes(MControl& control, const MXmlItem& item) override;
  /// Adds to the "left" band.
  void AddControl(MControl& control) override;
  void RemoveControl(MControl& control) noexcept override;
  /// Adds (or moves) `control` to `target`.
  void AddControl(MControl& control, Target target);
  void AddControl(MControl& control, const MString& target) { AddControl(control, ParseTarget(target)); }

  /// The control in corner `index` (0..3); null when empty or out of range.
  MControl* GetCorner(std::int32_t index) const;
  /// The embedded band of MLayoutSide::Direction `direction` (0..3, clamped).
  const MLayoutSide& GetSide(std::int32_t direction) const;

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;

private:
  std::array<MControl*, 4> m_corners{};
  std::array<MLayoutSide, 4> m_sides{MLayoutSide(MLayoutSide::Left), MLayoutSide(MLayoutSide::Top),
                                     MLayoutSide(MLayoutSide::Right), MLayoutSide(MLayoutSide::Bottom)};
};
