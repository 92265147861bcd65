#include "effect/MTuningIndicator.h"

#include "base/MFormat.h"
#include "effect/TonveraAudioEffectPlugin.h"
#include "gui/MDrawerToMBitmap.h"
#include "gui/stml/MSTML.h"

#include <algorithm>
#include <cmath>
#include <vector>

MTuningIndicator::MTuningIndicator() = default;

std::int32_t MTuningIndicator::Cents(double note, std::int32_t chosen)
{
  const double cents = (note - chosen) * 100.0;
  if (!std::isfinite(cents))
    return 0;
  return static_cast<std::int32_t>(std::clamp(std::floor(cents + 0.5), -50.0, 50.0));
}

MString MTuningIndicator::Text(std::int32_t chosen, double inputNote, double outputNote,
                               std::int32_t liveLatency)
{
  // Small and in the style's red: a singer glancing at the note sees that she hears herself
  // through the short path, and how late.
  const MString live =
      liveLatency > 0 ? MFormat::Format("<p><s><cred>LIVE {0}</cred></s></p>", liveLatency) : MString();
  const std::int32_t cell = liveLatency > 0 ? 64 : 40;
  if (chosen < 0)
    return MFormat::Format(kTemplate, MString(), 0, 0, live, cell);
  return MFormat::Format(kTemplate,
                         MString::FromLiteral(TonveraAudioEffectPlugin::PitchClassName(chosen % 12)),
                         Cents(inputNote, chosen), Cents(outputNote, chosen), live, cell);
}

bool MTuningIndicator::Show(std::int32_t chosen, double inputNote, double outputNote,
                            std::int32_t liveLatency)
{
  const std::int32_t pitchClass = chosen < 0 ? -1 : chosen % 12;
  const std::int32_t input = chosen < 0 ? 0 : Cents(inputNote, chosen);
  const std::int32_t output = chosen < 0 ? 0 : Cents(outputNote, chosen);
  liveLatency = std::max(0, liveLatency);
  if (pitchClass == m_pitchClass && input == m_input && output == m_output && liveLatency == m_liveLatency)
    return false;
  const bool sameName = pitchClass == m_pitchClass && liveLatency == m_liveLatency;
  m_liveLatency = liveLatency;
  const std::int32_t before[2] = {m_input, m_output};
  m_pitchClass = pitchClass;
  m_input = input;
  m_output = output;
  MRect boxes;
  if (const std::vector<Bar> bars = sameName ? FindBars(boxes) : std::vector<Bar>{}; !bars.empty())
  {
    // Only the bars changed: the name beside them stays on the surface, and of each bar only the
    // stretch between its old and its new end.
    bars[0].indicator->value = input;
    bars[1].indicator->value = output;
    const MRect client = GetClientRect();
    const std::int32_t after[2] = {input, output};
    if (boxes.IsEmpty())
      Invalidate();
    else
      for (std::size_t i = 0; i < 2; ++i)
        if (const MRect changed = ChangedStretch(bars[i], before[i], after[i]); !changed.IsEmpty())
          Invalidate(changed.Offset(client.left, client.top));
  }
  else
  {
    SetSTML(Text(chosen, inputNote, outputNote, liveLatency));
    ++m_parses;
  }
  return true;
}

