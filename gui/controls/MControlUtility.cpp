#include "gui/controls/MControlUtility.h"

#include "gui/MDrawer.h"
#include "gui/MFont.h"

#include <algorithm>
#include <cmath>

namespace MControlUtility
{
MSize MeasureText(const MControl& control, const MString& text, MStdFont font)
{
  if (const MStyle* style = control.GetStyle())
  {
    const MFont& f = style->GetFont(font);
    return MSize{f.TextWidth(text), f.LineHeight()};
  }
  return MSize{text.Length() * 7, 16};
}

std::int32_t LineHeight(const MControl& control, MStdFont font)
{
  if (const MStyle* style = control.GetStyle())
    return std::max(1, style->GetFont(font).LineHeight());
  return 16;
}

MColor Color(const MControl& control, MStdColor color, MColor fallback)
{
  const MStyle* style = control.GetStyle();
  return style != nullptr ? style->GetColor(color) : fallback;
}

std::int32_t Metric(const MControl& control, std::int32_t index, std::int32_t fallback)
{
  const MStyle* style = control.GetStyle();
  const std::int32_t value = style != nullptr ? style->GetMetric(index) : 0;
  return value > 0 ? value : fallback;
}

void PaintStyled(MDrawer& drawer, MStyle& style, const MControlPaint& paint, const MRect& client)
{
  style.PaintControl(drawer, paint);
  if (!paint.text.IsEmpty())
    style.PaintContent(drawer, client, paint);
}

std::int32_t WheelLines(std::int32_t delta)
{
  const std::int32_t lines = -(delta / 40);
  return lines != 0 ? lines : (delta > 0 ? -1 : delta < 0 ? 1 : 0);
}

MColor Mix(MColor from, MColor to, double amount)
{
  amount = std::clamp(amount, 0.0, 1.0);
  auto channel = [amount](std::uint8_t a, std::uint8_t b) {
    return std::uint8_t(std::lround(a + (double(b) - a) * amount));
  };
  return MColor{channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b), from.a};
}

MColor Disabled(MColor color, bool disabled)
{
  return disabled ? color.WithAlpha(102) : color;
}
} // namespace MControlUtility
