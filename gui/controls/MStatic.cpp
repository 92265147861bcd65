#include "gui/controls/MStatic.h"

#include "gui/MDrawer.h"
#include "gui/MFont.h"

#include <algorithm>

MStatic::MStatic()
{
  SetControlType(MControlType::Static);
}

MStatic::MStatic(const MString& text) : MStatic()
{
  SetText(text);
}

// --- multi-line -------------------------------------------------------------------------------------

MStaticMultiLine::MStaticMultiLine()
{
  SetTextAlignment(MAlign::Left | MAlign::Top);
}

MStaticMultiLine::MStaticMultiLine(const MString& text) : MStaticMultiLine()
{
  SetText(text);
}

void MStaticMultiLine::Paint(MDrawer& drawer)
{
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  const MString text = paint.text;
  paint.text = MString();
  style->PaintControl(drawer, paint);

  const MRect client = GetClientRect();
  const std::int32_t lineHeight =
      std::max(1, drawer.GetTextExtent(MString("Ag"), style->GetFont(paint.font)).y);
  // Lines keep the horizontal alignment; rows run from the top.
  paint.textAlignment = static_cast<MAlignment>((paint.textAlignment & MAlign::HMask) | MAlign::VCenter);
  std::int32_t top = client.top;
  std::int32_t start = 0;
  while (start <= text.Length() && top < client.bottom)
  {
    std::int32_t end = text.Find(u'\n', start);
    if (end < 0)
      end = text.Length();
    MString line = text.Substring(start, end - start);
    if (!line.IsEmpty() && line[line.Length() - 1] == u'\r')
      line = line.Substring(0, line.Length() - 1);
    if (!line.IsEmpty())
    {
      paint.text = line;
      style->PaintContent(drawer, MRect{client.left, top, client.right, top + lineHeight}, paint);
    }
    top += lineHeight;
    start = end + 1;
  }
}

MSize MStaticMultiLine::MeasureText(const MFont& font) const
{
  const MString text = GetText();
  MSize size{0, 0};
  for (std::int32_t start = 0; start <= text.Length();)
  {
    std::int32_t end = text.Find(u'\n', start);
    if (end < 0)
      end = text.Length();
    size.x = std::max(size.x, font.TextWidth(text.Substring(start, end - start)));
    size.y += font.LineHeight();
    start = end + 1;
  }
  return size;
}

// --- gradient panels ------------------------------------------------------------------------------------

MPanelGradient::MPanelGradient()
{
  SetControlType(MControlType::NoBackground);
}

void MPanelGradient::GetGradientColors(MColor& top, MColor& bottom) const
{
  if (const MStyle* style = GetStyle())
  {
    top = style->GetColor(MStdColor::Light);
    bottom = style->GetColor(MStdColor::Dark);
  }
  else
  {
    top = MColor{0x2C, 0x30, 0x37, 0xFF};
    bottom = MColor{0x1A, 0x1C, 0x20, 0xFF};
  }
}

void MPanelGradient::Paint(MDrawer& drawer)
{
  MColor top;
  MColor bottom;
  GetGradientColors(top, bottom);
  drawer.FillGradient(GetRect(), top, bottom, true);
  MStyle* style = GetStyle();
  if (style == nullptr)
    return;
  MControlPaint paint;
  FillPaint(paint);
  if (!paint.text.IsEmpty())
    style->PaintContent(drawer, GetClientRect(), paint);
}

void MPanelGradientBlack::GetGradientColors(MColor& top, MColor& bottom) const
{
  MColor unused;
  MPanelGradient::GetGradientColors(top, unused);
  bottom = MColor{0, 0, 0, 0xFF};
}
