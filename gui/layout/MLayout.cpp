#include "gui/layout/MLayout.h"

#include "base/MException.h"
#include "base/MFormat.h"
#include "base/MXmlItem.h"
#include "gui/MControl.h"
#include "gui/MStyle.h"
#include "gui/controls/MContainer.h"
#include "gui/layout/MLayoutList.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

// Coordinates handed to controls stay well inside int32 so that position + size never overflows.
constexpr std::int64_t kMaxCoordinate = std::int64_t{1} << 30;
// Height (or width) given to the style when only the other axis matters.
constexpr std::int32_t kProbeExtent = 1 << 16;

std::int64_t Along(MSize size, MLayout::Axis axis)
{
  return axis == MLayout::Axis::X ? size.x : size.y;
}

MLayout::Axis Other(MLayout::Axis axis)
{
  return axis == MLayout::Axis::X ? MLayout::Axis::Y : MLayout::Axis::X;
}

MSize Make(MLayout::Axis axis, std::int32_t along, std::int32_t across)
{
  return axis == MLayout::Axis::X ? MSize{along, across} : MSize{across, along};
}

std::int64_t Border(const MControl& control, MLayout::Axis axis)
{
  return std::clamp<std::int64_t>(Along(control.GetLayoutBorder(), axis), 0, MLayout::kMaxExtent);
}

bool IsBlank(char16_t c)
{
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

// --- reading attributes -----------------------------------------------------------------------------

bool MLayoutReadInteger(const MXmlItem& item, const char* name, std::int64_t minimum, std::int64_t maximum,
                        std::int32_t& value)
{
  const MString attribute = MString::FromLiteral(name);
  if (!item.HasAttribute(attribute))
    return false;
  const MString text = item.GetAttribute();
  std::int32_t at = 0;
  const std::int32_t length = text.Length();
  while (at < length && IsBlank(text[at]))
    ++at;
  bool negative = false;
  if (at < length && (text[at] == u'-' || text[at] == u'+'))
    negative = text[at++] == u'-';
  const std::int32_t digitsStart = at;
  std::int64_t magnitude = 0;
  while (at < length && text[at] >= u'0' && text[at] <= u'9')
  {
    // Saturates far above any clamp limit; the digits still have to be valid to the end.
    magnitude = std::min<std::int64_t>(magnitude * 10 + (text[at] - u'0'), std::int64_t{1} << 40);
    ++at;
  }
  const bool hasDigits = at > digitsStart;
  while (at < length && IsBlank(text[at]))
    ++at;
  if (!hasDigits || at != length)
    throw MException(MFormat::Format(
        "Invalid value of attribute \"{0}\" ({1}): a decimal integer is expected.", attribute, text));
  value = static_cast<std::int32_t>(std::clamp(negative ? -magnitude : magnitude, minimum, maximum));
  return true;
}

// --- FreeRect -----------------------------------------------------------------------------------------

MRect MLayout::FreeRect::ToRect() const
{
  if (IsEmpty())
    return MRect{};
  const auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -kMaxCoordinate, kMaxCoordinate));
  };
  return MRect{clamp(left), clamp(top), clamp(right + 1), clamp(bottom + 1)};
}

// --- size computers ---------------------------------------------------------------------------------

std::int64_t MLayout::SizeComputer::Spacing(std::int64_t layoutSpace) const
{
  const std::int64_t metric = m_style != nullptr ? m_style->GetMetric(MStyle::MetricSpacing) : 0;
  return std::clamp<std::int64_t>(ClampExtent(metric) + layoutSpace, 0, kMaxExtent);
}

void MLayout::SizeComputer::NeedBand(Axis axis, std::int64_t thickness, std::int64_t length, std::int64_t gap)
{
  if (axis == Axis::X)
  {
    m_needX = std::max(m_needX, m_consumedX + thickness);
    m_needY = std::max(m_needY, m_consumedY + length);
    m_consumedX += thickness + gap;
  }
  else
  {
    m_needY = std::max(m_needY, m_consumedY + thickness);
    m_needX = std::max(m_needX, m_consumedX + length);
    m_consumedY += thickness + gap;
  }
}

