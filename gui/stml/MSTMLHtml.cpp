// HTML form of STML documents and the help page built from them.
//
// Mapping: paragraphs <p> (alignment as style="text-align:..."), list items <li> inside <ul>,
// consecutive rows one <table>, cells <td> (width in pixels or percent); fonts <b>, <i>,
// <small>, <span class="l1".."l4">; standard colours <span class="red|green|blue|light|dark|
// highlight|shape"> (the default text colour has none), explicit colours style="color:#RRGGBB",
// opacity style="opacity:0.NN"; pictures <img src="images/NAME.png" alt="NAME">; lines <hr>;
// rectangles an empty inline-block span; indicators <meter>.

#include "gui/stml/MSTML.h"

#include "base/MEnumerations.h"

#include <algorithm>
#include <cstdio>

MString EscapeHtml(const MString& text)
{
  MString out;
  out.Reserve(text.Length());
  for (std::int32_t i = 0; i < text.Length(); ++i)
  {
    const char16_t c = text.At(i);
    if (c == u'&')
      out += MString("&amp;");
    else if (c == u'<')
      out += MString("&lt;");
    else if (c == u'>')
      out += MString("&gt;");
    else if (c == u'"')
      out += MString("&quot;");
    else
      out += c;
  }
  return out;
}

namespace
{
MString Number(std::int64_t value)
{
  return MString::FromInteger(value);
}

MString Hex(MColor color)
{
  char text[8];
  std::snprintf(text, sizeof text, "%02X%02X%02X", color.r, color.g, color.b);
  return MString::FromNarrow(text);
}

MString SizeText(const MSTMLSize& size)
{
  if (!size.given || !size.constant.IsEmpty())
    return MString();
  MString text = Number(size.value);
  text += size.percent ? MString("%") : MString("px");
  return text;
}

void Run(MString& out, const MSTMLRun& run)
{
  static const char* const kColorClasses[kStdColorCount] = {"",     "shape", "highlight", "light",
                                                            "dark", "red",   "green",     "blue"};
  MString open, close;
  const auto colorIndex = static_cast<std::size_t>(run.color);
  const bool colorClass = !run.hasColor && colorIndex < kStdColorCount && colorIndex != 0;
  MString style;
  if (run.hasColor)
    style += MString("color:#") + Hex(run.explicitColor) + MString(";");
  if (run.alpha != 255)
  {
    char opacity[16];
    std::snprintf(opacity, sizeof opacity, "opacity:%.2f;", run.alpha / 255.0);
    style += MString::FromNarrow(opacity);
  }
  if (colorClass || !style.IsEmpty())
  {
    open += MString("<span");
    if (colorClass)
      open += MString(" class=\"") + MString::FromLiteral(kColorClasses[colorIndex]) + MString("\"");
    if (!style.IsEmpty())
      open += MString(" style=\"") + style + MString("\"");
    open += MString(">");
    close = MString("</span>");
  }
  MString fontOpen, fontClose;
  switch (run.font)
  {
  case MStdFont::Bold:
    fontOpen = "<b>", fontClose = "</b>";
    break;
  case MStdFont::Italic:
    fontOpen = "<i>", fontClose = "</i>";
    break;
  case MStdFont::Small:
    fontOpen = "<small>", fontClose = "</small>";
    break;
  case MStdFont::Large1:
  case MStdFont::Large2:
  case MStdFont::Large3:
  case MStdFont::Large4:
    fontOpen = MString("<span class=\"l") +
               Number(static_cast<std::int32_t>(run.font) - static_cast<std::int32_t>(MStdFont::Large1) + 1) +
               MString("\">");
    fontClose = "</span>";
    break;
  default:
    break;
  }
  out += open;
  out += fontOpen;
  out += EscapeHtml(run.text);
  out += fontClose;
  out += close;
}

void Object(MString& out, const MSTMLObject& object)
{
  switch (object.GetKind())
  {
  case MSTMLItem::Kind::Image:
  {
    const auto& image = static_cast<const MSTMLImage&>(object);
    const MString name = image.icon >= 0 ? MEnumerations::StdIcon().Name(image.icon) : image.bitmap;
    if (name.IsEmpty())
      return;
    out += MString("<img src=\"images/") + EscapeHtml(name) + MString(".png\" alt=\"") + EscapeHtml(name) +
           MString("\">");
    break;
  }
  case MSTMLItem::Kind::Line:
    out += MString("<hr>");
    break;
  case MSTMLItem::Kind::Rectangle:
  {
    const auto& rectangle = static_cast<const MSTMLRectangle&>(object);
    out += MString("<span class=\"rectangle\" style=\"display:inline-block;");
    if (!SizeText(object.width).IsEmpty())
      out += MString("width:") + SizeText(object.width) + MString(";");
    if (!SizeText(object.height).IsEmpty())
      out += MString("height:") + SizeText(object.height) + MString(";");
    if (rectangle.hasColor)
      out += MString("background:#") + Hex(rectangle.color) + MString(";");
    out += MString("\"></span>");
    break;
  }
  case MSTMLItem::Kind::Indicator:
  {
    const auto& indicator = static_cast<const MSTMLIndicator&>(object);
    out += MString("<meter min=\"") + MString::FromDouble(indicator.min, 6) + MString("\" max=\"") +
           MString::FromDouble(indicator.max, 6) + MString("\" value=\"") +
           MString::FromDouble(indicator.value, 6) + MString("\"></meter>");
    break;
  }
  default:
    break;
  }
}

void Container(MString& out, const MSTMLContainer& container)
{
  bool inList = false, inTable = false;
  for (std::size_t i = 0; i < container.GetItemCount(); ++i)
  {
    const MSTMLItem& item = container.GetItem(i);
    const bool listItem =
        item.GetKind() == MSTMLItem::Kind::Paragraph && static_cast<const MSTMLParagraph&>(item).listItem;
    if (inList && !listItem)
      out += MString("</ul>\n"), inList = false;
    if (inTable && item.GetKind() != MSTMLItem::Kind::TableRow)
      out += MString("</table>\n"), inTable = false;
    if (item.GetKind() == MSTMLItem::Kind::Paragraph)
    {
      const auto& paragraph = static_cast<const MSTMLParagraph&>(item);
      if (paragraph.IsEmpty())
        continue;
      if (listItem && !inList)
        out += MString("<ul>\n"), inList = true;
      MString tag = listItem ? MString("li") : MString("p");
      out += MString("<") + tag;
      if (paragraph.justify)
        out += MString(" style=\"text-align:justify\"");
      else if ((paragraph.alignment & MAlign::HMask) == MAlign::HCenter)
        out += MString(" style=\"text-align:center\"");
      else if ((paragraph.alignment & MAlign::HMask) == MAlign::Right)
        out += MString(" style=\"text-align:right\"");
      out += MString(">");
      for (const MSTMLParagraph::Element& element : paragraph.elements)
      {
        if (element.object != nullptr)
          Object(out, *element.object);
        else
          Run(out, element.run);
      }
      out += MString("</") + tag + MString(">\n");
    }
    else if (item.GetKind() == MSTMLItem::Kind::TableRow)
    {
      if (!inTable)
        out += MString("<table>\n"), inTable = true;
      out += MString("<tr>");
      for (const auto& cell : static_cast<const MSTMLTableRow&>(item).cells)
      {
        out += MString("<td");
        if (!SizeText(cell->width).IsEmpty())
          out += MString(" style=\"width:") + SizeText(cell->width) + MString("\"");
        out += MString(">");
        Container(out, *cell);
        out += MString("</td>");
      }
      out += MString("</tr>\n");
    }
  }
  if (inList)
    out += MString("</ul>\n");
  if (inTable)
    out += MString("</table>\n");
}
} // namespace

