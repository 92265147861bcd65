#pragma once
// MGridPlacer: places controls in rows of columns, top to bottom, for windows whose rows are
// described as data (a table of column widths per kind of row) rather than as coordinates.
//
// A row starts at the placer's left edge; its columns follow left to right, each `width` wide
// and followed by its own gap or the placer's column gap. A column of width kFill takes what the
// fixed columns and every gap leave of the placer's width (several fill columns share it, the
// last taking the odd pixels; when the fixed columns alone overflow the width, what is left and
// so the fill width is negative, and the control gets an empty rectangle). Each row moves the placer down by
// the row's height and the row gap (or the row's own gap below).
//
// Threads: GUI thread (it only calls SetBounds).

#include "gui/MGuiTypes.h"

#include <cstdint>
#include <initializer_list>
#include <span>

class MControl;

/// One column of a row.
struct MGridColumn
{
  /// `width` of a column that takes the row's left-over width.
  static constexpr std::int32_t kFill = -1;
  /// `gapAfter` of a column followed by the placer's column gap.
  static constexpr std::int32_t kColumnGap = -1;

  std::int32_t width = 0;
  std::int32_t gapAfter = kColumnGap;
};

class MGridPlacer
{
public:
  /// Rows from `area`'s top left corner, `area`'s width wide (for kFill columns).
  MGridPlacer(const MRect& area, std::int32_t columnGap, std::int32_t rowGap)
      : m_left(area.left), m_top(area.top), m_width(area.Width()), m_columnGap(columnGap), m_rowGap(rowGap)
  {}

  /// Sentinel of PlaceRow's `gapBelow`: the placer's row gap.
  static constexpr std::int32_t kRowGap = -1;

  /// Places `controls[i]` in column i of a row `height` high (a null control leaves its column
  /// empty; controls beyond the last column are not placed) and moves below the row.
  void PlaceRow(std::span<const MGridColumn> columns, std::span<MControl* const> controls,
                std::int32_t height, std::int32_t gapBelow = kRowGap);
  void PlaceRow(std::span<const MGridColumn> columns, std::initializer_list<MControl*> controls,
                std::int32_t height, std::int32_t gapBelow = kRowGap)
  {
    PlaceRow(columns, std::span<MControl* const>(controls.begin(), controls.size()), height, gapBelow);
  }
  /// One control across the whole width.
  void PlaceWide(MControl& control, std::int32_t height, std::int32_t gapBelow = kRowGap);

  /// Leaves `pixels` of air before the next row.
  void Skip(std::int32_t pixels) { m_top += pixels; }
  /// Where the next row starts.
  std::int32_t GetTop() const { return m_top; }

private:
  std::int32_t m_left;
  std::int32_t m_top;
  std::int32_t m_width;
  std::int32_t m_columnGap;
  std::int32_t m_rowGap;
};