void MLayout::SizeComputer::NeedArea(std::int64_t x, std::int64_t y)
{
  m_needX = std::max(m_needX, m_consumedX + x);
  m_needY = std::max(m_needY, m_consumedY + y);
}

void MLayout::SizeComputer::NeedMargin(std::int64_t x, std::int64_t y)
{
  m_consumedX += 2 * x;
  m_consumedY += 2 * y;
  NeedArea(0, 0);
}

MSize MLayout::SizeComputer::GetNeededSize() const
{
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  return MSize{static_cast<std::int32_t>(std::clamp<std::int64_t>(m_needX, 0, kMax)),
               static_cast<std::int32_t>(std::clamp<std::int64_t>(m_needY, 0, kMax))};
}

namespace
{

std::int64_t CurrentExtent(const MControl& control, MLayout::Axis axis)
{
  std::int64_t extent = 0;
  if (control.HasFlag(MControl::FlagPlastic))
    extent = Along(control.GetMinimalSize(), axis);
  else if (control.IsCollapsed() && Along(control.GetCollapsedSize(), axis) != 0)
    extent = Along(control.GetCollapsedSize(), axis);
  else
    extent = Along(control.GetSize(), axis);
  return std::clamp<std::int64_t>(extent, 0, MLayout::kMaxExtent) + 2 * Border(control, axis);
}

std::int64_t MinimalExtent(const MControl& control, MLayout::Axis axis)
{
  if (axis == MLayout::Axis::Y && control.IsCollapsed())
    return 0;
  std::int64_t extent = Along(control.GetMinimalSize(), axis);
  if (Along(control.GetLayoutRatio(), axis) <= 0 && !control.HasFlag(MControl::FlagPlastic))
    extent = std::max(extent, Along(control.GetSize(), axis));
  return std::clamp<std::int64_t>(extent, 0, MLayout::kMaxExtent) + 2 * Border(control, axis);
}

} // namespace

std::int64_t MLayout::CurrentSizeComputer::Width(const MControl& control) const
{
  return CurrentExtent(control, Axis::X);
}

std::int64_t MLayout::CurrentSizeComputer::Height(const MControl& control) const
{
  return CurrentExtent(control, Axis::Y);
}

std::int64_t MLayout::CurrentSizeComputer::ClientExtent(const MControl& control, Axis axis) const
{
  return ClampExtent(Along(control.GetPreferredSize(), axis));
}

std::int64_t MLayout::MinimalSizeComputer::Width(const MControl& control) const
{
  return MinimalExtent(control, Axis::X);
}

std::int64_t MLayout::MinimalSizeComputer::Height(const MControl& control) const
{
  return MinimalExtent(control, Axis::Y);
}

std::int64_t MLayout::MinimalSizeComputer::ClientExtent(const MControl& control, Axis axis) const
{
  return ClampExtent(Along(control.GetMinimalSize(), axis));
}

// --- MLayout ----------------------------------------------------------------------------------------

MLayout::MLayout() = default;

MLayout::~MLayout()
{
  for (const Entry& entry : m_entries)
    if (entry.control->m_layout == this)
      entry.control->m_layout = nullptr;
}

void MLayout::LoadAttributes(const MXmlItem& item)
{
  MLayoutReadInteger(item, "layoutspace", -kMaxExtent, kMaxExtent, m_layoutSpace);
  MLayoutReadInteger(item, "deflayoutborderx", -1, kMaxExtent, m_defaultBorder.x);
  MLayoutReadInteger(item, "deflayoutbordery", -1, kMaxExtent, m_defaultBorder.y);
}

void MLayout::LoadControlAttributes(MControl&, const MXmlItem&) {}

void MLayout::AddControl(MControl& control)
{
  Adopt(control);
}

void MLayout::AppendUnlinked(MLayout& layout, MControl& control, const MLayout& owner)
{
  layout.m_owner = &owner;
  layout.m_entries.push_back(Entry{&control});
}

