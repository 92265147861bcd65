#pragma once
// Side and client layouts: the layouts that distribute their controls along one axis (see the
// distribution in MLayout.h).
//
//  - MLayoutSideBase: what both share; reads the per-control attribute "space" (the gap after the
//    control, pixels, clamped to 0..kMaxExtent).
//  - MLayoutSide (MLayoutLeft, MLayoutTop, MLayoutRight, MLayoutBottom): docks a band to one edge
//    of the free rectangle. The band is as thick as its thickest visible control (left and right
//    bands: the widest; top and bottom bands: the tallest); its controls are distributed along it
//    (left/right bands stack them top to bottom, top/bottom bands left to right). The free
//    rectangle then shrinks by the thickness + g at that edge. A band without visible controls
//    takes nothing (no gap either). When the band holds exactly one visible control and it is
//    plastic, that control's minimal client size across the band is first adapted to the band's
//    length (MLayoutPlastic).
//  - MLayoutClient (MLayoutHorizontal, MLayoutVertical): distributes its controls over the whole
//    free rectangle (orientation 0: side by side along x; otherwise one below another) and leaves
//    an empty rectangle.
//
// Threads and failure: as MLayout. A direction outside 0..3 throws MException
// "Invalid side-layout direction.".

#include "gui/layout/MLayout.h"

class MLayoutSideBase : public MLayout
{
public:
  /// Reads "space" (strict decimal, clamped to 0..kMaxExtent).
  void LoadControlAttributes(MControl& control, const MXmlItem& item) override;
};

class MLayoutSide : public MLayoutSideBase
{
public:
  enum Direction : std::int32_t
  {
    Left = 0,
    Top = 1,
    Right = 2,
    Bottom = 3,
  };

  /// Throws MException "Invalid side-layout direction." for a direction outside 0..3.
  explicit MLayoutSide(std::int32_t direction = Left);

  std::int32_t GetDirection() const { return m_direction; }
  /// Throws like the constructor; the direction is unchanged then.
  void SetDirection(std::int32_t direction);

  /// What a band took: its thickness and the length its controls need along it.
  struct Band
  {
    std::int64_t thickness = 0;
    std::int64_t length = 0;
    bool empty = true;
  };
  /// The band's work without reporting to the computer (the corner layout composes bands):
  /// measures (and places when `place`) and answers the free rectangle left.
  FreeRect RunBand(SizeComputer& computer, const FreeRect& free, bool place, Band& band);

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;

private:
  std::int32_t m_direction;
};

class MLayoutLeft : public MLayoutSide
{
public:
  MLayoutLeft() : MLayoutSide(Left) {}
};

class MLayoutTop : public MLayoutSide
{
public:
  MLayoutTop() : MLayoutSide(Top) {}
};

class MLayoutRight : public MLayoutSide
{
public:
  MLayoutRight() : MLayoutSide(Right) {}
};

class MLayoutBottom : public MLayoutSide
{
public:
  MLayoutBottom() : MLayoutSide(Bottom) {}
};

class MLayoutClient : public MLayoutSideBase
{
public:
  /// 0: controls side by side (along x); any other value: one below another.
  explicit MLayoutClient(std::int32_t orientation = 0) : m_orientation(orientation) {}

  std::int32_t GetOrientation() const { return m_orientation; }
  void SetOrientation(std::int32_t orientation) { m_orientation = orientation; }

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;

private:
  std::int32_t m_orientation;
};

class MLayoutHorizontal : public MLayoutClient
{
public:
  MLayoutHorizontal() : MLayoutClient(0) {}
};

class MLayoutVertical : public MLayoutClient
{
public:
  MLayoutVertical() : MLayoutClient(1) {}
};
