#include "gui/layout/MLayoutSwitch.h"

#include "gui/MControl.h"

#include <algorithm>

void MLayoutSwitch::Select(MControl& control)
{
  if (!Contains(control))
    return;
  for (const Entry& entry : m_entries)
    if (entry.control != &control)
      entry.control->SetVisible(false);
  control.SetVisible(true);
}

std::uint8_t MLayoutSwitch::GetControlFlags() const
{
  std::uint8_t flags = 0;
  for (const Entry& entry : m_entries)
    if (BelongsToContainer(*entry.control))
      flags |= FlagsOf(*entry.control);
  return flags;
}

MLayout::FreeRect MLayoutSwitch::Run(SizeComputer& computer, const FreeRect& free, bool place)
{
  std::int64_t needX = 0;
  std::int64_t needY = 0;
  MControl* shown = nullptr;
  for (const Entry& entry : m_entries)
  {
    if (!BelongsToContainer(*entry.control))
      continue;
    needX = std::max(needX, computer.Width(*entry.control));
    needY = std::max(needY, computer.Height(*entry.control));
    if (shown == nullptr && entry.control->IsVisible())
      shown = entry.control;
  }
  computer.NeedArea(needX, needY);
  if (shown == nullptr)
    return free;
  if (place)
    Apply(*shown, PlaceInCell(computer, *shown, free, true));
  if (shown->GetLayoutRatio().x > 0 && shown->GetLayoutRatio().y > 0)
    return FreeRect{free.left, free.top, free.left - 1, free.top - 1};
  return free;
}