void MLayout::Adopt(MControl& control)
{
  if (MLayout* previous = control.m_layout)
    previous->RemoveControl(control);
  MSize border = control.GetLayoutBorder();
  if (m_defaultBorder.x >= 0)
    border.x = m_defaultBorder.x;
  if (m_defaultBorder.y >= 0)
    border.y = m_defaultBorder.y;
  control.SetLayoutBorder(border);
  control.m_layout = this;
  m_entries.push_back(Entry{&control});
}

void MLayout::RemoveControl(MControl& control) noexcept
{
  const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                               [&control](const Entry& e) { return e.control == &control; });
  if (it == m_entries.end())
    return;
  m_entries.erase(it);
  if (control.m_layout == this)
    control.m_layout = nullptr;
}

void MLayout::AddControlWithoutSpace(MControl& control)
{
  AddControl(control);
  control.SetLayoutSpace(0);
}

void MLayout::DetachControl(MControl& control)
{
  RemoveControl(control);
}

MLayout::FreeRect MLayout::Compute(SizeComputer& computer, const FreeRect& free)
{
  return Run(computer, free, false);
}

MLayout::FreeRect MLayout::Arrange(CurrentSizeComputer& computer, const FreeRect& free)
{
  return Run(computer, free, true);
}

MRect MLayout::ArrangeRect(const MStyle* style, const MRect& free)
{
  return ArrangeFree(style, FreeRect::FromRect(free)).ToRect();
}

MLayout::FreeRect MLayout::ArrangeFree(const MStyle* style, const FreeRect& free)
{
  CurrentSizeComputer computer(style);
  return Arrange(computer, free);
}

std::uint8_t MLayout::GetControlFlags() const
{
  std::uint8_t flags = 0;
  for (const Entry& entry : m_entries)
    if (TakesPart(*entry.control))
      flags |= FlagsOf(*entry.control);
  return flags;
}

std::uint8_t MLayout::FlagsOf(const MControl& c)
{
  std::uint8_t flags = 0;
  if (c.HasFlag(MControl::FlagPlastic))
    flags |= ControlFlagPlastic;
  if (c.HasFlag(MControl::FlagAdaptSize) || c.HasFlag(MControl::FlagPlasticAdaptSize))
    flags |= ControlFlagAdaptSize;
  if (c.HasFlag(MControl::FlagCollapsable))
    flags |= ControlFlagCollapsable;
  if (c.IsCollapsed())
    flags |= ControlFlagCollapsed;
  if (c.GetLayoutRatio().x > 0)
    flags |= ControlFlagStretchX;
  if (c.GetLayoutRatio().y > 0)
    flags |= ControlFlagStretchY;
  return flags;
}

void MLayout::SetLayoutSpace(std::int32_t space)
{
  m_layoutSpace = static_cast<std::int32_t>(std::clamp<std::int64_t>(space, -kMaxExtent, kMaxExtent));
}

void MLayout::SetDefaultBorder(MSize border)
{
  m_defaultBorder.x = static_cast<std::int32_t>(std::clamp<std::int64_t>(border.x, -1, kMaxExtent));
  m_defaultBorder.y = static_cast<std::int32_t>(std::clamp<std::int64_t>(border.y, -1, kMaxExtent));
}

bool MLayout::Contains(const MControl& control) const
{
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [&control](const Entry& e) { return e.control == &control; });
}

bool MLayout::TakesPart(const MControl& control) const
{
  return control.IsVisible() && BelongsToContainer(control);
}

bool MLayout::BelongsToContainer(const MControl& control) const
{
  const MLayoutList* list = m_owner != nullptr ? m_owner->m_list : m_list;
  return list == nullptr || control.GetParent() == static_cast<const MControl*>(&list->GetContainer());
}

std::vector<MControl*> MLayout::PartakingControls() const
{
  std::vector<MControl*> controls;
  controls.reserve(m_entries.size());
  for (const Entry& entry : m_entries)
    if (TakesPart(*entry.control))
      controls.push_back(entry.control);
  return controls;
}

void MLayout::Link(MControl& control, MLayout* layout) noexcept
{
  control.m_layout = layout;
}

MLayout* MLayout::LinkOf(const MControl& control) noexcept
{
  return control.m_layout;
}

