#include "gui/layout/MLayoutOccupyBorder.h"

#include "base/MException.h"
#include "base/MFormat.h"

void MLayoutOccupyBorder::AddControl(MControl&)
{
  const MString context("add control to occupy-space layout");
  throw MException(context, MFormat::Format("Service \"{0}\" is not implemented.", context));
}

MLayout::FreeRect MLayoutOccupyBorder::Run(SizeComputer& computer, const FreeRect& free, bool)
{
  const std::int64_t x = ClampExtent(m_defaultBorder.x);
  const std::int64_t y = ClampExtent(m_defaultBorder.y);
  computer.NeedMargin(x, y);
  return FreeRect{free.left + x, free.top + y, free.right - x, free.bottom - y};
}
