#include "gui/layout/MLayoutGrid.h"

#include "base/MXmlItem.h"
#include "gui/MControl.h"

#include <algorithm>
#include <cmath>

namespace
{

// Occupied cells, one bit per column and a word per row.
class MOccupancy
{
public:
  explicit MOccupancy(std::int32_t columns) : m_columns(columns) {}

  bool IsFree(std::int32_t column, std::int32_t row, std::int32_t columns, std::int32_t rows) const
  {
    if (column + columns > m_columns || row + rows > MLayoutGrid::kMaxRows)
      return false;
    const std::uint32_t mask = Mask(column, columns);
    for (std::int32_t r = row; r < row + rows && r < static_cast<std::int32_t>(m_rows.size()); ++r)
      if ((m_rows[r] & mask) != 0)
        return false;
    return true;
  }

  void Occupy(std::int32_t column, std::int32_t row, std::int32_t columns, std::int32_t rows)
  {
    if (static_cast<std::int32_t>(m_rows.size()) < row + rows)
      m_rows.resize(row + rows, 0);
    for (std::int32_t r = row; r < row + rows; ++r)
      m_rows[r] |= Mask(column, columns);
  }

private:
  static std::uint32_t Mask(std::int32_t column, std::int32_t columns)
  {
    const std::uint32_t bits = columns >= 32 ? 0xFFFFFFFFu : ((1u << columns) - 1u);
    return bits << column;
  }

  std::int32_t m_columns;
  std::vector<std::uint32_t> m_rows;
};

std::int32_t CeilDiv(std::int64_t a, std::int64_t b)
{
  return static_cast<std::int32_t>((a + b - 1) / b);
}

} // namespace

void MLayoutGrid::LoadAttributes(const MXmlItem& item)
{
  MLayout::LoadAttributes(item);
  MLayoutReadInteger(item, "columns", 0, kMaxColumns, m_columns);
  MLayoutReadInteger(item, "rows", 0, kMaxRows, m_rows);
  std::int32_t vertical = m_verticalFill ? 1 : 0;
  if (MLayoutReadInteger(item, "verticalfill", 0, 1, vertical))
    m_verticalFill = vertical != 0;
  MLayoutReadInteger(item, "columnspancount", 1, kMaxColumns, m_columnSpanCount);
}

void MLayoutGrid::LoadControlAttributes(MControl& control, const MXmlItem& item)
{
  for (Entry& entry : m_entries)
  {
    if (entry.control != &control)
      continue;
    MLayoutReadInteger(item, "hspan", 1, kMaxColumns, entry.hspan);
    MLayoutReadInteger(item, "vspan", 1, kMaxRows, entry.vspan);
  }
}

void MLayoutGrid::SetColumns(std::int32_t columns)
{
  m_columns = std::clamp(columns, 0, kMaxColumns);
}

void MLayoutGrid::SetRows(std::int32_t rows)
{
  m_rows = std::clamp(rows, 0, kMaxRows);
}

void MLayoutGrid::SetColumnSpanCount(std::int32_t span)
{
  m_columnSpanCount = std::clamp(span, 1, kMaxColumns);
}

void MLayoutGrid::SetSpan(const MControl& control, std::int32_t hspan, std::int32_t vspan)
{
  for (Entry& entry : m_entries)
    if (entry.control == &control)
    {
      entry.hspan = std::clamp(hspan, 0, kMaxColumns);
      entry.vspan = std::clamp(vspan, 1, kMaxRows);
    }
}

bool MLayoutGrid::GetCell(const MControl& control, Cell& cell) const
{
  if (!Contains(control))
    return false;
  cell = Cell{};
  for (const auto& [c, last] : m_lastCells)
    if (c == &control)
      cell = last;
  return true;
}