std::int64_t MLayout::ClampExtent(std::int64_t value)
{
  return std::clamp<std::int64_t>(value, 0, kMaxExtent);
}

std::int64_t MLayout::ClampRatio(std::int64_t value)
{
  return std::clamp<std::int64_t>(value, 0, kMaxRatio);
}

// --- the shared algorithms -----------------------------------------------------------------------

std::int64_t MLayout::Distribute(const std::vector<Item>& items, std::int64_t start, std::int64_t length,
                                 std::int64_t g, std::vector<Slot>* slots)
{
  if (items.empty())
  {
    if (slots != nullptr)
      slots->clear();
    return 0;
  }
  // 1. Fixed parts, gaps and the ratio total.
  std::int64_t fixed = 0;
  std::int64_t ratioTotal = 0;
  for (const Item& item : items)
  {
    if (item.ratio > 0)
      ratioTotal += item.ratio;
    else
      fixed += item.extent;
    fixed += item.space + g;
  }
  // What the items need: every ratio item must get at least its extent, and a ratio item gets
  // ratio / ratioTotal of the available length (the remainders only add to that). Doubles keep
  // hostile products from overflowing; the result is clamped.
  double ratioNeed = 0.0;
  for (const Item& item : items)
    if (item.ratio > 0)
      ratioNeed =
          std::max(ratioNeed, std::ceil(static_cast<double>(item.extent) * static_cast<double>(ratioTotal) /
                                        static_cast<double>(item.ratio)));
  const std::int64_t need =
      std::max<std::int64_t>(0, fixed - g + static_cast<std::int64_t>(std::min(ratioNeed, 1e15)));
  if (slots == nullptr)
    return need;

  // 2. What the ratio items share.
  std::int64_t availableLeft = std::max<std::int64_t>(0, length - fixed + g);
  std::int64_t ratioLeft = ratioTotal;
  // 3 and 6. Walk with a running start; the remainders fall to the last ratio items.
  slots->resize(items.size());
  std::int64_t at = start;
  for (std::size_t i = 0; i < items.size(); ++i)
  {
    const Item& item = items[i];
    std::int64_t extent = item.extent;
    if (item.ratio > 0)
    {
      extent = item.ratio * availableLeft / ratioLeft;
      availableLeft -= extent;
      ratioLeft -= item.ratio;
    }
    (*slots)[i] = Slot{at, extent};
    at += extent + item.space + g;
  }
  return need;
}

MLayout::FreeRect MLayout::PlaceInCell(const SizeComputer& computer, const MControl& control,
                                       const FreeRect& cell, bool limitToCell)
{
  std::int64_t start[2];
  std::int64_t extent[2];
  for (const Axis axis : {Axis::X, Axis::Y})
  {
    const int i = axis == Axis::X ? 0 : 1;
    const std::int64_t cellStart = axis == Axis::X ? cell.left : cell.top;
    const std::int64_t cellLength = cell.Extent(axis);
    const std::int64_t border = Border(control, axis);
    const bool keeps =
        (ClampRatio(Along(control.GetLayoutRatio(), axis)) == 0 && !control.HasFlag(MControl::FlagPlastic)) ||
        (control.IsCollapsed() && Along(control.GetCollapsedSize(), axis) != 0);
    if (!keeps)
    {
      start[i] = cellStart + border;
      extent[i] = std::max<std::int64_t>(0, cellLength - 2 * border);
      continue;
    }
    extent[i] = std::max<std::int64_t>(0, computer.Extent(control, axis) - 2 * border);
    if (limitToCell)
      extent[i] = std::min(extent[i], std::max<std::int64_t>(0, cellLength - 2 * border));
    const MAlignment placement = control.GetLayoutPlacement();
    const int bits = axis == Axis::X ? (placement & MAlign::HMask) : (placement & MAlign::VMask) >> 2;
    if (bits == 1) // left / top
      start[i] = cellStart + border;
    else if (bits == 2) // right / bottom: flush with the far edge less the border
      start[i] = cellStart + cellLength - border - extent[i];
    else
      start[i] = cellStart + (cellLength - extent[i]) / 2;
  }
  return FreeRect{start[0], start[1], start[0] + extent[0] - 1, start[1] + extent[1] - 1};
}

