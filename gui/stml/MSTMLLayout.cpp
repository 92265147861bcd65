// Layout and drawing of STML documents, and the resources they read.
//
// Metrics: lines are as high as their tallest font line or object; paragraphs are separated by
// a third of a normal line; list items are indented by 16 pixels with a bullet in the indent;
// table cells are separated by the row's "cellspaces" (default 4) and padded by "padding"; a
// cell border is drawn inside the cell in the style's Shape colour.

#include "gui/stml/MSTML.h"

#include "base/MEnumerations.h"
#include "gui/MDrawer.h"
#include "gui/MFont.h"
#include "gui/MStyle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace
{
constexpr std::int32_t kMaxWidth = 16384;
constexpr std::int32_t kListIndent = 16;
constexpr std::int32_t kStdIconSize = 16;

const MFont& DefaultFont(MStdFont font)
{
  static const std::array<std::unique_ptr<MFont>, kStdFontCount> fonts = [] {
    std::array<std::unique_ptr<MFont>, kStdFontCount> made;
    const struct
    {
      std::int32_t height;
      bool bold;
      bool italic;
    } kFonts[kStdFontCount] = {{13, false, false}, {13, true, false},  {13, false, true},
                               {11, false, false}, {15, false, false}, {18, false, false},
                               {22, false, false}, {28, false, false}};
    for (int i = 0; i < kStdFontCount; ++i)
    {
      MFontDescriptor descriptor;
      descriptor.pixelHeight = kFonts[i].height;
      descriptor.bold = kFonts[i].bold;
      descriptor.italic = kFonts[i].italic;
      made[static_cast<std::size_t>(i)] = std::make_unique<MFont>(descriptor);
    }
    return made;
  }();
  const auto index = static_cast<std::size_t>(font);
  return *fonts[index < fonts.size() ? index : 0];
}

std::int32_t Clamp(std::int64_t value, std::int64_t low, std::int64_t high)
{
  return static_cast<std::int32_t>(std::clamp(value, low, high));
}
} // namespace

// --- resources ------------------------------------------------------------------------------

const MFont& MSTMLResources::GetFont(MStdFont font) const
{
  return m_style != nullptr ? m_style->GetFont(font) : DefaultFont(font);
}

MColor MSTMLResources::GetColor(MStdColor color) const
{
  if (m_style != nullptr)
    return m_style->GetColor(color);
  static constexpr MColor kColors[kStdColorCount] = {
      {0xE6, 0xE6, 0xE6, 0xFF}, // text
      {0x4A, 0x50, 0x5A, 0xFF}, // shape
      {0xFF, 0xA0, 0x28, 0xFF}, // highlight
      {0xF4, 0xF4, 0xF4, 0xFF}, // light
      {0x15, 0x17, 0x1B, 0xFF}, // dark
      {0xE8, 0x55, 0x4E, 0xFF}, // red
      {0x5C, 0xC8, 0x6E, 0xFF}, // green
      {0x4A, 0x9E, 0xEA, 0xFF}, // blue
  };
  const auto index = static_cast<std::size_t>(color);
  return index < std::size(kColors) ? kColors[index] : kColors[0];
}

bool MSTMLResources::GetConstant(const MString& name, std::int32_t& value) const
{
  if (name.EqualsName("MaxStdIconSizeX") || name.EqualsName("MaxStdIconSizeY"))
  {
    value = kStdIconSize;
    return true;
  }
  static const struct
  {
    const char* name;
    std::int32_t metric;
    std::int32_t fallback;
  } kMetrics[] = {
      {"Spacing", MStyle::MetricSpacing, 4},      {"Border", MStyle::MetricBorder, 1},
      {"RowHeight", MStyle::MetricRowHeight, 20}, {"ScrollBar", MStyle::MetricScrollBar, 14},
      {"KnobSize", MStyle::MetricKnobSize, 40},   {"ButtonHeight", MStyle::MetricButtonHeight, 24},
  };
  for (const auto& metric : kMetrics)
  {
    if (name.EqualsName(MString::FromLiteral(metric.name)))
    {
      value = m_style != nullptr ? m_style->GetMetric(metric.metric) : metric.fallback;
      value = std::clamp(value, 0, kMaxWidth);
      return true;
    }
  }
  return false;
}

