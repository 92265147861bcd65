// The grid placer: columns with their gaps, fill columns sharing the left-over width, empty
// columns, and the rows moving down.

#include "gui/MControl.h"
#include "gui/MGridPlacer.h"

#include <gtest/gtest.h>

TEST(MGridPlacer, RowsFollowTheirColumnsGapsAndFillsAndMoveDown)
{
  MControl a, b, c, d, e;
  MGridPlacer grid(MRect{10, 20, 111, 200}, 6, 4);
  grid.Skip(2);
  // 101 wide: 20 + 30 and the gaps (4, 6, 6) leave 35 to the two fills, the odd pixel to the last.
  const MGridColumn row[4] = {{20, 4}, {MGridColumn::kFill}, {MGridColumn::kFill}, {30}};
  grid.PlaceRow(row, {&a, &b, &c, nullptr}, 24);
  EXPECT_EQ(a.GetBounds(), MRect::FromSize(10, 22, 20, 24));
  EXPECT_EQ(b.GetBounds(), MRect::FromSize(34, 22, 17, 24));
  EXPECT_EQ(c.GetBounds(), MRect::FromSize(57, 22, 18, 24));
  EXPECT_EQ(grid.GetTop(), 22 + 24 + 4);

  // A row's own gap below; a control beyond the columns stays where it was.
  const MGridColumn narrow[1] = {{12}};
  grid.PlaceRow(narrow, {&e, &a}, 18, 0);
  EXPECT_EQ(e.GetBounds(), MRect::FromSize(10, 50, 12, 18));
  EXPECT_EQ(a.GetBounds(), MRect::FromSize(10, 22, 20, 24));

  // Fixed columns wider than the row: the fill's width is what the sum leaves (-21), so the
  // column after it lands where the arithmetic puts it, overlapping.
  const MGridColumn wide[3] = {{90}, {MGridColumn::kFill}, {20}};
  grid.PlaceRow(wide, {&b, &c, &d}, 24);
  EXPECT_EQ(d.GetBounds(), MRect::FromSize(91, 68, 20, 24));

  grid.PlaceWide(b, 30);
  EXPECT_EQ(b.GetBounds(), MRect::FromSize(10, 96, 101, 30));
  EXPECT_EQ(grid.GetTop(), 96 + 30 + 4);
}
