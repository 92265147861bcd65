#include "gui/layout/MLayoutSide.h"

#include "base/MException.h"
#include "gui/MControl.h"

#include <algorithm>

void MLayoutSideBase::LoadControlAttributes(MControl& control, const MXmlItem& item)
{
  std::int32_t space = control.GetLayoutSpace();
  if (MLayoutReadInteger(item, "space", 0, kMaxExtent, space))
    control.SetLayoutSpace(space);
}

MLayoutSide::MLayoutSide(std::int32_t direction) : m_direction(Left)
{
  SetDirection(direction);
}

void MLayoutSide::SetDirection(std::int32_t direction)
{
  if (direction < Left || direction > Bottom)
    throw MException(MString("Invalid side-layout direction."));
  m_direction = direction;
}

MLayout::FreeRect MLayoutSide::RunBand(SizeComputer& computer, const FreeRect& free, bool place, Band& band)
{
  band = Band{};
  const std::vector<MControl*> controls = PartakingControls();
  if (controls.empty())
    return free;
  const bool vertical = m_direction == Left || m_direction == Right;
  const Axis thicknessAxis = vertical ? Axis::X : Axis::Y;
  const Axis along = vertical ? Axis::Y : Axis::X;
  const std::int64_t g = computer.Spacing(m_layoutSpace);

  std::int64_t thickness = 0;
  if (controls.size() == 1 && controls[0]->HasFlag(MControl::FlagPlastic))
  {
    // The one plastic control of a band adapts its minimal client size across the band to the
    // band's length (a wrapped text in a top band gets the height its lines need).
    MControl& control = *controls[0];
    std::int32_t client = 0;
    thickness = PlasticExtent(computer, control, thicknessAxis, free.Extent(along), &client);
    if (place)
    {
      MSize minimal = control.GetMinimalClientSize();
      (thicknessAxis == Axis::X ? minimal.x : minimal.y) = client;
      control.SetMinimalClientSize(minimal);
    }
  }
  else
  {
    for (const MControl* control : controls)
      thickness = std::max(thickness, computer.Extent(*control, thicknessAxis));
  }

  FreeRect bandRect = free;
  FreeRect rest = free;
  switch (m_direction)
  {
  case Left:
    bandRect.right = free.left + thickness - 1;
    rest.left = free.left + thickness + g;
    break;
  case Right:
    bandRect.left = free.right - thickness + 1;
    rest.right = free.right - thickness - g;
    break;
  case Top:
    bandRect.bottom = free.top + thickness - 1;
    rest.top = free.top + thickness + g;
    break;
  default:
    bandRect.top = free.bottom - thickness + 1;
    rest.bottom = free.bottom - thickness - g;
    break;
  }
  const LineNeed need = DistributeLine(computer, controls, bandRect, along, g, place);
  band.thickness = thickness;
  band.length = need.along;
  band.empty = false;
  return rest;
}

MLayout::FreeRect MLayoutSide::Run(SizeComputer& computer, const FreeRect& free, bool place)
{
  Band band;
  const FreeRect rest = RunBand(computer, free, place, band);
  if (!band.empty)
    computer.NeedBand(m_direction == Left || m_direction == Right ? Axis::X : Axis::Y, band.thickness,
                      band.length, computer.Spacing(m_layoutSpace));
  return rest;
}

MLayout::FreeRect MLayoutClient::Run(SizeComputer& computer, const FreeRect& free, bool place)
{
  const Axis along = m_orientation == 0 ? Axis::X : Axis::Y;
  const LineNeed need =
      DistributeLine(computer, PartakingControls(), free, along, computer.Spacing(m_layoutSpace), place);
  if (along == Axis::X)
    computer.NeedArea(need.along, need.across);
  else
    computer.NeedArea(need.across, need.along);
  return FreeRect{free.left, free.top, free.left - 1, free.top - 1};
}