std::int32_t MSTMLSize::Resolve(std::int32_t available, std::int32_t fallback,
                                const MSTMLResources& resources) const
{
  if (!given)
    return fallback;
  if (!constant.IsEmpty())
  {
    std::int32_t named = 0;
    return resources.GetConstant(constant, named) ? named : fallback;
  }
  if (percent)
    return Clamp(std::int64_t(std::max(available, 0)) * value / 100, 0, kMaxWidth);
  return value;
}

// --- layout ---------------------------------------------------------------------------------

class MSTMLLayouter
{
public:
  explicit MSTMLLayouter(const MSTMLResources& resources) : m_resources(resources) {}

  /// Lays the items out from (x, y) within `width`; answers the height; widens `right`.
  std::int32_t Container(MSTMLContainer& container, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t& right)
  {
    std::int32_t top = y;
    const MSTMLItem* previous = nullptr;
    const std::int32_t gap = m_resources.GetFont(MStdFont::Normal).LineHeight() / 3;
    for (std::size_t i = 0; i < container.GetItemCount(); ++i)
    {
      MSTMLItem& item = container.GetItem(i);
      std::int32_t height = 0;
      if (item.GetKind() == MSTMLItem::Kind::Paragraph)
      {
        auto& paragraph = static_cast<MSTMLParagraph&>(item);
        if (paragraph.IsEmpty())
        {
          paragraph.placed.clear();
          item.m_bounds = MRect{x, y, x + width, y};
          continue;
        }
        if (previous != nullptr && previous->GetKind() == MSTMLItem::Kind::Paragraph && !paragraph.listItem)
          y += gap;
        height = Paragraph(paragraph, x, y, width, right);
      }
      else if (item.GetKind() == MSTMLItem::Kind::TableRow)
      {
        height = Row(static_cast<MSTMLTableRow&>(item), x, y, width, right);
      }
      y = Clamp(std::int64_t(y) + height, INT32_MIN / 2, INT32_MAX / 2);
      previous = &item;
    }
    container.m_bounds = MRect{x, top, x + width, y};
    return y - top;
  }

  /// Width the content takes unwrapped.
  std::int32_t Natural(const MSTMLItem& item)
  {
    switch (item.GetKind())
    {
    case MSTMLItem::Kind::Paragraph:
    {
      const auto& paragraph = static_cast<const MSTMLParagraph&>(item);
      std::int64_t width = paragraph.listItem ? kListIndent : 0;
      for (const MSTMLParagraph::Element& element : paragraph.elements)
      {
        if (element.object != nullptr)
          width += ObjectWidth(*element.object, 0);
        else
          width += m_resources.GetFont(element.run.font).TextWidth(element.run.text);
      }
      return Clamp(width, 0, kMaxWidth);
    }
    case MSTMLItem::Kind::TableRow:
    {
      const auto& row = static_cast<const MSTMLTableRow&>(item);
      std::int64_t width = 0;
      for (const auto& cell : row.cells)
      {
        const std::int32_t padding = cell->padding >= 0 ? cell->padding : row.padding;
        if (cell->width.given && !cell->width.percent)
          width += cell->width.Resolve(0, 0, m_resources);
        else
          width += Natural(*cell) + 2 * padding;
      }
      if (!row.cells.empty())
        width += std::int64_t(row.cellSpaces) * std::int64_t(row.cells.size() - 1);
      return Clamp(width, 0, kMaxWidth);
    }
    case MSTMLItem::Kind::TableCell:
    case MSTMLItem::Kind::Document:
    {
      const auto& container = static_cast<const MSTMLContainer&>(item);
      std::int32_t width = 0;
      for (std::size_t i = 0; i < container.GetItemCount(); ++i)
        width = std::max(width, Natural(container.GetItem(i)));
      return width;
    }
    default:
      return 0;
    }
  }

private:
  std::int32_t ObjectWidth(const MSTMLObject& object, std::int32_t available) const
  {
    std::int32_t fallback = 10;
    switch (object.GetKind())
    {
    case MSTMLItem::Kind::Image:
      fallback = kStdIconSize;
      break;
    case MSTMLItem::Kind::Line:
    case MSTMLItem::Kind::Indicator:
      fallback = available; // the whole line
      break;
    default:
      break;
    }
    return Clamp(std::int64_t(object.width.Resolve(available, fallback, m_resources)) + 2 * object.hspace, 0,
                 kMaxWidth);
  }