std::int32_t MLayoutGrid::AssignCells(const std::vector<const Entry*>& entries,
                                      std::vector<Cell>& cells) const
{
  std::int64_t cellCount = 0;
  for (const Entry* entry : entries)
    cellCount +=
        std::int64_t{std::clamp(entry->hspan > 0 ? entry->hspan : m_columnSpanCount, 1, kMaxColumns)} *
        std::clamp(entry->vspan, 1, kMaxRows);
  cellCount = std::max<std::int64_t>(cellCount, 1);
  std::int32_t columns = m_columns;
  if (columns == 0)
    columns = m_rows > 0 ? CeilDiv(cellCount, m_rows)
                         : static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(cellCount))));
  columns = std::clamp(columns, 1, kMaxColumns);
  const std::int32_t columnHeight =
      std::clamp(m_rows > 0 ? m_rows : CeilDiv(cellCount, columns), 1, kMaxRows);

  MOccupancy occupancy(columns);
  // Cursors: a position in column-major order inside the first columnHeight rows (vertical fill),
  // and a position in reading order.
  std::int64_t columnCursor = 0;
  std::int64_t readingCursor = m_verticalFill ? std::int64_t{columnHeight} * columns : 0;
  const std::int64_t columnEnd = std::int64_t{columnHeight} * columns;
  const std::int64_t readingEnd = std::int64_t{kMaxRows} * columns;
  std::int32_t rowsUsed = 0;
  cells.assign(entries.size(), Cell{});
  for (std::size_t i = 0; i < entries.size(); ++i)
  {
    const std::int32_t hspan =
        std::clamp(entries[i]->hspan > 0 ? entries[i]->hspan : m_columnSpanCount, 1, columns);
    const std::int32_t vspan = std::clamp(entries[i]->vspan, 1, kMaxRows);
    bool placed = false;
    if (m_verticalFill)
    {
      for (; columnCursor < columnEnd && !placed; ++columnCursor)
      {
        const auto column = static_cast<std::int32_t>(columnCursor / columnHeight);
        const auto row = static_cast<std::int32_t>(columnCursor % columnHeight);
        if (row + vspan <= columnHeight && occupancy.IsFree(column, row, hspan, vspan))
        {
          cells[i] = Cell{column, row, hspan, vspan};
          placed = true;
          columnCursor += vspan - 1; // the loop's step moves past the block
        }
      }
    }
    for (; readingCursor < readingEnd && !placed; ++readingCursor)
    {
      const auto row = static_cast<std::int32_t>(readingCursor / columns);
      const auto column = static_cast<std::int32_t>(readingCursor % columns);
      if (occupancy.IsFree(column, row, hspan, vspan))
      {
        cells[i] = Cell{column, row, hspan, vspan};
        placed = true;
        readingCursor += hspan - 1;
      }
    }
    if (placed)
    {
      occupancy.Occupy(cells[i].column, cells[i].row, hspan, vspan);
      rowsUsed = std::max(rowsUsed, cells[i].row + vspan);
    }
  }
  return rowsUsed;
}

MLayout::FreeRect MLayoutGrid::Run(SizeComputer& computer, const FreeRect& free, bool place)
{
  std::vector<const Entry*> entries;
  for (const Entry& entry : m_entries)
    if (TakesPart(*entry.control))
      entries.push_back(&entry);
  std::vector<Cell> cells;
  const std::int32_t rows = AssignCells(entries, cells);
  std::int32_t columns = 0;
  for (const Cell& cell : cells)
    columns = std::max(columns, cell.column + cell.columns);

  std::vector<Item> columnItems(columns);
  std::vector<Item> rowItems(rows);
  for (std::size_t i = 0; i < entries.size(); ++i)
  {
    const Cell& cell = cells[i];
    const MControl& control = *entries[i]->control;
    if (cell.columns == 1)
    {
      Item& item = columnItems[cell.column];
      item.extent = std::max(item.extent, computer.Width(control));
      item.ratio = std::max(item.ratio, ClampRatio(control.GetLayoutRatio().x));
    }
    if (cell.rows == 1 && cell.columns > 0)
    {
      Item& item = rowItems[cell.row];
      item.extent = std::max(item.extent, computer.Height(control));
      if (!control.IsCollapsed())
        item.ratio = std::max(item.ratio, ClampRatio(control.GetLayoutRatio().y));
    }
  }
  const std::int64_t g = computer.Spacing(m_layoutSpace);
  std::vector<Slot> columnSlots;
  std::vector<Slot> rowSlots;
  const std::int64_t needX =
      Distribute(columnItems, free.left, free.Width(), g, place ? &columnSlots : nullptr);
  const std::int64_t needY = Distribute(rowItems, free.top, free.Height(), g, place ? &rowSlots : nullptr);
  computer.NeedArea(needX, needY);

  m_lastCells.clear();
  for (std::size_t i = 0; i < entries.size(); ++i)
  {
    const Cell& cell = cells[i];
    m_lastCells.emplace_back(entries[i]->control, cell);
    if (!place || cell.columns == 0)
      continue;
    const Slot& first = columnSlots[cell.column];
    const Slot& last = columnSlots[cell.column + cell.columns - 1];
    const Slot& top = rowSlots[cell.row];
    const Slot& bottom = rowSlots[cell.row + cell.rows - 1];
    const FreeRect block{first.start, top.start, last.start + last.length - 1,
                         bottom.start + bottom.length - 1};
    Apply(*entries[i]->control, PlaceInCell(computer, *entries[i]->control, block));
  }
  return FreeRect{free.left, free.top, free.left - 1, free.top - 1};
}
