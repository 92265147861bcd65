#pragma once
// MLayoutGrid: cells in rows of at most 32 columns; each visible control takes a block of
// hspan x vspan cells.
//
// Attributes of the layout (LoadAttributes, strict decimal integers, clamped):
//  - "columns" (0..32): cells per row. 0 derives it: with "rows" > 0, enough columns for every
//    cell in that many rows; otherwise the smallest square that holds every cell.
//  - "rows" (0..kMaxRows): used with vertical fill only: the height of a column before the next
//    one starts (0: just enough rows for every cell in the columns).
//  - "verticalfill" (0/1): 0 fills in reading order (left to right, row by row); 1 fills top to
//    bottom, column by column; cells that do not fit in the columns continue in reading order
//    below them.
//  - "columnspancount" (1..32, default 1): hspan of controls without their own.
// Attributes of a control (LoadControlAttributes): "hspan" (cells across, 1..32) and "vspan"
// (cells down, 1..kMaxRows); spans are clamped to the grid's columns.
//
// Placement: a control takes the first block, in fill order and never before the block of the
// control before it, whose cells are all free (a block never wraps past the row's end). A control
// that finds no block within kMaxRows rows is not placed (keeps its position and size).
//
// Sizes: a column is as wide as the widest control that spans one column in it, and stretches by
// the largest ratio x among them; rows likewise with heights, vspan 1 and ratio y. Columns and
// rows are then distributed over the free rectangle exactly like controls of a client layout
// (fixed sizes, ratios with remainders to the last, g between them; empty columns are 0 wide).
// Spanning controls do not size columns or rows: they get the spanned cells and the gaps between
// them. Inside its block a control is placed like a control in its slot (ratio, border,
// placement). The grid uses the whole free rectangle and leaves an empty one.
//
// Threads and failure: as MLayout.

#include "gui/layout/MLayout.h"

#include <utility>
#include <vector>

class MLayoutGrid : public MLayout
{
public:
  static constexpr std::int32_t kMaxColumns = 32;
  static constexpr std::int32_t kMaxRows = 256;

  /// Where a control went in the last run (column and row of its top-left cell, spans); columns
  /// = 0 when it was not placed.
  struct Cell
  {
    std::int32_t column = 0;
    std::int32_t row = 0;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
  };

  /// Base attributes plus "columns", "rows", "verticalfill" and "columnspancount".
  void LoadAttributes(const MXmlItem& item) override;
  /// "hspan" and "vspan" of a control of this layout (others are ignored).
  void LoadControlAttributes(MControl& control, const MXmlItem& item) override;

  void SetColumns(std::int32_t columns);
  void SetRows(std::int32_t rows);
  void SetVerticalFill(bool verticalFill) { m_verticalFill = verticalFill; }
  void SetColumnSpanCount(std::int32_t span);
  /// Spans of a control of this layout (clamped; 0 hspan = the column span count).
  void SetSpan(const MControl& control, std::int32_t hspan, std::int32_t vspan);

  /// The cell of `control` in the last run; false when it is not in the layout.
  bool GetCell(const MControl& control, Cell& cell) const;

protected:
  FreeRect Run(SizeComputer& computer, const FreeRect& free, bool place) override;

private:
  /// Assigns blocks to `entries` (one Cell per entry); answers the number of rows used.
  std::int32_t AssignCells(const std::vector<const Entry*>& entries, std::vector<Cell>& cells) const;

  std::int32_t m_columns = 0;
  std::int32_t m_rows = 0;
  bool m_verticalFill = false;
  std::int32_t m_columnSpanCount = 1;
  std::vector<std::pair<const MControl*, Cell>> m_lastCells;
};