  std::int32_t ObjectHeight(const MSTMLObject& object, std::int32_t lineHeight) const
  {
    std::int32_t fallback = 10;
    switch (object.GetKind())
    {
    case MSTMLItem::Kind::Image:
      fallback = kStdIconSize;
      break;
    case MSTMLItem::Kind::Line:
      fallback = static_cast<const MSTMLLine&>(object).size;
      break;
    case MSTMLItem::Kind::Indicator:
      fallback = 12;
      break;
    default:
      break;
    }
    return Clamp(std::int64_t(object.height.Resolve(lineHeight, fallback, m_resources)) + 2 * object.vspace,
                 0, kMaxWidth);
  }

  struct Piece
  {
    std::int32_t element = 0;
    std::int32_t start = 0;
    std::int32_t length = 0; ///< the word, without the blank after it
    std::int32_t width = 0;
    std::int32_t blank = 0;  ///< width of the blank after it
    std::int32_t height = 0; ///< objects
    bool object = false;
  };

  void Split(const MSTMLParagraph& paragraph, std::int32_t width)
  {
    m_pieces.clear();
    const MFont* spaceFont = nullptr;
    std::int32_t spaceWidth = 0;
    for (std::size_t e = 0; e < paragraph.elements.size(); ++e)
    {
      const MSTMLParagraph::Element& element = paragraph.elements[e];
      if (element.object != nullptr)
      {
        Piece piece;
        piece.element = static_cast<std::int32_t>(e);
        piece.width = ObjectWidth(*element.object, width);
        piece.object = true;
        m_pieces.push_back(piece);
        continue;
      }
      const MFont& font = m_resources.GetFont(element.run.font);
      if (&font != spaceFont)
      {
        spaceFont = &font;
        spaceWidth = font.TextWidth(MString(" "));
      }
      const MString& text = element.run.text;
      const std::int32_t length = text.Length();
      for (std::int32_t i = 0; i < length;)
      {
        std::int32_t end = i;
        while (end < length && text.At(end) != u' ')
          ++end;
        Piece piece;
        piece.element = static_cast<std::int32_t>(e);
        piece.start = i;
        piece.length = end - i;
        piece.width = piece.length > 0 ? font.TextWidth(text.Substring(i, piece.length)) : 0;
        if (end < length)
        {
          piece.blank = spaceWidth;
          ++end;
        }
        m_pieces.push_back(piece);
        i = end;
      }
    }
  }