std::vector<MTuningIndicator::Bar> MTuningIndicator::FindBars(MRect& boxes) const
{
  // The template's two indicators, upper (input) first, wherever the parser put them, and the
  // boxes the last layout gave them.
  std::vector<Bar> bars;
  boxes = MRect{};
  const auto fromParagraph = [&](MSTMLItem& item) {
    if (item.GetKind() != MSTMLItem::Kind::Paragraph)
      return;
    auto& paragraph = static_cast<MSTMLParagraph&>(item);
    for (MSTMLParagraph::Element& element : paragraph.elements)
      if (element.object != nullptr && element.object->GetKind() == MSTMLItem::Kind::Indicator)
        bars.push_back(Bar{static_cast<MSTMLIndicator*>(element.object.get()), MRect{}});
    for (const MSTMLParagraph::Placed& placed : paragraph.placed)
    {
      const MSTMLItem* object = paragraph.elements.at(static_cast<std::size_t>(placed.element)).object.get();
      if (object == nullptr || object->GetKind() != MSTMLItem::Kind::Indicator)
        continue;
      boxes = boxes.IsEmpty() ? placed.rect : boxes.Union(placed.rect);
      for (Bar& bar : bars)
        if (bar.indicator == object)
          bar.box = placed.rect;
    }
  };
  const MSTML& document = GetDocument();
  for (std::size_t i = 0; i < document.GetItemCount(); ++i)
  {
    MSTMLItem& item = document.GetItem(i);
    fromParagraph(item);
    if (item.GetKind() == MSTMLItem::Kind::TableRow)
      for (const auto& cell : static_cast<MSTMLTableRow&>(item).cells)
        for (std::size_t k = 0; k < cell->GetItemCount(); ++k)
          fromParagraph(cell->GetItem(k));
  }
  if (bars.size() != 2)
    bars.clear();
  return bars;
}

MRect MTuningIndicator::ChangedStretch(const Bar& bar, std::int32_t before, std::int32_t after)
{
  const MRect& box = bar.box;
  if (before == after || box.IsEmpty())
    return MRect{};
  // The fill runs from the middle to the value: between the old and the new value's place lies
  // all that changed (the middle too when the value crossed it). A pixel either side covers the
  // rounding of the drawing.
  const std::int32_t inner = box.Width() - 2;
  const auto place = [&](double value) {
    return box.left + 1 + static_cast<std::int32_t>(std::lround(bar.indicator->Position(value) * inner));
  };
  const std::int32_t a = place(before), b = place(after);
  return MRect{std::min(a, b) - 1, box.top, std::max(a, b) + 1, box.bottom}.Intersect(box);
}

namespace
{
double Linear(std::uint8_t channel)
{
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(MColor color)
{
  return 0.2126 * Linear(color.r) + 0.7152 * Linear(color.g) + 0.0722 * Linear(color.b);
}

MColor Mix(MColor from, MColor to, double t)
{
  const auto channel = [t](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
  };
  return MColor{channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b), 255};
}

// `top` over `bottom` by top's alpha, as the drawer blends.
MColor Over(MColor top, MColor bottom)
{
  return Mix(bottom, MColor{top.r, top.g, top.b, 255}, top.a / 255.0);
}
} // namespace