MString MSTML::ToHtml() const
{
  MString out;
  Container(out, *this);
  return out;
}

MSTMLHtmlPage::MSTMLHtmlPage(const MString& title) : m_title(title) {}

void MSTMLHtmlPage::AddHeading(std::int32_t level, const MString& text)
{
  const MString n = Number(std::clamp(level, 1, 3));
  m_body += MString("<h") + n + MString(">") + EscapeHtml(text) + MString("</h") + n + MString(">\n");
}

void MSTMLHtmlPage::AddHelp(const MString& stml)
{
  MSTML document;
  document.ParseHelp(stml);
  m_body += document.ToHtml();
}

void MSTMLHtmlPage::AddPicture(const MString& name)
{
  m_body += MString("<p><img src=\"images/") + EscapeHtml(name) + MString(".png\" alt=\"") +
            EscapeHtml(name) + MString("\"></p>\n");
}

void MSTMLHtmlPage::BeginControlType(const MString& name)
{
  m_body += MString("<div class=\"controltypeinfo\">\n");
  ++m_openSections;
  AddHeading(3, name);
}

void MSTMLHtmlPage::EndControlType()
{
  if (m_openSections == 0)
    return;
  --m_openSections;
  m_body += MString("</div>\n");
}

MString MSTMLHtmlPage::Finish()
{
  while (m_openSections > 0)
    EndControlType();
  MString page("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>");
  page += EscapeHtml(m_title);
  page += MString("</title>\n<style>\n"
                  ".red{color:#c8403a}.green{color:#2f8f46}.blue{color:#2f6fb8}.highlight{color:#d07a10}\n"
                  ".l1{font-size:115%}.l2{font-size:140%}.l3{font-size:170%}.l4{font-size:215%}\n"
                  "div.controltypeinfo{margin:1em 0;padding:0 1em;border-left:3px solid #ccc}\n"
                  "</style>\n</head>\n<body>\n");
  page += m_body;
  page += MString("</body>\n</html>\n");
  return page;
}