  std::int32_t Paragraph(MSTMLParagraph& paragraph, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t& right)
  {
    paragraph.placed.clear();
    const std::int32_t indent = paragraph.listItem ? std::min(kListIndent, width) : 0;
    const std::int32_t left = x + indent;
    const std::int32_t room = std::max(width - indent, 0);
    Split(paragraph, room);
    const std::int32_t top = y;
    std::size_t first = 0;
    const std::int32_t normalLine = m_resources.GetFont(MStdFont::Normal).LineHeight();
    while (first < m_pieces.size())
    {
      // Take pieces while they fit (always at least one, so every line makes progress).
      std::size_t last = first;
      std::int64_t used = m_pieces[first].width;
      while (last + 1 < m_pieces.size())
      {
        const std::int64_t next = used + m_pieces[last].blank + m_pieces[last + 1].width;
        if (!paragraph.singleLine && next > room)
          break;
        used = next;
        ++last;
      }
      // Line height: fonts and objects on it.
      std::int32_t ascent = 0, descent = 0, objects = 0;
      bool text = false;
      for (std::size_t i = first; i <= last; ++i)
      {
        const MSTMLParagraph::Element& element =
            paragraph.elements[static_cast<std::size_t>(m_pieces[i].element)];
        if (element.object != nullptr)
          continue;
        const MFont& font = m_resources.GetFont(element.run.font);
        ascent = std::max(ascent, font.Ascent());
        descent = std::max(descent, font.Descent());
        text = true;
      }
      for (std::size_t i = first; i <= last; ++i)
      {
        const MSTMLParagraph::Element& element =
            paragraph.elements[static_cast<std::size_t>(m_pieces[i].element)];
        if (element.object != nullptr)
        {
          m_pieces[i].height = ObjectHeight(*element.object, text ? ascent + descent : normalLine);
          objects = std::max(objects, m_pieces[i].height);
        }
      }
      const std::int32_t lineHeight = std::max(text ? ascent + descent : 0, objects);
      const std::int32_t baseline = y + lineHeight - descent;
      // Horizontal placement.
      const bool lastLine = last + 1 >= m_pieces.size();
      const std::int64_t extra = std::max<std::int64_t>(room - used, 0);
      std::int64_t pen = left;
      std::int64_t stretch = 0;
      const std::size_t gaps = last - first;
      if (paragraph.justify && !lastLine && gaps > 0)
        stretch = extra;
      else if ((paragraph.alignment & MAlign::HMask) == MAlign::HCenter)
        pen += extra / 2;
      else if ((paragraph.alignment & MAlign::HMask) == MAlign::Right)
        pen += extra;
      else if (first == last && m_pieces[first].object)
      {
        // An object alone on its line may place itself.
        const auto& object = *paragraph.elements[static_cast<std::size_t>(m_pieces[first].element)].object;
        if ((object.align & MAlign::HMask) == MAlign::HCenter)
          pen += extra / 2;
        else if ((object.align & MAlign::HMask) == MAlign::Right)
          pen += extra;
      }
      for (std::size_t i = first; i <= last; ++i)
      {
        const Piece& piece = m_pieces[i];
        const MSTMLParagraph::Element& element = paragraph.elements[static_cast<std::size_t>(piece.element)];
        const std::int32_t px = Clamp(pen, INT32_MIN / 4, INT32_MAX / 4);
        if (piece.object)
        {
          const MSTMLObject& object = *element.object;
          std::int32_t oy = y + (lineHeight - piece.height) / 2;
          if ((object.valign & MAlign::VMask) == MAlign::Top)
            oy = y;
          else if ((object.valign & MAlign::VMask) == MAlign::Bottom)
            oy = y + lineHeight - piece.height;
          const MRect box = MRect{px + object.hspace, oy + object.vspace, px + piece.width - object.hspace,
                                  oy + piece.height - object.vspace};
          paragraph.placed.push_back(MSTMLParagraph::Placed{piece.element, 0, 0, box, baseline});
        }
        else if (piece.length > 0)
        {
          const MFont& font = m_resources.GetFont(element.run.font);
          MSTMLParagraph::Placed* previous = paragraph.placed.empty() ? nullptr : &paragraph.placed.back();
          if (stretch == 0 && previous != nullptr && previous->element == piece.element &&
              previous->rect.top == baseline - font.Ascent())
          {
            // The same run continues on this line: one piece of text, blanks included.
            previous->length = piece.start + piece.length - previous->start;
            previous->rect.right = px + piece.width;
          }
          else
          {
            paragraph.placed.push_back(MSTMLParagraph::Placed{
                piece.element, piece.start, piece.length,
                MRect{px, baseline - font.Ascent(), px + piece.width, baseline + font.Descent()}, baseline});
          }
        }
        pen += piece.width;
        if (i < last)
        {
          pen += piece.blank;
          if (stretch > 0)
            pen += stretch / std::int64_t(gaps) +
                   (std::int64_t(i - first) < stretch % std::int64_t(gaps) ? 1 : 0);
        }
      }
      right = std::max(right, Clamp(pen, INT32_MIN / 4, INT32_MAX / 4));
      y += lineHeight;
      first = last + 1;
    }
    paragraph.m_bounds = MRect{x, top, x + width, y};
    return y - top;
  }