void MLayout::Apply(MControl& control, const FreeRect& rect)
{
  const auto coordinate = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -kMaxCoordinate, kMaxCoordinate));
  };
  const auto extent = [](std::int64_t v) { return static_cast<std::int32_t>(ClampExtent(v)); };
  control.SetPosition(MPoint{coordinate(rect.left), coordinate(rect.top)});
  control.SetSize(MSize{extent(rect.Width()), extent(rect.Height())});
}

std::int64_t MLayout::PlasticExtent(const SizeComputer& computer, const MControl& control, Axis axis,
                                    std::int64_t otherExtent, std::int32_t* clientExtent)
{
  const Axis other = Other(axis);
  const std::int64_t border = Border(control, axis);
  const auto* plastic = dynamic_cast<const MLayoutPlastic*>(&control);
  if (plastic == nullptr)
  {
    const std::int64_t minimal = ClampExtent(Along(control.GetMinimalSize(), axis));
    if (clientExtent != nullptr)
      *clientExtent = static_cast<std::int32_t>(ClampExtent(Along(control.GetMinimalClientSize(), axis)));
    return minimal + 2 * border;
  }
  const auto available = static_cast<std::int32_t>(ClampExtent(otherExtent - 2 * Border(control, other)));
  const MStyle* style = computer.GetStyle();
  std::int32_t clientOther = available;
  if (style != nullptr)
  {
    const MRect client = style->GetClientRect(control.GetControlType(), control.GetCaptionType(),
                                              Make(other, available, kProbeExtent));
    clientOther = static_cast<std::int32_t>(ClampExtent(other == Axis::X ? client.Width() : client.Height()));
  }
  const auto client =
      static_cast<std::int32_t>(ClampExtent(plastic->GetPlasticClientExtent(axis, clientOther)));
  if (clientExtent != nullptr)
    *clientExtent = client;
  std::int64_t outer = client;
  if (style != nullptr)
    outer = Along(style->GetControlSize(control.GetControlType(), control.GetCaptionType(),
                                        Make(axis, client, clientOther)),
                  axis);
  return ClampExtent(outer) + 2 * border;
}

MLayout::LineNeed MLayout::DistributeLine(SizeComputer& computer, const std::vector<MControl*>& controls,
                                          const FreeRect& free, Axis along, std::int64_t g, bool place)
{
  const Axis across = Other(along);
  const std::int64_t acrossLength = free.Extent(across);
  LineNeed need;
  std::vector<Item> items;
  items.reserve(controls.size());
  for (MControl* control : controls)
  {
    Item item;
    item.space = ClampExtent(control->GetLayoutSpace());
    if (control->IsCollapsed())
      item.extent = computer.Extent(*control, along);
    else
    {
      item.ratio = ClampRatio(Along(control->GetLayoutRatio(), along));
      item.extent = control->HasFlag(MControl::FlagPlastic)
                        ? PlasticExtent(computer, *control, along, acrossLength, nullptr)
                        : computer.Extent(*control, along);
    }
    need.across = std::max(need.across, computer.Extent(*control, across));
    items.push_back(item);
  }
  const std::int64_t alongStart = along == Axis::X ? free.left : free.top;
  if (!place)
  {
    need.along = Distribute(items, alongStart, free.Extent(along), g, nullptr);
    return need;
  }
  std::vector<Slot> slots;
  need.along = Distribute(items, alongStart, free.Extent(along), g, &slots);
  for (std::size_t i = 0; i < controls.size(); ++i)
  {
    FreeRect cell = free;
    if (along == Axis::X)
    {
      cell.left = slots[i].start;
      cell.right = slots[i].start + slots[i].length - 1;
    }
    else
    {
      cell.top = slots[i].start;
      cell.bottom = slots[i].start + slots[i].length - 1;
    }
    Apply(*controls[i], PlaceInCell(computer, *controls[i], cell));
  }
  return need;
}
