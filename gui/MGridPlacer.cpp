#include "gui/MGridPlacer.h"

#include "gui/MControl.h"

void MGridPlacer::PlaceRow(std::span<const MGridColumn> columns, std::span<MControl* const> controls,
                           std::int32_t height, std::int32_t gapBelow)
{
  // What the fixed columns and the gaps leave goes to the fill columns.
  std::int64_t left = m_width;
  std::int32_t fills = 0;
  for (std::size_t i = 0; i < columns.size(); ++i)
  {
    const MGridColumn& column = columns[i];
    if (column.width == MGridColumn::kFill)
      ++fills;
    else
      left -= column.width;
    if (i + 1 < columns.size())
      left -= column.gapAfter == MGridColumn::kColumnGap ? m_columnGap : column.gapAfter;
  }
  const auto share = static_cast<std::int32_t>(fills > 0 ? left / fills : 0);

  std::int32_t x = m_left;
  std::int32_t fillsSeen = 0;
  for (std::size_t i = 0; i < columns.size(); ++i)
  {
    const MGridColumn& column = columns[i];
    std::int32_t width = column.width;
    if (width == MGridColumn::kFill)
      width =
          ++fillsSeen == fills ? static_cast<std::int32_t>(left - std::int64_t{share} * (fills - 1)) : share;
    if (i < controls.size() && controls[i] != nullptr)
      controls[i]->SetBounds(MRect::FromSize(x, m_top, width, height));
    x += width + (column.gapAfter == MGridColumn::kColumnGap ? m_columnGap : column.gapAfter);
  }
  m_top += height + (gapBelow == kRowGap ? m_rowGap : gapBelow);
}

void MGridPlacer::PlaceWide(MControl& control, std::int32_t height, std::int32_t gapBelow)
{
  static constexpr MGridColumn kWhole[1] = {{MGridColumn::kFill}};
  MControl* const controls[1] = {&control};
  PlaceRow(kWhole, controls, height, gapBelow);
}