double MTuningIndicator::ContrastRatio(MColor a, MColor b)
{
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

MColor MTuningIndicator::ReadableOn(MColor bar, MColor track, double ratio)
{
  bar.a = 255;
  // Towards the end of the scale farther from the track: black on light, white on dark.
  const MColor away =
      ContrastRatio(track, MColor{0, 0, 0, 255}) >= ContrastRatio(track, MColor{255, 255, 255, 255})
          ? MColor{0, 0, 0, 255}
          : MColor{255, 255, 255, 255};
  for (int step = 0; step <= 20; ++step)
  {
    const MColor candidate = Mix(bar, away, step / 20.0);
    if (ContrastRatio(candidate, track) >= ratio)
      return candidate;
  }
  return away;
}

void MTuningIndicator::ColourBars(const std::vector<Bar>& bars, const MRect& boxes)
{
  const MStyle* style = GetStyle();
  if (style == nullptr || bars.empty())
    return;
  // What lies under the bars: the kept background (the mean of the boxes' pixels), else the
  // style's surface colour; then the track shading the indicator draws over it. The colours
  // stay until one of those changes: a paint of a moving bar only draws.
  const MRect client = GetClientRect();
  const MRect area = boxes.Offset(client.left, client.top).Inset(1, 1).Intersect(m_background.Bounds());
  const ColourKey key{style, style->GetRevision(), m_backgroundStyle != nullptr ? m_backgroundTaken : 0,
                      area};
  if (!(key == m_colouredFor))
  {
    m_colouredFor = key;
    ChooseBarColours(*style, area);
  }
  bars[0].indicator->color = m_inputColor;
  bars[1].indicator->color = m_outputColor;
  bars[0].indicator->hasColor = bars[1].indicator->hasColor = true;
}

void MTuningIndicator::ChooseBarColours(const MStyle& style, const MRect& area)
{
  MColor beneath = style.GetColor(MStdColor::Shape);
  if (m_backgroundStyle != nullptr && !area.IsEmpty())
  {
    double sums[3] = {0, 0, 0};
    for (std::int32_t y = area.top; y < area.bottom; ++y)
      for (std::int32_t x = area.left; x < area.right; ++x)
      {
        const MColor pixel = MColor::FromARGB(m_background.Row(y)[x]);
        sums[0] += pixel.r, sums[1] += pixel.g, sums[2] += pixel.b;
      }
    const double count = double(area.Width()) * area.Height();
    beneath = MColor{std::uint8_t(std::lround(sums[0] / count)), std::uint8_t(std::lround(sums[1] / count)),
                     std::uint8_t(std::lround(sums[2] / count)), 255};
  }
  const MColor track = Over(style.GetColor(MStdColor::Text).WithAlpha(MSTMLIndicator::kTrackAlpha), beneath);
  m_inputColor = ReadableOn(style.GetColor(MStdColor::Red), track, kBarContrast);
  m_outputColor = ReadableOn(style.GetColor(MStdColor::Green), track, kBarContrast);
}

bool MTuningIndicator::CanCopyBackground(const MDrawer& drawer) const
{
  // Only a bitmap target can be read back and written whole. The style by address and revision:
  // a style made afresh may take the address of one gone, and a style that loaded another
  // configuration draws differently.
  const MSize size = GetSize();
  return dynamic_cast<const MDrawerToMBitmap*>(&drawer) != nullptr && m_backgroundStyle != nullptr &&
         m_backgroundStyle == GetStyle() && m_backgroundStyleRevision == GetStyle()->GetRevision() &&
         m_background.Width() == size.x && m_background.Height() == size.y &&
         m_backgroundAt == GetWindowPosition();
}

bool MTuningIndicator::PaintsOpaquely(const MDrawer& drawer) const
{
  return GetSize().x > 0 && GetSize().y > 0 && CanCopyBackground(drawer);
}

void MTuningIndicator::Paint(MDrawer& drawer)
{
  const MSize size = GetSize();
  const MRect whole{0, 0, size.x, size.y};
  if (whole.IsEmpty())
    return;
  // Only a bitmap target can be read back; any other drawer paints as every control does.
  auto* surface = dynamic_cast<MDrawerToMBitmap*>(&drawer);
  if (CanCopyBackground(drawer))
    drawer.BitBlt(0, 0, m_background, whole, MColorOp::Copy);
  else
  {
    m_backgroundStyle = nullptr;
    MControl::Paint(drawer);
    // Kept from a paint that covered the whole control, as it stands on the surface.
    const MPoint origin = drawer.GetOrigin();
    const MBitmap& target = surface != nullptr ? surface->GetTarget() : m_background;
    if (surface != nullptr && GetStyle() != nullptr && drawer.GetClip().Intersect(whole) == whole &&
        origin.x >= 0 && origin.y >= 0 && origin.x + size.x <= target.Width() &&
        origin.y + size.y <= target.Height())
    {
      m_background.Resize(size.x, size.y);
      for (std::int32_t y = 0; y < size.y; ++y)
        std::copy_n(target.Row(origin.y + y) + origin.x, size.x, m_background.Row(y));
      m_backgroundStyle = GetStyle();
      m_backgroundStyleRevision = GetStyle()->GetRevision();
      m_backgroundAt = GetWindowPosition();
      ++m_backgroundTaken;
    }
  }
  const MRect client = GetClientRect();
  if (client.IsEmpty())
    return;
  (void)GetPreferredSize(); // lays the text out for the client width when that changed
  MRect boxes;
  ColourBars(FindBars(boxes), boxes);
  const MRect saved = drawer.IntersectClip(client);
  GetDocument().Draw(drawer, MPoint{client.left, client.top}, MSTMLResources(GetStyle()));
  drawer.RestoreClip(saved);
}
