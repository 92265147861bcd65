#include "gui/layout/MLayoutCorner.h"

#include "base/MException.h"
#include "base/MXmlItem.h"
#include "gui/MControl.h"

#include <algorithm>

namespace
{

constexpr const char* kTargetNames[] = {"corner0", "corner1", "corner2", "corner3",
                                        "left",    "top",     "right",   "bottom"};

} // namespace

MLayoutCorner::MLayoutCorner() = default;

MLayoutCorner::~MLayoutCorner()
{
  // The bands hold the controls without the link; the base destructor unlinks the rest.
  for (const Entry& entry : m_entries)
    if (LinkOf(*entry.control) == this)
      Link(*entry.control, nullptr);
  m_entries.clear();
}

MLayoutCorner::Target MLayoutCorner::ParseTarget(const MString& name)
{
  for (std::int32_t i = 0; i < 8; ++i)
    if (name.EqualsName(MString::FromLiteral(kTargetNames[i])))
      return static_cast<Target>(i);
  throw MException(MString("Invalid target for corner layout."));
}

void MLayoutCorner::LoadControlAttributes(MControl& control, const MXmlItem& item)
{
  if (item.HasAttribute("target"))
    AddControl(control, ParseTarget(item.GetAttribute()));
}

void MLayoutCorner::AddControl(MControl& control)
{
  AddControl(control, TargetLeft);
}

void MLayoutCorner::AddControl(MControl& control, Target target)
{
  if (target < Corner0 || target > TargetBottom)
    throw MException(MString("Invalid target for corner layout."));
  Adopt(control); // leaves its previous slot (of this layout too) first
  if (target <= Corner3)
  {
    if (MControl* old = m_corners[target])
      RemoveControl(*old);
    m_corners[target] = &control;
  }
  else
  {
    constexpr std::int32_t kDirection[] = {MLayoutSide::Left, MLayoutSide::Top, MLayoutSide::Right,
                                           MLayoutSide::Bottom};
    AppendUnlinked(m_sides[kDirection[target - TargetLeft]], control, *this);
  }
}

void MLayoutCorner::RemoveControl(MControl& control) noexcept
{
  for (MControl*& corner : m_corners)
    if (corner == &control)
      corner = nullptr;
  for (MLayoutSide& side : m_sides)
    side.RemoveControl(control);
  MLayout::RemoveControl(control);
}

MControl* MLayoutCorner::GetCorner(std::int32_t index) const
{
  return index >= 0 && index < 4 ? m_corners[index] : nullptr;
}

const MLayoutSide& MLayoutCorner::GetSide(std::int32_t direction) const
{
  return m_sides[std::clamp(direction, 0, 3)];
}

MLayout::FreeRect MLayoutCorner::Run(SizeComputer& computer, const FreeRect& free, bool place)
{
  const std::int64_t g = computer.Spacing(m_layoutSpace);
  for (MLayoutSide& side : m_sides)
    side.SetLayoutSpace(m_layoutSpace);

  bool present[4];
  std::int64_t w[4];
  std::int64_t h[4];
  for (int k = 0; k < 4; ++k)
  {
    const MControl* c = m_corners[k];
    present[k] = c != nullptr && TakesPart(*c);
    w[k] = present[k] ? computer.Width(*c) : 0;
    h[k] = present[k] ? computer.Height(*c) : 0;
  }
  // How far an occupied corner pushes the band next to it.
  const auto shiftX = [&](int k) { return present[k] ? w[k] + g : 0; };
  const auto shiftY = [&](int k) { return present[k] ? h[k] + g : 0; };

  MLayoutSide::Band left, top, right, bottom;
  m_sides[MLayoutSide::Top].RunBand(
      computer, FreeRect{free.left + shiftX(0), free.top, free.right - shiftX(1), free.bottom}, place, top);
  m_sides[MLayoutSide::Bottom].RunBand(
      computer, FreeRect{free.left + shiftX(2), free.top, free.right - shiftX(3), free.bottom}, place,
      bottom);
  m_sides[MLayoutSide::Left].RunBand(
      computer, FreeRect{free.left, free.top + shiftY(0), free.right, free.bottom - shiftY(2)}, place, left);
  m_sides[MLayoutSide::Right].RunBand(
      computer, FreeRect{free.left, free.top + shiftY(1), free.right, free.bottom - shiftY(3)}, place, right);

  if (place)
  {
    const FreeRect cells[4] = {
        FreeRect{free.left, free.top, free.left + w[0] - 1, free.top + h[0] - 1},
        FreeRect{free.right - w[1] + 1, free.top, free.right, free.top + h[1] - 1},
        FreeRect{free.left, free.bottom - h[2] + 1, free.left + w[2] - 1, free.bottom},
        FreeRect{free.right - w[3] + 1, free.bottom - h[3] + 1, free.right, free.bottom},
    };
    for (int k = 0; k < 4; ++k)
      if (present[k])
        Apply(*m_corners[k], PlaceInCell(computer, *m_corners[k], cells[k]));
  }

  const std::int64_t stripLeft = std::max({left.thickness, w[0], w[2]});
  const std::int64_t stripRight = std::max({right.thickness, w[1], w[3]});
  const std::int64_t stripTop = std::max({top.thickness, h[0], h[1]});
  const std::int64_t stripBottom = std::max({bottom.thickness, h[2], h[3]});

  // Need: each edge's corners and band side by side; then the strips narrow what follows.
  const std::int64_t rowNeed =
      std::max(shiftX(0) + top.length + shiftX(1), shiftX(2) + bottom.length + shiftX(3));
  const std::int64_t columnNeed =
      std::max(shiftY(0) + left.length + shiftY(2), shiftY(1) + right.length + shiftY(3));
  computer.NeedArea(rowNeed, columnNeed);
  const auto gapAfter = [g](std::int64_t strip) { return strip > 0 ? strip + g : 0; };
  if (stripLeft > 0)
    computer.NeedBand(Axis::X, stripLeft, 0, g);
  if (stripRight > 0)
    computer.NeedBand(Axis::X, stripRight, 0, g);
  if (stripTop > 0)
    computer.NeedBand(Axis::Y, stripTop, 0, g);
  if (stripBottom > 0)
    computer.NeedBand(Axis::Y, stripBottom, 0, g);

  return FreeRect{free.left + gapAfter(stripLeft), free.top + gapAfter(stripTop),
                  free.right - gapAfter(stripRight), free.bottom - gapAfter(stripBottom)};
}