  std::int32_t Row(MSTMLTableRow& row, std::int32_t x, std::int32_t y, std::int32_t width,
                   std::int32_t& right)
  {
    const std::size_t count = row.cells.size();
    std::vector<std::int32_t> widths(count, -1);
    const std::int64_t spaces = count > 0 ? std::int64_t(row.cellSpaces) * std::int64_t(count - 1) : 0;
    const std::int32_t available = Clamp(std::int64_t(width) - spaces, 0, kMaxWidth);
    std::int64_t fixed = 0;
    std::size_t flexible = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
      const MSTMLTableCell& cell = *row.cells[i];
      const std::int32_t padding = cell.padding >= 0 ? cell.padding : row.padding;
      if (cell.width.given)
        widths[i] = cell.width.Resolve(available, 0, m_resources);
      else if (cell.autosize)
        widths[i] = Clamp(std::int64_t(Natural(cell)) + 2 * padding, 0, kMaxWidth);
      if (widths[i] >= 0)
        fixed += widths[i];
      else
        ++flexible;
    }
    const std::int64_t rest = std::max<std::int64_t>(available - fixed, 0);
    std::size_t flexibleIndex = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
      if (widths[i] >= 0)
        continue;
      ++flexibleIndex;
      const std::int64_t share = rest / std::int64_t(flexible);
      widths[i] =
          Clamp(flexibleIndex == flexible ? rest - share * std::int64_t(flexible - 1) : share, 0, kMaxWidth);
    }
    std::int32_t height = row.height;
    std::vector<std::int32_t> contentHeights(count, 0);
    std::int64_t cx = x;
    for (std::size_t i = 0; i < count; ++i)
    {
      MSTMLTableCell& cell = *row.cells[i];
      const std::int32_t padding = std::min(cell.padding >= 0 ? cell.padding : row.padding, widths[i] / 2);
      const std::int32_t left = Clamp(cx, INT32_MIN / 4, INT32_MAX / 4);
      std::int32_t cellRight = left;
      contentHeights[i] = Container(cell, left + padding, y + padding, widths[i] - 2 * padding, cellRight);
      height = std::max(height, Clamp(std::int64_t(contentHeights[i]) + 2 * padding, 0, INT32_MAX / 4));
      cx += widths[i] + row.cellSpaces;
    }
    cx = x;
    for (std::size_t i = 0; i < count; ++i)
    {
      MSTMLTableCell& cell = *row.cells[i];
      const std::int32_t padding = std::min(cell.padding >= 0 ? cell.padding : row.padding, widths[i] / 2);
      const std::int32_t free = std::max(height - 2 * padding - contentHeights[i], 0);
      std::int32_t shift = 0;
      if ((cell.valign & MAlign::VMask) == MAlign::VCenter)
        shift = free / 2;
      else if ((cell.valign & MAlign::VMask) == MAlign::Bottom)
        shift = free;
      if (shift != 0)
        Shift(cell, shift);
      const std::int32_t left = Clamp(cx, INT32_MIN / 4, INT32_MAX / 4);
      cell.m_bounds = MRect{left, y, left + widths[i], y + height};
      cx += widths[i] + row.cellSpaces;
    }
    right = std::max(right, Clamp(cx - (count > 0 ? row.cellSpaces : 0), INT32_MIN / 4, INT32_MAX / 4));
    row.m_bounds = MRect{x, y, x + width, y + height};
    return height;
  }

  /// Moves an item's layout down by `dy`.
  static void Shift(MSTMLItem& item, std::int32_t dy)
  {
    item.m_bounds = item.m_bounds.Offset(0, dy);
    switch (item.GetKind())
    {
    case MSTMLItem::Kind::Paragraph:
      for (MSTMLParagraph::Placed& placed : static_cast<MSTMLParagraph&>(item).placed)
      {
        placed.rect = placed.rect.Offset(0, dy);
        placed.baseline += dy;
      }
      break;
    case MSTMLItem::Kind::TableRow:
      for (auto& cell : static_cast<MSTMLTableRow&>(item).cells)
        Shift(*cell, dy);
      break;
    case MSTMLItem::Kind::TableCell:
    case MSTMLItem::Kind::Document:
    {
      auto& container = static_cast<MSTMLContainer&>(item);
      for (std::size_t i = 0; i < container.GetItemCount(); ++i)
        Shift(container.GetItem(i), dy);
      break;
    }
    default:
      break;
    }
  }

  const MSTMLResources& m_resources;
  std::vector<Piece> m_pieces;
};

std::int32_t MSTML::Layout(std::int32_t width, const MSTMLResources& resources)
{
  width = std::clamp(width, 0, kMaxWidth);
  MSTMLLayouter layouter(resources);
  std::int32_t right = 0;
  const std::int32_t height = layouter.Container(*this, 0, 0, width, right);
  m_layoutSize = MSize{std::max(width, right), height};
  return height;
}

// --- drawing --------------------------------------------------------------------------------

namespace
{
MColor RunColor(const MSTMLRun& run, const MSTMLResources& resources)
{
  const MColor color = run.hasColor ? run.explicitColor : resources.GetColor(run.color);
  return color.WithAlpha(run.alpha);
}

void DrawIcon(MDrawer& drawer, const MRect& box, std::int32_t icon, MColor color)
{
  const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
  const double r = std::min(box.Width(), box.Height()) / 2.0 - 1.0;
  if (r <= 0)
    return;
  const MString name = MEnumerations::StdIcon().Name(icon);
  using P = MDrawer::PointF;
  if (name == MString("left") || name == MString("right") || name == MString("up") || name == MString("down"))
  {
    const double k = 0.75 * r;
    P points[3];
    if (name == MString("left"))
      points[0] = P{cx - k, cy}, points[1] = P{cx + k * 0.6, cy - k}, points[2] = P{cx + k * 0.6, cy + k};
    else if (name == MString("right"))
      points[0] = P{cx + k, cy}, points[1] = P{cx - k * 0.6, cy - k}, points[2] = P{cx - k * 0.6, cy + k};
    else if (name == MString("up"))
      points[0] = P{cx, cy - k}, points[1] = P{cx - k, cy + k * 0.6}, points[2] = P{cx + k, cy + k * 0.6};
    else
      points[0] = P{cx, cy + k}, points[1] = P{cx - k, cy - k * 0.6}, points[2] = P{cx + k, cy - k * 0.6};
    drawer.FillPolygon(points, color);
  }
  else if (name.StartsWith(MString("bullet")))
  {
    drawer.FillCircle(cx, cy, r * 0.4, color);
  }
  else if (name == MString("plus") || name == MString("add") || name == MString("minus"))
  {
    drawer.Line(cx - r * 0.7, cy, cx + r * 0.7, cy, color, 2);
    if (name != MString("minus"))
      drawer.Line(cx, cy - r * 0.7, cx, cy + r * 0.7, color, 2);
  }
  else if (name == MString("ok") || name == MString("enable") || name == MString("checkboxon"))
  {
    drawer.Line(cx - r * 0.7, cy, cx - r * 0.15, cy + r * 0.6, color, 2);
    drawer.Line(cx - r * 0.15, cy + r * 0.6, cx + r * 0.75, cy - r * 0.6, color, 2);
  }
  else if (name == MString("close") || name == MString("cancel") || name == MString("delete"))
  {
    drawer.Line(cx - r * 0.6, cy - r * 0.6, cx + r * 0.6, cy + r * 0.6, color, 2);
    drawer.Line(cx - r * 0.6, cy + r * 0.6, cx + r * 0.6, cy - r * 0.6, color, 2);
  }
  else
  {
    // Icons without a drawn shape of their own (and bitmaps, which the style package supplies
    // to controls but not to texts) show as a framed square.
    drawer.FrameRoundRectangle(box.Inset(1, 1), 2, 1, color);
  }
}

void DrawObject(MDrawer& drawer, const MSTMLObject& object, const MRect& box, const MSTMLResources& resources)
{
  switch (object.GetKind())
  {
  case MSTMLItem::Kind::Image:
  {
    const auto& image = static_cast<const MSTMLImage&>(object);
    DrawIcon(drawer, box, image.icon, resources.GetColor(MStdColor::Text));
    break;
  }
  case MSTMLItem::Kind::Line:
  {
    const auto& line = static_cast<const MSTMLLine&>(object);
    const MColor color =
        line.hasColor ? line.color : resources.GetColor(MStdColor::Shape).WithAlpha(line.color.a);
    const std::int32_t thickness = std::max(line.size, 1);
    const std::int32_t top = (box.top + box.bottom - thickness) / 2;
    drawer.FillRectangle(MRect{box.left, top, box.right, top + thickness}, color);
    break;
  }
  case MSTMLItem::Kind::Rectangle:
  {
    const auto& rectangle = static_cast<const MSTMLRectangle&>(object);
    const MColor color = rectangle.hasColor
                             ? rectangle.color
                             : resources.GetColor(MStdColor::Shape).WithAlpha(rectangle.color.a);
    if (rectangle.size > 0)
      drawer.FrameRectangle(box, color, rectangle.size);
    else
      drawer.FillRectangle(box, color);
    break;
  }
  case MSTMLItem::Kind::Indicator:
  {
    const auto& indicator = static_cast<const MSTMLIndicator&>(object);
    if (box.IsEmpty())
      break;
    const MColor text = resources.GetColor(MStdColor::Text);
    const MColor border = indicator.hasBorderColor ? indicator.borderColor : text.WithAlpha(0x50);
    const MColor bar = indicator.hasColor ? indicator.color : resources.GetColor(MStdColor::Highlight);
    drawer.FillRectangle(box, text.WithAlpha(MSTMLIndicator::kTrackAlpha));
    double from = 0, to = 0;
    indicator.GetBar(from, to);
    const std::int32_t inner = box.Width() - 2;
    const auto a = box.left + 1 + static_cast<std::int32_t>(std::lround(from * inner));
    const auto b = box.left + 1 + static_cast<std::int32_t>(std::lround(to * inner));
    if (b > a)
      drawer.FillRectangle(MRect{a, box.top + 1, b, box.bottom - 1}, bar);
    // The middle mark, then the frame.
    double middle = 0, unused = 0;
    MSTMLIndicator probe;
    probe.min = indicator.min;
    probe.max = indicator.max;
    probe.middle = indicator.middle;
    probe.value = indicator.middle;
    probe.GetBar(middle, unused);
    const auto m = box.left + 1 + static_cast<std::int32_t>(std::lround(middle * inner));
    drawer.FillRectangle(
        MRect{std::min(m, box.right - 2), box.top + 1, std::min(m, box.right - 2) + 1, box.bottom - 1},
        border);
    drawer.FrameRectangle(box, border, 1);
    break;
  }
  default:
    break;
  }
}

void DrawContainer(MDrawer& drawer, const MSTMLContainer& container, MPoint origin, const MRect& clip,
                   const MSTMLResources& resources);

void DrawParagraph(MDrawer& drawer, const MSTMLParagraph& paragraph, MPoint origin,
                   const MSTMLResources& resources)
{
  if (paragraph.listItem && !paragraph.placed.empty())
  {
    const MSTMLParagraph::Placed& first = paragraph.placed.front();
    const double y = origin.y + (first.rect.top + first.rect.bottom) / 2.0;
    drawer.FillCircle(origin.x + paragraph.GetBounds().left + kListIndent / 2.0 - 1, y, 2.5,
                      resources.GetColor(MStdColor::Text));
  }
  for (const MSTMLParagraph::Placed& placed : paragraph.placed)
  {
    const MSTMLParagraph::Element& element = paragraph.elements[static_cast<std::size_t>(placed.element)];
    const MRect box = placed.rect.Offset(origin.x, origin.y);
    if (element.object != nullptr)
    {
      DrawObject(drawer, *element.object, box, resources);
      continue;
    }
    const MFont& font = resources.GetFont(element.run.font);
    // Room to the right for italic overhang; the text is placed by its left edge.
    const MRect textBox{box.left, box.top, box.right + font.LineHeight(), box.bottom};
    drawer.AlignedTextOut(textBox, element.run.text.Substring(placed.start, placed.length), font,
                          RunColor(element.run, resources), MAlign::Left | MAlign::Top);
  }
}

void DrawRow(MDrawer& drawer, const MSTMLTableRow& row, MPoint origin, const MRect& clip,
             const MSTMLResources& resources)
{
  const MColor shape = resources.GetColor(MStdColor::Shape);
  for (const auto& cell : row.cells)
  {
    const MRect box = cell->GetBounds().Offset(origin.x, origin.y);
    if (cell->fillAlpha > 0)
      drawer.FillRectangle(box, shape.WithAlpha(static_cast<std::uint8_t>(cell->fillAlpha)));
    const std::int32_t border = cell->border >= 0 ? cell->border : row.border;
    const std::int32_t alpha = cell->borderAlpha >= 0 ? cell->borderAlpha : row.borderAlpha;
    if (border > 0)
      drawer.FrameRectangle(box, shape.WithAlpha(static_cast<std::uint8_t>(alpha)), border);
    DrawContainer(drawer, *cell, origin, clip, resources);
  }
}

void DrawContainer(MDrawer& drawer, const MSTMLContainer& container, MPoint origin, const MRect& clip,
                   const MSTMLResources& resources)
{
  for (std::size_t i = 0; i < container.GetItemCount(); ++i)
  {
    const MSTMLItem& item = container.GetItem(i);
    const MRect bounds = item.GetBounds().Offset(origin.x, origin.y);
    if (bounds.bottom < clip.top || bounds.top > clip.bottom)
      continue;
    if (item.GetKind() == MSTMLItem::Kind::Paragraph)
      DrawParagraph(drawer, static_cast<const MSTMLParagraph&>(item), origin, resources);
    else if (item.GetKind() == MSTMLItem::Kind::TableRow)
      DrawRow(drawer, static_cast<const MSTMLTableRow&>(item), origin, clip, resources);
  }
}
} // namespace

double MSTMLIndicator::Position(double v) const
{
  const double span = max - min;
  if (!(std::abs(span) > 1e-12) || !std::isfinite(span))
    return 0;
  return std::clamp((v - min) / span, 0.0, 1.0);
}

void MSTMLIndicator::GetBar(double& from, double& to) const
{
  from = Position(middle);
  to = Position(value);
  if (from > to)
    std::swap(from, to);
}

void MSTML::Draw(MDrawer& drawer, MPoint origin, const MSTMLResources& resources) const
{
  DrawContainer(drawer, *this, origin, drawer.GetClip(), resources);
}

MString MSTMLParagraph::GetPlainText() const
{
  MString text;
  for (const Element& element : elements)
  {
    if (element.object == nullptr)
      text += element.run.text;
  }
  return text;
}
